// Chemical equilibrium of the run species for two assigned state parameters.
//
// SolveEquilibrium is a Newton-Raphson iteration on a small linear system whose
// unknowns are p (atm), T (K), lambda = ln(Rv T / V), S, H, U of the mixture
// (cal/kg units), one potential per element (and one for the charge with ions) and
// ln n of each condensed species; gas amounts follow from the potentials.  Inputs are
// in MPa, K, m3/kg, kJ/(kg K), kJ/kg; the results go to ws.results in those units and
// the amounts to ws.species.  With ws.state.frozenComposition the amounts are never
// changed (and with T and p or V assigned the frozen mixture is evaluated directly).
//
// code (in): L*10000 + 2*1000 + c1*100 + c2*10 + ions, where L = 1 is a fresh start,
// L = 2 continues from the workspace, c1 and c2 are the codes of value1 and value2
// (1 p, 2 T, 3 V, 4 S, 5 H, 6 U).  code (out): the status.
#pragma once

namespace kvil {

struct Session;

enum SolveStatus : int {
  kSolveOk = 0,             // solved
  kSolveNoSolution = 1,     // no solution, or the result rejected by the user
  kSolveTooManyUnknowns = 3,
  kSolveNotConverged = 6,   // 100 iterations, not accepted
};

// Returns the status (also left in `code`).
int SolveEquilibrium(Session& session, float value1, float value2, int& code,
                     int speciesCount, int elementCount);

// Largest |b_j - sum_i a_ij n_i| over the chemical elements (charge row excluded).
double MaterialBalanceError(const Session& session);

// Zeroes the non-ideal correction terms (and the EOS outputs sharing the block).
void ResetNonIdealCorrections(Session& session);

}  // namespace kvil
