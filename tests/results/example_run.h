// Runs the example propellant of the distribution with the shipped species database,
// after the test has changed its task, so that analysis tests work on real records.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/file_commands.h"
#include "core/run.h"
#include "core/session.h"
#include "task/settings.h"
#include "task/task.h"
#include "task/value_lists.h"

namespace kvil::example_run {

// Copies examples/propellant.dat (and .tdf) into `dir` as <name>.dat, reads it, lets
// `adjust` change the task and runs it.  False when any step fails.
inline bool RunExamplePropellant(Session& session, const std::filesystem::path& dir,
                                 const std::string& name,
                                 const std::function<void(Task&)>& adjust) {
  namespace fs = std::filesystem;
  fs::create_directories(dir);
  const fs::path source = fs::path(KVIL_SOURCE_DIR) / "examples";
  fs::copy_file(source / "propellant.dat", dir / (name + ".dat"),
                fs::copy_options::overwrite_existing);
  fs::copy_file(source / "propellant.tdf", dir / (name + ".tdf"),
                fs::copy_options::overwrite_existing);
  if (!session.database.IsOpen() && !session.database.Open(KVIL_DB_DIR)) return false;
  session.settings.directory = dir.string();
  SetDefaultSettings(session.settings.record);
  if (ReadTaskFile(session, (dir / (name + ".dat")).string()) != ReadTaskResult::Ok) return false;
  if (adjust) adjust(session.task);
  if (!ParseAllAmounts(session.task, session.database, session.ui)) return false;
  return RunCommand(session);
}

// The value list of slot `n` (1 first, 2 second, 3 expansion parameter), without step.
inline void SetSlotValues(Task& t, int n, const std::string& values) {
  t.slots[n].valueText = values;
  t.slots[n].stepText = "";
}

// A plain equilibrium task: the templates off, parameter 1 and 2 as given.
inline void PlainEquilibrium(Task& t, int firstCode, const std::string& first, int secondCode,
                             const std::string& second) {
  t.options[kOptTemplateHeat] = t.options[kOptTemplatePowder] = t.options[kOptTemplateImpulse] = 0;
  t.firstCode = firstCode;
  t.secondCode = secondCode;
  t.expansionCode = kParamNone;
  t.slots[1].valueText = first;
  t.slots[1].stepText = "";
  t.slots[2].valueText = second;
  t.slots[2].stepText = "";
  t.slots[3].valueText = " ";
  t.slots[3].stepText = "";
}

}  // namespace kvil::example_run
