// Everything the engine works on, in one object owned by the application.
//
// The Qt application, kvil-batch and the tests each own one Session and pass it by
// reference to the engine's operations: the one task, the settings, the species
// database, the species grid rows, the calculation workspace, the names of the task's
// files, and the two channels to the user (Interaction for messages, questions and
// progress; TaskView for refreshing the main window).
#pragma once

#include <string>

#include "common/interaction.h"
#include "thermo/workspace.h"
#include "common/report_file.h"
#include "results/table_file.h"
#include "task/settings_record.h"
#include "task/species_list.h"
#include "task/task.h"
#include "task/task_view.h"
#include "thermo/species_db.h"

namespace kvil {

struct Session {
  Session(Interaction& ui, TaskView& view) : ui(ui), view(view) {}

  Interaction& ui;
  TaskView& view;

  Task task;
  Settings settings;
  SpeciesDatabase database;
  SpeciesGrid grid;
  CalcWorkspace ws;
  ReportFile report;  // the results report, open for appending during a run
  ResultsTableFile table;  // the results table, open for appending during a run

  // Files of the current task: datafile path (empty for a task never saved) and the
  // directory in which the companion files live ("" = working directory).
  std::string datafilePath;
  std::string ReportPath() const;       // base name + ".txt"
  std::string TablePath() const;        // base name + ".rst"
  std::string TableExtensionPath() const;  // base name + ".rsx" (results/table_file.h)
  std::string SpeciesListPath() const;  // base name + ".tdf"
};

}  // namespace kvil
