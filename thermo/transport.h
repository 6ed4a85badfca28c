// Transport properties of the gas mixture of a converged state: viscosity (N s/m2),
// frozen thermal conductivity and the reaction part of the conductivity (W/(m K)).
//
// Inputs (ws): results T (K), p (MPa), V (m3/kg); state.condensedVolume V_c
// (m3/kg); per run species n (mol/kg), H (cal/mol), Cp (cal/(mol K)), phase, sigma (A),
// epsilon/k (K), delta (reduced dipole moment), molar mass M (g/mol); species.S holds
// the temperature-derivative terms d1 of the sound-velocity systems.
//
// Pure-species viscosities follow Chapman-Enskog with the Lennard-Jones collision
// integral Omega(2,2), conductivities a modified Eucken form, mixing the Wilke rule;
// the reaction conductivity solves the Stefan-Maxwell flux equations driven by the
// temperature derivatives of the composition.
//
// Safeguards: species take part only with n above the threshold, sigma > 0, eps > 0 and
// M > 0 (the electron, whose molar mass may be stored as 0, takes no part); a mixture
// that is more than 99.5 % condensed by mass, T <= 0 or no taking-part species give
// all three values 0; the reaction part is 0 when p <= 0, V - V_c <= 0, fewer than two
// gas species take part, the flux system is singular or the result is not finite.
#pragma once

#include "thermo/workspace.h"

namespace kvil {

// Writes ws.results.viscosity, lambdaFrozen, lambdaReacting.  y1: the first-system
// solution of the sound velocity (y1[1] = d n_gas/dT).  reacting = false skips the
// reaction conductivity (left 0).
void ComputeTransportProperties(CalcWorkspace& ws, int speciesCount,
                                const Array1<double, kMaxUnknowns>& y1, bool reacting);

}  // namespace kvil
