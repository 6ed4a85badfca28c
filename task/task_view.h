// What the task layer asks of the main window.
//
// The task model and its files are complete without a window; where a task operation
// would refresh a control, it calls this small interface instead.  The Qt main window
// implements it; kvil-batch and the tests use NullTaskView (or a recording subclass).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kvil {

struct Task;
struct SettingsRecord;

class TaskView {
 public:
  virtual ~TaskView() = default;
  // The whole task changed (read, reset): refresh every field of page 1.
  virtual void TaskChanged(const Task&) {}
  // Settings changed (record loaded, reset): refresh page 5.
  virtual void SettingsChanged(const SettingsRecord&) {}
  // Settings-page option groups and check boxes set from the task options.
  virtual void OptionsChanged(const std::array<std::uint8_t, 64>&) {}
  // The option summary line of the status panel.
  virtual void ShowOptionSummary(const std::string&) {}
  // "Fixed mol." indicator of the status panel.
  virtual void ShowFixedIndicator(bool) {}
  // Template check boxes (impulse, heat of combustion, powder force).
  virtual void ShowTemplateBoxes(bool, bool, bool) {}
  // Counts line of the species page.
  virtual void ShowSpeciesCounts(const std::string&) {}
  // Species grid rows changed.
  virtual void SpeciesGridChanged() {}
};

class NullTaskView : public TaskView {};

}  // namespace kvil
