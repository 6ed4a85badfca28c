// The calculation run on a small hydrogen-oxygen system of constant-heat-capacity
// species: which points are computed and in which order, what reaches the report and
// the results table, the checks of the Run command, stopping, the templates.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/binio.h"
#include "common/numfmt.h"
#include "core/run.h"
#include "core/session.h"
#include "results/table_file.h"
#include "run/ho_system.h"
#include "task/settings.h"
#include "task/value_lists.h"
#include "thermo/species_catalog.h"
#include "thermo/test_database.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;
using namespace run_test;

struct Point {
  int c1, c2;
  float v1, v2;
};

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_db::FreshDir("run");
    fs::create_directories(dir_ / "db");
    testing_db::WriteDatabase(dir_ / "db", HydrogenOxygen());
    session_ = std::make_unique<Session>(ui_, view_);
    ASSERT_TRUE(session_->database.Open((dir_ / "db").string()));
    session_->settings.directory = dir_.string();
    SetDefaultSettings(session_->settings.record);
    ResetTask(task());
    task().name = "t";
    session_->datafilePath = (dir_ / "t.dat").string();
    ui_.OnPendingInput(&RunFixture::OnPending, this);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Task& task() { return session_->task; }
  RunState& state() { return session_->ws.state; }

  void Component(int row, const std::string& formula, const std::string& amounts,
                 float enthalpy = 0) {
    SourceComponent& c = task().components[row];
    c.formula = formula;
    c.amountText = amounts;
    c.enthalpy = enthalpy;
  }
  // Stoichiometric hydrogen and oxygen.
  void Stoichiometric(float hH2 = 0, float hO2 = 0) {
    Component(1, "H2", "11.19", hH2);
    Component(2, "O2", "88.81", hO2);
  }
  void Slot(int n, int code, const std::string& values, const std::string& step = "") {
    (n == 1 ? task().firstCode : n == 2 ? task().secondCode : task().expansionCode) = code;
    task().slots[n].valueText = values;
    task().slots[n].stepText = step;
  }
  // What the equilibrium page does when it is left: amounts, variants, balance.
  void Commit() { ASSERT_TRUE(ParseAllAmounts(session_->task, session_->database, session_->ui)); }

  bool Run() {
    Commit();
    return RunCommand(*session_);
  }

  std::vector<ResultsRecord> Table() {
    std::vector<ResultsRecord> records;
    TableReadStatus st = ReadResultsTable(session_->TablePath(), records);
    EXPECT_TRUE(st == TableReadStatus::Ok || st == TableReadStatus::Empty);
    return records;
  }
  std::string Report() {
    std::string text;
    ReadWholeFile(session_->ReportPath(), text);
    return text;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }

  static void OnPending(void* self) {
    auto* f = static_cast<RunFixture*>(self);
    const RunState& st = f->state();
    f->points_.push_back({st.c1, st.c2, st.value1, st.value2});
    if (f->cancelAt_ > 0 && int(f->points_.size()) == f->cancelAt_)
      f->session_->ws.state.cancel = true;
  }

  RecordingInteraction ui_{Answer::Yes};
  NullTaskView view_;
  std::unique_ptr<Session> session_;
  fs::path dir_;
  std::vector<Point> points_;  // every solve the run began, in order
  int cancelAt_ = 0;
};

constexpr int kP = 1, kT = 2, kV = 3, kHcode = 5, kU = 6;
constexpr int kParU = 5, kParH = 4, kParT = 1, kParP = 0, kParRg = 9, kParFP = 19;

TEST_F(RunFixture, EveryCombinationIsComputedWithTheFirstParameterFastest) {
  Stoichiometric();
  Slot(1, kT, "2000 2500 3000");
  Slot(2, kP, "1 10");
  ASSERT_TRUE(Run());

  const std::vector<std::pair<float, float>> expected = {{2000, 1},  {2500, 1},  {3000, 1},
                                                         {2000, 10}, {2500, 10}, {3000, 10}};
  ASSERT_EQ(points_.size(), expected.size());
  EXPECT_EQ(state().parameterVariant, 6);
  const auto records = Table();
  ASSERT_EQ(records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(points_[i].v1, expected[i].first) << i;
    EXPECT_EQ(points_[i].v2, expected[i].second) << i;
    EXPECT_EQ(records[i].kind, 0);
    EXPECT_NEAR(records[i].parameters[kParT], expected[i].first, 1e-3) << i;
    EXPECT_NEAR(records[i].parameters[kParP], expected[i].second, 1e-6) << i;
  }
  EXPECT_EQ(Count(Report(), "Assigned values of equilibrium parameters"), 6);
  EXPECT_FALSE(session_->report.IsOpen());
}

