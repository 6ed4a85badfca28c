// Throat and area-ratio iterations checked against an analytic gas.
//
// The gas is ideal with a heat capacity that grows linearly with temperature, so the
// sound velocity squared is not a linear function of the enthalpy and the throat
// secant has to iterate.  The reference throat and exit states are found here by
// bisection on the exact relations (sonic flow; area per unit mass flow rate), which
// shares nothing with the iterations under test.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/interaction.h"
#include "common/numfmt.h"
#include "core/rocket.h"
#include "core/session.h"
#include "results/table_file.h"
#include "task/task_view.h"

namespace kvil {
namespace {

struct Gas {
  double molarMass = 20.0;                         // g/mol
  double cp0 = 2.0;                                // kJ/(kg K)
  double b = 1.5e-4;                               // kJ/(kg K^2)
  double H0 = -3000.0;                             // kJ/kg
  double n() const { return 1000.0 / molarMass; }  // mol/kg
  double R() const { return 0.00831441 * n(); }    // kJ/(kg K)
  double Cp(double T) const { return cp0 + b * T; }
  double H(double T) const { return H0 + cp0 * T + 0.5 * b * T * T; }
  double S(double T, double p) const { return cp0 * std::log(T) + b * T - R() * std::log(p); }
  double V(double T, double p) const { return R() * T / p * 1e-3; }  // m3/kg
  double Gamma(double T) const { return Cp(T) / (Cp(T) - R()); }
  double A(double T) const { return std::sqrt(Gamma(T) * R() * 1000.0 * T); }
  double TFromH(double H) const {
    if (b == 0) return (H - H0) / cp0;
    return (-cp0 + std::sqrt(cp0 * cp0 + 2.0 * b * (H - H0))) / b;
  }
  double PFromST(double S, double T) const {
    return std::exp((cp0 * std::log(T) + b * T - S) / R());
  }
  double TFromSP(double S, double p) const {
    double T = 2000;
    for (int i = 0; i < 60; ++i) {
      const double f = cp0 * std::log(T) + b * T - R() * std::log(p) - S;
      T -= f / (cp0 / T + b);
    }
    return T;
  }
};

double Bisect(const std::function<double(double)>& f, double lo, double hi) {
  double flo = f(lo);
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    const double fm = f(mid);
    if ((fm < 0) == (flo < 0)) {
      lo = mid;
      flo = fm;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

// The gas as the rocket calculations see it: species 1 is the gas (its amount never
// changes), species 2 a condensed trace whose amount follows T unless the composition
// is frozen, so that a frozen composition is visible in the workspace.
class GasModel : public RocketStateModel {
 public:
  explicit GasModel(const Gas& gas) : gas_(gas) {}

  struct Call {
    int c1, c2;
    float v1, v2;
    int eos;
    bool frozen;
  };

  int Solve(Session& s, float value1, float value2, int& code) override {
    const int c1 = code / 100 % 10, c2 = code / 10 % 10;
    calls.push_back(
        {c1, c2, value1, value2, s.task.options[kOptEos], s.ws.state.frozenComposition});
    if (failOn && failOn(c1, c2)) {
      code = 1;
      return 1;
    }
    double v[7] = {0, NAN, NAN, NAN, NAN, NAN, NAN};
    v[c1] = value1;
    v[c2] = value2;
    double T = v[2], p = v[1];
    if (std::isnan(T)) {
      if (!std::isnan(v[5]))
        T = gas_.TFromH(v[5]);
      else
        T = gas_.TFromSP(v[4], p);
    }
    if (std::isnan(p)) {
      if (!std::isnan(v[4]))
        p = gas_.PFromST(v[4], T);
      else if (!std::isnan(v[3]))
        p = gas_.R() * T * 1e-3 / v[3];
      else
        p = s.ws.results.p;  // frozen state: set by the caller
    }
    auto& r = s.ws.results;
    r = ResultsBlock{};
    r.p = p;
    r.T = T;
    r.V = gas_.V(T, p);
    r.S = gas_.S(T, p);
    r.H = gas_.H(T);
    r.U = r.H - p * r.V * 1000.0;
    r.Cp = gas_.Cp(T);
    r.nTotal = gas_.n();
    if (!s.ws.state.frozenComposition) s.ws.species.n[2] = T * 1e-4;
    code = 0;
    return 0;
  }
  void SoundVelocity(Session& s) override {
    ++soundCalls;
    s.ws.results.soundSpeed = gas_.A(s.ws.results.T);
    s.ws.results.kEquilibrium = gas_.Gamma(s.ws.results.T);
  }

  std::vector<Call> calls;
  int soundCalls = 0;
  std::function<bool(int, int)> failOn;

 private:
  Gas gas_;
};

class RocketModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session = std::make_unique<Session>(ui, view);
    model = std::make_unique<GasModel>(gas);
    SetRocketStateModel(model.get());
    dir = std::filesystem::temp_directory_path() /
          ("kvil_rocket_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    session->datafilePath = (dir / "task.dat").string();
    ASSERT_TRUE(session->report.Open((dir / "task.txt").string()));

    auto& ws = session->ws;
    ws.run.count = 2;
    ws.run.composition(1, 1) = 2;
    ws.run.composition(1, 2) = 1;
    ws.species.n[1] = gas.n();
    session->task.elementCount = 1;
    session->task.elements[1] = {1, static_cast<float>(2 * gas.n())};  // H, as in H2
    session->task.options[kOptEos] = 3;
    session->task.options[kOptThroat] = 1;
    // Chamber point, as the run leaves it.
    ws.results.p = pch;
    ws.results.T = Tch;
    ws.results.V = gas.V(Tch, pch);
    ws.results.H = gas.H(Tch);
    ws.results.S = gas.S(Tch, pch);
    ws.results.soundSpeed = gas.A(Tch);
    ws.results.kEquilibrium = gas.Gamma(Tch);
    ws.state.gasPresent = true;
    ws.state.chamberP = static_cast<float>(pch);
    ws.state.chamberH = static_cast<float>(gas.H(Tch));
    Sch = gas.S(Tch, pch);
    ws.state.chamberS = Sch;
  }
  void TearDown() override {
    SetRocketStateModel(nullptr);
    session->report.Close();
    std::filesystem::remove_all(dir);
  }

  std::string Report() {
    session->report.Flush();
    std::ifstream in(dir / "task.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Messages() const {
    std::string all;
    for (const auto& t : ui.Texts()) all += "[" + t + "] ";
    return all;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
  }

  // Exact throat temperature: w^2 = a^2 with w^2 = 2000 (H_ch - H).
  double ThroatT() const {
    const double Hch = static_cast<float>(gas.H(Tch));
    return Bisect([&](double T) { return 2000.0 * (Hch - gas.H(T)) - gas.A(T) * gas.A(T); },
                  0.5 * Tch, Tch);
  }
  double AreaPerFlow(double T) const {
    const double Hch = static_cast<float>(gas.H(Tch));
    const double S = static_cast<float>(Sch);
    return gas.V(T, gas.PFromST(S, T)) / std::sqrt(2000.0 * (Hch - gas.H(T)));
  }
  // Exact exit pressure of a supersonic area ratio.
  double ExitP(double eps) const {
    const double Tt = ThroatT();
    const double target = eps * AreaPerFlow(Tt);
    const double T = Bisect([&](double T) { return AreaPerFlow(T) - target; }, 100.0, Tt);
    return gas.PFromST(static_cast<float>(Sch), T);
  }

  Gas gas;
  double pch = 7.0, Tch = 3500.0, Sch = 0;
  RecordingInteraction ui{Answer::Yes};
  NullTaskView view;
  std::unique_ptr<Session> session;
  std::unique_ptr<GasModel> model;
  std::filesystem::path dir;
  int code = 0;
};

TEST_F(RocketModelTest, ThroatIsTheSonicStateOfTheIsentrope) {
  for (double b : {0.0, 1.5e-4, 4e-4}) {
    gas.b = b;
    SetUp();
    ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0) << "b=" << b;
    EXPECT_EQ(code, 0);
    const double Tt = ThroatT();
    const double pt = gas.PFromST(static_cast<float>(Sch), Tt);
    const auto& st = session->ws.state;
    EXPECT_NEAR(st.throatP / pt, 1.0, 1e-3) << "b=" << b;
    EXPECT_NEAR(session->ws.results.T / Tt, 1.0, 5e-4) << "b=" << b;
    EXPECT_NEAR(st.throatAreaPerFlow / AreaPerFlow(Tt), 1.0, 1e-5) << "b=" << b;
    EXPECT_NEAR(st.throatK, gas.Gamma(session->ws.results.T), 1e-6);
    EXPECT_DOUBLE_EQ(session->ws.results.gasVolume, session->ws.results.V);
    // Ideal gas for the throat solves, the task's choice afterwards; flags cleared.
    for (const auto& c : model->calls) {
      EXPECT_EQ(c.eos, 1);
      EXPECT_EQ(c.c1, 4);
      EXPECT_EQ(c.c2, 5);
      EXPECT_FLOAT_EQ(c.v1, static_cast<float>(Sch));
    }
    EXPECT_EQ(session->task.options[kOptEos], 3);
    EXPECT_FALSE(st.expansionFlag);
    EXPECT_FALSE(st.throatFlag);
    EXPECT_EQ(st.rowKind, 0);
    EXPECT_TRUE(ui.messages.empty()) << Messages();
    const std::string report = Report();
    EXPECT_NE(report.find("\r\n" + std::string(25, ' ') + "Throat conditions\r\n\r\n"),
              std::string::npos);
    TearDown();
  }
}

TEST_F(RocketModelTest, ThroatRefusedWithoutGasOrSoundVelocity) {
  session->ws.results.soundSpeed = 0.5;
  EXPECT_EQ(ComputeThroat(*session, 2, code, Sch), 1);
  session->ws.results.soundSpeed = gas.A(Tch);
  session->ws.state.gasPresent = false;
  EXPECT_EQ(ComputeThroat(*session, 2, code, Sch), 1);
  ASSERT_EQ(ui.messages.size(), 2u);
  for (const auto& m : ui.messages) {
    EXPECT_EQ(m.text, "Throat parameters cannot be calculated");
    EXPECT_EQ(m.kind, MessageKind::Error);
  }
  EXPECT_TRUE(model->calls.empty());
  EXPECT_EQ(session->ws.state.throatAreaPerFlow, 0.0f);
}

TEST_F(RocketModelTest, AreaRatiosReachTheExactExitPressure) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  for (double eps : {1.0001, 1.2, 1.5, 2.0, 4.0, 10.0, 50.0, 200.0}) {
    model->calls.clear();
    ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, eps, Sch), 0) << eps;
    EXPECT_EQ(code, 0);
    const double pe = ExitP(eps);
    EXPECT_NEAR(session->ws.results.p / pe, 1.0, 2e-4) << eps;
    const auto& r = session->ws.results;
    const double w = std::sqrt(2000.0 * (session->ws.state.chamberH - r.H));
    EXPECT_NEAR(r.V / (w * session->ws.state.throatAreaPerFlow), eps, 2e-4 * eps) << eps;
    EXPECT_LE(model->calls.size(), 10u) << eps;
    for (const auto& c : model->calls) {
      EXPECT_EQ(c.c1, 4);
      EXPECT_EQ(c.c2, 1);
      EXPECT_EQ(c.eos, 1);
    }
  }
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  EXPECT_EQ(session->task.options[kOptEos], 3);
  EXPECT_TRUE(session->ws.state.expansionFlag);
  // One throat block for the chamber point when the throat option is on.
  EXPECT_EQ(Count(Report(), "Throat conditions"), 1);
}

