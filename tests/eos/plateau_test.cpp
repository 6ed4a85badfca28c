// States on a phase-change plateau (tests/data/plateau, with NASA CEA's values): a
// metal boiling and an oxide melting.  The equilibrium sound speed and exponent agree
// with CEA, the unbounded heat capacity is said in words in the report, and no
// negative heat capacity or exponent reaches the report or the results table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/file_commands.h"
#include "core/run.h"
#include "core/session.h"
#include "results/table_file.h"
#include "task/settings.h"
#include "thermo/species_catalog.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

// Results-table positions of k", Cp" and Cv".
constexpr int kParKEq = 13, kParCpEq = 14, kParCvEq = 15;

struct PlateauCase {
  const char* name;
  double T, a, gammaS;  // CEA (the case's .json)
  bool cvUnbounded;     // melting: Cv is unbounded as well
};

TEST(Plateau, SoundSpeedAsCeaAndHeatCapacityInWords) {
  if (!fs::exists(fs::path(KVIL_DB_DIR) / "Demo_1a.bas")) GTEST_SKIP() << "no database";
  const PlateauCase cases[] = {{"mg-boil-hp", 1364.09, 532.6, 1.1838, false},
                               {"al2o3-melt-hp", 2327.0, 587.7, 1.0, true}};
  for (const PlateauCase& c : cases) {
    const fs::path dir = fs::temp_directory_path() / (std::string("kvil_plateau_") + c.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KVIL_TEST_DATA_DIR) / "plateau" / (std::string(c.name) + ".dat"),
                  dir / "case.dat");
    RecordingInteraction ui(Answer::Yes);
    NullTaskView view;
    auto session = std::make_unique<Session>(ui, view);
    Session& s = *session;
    s.settings.directory = dir.string();
    SetDefaultSettings(s.settings.record);
    ASSERT_TRUE(s.database.Open(KVIL_DB_DIR));
    ASSERT_EQ(ReadTaskFile(s, (dir / "case.dat").string()), ReadTaskResult::Ok);
    if (s.task.species.total == 0)
      LoadSpeciesList(s.task, s.database, s.grid, s.ui, s.view, s.SpeciesListPath());
    s.datafilePath = (dir / "case.dat").string();
    s.task.options[kOptSound] = 1;
    ASSERT_TRUE(RunCommand(s)) << c.name;
    EXPECT_TRUE(ui.Texts().empty()) << c.name;

    const ResultsBlock& r = s.ws.results;
    EXPECT_NEAR(r.T, c.T, 0.5) << c.name;
    EXPECT_NEAR(r.soundSpeed / c.a, 1.0, 0.01) << c.name;
    EXPECT_NEAR(r.kEquilibrium / c.gammaS, 1.0, 0.01) << c.name;
    EXPECT_TRUE(r.cpUnbounded) << c.name;
    EXPECT_EQ(r.cvUnbounded, c.cvUnbounded) << c.name;

    std::ifstream in(s.ReportPath(), std::ios::binary);
    const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(report.find("Cp\" =unbounded"), std::string::npos) << c.name;
    EXPECT_EQ(report.find("Cp\" = -"), std::string::npos) << c.name;
    EXPECT_EQ(report.find("k\" = -"), std::string::npos) << c.name;

    std::vector<ResultsRecord> records;
    ReadResultsTable(s.TablePath(), records);
    ASSERT_EQ(records.size(), 1u) << c.name;
    for (int i : {kParKEq, kParCpEq, kParCvEq}) EXPECT_GE(records[0].parameters[i], 0.0) << c.name;
    EXPECT_GT(records[0].parameters[kParKEq], 0.0) << c.name;
    session.reset();
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace kvil