TEST_F(RunFixture, RangesRunFromStartToEndInTheDirectionOfTheStep) {
  Stoichiometric();
  struct Case {
    const char* values;
    const char* step;
    std::vector<float> expected;
  };
  const Case cases[] = {{"1 5", "2", {1, 3, 5}},
                        {"5 1", "-2", {5, 3, 1}},
                        {"0.1 0.5", "0.1", {0.1f, 0.2f, 0.3f, 0.4f, 0.5f}}};
  for (const Case& c : cases) {
    points_.clear();
    Slot(1, kP, c.values, c.step);
    Slot(2, kT, "3000");
    ASSERT_TRUE(Run()) << c.values;
    ASSERT_EQ(points_.size(), c.expected.size()) << c.values << " step " << c.step;
    for (std::size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_NEAR(points_[i].v1, c.expected[i], 1e-6) << c.values << " #" << i;
    EXPECT_EQ(Table().size(), c.expected.size());
  }
  // A step leading away from the end computes no lone first point: the run is refused.
  points_.clear();
  ui_.Clear();
  Slot(1, kP, "1 5", "-2");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(points_.empty());
  EXPECT_TRUE(ui_.Saw("The step of the first parameter, -2, does not lead from 1 to 5."));
  // The task keeps the values as typed.
  EXPECT_EQ(task().slots[1].values[1], 1.0f);
  EXPECT_EQ(task().slots[1].step, -2.0f);
}

TEST_F(RunFixture, ValuesInTheSecondUnitsAreConvertedAndTheTaskKeepsThem) {
  Stoichiometric();
  Slot(1, kP, "10");
  Slot(2, kT, "2726.85");
  task().unitCodes[kP] = 2;  // atm
  task().unitCodes[kT] = 4;  // C
  ASSERT_TRUE(Run());
  ASSERT_EQ(points_.size(), 1u);
  EXPECT_NEAR(points_[0].v1, 1.01325, 1e-6);  // "atm" is the standard atmosphere
  EXPECT_NEAR(points_[0].v2, 3000.0, 1e-3);
  EXPECT_EQ(task().slots[1].values[1], 10.0f);
  EXPECT_EQ(task().slots[2].values[1], 2726.85f);
}

TEST_F(RunFixture, EnthalpyGivenAsZeroIsTheEnthalpyOfTheMixture) {
  Stoichiometric(-500, 200);
  Slot(1, kP, "1");
  Slot(2, kHcode, "0");
  ASSERT_TRUE(Run());
  const float hm = task().mixtureEnthalpy;
  EXPECT_NEAR(hm, (-500 * 11.19 + 200 * 88.81) / 100.0, 1e-3);
  ASSERT_EQ(points_.size(), 1u);
  EXPECT_FLOAT_EQ(points_[0].v2, hm);
  const auto records = Table();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NEAR(records[0].parameters[kParH + 0], hm, 0.05);

  // H typed in kcal/kg: an H of 0 is still the enthalpy of the components, which are
  // kJ/kg whatever unit H is typed in.
  points_.clear();
  task().unitCodes[kHcode] = 10;
  ASSERT_TRUE(Run());
  ASSERT_EQ(points_.size(), 1u);
  EXPECT_FLOAT_EQ(points_[0].v2, hm);
}

TEST_F(RunFixture, AFailedSolveWritesNeitherAReportBlockNorARecord) {
  Stoichiometric();
  // The same parameter twice has no solution; each point fails on its own.
  Slot(1, kT, "2000 3000");
  Slot(2, kT, "2000");
  ASSERT_TRUE(Run());
  EXPECT_EQ(points_.size(), 2u);
  EXPECT_TRUE(Table().empty());
  const std::string report = Report();
  EXPECT_EQ(Count(report, std::string(76, '*')), 2);  // the header is there
  EXPECT_EQ(Count(report, "Assigned values of equilibrium parameters"), 0);
}

TEST_F(RunFixture, ChecksRefuseTheRunWithTheirMessages) {
  // No composition.
  Slot(1, kP, "1");
  Slot(2, kT, "3000");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Elements or their amount are not specified."));

  // Parameters not given.
  Stoichiometric();
  Slot(1, kP, "");
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Equilibrium is not specified !"));

  // No species selected.
  Slot(1, kP, "1");
  ASSERT_TRUE(Run());
  for (int i = 1; i <= task().species.total; ++i) task().species.items[i].entry.selected = 0;
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("No compounds are selected \nfor given set of elements."));

  // Too many species selected.
  task().species.total = 131;
  for (int i = 1; i <= 131; ++i) task().species.items[i].entry.selected = 1;
  ui_.Clear();
  EXPECT_FALSE(RunCommand(*session_));
  EXPECT_TRUE(
      ui_.Saw("Number of substances is too big (131).\nMaximum number of substances is 130."));

  // Templates without a template chosen.
  task().species.total = 0;
  task().firstCode = kParamTemplate;
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("No Template Options selected."));
  EXPECT_EQ(points_.size(), 1u);  // only the one run that was allowed
}