TEST_F(RocketModelTest, StartEstimateDependsOnTheRatio) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  const double pt = session->ws.state.throatP, kt = session->ws.state.throatK;
  struct Case {
    double eps, L;
  } cases[] = {
      {1.5,
       std::log(pch / pt) + std::sqrt(1.535 * std::log(1.5) + 3.924 * std::pow(std::log(1.5), 2))},
      {2.0, 1.4 * std::log(2.0) + kt},
      {1.9999, std::log(pch / pt) +
                   std::sqrt(1.535 * std::log(1.9999) + 3.924 * std::pow(std::log(1.9999), 2))},
  };
  for (const auto& c : cases) {
    model->calls.clear();
    ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, c.eps, Sch), 0);
    EXPECT_FLOAT_EQ(model->calls.at(0).v2, static_cast<float>(pch / std::exp(c.L))) << c.eps;
  }
}

TEST_F(RocketModelTest, FailedSolvesEndSilentlyWithTheSolverStatus) {
  // Throat: every solve fails; the frozen flag and the EOS kind come back.
  model->failOn = [](int, int) { return true; };
  session->ws.state.frozenComposition = true;
  EXPECT_EQ(ComputeThroat(*session, 2, code, Sch), 1);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(model->calls.at(0).frozen);
  EXPECT_TRUE(session->ws.state.frozenComposition);
  EXPECT_EQ(session->task.options[kOptEos], 3);
  EXPECT_EQ(session->ws.state.throatAreaPerFlow, 0.0f);
  // Expansion: the throat solves, the exit solves fail.
  session->ws.state.frozenComposition = false;
  model->failOn = nullptr;
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  model->failOn = [](int c1, int c2) { return c1 == 4 && c2 == 1; };
  EXPECT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, 5.0, Sch), 1);
  EXPECT_EQ(session->task.options[kOptEos], 3);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
}

