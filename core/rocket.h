// Rocket performance states: throat, nozzle expansion to an area ratio, the
// freezing-point state of a frozen expansion, and the frozen state of the
// heat-of-combustion template.
//
// Throat and expansion are isentropic from the chamber: entropy S_ch (kJ/(kg*K)),
// enthalpy ws.state.chamberH (kJ/kg), pressure ws.state.chamberP (MPa).
//  - ComputeThroat finds the throat enthalpy at which the velocity of flow
//    w = sqrt(2000 (H_ch - H)) m/s equals the local equilibrium sound velocity (secant
//    on a^2 as a linear function of H).  It leaves ws.state.throatAreaPerFlow
//    (V/w at the throat, m2*s/kg), throatP (MPa) and throatK.
//  - ExpandToAreaRatio finds the exit pressure whose area per unit mass flow rate,
//    divided by the throat's, equals the requested ratio (Newton steps on
//    ln(p_ch/p_e), at most 10).  With ws.state.frozenComposition set the composition
//    stays that of the freezing point and Cv, k and a come from the frozen mixture.
// Each converged state writes one report block and one results-table record (kind 1
// throat, 2 expansion).  Both work with the ideal-gas equation of state and restore
// the task's choice and the FrozenComposition flag before they return.
//
// Return values are solver statuses (core/solver.h): 0 success; the solver's status
// when a solve fails (no message of ours); 1 when the state cannot be computed (the
// message was shown); kSolveNotConverged when the area ratio was not reached in 10
// steps (noted in the report).  A failed write of the results table throws
// std::runtime_error, which the Run command reports as "Calculation failed !".
#pragma once

namespace kvil {

struct Session;

// componentCount: source components with a formula (for the results table).
// code: the code word, in/out as for SolveEquilibrium (out: the status).
// chamberEntropy: S_ch, kJ/(kg*K).
// Requires the gas-present flag and a chamber sound velocity of at least 1 m/s in
// ws.results; otherwise error box "Throat parameters cannot be calculated".
int ComputeThroat(Session& session, int componentCount, int& code, double chamberEntropy);

// freezeP: pressure of the freezing state, MPa (used only with FrozenComposition).
// areaRatio: F(a)/F(throat), at least 1.0001.
// Computes (and reports) the throat first when ws.state has no throat values.
// Without the throat option of the task the throat values are cleared on return, so
// the next area ratio computes and reports its own throat.
int ExpandToAreaRatio(Session& session, int componentCount, int& code, double freezeP,
                      double areaRatio, double chamberEntropy);

// Freezing-point equilibrium of a frozen expansion (used by the run driver, steps
// between the throat and the expansion points): solves at T = the freezing point of
// the settings (K) and S = chamberEntropy with the code word
// startMode*10000 + 2000 + 240 + ions, after clearing the non-ideal corrections and
// the sound velocity.  On success ws.state.freezeP (MPa) and freezeV (m3/kg) hold the
// freezing state and ws.state.frozenComposition is set.  On failure shows
// "Frozen parameters cannot be calculated !" (information) and returns the status.
int SolveFreezingState(Session& session, int startMode, int& code, double chamberEntropy);

// The question asked when the frozen state lies beyond an expansion state (freezing
// pressure below the expansion pressure, or freezing volume above the expansion
// volume): "Frozen pressure (" p_f " MPa) is less than" / "expansion pressure (" p
// " MPa)." / "Frozen calculation has no sense." / "Proceed with equilibrium
// expansion?" (or the volume form in cub.m/kg).  Information box, Yes/No; true = Yes.
bool AskEquilibriumExpansion(Session& session, bool volume, double frozenValue,
                             double expansionValue);

// A state of the frozen composition (ws.state.frozenComposition set) at entropy
// `entropy` (kJ/(kg*K)) and pressure (code 1, MPa) or volume (code 3, m3/kg) `value`.
// With the amounts held, only T is unknown: Newton steps on T with the solver's frozen
// evaluation at assigned T and p or V (dS/dT = Cp/T at fixed p, Cv/T at fixed V), from
// the temperature of the state in ws.results, until |dT| <= 1e-6 T (at most 50 steps).
// The state is left in ws.results as SolveEquilibrium leaves it.  Returns the solver
// status, or kSolveNotConverged (6) when T does not settle.  The expansion to an area
// ratio uses it for its frozen points; the run's frozen expansion points by pressure
// or volume can use it the same way.
int SolveFrozenAtEntropy(Session& session, double entropy, int code2, double value, int& code);

// Heat-of-combustion template with the frozen option: equilibrium at the freezing
// point (the T parameter replaced by it), then the frozen mixture at the assigned T
// and p or V (c1, c2: codes of value1, value2; one is T = 2, the other p = 1 or
// V = 3).  Writes the report block (no table record).  FrozenComposition is clear on
// every return.  Failures show "Frozen parameters cannot be calculated !"
// (information) and return a non-zero status.
int ComputeFrozenState(Session& session, int c1, int c2, int& code, float value2, float value1);

// The state evaluations these calculations make.  The default calls SolveEquilibrium
// (run species count, ElementCount of the task) and ComputeSoundVelocity; a test may
// install an analytic gas model to check the throat and expansion iterations on their
// own.  SetRocketStateModel(nullptr) restores the default.
struct RocketStateModel {
  virtual ~RocketStateModel() = default;
  // As SolveEquilibrium: returns the status and leaves it in code.
  virtual int Solve(Session& session, float value1, float value2, int& code) = 0;
  // As ComputeSoundVelocity: ws.results.soundSpeed and kEquilibrium (the default leaves
  // the transport properties for TransportProperties).
  virtual void SoundVelocity(Session& session) = 0;
  // The transport properties of the state of the last SoundVelocity, before the state
  // is written.
  virtual void TransportProperties(Session&) {}
};
void SetRocketStateModel(RocketStateModel* model);

}  // namespace kvil
