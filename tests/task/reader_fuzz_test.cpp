// Damaged files, many of them: a seeded mutation run of the task datafile, the species
// list file and the configuration file, read together as Open reads them; of the three
// species database files, opened and turned into the candidate list and the run tables;
// and of the results table, read and turned into a table, a plot check and a chart.
// Whatever the bytes, reading must neither crash nor hang nor leave anything the rest of
// the program cannot trust: lists within their limits, every number finite, a settings
// record that passes the checks of the settings page.  Bounded and deterministic (a
// fixed seed, a fixed number of rounds), so that it runs in every test run and under
// the sanitizers.  (The components catalogue: tests/components/catalog_fuzz_test.cpp.)
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/binio.h"
#include "core/file_commands.h"
#include "results/analysis.h"
#include "results/chart_data.h"
#include "results/table_file.h"
#include "task/datafile.h"
#include "task/settings.h"
#include "task/settings_fields.h"
#include "task/species_list_file.h"
#include "task/formula.h"
#include "task/value_lists.h"
#include "run/ho_system.h"
#include "thermo/species_catalog.h"
#include "support/mutator.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing_fuzz::Mutator;

class ReaderFuzz : public testing::TaskTest {
 protected:
  // What every read must leave, whatever it read.
  void ExpectTrustworthy(const std::string& what) {
    SCOPED_TRACE(what);
    const Task& t = session.task;
    EXPECT_TRUE(SettingsRecordValid(session.settings.record));
    EXPECT_EQ(session.settings.cutoff, session.settings.record.cutoff);
    EXPECT_GE(t.species.total, 0);
    EXPECT_LE(t.species.total, kMaxCandidateSpecies);
    EXPECT_GE(t.fixedCount, 0);
    EXPECT_LE(t.fixedCount, kMaxFixedConcentrations);
    EXPECT_EQ(t.options[kOptFixedCount], t.fixedCount);
    for (int f = 1; f <= t.fixedCount && f <= kMaxFixedConcentrations; ++f)
      EXPECT_TRUE(std::isfinite(t.fixed[f].value)) << f;
    EXPECT_LE(t.elementCount, kMaxSystemElements);
    for (int n = 1; n <= 3; ++n) {
      const ParameterSlot& s = t.slots[n];
      ASSERT_GE(s.count, 0);
      ASSERT_LE(s.count, kMaxListValues);
      for (int i = 1; i <= s.count; ++i) EXPECT_TRUE(std::isfinite(s.values[i])) << n;
      EXPECT_TRUE(std::isfinite(s.step)) << n;
    }
    for (int r = 1; r <= kMaxComponents; ++r) {
      const SourceComponent& c = t.components[r];
      for (float a : c.amounts) EXPECT_TRUE(std::isfinite(a)) << r;
      EXPECT_TRUE(std::isfinite(c.enthalpy)) << r;
      EXPECT_TRUE(std::isfinite(c.step)) << r;
    }
  }
};

