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
#include "results/rocket_figures.h"
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

  // The lists: parameters, elements, components and the rocket figures; species by
  // their display names.
  const auto params = ParameterListTexts(layout_, session_.task);
  ASSERT_EQ(params.size(), size_t(23 + layout_.elementCount + layout_.componentCount + 6));
  EXPECT_EQ(params.back(), "   Mach");
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

  // Any chamber quantity is an argument for the expansion quantities: a row per chamber
  // point, its T from the chamber record, Wa and the rocket figures from its own
  // expansion record, as the report prints them.
  constexpr int kIspVac = kFigureItemBase + 1, kCstar = kFigureItemBase + 3,
                kRatio = kFigureItemBase + 5, kMach = kFigureItemBase + 6, kWa = 22;
  ui_.Clear();
  const ResultsTable isp =
      FillResultsTable(records_, Choice(kItemP, {kIspVac, kCstar, kItemT, kWa}), ui_);
  EXPECT_TRUE(ui_.messages.empty());
  ASSERT_EQ(isp.rows.size(), 3u);
  for (const auto& row : isp.rows) {
    size_t c = 0;
    while (c < records_.size() && !(records_[c].kind == 0 && Text(records_[c].parameters[0]) == row[0]))
      ++c;
    ASSERT_LT(c + 2, records_.size()) << row[0];
    ASSERT_EQ(records_[c + 1].kind, 1);
    ASSERT_EQ(records_[c + 2].kind, 2);
    const RocketFigures f =
        ExpansionFigures(records_[c + 2], &records_[c], &records_[c + 1], 0.1);
    EXPECT_EQ(row[1], Text(f.impulseVacuum));
    EXPECT_EQ(row[2], Text(f.characteristicVelocity));
    EXPECT_EQ(row[3], Text(records_[c].parameters[1]));
    EXPECT_EQ(row[4], Text(records_[c + 2].parameters[21]));
    EXPECT_GT(f.impulseVacuum, 2500);
  }
  EXPECT_TRUE(CheckTableForPlot(isp, ui_));
  EXPECT_EQ(isp.amounts, (std::vector<bool>{false, false, false, false, false}));

  // A figure as argument: the throat and expansion points, each with its own figures.
  const ResultsTable byRatio = FillResultsTable(records_, Choice(kRatio, {kMach}), ui_);
  ASSERT_EQ(byRatio.rows.size(), 6u);
  EXPECT_NEAR(*TryParseNumber(byRatio.rows[0][0]), 1.0, 1e-3);  // a throat
  EXPECT_NEAR(*TryParseNumber(byRatio.rows[0][1]), 1.0, 2e-2);
  EXPECT_GT(*TryParseNumber(byRatio.rows.back()[1]), 2.5);

  // Two expansion pressures: a column per expansion point, "[1]" and "[2]".
  Run([](Task& t) { example_run::SetSlotValues(t, 3, "0.1 1"); });
  const ResultsTable two = FillResultsTable(records_, Choice(kItemP, {kIspVac, kItemT}), ui_);
  ASSERT_EQ(two.titles.size(), 4u);
  EXPECT_EQ(two.titles[1], "Y1 [1]");
  EXPECT_EQ(two.titles[2], "Y1 [2]");
  EXPECT_EQ(two.titles[3], "Y2");
  ASSERT_EQ(two.rows.size(), 3u);
  for (const auto& row : two.rows) EXPECT_GT(*TryParseNumber(row[1]), *TryParseNumber(row[2]));
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
  ASSERT_EQ(texts.size(), 31u);
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
  // Marks kept by item across both lists: a parameter, a species and a figure, in list
  // order whatever the order of marking; the limit counts them all.
  std::vector<int> items;
  const int species2 = ItemOfListRow(layout, AnalysisKind::Concentration, 2);
  const int mach = ItemOfListRow(layout, AnalysisKind::Parameter, 31);
  EXPECT_EQ(mach, kFigureItemBase + 6);
  EXPECT_EQ(ListRowOfItem(layout, mach), std::pair(AnalysisKind::Parameter, 31));
  EXPECT_EQ(ListRowOfItem(layout, species2), std::pair(AnalysisKind::Concentration, 2));
  EXPECT_TRUE(ToggleMarkedItem(items, layout, species2, " H2O", ui));
  EXPECT_TRUE(ToggleMarkedItem(items, layout, mach, "   Mach", ui));
  EXPECT_TRUE(ToggleMarkedItem(items, layout, 2, "   T, K", ui));
  EXPECT_FALSE(ToggleMarkedItem(items, layout, 3, "   ", ui));
  EXPECT_EQ(items, (std::vector<int>{2, mach, species2}));
  for (int item = 3; item <= 9; ++item) EXPECT_TRUE(ToggleMarkedItem(items, layout, item, "x", ui));
  EXPECT_FALSE(ToggleMarkedItem(items, layout, 10, "x", ui));
  EXPECT_EQ(ui.Texts().back(), "Only 10 items are available");
  EXPECT_TRUE(ToggleMarkedItem(items, layout, mach, "   Mach", ui));
  EXPECT_EQ(items.size(), 9u);

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

  // 100001 points: 100000 rows and the message.
  std::vector<ResultsRecord> many(100001, Made(1, 1000));
  for (int i = 0; i < 100001; ++i) many[i].parameters[1] = 1000 + i;
  TableChoice tByP = twelve;
  tByP.argumentItem = 2;
  tByP.functionItems = {1};
  tByP.functionTitles = {"   p, MPa"};
  EXPECT_EQ(FillResultsTable(many, tByP, ui).rows.size(), 100000u);
  EXPECT_EQ(ui.Texts().back(), "Only first 100000 will be displayed");

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
  EXPECT_EQ(d.title, "mol/kg");
  EXPECT_FALSE(d.twoAxes);
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

  // Log X places the arguments at their logarithms on a logarithmic axis whose ticks
  // are labelled with the values; off again gives the values back.
  d = BuildChartData(t, true, true, false);
  EXPECT_EQ(d.foot, "   p, MPa");
  EXPECT_TRUE(d.x.log);
  EXPECT_DOUBLE_EQ(d.series[1].points[2].first, 2);
  EXPECT_DOUBLE_EQ(d.x.max, 2);
  std::vector<std::string> texts;
  for (const AxisTick& tick : TicksOf(RoundedRange(d.x))) texts.push_back(tick.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"1", "10", "100"}));
  EXPECT_DOUBLE_EQ(BuildChartData(t, true, false, false).series[1].points[2].first, 100);
  // Log Y over a zero: no logarithm, the chart stops there.
  d = BuildChartData(t, false, false, true);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.leftTitle, "");
  EXPECT_EQ(d.series[1].points.size(), 1u);

  // Decades of small values, out to the neighbouring decades; within a decade and a
  // half the 2 and 5 multiples are labelled too, in the values' own numbers.
  texts.clear();
  const AxisRange small = RoundedRange({std::log10(2e-5), std::log10(0.3), "", true});
  EXPECT_DOUBLE_EQ(small.min, -5);
  EXPECT_DOUBLE_EQ(small.max, 0);
  for (const AxisTick& tick : TicksOf(small)) texts.push_back(tick.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"1e-05", "0.0001", "0.001", "0.01", "0.1", "1"}));
  texts.clear();
  for (const AxisTick& tick : TicksOf(RoundedRange({std::log10(3.0), std::log10(40.0), "", true})))
    texts.push_back(tick.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"2", "5", "10", "20", "50"}));

  // A temperature and species amounts: two axes, each titled with what it shows.
  ResultsTable mixed;
  mixed.titles = {"   p, MPa", "   T, K", " CO", " H2O"};
  mixed.amounts = {false, false, true, true};
  mixed.rows = {{"1", "3000", "0.5", "20"}, {"10", "3500", "0.25", "22"}};
  d = BuildChartData(mixed, false, false, false);
  ASSERT_TRUE(d.twoAxes);
  EXPECT_EQ(d.series[0].axis, 0);
  EXPECT_EQ(d.series[1].axis, 1);
  EXPECT_EQ(d.series[2].axis, 1);
  EXPECT_EQ(d.leftTitle, "T, K");
  EXPECT_EQ(d.rightTitle, "mol/kg");
  EXPECT_EQ(d.title, "");
  EXPECT_DOUBLE_EQ(d.y.min, 3000);
  EXPECT_DOUBLE_EQ(d.y2.max, 22);
  // Within a factor of 100 (T and Isp): one axis.
  mixed.rows = {{"1", "3000", "2400", "30.1"}, {"10", "3500", "2500", "31"}};
  EXPECT_FALSE(BuildChartData(mixed, false, false, false).twoAxes);

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
