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

#include <string>
#include <utility>
#include <vector>

#include "core/detonation.h"

namespace kvil {

struct RunState;
struct Session;

// One chamber point of a run, told to a RunObserver when the point is done: its
// throat and expansion points (and the frozen state) are done too.
struct PointDone {
  int componentVariant = 1;
  int index1 = 0, index2 = 0;   // positions in the value lists (in RunOptions::points: index1)
  int c1 = 0, c2 = 0;           // codes of the assigned values
  float value1 = 0, value2 = 0; // assigned values, MPa, K, m3/kg, kJ/(kg K), kJ/kg
  bool written = false;         // the chamber point reached the report and the table
  int status = 0;               // the solver's last status (0 = success)
  int records = 0;              // records the point added to the results table
};

// Told of every chamber point of a run, whether it succeeded or failed, and of the
// heat of combustion of the template.  kvil-batch's point list (--json) and the
// Python package's sweeps are built on it.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void ChamberPointDone(const Session& session, const PointDone& point) = 0;
  // q: heat of combustion (kJ/kg) of the variant just run by the template.
  virtual void HeatOfCombustion(const Session&, double /*q*/) {}
};

// How the Run command runs a task beyond what the task says.
struct RunOptions {
  // When not empty: the points of the run are these pairs of assigned values, in this
  // order and in internal units (MPa, K, m3/kg, kJ/(kg K), kJ/kg), instead of the
  // combinations of the two value lists; the task's parameter codes still say what
  // they are.  As for the first value of a list, an H or U of 0 is the enthalpy of
  // the components.
  std::vector<std::pair<float, float>> points;
  // When not empty: only the detonation template, at these initial states instead of
  // the settings' ones (RunDetonations).
  std::vector<DetonationRequest> detonations;
  RunObserver* observer = nullptr;
};

// Returns false when a check refused the run (its message was shown) or the run
// failed ("Calculation failed !"); true when the run ran, even if some points failed.
// ws.state.pointsComputed and pointsFailed count the chamber points of the command
// that reached the report and those that failed (a point STOP ended before it was
// written is neither); ws.state.cancel tells whether STOP ended it.  A stopped run
// leaves the line RunStoppedText in the report; a chamber point already written is
// finished with its throat and expansion points before the run stops.
bool RunCommand(Session& session);
bool RunCommand(Session& session, const RunOptions& options);

// The Run command with only the detonation template, at the initial states given
// instead of the settings' ones (kvil-batch --detonation): the checks of the task's
// composition and species, the result files emptied, one CJ point per request and
// source-composition variant.  Returns as RunCommand.
bool RunDetonations(Session& session, const std::vector<DetonationRequest>& requests);

// "Calculation stopped by the user after 12 points." (the report's line).
std::string RunStoppedText(int computed);

// The status line after a run: "5000 points computed, 0 failed.", after a STOP
// "Stopped: 12 points computed, 1 failed.".
std::string RunSummaryText(const RunState& state);

// status: the last solver status (0 = success).  The report is opened and closed
// here; the species list is given back in its order of before the run, the progress
// window is hidden and the report closed on every way out.  A failed write of the
// report or the results table throws std::runtime_error (RunCommand turns it into
// "Calculation failed !").  The cancel flag (ws.state.cancel) is examined after
// session.ui.ProcessPendingInput() before every solve.
void RunTask(Session& session, int& status);

}  // namespace kvil