TEST_F(RocketModelTest, ExpansionRefusedForARatioBelowTheLimitOrWithoutGas) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  model->calls.clear();
  EXPECT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, 1.0, Sch), 1);
  session->ws.state.gasPresent = false;
  EXPECT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, 5.0, Sch), 1);
  EXPECT_TRUE(model->calls.empty());
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(ui.messages[0].text,
            "F(a)/F(throat) < 1.0001\nExpansion parameters cannot be calculated");
  EXPECT_EQ(ui.messages[1].kind, MessageKind::Error);
  EXPECT_EQ(ui.messages[1].text, "Gas phase is absent. Expansion parameters cannot be calculated");
}

TEST_F(RocketModelTest, WithoutTheThroatOptionEveryRatioReportsItsOwnThroat) {
  session->task.options[kOptThroat] = 0;
  for (double eps : {3.0, 8.0}) {
    ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 0.0, eps, Sch), 0);
    EXPECT_NEAR(session->ws.results.p / ExitP(eps), 1.0, 2e-4);
    EXPECT_EQ(session->ws.state.throatAreaPerFlow, 0.0f);
  }
  EXPECT_EQ(Count(Report(), "Throat conditions"), 2);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  // The first throat starts from the chamber state the run left; the second from the
  // chamber solved again (the workspace then holds the first exit state).
  int chamberSolves = 0;
  for (const auto& c : model->calls) {
    if (c.c1 == 1 && c.c2 == 5) {
      ++chamberSolves;
      EXPECT_FLOAT_EQ(c.v1, static_cast<float>(pch));
    }
  }
  EXPECT_EQ(chamberSolves, 1);
  // Table rows: throat (kind 1) and expansion (kind 2) for each ratio, with the flow
  // velocity and the pressure of the point.
  std::vector<ResultsRecord> records;
  ASSERT_EQ(ReadResultsTable(session->TablePath(), records), TableReadStatus::Ok);
  ASSERT_EQ(records.size(), 4u);
  const int kinds[] = {1, 2, 1, 2};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(records[i].kind, kinds[i]);
    EXPECT_GT(records[i].parameters.at(21), 0.0);  // w
    EXPECT_GT(records[i].parameters.at(22), 0.0);  // Pa
  }
  EXPECT_NEAR(records[3].parameters.at(22) / ExitP(8.0), 1.0, 2e-4);
  EXPECT_EQ(session->ws.state.rowKind, 0);
}