TEST_F(RunFixture, ARefusedRunLeavesTheResultsOfTheLastRun) {
  Stoichiometric();
  Slot(1, kP, "1 10");
  Slot(2, kT, "3000");
  ASSERT_TRUE(Run());
  const std::string table = [&] {
    std::string t;
    ReadWholeFile(session_->TablePath(), t);
    return t;
  }();
  const std::string report = Report();
  ASSERT_EQ(Table().size(), 2u);
  auto unchanged = [&](const char* what) {
    std::string t;
    ReadWholeFile(session_->TablePath(), t);
    EXPECT_EQ(t, table) << what;
    EXPECT_EQ(Report(), report) << what;
    EXPECT_EQ(points_.size(), 2u) << what;
  };

  // The second value line left blank.
  Slot(2, kT, "");
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Equilibrium is not specified !"));
  unchanged("second value blank");

  // Templates with none chosen.
  Slot(2, kT, "3000");
  task().firstCode = kParamTemplate;
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("No Template Options selected."));
  unchanged("no template");

  // Steps that cannot move their value, and a run refused by its size or by the user.
  Slot(1, kP, "1000 3000", "1e-30");
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(
      ui_.Saw("The step of the first parameter is too small to change its value.\n"
              "Use a larger step."));
  unchanged("parameter step");

  Slot(1, kP, "1");
  Component(3, "N2", "10 20");
  task().components[3].step = 1e-30f;
  task().components[3].stepText = "1e-30";
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(
      ui_.Saw("The step of source component 3 is too small to change its amount.\n"
              "Use a larger step."));
  unchanged("component step");

  Component(3, " ", "");
  Slot(1, kP, "1000 3000", "0.001");
  ui_.Clear();
  EXPECT_FALSE(Run());
  // The step 0.001 as a 32-bit float is a little above 0.001: 3000 is not reached.
  EXPECT_TRUE(
      ui_.Saw("The run would calculate 2000000 points.\nAt most 1000000 points can be "
              "calculated in one run.\nUse a larger step or fewer values."));
  unchanged("too many points");

  Slot(1, kP, "1 10001", "1");
  Slot(2, kT, "3000 3500");
  ui_.Clear();
  ui_.Script({Answer::No});
  EXPECT_FALSE(Run());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "The run will calculate 20002 points.\nIt will take long and its report will be "
            "large.\nStart calculation process ?");
  EXPECT_EQ(ui_.messages[0].buttons, Buttons::YesNo);
  unchanged("answered No");
}

