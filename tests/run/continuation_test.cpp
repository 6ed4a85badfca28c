// Points of a value list started from the previous converged point reach the same
// equilibrium as points solved from scratch, on lists where the phases change from point
// to point (condensed water and graphite at 300 K, gas only from 500 K; liquid to solid
// alumina), and with a non-ideal EOS (whose first pass continues).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/interaction.h"
#include "core/file_commands.h"
#include "core/run.h"
#include "core/session.h"
#include "results/table_file.h"
#include "support/json.h"
#include "thermo/species_db.h"
#include "task/task_view.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

std::vector<ResultsRecord> RunCase(const std::string& name, bool fresh, std::vector<std::string>& messages) {
  const fs::path dir = fs::temp_directory_path() /
                       ("kvil_continuation_" + std::to_string(::getpid()) + "_" +
                        fs::path(name).filename().string() + (fresh ? "_fresh" : "_cont"));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // A name without a folder is one of the CEA cases.
  const fs::path source = fs::path(KVIL_TEST_DATA_DIR) /
                          (name.find('/') == std::string::npos ? "cea/" + name : name);
  fs::copy_file(source.string() + ".dat", dir / (fs::path(name).filename().string() + ".dat"));
  RecordingInteraction ui;
  NullTaskView view;
  Session session(ui, view);
  session.settings.directory = dir.string();
  EXPECT_TRUE(session.database.Open(KVIL_DB_DIR));
  ReadTaskFile(session, (dir / (fs::path(name).filename().string() + ".dat")).string());
  session.settings.freshStart = fresh;
  EXPECT_TRUE(RunCommand(session));
  messages = ui.Texts();
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable(session.TablePath(), records), TableReadStatus::Ok);
  fs::remove_all(dir);
  return records;
}

class Continuation : public ::testing::TestWithParam<std::string> {};

TEST_P(Continuation, ReachesTheStateOfAFreshStart) {
  std::vector<std::string> freshMessages, continuedMessages;
  const auto fresh = RunCase(GetParam(), true, freshMessages);
  const auto continued = RunCase(GetParam(), false, continuedMessages);
  EXPECT_EQ(continuedMessages, freshMessages);
  ASSERT_EQ(continued.size(), fresh.size());
  ASSERT_GT(fresh.size(), 1u);
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    ASSERT_EQ(continued[i].parameters.size(), fresh[i].parameters.size());
    for (int p = 0; p < 6; ++p)  // p, T, V, S, H, U
      EXPECT_NEAR(continued[i].parameters[p], fresh[i].parameters[p],
                  1e-5 * std::max(1.0, std::fabs(fresh[i].parameters[p])))
          << "point " << i << " parameter " << p;
    ASSERT_EQ(continued[i].species.size(), fresh[i].species.size());
    for (std::size_t k = 0; k < fresh[i].species.size(); ++k) {
      const double a = fresh[i].species[k].second, b = continued[i].species[k].second;
      if (a > 1e-6) EXPECT_NEAR(b, a, 1e-4 * a) << "point " << i << " species " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, Continuation,
                         ::testing::Values("ch4-air-cold-tp", "ap-al-htpb-tp", "h2o2n2-tp",
                                           "tnt-tp-graphite", "ch4-air-lean-hp",
                                           "eos/rdx-vu-eos3"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (c == '-' || c == '/') c = '_';
                           return n;
                         });

// Cooling CH4/air with ions: below some 2300 K every charged species is a trace and the
// charge balance rests on them alone.  From a fresh start and continued from the hotter
// point before, the main ions come out as CEA has them.
TEST(ContinuationIons, TraceIonsReachTheAmountsOfCea) {
  const std::string name = "ch4-air-ions-cool-tp";
  std::ifstream in(std::string(KVIL_TEST_DATA_DIR) + "/cea/" + name + ".json");
  std::stringstream text;
  text << in.rdbuf();
  const auto cea = testjson::ParseJson(text.str())["cea"];
  SpeciesDatabase db;
  ASSERT_TRUE(db.Open(KVIL_DB_DIR));
  for (bool fresh : {true, false}) {
    std::vector<std::string> messages;
    const auto records = RunCase(name, fresh, messages);
    ASSERT_EQ(records.size(), cea.items.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      int checked = 0;
      for (const auto& [record, amount] : records[i].species) {
        SpeciesRecord species;
        ASSERT_TRUE(db.ReadSpecies(record, species));
        const std::string shown = SpeciesDisplayName(species.name);
        const std::string key = shown == "NO(+)" ? "NO+" : shown == "H3O(+)" ? "H3O+" : "";
        if (key.empty()) continue;
        const double expected = cea[i]["species_mol_per_kg"][key].number;
        EXPECT_NEAR(amount, expected, 0.02 * expected)
            << key << " at point " << i + 1 << (fresh ? ", fresh start" : ", continued");
        ++checked;
      }
      EXPECT_EQ(checked, 2);
    }
  }
}

}  // namespace
}  // namespace kvil
