// A calculation run: the Run command and the driver over variants and values.
//
// RunCommand checks the task, prepares the report and results table files and runs
// either the task's own equilibrium specification or the chosen template
// calculations.  RunTask walks the source-composition variants and the values of
// the two assigned parameters, solves every point, iterates with a non-ideal
// equation of state, writes the report and the table, and adds throat, frozen and
// expansion states when asked.  Failures are shown through session.ui.
#pragma once

namespace kvil {

struct Session;

// Returns false when a check refused the run (its message was shown) or the run
// failed ("Calculation failed !"); true when the run ran, even if some points failed.
bool RunCommand(Session& session);

// status: the last solver status (0 = success).
void RunTask(Session& session, int& status);

}  // namespace kvil
