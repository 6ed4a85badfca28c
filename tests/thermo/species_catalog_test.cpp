#include "thermo/species_catalog.h"

#include <gtest/gtest.h>

#include "common/numparse.h"

#include <cmath>
#include <memory>

#include "core/session.h"
#include "task/species_list_file.h"
#include "thermo/species_functions.h"
#include "thermo/test_database.h"

namespace kvil {
namespace {

using testing_db::Interval;
using testing_db::Simple;
using testing_db::TestSpecies;

constexpr int H = 1, C = 6, O = 8, Na = 11, Al = 13, Cl = 17;

struct RecordingView : TaskView {
  void ShowSpeciesCounts(const std::string& text) override { counts = text; }
  void SpeciesGridChanged() override { ++gridChanges; }
  std::string counts;
  int gridChanges = 0;
};

class CatalogTest : public ::testing::Test {
 protected:
  void Open(const std::vector<TestSpecies>& species) {
    dir_ = testing_db::FreshDir("db");
    testing_db::WriteDatabase(dir_, species);
    ASSERT_TRUE(session_->database.Open(dir_.string()));
    session_->datafilePath = (dir_ / "task.dat").string();
  }
  void Elements(std::initializer_list<std::pair<int, float>> elements) {
    Task& t = session_->task;
    t.elementCount = 0;
    for (auto [code, amount] : elements) {
      ++t.elementCount;
      t.elements[t.elementCount] = {code, amount};
    }
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    const SpeciesList& l = session_->task.species;
    for (int i = 1; i <= l.total; ++i) out.push_back(l.items[i].displayName);
    return out;
  }
  SpeciesList& List() { return session_->task.species; }
  TaskOptions& Options() { return session_->task.options; }
  const RunSpeciesTables& Tables() const { return session_->ws.run; }

