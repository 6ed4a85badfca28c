// The analysis lists, the table of an argument and its functions, the plot check and
// the chart numbers, on records of real runs of the example propellant and on records
// made for the purpose.
#include "results/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "common/numparse.h"
#include "example_run.h"
#include "results/chart_data.h"
#include "results/report.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

constexpr int kItemP = 1, kItemT = 2, kItemPa = 23;

class AnalysisRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test: ctest runs the tests of this file side by side.
    dir_ = fs::path(::testing::TempDir()) /
           (std::string("kvil_analysis_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Run(const std::function<void(Task&)>& adjust) {
    ASSERT_TRUE(example_run::RunExamplePropellant(session_, dir_, "prop", adjust));
    ASSERT_EQ(ReadResultsTable(session_.TablePath(), records_), TableReadStatus::Ok);
    ResultsRecord first;
    ASSERT_EQ(ReadFirstResultsRecord(session_.TablePath(), first), ListReadStatus::Ok);
    layout_ = LayoutOfRecord(first);
    ui_.Clear();
  }
  // Item index of the species with display name `name`.
  int SpeciesItem(const std::string& name) {
    const auto texts = ConcentrationListTexts(layout_, session_.database, " ");
    for (size_t i = 0; i < texts.size(); ++i)
      if (texts[i] == " " + name) return ItemOfListRow(layout_, AnalysisKind::Concentration, int(i) + 1);
    ADD_FAILURE() << name << " not in the list";
    return 0;
  }
  TableChoice Choice(int x, std::vector<int> y) {
    TableChoice c;
    c.layout = layout_;
    c.argumentItem = x;
    c.argumentTitle = "X";
    c.functionItems = y;
    for (size_t i = 0; i < y.size(); ++i) c.functionTitles.push_back("Y" + std::to_string(i + 1));
    return c;
  }
  int SpeciesPosition(int item) const {
    return item - 23 - layout_.elementCount - layout_.componentCount - 1;
  }
  static std::string Text(double v) { return FormatConcentration(v, false); }

  RecordingInteraction ui_;
  NullTaskView view_;
  Session session_{ui_, view_};
  fs::path dir_;
  std::vector<ResultsRecord> records_;
  AnalysisLayout layout_;
};

TEST_F(AnalysisRunTest, TemperatureListWithTwoSpeciesGivesOneSortedRowPerPoint) {
  Run([](Task& t) { example_run::PlainEquilibrium(t, kParamT, "3000 2000 2500", kParamP, "4"); });
  // The example computes the throat too: 3 points, each followed by its throat.
  ASSERT_EQ(records_.size(), 6u);

  // The lists: parameters, elements and components; species by their display names.
  const auto params = ParameterListTexts(layout_, session_.task);
  ASSERT_EQ(params.size(), size_t(23 + layout_.elementCount + layout_.componentCount));
  EXPECT_EQ(params[0], "   p, MPa");
  EXPECT_EQ(params[13], "   k\"");
  EXPECT_EQ(params[23], "   [N]");
  EXPECT_EQ(params[23 + layout_.elementCount], "   NH4ClO4");
  const auto xSpecies = ConcentrationListTexts(layout_, session_.database, "   ");
  ASSERT_EQ(int(xSpecies.size()), layout_.speciesCount);
  EXPECT_EQ(xSpecies[0], "   C(c)");

  const int co = SpeciesItem("CO"), hcl = SpeciesItem("HCl");
  std::vector<bool> marks(layout_.speciesCount);
  marks[SpeciesPosition(co)] = marks[SpeciesPosition(hcl)] = true;
  std::vector<std::string> yTexts = ConcentrationListTexts(layout_, session_.database, " ");
  const TableChoice choice = MakeTableChoice(layout_, AnalysisKind::Parameter, kItemT, params[1],
                                             AnalysisKind::Concentration, marks, yTexts, false, ui_);
  const ResultsTable table = FillResultsTableFromFile(session_.TablePath(), choice, ui_);
  EXPECT_TRUE(ui_.messages.empty());
  ASSERT_EQ(table.titles.size(), 3u);
  EXPECT_EQ(table.titles[0], "   T, K");
  // The function titles follow the list order, whatever the order of marking.
  EXPECT_EQ(table.titles[1], co < hcl ? " CO" : " HCl");
  ASSERT_EQ(table.rows.size(), 3u);
  const int first = std::min(co, hcl), second = std::max(co, hcl);
  const size_t byT[3] = {2, 4, 0};  // calculation order 3000, 2000, 2500
  for (size_t row = 0; row < 3; ++row) {
    const ResultsRecord& r = records_[byT[row]];
    EXPECT_EQ(table.rows[row][0], Text(r.parameters[1])) << row;
    EXPECT_EQ(table.rows[row][1], Text(r.species[SpeciesPosition(first)].second)) << row;
    EXPECT_EQ(table.rows[row][2], Text(r.species[SpeciesPosition(second)].second)) << row;
  }
  EXPECT_TRUE(CheckTableForPlot(table, ui_));

  // Equal component fractions as argument are one row, that of the last point (the
  // throat records after it give no T): its temperature, not the first record's.
  const int component1 = 24 + layout_.elementCount;
  const ResultsTable fractions = FillResultsTable(records_, Choice(component1, {kItemT}), ui_);
  ASSERT_EQ(fractions.rows.size(), 1u);
  EXPECT_EQ(fractions.rows[0][1], Text(records_[4].parameters[1]));

  // A component fraction as a function is a text the plot refuses.
  const ResultsTable asFunction = FillResultsTable(records_, Choice(kItemT, {component1}), ui_);
  ASSERT_EQ(asFunction.rows.size(), 3u);
  EXPECT_EQ(asFunction.rows[0][1], Text(records_[2].components[0].first) + " a");
  EXPECT_FALSE(CheckTableForPlot(asFunction, ui_));
  EXPECT_EQ(ui_.Texts().back(), "Invalid value in the table. Graph cannot be plotted !");
}

