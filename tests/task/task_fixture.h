// Shared set-up of the task-layer tests: a session with a recording interaction whose
// configuration directory is a fresh temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

  // Writes a species database of the given species (name, kind code, up to two
  // (element code, count) pairs; no properties or polynomials) into the test directory
  // and opens it.
  struct TinySpecies {
    const char* name;
    int kind;
    int el1, n1, el2, n2;
  };
  void OpenTinyDatabase(const std::vector<TinySpecies>& species) {
    std::vector<std::uint8_t> bytes(species.size() * kSpeciesRecordSize, 0);
    for (std::size_t i = 0; i < species.size(); ++i) {
      std::uint8_t* r = bytes.data() + i * kSpeciesRecordSize;
      r[0] = species[i].el1;
      r[1] = species[i].n1;
      r[2] = species[i].el2;
      r[3] = species[i].n2;
      r[10] = species[i].kind;
      PutShortString(r, 28, 20, species[i].name);
    }
    ASSERT_TRUE(WriteFileAtomically(Path("Demo_1a.bas"), bytes.data(), bytes.size()));
    WriteText("Demo_2a.bas", "");
    WriteText("Demo_3a.bas", "");
    ASSERT_TRUE(session.database.Open(dir.string()));
  }

  RecordingInteraction ui;
  NullTaskView view;
  Session session;
  std::filesystem::path dir;
};

}  // namespace kvil::testing