  RecordingInteraction ui_;
  RecordingView view_;
  std::unique_ptr<Session> session_ = std::make_unique<Session>(ui_, view_);
  std::filesystem::path dir_;
};

// ---- Loading the candidate list ----------------------------------------------------

std::vector<TestSpecies> ScanDatabase() {
  return {
      {"H2O(g)", 2, {{H, 2}, {O, 1}}, {Simple()}},
      {"H2O(c)", 1, {{H, 2}, {O, 1}}, {Simple()}},
      {"C8H18(g)", 2, {{C, 8}, {H, 18}}, {Simple()}},
      {"C6H12(g)", 2, {{C, 6}, {H, 12}}, {Simple()}},
      {"H18C8(g)", 2, {{H, 18}, {C, 8}}, {Simple()}},
      {"NaCl(c)", 1, {{Na, 1}, {Cl, 1}}, {Simple()}},
      {"C(c;graphite)", 1, {{C, 1}}, {Simple()}},
      {"H3O(+g)", 13, {{H, 3}, {O, 1}}, {Simple()}},
      {"OH(-g)", 14, {{O, 1}, {H, 1}}, {Simple()}},
      {"CO2(l)", 5, {{C, 1}, {O, 2}}, {Simple()}},
      {"O2(g)", 2, {{O, 2}}, {Simple()}},
      {"Al2O3(c)", 1, {{Al, 2}, {O, 3}}, {Simple()}},
      {"odd", 7, {{O, 1}}, {Simple()}},  // unknown kind code: never a candidate
  };
}

TEST_F(CatalogTest, ScanAppliesTheCandidateRulesAndSortsByPhase) {
  Open(ScanDatabase());
  Elements({{H, 10}, {C, 10}, {O, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  // H2O(c) never, C8H18 skipped (C first, more than 12 H), H18C8 and C6H12 kept,
  // elements outside the system and, without ions, kinds 5, 6 and ions left out.
  EXPECT_EQ(Names(), (std::vector<std::string>{"C(c;graphite)", "C6H12", "H18C8", "H2O", "O2"}));
  EXPECT_EQ(List().items[1].entry.record, 6);
  EXPECT_EQ(List().items[4].entry.record, 0);
  EXPECT_EQ(List().total, 5);
  EXPECT_EQ(List().selected, 5);
  EXPECT_EQ(List().items[3].rowIndex, 3);
  ASSERT_EQ(session_->grid.size(), 5u);
  const SpeciesGridRow& c = session_->grid[0];
  EXPECT_EQ(c.number, "  1");
  EXPECT_EQ(c.mark, "  *");
  EXPECT_EQ(c.phase, "  c");
  EXPECT_EQ(c.formula, "  C(c;graphite)");
  EXPECT_EQ(c.fixed, "");
  EXPECT_EQ(session_->grid[3].phase, "  g");
  EXPECT_EQ(session_->grid[3].formula, "  H2O");
  EXPECT_EQ(view_.counts, "Total: 5; selected: 5; gas species: 4; phase quantity: 2");
  EXPECT_GE(view_.gridChanges, 1);

  Options()[kOptFrozen] = 1;  // frozen expansion: heavy hydrocarbons are candidates
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"C(c;graphite)", "C8H18", "C6H12", "H18C8", "H2O", "O2"}));
}

TEST_F(CatalogTest, IonsOptionAddsIonsAndFurtherPhaseKinds) {
  Open(ScanDatabase());
  Elements({{H, 10}, {C, 10}, {O, 10}});
  List().rescanDatabase = true;
  Options()[kOptIons] = 1;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_EQ(Names(), (std::vector<std::string>{"C(c;graphite)", "C6H12", "H18C8", "H2O", "H3O(+)",
                                               "OH(-)", "O2", "CO2(l)"}));
  EXPECT_EQ(List().items[5].entry.phase, 2);
  EXPECT_EQ(List().items[8].entry.phase, 5);
  EXPECT_EQ(session_->grid[4].phase, "  g");
  EXPECT_EQ(session_->grid[7].phase, "");
  EXPECT_EQ(view_.counts, "Total: 8; selected: 8; gas species: 6; phase quantity: 3");
}

TEST_F(CatalogTest, SelectionSortOrderOfEqualPhases) {
  SpeciesList& l = List();
  const int phases[] = {2, 1, 2, 1};
  l.total = 4;
  for (int i = 1; i <= 4; ++i) {
    l.items[i].entry = {static_cast<std::uint8_t>(phases[i - 1]), i, 1};
    l.items[i].displayName = "S" + std::to_string(i);
  }
  SortSpeciesListByPhase(l);
  EXPECT_EQ(Names(), (std::vector<std::string>{"S2", "S4", "S3", "S1"}));
  EXPECT_EQ(l.items[2].entry.record, 4);
}

TEST_F(CatalogTest, CountsLineCountsCondensedPhasesSingly) {
  SpeciesList& l = List();
  struct E {
    int phase, selected;
  };
  const E entries[] = {{1, 1}, {1, 1}, {1, 0}, {2, 1}, {2, 1}, {2, 0}, {5, 1}, {6, 0}};
  l.total = 0;
  for (E e : entries)
    l.items[++l.total].entry = {static_cast<std::uint8_t>(e.phase), 0,
                                static_cast<std::uint8_t>(e.selected)};
  ShowSpeciesCounts(session_->task.species, session_->view);
  EXPECT_EQ(view_.counts, "Total: 8; selected: 5; gas species: 2; phase quantity: 4");
  EXPECT_EQ(l.selected, 5);
  l.items[7].entry.selected = 0;
  l.items[8].entry.selected = 1;
  l.items[4].entry.selected = l.items[5].entry.selected = 0;
  EXPECT_EQ(SpeciesCountsText(session_->task.species),
            "Total: 8; selected: 3; gas species: 0; phase quantity: 3");
}

TEST_F(CatalogTest, TooManyCandidatesKeepsThePreviousList) {
  std::vector<TestSpecies> many;
  for (int i = 0; i < 265; ++i)
    many.push_back({"X" + std::to_string(i) + "(g)", 2, {{O, 1}}, {Simple()}});
  Open(many);
  Elements({{O, 10}});
  List().rescanDatabase = true;
  List().total = 1;
  List().items[1].entry = {2, 3, 1};
  List().items[1].displayName = "before";
  session_->grid = {SpeciesGridRow{"  1", "  *", "  g", "  before", ""}};
  view_.counts = "unchanged";
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_TRUE(ui_.Saw("Too many substances ! (260)"));
  EXPECT_EQ(List().total, 1);
  EXPECT_EQ(List().items[1].displayName, "before");
  EXPECT_EQ(List().selected, 0);
  ASSERT_EQ(session_->grid.size(), 1u);
  EXPECT_EQ(session_->grid[0].formula, "  before");
  EXPECT_EQ(view_.counts, "unchanged");
}

TEST_F(CatalogTest, SavedListIsTakenAsStoredAndShowsFixedAmounts) {
  Open(ScanDatabase());
  Elements({{H, 10}, {C, 10}, {O, 10}});
  SpeciesList saved;
  saved.total = 3;
  saved.items[1].entry = {2, 10, 1};  // O2, unsorted order kept
  saved.items[2].entry = {1, 6, 0};   // C(c;graphite), not selected
  saved.items[3].entry = {2, 0, 1};   // H2O
  ASSERT_TRUE(WriteSpeciesListFile(session_->SpeciesListPath(), saved));
  session_->task.fixedCount = 2;
  session_->task.fixed[1] = {"H2O", 1.5f};
  session_->task.fixed[2] = {"O2", 2.0f};
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_EQ(Names(), (std::vector<std::string>{"O2", "C(c;graphite)", "H2O"}));
  EXPECT_EQ(session_->grid[0].fixed, "2.0");
  EXPECT_EQ(session_->grid[1].mark, "");
  EXPECT_EQ(session_->grid[1].fixed, "");
  EXPECT_EQ(session_->grid[2].fixed, "1.5");
  EXPECT_EQ(view_.counts, "Total: 3; selected: 2; gas species: 2; phase quantity: 1");
  EXPECT_TRUE(ui_.messages.empty());

  List().rescanDatabase = true;  // Reread: the file is ignored
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_EQ(List().total, 5);
}

TEST_F(CatalogTest, UnusableSavedListIsRefusedAndTheDatabaseScanned) {
  Open(ScanDatabase());
  Elements({{H, 10}, {C, 10}, {O, 10}});
  SpeciesList bad;
  bad.total = 2;
  bad.items[1].entry = {2, 10, 1};
  bad.items[2].entry = {2, 99, 1};  // no such species record
  ASSERT_TRUE(WriteSpeciesListFile(session_->SpeciesListPath(), bad));
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(List().total, 5);

  // More records than the list can hold.
  std::vector<std::uint8_t> big(260 * kSpeciesEntrySize, 0);
  for (int i = 0; i < 260; ++i) {
    big[i * kSpeciesEntrySize] = 2;
    big[i * kSpeciesEntrySize + 5] = 1;  // record 0 (H2O) each time
  }
  testing_db::WriteBytes(session_->SpeciesListPath(), big);
  ui_.Clear();
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find("260"), std::string::npos);
  EXPECT_EQ(List().total, 5);
  EXPECT_EQ(std::filesystem::file_size(session_->SpeciesListPath()), big.size());  // untouched
}

TEST_F(CatalogTest, TaskWithoutElementsOnlyClearsTheSelectedCount) {
  Open(ScanDatabase());
  session_->task.elementCount = 0;
  List().total = 2;
  List().selected = 2;
  session_->grid = {SpeciesGridRow{"  1", "  *", "  g", "  A", ""}};
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_EQ(List().selected, 0);
  EXPECT_EQ(List().total, 2);
  EXPECT_EQ(session_->grid.size(), 1u);
}

// ---- Run tables -----------------------------------------------------------------

std::vector<TestSpecies> RunDatabase() {
  TestSpecies alumina{"Al2O3(c)",
                      1,
                      {{Al, 2}, {O, 3}},
                      {Interval(300, 2327, {150, 100, -0.05f, 170, 20, -5, 0.5f}),
                       Interval(2327, 4000, {190, 190, 0, 150, 0.1f, 0, 0})}};
  alumina.p92 = 25.6f;
  TestSpecies water{
      "H2O(g)", 2, {{H, 2}, {O, 1}}, {Interval(298.15f, 3000, {220, 35, 0.01f, 25, 40, -8, 0.9f})}};
  water.p92 = 2.641f;
  water.p96 = 809.1f;
  water.p100 = 1.85f;
  TestSpecies oxygen{"O2(g)", 2, {{O, 2}}, {Simple(6000)}};
  TestSpecies proton{"H(+g)", 13, {{H, 1}}, {Simple(6000)}};
  proton.p92 = 2.5f;
  proton.p100 = 0.7f;
  TestSpecies hydroxide{
      "OH(-g)", 14, {{O, 1}, {H, 1}}, {Interval(300, 5000, {210, 33, 0, 5, 0, 0, 0})}};
  TestSpecies aluminium{"Al(c)", 1, {{Al, 1}}, {Interval(300, 933, {50, 20, 0, 1, 15, 0, 0})}};
  aluminium.p92 = -2;
  return {alumina, water, oxygen, proton, hydroxide, aluminium};
}

class PrepareTest : public CatalogTest {
 protected:
  void SetUp() override {
    Open(RunDatabase());
    Elements({{O, 10}, {H, 20}, {Al, 5}});
    Options()[kOptIons] = 1;
    List().rescanDatabase = true;
    LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui,
                    session_->view, session_->SpeciesListPath());
    ASSERT_EQ(Names(),
              (std::vector<std::string>{"Al2O3(c)", "Al(c)", "O2", "H(+)", "OH(-)", "H2O"}));
    List().items[3].entry.selected = 0;  // O2 takes no part
  }
};

