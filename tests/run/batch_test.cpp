// kvil-batch's calculation mode: files it writes, the CSV table, messages and exit status.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>

#include "core/session.h"
#include "results/table_file.h"
#include "run/batch_support.h"
#include "run/ho_system.h"
#include "task/datafile.h"
#include "task/settings.h"
#include "task/species_list_file.h"
#include "thermo/test_database.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;
using namespace batch_test;

class BatchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_db::FreshDir("batch");
    fs::create_directories(dir_ / "db");
    testing_db::WriteDatabase(dir_ / "db", run_test::HydrogenOxygen());
    ResetTask(task_);
    task_.components[1].formula = "H2";
    task_.components[1].amountText = "11.19";
    task_.components[2].formula = "O2";
    task_.components[2].amountText = "88.81";
    task_.firstCode = kParamP;
    task_.slots[1].valueText = "1 10 ";
    task_.secondCode = kParamT;
    task_.slots[2].valueText = "3000 ";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteTask(const std::string& name = "t.dat") {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << DatafileText(task_);
  }
  std::string DbArg() const { return "--db " + Quote((dir_ / "db").string()); }

  fs::path dir_;
  Task task_;
};

TEST_F(BatchFixture, RunsTheTaskAndWritesReportTableAndCsv) {
  WriteTask();
  std::ofstream(dir_ / "t.txt", std::ios::binary) << "earlier run\r\n";
  const BatchResult r = RunKvilBatch(dir_, DbArg() + " --csv out.csv t.dat");
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  // The report is appended to, the table holds this run, the species list was built.
  const std::string report = ReadText(dir_ / "t.txt");
  EXPECT_EQ(report.rfind("earlier run\r\n", 0), 0u);
  EXPECT_NE(report.find("Assigned values of equilibrium parameters"), std::string::npos);
  std::vector<ResultsRecord> records;
  ASSERT_EQ(ReadResultsTable((dir_ / "t.rst").string(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 2u);

  const auto rows = ParseCsv(ReadText(dir_ / "out.csv"));
  ASSERT_EQ(rows.size(), 3u);
  const auto& h = rows[0];
  ASSERT_GE(h.size(), 1u + kResultsParameterCount);
  EXPECT_EQ(h[0], "kind");
  for (int i = 0; i < kResultsParameterCount; ++i) EXPECT_EQ(h[1 + i], kResultsParameterNames[i]);
  for (const char* name : {"[H]", "[O]", "component 1", "component 2", "H2", "O2", "H2O", "OH"})
    EXPECT_GE(Column(h, name), 0) << name;
  EXPECT_EQ(h.size(), 1u + kResultsParameterCount + 2 + 2 + 6);
  // Quoting: a name with a comma and one with a quote character.
  EXPECT_NE(ReadText(dir_ / "out.csv").find("kind,\"p, MPa\",\"T, K\""), std::string::npos);
  EXPECT_NE(ReadText(dir_ / "out.csv").find(",\"k\"\"\","), std::string::npos);

  const int t = Column(h, "T, K"), p = Column(h, "p, MPa"), h2o = Column(h, "H2O");
  for (int i = 1; i <= 2; ++i) {
    ASSERT_EQ(rows[i].size(), h.size());
    EXPECT_EQ(std::strtod(rows[i][0].c_str(), nullptr), 0);
    EXPECT_NEAR(std::strtod(rows[i][t].c_str(), nullptr), 3000, 1e-3);
    // 17 significant digits: the CSV holds the table's doubles exactly.
    EXPECT_EQ(std::strtod(rows[i][p].c_str(), nullptr), records[i - 1].parameters[0]);
    EXPECT_GT(std::strtod(rows[i][h2o].c_str(), nullptr), 10);
  }
  EXPECT_NEAR(std::strtod(rows[1][p].c_str(), nullptr), 1.0, 1e-9);
  EXPECT_NEAR(std::strtod(rows[2][p].c_str(), nullptr), 10.0, 1e-8);
}

TEST_F(BatchFixture, ExitStatusTellsRefusalFromBadUsage) {
  // A refused run leaves the results of the run before it.
  WriteTask();
  ASSERT_EQ(RunKvilBatch(dir_, DbArg() + " t.dat").exitCode, 0);
  const std::string table = ReadText(dir_ / "t.rst"), report = ReadText(dir_ / "t.txt");
  ASSERT_FALSE(table.empty());
  task_.slots[1].valueText = " ";
  WriteTask();
  BatchResult r = RunKvilBatch(dir_, DbArg() + " t.dat");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.errors.find("error: Equilibrium is not specified !\n"), std::string::npos)
      << r.errors;
  EXPECT_EQ(ReadText(dir_ / "t.rst"), table);
  EXPECT_EQ(ReadText(dir_ / "t.txt"), report);

  // Ranges that would never end, or not for days, are refused before they start.
  task_.slots[1].valueText = "1000 3000";
  for (const char* step : {"1e-30", "0,001"}) {
    task_.slots[1].stepText = step;
    WriteTask();
    r = RunKvilBatch(dir_, DbArg() + " t.dat");
    EXPECT_EQ(r.exitCode, 1) << step;
    EXPECT_EQ(ReadText(dir_ / "t.rst"), table) << step;
  }
  EXPECT_NE(r.errors.find("error: The run would calculate 2000000 points."), std::string::npos)
      << r.errors;

  BatchResult missing = RunKvilBatch(dir_, DbArg() + " missing.dat");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.errors.find("error: Cannot open the task datafile missing.dat: "),
            std::string::npos)
      << missing.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.tdf"));
  EXPECT_EQ(RunKvilBatch(dir_, DbArg()).exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --answer maybe t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --bogus t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, "--db " + Quote((dir_ / "nodb").string()) + " t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --cfg nothere.cfg t.dat").exitCode, 2);
}

