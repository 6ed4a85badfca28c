// Rocket performance states: throat, nozzle expansion to an area ratio, and the
// frozen state of the heat-of-combustion template.
//
// All are isentropic from the chamber (entropy S_ch, enthalpy ws.state.chamberH,
// pressure ws.state.chamberP).  ComputeThroat finds the throat enthalpy where the
// velocity of flow equals the local sound velocity; ExpandToAreaRatio finds the exit
// pressure whose area per unit mass flow rate, divided by the throat's, equals the
// requested ratio.  Each writes one report block and one results-table record.
// Return values are solver statuses (core/solver.h): 0 success, non-zero failure.
#pragma once

namespace kvil {

struct Session;

// code: the code word, in/out as for SolveEquilibrium.
int ComputeThroat(Session& session, int componentCount, int& code, double chamberEntropy);
int ExpandToAreaRatio(Session& session, int componentCount, int& code, double freezeP,
                      double areaRatio, double chamberEntropy);
// Heat-of-combustion template with the frozen option: equilibrium at the freezing
// point, then the frozen mixture at the assigned T and p or V.
int ComputeFrozenState(Session& session, int c1, int c2, int& code, float value2,
                       float value1);

}  // namespace kvil
