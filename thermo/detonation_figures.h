// The data of a detonation: its request (the initial state) and the figures computed
// from it (CJ state, isentrope, cylinder-test energies, JWL fit), with the status of the
// calculation, and the texts that name them in messages.  Plain data: the calculation
// is core/detonation.h; the workspace keeps the run's requests and the figures of the
// point being written (thermo/workspace.h), and the report and the results table write
// them.
//
// Units: pressures MPa (JWL constants GPa), volumes m3/kg, densities g/cm3, energies
// kJ/kg, velocities m/s, temperatures K.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kvil {

struct DetonationRequest {
  double initialDensity = 0;            // g/cm3; 0 = gaseous: ideal-gas density at p0, T0
  double initialPressure = 0.1;         // MPa
  double initialTemperature = 298.15;   // K; the density of a gaseous mixture only
  bool frozenExpansion = false;         // hold the composition below freezingTemperature
  double freezingTemperature = 1500;    // K
  bool expansion = true;                // the isentrope, cylinder energies and JWL fit
};

enum DetonationStatus : int {
  kDetonationOk = 0,
  kDetonationBadInput = 1,     // initial state not positive and finite, or no EOS for it
  kDetonationNoEnergy = 2,     // the products hold more energy than the mixture gives
  kDetonationTooDense = 3,     // the products cannot be compressed to the Hugoniot
  kDetonationNoHugoniot = 4,   // no minimum of D, or a Hugoniot point without solution
  kDetonationNoState = 5,      // an equilibrium (BKW) state without solution
};

// Relative volumes of the cylinder-test energies.
inline constexpr double kCylinderVolumes[3] = {2.2, 4.0, 7.2};

struct JwlFit {
  bool valid = false;
  double A = 0, B = 0, C = 0;     // GPa
  double R1 = 0, R2 = 0, omega = 0;
  double E0 = 0;                  // GPa (kJ/cm3 of initial volume)
  double vMin = 0, vMax = 0;      // fitted range of V/V0
  double maxDeviation = 0;        // largest |p_fit - p|/p over the fitted points
  int points = 0;
};

struct IsentropePoint {
  double v = 0;       // V/V0
  double p = 0;       // MPa
  double T = 0;       // K
  double U = 0;       // kJ/kg
  bool frozen = false;
};

struct DetonationFigures {
  int status = kDetonationNoState;
  std::string reason;  // why there is no result (empty on success)
  // Initial state.
  double rho0 = 0;  // g/cm3
  double V0 = 0;    // m3/kg
  double p0 = 0;    // MPa
  double T0 = 0;    // K (gaseous mixtures)
  double E0 = 0;    // kJ/kg
  bool gaseous = false;
  // CJ state.
  double D = 0;        // m/s
  double pCJ = 0;      // MPa
  double TCJ = 0;      // K
  double VCJ = 0;      // m3/kg (gas and condensed)
  double rhoCJ = 0;    // g/cm3
  double vCJ = 0;      // V/V0
  double uCJ = 0;      // m/s
  double cCJ = 0;      // m/s, equilibrium sound velocity
  double gammaCJ = 0;  // rho0 D^2/p_CJ - 1
  double UCJ = 0, HCJ = 0, SCJ = 0;  // kJ/kg, kJ/kg, kJ/(kg K)
  double hugoniotResidual = 0;  // |E - E0 - (p + p0)(V0 - V)/2| / ((p + p0)(V0 - V)/2)
  double soundCheck = 0;        // (D - (u + c))/D
  std::vector<std::pair<std::string, double>> composition;  // species at CJ, mol/kg
  // Isentrope.
  double energy[3] = {0, 0, 0};  // kJ/kg released to kCylinderVolumes
  double gurney[3] = {0, 0, 0};  // m/s
  bool energyValid[3] = {false, false, false};
  std::vector<IsentropePoint> isentrope;
  bool frozenExpansion = false;  // the isentrope froze at the freezing temperature
  JwlFit jwl;
  // Work of the calculation.
  int hugoniotPoints = 0;        // Hugoniot points evaluated
  int hugoniotSolves = 0;        // equilibrium solves on the Hugoniot
  long long hugoniotIterations = 0;  // Newton iterations of those solves
  int isentropeSolves = 0;
};

// "1.8 g/cm3" or "p0 = 0.1 MPa, T0 = 298.15 K": how messages and reports name the
// initial state.
std::string InitialStateText(const DetonationRequest& request);

// The message of a failed detonation point: "No detonation state for the initial
// density 1.8 g/cm3: " + reason + ".".
std::string DetonationFailureMessage(const DetonationRequest& request,
                                     const DetonationFigures& figures);

}  // namespace kvil