// S and H of a calorie interval at T, converted back to J and kJ.
SpeciesFunctionValues InJoules(const PolyInterval& iv, double T) {
  PolynomialRecord r;
  r.tmin = iv.tmin;
  r.tmax = iv.tmax;
  r.phi = iv.phi;
  SpeciesFunctionValues v = PolynomialFunctions(r, T);
  return {v.S * kJPerCal, v.H * kJPerCal, v.Cp * kJPerCal};
}

TEST_F(PrepareTest, BuildsCompositionParametersAndNames) {
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  const RunSpeciesTables& run = Tables();
  ASSERT_EQ(run.count, 5);
  EXPECT_EQ(Names()[0], "Al2O3(c)");  // the list now starts with the run species
  const std::vector<std::string> names{"Al2O3(c)", "Al(c)", "H(+)", "OH(-)", "H2O"};
  for (int k = 1; k <= 5; ++k) {
    EXPECT_EQ(run.names[k], names[k - 1]);
    EXPECT_EQ(List().items[k].displayName, names[k - 1]);
  }
  // Phase row, element rows in the order of the system (O, H, Al), ion row.
  const int expected[5][5] = {
      {1, 1, 2, 2, 2}, {3, 0, 0, 1, 1}, {0, 0, 1, 1, 2}, {2, 1, 0, 0, 0}, {0, 0, 13, 14, 0}};
  for (int row = 1; row <= 5; ++row)
    for (int k = 1; k <= 5; ++k)
      EXPECT_EQ(run.composition(row, k), expected[row - 1][k - 1]) << row << "," << k;
  EXPECT_EQ(run.kindCode[3], 13);
  EXPECT_EQ(run.record[5], 1);
  EXPECT_FLOAT_EQ(run.molarMass[1], 2 * 26.98154f + 3 * 15.9994f);

  EXPECT_FLOAT_EQ(run.sigma[1], 25.6f);
  EXPECT_FLOAT_EQ(run.sigma[2], 1.0e-6f);  // non-positive molar volume
  EXPECT_FLOAT_EQ(run.sigma[3], 2.5f);     // ions: as stored
  EXPECT_FLOAT_EQ(run.delta[3], 0.7f);
  EXPECT_FLOAT_EQ(run.sigma[4], 0.0f);
  EXPECT_FLOAT_EQ(run.delta[5],
                  static_cast<float>(1.85 * 1.85 * 3621.6 / (std::pow(2.641, 3) * 809.1)));

  // Gas defaults, without the ion row.
  List().rescanDatabase = true;
  Options()[kOptIons] = 0;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  EXPECT_EQ(Tables().count, 4);
  EXPECT_EQ(Tables().names[3], "O2");
  EXPECT_FLOAT_EQ(Tables().sigma[3], 3.0f);
  EXPECT_FLOAT_EQ(Tables().epsilon[3], 300.0f);
  EXPECT_FLOAT_EQ(Tables().delta[3], 0.0f);
  EXPECT_EQ(Tables().composition(5, 4), 0);
}