TEST_F(BatchFixture, QuestionsAreAnsweredAsToldAndShownOnOneLine) {
  task_.options[kOptCheckSum] = 1;
  WriteTask();
  // No to the question of the first variant refuses the run before its files are
  // touched: status 1, no table.
  BatchResult r = RunKvilBatch(dir_, DbArg() + " --answer no --csv out.csv t.dat");
  EXPECT_EQ(r.exitCode, 1) << r.errors;
  EXPECT_NE(
      r.errors.find("confirmation: Sum of mass parts is 100.00. Start calculation process ?\n"),
      std::string::npos)
      << r.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.csv"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "t.rst"));

  r = RunKvilBatch(dir_, DbArg() + " --csv out.csv t.dat");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(ParseCsv(ReadText(dir_ / "out.csv")).size(), 3u);
}

TEST_F(BatchFixture, ConfigurationFileGivesTheTemplateValues) {
  SettingsRecord rec;
  SetDefaultSettings(rec);
  rec.powderP = 250;
  const auto bytes = EncodeSettings(rec);
  std::ofstream(dir_ / "other.cfg", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  task_.firstCode = kParamTemplate;
  task_.options[kOptTemplatePowder] = 1;
  WriteTask();
  const BatchResult r = RunKvilBatch(dir_, DbArg() + " --cfg other.cfg --csv out.csv t.dat");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto rows = ParseCsv(ReadText(dir_ / "out.csv"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NEAR(std::strtod(rows[1][Column(rows[0], "p, MPa")].c_str(), nullptr), 250, 1e-4);

  // A named file holding a value the settings page refuses is an error naming it: no
  // run, and the file stays as it is, even when it is called kvil.cfg.
  rec.ambientP = std::nanf("");
  const auto badBytes = EncodeSettings(rec);
  const std::string badText(badBytes.begin(), badBytes.end());
  std::filesystem::create_directories(dir_ / "sub");
  for (const char* name : {"other.cfg", "sub/kvil.cfg"}) {
    std::ofstream(dir_ / name, std::ios::binary | std::ios::trunc) << badText;
    const std::string before = ReadText(dir_ / "t.rst");
    const BatchResult bad =
        RunKvilBatch(dir_, DbArg() + " --cfg " + name + " --csv out.csv t.dat");
    EXPECT_EQ(bad.exitCode, 2) << bad.errors;
    EXPECT_NE(bad.errors.find(std::string(" Configuration file read error ! ") +
                              " The configuration file " + name +
                              " cannot be used: the ambient pressure holds nan"),
              std::string::npos)
        << bad.errors;
    EXPECT_EQ(ReadText(dir_ / name), badText) << name;
    EXPECT_EQ(ReadText(dir_ / "t.rst"), before) << name;
  }
  // A damaged kvil.cfg beside a good template that no option named is left alone.
  std::ofstream(dir_ / "sub" / "good.cfg", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const BatchResult good = RunKvilBatch(dir_, DbArg() + " --cfg sub/good.cfg t.dat");
  EXPECT_EQ(good.exitCode, 0) << good.errors;
  EXPECT_EQ(good.errors.find("Configuration file read error"), std::string::npos) << good.errors;
  EXPECT_EQ(ReadText(dir_ / "sub" / "kvil.cfg"), badText);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "sub" / "kvil.cfg.damaged"));
}

// Runs kvil-batch with a time limit, so that a program waiting on a FIFO fails the test
// instead of hanging it.
BatchResult RunWithin(const fs::path& dir, const std::string& args) {
  const std::string exe = std::string(KVIL_BINARY_DIR) + "/kvil-batch";
  const fs::path err = dir / "stderr.txt";
  const std::string cmd = "cd " + Quote(dir.string()) + " && timeout 20 " + Quote(exe) + " " +
                          args + " 2> " + Quote(err.string()) + " > /dev/null";
  const int status = std::system(cmd.c_str());
  BatchResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.errors = ReadText(err);
  return r;
}

TEST_F(BatchFixture, WhatIsNotARegularFileIsRefusedAsAnUnreadableFileWithoutWaiting) {
  WriteTask();
  fs::create_directories(dir_ / "dir.dat");
  ASSERT_EQ(::mkfifo((dir_ / "fifo.dat").c_str(), 0600), 0);
  for (const char* name : {"dir.dat", "fifo.dat"}) {
    for (const std::string mode : {DbArg() + " ", std::string("--info ")}) {
      const BatchResult r = RunWithin(dir_, mode + name);
      EXPECT_EQ(r.exitCode, 2) << mode << name << r.errors;
      EXPECT_NE(r.errors.find(std::string("error: Cannot open the task datafile ") + name + ": "),
                std::string::npos)
          << r.errors;
    }
  }
  // A named configuration file or a database file that is a directory: status 2 and the
  // file named.
  BatchResult r = RunWithin(dir_, DbArg() + " --cfg dir.dat t.dat");
  EXPECT_EQ(r.exitCode, 2) << r.errors;
  EXPECT_NE(r.errors.find("dir.dat cannot be used: Is a directory"), std::string::npos) << r.errors;
  fs::create_directories(dir_ / "baddb" / kPropertyFileName);
  fs::copy_file(dir_ / "db" / kSpeciesFileName, dir_ / "baddb" / kSpeciesFileName);
  r = RunWithin(dir_, "--db baddb t.dat");
  EXPECT_EQ(r.exitCode, 2) << r.errors;
  EXPECT_NE(r.errors.find("Species database not found in baddb (baddb/" +
                          std::string(kPropertyFileName) + ": Is a directory)"),
            std::string::npos)
      << r.errors;

  // A species list file that is a directory is no list: the run builds one.
  fs::create_directories(dir_ / "t.tdf");
  r = RunWithin(dir_, DbArg() + " t.dat");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  fs::remove_all(dir_ / "t.tdf");

  // A results table that is a FIFO: the run fails at once, naming it, and writes nothing.
  fs::remove(dir_ / "t.rst");
  ASSERT_EQ(::mkfifo((dir_ / "t.rst").c_str(), 0600), 0);
  const std::string report = ReadText(dir_ / "t.txt");
  r = RunWithin(dir_, DbArg() + " t.dat");
  EXPECT_EQ(r.exitCode, 1) << r.errors;
  EXPECT_NE(r.errors.find("error: Calculation failed ! The results table t.rst cannot be "
                          "written: not a regular file."),
            std::string::npos)
      << r.errors;
  EXPECT_EQ(ReadText(dir_ / "t.txt"), report);
}

TEST_F(BatchFixture, ADamagedSpeciesListAfterAGoodRunLeavesItsReportAndTable) {
  // The database also holds nitrogen; the species list file names it for an H-O task.
  auto species = run_test::HydrogenOxygen();
  species.push_back(run_test::Gas("N2", {{7, 2}}, 7.0, 0, 45.8, 3.7f, 95.0f));
  testing_db::WriteDatabase(dir_ / "db", species);
  WriteTask();
  ASSERT_EQ(RunKvilBatch(dir_, DbArg() + " t.dat").exitCode, 0);
  const std::string table = ReadText(dir_ / "t.rst"), report = ReadText(dir_ / "t.txt");
  ASSERT_FALSE(table.empty());

  // The list of the run (every H-O species, records 0..5), and N2 (record 6).
  std::string list;
  for (char record = 0; record <= 6; ++record) {
    const char entry[kSpeciesEntrySize] = {2, record, 0, 0, 0, 1};
    list.append(entry, kSpeciesEntrySize);
  }
  std::ofstream(dir_ / "t.tdf", std::ios::binary | std::ios::trunc) << list;
  const BatchResult r = RunKvilBatch(dir_, DbArg() + " t.dat");
  EXPECT_EQ(r.exitCode, 1) << r.errors;
  EXPECT_EQ(r.errors, "error: The species N2 contains an element that is not in the system.\n");
  EXPECT_EQ(ReadText(dir_ / "t.rst"), table);
  EXPECT_EQ(ReadText(dir_ / "t.txt"), report);
}

TEST_F(BatchFixture, OneFaultGivesOneMessageAndOneStatus) {
  // One amount with a step: what is wrong, once, not "No compounds are selected".
  task_.components[1].stepText = "1";
  WriteTask("step.dat");
  BatchResult r = RunKvilBatch(dir_, DbArg() + " step.dat");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.errors,
            "error: Source component 1: a step needs exactly two amounts, the start and the "
            "end.\n");
  r = RunKvilBatch(dir_, "--info step.dat " + DbArg());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.errors,
            "error: Source component 1: a step needs exactly two amounts, the start and the "
            "end.\n");

  // Twenty elements: the species scan finds too many, and that is all that is said.
  ResetTask(task_);
  const char* const elements[] = {"H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne",
                                  "Na", "Mg", "Al", "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca"};
  for (int i = 1; i <= 20; ++i) {
    task_.components[i].formula = elements[i - 1];
    task_.components[i].amountText = "5";
  }
  task_.slots[1].valueText = "1 ";
  task_.slots[2].valueText = "3000 ";
  WriteTask("twenty.dat");
  r = RunKvilBatch(dir_, "--db " + Quote(KVIL_DB_DIR) + " twenty.dat");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.errors, "information: Too many substances ! (260)\n");

  // The same malformed datafile: status 2 in a run and with --info.
  std::ofstream(dir_ / "bad.dat", std::ios::binary) << "1 2 3\r\n";
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " bad.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, "--info bad.dat " + DbArg()).exitCode, 2);
}

