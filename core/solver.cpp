#include "core/solver.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the equilibrium solver replaces them.
int SolveEquilibrium(Session&, float, float, int& code, int, int) {
  code = kSolveNoSolution;
  return code;
}
double MaterialBalanceError(const Session&) { return 0; }
void ResetNonIdealCorrections(Session& session) {
  session.ws.corrections = NonIdealCorrections{};
}

}  // namespace kvil
