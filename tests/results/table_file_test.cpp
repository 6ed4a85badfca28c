#include "results/table_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/binio.h"
#include "report_fixture.h"

namespace kvil::testing {
namespace {

// The values a test spoils, kept to be put back.
struct SessionSnapshot {
  explicit SessionSnapshot(const Session& s)
      : results(s.ws.results),
        nSingle(s.ws.species.nSingle),
        throat(s.ws.state.throatAreaPerFlow) {}
  void Restore(Session& s) const {
    s.ws.results = results;
    s.ws.species.nSingle = nSingle;
    s.ws.state.throatAreaPerFlow = throat;
  }
  ResultsBlock results;
  decltype(SpeciesState::nSingle) nSingle;
  float throat;
};

class TableFileTest : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    Task& t = s.task;
    AddElement(6, 1.5f);   // C
    AddElement(8, 2.25f);  // O
    t.components[1].formula = "CO2";
    t.components[2].formula = " ";  // a single blank is no component
    t.components[3].formula = "C";
    t.massFractions[1] = 0.75f;
    t.massFractions[3] = 0.25f;
    // Run species CO2, CO, C(gr); the list has one more candidate, O2, that is not in
    // the run.
    AddSpecies("CO2", 2, 44.0098f, 1.25f, 40);
    AddSpecies("CO", 2, 28.0101f, 0.5f, 41);
    AddSpecies("C(gr)", 1, 12.011f, 0.125f, 7);
    SpeciesList& list = t.species;
    ++list.total;
    list.items[list.total].entry = {2, 55, 0};
    s.ws.results = {.p = 4.0,
                    .T = 3000.0,
                    .V = 0.5,
                    .S = 9.5,
                    .H = -200.0,
                    .U = -2200.0,
                    .Cp = 1.75,
                    .nTotal = 1.875,
                    .gasVolume = 0.45,
                    .soundSpeed = 1100.0,
                    .kEquilibrium = 1.125,
                    .CpEquilibrium = 2.5,
                    .CvEquilibrium = 2.0,
                    .kFrozen = 1.25,
                    .lambdaFrozen = 0.25,
                    .lambdaReacting = 0.25,  // equilibrium conductivity 0.5
                    .viscosity = 1e-4};
    s.ws.state.reportGasAmount = 1.75;
    std::filesystem::remove(s.TablePath());
  }

  std::vector<double> RawValues() {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(ReadWholeFile(s.TablePath(), bytes));
    std::vector<double> v(bytes.size() / 8);
    for (size_t i = 0; i < v.size(); ++i) v[i] = GetLE<double>(bytes.data(), i * 8);
    return v;
  }

  void WriteRaw(const std::vector<double>& v, size_t extraBytes = 0) {
    std::ofstream out(s.TablePath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(v.data()), v.size() * 8);
    for (size_t i = 0; i < extraBytes; ++i) out.put('\0');
  }
};

TEST_F(TableFileTest, APointThatIsNotFiniteReachesNeitherReportNorTable) {
  const double inf = HUGE_VAL, nan = std::nan("");
  struct Case {
    const char* what;
    void (*spoil)(Session&, double);
    double value;
    bool inRecord;  // the table stores the value (the throat area only the report prints)
  };
  const Case cases[] = {
      {"V", [](Session& s, double v) { s.ws.results.V = v; }, inf, true},
      {"k", [](Session& s, double v) { s.ws.results.kEquilibrium = v; }, nan, true},
      {"amount", [](Session& s, double v) { s.ws.species.nSingle[2] = float(v); }, -inf, true},
      {"throat", [](Session& s, double v) { s.ws.state.throatAreaPerFlow = float(v); }, nan, false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PointResultsRepresentable(s.ws, s.ws.run.count));
    const SessionSnapshot saved(s);
    c.spoil(s, c.value);
    EXPECT_FALSE(PointResultsRepresentable(s.ws, s.ws.run.count)) << c.what;
    EXPECT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2)) << c.what;
    EXPECT_EQ(std::filesystem::exists(s.TablePath()), !c.inRecord) << c.what;
    std::filesystem::remove(s.TablePath());
    WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, 2, s.ws.run.count, 4.0f, kParamP,
                     3000.0f, kParamT);
    const std::string report = ReportText();
    for (const char* bad : {"inf", "INF", "nan", "NAN", "Inf", "NaN"})
      EXPECT_EQ(report.find(bad), std::string::npos) << c.what << ": " << report;
    EXPECT_NE(report.find("     The results of this point are not finite numbers.\n"),
              std::string::npos)
        << c.what;
    saved.Restore(s);
  }
  // Restored, the point is written.
  EXPECT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
}