TEST_F(BatchFixture, AnAcceptedPointThatIsNoPhysicalStateReachesNeitherReportNorTable) {
  // Air with ions at an assigned T of 10 K and H of 1e5 kJ/kg: the solve ends far from
  // the balance and the question is answered Yes; the state it left has a negative
  // pressure and no finite volume.
  ResetTask(task_);
  task_.components[1].formula = "N2";
  task_.components[1].amountText = "75.5";
  task_.components[2].formula = "O2";
  task_.components[2].amountText = "23.1";
  task_.components[3].formula = "Ar";
  task_.components[3].amountText = "1.3";
  task_.options[kOptIons] = 1;
  task_.firstCode = kParamT;
  task_.slots[1].valueText = "10 ";
  task_.secondCode = kParamH;
  task_.slots[2].valueText = "100000 ";
  WriteTask();
  const BatchResult r = RunKvilBatch(dir_, "--db " + Quote(KVIL_DB_DIR) + " --answer yes t.dat");
  EXPECT_EQ(r.exitCode, 0) << r.errors;  // the run ran; its one point failed
  EXPECT_NE(r.errors.find("confirmation: Maximum material balance error is "), std::string::npos)
      << r.errors;
  EXPECT_NE(r.errors.find("information: The state found is not physical: p = "),
            std::string::npos)
      << r.errors;
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable((dir_ / "t.rst").string(), records), TableReadStatus::Empty);
  const std::string report = ReadText(dir_ / "t.txt");
  EXPECT_EQ(report.find("INF"), std::string::npos);
  EXPECT_EQ(report.find("Pressure"), std::string::npos) << report;
}

}  // namespace
}  // namespace kvil