TEST_F(AnalysisRunTest, RocketRunRowsComeEachFromOneRecord) {
  Run(nullptr);  // the example as shipped: chamber 4, 7, 10 MPa, expansion to 0.1 MPa
  ASSERT_EQ(records_.size(), 9u);

  // Pa as argument: the throat and expansion points only, ascending in Pa, each with
  // its own temperature.
  const ResultsTable byPa = FillResultsTable(records_, Choice(kItemPa, {kItemT}), ui_);
  ASSERT_EQ(byPa.rows.size(), 6u);
  double previous = -1;
  for (const auto& row : byPa.rows) {
    const double pa = *TryParseNumber(row[0]);
    EXPECT_GE(pa, previous);
    previous = pa;
    bool found = false;
    for (const ResultsRecord& r : records_)
      found |= r.kind != 0 && Text(r.parameters[22]) == row[0] && Text(r.parameters[1]) == row[1];
    EXPECT_TRUE(found) << row[0] << row[1];
  }

  // A species as argument with T and p as functions: every record gives an argument,
  // the throat and expansion rows have no p and are removed, and each remaining T is
  // the T of the chamber point the row came from (not one of the next record).
  const int co = SpeciesItem("CO");
  const ResultsTable bySpecies = FillResultsTable(records_, Choice(co, {kItemT, kItemP}), ui_);
  ASSERT_EQ(bySpecies.rows.size(), 3u);
  for (const auto& row : bySpecies.rows) {
    bool found = false;
    for (const ResultsRecord& r : records_) {
      if (r.kind != 0 || Text(r.species[SpeciesPosition(co)].second) != row[0]) continue;
      EXPECT_EQ(row[1], Text(r.parameters[1]));
      EXPECT_EQ(row[2], Text(r.parameters[0]));
      found = true;
    }
    EXPECT_TRUE(found) << row[0];
  }
  // Without p the throat and expansion rows stay, with empty T cells the plot refuses.
  const ResultsTable withGaps = FillResultsTable(records_, Choice(co, {kItemT}), ui_);
  ASSERT_EQ(withGaps.rows.size(), 9u);
  int empty = 0;
  for (const auto& row : withGaps.rows) empty += row[1].empty();
  EXPECT_EQ(empty, 6);
  EXPECT_FALSE(CheckTableForPlot(withGaps, ui_));
}

// Records made for the purpose: nEl = 1 (an index outside the table), one component,
// two species.
ResultsRecord Made(double p, double t, double pa = 0, int kind = 0) {
  ResultsRecord r;
  r.kind = kind;
  r.elements = {{120, 3.5}};
  r.components = {{1.0, 1}};
  r.parameters.assign(23, 0.0);
  r.parameters[0] = p;
  r.parameters[1] = t;
  r.parameters[22] = pa;
  r.species = {{10, t / 1000}, {11, -1}};
  return r;
}

