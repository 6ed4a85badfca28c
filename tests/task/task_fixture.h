// Shared set-up of the task-layer tests: a session with a recording interaction whose
// configuration directory is a fresh temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "common/binio.h"
#include "common/interaction.h"
#include "core/session.h"
#include "task/settings.h"
#include "task/task_view.h"

namespace kvil::testing {

class TaskTest : public ::testing::Test {
 protected:
  TaskTest() : session(ui, view) {
    static int counter = 0;
    dir = std::filesystem::temp_directory_path() /
          ("kvil_task_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    session.settings.directory = dir.string();
    ResetTask(session.task);
  }
  ~TaskTest() override { std::filesystem::remove_all(dir); }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  void WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string ReadText(const std::string& name) const {
    std::string s;
    ReadWholeFile(Path(name), s);
    return s;
  }
  // Sets component `row`: formula, amount text (parsed) and enthalpy.
  void SetComponent(int row, const std::string& formula, const std::string& amounts,
                    float enthalpy = 0) {
    SourceComponent& c = session.task.components[row];
    c.formula = formula;
    c.amountText = amounts;
    c.enthalpy = enthalpy;
    c.amounts.Fill(-1.0f);
  }

  RecordingInteraction ui;
  NullTaskView view;
  Session session;
  std::filesystem::path dir;
};

}  // namespace kvil::testing
