// Rocket performance of whole runs compared with NASA CEA (tests/data/rocket, and the
// H2/O2 case of tests/data/reference).  CEA's states: the chamber, the throat and the
// exit states of an equilibrium (or frozen-at-the-chamber) expansion from an
// infinite-area chamber.  The program's figures are formed from the results table as
// the report forms them: w = velocity of flow, Ivac = p V / w + w, the throat area per
// unit mass flow rate At = V/w at the throat, c* = p_ch At, Fa/Fthroat = V / (w At).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/interaction.h"
#include "core/file_commands.h"
#include "core/run.h"
#include "core/session.h"
#include "results/table_file.h"
#include "task/task.h"
#include "task/task_view.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

// Slots of the 23 parameters (1-based as in the record).
double P(const ResultsRecord& r, int slot) {
  return r.parameters.at(slot - 1);
}
constexpr int kT = 2, kV = 3, kH = 5, kW = 22, kPa = 23;

struct Exit {
  double ratio;  // CEA's Ae/At (the requested one for area-ratio cases)
  double p, T, ivac, isp;
};
struct CeaCase {
  const char* dir;
  const char* name;
  double chamberT;
  double throatP, throatT, cstar;
  std::vector<Exit> exits;
};

// Values from the "cea" arrays of the JSON files.
const CeaCase kH2Lox{"reference",
                     "h2lox-rocket",
                     3483.35,
                     3.9736,
                     3291.03,
                     2304.3,
                     {{9.568, 0.1, 2031.02, 4064.7, 3744.9}}};
const CeaCase kCh4Lox{"rocket",
                      "ch4lox-rocket",
                      3673.22,
                      5.786,
                      3493.42,
                      1878.9,
                      {{13.947, 0.1, 2356.84, 3457.2, 3195.1}}};
const CeaCase kN2o4Mmh{"rocket",
                       "n2o4mmh-ratio",
                       3353.25,
                       2.8832,
                       3171.27,
                       1737.7,
                       {{1.5, 1.0319, 2848.51, 2411.7, 1873.7},
                        {2.0, 0.65091, 2704.61, 2553.2, 2100.8},
                        {5.0, 0.17467, 2260.89, 2891.6, 2588.1},
                        {50.0, 0.007962, 1288.79, 3368.5, 3230.2}}};
const CeaCase kApAl{"rocket",
                    "apal-ratio",
                    3373.6,
                    4.0362,
                    3180.31,
                    1591.6,
                    {{3.0, 0.49657, 2457.66, 2487.7, 2149.0},
                     {10.0, 0.10596, 2114.01, 2833.0, 2592.1},
                     {40.0, 0.017253, 1567.15, 3103.3, 2946.4}}};

// Frozen at the chamber: CEA's exit values of a frozen expansion (its throat is frozen
// too, the program's is an equilibrium state, so only the exit is compared).
struct FrozenCase {
  const char* name;
  float freezingT;  // CEA's chamber temperature
  double exitT, ivac, isp;
};
const FrozenCase kH2LoxFrozen{"h2lox-frozen", 3483.35f, 1655.52, 3886.8, 3602.9};
const FrozenCase kCh4LoxFrozen{"ch4lox-frozen", 3673.22f, 1634.4, 3220.8, 3010.5};

class RocketCeaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kvil_rocket_cea_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    session = std::make_unique<Session>(ui, view);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Reads the case's datafile into the session (species list from the database, every
  // candidate selected).
  void Load(const std::string& sub, const std::string& name) {
    const fs::path src = fs::path(KVIL_TEST_DATA_DIR) / sub / (name + ".dat");
    fs::copy_file(src, dir / (name + ".dat"));
    ASSERT_TRUE(session->database.Open(KVIL_DB_DIR));
    ASSERT_EQ(ReadTaskFile(*session, (dir / (name + ".dat")).string()), ReadTaskResult::Ok);
    auto& list = session->task.species;
    for (int i = 1; i <= list.total; ++i) list.items[i].entry.selected = true;
  }
  std::vector<ResultsRecord> Run() {
    EXPECT_TRUE(RunCommand(*session)) << Messages();
    std::vector<ResultsRecord> records;
    EXPECT_EQ(ReadResultsTable(session->TablePath(), records), TableReadStatus::Ok);
    return records;
  }
  std::string Report() const {
    std::ifstream in(session->ReportPath(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Messages() const {
    std::string all;
    for (const auto& t : ui.Texts()) all += "[" + t + "] ";
    return all;
  }

  void CompareEquilibrium(const CeaCase& c) {
    SCOPED_TRACE(c.name);
    Load(c.dir, c.name);
    const auto records = Run();
    ASSERT_EQ(records.size(), 2 + c.exits.size()) << Messages();
    EXPECT_TRUE(ui.messages.empty()) << Messages();
    const auto& chamber = records[0];
    const auto& throat = records[1];
    EXPECT_EQ(chamber.kind, 0);
    EXPECT_EQ(throat.kind, 1);
    const double pch = P(chamber, 1);
    EXPECT_NEAR(P(chamber, kT) / c.chamberT, 1.0, 0.002);
    EXPECT_NEAR(P(throat, kPa) / c.throatP, 1.0, 0.005);
    EXPECT_NEAR(P(throat, kT) / c.throatT, 1.0, 0.005);
    const double At = P(throat, kV) / P(throat, kW);
    EXPECT_NEAR(1e6 * pch * At / c.cstar, 1.0, 0.005);
    // At the throat the flow velocity is the sound velocity.
    EXPECT_NEAR(P(throat, kW) / P(throat, 12), 1.0, 0.002);
    for (std::size_t i = 0; i < c.exits.size(); ++i) {
      const auto& e = c.exits[i];
      const auto& r = records[2 + i];
      SCOPED_TRACE(e.ratio);
      EXPECT_EQ(r.kind, 2);
      const double w = P(r, kW), pe = P(r, kPa), V = P(r, kV);
      EXPECT_NEAR(w / e.isp, 1.0, 0.005);
      EXPECT_NEAR((pe * V * 1e6 / w + w) / e.ivac, 1.0, 0.005);
      EXPECT_NEAR(V / (w * At) / e.ratio, 1.0, 0.01);
      EXPECT_NEAR(P(r, kT) / e.T, 1.0, 0.01);
      // Flow velocity agrees with the enthalpy drop.
      EXPECT_NEAR(w, std::sqrt(2000.0 * (P(chamber, kH) - P(r, kH))), 1e-6 * w);
    }
  }

  // The case's expansion is the area ratio of CEA's frozen exit to the equilibrium
  // throat (Ae/At_frozen * c*_frozen / c*_equilibrium), which the program's area-ratio
  // expansion must land on.
  void CompareFrozen(const FrozenCase& c) {
    const std::string name = std::string(c.name) + "-ratio";
    SCOPED_TRACE(name);
    Load("rocket", name);
    session->settings.record.freezingT = c.freezingT;
    const auto records = Run();
    EXPECT_TRUE(ui.messages.empty()) << Messages();
    ASSERT_EQ(records.size(), 3u) << Messages();
    const auto& r = records[2];
    EXPECT_EQ(r.kind, 2);
    const double w = P(r, kW), pe = P(r, kPa), V = P(r, kV);
    EXPECT_NEAR(w / c.isp, 1.0, 0.01);
    EXPECT_NEAR((pe * V * 1e6 / w + w) / c.ivac, 1.0, 0.01);
    EXPECT_NEAR(P(r, kT) / c.exitT, 1.0, 0.01);
    EXPECT_NEAR(pe / 0.1, 1.0, 0.02);
    // The frozen mixture is an ideal gas: p Vg = n_gas R T.
    EXPECT_NEAR(pe * P(r, 9) * 1e6 / (P(r, 10) * 1000.0 * P(r, kT)), 1.0, 1e-6);
    EXPECT_NE(Report().find("(FROZEN at "), std::string::npos);
  }

  // The same frozen exit reached by the expansion pressure itself: the run's frozen
  // expansion point at (p, S_ch) with the composition of the freezing point.
  void CompareFrozenToPressure(const FrozenCase& c) {
    SCOPED_TRACE(c.name);
    Load("rocket", c.name);
    session->task.options[kOptFrozen] = 1;
    session->settings.record.freezingT = c.freezingT;
    const auto records = Run();
    EXPECT_TRUE(ui.messages.empty()) << Messages();
    ASSERT_FALSE(records.empty());
    const auto& r = records.back();
    EXPECT_EQ(r.kind, 2);
    const double w = P(r, kW), pe = P(r, kPa), V = P(r, kV);
    EXPECT_NEAR(pe, 0.1, 1e-6);
    EXPECT_NEAR(w / c.isp, 1.0, 0.01);
    EXPECT_NEAR((pe * V * 1e6 / w + w) / c.ivac, 1.0, 0.01);
    EXPECT_NEAR(P(r, kT) / c.exitT, 1.0, 0.01);
    EXPECT_NEAR(pe * P(r, 9) * 1e6 / (P(r, 10) * 1000.0 * P(r, kT)), 1.0, 1e-6);
  }

  RecordingInteraction ui{Answer::Yes};
  NullTaskView view;
  std::unique_ptr<Session> session;
  fs::path dir;
};

TEST_F(RocketCeaTest, HydrogenOxygenToAmbientPressure) {
  CompareEquilibrium(kH2Lox);
}
TEST_F(RocketCeaTest, HydrogenOxygenFrozenToAnAreaRatio) {
  CompareFrozen(kH2LoxFrozen);
}
TEST_F(RocketCeaTest, MethaneOxygenFrozenToAnAreaRatio) {
  CompareFrozen(kCh4LoxFrozen);
}
TEST_F(RocketCeaTest, FrozenExpansionToAPressureMatchesCea) {
  CompareFrozenToPressure(kH2LoxFrozen);
}
TEST_F(RocketCeaTest, MethaneOxygenFrozenToAPressure) {
  CompareFrozenToPressure(kCh4LoxFrozen);
}
TEST_F(RocketCeaTest, MethaneOxygenToAmbientPressure) {
  CompareEquilibrium(kCh4Lox);
}
TEST_F(RocketCeaTest, StorableBipropellantToAreaRatios) {
  CompareEquilibrium(kN2o4Mmh);
}
TEST_F(RocketCeaTest, AluminisedPropellantThroughTheAluminaPhaseChange) {
  CompareEquilibrium(kApAl);
}

// Frozen expansion by area ratio with the freezing point inside the nozzle: ratios
// whose exit pressure lies above the freezing pressure ask whether to go on in
// equilibrium.
class RocketFrozenQuestionTest : public RocketCeaTest {
 protected:
  std::vector<ResultsRecord> RunFrozenAt(float freezingT) {
    Load("rocket", "n2o4mmh-ratio");
    session->task.options[kOptFrozen] = 1;
    session->settings.record.freezingT = freezingT;
    return Run();
  }
  int Questions() const {
    int n = 0;
    for (const auto& m : ui.messages) {
      if (m.buttons != Buttons::YesNo) continue;
      ++n;
      EXPECT_EQ(m.text.rfind("Frozen pressure (", 0), 0u) << m.text;
      EXPECT_NE(m.text.find(" MPa) is less than\nexpansion pressure ("), std::string::npos);
      EXPECT_NE(m.text.find(" MPa).\nFrozen calculation has no sense.\n"
                            "Proceed with equilibrium expansion?"),
                std::string::npos);
    }
    return n;
  }
};

TEST_F(RocketFrozenQuestionTest, AnswerNoSkipsTheRatiosAboveTheFreezingPressure) {
  ui.Script({Answer::No, Answer::No});
  const auto records = RunFrozenAt(2500.0f);
  EXPECT_EQ(Questions(), 2);
  ASSERT_EQ(records.size(), 4u) << Messages();
  EXPECT_EQ(records[1].kind, 1);
  // Ratios 5 and 50, frozen: colder and with less vacuum impulse than in equilibrium
  // (CEA's equilibrium exits 2260.89 K, 2891.6 m/s and 1288.79 K, 3368.5 m/s).
  auto ivac = [](const ResultsRecord& r) {
    return P(r, kPa) * P(r, kV) * 1e6 / P(r, kW) + P(r, kW);
  };
  EXPECT_LT(P(records[2], kT), 2260.89 - 30);
  EXPECT_LT(ivac(records[2]), 2891.6);
  EXPECT_LT(P(records[3], kT), 1288.79 - 50);
  EXPECT_LT(ivac(records[3]), 3368.5);
  for (int i = 2; i < 4; ++i) {
    const auto& r = records[i];
    EXPECT_EQ(r.kind, 2);
    EXPECT_NEAR(P(r, kPa) * P(r, 9) * 1e6 / (P(r, 10) * 1000.0 * P(r, kT)), 1.0, 1e-6);
  }
  const double At = P(records[1], kV) / P(records[1], kW);
  EXPECT_NEAR(P(records[2], kV) / (P(records[2], kW) * At), 5.0, 5e-3);
  EXPECT_NEAR(P(records[3], kV) / (P(records[3], kW) * At), 50.0, 5e-2);
  EXPECT_NE(Report().find("(FROZEN at "), std::string::npos);
}

TEST_F(RocketFrozenQuestionTest, AnswerYesContinuesInEquilibrium) {
  ui.Script({Answer::Yes});
  const auto records = RunFrozenAt(2500.0f);
  EXPECT_EQ(Questions(), 1);
  ASSERT_EQ(records.size(), 6u) << Messages();
  for (std::size_t i = 0; i < kN2o4Mmh.exits.size(); ++i) {
    EXPECT_NEAR(P(records[2 + i], kW) / kN2o4Mmh.exits[i].isp, 1.0, 0.005);
  }
  EXPECT_EQ(Report().find("(FROZEN at "), std::string::npos);
}

// Heat of combustion with the frozen option: the second solve (V, 298 K) keeps the
// composition of the equilibrium at (V, freezing point).
class HeatOfCombustionTest : public RocketCeaTest {
 protected:
  double Heat(bool frozen, float freezingT) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    session = std::make_unique<Session>(ui, view);
    Load("reference", "h2lox-rocket");
    auto& t = session->task;
    t.firstCode = kParamTemplate;
    t.options[kOptTemplateImpulse] = 0;
    t.options[kOptTemplatePowder] = 0;
    t.options[kOptTemplateHeat] = 1;
    t.options[kOptFrozen] = frozen ? 1 : 0;
    session->settings.record.heatV = 0.01f;
    session->settings.record.heatU = 0.0f;
    session->settings.record.freezingT = freezingT;
    EXPECT_TRUE(RunCommand(*session)) << Messages();
    const std::string report = Report();
    const std::string label =
        frozen ? "Heat of Combustion (FROZEN) = " : "Heat of Combustion (EQUILIBRIUM) = ";
    const auto pos = report.find(label);
    EXPECT_NE(pos, std::string::npos) << report;
    if (pos == std::string::npos) return 0;
    return std::stod(report.substr(pos + label.size(), 12));
  }
};

TEST_F(HeatOfCombustionTest, FrozenHeatIsBelowTheEquilibriumHeat) {
  const double eq = Heat(false, 1500.0f);
  const double cold = Heat(true, 1500.0f);
  const double hot = Heat(true, 3500.0f);
  EXPECT_GT(eq, 10000.0);
  EXPECT_NEAR(cold / eq, 1.0, 0.01);
  EXPECT_LT(hot, cold);
  EXPECT_FALSE(session->ws.state.frozenComposition);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
}

// The smallest accepted area ratio lies just beyond the throat, where the area changes
// least with the pressure.
TEST_F(RocketCeaTest, RatioJustAboveTheThroat) {
  Load("rocket", "n2o4mmh-ratio");
  session->task.slots[3].valueText = "1.0001 1.01";
  const auto records = Run();
  ASSERT_EQ(records.size(), 4u) << Messages();
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  const auto& throat = records[1];
  const double At = P(throat, kV) / P(throat, kW);
  for (int i = 2; i < 4; ++i) {
    const auto& r = records[i];
    EXPECT_EQ(r.kind, 2);
    // Supersonic side: below the throat pressure, Mach above 1.
    EXPECT_LT(P(r, kPa), P(throat, kPa));
    EXPECT_GT(P(r, kW), P(r, 12));
  }
  EXPECT_NEAR(P(records[2], kV) / (P(records[2], kW) * At), 1.0001, 1e-4);
  EXPECT_NEAR(P(records[3], kV) / (P(records[3], kW) * At), 1.01, 1e-4);
}

}  // namespace
}  // namespace kvil