TEST_F(ReaderFuzz, DamagedFilesNeverLeaveATaskOrSettingsThatCannotBeTrusted) {
  OpenTinyDatabase({{"H2O", 2, 1, 2, 8, 1},
                    {"H2", 2, 1, 2, 0, 0},
                    {"O2", 2, 8, 2, 0, 0},
                    {"CO2", 2, 6, 1, 8, 2},
                    {"C(gr)", 1, 6, 1, 0, 0},
                    {"N2", 2, 7, 2, 0, 0}});

  // Seeds: a task with lists, ranges, stepped components and fixed concentrations;
  // its species list; a settings record with every field set.
  std::string example;
  ASSERT_TRUE(ReadWholeFile(std::string(KVIL_SOURCE_DIR) + "/examples/propellant.dat", example));
  ASSERT_FALSE(example.empty());
  Task& t = session.task;
  t.firstCode = kParamP;
  t.slots[1].valueText = "1 100";
  t.slots[1].stepText = "10";
  t.secondCode = kParamT;
  t.slots[2].valueText = "3000 3500 4000";
  t.expansionCode = kParamPa;
  t.slots[3].valueText = "0.1 0.01";
  SetComponent(1, "H2", "10 20");
  t.components[1].stepText = "2,5";
  SetComponent(2, "O2", "80");
  SetComponent(3, "C", "0 5 10");
  t.components[1].enthalpy = -5.5f;
  t.comment = "ranges and steps";
  const std::string ranged = DatafileText(t);
  const std::string seeds[] = {example, ranged};
  std::vector<std::uint8_t> speciesList;
  for (int i = 0; i < 6; ++i) {
    const std::uint8_t entry[kSpeciesEntrySize] = {
        static_cast<std::uint8_t>(i == 4 ? 1 : 2), static_cast<std::uint8_t>(i), 0, 0, 0, 1};
    speciesList.insert(speciesList.end(), entry, entry + kSpeciesEntrySize);
  }
  SettingsRecord record;
  SetDefaultSettings(record);
  record.options[kOptTemplateImpulse] = 1;
  record.impulseH = -120;
  const auto encoded = EncodeSettings(record);
  const std::vector<std::uint8_t> settings(encoded.begin(), encoded.end());

  // The seeds themselves are read cleanly.
  WriteText("task.dat", ranged);
  ASSERT_TRUE(WriteFileAtomically(Path("task.tdf"), speciesList.data(), speciesList.size()));
  ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), settings.data(), settings.size()));
  ASSERT_EQ(ReadTaskFile(session, Path("task.dat")), ReadTaskResult::Ok);
  ExpectTrustworthy("seed");
  ASSERT_EQ(t.components[1].step, 2.5f);
  ASSERT_EQ(t.slots[2].count, 3);
  ASSERT_EQ(t.species.total, 6);
  ASSERT_EQ(session.settings.record.impulseH, -120.0f);

  constexpr int kRounds = 800;
  Mutator m(20261209);
  for (int round = 0; round < kRounds; ++round) {
    // Each round damages one, two or all three files.
    const std::size_t which = 1 + m.Below(7);
    const std::string& seed = seeds[round % 2];
    const std::string dat = which & 1 ? m.Text(seed) : seed;
    const auto tdf = which & 2 ? m.Binary(speciesList) : speciesList;
    const auto cfg = which & 4 ? m.Binary(settings) : settings;
    WriteText("task.dat", dat);
    ASSERT_TRUE(WriteFileAtomically(Path("task.tdf"), tdf.data(), tdf.size()));
    ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), cfg.data(), cfg.size()));
    ui.Clear();
    ReadTaskFile(session, Path("task.dat"));
    ExpectTrustworthy("round " + std::to_string(round));

    // A template opened on the settings page goes through the same checks.
    session.settings.fileName = "kvil.cfg";
    ASSERT_TRUE(WriteFileAtomically(Path("kvil.cfg"), cfg.data(), cfg.size()));
    LoadSettingsFile(session.task, session.settings, session.ui, session.view);
    ExpectTrustworthy("template, round " + std::to_string(round));

    std::vector<SpeciesEntry> entries;
    ASSERT_TRUE(ReadSpeciesListFile(Path("task.tdf"), entries));
    EXPECT_EQ(entries.size(), tdf.size() / kSpeciesEntrySize);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round << ", files damaged: " << which << "\n" << dat;
      break;
    }
  }
}

TEST_F(ReaderFuzz, DamagedSpeciesDatabasesGiveNoRunTablesThatCannotBeTrusted) {
  // Seed: the hydrogen-oxygen database of the run tests, with its properties and
  // polynomials, and one condensed species.
  auto species = run_test::HydrogenOxygen();
  species.push_back(run_test::Gas("H2O(c)", {{1, 2}, {8, 1}}, 18.0, -68300, 16.7, 18.0f, 0));
  species.back().kind = 1;
  testing_db::WriteDatabase(dir, species);
  std::vector<std::uint8_t> seeds[3];
  const char* const names[3] = {kSpeciesFileName, kPropertyFileName, kPolynomialFileName};
  for (int f = 0; f < 3; ++f) ASSERT_TRUE(ReadWholeFile(Path(names[f]), seeds[f]));

  SetComponent(1, "H2", "11.19");
  SetComponent(2, "O2", "88.81");
  ASSERT_TRUE(ParseAmountList(session.task, 1, ui) && ParseAmountList(session.task, 2, ui));
  constexpr int kRounds = 300;
  Mutator m(20261210);
  for (int round = 0; round < kRounds; ++round) {
    const std::size_t which = 1 + m.Below(7);
    for (int f = 0; f < 3; ++f) {
      const auto bytes = which & (1u << f) ? m.Binary(seeds[f]) : seeds[f];
      ASSERT_TRUE(WriteFileAtomically(Path(names[f]), bytes.data(), bytes.size()));
    }
    SCOPED_TRACE("round " + std::to_string(round) + ", files damaged: " + std::to_string(which));
    SpeciesDatabase& db = session.database;
    if (!db.Open(dir.string())) {
      EXPECT_NE(db.OpenError(), "");
      continue;
    }
    Task& t = session.task;
    ui.Clear();
    ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
    t.species = SpeciesList{};
    t.species.rescanDatabase = true;
    LoadSpeciesList(session.task, session.database, session.grid, session.ui, session.view,
                    session.SpeciesListPath());
    ASSERT_LE(t.species.total, kMaxCandidateSpecies);
    if (!PrepareRunSpecies(session.task, session.database, session.ws, session.ui)) continue;
    // The run tables: every interval a usable temperature range with finite
    // coefficients, every molar mass and molecular parameter a finite number.
    const RunSpeciesTables& run = session.ws.run;
    ASSERT_LE(run.count, kMaxRunSpecies);
    for (int k = 1; k <= run.count; ++k) {
      const PolyInterval& p = run.primary[k];
      EXPECT_TRUE(p.tmin > 0 && p.tmax >= p.tmin) << k;
      for (float phi : p.phi) EXPECT_TRUE(std::isfinite(phi)) << k;
      EXPECT_TRUE(std::isfinite(run.molarMass[k]) && std::isfinite(run.sigma[k]) &&
                  std::isfinite(run.epsilon[k]))
          << k;
    }
    for (int r = 1; r <= run.reserveCount; ++r)
      for (float phi : run.reserve[r].phi) EXPECT_TRUE(std::isfinite(phi)) << r;
    if (HasFailure()) break;
  }
}

