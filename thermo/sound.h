// Equilibrium sound velocity, heat capacities, isentropic exponent and transport
// properties of a converged state.
//
// ComputeSoundVelocity solves the two derivative systems of the equilibrium
// composition and leaves in ws.results: soundSpeed (m/s; 1.0 = not computable),
// CpEquilibrium, CvEquilibrium (kJ/(kg K)), kEquilibrium, and, through
// ComputeTransportProperties, viscosity (N s/m2) and the frozen and reacting thermal
// conductivities (W/(m K)).  It overwrites ws.species.S with the derivative terms.
#pragma once

namespace kvil {

struct Session;

void ComputeSoundVelocity(Session& session, int elementCount, int speciesCount, bool ions);

}  // namespace kvil