TEST_F(RocketModelTest, FrozenExpansionUsesTheFrozenMixture) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  session->ws.state.frozenComposition = true;
  session->ws.species.n[2] = 0.125;  // the freezing-point composition
  model->soundCalls = 0;
  ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 5.0, 10.0, Sch), 0);
  const auto& r = session->ws.results;
  EXPECT_EQ(model->soundCalls, 0);
  EXPECT_NEAR(r.kFrozen, gas.Gamma(r.T), 1e-9);
  EXPECT_NEAR(r.CvFrozen, gas.Cp(r.T) - gas.R(), 1e-9);
  EXPECT_NEAR(r.aFrozen, gas.A(r.T), 1e-6);
  EXPECT_NEAR(r.p / ExitP(10.0), 1.0, 2e-4);
  EXPECT_TRUE(session->ws.state.frozenComposition);
  EXPECT_EQ(session->ws.species.n[2], 0.125);
  EXPECT_FALSE(session->ws.state.frozenFlag);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
}

TEST_F(RocketModelTest, FrozenCompositionSurvivesTheThroatComputedOnTheWay) {
  // No throat option: the throat is computed inside the expansion, from a state that
  // has no sound velocity (the freezing-point solve leaves none).
  session->task.options[kOptThroat] = 0;
  session->ws.state.frozenComposition = true;
  session->ws.species.n[2] = 0.125;
  session->ws.results.soundSpeed = 0;
  ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 5.0, 10.0, Sch), 0);
  EXPECT_EQ(session->ws.species.n[2], 0.125);
  EXPECT_TRUE(session->ws.state.frozenComposition);
  EXPECT_NEAR(session->ws.results.p / ExitP(10.0), 1.0, 2e-4);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  // The second ratio again finds its own throat.
  ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 5.0, 20.0, Sch), 0);
  EXPECT_NEAR(session->ws.results.p / ExitP(20.0), 1.0, 2e-4);
  EXPECT_EQ(session->ws.species.n[2], 0.125);
  EXPECT_EQ(Count(Report(), "Throat conditions"), 2);
}