TEST_F(ReaderFuzz, DamagedResultsTablesGiveOnlyWholeFiniteRecordsAndChartsThatEnd) {
  // Seed: three records of two elements, two components and three species, as the
  // writer lays them out.
  std::vector<double> seed;
  for (int r = 0; r < 3; ++r) {
    const std::vector<double> record = {
        0, 2, 1, 8, 111.0 + r, 55.5 - r,                         // kind, elements
        2, 11.19, 1, 88.81, 2,                                   // components
        1.0 + r, 3000.0 + 100 * r, 1.2, 12.5, -500, -1700, 2.1,  // p .. Cp
        40.1, 1.1, 0.33, 1.0, 1200, 1.2, 1.15, 2.5, 2.2, 0.2, 0.25, 1e-4, 1000, 0, 0, 0,
        3, 0, 20.1 - r, 2, 10.2, 4, 0.01 * r};                   // species
    seed.insert(seed.end(), record.begin(), record.end());
  }
  std::vector<std::uint8_t> seedBytes(seed.size() * 8);
  for (std::size_t i = 0; i < seed.size(); ++i) PutLE<double>(seedBytes.data(), i * 8, seed[i]);
  std::vector<ResultsRecord> records;
  ASSERT_EQ(ParseResultsTable(seed, records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 3u);

  // The table of T against p and two species, as the analysis page asks for it.
  TableChoice choice;
  choice.layout = LayoutOfRecord(records[0]);
  choice.argumentItem = 2;
  choice.argumentTitle = kResultsParameterNames[1];
  choice.functionItems = {1, ItemOfListRow(choice.layout, AnalysisKind::Concentration, 1),
                          ItemOfListRow(choice.layout, AnalysisKind::Concentration, 3)};
  choice.functionTitles = {kResultsParameterNames[0], "H2", "O"};

  constexpr int kRounds = 600;
  Mutator m(20261211);
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::uint8_t> bytes = m.Binary(seedBytes);
    // Doubles at the edges as well, where a float edge would be too narrow.
    if (bytes.size() >= 8 && m.Below(2) == 0) {
      const double edges[] = {NAN, HUGE_VAL, -HUGE_VAL, 1.7e308, -1.7e308, 1e-320, -0.0};
      PutLE<double>(bytes.data(), m.Below(bytes.size() / 8) * 8, edges[m.Below(std::size(edges))]);
    }
    ASSERT_TRUE(WriteFileAtomically(Path("t.rst"), bytes.data(), bytes.size()));
    SCOPED_TRACE("round " + std::to_string(round));
    const TableReadStatus status = ReadResultsTable(Path("t.rst"), records);
    ASSERT_NE(status, TableReadStatus::Unreadable);
    for (const ResultsRecord& r : records) {
      ASSERT_EQ(r.parameters.size(), std::size_t(kResultsParameterCount));
      for (double v : r.parameters) EXPECT_TRUE(std::isfinite(v));
      for (const auto& e : r.elements) EXPECT_TRUE(std::isfinite(e.second));
      for (const auto& c : r.components) EXPECT_TRUE(std::isfinite(c.first));
      for (const auto& sp : r.species) EXPECT_TRUE(std::isfinite(sp.second));
    }
    // What the table view and the chart make of it ends, and the chart's ranges and
    // ticks are finite.
    ui.Clear();
    const ResultsTable table = FillResultsTable(records, choice, ui);
    if (!CheckTableForPlot(table, ui)) continue;
    for (bool logs : {false, true}) {
      const ChartData chart = BuildChartData(table, false, logs, logs);
      for (const AxisRange& axis : {chart.x, chart.y}) {
        EXPECT_TRUE(std::isfinite(axis.min) && std::isfinite(axis.max));
        const AxisRange shown = RoundedRange(axis);
        EXPECT_LE(AxisTicks(shown.min, shown.max, shown.pattern).size(), 1000u);
      }
    }
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace kvil
