// Non-ideal equations of state of the gas phase: virial (EOS code 2, second and third
// virial coefficients of a Lennard-Jones 12-6 gas) and Kelmost (code 3, a hard-core
// corrected virial form).  The EOS code is the task option kOptEos; with code 1 none of
// this runs.
//
// Inputs (ws): the gas species with EOS flag 2 in run order (their gas ordinal
// g = 1, 2, ... numbers them, at most kMaxEosSpecies), their amounts N_k (mol/kg),
// sigma_k (A) and epsilon_k/k (K) of the run tables, the amount of the other gas
// species (ions, gases without Lennard-Jones data: ideal gas in the pressure), and the
// state of ws.results: p (MPa), T (K), V (m3/kg).  Mixture quantities go to ws.eos (EosState), correction terms to
// ws.corrections (NonIdealCorrections), in the solver's calorie units.
//
//  - SolveEosVolume: recomputes the mixture quantities and solves the EOS for V at the
//    state's p and T (virial: Cardano on the cubic in the molar density, "Roots:" lines
//    to the report when the cubic has three real roots, the root polished by Newton;
//    Kelmost: bisection over rho b < 0.9).  The cubic's coefficients are exactly the
//    B and C of the corrections, so that the volume meets the solver's gas-law row.
//    The Kelmost hard-core factor F is that of the density itself (F = rule(b(F))),
//    not that of the previous call.  With volume assigned (code 3 among code1/code2)
//    it stops after the mixture quantities and the Kelmost density check of the
//    state's density and leaves V alone.
//  - ComputeEosCorrections: G_c, S_c, H_c, U_c, G2_c and phi_g from the mixture
//    quantities at the current V and T.  Also transforms the per-ordinal sums of ws.eos
//    into the forms the sound-velocity derivative terms use.
//  - ComputeEosProperties: non-ideal Cp (results.Cp), Cv, sound velocity and isentropic
//    exponent of the converged state (to results.CvFrozen, aFrozen, kFrozen) and the
//    dense-gas factors applied to the viscosity and the thermal conductivities.
//
// Failures (status kEosFailed = 7, always with a message to the user first):
//  - Kelmost state denser than 0.9/b: with V assigned its density, otherwise the
//    density at which the equation gives p (above that of every density below 0.9/b):
//    warning " The density is too high! " and four report lines with that density;
//    V is set to the density 0.8/b.
//  - No positive pressure to match, or the Kelmost pressure not finite: warning
//    "No matching volume value for Kelmost EOS is found. ".
//  - Degenerate mixture or state, which would otherwise give divisions by zero: no gas
//    amount (n <= 0), sigma^3 or epsilon/k of the mixture not positive (species without
//    Lennard-Jones data), T <= 0, virial p <= 0 or no positive root of the cubic:
//    warning starting "Non-ideal EOS cannot be applied: ".  Nothing of the state is
//    changed then.
// ComputeEosCorrections leaves all corrections 0 (ideal gas) and returns 7 when the
// mixture quantities are degenerate (n, S3, eps_m, V not positive, Kelmost b not
// positive or 1 - rho b <= 0); SolveEosVolume has then already failed for that state.
// ComputeEosProperties changes nothing when its values would not be finite, and
// applies a dense-gas factor only when it is finite and positive.
#pragma once

#include <array>

#include "thermo/workspace.h"

namespace kvil {

class Interaction;
class ReportFile;
struct Task;

inline constexpr int kEosFailed = 7;
inline constexpr int kBStarTerms = 44;

// Coefficients c_j (j = 0..43) of the reduced second virial coefficient
// B*(T*) = sum_j c_j T*^(-(2j+1)/4), c_j = -(2^(j+1/2)/(4 j!)) Gamma((2j-1)/4),
// rounded to seven significant digits.  Index 0 holds c_0.
const std::array<double, kBStarTerms>& BStarCoefficients();

// B*(T*) by running powers; T* > 0.
double ReducedSecondVirial(double reducedT);

// Lennard-Jones pair quantities of two gas species (sigma in A, eps/k in K):
// sigma_ij^3 and eps_ij f_ij sigma_ij^3 with sigma_ij = (s_i + s_j)/2,
// eps_ij = sqrt(e_i e_j), f_ij = (2 sqrt(s_i s_j)/(s_i + s_j))^12.
struct LjPair {
  double sigma3 = 0;
  double epsFSigma3 = 0;
};
LjPair LennardJonesPair(double sigmaI, double sigmaJ, double epsI, double epsJ);

// Returns 0, or kEosFailed.  speciesCount: run species; code1, code2: the two assigned
// parameter codes (3 = volume given).  The EOS is that of the task; the lines of a state
// too dense for Kelmost and of the cubic's roots go to `report`, the warnings to `ui`.
int SolveEosVolume(const Task& task, CalcWorkspace& ws, ReportFile& report, Interaction& ui,
                   int speciesCount, int code1, int code2);

// Returns 0, or kEosFailed when the mixture quantities are degenerate (corrections 0).
int ComputeEosCorrections(const Task& task, CalcWorkspace& ws, int speciesCount);

// The density up to which the virial form's two coefficients hold, as b0 rho, b0 =
// (2/3) pi N_A sigma^3 of the mixture (the hard-sphere second coefficient, cm3/mol) and
// rho the molar density of the EOS gases.  Up to it the two-term series of hard spheres
// gives the compressibility within 3 % of the Carnahan-Starling equation (at 0.5: 1.656
// against 1.700); at b0 rho = 1 it is 15 % low (2.625 against 3.074).
inline constexpr double kVirialDensityLimit = 0.5;

// b0 rho of the virial state in `ws` (ws.eos as the last pass left it, the gas
// volume of ws.results); 0 when the state is not a virial one.
double VirialReducedDensity(const CalcWorkspace& ws);

// Values of the non-ideal derived properties of the current state, without changing it.
struct EosPropertyValues {
  bool valid = false;       // the EOS applies and every value below is finite
  double CpPrime = 0;       // kJ/(kg K), non-ideal Cp
  double Cv = 0;            // kJ/(kg K)
  double k = 0;             // isentropic exponent
  bool soundValid = false;  // Ka >= 0: a and k from the compressibility
  double a = 0;             // m/s
  double fEta = 1;          // dense-gas factor of the viscosity (1 = not applied)
  double fLambda = 1;       // dense-gas factor of the conductivities (1 = not applied)
};
EosPropertyValues EvaluateEosProperties(const Task& task, const CalcWorkspace& ws);

// Applies EvaluateEosProperties to ws.results (Cp, CvFrozen, kFrozen, aFrozen,
// viscosity, lambdaFrozen, lambdaReacting).
void ComputeEosProperties(const Task& task, CalcWorkspace& ws);

// True when the state carries non-ideal corrections of an active virial or Kelmost
// EOS (EOS code 2 or 3, positive mixture quantities and corrections computed).
bool NonIdealEosActive(const Task& task, const CalcWorkspace& ws);

}  // namespace kvil