TEST_F(PrepareTest, LoadsIntervalsInCaloriesAndContinuesTo6000K) {
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  const RunSpeciesTables& run = Tables();
  const std::vector<TestSpecies> db = RunDatabase();
  EXPECT_EQ(run.primary[5].tmin, 298.15f);
  EXPECT_EQ(run.primary[5].phi[1], static_cast<float>(35.0 * kJToCal));
  // Slots: Al2O3 second interval + continuation, Al continuation, OH copy, H2O
  // continuation; H(+) already reaches 6000 K.
  ASSERT_EQ(run.reserveCount, 5);
  const int owners[] = {1, 1, 2, 4, 5};
  for (int s = 1; s <= 5; ++s) EXPECT_EQ(run.reserveOwner[s], owners[s - 1]) << s;
  EXPECT_EQ(run.reserveOwner[6], 0);
  EXPECT_EQ(run.reserve[1].tmin, 2327.0f);
  EXPECT_EQ(run.reserve[1].phi[0], static_cast<float>(190 * kJToCal));

  // A last interval with only phi1, phi2, phi4 is continued with its own coefficients.
  EXPECT_EQ(run.reserve[4].tmin, 5000.0f);
  EXPECT_EQ(run.reserve[4].tmax, 6000.0f);
  EXPECT_EQ(run.reserve[4].phi, run.primary[4].phi);

  // Otherwise: constant Cp, matching S and H of the last interval at the joint.
  struct Joint {
    int slot;
    PolynomialRecord last;
  };
  const Joint joints[] = {
      {2, db[0].intervals[1]}, {3, db[5].intervals[0]}, {5, db[1].intervals[0]}};
  for (const Joint& j : joints) {
    const PolyInterval& c = run.reserve[j.slot];
    EXPECT_EQ(c.tmin, j.last.tmax);
    EXPECT_EQ(c.tmax, 6000.0f);
    EXPECT_EQ(c.phi[2], 0.0f);
    EXPECT_EQ(c.phi[4], 0.0f);
    EXPECT_EQ(c.phi[5], 0.0f);
    EXPECT_EQ(c.phi[6], 0.0f);
    const SpeciesFunctionValues below = PolynomialFunctions(j.last, j.last.tmax);
    const SpeciesFunctionValues above = InJoules(c, j.last.tmax);
    EXPECT_NEAR(above.S, below.S, 1e-4 * std::fabs(below.S)) << j.slot;
    EXPECT_NEAR(above.H, below.H, 1e-4 * std::fabs(below.H) + 1e-4) << j.slot;
    EXPECT_NEAR(InJoules(c, 5500).Cp, below.Cp, 1e-4 * below.Cp) << j.slot;
  }
  // The solver's evaluation is continuous through the joint.
  BeginSpeciesFunctionPass(session_->ws);
  EvaluateSpeciesFunctions(session_->ws, 5, 2999.0);
  const double h0 = session_->ws.species.H[5];
  EvaluateSpeciesFunctions(session_->ws, 5, 3001.0);
  const double h1 = session_->ws.species.H[5];
  EXPECT_NEAR(h1 - h0, 2 * InJoules(run.reserve[5], 5000).Cp / kJPerCal, 0.05 * std::fabs(h1 - h0));
}

