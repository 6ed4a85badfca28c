// A dense non-ideal state is one state whatever pair assigns it: a (V, U) point of RDX
// or TNT products, solved again from its (p, U), (p, T), (T, V), (S, V) and (p, S),
// comes back with the same V, p, T and composition, for both equations of state; and
// its pressure is the one the equation of state gives at its V, T and composition,
// computed here from the Lennard-Jones data directly.  The Kelmost equation also
// solves at an assigned detonation pressure, and says " The density is too high! "
// where the state lies beyond its range, whichever pair assigns it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/file_commands.h"
#include "core/run.h"
#include "core/session.h"
#include "task/settings.h"
#include "thermo/eos.h"
#include "thermo/species_catalog.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

constexpr double kR = 8.31441;

struct DenseState {
  bool ok = false;
  double p = 0, T = 0, V = 0, S = 0, U = 0;
  std::vector<double> n;
  std::vector<std::string> messages;
};

std::string Text(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.9g", v);
  return buffer;
}

// The state of a task solved at two assigned values (internal units), and, for the
// pressure check, the session it was solved in.
class OneState : public ::testing::Test {
 protected:
  DenseState Solve(const std::string& task, int eos, int c1, double v1, int c2, double v2) {
    const fs::path source = fs::path(KVIL_TEST_DATA_DIR) / "cea" / (task + ".dat");
    // One folder per test and task: ctest runs the tests of this file side by side.
    dir_ = fs::temp_directory_path() /
           ("kvil_one_state_" + task + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    fs::copy_file(source, dir_ / "case.dat", fs::copy_options::overwrite_existing);
    ui_ = std::make_unique<RecordingInteraction>(Answer::Yes);
    session_ = std::make_unique<Session>(*ui_, view_);
    Session& s = *session_;
    s.settings.directory = dir_.string();
    SetDefaultSettings(s.settings.record);
    EXPECT_TRUE(s.database.Open(KVIL_DB_DIR));
    EXPECT_EQ(ReadTaskFile(s, (dir_ / "case.dat").string()), ReadTaskResult::Ok);
    if (s.task.species.total == 0)
      LoadSpeciesList(s.task, s.database, s.grid, s.ui, s.view, s.SpeciesListPath());
    s.datafilePath = (dir_ / "case.dat").string();
    s.task.options[kOptEos] = static_cast<std::uint8_t>(eos);
    s.task.options[kOptPrintIdealGas] = 0;
    s.task.firstCode = c1;
    s.task.secondCode = c2;
    s.task.expansionCode = 0;
    s.task.slots[1].valueText = Text(v1);
    s.task.slots[2].valueText = Text(v2);
    s.task.slots[3].valueText = "";
    for (int n = 1; n <= 3; ++n) s.task.slots[n].stepText = "";
    for (int c = 1; c <= 8; ++c) s.task.unitCodes[c] = static_cast<std::uint8_t>(2 * c - 1);

    DenseState out;
    out.ok = RunCommand(s) && ui_->Texts().empty();
    out.messages = ui_->Texts();
    const ResultsBlock& r = s.ws.results;
    out.p = r.p;
    out.T = r.T;
    out.V = r.V;
    out.S = r.S;
    out.U = r.U;
    for (int k = 1; k <= s.ws.run.count; ++k) out.n.push_back(s.ws.species.n[k]);
    return out;
  }

  // Pressure (MPa) of the equation of state at the solved gas volume, T and amounts.
  double EosPressure(int eos) const {
    const CalcWorkspace& ws = session_->ws;
    double n = 0, nAll = 0, S3 = 0, E3 = 0, b1 = 0;
    for (int i = 1; i <= ws.run.count; ++i) {
      if (ws.run.Phase(i) != 2) continue;
      nAll += ws.species.n[i];
      if (ws.species.eosFlag[i] != 2) continue;
      n += ws.species.n[i];
      for (int j = 1; j <= ws.run.count; ++j) {
        if (ws.species.eosFlag[j] != 2) continue;
        const double si = ws.run.sigma[i], sj = ws.run.sigma[j];
        const double nn = ws.species.n[i] * ws.species.n[j];
        const double sij3 = std::pow((si + sj) / 2, 3);
        const double f = std::pow(2 * std::sqrt(si * sj) / (si + sj), 12);
        S3 += nn * sij3;
        E3 += nn * std::sqrt(double(ws.run.epsilon[i]) * ws.run.epsilon[j]) * f * sij3;
        b1 += nn * std::pow(si + sj, 3);
      }
    }
    const double eps = E3 / S3;
    S3 /= n * n;
    b1 /= 8 * n * n;
    const double T = ws.results.T, V = ws.results.gasVolume;
    const double rho = n * 1e-6 / V;
    if (eos == 2) {
      const double B = 1.2615 * S3 * ReducedSecondVirial(T / eps), C = 0.36028 * S3 * S3;
      return kR * T * 1e-6 / V * (nAll + n * (B * rho + C * rho * rho));
    }
    // Kelmost: the hard-core factor of the state, F = rule(b1/F) at this density.
    double F = 2.5;
    for (int i = 0; i < 500; ++i) {
      const double L = std::log(T / (1 - b1 / F * rho) / eps);
      F = 0.5 * F + 0.5 * (1.818671 + 0.0398168 * L - 0.1192547 * L * L +
                           0.0554829 * L * L * L - 0.004662 * L * L * L * L);
    }
    const double u = 1 - b1 / F * rho;
    const double B = 1.2615 * S3 * ReducedSecondVirial(T / (u * eps));
    return kR * T * 1e-6 / V * (nAll + n * rho * B / u);
  }

  void TearDown() override {
    session_.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path dir_;
  std::unique_ptr<RecordingInteraction> ui_;
  NullTaskView view_;
  std::unique_ptr<Session> session_;
};

TEST_F(OneState, DenseStateDoesNotDependOnThePairThatAssignsIt) {
  if (!fs::exists(fs::path(KVIL_DB_DIR) / "Demo_1a.bas")) GTEST_SKIP() << "no database";
  struct Case {
    const char* task;
    int eos;
    double density;  // g/cm3
  };
  // RDX near its loading density with both equations; TNT, with much condensed carbon,
  // where the passes used to swing without settling.
  const Case cases[] = {{"rdx-uv", 2, 1.8}, {"rdx-uv", 3, 1.4}, {"tnt-uv", 2, 1.4},
                        {"tnt-uv", 3, 1.2}};
  for (const Case& c : cases) {
    const std::string label = std::string(c.task) + " EOS " + std::to_string(c.eos) + " at " +
                              Text(c.density) + " g/cm3";
    const DenseState base = Solve(c.task, c.eos, kParamV, 1e-3 / c.density, kParamU, 0);
    ASSERT_TRUE(base.ok) << label << ": " << (base.messages.empty() ? "" : base.messages[0]);
    // Its pressure is the equation's own at its V, T and composition.
    EXPECT_NEAR(EosPressure(c.eos) / base.p, 1.0, 5e-5) << label;

    struct Pair {
      const char* name;
      int c1;
      double v1;
      int c2;
      double v2;
    };
    const Pair pairs[] = {{"(p, U)", kParamP, base.p, kParamU, base.U},
                          {"(p, T)", kParamP, base.p, kParamT, base.T},
                          {"(T, V)", kParamT, base.T, kParamV, base.V},
                          {"(S, V)", kParamS, base.S, kParamV, base.V},
                          {"(p, S)", kParamP, base.p, kParamS, base.S}};
    for (const Pair& pair : pairs) {
      const DenseState again = Solve(c.task, c.eos, pair.c1, pair.v1, pair.c2, pair.v2);
      const std::string where = label + " from " + pair.name;
      ASSERT_TRUE(again.ok) << where << ": " << (again.messages.empty() ? "" : again.messages[0]);
      EXPECT_NEAR(again.V / base.V, 1.0, 2e-4) << where;
      EXPECT_NEAR(again.p / base.p, 1.0, 2e-4) << where;
      EXPECT_NEAR(again.T / base.T, 1.0, 2e-4) << where;
      ASSERT_EQ(again.n.size(), base.n.size()) << where;
      for (std::size_t k = 0; k < base.n.size(); ++k)
        if (base.n[k] > 1e-3) EXPECT_NEAR(again.n[k] / base.n[k], 1.0, 1e-3) << where << " " << k;
      EXPECT_NEAR(EosPressure(c.eos) / again.p, 1.0, 5e-5) << where;
    }
  }
}

TEST_F(OneState, KelmostRefusesOnlyStatesBeyondItsDensityRange) {
  if (!fs::exists(fs::path(KVIL_DB_DIR) / "Demo_1a.bas")) GTEST_SKIP() << "no database";
  // Detonation pressure assigned: solved, at the density the (V, U) point had.
  const DenseState base = Solve("rdx-uv", 3, kParamV, 1e-3, kParamU, 0);
  ASSERT_TRUE(base.ok);
  const DenseState atP = Solve("rdx-uv", 3, kParamP, base.p, kParamU, base.U);
  ASSERT_TRUE(atP.ok) << (atP.messages.empty() ? "" : atP.messages[0]);
  EXPECT_NEAR(atP.V / base.V, 1.0, 2e-4);

  // Beyond the range, by volume and by pressure: the same refusal, with the state's
  // density in the report.
  // The equation advised is one that reaches such a state.
  const DenseState byV = Solve("rdx-uv", 3, kParamV, 1e-3 / 2.2, kParamU, 0);
  ASSERT_EQ(byV.messages.size(), 2u);
  EXPECT_EQ(byV.messages[0], " The density is too high! ");
  EXPECT_EQ(byV.messages[1], "We recommend to use BKW EOS for this case.");
  const DenseState byP = Solve("rdx-uv", 3, kParamP, 40000.0, kParamU, base.U);
  ASSERT_EQ(byP.messages.size(), 2u);
  EXPECT_EQ(byP.messages[0], " The density is too high! ");
  EXPECT_EQ(byP.messages[1], "We recommend to use BKW EOS for this case.");
}

// A virial state denser than its two coefficients hold for says so in the report; a
// state within their range does not.
TEST_F(OneState, VirialStateBeyondItsCoefficientsIsMarkedInTheReport) {
  if (!fs::exists(fs::path(KVIL_DB_DIR) / "Demo_1a.bas")) GTEST_SKIP() << "no database";
  auto report = [this] {
    std::string text;
    std::FILE* f = std::fopen(session_->ReportPath().c_str(), "rb");
    if (f) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  };
  const DenseState dense = Solve("rdx-uv", 2, kParamV, 1e-3 / 1.8, kParamU, 0);
  ASSERT_TRUE(dense.ok);
  const double reduced = VirialReducedDensity(session_->ws);
  EXPECT_GT(reduced, kVirialDensityLimit);
  const std::string text = report();
  const auto at = text.find("      Virial EOS was used in calculations.\r\n      The density (b0*rho = ");
  ASSERT_NE(at, std::string::npos) << text.substr(0, 2000);
  EXPECT_NE(text.find(") is above the range of the virial coefficients (b0*rho <= 0.5).\r\n", at),
            std::string::npos);

  const DenseState light = Solve("rdx-uv", 2, kParamV, 1e-3 / 0.05, kParamU, 0);
  ASSERT_TRUE(light.ok);
  EXPECT_GT(VirialReducedDensity(session_->ws), 0);
  EXPECT_LT(VirialReducedDensity(session_->ws), kVirialDensityLimit);
  // The report of the light state follows the dense one's in the same file.
  EXPECT_EQ(report().find("above the range of the virial coefficients", text.size()),
            std::string::npos);
}

}  // namespace
}  // namespace kvil