TEST_F(RunFixture, ARunRefusedAfterItsStartWouldHaveBegunKeepsTheLastResultsByteForByte) {
  // What only the run's own set-up used to find, after the table had been emptied: a
  // species the run cannot take, the sum question answered No, a value beyond the
  // bound, a row that is no component.
  Stoichiometric();
  Slot(1, kP, "1 10");
  Slot(2, kT, "3000");
  ASSERT_TRUE(Run());
  std::string table, report;
  ASSERT_TRUE(ReadWholeFile(session_->TablePath(), table));
  ASSERT_TRUE(ReadWholeFile(session_->ReportPath(), report));
  ASSERT_FALSE(table.empty());

  // The same species followed by one of nitrogen and one with damaged data.
  auto species = HydrogenOxygen();
  species.push_back(Gas("N2", {{7, 2}}, 7.0, 0, 45.8, 3.7f, 95.0f));
  species.push_back(Gas("HO2", {{kH, 1}, {kO, 2}}, 8.0, 3000, 54.7, 3.0f, 100.0f));
  species.back().intervals[0].phi[1] = std::nanf("");
  fs::create_directories(dir_ / "db2");
  testing_db::WriteDatabase(dir_ / "db2", species);
  ASSERT_TRUE(session_->database.Open((dir_ / "db2").string()));

  const SpeciesList good = task().species;
  struct Case {
    int record;
    const char* message;
  };
  const Case cases[] = {
      {6, "The species N2 contains an element that is not in the system."},
      {7, "Species database error: polynomial record 7 has invalid values (HO2)."},
      {99, "Species database error: species record 99 is missing (X)."}};
  for (const Case& c : cases) {
    task().species = good;
    SpeciesListEntry& extra = task().species.items[++task().species.total];
    extra.entry = {2, c.record, 1};
    extra.displayName = c.record == 99 ? "X" : c.record == 6 ? "N2" : "HO2";
    points_.clear();
    ui_.Clear();
    EXPECT_FALSE(Run()) << c.message;
    EXPECT_EQ(ui_.Texts(), std::vector<std::string>{c.message});
    EXPECT_TRUE(points_.empty()) << c.message;
    std::string t, r;
    ReadWholeFile(session_->TablePath(), t);
    ReadWholeFile(session_->ReportPath(), r);
    EXPECT_EQ(t, table) << c.message;
    EXPECT_EQ(r, report) << c.message;
  }
  task().species = good;
  auto unchanged = [&](const std::string& what) {
    std::string t, r;
    ReadWholeFile(session_->TablePath(), t);
    ReadWholeFile(session_->ReportPath(), r);
    EXPECT_EQ(t, table) << what;
    EXPECT_EQ(r, report) << what;
    EXPECT_TRUE(points_.empty()) << what;
  };

  // The sum of mass parts answered No: nothing is computed.
  task().options[kOptCheckSum] = 1;
  points_.clear();
  ui_.Clear();
  ui_.Script({Answer::No});
  EXPECT_FALSE(Run());
  EXPECT_EQ(ui_.Texts(),
            std::vector<std::string>{"Sum of mass parts is 100.00. Start calculation process ?"});
  unchanged("sum answered No");
  task().options[kOptCheckSum] = 0;

  // Every value of a list and both ends of a range within the bound: a p range up to
  // 3.4e38 MPa is no equilibrium, nor is a list whose third value is beyond 1e10.
  for (const auto& [values, step] : {std::pair{"1e-9 3.4e38", "1e37"}, std::pair{"1 2 2e10", ""}}) {
    Slot(1, kP, values, step);
    ui_.Clear();
    EXPECT_FALSE(Run()) << values;
    EXPECT_EQ(ui_.Texts(), std::vector<std::string>{"Equilibrium is not specified !"});
    unchanged(values);
  }
  Slot(1, kP, "1 10");

  // A zero or negative expansion pressure is refused like a zero p.
  Slot(3, kParamPa, "0");
  ui_.Clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Given parameter must have positive value!"));
  unchanged("expansion pressure 0");
  Slot(3, kParamNone, "");

  // Rows that are no components, each refused with one message naming the row.
  const std::pair<std::pair<const char*, const char*>, const char*> rows[] = {
      {{"C0", "5"}, "Source component 3: the formula C0 gives C no atoms."},
      {{"H2 O2", "5"},
       "Source component 3: the formula \"H2 O2\" holds a blank.\nGive each component a row "
       "of its own."},
      {{"H2O", "-5"},
       "Source component 3: the amount -5 is negative.\nAmounts are mass parts of 0 or more."}};
  for (const auto& [cells, message] : rows) {
    Component(3, cells.first, cells.second);
    ui_.Clear();
    EXPECT_FALSE(RunCommand(*session_)) << message;
    EXPECT_EQ(ui_.Texts(), std::vector<std::string>{message});
    unchanged(message);
  }
}