namespace kvil {
namespace {

// --detonation: one CJ point per initial state, the detonation columns in the CSV after
// the 23 parameters; bad lists are usage errors.
TEST_F(BatchFixture, DetonationColumnsInTheCsv) {
  WriteTask();
  const BatchResult r =
      RunKvilBatch(dir_, DbArg() + " --detonation gas --p0 0.101325 --csv det.csv t.dat");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto rows = ParseCsv(ReadText(dir_ / "det.csv"));
  ASSERT_EQ(rows.size(), 2u);
  const auto& h = rows[0];
  const int first = Column(h, "rho0, g/cm3");
  EXPECT_EQ(first, 1 + kResultsParameterCount);
  int at = first;
  for (const char* name : {"D, m/s", "pCJ, MPa", "TCJ, K", "rhoCJ, g/cm3", "uCJ, m/s",
                           "cCJ, m/s", "kCJ", "E(2.2), kJ/kg", "E(4), kJ/kg", "E(7.2), kJ/kg"}) {
    const int c = Column(h, name);
    EXPECT_GT(c, at) << name;
    at = c;
  }
  // H2/O2 (11.19/88.81 by mass, nearly 2:1 by moles) in the test database: some 2.8 km/s.
  const double D = std::strtod(rows[1][Column(h, "D, m/s")].c_str(), nullptr);
  EXPECT_GT(D, 2500);
  EXPECT_LT(D, 3100);
  EXPECT_EQ(std::strtod(rows[1][Column(h, "pCJ, MPa")].c_str(), nullptr),
            std::strtod(rows[1][Column(h, "p, MPa")].c_str(), nullptr));
  EXPECT_NE(ReadText(dir_ / "t.txt").find("Detonation parameters (initial state p0 = 0.1013 MPa"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "t.rsx"));

  // A plain run afterwards takes the extension away with the table.
  ASSERT_EQ(RunKvilBatch(dir_, DbArg() + " t.dat").exitCode, 0);
  EXPECT_FALSE(fs::exists(dir_ / "t.rsx"));

  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --detonation 0 t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --detonation 1.8,x t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --detonation 9 t.dat").exitCode, 2);
  EXPECT_EQ(RunKvilBatch(dir_, DbArg() + " --p0 1 t.dat").exitCode, 2);
}

}  // namespace
}  // namespace kvil
