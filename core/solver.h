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
// Unknown layout for E element rows (elements + 1 charge row with ions) and C
// condensed species, N = E + C + 6 <= 43:
//   X[1] p atm, X[2] T K, X[3] lambda, X[4] S cal/(kg K), X[5] H cal/kg, X[6] U cal/kg,
//   X[6+j] element potential / T (cal/(mol K)), X[E+6+k] ln n of condensed species k.
// Species whose phase code is neither 1 (condensed) nor 2 (gas, ions included) take
// no part: they get no row and no column and their amounts are held at zero.
//
// The iteration works on the fixed tables of the workspace and allocates nothing.
// Messages (too many unknowns, the 100-iteration question, rejected results) go
// through session.ui; notes for the results report through session.report when it
// is open.  ws.state.solverIterations and solverChange tell how the last solve went.
#pragma once

namespace kvil {

struct Session;

enum SolveStatus : int {
  kSolveOk = 0,               // solved
  kSolveNoSolution = 1,       // no solution, or the result rejected by the user
  kSolveTooManyUnknowns = 3,  // N = E + C + 6 >= 44
  kSolveNotConverged = 6,     // 100 iterations, not accepted
};

// value1, value2: the assigned values in MPa, K, m3/kg, kJ/(kg K) or kJ/kg by code.
// The code word of a solve: start mode L (1 fresh, 2 continue), codes c1 and c2 of the
// two assigned values, ions option.
inline int SolverCodeWord(int startMode, int c1, int c2, bool ions) {
  return startMode * 10000 + 2 * 1000 + c1 * 100 + c2 * 10 + (ions ? 1 : 0);
}

// code (in): L*10000 + 2*1000 + c1*100 + c2*10 + ions, where L = 1 is a fresh start,
// L = 2 continues from the workspace, c1 and c2 are the codes of value1 and value2
// (1 p, 2 T, 3 V, 4 S, 5 H, 6 U, different from each other).  The ions option itself
// is read from the task.  code (out): the status (SolveStatus), also returned.
// speciesCount: number of run species; elementCount: number of system elements
// (the charge row is added internally when ions are on).
int SolveEquilibrium(Session& session, float value1, float value2, int& code, int speciesCount,
                     int elementCount);

// Largest |b_j - sum_i a_ij n_i| (mol/kg) over the system elements j = 1..
// task.elementCount of the current amounts (the charge row excluded).
double MaterialBalanceError(const Session& session);

// Zeroes the non-ideal correction terms and the equation-of-state outputs sharing
// the block (ws.corrections and ws.eos).
void ResetNonIdealCorrections(Session& session);

}  // namespace kvil