TEST_F(RunFixture, ATinyFirstComponentRunsAsItDoesInAnyOtherPlace) {
  // The element list follows the components; a first one at 1e-30 must not refuse the
  // task, and the state is the same whichever place it has.
  std::vector<ResultsRecord> results[2];
  for (int order = 0; order < 2; ++order) {
    ResetTask(task());
    task().name = "t";
    Slot(1, kP, "1");
    Slot(2, kT, "3000");
    Component(order == 0 ? 1 : 2, "H2", "1e-30");  // H: about 1e-27 mol/kg
    Component(order == 0 ? 2 : 1, "O2", "100");
    ui_.Clear();
    ASSERT_TRUE(Run()) << order << " " << (ui_.messages.empty() ? "" : ui_.Texts()[0]);
    results[order] = Table();
    ASSERT_EQ(results[order].size(), 1u);
  }
  for (int j : {kParP, kParT, kParH, kParU})
    EXPECT_NEAR(results[0][0].parameters[j], results[1][0].parameters[j],
                1e-9 * std::fabs(results[1][0].parameters[j]))
        << j;
}

TEST_F(RunFixture, PointsAreCountedAsTheRunWalksThem) {
  // Stepped amounts are counted in the precision the variants are formed in: 10 .. 20
  // by 0.001 gives 10001 variants, one point each.
  Stoichiometric();
  Component(1, "H2", "10 20");
  task().components[1].step = 0.001f;
  task().components[1].stepText = "0.001";
  Slot(1, kP, "1");
  Slot(2, kT, "3000");
  ui_.Script({Answer::No});
  EXPECT_FALSE(Run());
  EXPECT_TRUE(
      ui_.Saw("The run will calculate 10001 points.\nIt will take long and its report "
              "will be large.\nStart calculation process ?"));
  EXPECT_TRUE(points_.empty());

  // A step on a row without two amounts is dropped, as when the grid is read; so is
  // the variant it would have made.
  Component(1, "H2", "11.19");
  task().components[1].step = 0;
  task().components[4].step = 1e-30f;
  task().components[4].stepText = "1e-30";
  Slot(1, kP, "1 5", "2");
  Slot(2, kT, "3000");
  Commit();
  ui_.Clear();
  ASSERT_TRUE(RunCommand(*session_));
  EXPECT_EQ(task().components[4].step, 0.0f);
  EXPECT_EQ(points_.size(), 3u);
  EXPECT_EQ(Table().size(), 3u);
}

TEST_F(RunFixture, StopTakesEffectBetweenPointsAndTheRunEndsCleanly) {
  Stoichiometric();
  Slot(1, kT, "2000 2500 3000 3500");
  Slot(2, kP, "1");
  Commit();
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  task().referenceElementCount = task().elementCount;
  for (int j = 1; j <= kMaxSystemElements; ++j)
    task().referenceElements[j] = task().elements[j].index;
  // A list in an order other than the run's: it must come back unchanged.
  std::swap(task().species.items[1], task().species.items[task().species.total]);
  const SpeciesList before = task().species;

  cancelAt_ = 3;
  ASSERT_TRUE(RunCommand(*session_));
  EXPECT_EQ(points_.size(), 3u);
  EXPECT_EQ(Table().size(), 2u);
  EXPECT_FALSE(session_->report.IsOpen());
  EXPECT_FALSE(ui_.progressVisible);
  ASSERT_EQ(task().species.total, before.total);
  for (int i = 1; i <= before.total; ++i) {
    EXPECT_EQ(task().species.items[i].entry.record, before.items[i].entry.record);
    EXPECT_EQ(task().species.items[i].entry.selected, before.items[i].entry.selected);
  }
  // The next run starts afresh.
  points_.clear();
  cancelAt_ = 0;
  ASSERT_TRUE(RunCommand(*session_));
  EXPECT_EQ(points_.size(), 4u);
  EXPECT_EQ(Table().size(), 4u);
}

