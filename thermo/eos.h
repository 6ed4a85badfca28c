// Non-ideal equations of state of the gas phase: virial (EOS code 2) and Kelmost
// (code 3).  Mixture quantities come from the Lennard-Jones data of the run species
// with EOS flag 2; results go to ws.eos and ws.corrections.
//
//  - SolveEosVolume: V of the current state from p and T (status 0, or 7 on failure,
//    with its message); with volume assigned only the mixture quantities are refreshed.
//  - ComputeEosCorrections: the correction terms G_c, S_c, H_c, U_c, G2_c and phi_g.
//  - ComputeEosProperties: non-ideal Cp, Cv, sound velocity, isentropic exponent and
//    dense-gas factors of the transport values of a converged state.
#pragma once

namespace kvil {

struct Session;

inline constexpr int kEosFailed = 7;

int SolveEosVolume(Session& session, int speciesCount, int code1, int code2);
void ComputeEosCorrections(Session& session, int speciesCount);
void ComputeEosProperties(Session& session);

}  // namespace kvil
