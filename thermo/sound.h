// Equilibrium sound velocity, heat capacities, isentropic exponent and transport
// properties of a converged state.
//
// ComputeSoundVelocity differentiates the equilibrium composition with respect to T
// by two linear systems built from the converged state: the first at constant
// pressure (its last unknown is dV/dT, scaled to cm3/(kg K)), the second at constant
// volume (last unknown dp/dT, MPa/K).  Unknown 1 is d n_gas/dT, unknowns 2..f+1 the
// derivatives of the element potentials (f = elementCount, plus the charge row when
// `ions`), then one per taking-part condensed species, then the last one; the
// right-hand side is column m+1.  Species take part with n >= 1e-10 and no fixed
// concentration.  With a virial or Kelmost EOS in force (NonIdealEosActive) the
// non-ideal derivative terms of the mixture are added.
//
// Inputs (ws): results T (K), p (MPa), V (m3/kg), Cp (frozen, kJ/(kg K)); per
// species n, H (cal/mol), Cp (cal/(mol K)), phase, composition rows (the ion-code row
// is used as the decoded charge, as in the solver), EOS flag; task fixed
// concentrations; ws.eos and ws.corrections for the non-ideal terms.
//
// Outputs in ws.results: soundSpeed (m/s; 1.0 = not computable), CpEquilibrium,
// CvEquilibrium (kJ/(kg K)), kEquilibrium, and through ComputeTransportProperties
// viscosity, lambdaFrozen, lambdaReacting.  ws.species.S is overwritten: the gas
// species that take part get their temperature-derivative terms d1 (mol/(kg K)),
// other species their c = Cp - R (gas) or Cp (condensed), fixed species 0.
// ws.X and ws.Y are restored on return; ws.linear.augmented is used as work space.
//
// Failure handling: a singular system (exact zero pivot) in either system gives the
// fallback: heat capacities, exponent and sound velocity of the frozen mixture (for a
// non-ideal EOS those of EvaluateEosProperties), derivative terms from a reduced
// system of the gas species only (all 0 when that is singular as well).  Element rows
// that no taking-part species touches (typically the charge row with the ions option
// at low temperature) are decoupled (potential derivative 0) instead of making the
// systems singular.  A state with T, p or V not positive, more than 42 unknowns, or
// values that would not be finite reports a = 1 and Cp, Cv, k = 0; the sound velocity
// is 1 whenever a^2 cannot be formed (Cp <= 0, Cv <= 0, Cp <= Cv, dV/dT = 0, a^2 < 0).
#pragma once

namespace kvil {

struct CalcWorkspace;
struct Task;

// transport = false leaves the transport properties for CompleteTransportProperties: a
// search that needs the sound velocity of its iterates (the throat, the exit at an area
// ratio) forms them only for the state it settles on.
void ComputeSoundVelocity(const Task& task, CalcWorkspace& ws, int elementCount, int speciesCount,
                          bool ions, bool transport = true);

// The transport properties of the state of the last ComputeSoundVelocity called with
// transport = false, as that call would have formed them; nothing when none is pending.
// Nothing may change the state, the amounts or ws.species.S in between.
void CompleteTransportProperties(CalcWorkspace& ws, int speciesCount);

}  // namespace kvil