// A STOP during the expansion of a chamber point takes effect after it: the point keeps
// its expansion record, the report says where the run ended, and the counts and the
// progress labels tell the window what to show.
TEST_F(RunFixture, StopDuringAnExpansionFinishesThePointAndIsReported) {
  Stoichiometric();
  Slot(1, kP, "5 10 20");
  Slot(2, kT, "3000");
  Slot(3, kParamPa, "0.1 1");
  cancelAt_ = 2;  // the first expansion point of the first chamber point
  ASSERT_TRUE(Run());
  // The chamber point, both expansion points, and the next chamber point's check.
  EXPECT_EQ(points_.size(), 4u);
  const auto records = Table();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].kind, 0);
  EXPECT_EQ(records[1].kind, 2);
  EXPECT_EQ(records[2].kind, 2);
  const std::string report = Report();
  EXPECT_NE(report.find("     Calculation stopped by the user after 1 point.\r\n" +
                        std::string(76, '_')),
            std::string::npos);
  EXPECT_EQ(RunSummaryText(state()), "Stopped: 1 point computed, 0 failed.");
  EXPECT_EQ(ui_.labels.points, 3);
  EXPECT_EQ(ui_.labels.point, 1);

  // A full run counts its points; one that fails is counted as failed.
  cancelAt_ = 0;
  Slot(3, kParamNone, "");
  Slot(1, kT, "2000 3000");
  Slot(2, kT, "2000");  // the same parameter twice: no solution
  ASSERT_TRUE(Run());
  EXPECT_EQ(RunSummaryText(state()), "0 points computed, 2 failed.");
  Slot(2, kP, "1 10");
  ASSERT_TRUE(Run());
  EXPECT_EQ(RunSummaryText(state()), "4 points computed, 0 failed.");
  EXPECT_EQ(ui_.labels.point, 4);
  EXPECT_EQ(ui_.labels.points, 4);

  EXPECT_EQ(PointProgressText(3, 0, 10), "Point 3");
  EXPECT_EQ(PointProgressText(1, 100, 10), "Point 1 of 100");      // nothing done yet
  EXPECT_EQ(PointProgressText(11, 100, 0.2), "Point 11 of 100");   // too early to tell
  EXPECT_EQ(PointProgressText(11, 100, 5), "Point 11 of 100, about 0:45 left");
  EXPECT_EQ(PointProgressText(2, 10000, 2), "Point 2 of 10000, about 5:33:18 left");
  EXPECT_EQ(PointProgressText(12, 10, 5), "Point 12");  // beyond the count
}

TEST_F(RunFixture, HeatOfCombustionIsUAtVAndUMinusHAtVAnd298K) {
  Stoichiometric(-100, 0);
  task().firstCode = kParamTemplate;
  task().options[kOptTemplateHeat] = 1;
  session_->settings.record.heatV = 0.01f;
  session_->settings.record.heatU = 0;  // the mixture's own energy
  ASSERT_TRUE(Run());

  ASSERT_EQ(points_.size(), 2u);
  EXPECT_EQ(points_[0].c1, kV);
  EXPECT_EQ(points_[0].c2, kU);
  EXPECT_FLOAT_EQ(points_[0].v2, task().mixtureEnthalpy);
  EXPECT_EQ(points_[1].c2, kT);
  EXPECT_FLOAT_EQ(points_[1].v2, 298.0f);
  const auto records = Table();
  ASSERT_EQ(records.size(), 2u);
  const double q = records[0].parameters[kParU] - records[1].parameters[kParH];

  const std::string report = Report();
  const std::string label = "     Heat of Combustion (EQUILIBRIUM) = ";
  const auto at = report.find(label);
  ASSERT_NE(at, std::string::npos);
  const std::string line = report.substr(at, report.find("\r\n", at) - at);
  EXPECT_EQ(line, label + Fixed(q, 12, 3) + " kJ/kg");
  EXPECT_GT(q, 1000);  // hydrogen burns
  EXPECT_NE(report.find(line + "\r\n" + std::string(76, '_') + "\r\n"), std::string::npos);
  // The task's own parameter choice is back.
  EXPECT_EQ(task().firstCode, kParamTemplate);
}