TEST(AnalysisTest, ListsMarksLimitsAndSavedText) {
  RecordingInteraction ui;
  const AnalysisLayout layout = LayoutOfRecord(Made(1, 1000));
  Task task;
  task.components[1].formula = "C7.075H10.65O0.223N0.063Cl";
  const auto texts = ParameterListTexts(layout, task);
  ASSERT_EQ(texts.size(), 25u);
  EXPECT_EQ(texts[23], "   [?]");
  EXPECT_EQ(texts[24], "   C7.075H10.65O0.223N0");  // cut to 20 characters
  EXPECT_EQ(ItemOfListRow(layout, AnalysisKind::Concentration, 2), 27);

  // Marks: blank rows are not marked, an eleventh is refused, a second toggle unmarks.
  std::vector<bool> marks(12);
  EXPECT_FALSE(ToggleFunctionMark(marks, 1, "   ", ui));
  for (int row = 1; row <= 10; ++row) EXPECT_TRUE(ToggleFunctionMark(marks, row, " CO", ui));
  EXPECT_FALSE(ToggleFunctionMark(marks, 11, " CO", ui));
  EXPECT_EQ(ui.Texts().back(), "Only 10 items are available");
  EXPECT_EQ(MarkedCount(marks), 10);
  EXPECT_TRUE(ToggleFunctionMark(marks, 3, " CO", ui));
  EXPECT_EQ(MarkedCount(marks), 9);
  // Twelve marks reaching the table (a list kept from elsewhere): the first ten count.
  std::vector<bool> all(12, true);
  const TableChoice twelve = MakeTableChoice(layout, AnalysisKind::Parameter, 2, "   T, K",
                                             AnalysisKind::Parameter, all,
                                             std::vector<std::string>(12, "x"), false, ui);
  EXPECT_EQ(twelve.functionItems.size(), 10u);
  EXPECT_EQ(ui.Texts().back(), "Only first 10 items will be plotted !");

  // No function: message, no table.
  TableChoice none = twelve;
  none.functionItems.clear();
  none.functionTitles.clear();
  EXPECT_TRUE(FillResultsTable({Made(1, 1000)}, none, ui).titles.empty());
  EXPECT_EQ(ui.Texts().back(), "No data for the function");

  // 301 points: 300 rows and the message.
  std::vector<ResultsRecord> many;
  for (int i = 0; i < 301; ++i) many.push_back(Made(1, 1000 + i));
  TableChoice tByP = twelve;
  tByP.argumentItem = 2;
  tByP.functionItems = {1};
  tByP.functionTitles = {"   p, MPa"};
  EXPECT_EQ(FillResultsTable(many, tByP, ui).rows.size(), 300u);
  EXPECT_EQ(ui.Texts().back(), "Only first 300 will be displayed");

  // Saved text: an empty line, then every row in 15-character cells.
  ResultsTable small;
  small.titles = {"   T, K", " CO"};
  small.rows = {{"1e03", "a-very-long-cell-text"}};
  EXPECT_EQ(TableSaveText(small),
            "\r\n           T, K             CO\r\n           1e03a-very-long-cell-text\r\n");

  // Nothing to plot.
  ResultsTable empty;
  empty.titles = {"X", "Y"};
  EXPECT_FALSE(CheckTableForPlot(empty, ui));
  EXPECT_EQ(ui.Texts().back(), "No values in the table. Graph cannot be plotted !");
}