TEST_F(CatalogTest, SmallFixedAmountsKeepTheirValueInTheGrid) {
  // The Fixed column is read back when the task is saved: an amount that three
  // decimals would round away must be shown with the digits it needs.
  Open(ScanDatabase());
  Elements({{H, 10}, {C, 10}, {O, 10}});
  SpeciesList saved;
  saved.total = 2;
  saved.items[1].entry = {2, 10, 1};  // O2
  saved.items[2].entry = {2, 0, 1};   // H2O
  ASSERT_TRUE(WriteSpeciesListFile(session_->SpeciesListPath(), saved));
  session_->task.fixedCount = 2;
  session_->task.fixed[1] = {"O2", 0.0001f};
  session_->task.fixed[2] = {"H2O", 0.1234f};
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_EQ(session_->grid.size(), 2u);
  EXPECT_EQ(static_cast<float>(*TryParseNumber(session_->grid[0].fixed)), 0.0001f);
  EXPECT_EQ(static_cast<float>(*TryParseNumber(session_->grid[1].fixed)), 0.1234f);
}

TEST_F(PrepareTest, FixedAmountsMayNotUseUpAnElement) {
  session_->task.fixedCount = 1;
  session_->task.fixed[1] = {"H2O", 9.9f};  // 19.8 of 20 H, 9.9 of 10 O
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  session_->task.fixed[1] = {"H2O", 10.0f};  // all the oxygen
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  List().items[3].entry.selected = 0;
  EXPECT_FALSE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, " Fixed values are incorrect !");
  EXPECT_EQ(ui_.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(session_->task.elementCount, 0);
}