TEST_F(RunFixture, PowderForceIsRgTimesTOfThePressureEnergyPoint) {
  Stoichiometric(-100, 0);
  task().firstCode = kParamTemplate;
  task().options[kOptTemplatePowder] = 1;
  session_->settings.record.powderP = 300;
  session_->settings.record.powderU = 0;
  ASSERT_TRUE(Run());
  ASSERT_EQ(points_.size(), 1u);
  EXPECT_EQ(points_[0].c1, kP);
  EXPECT_EQ(points_[0].c2, kU);
  const auto records = Table();
  ASSERT_EQ(records.size(), 1u);
  const auto& par = records[0].parameters;
  EXPECT_NEAR(par[kParP], 300, 1e-4);
  EXPECT_NEAR(par[kParU], task().mixtureEnthalpy, 0.05);
  EXPECT_NEAR(par[kParFP], par[kParRg] * par[kParT], 1e-6 * par[kParFP]);
  EXPECT_NE(Report().find("Powder Parameters"), std::string::npos);
}

TEST_F(RunFixture, LowPressureWithTheVirialEquationIsComputedAsIdealGas) {
  Stoichiometric();
  task().options[kOptEos] = 2;
  Slot(1, kP, "1.5");
  Slot(2, kT, "3000");
  ASSERT_TRUE(Run());
  EXPECT_EQ(points_.size(), 1u);
  EXPECT_EQ(Table().size(), 1u);
  EXPECT_NE(Report().find("      Ideal gas EOS was used in calculations."), std::string::npos);
  EXPECT_FALSE(ui_.Saw("We recommend to use ideal gas EOS for this case."));
}

TEST_F(RunFixture, AReportOrTableThatCannotBeWrittenEndsTheRunAsFailed) {
  Stoichiometric();
  Slot(1, kP, "1");
  Slot(2, kT, "3000");
  // The message names the file and the reason.
  fs::create_directories(session_->TablePath());  // a directory where the table goes
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Calculation failed !\nThe results table " + session_->TablePath() +
                      " cannot be written: Is a directory."))
      << ui_.Texts()[0];
  EXPECT_TRUE(points_.empty());
  fs::remove_all(session_->TablePath());

  ui_.Clear();
  fs::remove(session_->ReportPath());
  fs::create_directories(session_->ReportPath());
  EXPECT_FALSE(Run());
  EXPECT_TRUE(ui_.Saw("Calculation failed !\nThe results report " + session_->ReportPath() +
                      " cannot be written: Is a directory."))
      << ui_.Texts()[0];
  EXPECT_FALSE(ui_.progressVisible);
}

TEST_F(RunFixture, ImpulseTemplateExpandsTheChamberIsentropicallyToTheExitPressure) {
  Stoichiometric();
  task().firstCode = kParamTemplate;
  task().options[kOptTemplateImpulse] = 1;
  session_->settings.record.impulseP = 4;
  session_->settings.record.impulseH = 0;
  session_->settings.record.impulsePa = 0.1f;
  ASSERT_TRUE(Run());
  ASSERT_EQ(points_.size(), 2u);
  EXPECT_EQ(points_[1].c1, kP);
  EXPECT_EQ(points_[1].c2, 4);
  EXPECT_FLOAT_EQ(points_[1].v1, 0.1f);
  const auto records = Table();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].kind, 0);
  EXPECT_EQ(records[1].kind, 2);
  EXPECT_NEAR(records[0].parameters[kParP], 4, 1e-5);
  EXPECT_NEAR(records[1].parameters[22], 0.1, 1e-6);  // Pa of the expansion point
  EXPECT_NEAR(records[1].parameters[3], records[0].parameters[3], 1e-4);  // same S
  EXPECT_LT(records[1].parameters[kParT], records[0].parameters[kParT]);
  EXPECT_EQ(Count(Report(), "Adiabatic expansion"), 1);
}