TEST_F(TableFileTest, RecordLayoutIsExact) {
  s.task.options[kOptEos] = 2;  // virial: the covolume is kept
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  const double rg = 0.00831441 * 1.75;
  const double fp = rg * 3000.0;
  const std::vector<double> expected = {0,  // kind
                                        2,
                                        6,
                                        8,
                                        1.5,
                                        2.25,  // elements
                                        2,
                                        0.75,
                                        1,
                                        0.25,
                                        3,  // components with a formula
                                        0 + 4.0,
                                        3000.0,
                                        0.5,
                                        9.5,
                                        -200.0,
                                        -2200.0,
                                        1.75,
                                        1.875,  // p .. M
                                        0.45,
                                        rg,
                                        1000.0 * 4.0 * 0.5 / fp,  // Vg, Rg, Z from the total volume
                                        1100.0,
                                        1.25,
                                        1.125,
                                        2.5,
                                        2.0,
                                        0.25,
                                        0.5,
                                        1e-4,
                                        fp,
                                        0.5 * 1000.0 - fp / 4.0,  // FP, Cov
                                        0,
                                        0,  // Wa, Pa
                                        4,
                                        40,
                                        1.25,
                                        41,
                                        0.5,
                                        7,
                                        0.125,
                                        55,
                                        0};
  EXPECT_EQ(RawValues(), expected);
}

TEST_F(TableFileTest, RoundTripOfAChamberThroatAndExpansionPoint) {
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  s.ws.state.rowKind = 1;
  s.ws.state.reportExpansionPressure = 2.25;
  s.ws.state.reportFlowVelocity = 1000.0;
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  s.ws.state.rowKind = 2;
  s.ws.state.reportExpansionPressure = 0.1;
  s.ws.state.reportFlowVelocity = 2500.0;
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));

  std::vector<ResultsRecord> records;
  ASSERT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(records[i].kind, i);
  const ResultsRecord& chamber = records[0];
  EXPECT_EQ(chamber.elements, (std::vector<std::pair<int, double>>{{6, 1.5}, {8, 2.25}}));
  EXPECT_EQ(chamber.components, (std::vector<std::pair<double, int>>{{0.75, 1}, {0.25, 3}}));
  EXPECT_EQ(chamber.species,
            (std::vector<std::pair<int, double>>{{40, 1.25}, {41, 0.5}, {7, 0.125}, {55, 0}}));
  ASSERT_EQ(chamber.parameters.size(), 23u);
  EXPECT_EQ(chamber.parameters[0], 4.0);
  EXPECT_EQ(chamber.parameters[21], 0);
  EXPECT_EQ(chamber.parameters[22], 0);
  // Throat and expansion points keep their pressure in slot 23, not in slot 1.
  EXPECT_EQ(records[1].parameters[0], 0);
  EXPECT_EQ(records[1].parameters[22], 2.25);
  EXPECT_EQ(records[1].parameters[21], 1000.0);
  EXPECT_EQ(records[2].parameters[0], 0);
  EXPECT_EQ(records[2].parameters[22], 0.1);
  EXPECT_EQ(records[2].parameters[21], 2500.0);

  ASSERT_EQ(ReadResultsTable(s.TablePath(), records, 1), TableReadStatus::Ok);
  EXPECT_EQ(records.size(), 1u);
}

TEST_F(TableFileTest, CovolumeZAndGasConstantRules) {
  std::vector<ResultsRecord> records;
  s.task.options[kOptEos] = 1;  // ideal gas: no covolume even where V*1000 > FP/p
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  s.task.options[kOptEos] = 3;
  s.ws.results.V = 0.001;  // covolume would be negative
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  s.ws.state.reportGasAmount = 1e-5;  // Rg = 8.3e-8: Z is 1
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  ASSERT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].parameters[20], 0);
  EXPECT_EQ(records[1].parameters[20], 0);
  EXPECT_EQ(records[2].parameters[10], 1);
  EXPECT_DOUBLE_EQ(records[2].parameters[9], 0.00831441e-5);
}

