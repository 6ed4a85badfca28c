#include "core/run.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the calculation run replaces them.
bool RunCommand(Session&) { return false; }
void RunTask(Session&, int& status) { status = 1; }

}  // namespace kvil