TEST(ChartDataTest, LogarithmsRangesPatternsTicksAndCursor) {
  ResultsTable t;
  t.titles = {"   p, MPa", " CO", " H2O"};
  t.rows = {{"1", "0.5", "2"}, {"10", "0.25", "0"}, {"100", "0,125", "1"}};

  // Linear: ranges over all series; the zero of H2O forbids log Y; p allows log X.
  ChartData d = BuildChartData(t, true, false, false);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.title, "mole");
  EXPECT_EQ(d.foot, "   p, MPa");
  ASSERT_EQ(d.series.size(), 2u);
  EXPECT_EQ(d.series[0].title, " CO");
  EXPECT_DOUBLE_EQ(d.series[0].points[2].second, 0.125);  // ',' read as the decimal mark
  EXPECT_DOUBLE_EQ(d.x.min, 1);
  EXPECT_DOUBLE_EQ(d.x.max, 100);
  EXPECT_DOUBLE_EQ(d.y.min, 0);
  EXPECT_DOUBLE_EQ(d.y.max, 2);
  EXPECT_TRUE(d.logXAllowed);
  EXPECT_FALSE(d.logYAllowed);

  // Log X turns the arguments into their logarithms; off again gives the values back.
  d = BuildChartData(t, true, true, false);
  EXPECT_EQ(d.foot, "Log(p, MPa)");
  EXPECT_DOUBLE_EQ(d.series[1].points[2].first, 2);
  EXPECT_DOUBLE_EQ(d.x.max, 2);
  EXPECT_DOUBLE_EQ(BuildChartData(t, true, false, false).series[1].points[2].first, 100);
  // Log Y over a zero: no logarithm, the chart stops there.
  d = BuildChartData(t, false, false, true);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.leftTitle, "Log");
  EXPECT_EQ(d.series[1].points.size(), 1u);

  // One row: both axes get a width; a narrow span gets the exponent pattern.
  ResultsTable one;
  one.titles = {"X", "Y"};
  one.rows = {{"3000", "0"}};
  d = BuildChartData(one, false, false, false);
  EXPECT_LT(d.x.min, 3000);
  EXPECT_GT(d.x.max, 3000);
  EXPECT_DOUBLE_EQ(d.y.min, -1);
  EXPECT_DOUBLE_EQ(d.y.max, 1);
  EXPECT_EQ(AxisPattern(0.5, 0.5005), "#.###e-00");
  EXPECT_EQ(AxisPattern(0.5, 0.502), "#,##0.###");

  // Ticks at round steps inside the range, texts in the pattern, never repeated.
  auto ticks = AxisTicks(0, 12000, kWideAxisPattern);
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.front().text, "0");
  EXPECT_EQ(ticks[1].text, "2,000");
  ticks = AxisTicks(0.0991, 0.1012, kWideAxisPattern);
  for (size_t i = 1; i < ticks.size(); ++i) EXPECT_NE(ticks[i].text, ticks[i - 1].text);
  ticks = AxisTicks(2e-5, 2.4e-4, kNarrowAxisPattern);
  EXPECT_EQ(ticks.front().text, "5e-05");

  // The shown range: out to round ticks.
  const AxisRange shown = RoundedRange({0.1, 12.1, kWideAxisPattern});
  EXPECT_DOUBLE_EQ(shown.min, 0);
  EXPECT_DOUBLE_EQ(shown.max, 12.5);  // 0 to 14 would tick at 2.5: the top is a tick
  const auto shownTicks = AxisTicks(shown.min, shown.max, shown.pattern);
  EXPECT_EQ(shownTicks.back().text, "12.5");
  EXPECT_DOUBLE_EQ(RoundedRange({1, 20, kWideAxisPattern}).max, 20);
  EXPECT_EQ(RoundedRange({0.5, 0.5005, kWideAxisPattern}).pattern, kNarrowAxisPattern);

  // Ranges the doubles cannot span or step: no ticks without end, whatever comes in.
  for (const auto& [lo, hi] : {std::pair{-1.7e308, 1.7e308}, std::pair{1e300, 1e300 + 1e285},
                               std::pair{0.0, HUGE_VAL}, std::pair{std::nan(""), 1.0}}) {
    EXPECT_LE(AxisTicks(lo, hi, kWideAxisPattern).size(), 1000u) << lo << " " << hi;
    const AxisRange r = RoundedRange({lo, hi, kWideAxisPattern});
    EXPECT_LE(AxisTicks(r.min, r.max, r.pattern).size(), 1000u) << lo << " " << hi;
  }
  // A damaged table holding -1.7e308 and +1.7e308 does not pass the plot check.
  RecordingInteraction ui;
  ResultsTable huge;
  huge.titles = {"T, K", "p, MPa"};
  huge.rows = {{"1", "-1.7e308"}, {"2", "1.7e308"}};
  EXPECT_FALSE(CheckTableForPlot(huge, ui));
  huge.rows = {{"-1.7e308", "1"}, {"1.7e308", "2"}};
  EXPECT_FALSE(CheckTableForPlot(huge, ui));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>(
                            2, "Invalid value in the table. Graph cannot be plotted !"));
  huge.rows = {{"1", "-1e300"}, {"2", "1e300"}};
  EXPECT_TRUE(CheckTableForPlot(huge, ui));
  const ChartData wide = BuildChartData(huge, false, false, false);
  EXPECT_TRUE(std::isfinite(wide.y.max - wide.y.min));
  const AxisRange shownWide = RoundedRange(wide.y);
  EXPECT_FALSE(AxisTicks(shownWide.min, shownWide.max, shownWide.pattern).empty());

  EXPECT_EQ(CursorText(1234.5678, 0.00123), "X = 1234.568        Y = 1.23000e-03 ");
  EXPECT_EQ(CursorText(-2, -0.5), "X = -2.000          Y = -5.00000e-01");
}

}  // namespace
}  // namespace kvil