// The record always holds as many pairs as its count says, whatever the caller
// counted; a task without formulas writes a count of 0 and no pairs.
TEST_F(TableFileTest, ComponentCountFollowsThePairs) {
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 5));
  for (int i = 1; i <= kMaxComponents; ++i) s.task.components[i].formula = "";
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 0));
  std::vector<ResultsRecord> records;
  ASSERT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].components.size(), 2u);
  EXPECT_TRUE(records[1].components.empty());
  EXPECT_EQ(RawValues()[6], 2);
}

TEST_F(TableFileTest, EmptyMissingTruncatedAndCorruptedFiles) {
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Unreadable);
  WriteRaw({});
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Empty);
  WriteRaw({}, 5);
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted);

  std::filesystem::remove(s.TablePath());
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  const std::vector<double> good = RawValues();
  const size_t recordSize = good.size() / 2;

  // Ends inside the second record: the first one is still delivered.
  std::vector<double> v(good.begin(), good.end() - 1);
  WriteRaw(v);
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted);
  EXPECT_EQ(records.size(), 1u);
  // A few stray bytes after whole records.
  WriteRaw(good, 3);
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted);
  EXPECT_EQ(records.size(), 2u);
  // Counts that cannot be followed.
  for (double badCount : {-1.0, 2.5, 1e9, std::nan("")}) {
    v = good;
    v[recordSize + 1] = badCount;  // nEl of the second record
    WriteRaw(v);
    EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted) << badCount;
    v = good;
    v[recordSize + 34] = badCount;  // nS of the second record
    WriteRaw(v);
    EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted) << badCount;
  }
  v = good;
  v[0] = 3;  // no such point kind
  WriteRaw(v);
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted);
  EXPECT_TRUE(records.empty());

  // A value the writer never stores (NaN, an infinity) in any field of the second
  // record is damage; the first record is kept.  Element amount, component fraction,
  // a parameter, a species amount.
  const size_t nEl = static_cast<size_t>(good[1]);
  const size_t fractionAt = 2 + 2 * nEl + 1;
  const size_t parameterAt = fractionAt + 2 * static_cast<size_t>(good[2 + 2 * nEl]);
  for (size_t at : {2 + nEl, fractionAt, parameterAt + 2, recordSize - 1}) {
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
      v = good;
      v[recordSize + at] = bad;
      WriteRaw(v);
      EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Corrupted)
          << at << " " << bad;
      EXPECT_EQ(records.size(), 1u) << at << " " << bad;
    }
  }
  // A directory where the table should be is unreadable, not a huge file.
  std::filesystem::remove(s.TablePath());
  std::filesystem::create_directories(s.TablePath());
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Unreadable);
}

TEST_F(TableFileTest, FailedAppendLeavesNothingBehind) {
  s.datafilePath = (dir_ / "missing" / "case.dat").string();
  EXPECT_FALSE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  EXPECT_FALSE(std::filesystem::exists(s.TablePath()));
}

// A record that does not fit (here: a file-size limit just above one record) is cut
// away again, so the file keeps only whole records.
TEST_F(TableFileTest, AppendThatRunsOutOfSpaceLeavesOnlyWholeRecords) {
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  const auto oneRecord = std::filesystem::file_size(s.TablePath());
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = oneRecord + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool appended = AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(appended);
  EXPECT_EQ(std::filesystem::file_size(s.TablePath()), oneRecord);
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  EXPECT_EQ(records.size(), 1u);
}

// During a run the table stays open: every record is on disk as soon as it is
// appended, a record that does not fit is cut away without leaving bytes of it in the
// stream, and the points after it are appended whole.
TEST_F(TableFileTest, HeldOpenTableKeepsWholeRecordsAcrossAFailedAppend) {
  ASSERT_TRUE(s.table.Open(s.TablePath()));
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  const auto oneRecord = std::filesystem::file_size(s.TablePath());
  std::vector<ResultsRecord> records;
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  EXPECT_EQ(records.size(), 1u);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = oneRecord + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool appended = AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(appended);
  EXPECT_EQ(std::filesystem::file_size(s.TablePath()), oneRecord);

  s.ws.results.T = 2500.0;
  ASSERT_TRUE(AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), 2));
  EXPECT_EQ(std::filesystem::file_size(s.TablePath()), 2 * oneRecord);
  s.table.Close();
  EXPECT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].parameters[1], 2500.0);
}

}  // namespace
}  // namespace kvil::testing