TEST_F(RunFixture, FrozenExpansionBeyondTheFreezingPressureAsksFirst) {
  Stoichiometric();
  task().options[kOptFrozen] = 1;
  Slot(1, kP, "4");
  Slot(2, kHcode, "0");
  Slot(3, kParamPa, "3");
  session_->settings.record.freezingT = 1500;
  ui_.Script({Answer::No});
  ASSERT_TRUE(Run());
  ASSERT_EQ(ui_.messages.size(), 1u);
  const std::string& q = ui_.messages[0].text;
  EXPECT_EQ(q.rfind("Frozen pressure (", 0), 0u) << q;
  EXPECT_NE(q.find(" MPa) is less than\nexpansion pressure (3 MPa).\nFrozen calculation has "
                   "no sense.\nProceed with equilibrium expansion?"),
            std::string::npos)
      << q;
  EXPECT_EQ(Table().size(), 1u);  // the chamber only

  // Yes: the point is expanded in equilibrium.
  ui_.Clear();
  ui_.Script({Answer::Yes});
  ASSERT_TRUE(Run());
  const auto records = Table();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].kind, 2);
  EXPECT_NEAR(records[1].parameters[22], 3, 1e-5);
}

TEST_F(RunFixture, ThroatIsRefusedWhenTheSoundVelocityWasNotComputed) {
  Stoichiometric();
  task().options[kOptThroat] = 1;
  task().options[kOptSound] = 0;
  Slot(1, kP, "4");
  Slot(2, kHcode, "0");
  ASSERT_TRUE(Run());
  EXPECT_TRUE(ui_.Saw("Throat parameters cannot be calculated !"));
  EXPECT_EQ(Table().size(), 1u);
}

TEST_F(RunFixture, FrozenHeatOfCombustionUsesTheCompositionAtTheFreezingPoint) {
  Stoichiometric(-100, 0);
  task().firstCode = kParamTemplate;
  task().options[kOptTemplateHeat] = 1;
  task().options[kOptFrozen] = 1;
  session_->settings.record.freezingT = 1500;
  ASSERT_TRUE(Run());
  // The frozen state is reported but is not a point of the results table.
  EXPECT_EQ(Table().size(), 1u);
  const std::string report = Report();
  EXPECT_NE(report.find("     Heat of Combustion (FROZEN) = "), std::string::npos);
  EXPECT_EQ(report.find("Heat of Combustion (EQUILIBRIUM)"), std::string::npos);
  EXPECT_FALSE(state().frozenComposition);
}

TEST_F(RunFixture, AnUnknownExpansionParameterEndsTheRun) {
  Stoichiometric();
  Slot(1, kT, "2000 3000");
  Slot(2, kP, "1");
  Slot(3, kU, "100");
  ASSERT_TRUE(Run());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].kind, MessageKind::Plain);
  EXPECT_EQ(ui_.messages[0].text, "Unknown Expansion Parameter");
  EXPECT_EQ(points_.size(), 1u);
  EXPECT_EQ(Table().size(), 1u);  // the chamber point before it
}

TEST_F(RunFixture, DenseGasWithANonIdealEquationIsIteratedToAgreement) {
  Stoichiometric(-100, 0);
  Slot(1, kP, "300");
  Slot(2, kU, "0");
  for (int eos : {2, 3}) {
    task().options[kOptEos] = eos;
    task().options[kOptPrintIdealGas] = 1;
    ui_.Clear();
    ASSERT_TRUE(Run()) << eos;
    for (const auto& m : ui_.messages) ADD_FAILURE() << eos << ": " << m.text;
    const auto records = Table();
    ASSERT_EQ(records.size(), 1u) << eos;
    const std::string report = Report();
    EXPECT_NE(report.find(eos == 2 ? "      Virial EOS was used in calculations."
                                   : "      EOS of Kelmost was used in calculations."),
              std::string::npos)
        << eos;
    // The ideal-gas result printed first, then the non-ideal one; the table has the latter.
    EXPECT_EQ(Count(report, "Assigned values of equilibrium parameters"), 2 * (eos - 1)) << eos;
    EXPECT_EQ(Count(report, "      Ideal gas EOS was used in calculations."), eos - 1) << eos;
    const auto& par = records[0].parameters;
    EXPECT_NEAR(par[kParP], 300, 1e-3);
    EXPECT_NEAR(par[kParU], task().mixtureEnthalpy, 0.5);
    EXPECT_GT(par[10], 1.05) << "Z of a dense gas";
  }
}

}  // namespace
}  // namespace kvil
