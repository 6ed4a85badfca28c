// Shared set-up of the report and results-table tests: a Session whose workspace is
// filled directly (no solver), a report file in a fresh temporary directory, and a
// fixed clock for the header.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/interaction.h"
#include "core/session.h"
#include "results/report.h"
#include "task/task_view.h"

namespace kvil::testing {

// 2026-12-08 06:29:14 UTC.
inline std::time_t FixedClock() {
  return 1796711354;
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kvil_report_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    s.datafilePath = (dir_ / "case.dat").string();
    ASSERT_TRUE(s.report.Open(s.ReportPath()));
    SetReportClock(&FixedClock);
    setenv("TZ", "UTC", 1);
    tzset();
    Task& t = s.task;
    t.options[kOptEos] = 1;
    t.options[kOptConcUnit] = 1;
    t.options[kOptSound] = 1;
    for (int c = 1; c <= 8; ++c) t.unitCodes[c] = static_cast<std::uint8_t>(2 * c - 1);
  }
  void TearDown() override {
    s.report.Close();
    SetReportClock(nullptr);
    std::filesystem::remove_all(dir_);
  }

  void AddElement(int index, float amount) {
    Task& t = s.task;
    ++t.elementCount;
    t.elements[t.elementCount] = {index, amount};
  }
  // Adds run species k = K+1 and the matching species-list entry.
  void AddSpecies(const std::string& name, int phase, float molarMass, float amount, int record) {
    RunSpeciesTables& run = s.ws.run;
    const int k = ++run.count;
    run.names[k] = name;
    run.composition(1, k) = phase;
    run.molarMass[k] = molarMass;
    run.record[k] = record;
    s.ws.species.nSingle[k] = amount;
    s.ws.species.n[k] = amount;
    SpeciesList& list = s.task.species;
    ++list.total;
    list.items[list.total].entry = {static_cast<std::uint8_t>(phase), record, 1};
    list.items[list.total].displayName = name;
  }

  // Report text so far, with every CR LF turned into LF; fails when a line ends
  // without CR.
  std::string ReportText() {
    s.report.Flush();
    std::ifstream in(s.ReportPath(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string raw = ss.str(), text;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
      if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) ADD_FAILURE() << "bare LF at " << i;
      text += raw[i];
    }
    return text;
  }

  static std::string Golden(const std::string& name) {
    std::ifstream in(std::string(KVIL_TEST_DATA_DIR) + "/results/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  RecordingInteraction ui;
  NullTaskView view;
  Session s{ui, view};
  std::filesystem::path dir_;
};

}  // namespace kvil::testing
