// The BKW (Becker-Kistiakowsky-Wilson) equation of state of dense detonation products
// (EOS code 4) and the equation of state of condensed products under pressure.
//
// Gas phase, at temperature T (K), gas volume V_g (cm3 per kg of mixture) and amounts n_i
// (mol/kg) with covolumes k_i (cm3/mol):
//
//   p V_g = N R T F(x),  F = 1 + x e^(beta x),  x = kappa K / (V_g (T + theta)^alpha),
//   N = sum n_i,  K = sum n_i k_i  (cm3/kg).
//
// Every function follows in closed form from the residual Helmholtz energy
// A_res = N R T (e^(beta x) - 1)/beta, which depends on the amounts only through N and
// K: the residual chemical potential of species i is
//   mu_i/RT = u1 + k_i u2,  u1 = (e^(beta x) - 1)/beta,  u2 = N x e^(beta x)/K,
// U_res = R T^2 alpha K u2/(T + theta), S_res = (U_res - A_res)/T, and p V_g - N R T =
// R T K u2.  The equilibrium solver carries u1 and u2 as two unknowns of its Newton
// iteration (core/solver.h), so that the iteration keeps its quadratic convergence at the
// densities of detonation products.
//
// Domain: x >= 0 and beta x <= kBkwMaxBetaX.  The functions below never evaluate
// e^(beta x) beyond that bound: a state denser than it reports `inDomain` false and the
// values at the bound.
//
// Condensed products: C(c), Al2O3(c) and Al(c) follow the polynomial
//   p(rho, T) = A + B rho + C rho^2 + D rho^3 + E rho^4 + (a + b rho) t + (c + d/rho + e/rho^2) t^2
// (Mbar, g/cm3, t = T/11605.6 K) at high pressure and keep the density of the species
// database at ordinary pressures: below kCondensedBlendStart (MPa) the molar volume is
// that of the database, above kCondensedBlendEnd that of the polynomial, in between the
// two are blended with a smooth step of the pressure.  The Gibbs energy of a condensed
// product is G(p, T) = G(0, T) + integral of V dp from 0 to p; its residual parts
// (G, S, H, Cp) and the derivatives of V are closed forms of the polynomial (a Gauss
// quadrature over the blend interval).  Where the polynomial has no stable density at
// (p, T) (only at temperatures far above those of detonation products) the product is
// incompressible there.  Every other condensed product is incompressible at its
// database density.
//
// Data: data/bkw/*.csv (parameter sets, covolumes, condensed coefficients, atomic radii
// with their sources), compiled in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvil {

inline constexpr int kEosBkw = 4;            // the EOS option code of BKW
inline constexpr double kBkwMaxBetaX = 30;   // largest beta x evaluated (e^30 = 1.1e13)
inline constexpr double kCondensedBlendStart = 1000;  // MPa
inline constexpr double kCondensedBlendEnd = 2000;    // MPa
// Covolume estimate: factor times the sum of the atoms' sphere volumes (A^3).
inline constexpr double kCovolumePerAtomVolume = 10.46;
inline constexpr double kDefaultAtomRadius = 2.0;  // A, elements without a tabulated radius

struct BkwParameters {
  std::string name;  // "BKWR", "BKW-TNT"
  double alpha = 0.5;
  double beta = 0;
  double kappa = 0;
  double theta = 0;  // K
};

// The parameter sets of data/bkw/parameters.csv in file order; index 0 (BKWR) is the
// default.  BkwParameterSet(i) gives set i, or set 0 for an index out of range.
const std::vector<BkwParameters>& BkwParameterSets();
const BkwParameters& BkwParameterSet(int index);

// Tabulated covolume (cm3/mol) of a gas species by its display name; none when the
// table does not list it.
std::optional<double> TabulatedCovolume(std::string_view name);
// The estimate for a species without one: kCovolumePerAtomVolume times the sum of
// (4/3) pi r^3 over its atoms.  atoms: (element table index, count) pairs.
double EstimatedCovolume(const std::vector<std::pair<int, double>>& atoms);

// State of the BKW gas at (T, V_g, N, K).  Energies per kg of mixture.
struct BkwGasState {
  bool inDomain = true;  // beta x <= kBkwMaxBetaX (else the values are those at the bound)
  double x = 0;
  double expBetaX = 1;   // e^(beta x)
  double F = 1;          // p V_g/(N R T)
  double u1 = 0;         // (e^(beta x) - 1)/beta
  double u2 = 0;         // N x e^(beta x)/K, mol/cm3 (0 when K = 0)
  double p = 0;          // MPa, the whole gas pressure N R T F / V_g
  double aRes = 0;       // J/kg, residual Helmholtz energy
  double uRes = 0;       // J/kg
  double sRes = 0;       // J/(kg K)
  double hRes = 0;       // J/kg, U_res + p V_g - N R T
  double cvRes = 0;      // J/(kg K), dU_res/dT at fixed V_g and amounts
  double dpdT = 0;       // MPa/K at fixed V_g and amounts
  double dpdV = 0;       // MPa per cm3/kg at fixed T and amounts
};
// R: the gas constant in J/(mol K) the caller works with.
BkwGasState EvaluateBkwGas(const BkwParameters& set, double R, double T, double Vg, double N,
                           double K);

// Residual Helmholtz energy (J/kg) from the amounts and covolumes themselves, for checks
// of the closed forms against its finite differences.
double BkwResidualHelmholtz(const BkwParameters& set, double R, double T, double Vg,
                            const std::vector<double>& n, const std::vector<double>& k);

// ---- Condensed products -----------------------------------------------------------

// Coefficients of data/bkw/condensed.csv for one species.
struct CondensedEosData {
  std::string name;  // display name, e.g. "C(c)"
  double V0 = 0;     // cm3/g, reference volume of the data decks
  double c[10] = {};  // A, B, C, D, E, a, b, c, d, e
};
// The polynomial of a condensed species by display name; nullptr = incompressible.
const CondensedEosData* CondensedEosOf(std::string_view name);

// Polynomial pressure (Mbar) at rho (g/cm3) and T (K).
double CondensedPolynomialPressure(const CondensedEosData& eos, double rho, double T);

// A condensed product at (p, T): molar volume and the residual functions relative to the
// product at zero pressure (G = integral of V dp from 0 to p, S = -dG/dT, H = G + T S,
// Cp = T dS/dT, all at fixed p).  Per mol.
struct CondensedState {
  double V = 0;     // cm3/mol
  double dVdp = 0;  // cm3/(mol MPa)
  double dVdT = 0;  // cm3/(mol K)
  double G = 0;     // J/mol
  double S = 0;     // J/(mol K)
  double H = 0;     // J/mol
  double Cp = 0;    // J/(mol K)
};
// eos: nullptr for an incompressible product; molarMass g/mol; molarVolume cm3/mol, the
// database's volume (used below kCondensedBlendEnd); p MPa (negative taken as 0).
CondensedState EvaluateCondensed(const CondensedEosData* eos, double molarMass,
                                 double molarVolume, double p, double T);

}  // namespace kvil