TEST_F(RocketModelTest, FrozenPressureAboveTheExitAsksAndFollowsTheAnswer) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  auto& st = session->ws.state;
  const double pt = st.throatP;
  const double pStart =
      pch / std::exp(std::log(pch / pt) +
                     std::sqrt(1.535 * std::log(1.5) + 3.924 * std::pow(std::log(1.5), 2)));
  // No: the point ends, nothing solved, the flags as they were.
  st.frozenComposition = true;
  ui.Script({Answer::No});
  model->calls.clear();
  EXPECT_NE(ExpandToAreaRatio(*session, 2, code, 0.001, 1.5, Sch), 0);
  EXPECT_TRUE(model->calls.empty());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(ui.messages[0].text,
            "Frozen pressure (0.001 MPa) is less than\nexpansion pressure (" +
                FormatPicture(pStart, "0.#####") +
                " MPa).\nFrozen calculation has no sense.\nProceed with equilibrium expansion?");
  EXPECT_TRUE(st.frozenComposition);
  EXPECT_EQ(session->task.options[kOptEos], 3);

  // Yes: an equilibrium expansion, and the composition stays unfrozen.
  ui.Clear();
  ui.Script({Answer::Yes});
  ASSERT_EQ(ExpandToAreaRatio(*session, 2, code, 0.001, 1.5, Sch), 0);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_FALSE(st.frozenComposition);
  EXPECT_GT(model->soundCalls, 0);
  EXPECT_NEAR(session->ws.results.p / ExitP(1.5), 1.0, 2e-4);
}

TEST_F(RocketModelTest, ExpansionThatCannotConvergeIsNotedInTheReport) {
  ASSERT_EQ(ComputeThroat(*session, 2, code, Sch), 0);
  // A throat area far from the gas's own makes the ratio unreachable in 10 steps.
  session->ws.state.throatAreaPerFlow *= 1e-6f;
  EXPECT_NE(ExpandToAreaRatio(*session, 2, code, 0.0, 5.0, Sch), 0);
  EXPECT_LE(model->calls.size(), 30u);
  const std::string report = Report();
  EXPECT_NE(report.find("\r\n     F(a)/F(throat) =       5.0000\r\n"
                        "     Expansion parameters cannot be calculated\r\n\r\n"),
            std::string::npos)
      << report;
  EXPECT_EQ(session->task.options[kOptEos], 3);
}

TEST_F(RocketModelTest, FrozenStateAtTheChamberEntropyByPressureOrVolume) {
  session->ws.state.frozenComposition = true;
  session->ws.species.n[2] = 0.125;
  ASSERT_EQ(SolveFrozenAtEntropy(*session, Sch, kParamP, 0.1, code), 0);
  // Values reach the solver in single precision.
  EXPECT_NEAR(session->ws.results.T, gas.TFromSP(Sch, 0.1f), 5e-3);
  EXPECT_NEAR(session->ws.results.S, Sch, 1e-5);
  EXPECT_FLOAT_EQ(session->ws.results.p, 0.1f);
  const double V = 2.5;
  ASSERT_EQ(SolveFrozenAtEntropy(*session, Sch, kParamV, V, code), 0);
  const double T =
      Bisect([&](double t) { return gas.S(t, gas.R() * t * 1e-3 / V) - Sch; }, 100.0, Tch);
  EXPECT_NEAR(session->ws.results.T, T, 5e-3);
  EXPECT_NEAR(session->ws.results.V, V, 1e-12);
  EXPECT_EQ(session->ws.species.n[2], 0.125);
  for (const auto& c : model->calls) {
    EXPECT_EQ(c.c1, 2);
    EXPECT_TRUE(c.frozen);
  }
  EXPECT_LE(model->calls.size(), 20u);
}

