// A calculation run: the Run command and the driver over variants and values.
//
// RunCommand checks the task, prepares the report and results table files and runs
// either the task's own equilibrium problem or the chosen template
// calculations.  RunTask walks the source-composition variants and the values of
// the two assigned parameters, solves every point, iterates with a non-ideal
// equation of state, writes the report and the table, and adds throat, frozen and
// expansion states when asked.  Failures are shown through session.ui.
//
// Files: the report (session.ReportPath()) is created when missing and appended to;
// the results table (session.TablePath()) is emptied by RunCommand and receives one
// record per point written to the report.  A point whose solve fails, or whose
// non-ideal iteration does not converge, reaches neither file.  Units: assigned values
// are read in the units the task chose and converted to MPa, K, m3/kg, kJ/(kg*K) and
// kJ/kg; the task's own values are not changed.
#pragma once

#include <vector>

#include "core/detonation.h"

namespace kvil {

struct Session;

// Returns false when a check refused the run (its message was shown) or the run
// failed ("Calculation failed !"); true when the run ran, even if some points failed.
bool RunCommand(Session& session);

// The Run command with only the detonation template, at the initial states given
// instead of the settings' ones (kvil-batch --detonation): the checks of the task's
// composition and species, the result files emptied, one CJ point per request and
// source-composition variant.  Returns as RunCommand.
bool RunDetonations(Session& session, const std::vector<DetonationRequest>& requests);

// status: the last solver status (0 = success).  The report is opened and closed
// here; the species list is given back in its order of before the run, the progress
// window is hidden and the report closed on every way out.  A failed write of the
// report or the results table throws std::runtime_error (RunCommand turns it into
// "Calculation failed !").  The cancel flag (ws.state.cancel) is examined after
// session.ui.ProcessPendingInput() before every solve.
void RunTask(Session& session, int& status);

}  // namespace kvil