TEST_F(CatalogTest, TooManyReserveIntervalsFailsThePreparation) {
  std::vector<TestSpecies> db;
  std::vector<PolynomialRecord> nine;
  for (int i = 0; i < 9; ++i)
    nine.push_back(Interval(300 + 400 * i, 700 + 400 * i, {200, 30, 0, 1, 1, 0, 0}));
  for (int i = 0; i < 29; ++i) db.push_back({"Y" + std::to_string(i) + "(g)", 2, {{O, 1}}, nine});
  Open(db);
  Elements({{O, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_EQ(List().total, 29);  // 29 x (8 + continuation) = 261 intervals
  EXPECT_FALSE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  EXPECT_TRUE(ui_.Saw("Too many reserve polynomials (260) !"));
  EXPECT_EQ(session_->task.elementCount, 0);

  // 28 species fit (252 slots).
  Elements({{O, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  List().items[29].entry.selected = 0;
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  EXPECT_EQ(Tables().reserveCount, 252);
}

TEST_F(CatalogTest, DatabaseErrorsFailThePreparationWithAMessage) {
  TestSpecies broken{"Z(g)", 2, {{O, 1}}, {}};
  broken.polynomialRefOverride = 10 * 50 + 1;  // past the end of the polynomial file
  Open({{"O2(g)", 2, {{O, 2}}, {Simple()}}, broken});
  Elements({{O, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_EQ(List().total, 2);
  EXPECT_FALSE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find("Z"), std::string::npos);
  EXPECT_EQ(session_->task.elementCount, 0);

  // An interval starting at 0 K would break the logarithms of the functions.
  ui_.Clear();
  Open({{"O2(g)", 2, {{O, 2}}, {Interval(0, 6000, {200, 30, 0, 1, 0, 0, 0})}}});
  Elements({{O, 10}});
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_FALSE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_F(CatalogTest, LargeCountBytesAreAtomCountsForMassAndBalanceAlike) {
  Open({{"H200C2(g)", 2, {{H, 200}, {C, 2}}, {Simple()}}});
  Elements({{C, 10}, {H, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  ASSERT_TRUE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  ASSERT_EQ(Tables().count, 1);
  EXPECT_EQ(Tables().Atoms(2, 1), 200);
  EXPECT_FLOAT_EQ(Tables().molarMass[1], 2 * 12.011f + 200 * 1.0079f);
}

TEST_F(CatalogTest, MoreThan130SelectedSpeciesAreRefused) {
  std::vector<TestSpecies> db;
  for (int i = 0; i < 131; ++i)
    db.push_back({"W" + std::to_string(i) + "(g)", 2, {{O, 1}}, {Simple()}});
  Open(db);
  Elements({{O, 10}});
  List().rescanDatabase = true;
  LoadSpeciesList(session_->task, session_->database, session_->grid, session_->ui, session_->view,
                  session_->SpeciesListPath());
  EXPECT_FALSE(PrepareRunSpecies(session_->task, session_->database, session_->ws, session_->ui));
  EXPECT_TRUE(
      ui_.Saw("Number of substances is too big (131).\nMaximum number of substances is 130."));
}

}  // namespace
}  // namespace kvil