TEST_F(RocketModelTest, FreezingStateKeepsPressureAndVolume) {
  session->settings.record.freezingT = 2000.0f;
  session->ws.results.soundSpeed = 1200;
  ASSERT_EQ(SolveFreezingState(*session, 1, code, Sch), 0);
  ASSERT_EQ(model->calls.size(), 1u);
  EXPECT_EQ(model->calls[0].c1, 2);
  EXPECT_EQ(model->calls[0].c2, 4);
  EXPECT_EQ(model->calls[0].v1, 2000.0f);
  const auto& st = session->ws.state;
  EXPECT_NEAR(st.freezeP, gas.PFromST(static_cast<float>(Sch), 2000.0), 1e-9);
  EXPECT_NEAR(st.freezeV, gas.V(2000.0, st.freezeP), 1e-12);
  EXPECT_TRUE(st.frozenComposition);
  EXPECT_EQ(session->ws.results.soundSpeed, 0.0);

  session->ws.state.frozenComposition = false;
  model->failOn = [](int, int) { return true; };
  EXPECT_NE(SolveFreezingState(*session, 2, code, Sch), 0);
  EXPECT_FALSE(session->ws.state.frozenComposition);
  EXPECT_TRUE(ui.Saw("Frozen parameters cannot be calculated !"));
}

TEST_F(RocketModelTest, FrozenStateSolvesAtTheFreezingPointThenAtTheAssignedValues) {
  session->settings.record.freezingT = 2500.0f;
  // V first, T second (heat of combustion: V and T = 298 K).
  ASSERT_EQ(ComputeFrozenState(*session, 3, 2, code, 298.0f, 0.01f), 0);
  ASSERT_EQ(model->calls.size(), 2u);
  EXPECT_EQ(model->calls[0].v2, 2500.0f);
  EXPECT_EQ(model->calls[0].v1, 0.01f);
  EXPECT_FALSE(model->calls[0].frozen);
  EXPECT_EQ(model->calls[1].v2, 298.0f);
  EXPECT_TRUE(model->calls[1].frozen);
  EXPECT_NEAR(session->ws.results.T, 298.0, 1e-9);
  EXPECT_FALSE(session->ws.state.frozenComposition);
  // The condensed trace keeps its freezing-point amount.
  EXPECT_NEAR(session->ws.species.n[2], 0.25, 1e-9);

  // T first, p second: value1 is replaced by the freezing point; V follows from p.
  model->calls.clear();
  ASSERT_EQ(ComputeFrozenState(*session, 2, 1, code, 1.0f, 298.0f), 0);
  EXPECT_EQ(model->calls[0].v1, 2500.0f);
  EXPECT_NEAR(session->ws.results.V, 298.0 * 8.31441 * gas.n() * 1e-6 / 1.0, 1e-12);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
}

TEST_F(RocketModelTest, FrozenStateFailuresAreReportedAndLeaveNothingFrozen) {
  // S is not a parameter of the frozen state.
  EXPECT_NE(ComputeFrozenState(*session, 4, 2, code, 298.0f, 17.0f), 0);
  EXPECT_FALSE(session->ws.state.frozenComposition);
  model->failOn = [](int, int) { return true; };
  EXPECT_NE(ComputeFrozenState(*session, 3, 2, code, 298.0f, 0.01f), 0);
  EXPECT_FALSE(session->ws.state.frozenComposition);
  ASSERT_EQ(ui.messages.size(), 2u);
  for (const auto& m : ui.messages) {
    EXPECT_EQ(m.text, "Frozen parameters cannot be calculated !");
    EXPECT_EQ(m.kind, MessageKind::Information);
  }
}

}  // namespace
}  // namespace kvil
