// Detonation of the source mixture: the Chapman-Jouguet (CJ) state and the expansion of
// its products along the CJ isentrope.
//
// The detonation is a calculation of its own beside the rocket's: it calls the same
// equilibrium solver the run uses (SolveEquilibrium with the task's equation of state:
// the ideal gas, or BKW with its terms in the Newton iteration) and keeps its own state
// in DetonationFigures.  The virial and Kelmost equations do not reach the densities
// of detonation products (RDX products: the virial form to about 1.8 g/cm3, Kelmost to
// 1.4, the CJ state of RDX at 1.80 g/cm3 lies near 2.4): with them (EOS codes 2, 3) the
// detonation is refused with kDetonationBadInput and says so.
//
// Initial state.  A condensed explosive (or a mixture with condensed components) at the
// initial density rho0 (g/cm3) and pressure p0; a gaseous mixture (rho0 = 0 in the
// request) at its ideal-gas density at p0 and T0.  The specific energy of the
// unreacted mixture is E0 = H0 - p0 V0 with H0 the mixture enthalpy of the components
// (kJ/kg, the current source-composition variant).
//
// CJ state.  On the equilibrium Hugoniot E - E0 = (p + p0)(V0 - V)/2 the point of the
// smallest detonation velocity D = V0 sqrt((p - p0)/(V0 - V)) (Brent's minimisation over
// V/V0; each Hugoniot point is an equilibrium at (V, T) with T found by Newton's method
// from the derivatives of the solver's matrix).  At that point the program checks D =
// u + c with the equilibrium sound velocity c and the particle velocity
// u = sqrt((p - p0)(V0 - V)), and gives gamma_CJ = rho0 D^2/p_CJ - 1.
//
// Isentrope.  From the CJ state at its entropy down to 0.1 MPa, and at least to
// V/V0 = 7.2: equilibrium states at (V, S); with `frozenExpansion` the composition is
// held from the temperature `freezingTemperature` on.  The energy released to V/V0 = 2.2,
// 4 and 7.2 (the cylinder-test figures) is E(v) = E0 - U(v) (kJ/kg), the Gurney velocity
// sqrt(2 E).  The JWL form p = A e^(-R1 v) + B e^(-R2 v) + C v^-(1 + omega) is fitted to
// the isentrope over v_CJ <= v <= 10 (least squares of the relative deviation in p) with
// its energy constant E0 = e_s(v_CJ) - p_CJ (1 - v_CJ)/2, e_s the JWL isentrope's energy
// per unit initial volume.
//
// Units: pressures MPa (JWL constants GPa), volumes m3/kg, densities g/cm3, energies
// kJ/kg, velocities m/s, temperatures K.
//
// Failures are statuses with a reason text (DetonationFigures::reason); the caller shows
// the message.  Nothing is written here: the run's template writes the report and the
// table (core/run.h), kvil-batch --detonation the CSV.  The workspace holds the CJ state
// on return when the status is kDetonationOk (the isentrope's states are not left
// there).
#pragma once

#include <string>

#include "common/constants.h"  // kMaxInitialDensity
#include "thermo/detonation_figures.h"

namespace kvil {

struct Session;

// The detonation of the current source-composition variant with the run tables as
// PrepareRunSpecies (and, for BKW, PrepareBkwSpecies) left them and the element balance
// of the variant in the task.  Returns the status (also in figures.status).
int ComputeDetonation(Session& session, const DetonationRequest& request,
                      DetonationFigures& figures);

// The entry for programs: the detonation of the task's source composition (variant 1)
// with the task's equation of state and selected species, from the task alone: builds
// the run tables and the element balance, computes, and gives the species list back in
// its order.  Messages go to session.ui only for failures of the task itself (no
// elements, no species); a detonation that fails says why in figures.reason.
int DetonationOfTask(Session& session, const DetonationRequest& request,
                     DetonationFigures& figures);

}  // namespace kvil
