// Equilibrium solver on small synthetic systems whose answer is known: species with
// constant heat capacity (so the equilibrium constants follow from the functions the
// solver itself evaluates), checked against the analytic solution and against the
// equilibrium conditions themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "core/session.h"
#include "core/solver.h"

namespace kvil {
namespace {

constexpr double R = kGasConstantCal;

struct Fixture {
  RecordingInteraction ui{Answer::No};
  NullTaskView view;
  std::unique_ptr<Session> session = std::make_unique<Session>(ui, view);
  CalcWorkspace& ws = session->ws;
  Task& task = session->task;
  int elements = 0;

  // Element amounts b_j, mol/kg.
  void Elements(std::initializer_list<double> amounts) {
    elements = 0;
    for (double b : amounts) {
      ++elements;
      task.elements[elements].index = elements;
      task.elements[elements].amount = static_cast<float>(b);
    }
    task.elementCount = elements;
  }

  // A species with constant Cp (cal/(mol K)), H(298.15) = hf (cal/mol) and
  // S(298.15) = s0 (cal/(mol K)), valid 100..20000 K.  atoms: per system element;
  // ionCode goes to the ion row (the row after the elements).
  int Add(const std::string& name, int phase, std::initializer_list<int> atoms, double cp,
          double hf, double s0, int ionCode = 0) {
    const int k = ++ws.run.count;
    ws.run.composition(1, k) = phase;
    int j = 0;
    for (int a : atoms) ws.run.composition(1 + (++j), k) = a;
    ws.run.composition(elements + 2, k) = ionCode;
    ws.run.names[k] = name;
    PolyInterval& iv = ws.run.primary[k];
    iv.tmin = 100;
    iv.tmax = 20000;
    const double x0 = 298.15 / 10000.0;
    iv.phi = {static_cast<float>(s0 - cp * (std::log(x0) + 1.0)),
              static_cast<float>(cp),
              0,
              static_cast<float>((cp * 298.15 - hf) / 1e4),
              0,
              0,
              0};
    return k;
  }

  int Solve(int c1, double v1, int c2, double v2, int L = 1) {
    int code = L * 10000 + 2000 + c1 * 100 + c2 * 10 + (task.options[kOptIons] ? 1 : 0);
    return SolveEquilibrium(*session, static_cast<float>(v1), static_cast<float>(v2), code,
                            ws.run.count, elements);
  }

  double Value(int c) const {
    const ResultsBlock& r = ws.results;
    switch (c) {
      case 1:
        return r.p;
      case 2:
        return r.T;
      case 3:
        return r.V;
      case 4:
        return r.S;
      case 5:
        return r.H;
      default:
        return r.U;
    }
  }

  // Chemical-potential residual of species k at the converged state (cal/(mol K)):
  // S - H/T + sum_j a_kj pi_j, minus R (lambda + ln n) for a gas.
  double Residual(int k) const {
    const int E = elements + (task.options[kOptIons] ? 1 : 0);
    const double T = ws.X[2];
    double r = ws.species.S[k] - ws.species.H[k] / T;
    for (int j = 1; j <= E; ++j) {
      int a = ws.run.Atoms(j, k);
      if (task.options[kOptIons] && j == E && ws.run.Phase(k) == 2)
        a = a % 10 == 3 ? a / 10 : (a % 10 == 4 ? -(a / 10) : 0);
      r += a * ws.X[6 + j];
    }
    if (ws.run.Phase(k) == 2) r -= R * (ws.X[3] + std::log(ws.species.n[k]));
    return r;
  }
};

// A2 <-> 2A: dissociation energy 100 kcal/mol.
struct Dissociation : Fixture {
  int a2 = 0, a = 0;
  Dissociation() {
    Elements({100.0});
    a2 = Add("A2", 2, {2}, 9.0, 0.0, 50.0);
    a = Add("A", 2, {1}, 5.0, 50000.0, 40.0);
  }
  // Kp = pA^2 / pA2 (atm) at T from the functions the solver evaluated there.
  double Kp() const {
    const auto& s = ws.species;
    const double T = ws.results.T;
    const double dG = 2 * (s.H[a] - T * s.S[a]) - (s.H[a2] - T * s.S[a2]);
    return std::exp(-dG / (R * T));
  }
};

TEST(SolverDissociation, MatchesTheAnalyticEquilibriumAtGivenPressureAndTemperature) {
  Dissociation f;
  ASSERT_EQ(f.Solve(1, 0.1, 2, 3000.0), kSolveOk);
  const auto& n = f.ws.species.n;
  const double pAtm = f.ws.results.p * kMPaToAtm;
  // x^2 p / (1 - x) = Kp for the mole fraction x of A.
  const double K = f.Kp();
  const double x = (-K + std::sqrt(K * K + 4 * pAtm * K)) / (2 * pAtm);
  EXPECT_NEAR(n[f.a] / (n[f.a] + n[f.a2]), x, 1e-6);
  EXPECT_GT(x, 0.05);
  EXPECT_LT(x, 0.95);
  EXPECT_NEAR(n[f.a] + 2 * n[f.a2], 100.0, 1e-6);
  EXPECT_NEAR(f.ws.results.T, 3000.0, 1e-9);
  EXPECT_NEAR(f.ws.results.p, 0.1, 1e-7);
  // Ideal gas: p V = n R T.
  EXPECT_NEAR(f.ws.results.p * 1e6 * f.ws.results.V, (n[f.a] + n[f.a2]) * kGasConstantJ * 3000.0,
              1e-3 * f.ws.results.p * 1e6 * f.ws.results.V);
  EXPECT_NEAR(f.ws.results.nTotal, n[f.a] + n[f.a2], 1e-9);
  EXPECT_LT(MaterialBalanceError(*f.session), 1e-6);
  for (int k : {f.a, f.a2}) EXPECT_NEAR(f.Residual(k), 0.0, 1e-5) << k;
  // H of the mixture is the sum of the species enthalpies.
  const double H = (n[f.a] * f.ws.species.H[f.a] + n[f.a2] * f.ws.species.H[f.a2]) * kCalToKJ;
  EXPECT_NEAR(f.ws.results.H, H, 1e-4 * std::fabs(H));
  // Progress labels of the solve.
  EXPECT_EQ(f.ui.labels.parameter1, "P =     0.10000 MPa");
  EXPECT_EQ(f.ui.labels.parameter2, "T =  3000.00000 K");
  EXPECT_EQ(f.ui.progressPosition, 100);
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SolverDissociation, EveryPairOfParametersReachesTheSameState) {
  Dissociation f;
  for (double T : {1500.0, 3200.0, 5500.0}) {
    for (double p : {0.02, 1.0, 50.0}) {
      ASSERT_EQ(f.Solve(1, p, 2, T), kSolveOk);
      double ref[7];
      for (int c = 1; c <= 6; ++c) ref[c] = f.Value(c);
      const double nA = f.ws.species.n[f.a];
      for (int c1 = 1; c1 <= 6; ++c1) {
        for (int c2 = c1 + 1; c2 <= 6; ++c2) {
          for (int L : {1, 2}) {
            SCOPED_TRACE(testing::Message()
                         << "T=" << T << " p=" << p << " pair " << c1 << c2 << " L=" << L);
            ASSERT_EQ(f.Solve(c1, ref[c1], c2, ref[c2], L), kSolveOk);
            EXPECT_NEAR(f.ws.results.T, T, 2e-4 * T);
            EXPECT_NEAR(f.ws.results.H, ref[5], 1e-3 * std::fabs(ref[5]) + 0.5);
            EXPECT_NEAR(f.ws.results.p * f.ws.results.V, p * ref[3], 2e-3 * p * ref[3]);
            // H and U fix p V = n R T but hardly p and V apart when the gas barely
            // dissociates: the split rests on the small density dependence of n.
            const double tol = (c1 == 5 && c2 == 6) ? 2e-2 : 2e-3;
            EXPECT_NEAR(f.ws.results.p, p, tol * p);
            EXPECT_NEAR(f.ws.results.S, ref[4], tol * 0.05 * std::fabs(ref[4]));
            EXPECT_NEAR(f.ws.species.n[f.a], nA, tol * nA + 1e-9);
            // Reverse order of the same pair.
            ASSERT_EQ(f.Solve(c2, ref[c2], c1, ref[c1], L), kSolveOk);
            EXPECT_NEAR(f.ws.results.T, T, 2e-4 * T);
          }
        }
      }
    }
  }
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SolverDissociation, WarmStartNeedsFewIterations) {
  Dissociation f;
  // A continuation without any previous solve starts afresh.
  ASSERT_EQ(f.Solve(1, 1.0, 2, 2900.0, 2), kSolveOk);
  ASSERT_EQ(f.Solve(1, 1.0, 2, 3000.0), kSolveOk);
  const int fresh = f.ws.state.solverIterations;
  ASSERT_EQ(f.Solve(1, 1.0, 2, 3050.0, 2), kSolveOk);
  EXPECT_LT(f.ws.state.solverIterations, fresh);
}

// A vapour over its condensed phase, with an inert gas: the condensed phase appears
// below the boiling point and its vapour pressure follows from the functions.
struct Vapour : Fixture {
  int b = 0, bc = 0, inert = 0;
  Vapour() {
    Elements({10.0, 20.0});
    inert = Add("N", 2, {0, 1}, 7.0, 0.0, 45.0);
    b = Add("B", 2, {1, 0}, 6.0, 60000.0, 40.0);
    bc = Add("B(c)", 1, {1, 0}, 8.0, 0.0, 10.0);
  }
};

TEST(SolverCondensed, CondensedPhaseAppearsWithItsVapourPressureAndDisappearsWhenHot) {
  Vapour f;
  // Cold: most of B is condensed; p_B = exp(-dG_vap / RT).
  ASSERT_EQ(f.Solve(1, 1.0, 2, 1500.0), kSolveOk);
  const auto& s = f.ws.species;
  EXPECT_GT(s.n[f.bc], 1.0);
  const double T = f.ws.results.T;
  const double dG = (s.H[f.b] - T * s.S[f.b]) - (s.H[f.bc] - T * s.S[f.bc]);
  const double pB = s.n[f.b] / (s.n[f.b] + s.n[f.inert]) * f.ws.results.p * kMPaToAtm;
  EXPECT_NEAR(std::log(pB), -dG / (R * T), 1e-5);
  EXPECT_NEAR(s.n[f.b] + s.n[f.bc], 10.0, 1e-6);
  EXPECT_NEAR(s.n[f.inert], 20.0, 1e-6);
  for (int k : {f.b, f.inert, f.bc}) EXPECT_NEAR(f.Residual(k), 0.0, 1e-5) << k;
  // The same state by (V, U) and by (p, H): the condensed phase moves the energy.
  const double V = f.ws.results.V, U = f.ws.results.U, H = f.ws.results.H;
  const double nc = s.n[f.bc];
  ASSERT_EQ(f.Solve(3, V, 6, U), kSolveOk);
  EXPECT_NEAR(f.ws.results.T, 1500.0, 0.3);
  EXPECT_NEAR(s.n[f.bc], nc, 1e-3 * nc);
  ASSERT_EQ(f.Solve(1, 1.0, 5, H), kSolveOk);
  EXPECT_NEAR(f.ws.results.T, 1500.0, 0.3);

  // Hot: all of B is vapour; the condensed phase is absent and not favoured
  // (its potential would exceed that of the vapour at the gas-phase pressure).
  ASSERT_EQ(f.Solve(1, 0.1, 2, 6000.0), kSolveOk);
  EXPECT_LT(s.n[f.bc], 1e-6);
  EXPECT_NEAR(s.n[f.b], 10.0, 1e-4);
  EXPECT_LT(f.Residual(f.bc), 1e-3);
  EXPECT_LT(MaterialBalanceError(*f.session), 1e-4);
}

// A melting condensed phase: two intervals of B(c) meet at 1000 K with a latent heat
// of 3000 cal/mol; an enthalpy between those of solid and liquid puts T on the melting
// point, within the 1 K blending band, and the report notes the transition.
TEST(SolverCondensed, EnthalpyInsideTheLatentHeatStopsAtTheMeltingPoint) {
  Vapour f;
  const int k = f.bc;
  const double hs = 8.0 * (1000.0 - 298.15), ss = 10.0 + 8.0 * std::log(1000.0 / 298.15);
  f.ws.run.primary[k].tmax = 1000;
  PolyInterval& liquid = f.ws.run.reserve[1];
  liquid.tmin = 1000;
  liquid.tmax = 20000;
  const double hl = hs + 3000.0, sl = ss + 3.0;
  liquid.phi = {static_cast<float>(sl - 9.0 * (std::log(0.1) + 1.0)),
                9.0f,
                0,
                static_cast<float>((9.0 * 1000.0 - hl) / 1e4),
                0,
                0,
                0};
  f.ws.run.reserveOwner[1] = k;
  f.ws.run.reserveCount = 1;

  ASSERT_EQ(f.Solve(1, 0.1, 2, 990.0), kSolveOk);
  const double hSolid = f.ws.results.H;
  ASSERT_EQ(f.Solve(1, 0.1, 2, 1010.0), kSolveOk);
  const double hLiquid = f.ws.results.H;
  EXPECT_GT(hLiquid - hSolid, 10.0 * 3000.0 * kCalToKJ * 0.9);

  const std::string path =
      (std::filesystem::temp_directory_path() / "kvil_solver_melt_test.txt").string();
  std::filesystem::remove(path);
  ASSERT_TRUE(f.session->report.Open(path));
  ASSERT_EQ(f.Solve(1, 0.1, 5, 0.5 * (hSolid + hLiquid)), kSolveOk);
  f.session->report.Close();
  EXPECT_NEAR(f.ws.results.T, 1000.0, 1.0);
  EXPECT_NEAR(f.ws.results.H, 0.5 * (hSolid + hLiquid), 1e-3);
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, " At T =  1000 K phase transtion occurs for B(c)\r\n\r\n");
  std::filesystem::remove(path);
}

TEST(SolverIons, ChargeBalanceHoldsAndSahaEquilibriumIsMet) {
  Fixture f;
  f.task.options[kOptIons] = 1;
  f.Elements({10.0});
  const int a = f.Add("A", 2, {1}, 5.0, 0.0, 40.0);
  const int ap = f.Add("A+", 2, {1}, 5.0, 100000.0, 40.0, 13);
  const int e = f.Add("e-", 2, {0}, 4.97, 0.0, 5.0, 14);
  ASSERT_EQ(f.Solve(1, 0.01, 2, 6000.0), kSolveOk);
  const auto& s = f.ws.species;
  EXPECT_GT(s.n[ap], 1e-8);
  EXPECT_NEAR(s.n[ap], s.n[e], 1e-6 * s.n[ap]);
  EXPECT_NEAR(s.n[a] + s.n[ap], 10.0, 1e-6);
  const double T = f.ws.results.T;
  const double dG = (s.H[ap] - T * s.S[ap]) + (s.H[e] - T * s.S[e]) - (s.H[a] - T * s.S[a]);
  const double nGas = s.n[a] + s.n[ap] + s.n[e];
  const double pAtm = f.ws.results.p * kMPaToAtm;
  const double K = (s.n[ap] / nGas) * (s.n[e] / nGas) / (s.n[a] / nGas) * pAtm;
  EXPECT_NEAR(std::log(K), -dG / (R * T), 1e-4);
  for (int k : {a, ap, e}) EXPECT_NEAR(f.Residual(k), 0.0, 1e-5) << k;
  // Without the ions option the ion row is not read: the ions have no balance and
  // would be unbounded, so they are simply absent from such a run.
}

TEST(SolverFixed, FixedAmountIsKeptAndTheRestIsInEquilibrium) {
  Dissociation f;
  f.task.fixedCount = 1;
  f.task.options[kOptFixedCount] = 1;
  f.task.fixed[1] = {"A2", 20.0f};
  ASSERT_EQ(f.Solve(1, 1.0, 2, 3000.0), kSolveOk);
  EXPECT_NEAR(f.ws.species.n[f.a2], 20.0, 1e-5);
  EXPECT_NEAR(f.ws.species.n[f.a], 60.0, 1e-4);
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SolverLimits, RefusesFortyFourUnknowns) {
  Fixture f;
  f.Elements({10.0});
  f.Add("A", 2, {1}, 5.0, 0.0, 40.0);
  for (int i = 1; i <= 37; ++i) f.Add("A(c" + std::to_string(i) + ")", 1, {1}, 5, 1000.0 * i, 5);
  EXPECT_EQ(f.Solve(1, 1.0, 2, 1000.0), kSolveTooManyUnknowns);
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.messages[0].text, "Number of unknowns is too big: 44");
  EXPECT_EQ(f.ui.messages[0].kind, MessageKind::Information);

  // 36 condensed species: N = 43 is solved.
  Fixture g;
  g.Elements({10.0});
  g.Add("A", 2, {1}, 5.0, 0.0, 40.0);
  for (int i = 1; i <= 36; ++i) g.Add("A(c" + std::to_string(i) + ")", 1, {1}, 5, 1000.0 * i, 5);
  EXPECT_EQ(g.Solve(1, 1.0, 2, 1000.0), kSolveOk);
}

TEST(SolverLimits, NonPositiveVolumeOrEqualCodesAreRefused) {
  Dissociation f;
  EXPECT_EQ(f.Solve(1, 1.0, 1, 2.0), kSolveNoSolution);
  EXPECT_EQ(f.Solve(3, 0.0, 2, 2000.0), kSolveNoSolution);
  EXPECT_EQ(f.ui.messages.size(), 2u);
}

// T and V assigned with a pressure far above the start: the pressure moves by at
// most 20 % per iteration and needs more than 100 iterations, while everything else
// has converged.
struct SlowHeating : Fixture {
  SlowHeating() {
    Elements({10.0});
    Add("A", 2, {1}, 5.0, 0.0, 40.0);
  }
  int Run() {
    // V for p = 1e8 MPa at 3000 K: V = n R T / p.
    const double V = 10.0 * kGasConstantJ * 3000.0 / 1e14;
    return Solve(2, 3000.0, 3, V);
  }
};

TEST(SolverIterationLimit, AskedAndAcceptedGoesOnWithReportNote) {
  SlowHeating f;
  const std::string path =
      (std::filesystem::temp_directory_path() / "kvil_solver_limit_test.txt").string();
  std::filesystem::remove(path);
  ASSERT_TRUE(f.session->report.Open(path));
  f.ui.Script({Answer::Yes});
  EXPECT_EQ(f.Run(), kSolveOk);
  f.session->report.Close();
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.messages[0].kind, MessageKind::Confirmation);
  EXPECT_EQ(f.ui.messages[0].text.rfind("Maximum relative error is ", 0), 0u);
  EXPECT_NE(f.ui.messages[0].text.find(".\nAccept the current results ?"), std::string::npos);
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string hashes(76, '#');
  EXPECT_EQ(
      text.rfind(hashes + "\r\n     After 100 iterations demanded accuracy is not reached.\r\n"
                          "     Results are accepted by user.\r\n     Maximum realtive error is ",
                 0),
      0u);
  EXPECT_NE(text.find("     (H/T-S) - sum(L[j]*B[j]) = "), std::string::npos);
  EXPECT_EQ(f.ws.state.solverIterations, 100);
  std::filesystem::remove(path);
}

TEST(SolverIterationLimit, RefusedEndsWithStatusSix) {
  SlowHeating f;
  f.ui.Script({Answer::No});
  EXPECT_EQ(f.Run(), kSolveNotConverged);
  ASSERT_EQ(f.ui.messages.size(), 2u);
  EXPECT_EQ(f.ui.messages[1].kind, MessageKind::Information);
  EXPECT_EQ(f.ui.messages[1].text,
            "After 100 iterations accuracy demanded isn't reached.Try to change assigned "
            "parameters.");
}

TEST(SolverFrozen, FrozenMixtureKeepsAmountsAndExchangesAFavouredCondensate) {
  Vapour f;
  ASSERT_EQ(f.Solve(1, 1.0, 2, 6000.0), kSolveOk);  // all B in the gas
  const double nB = f.ws.species.n[f.b];
  f.ws.state.frozenComposition = true;
  // At 1500 K the frozen vapour would rather be condensed: amounts are exchanged.
  f.ws.results.T = 1500.0;
  ASSERT_EQ(f.Solve(2, 1500.0, 1, 0.5, 2), kSolveOk);
  EXPECT_NEAR(f.ws.species.n[f.bc], nB, 1e-9);
  EXPECT_LT(f.ws.species.n[f.b], 1e-6);
  const double nGas = f.ws.species.n[f.b] + f.ws.species.n[f.inert];
  EXPECT_NEAR(f.ws.results.V, 1500.0 * kGasConstantJ * nGas * 1e-6 / 0.5, 1e-9);
  EXPECT_NEAR(f.ws.results.U, f.ws.results.H - 0.5e3 * f.ws.results.V, 1e-9);
  // The frozen mixture at a fixed entropy: amounts unchanged, T from the S row.
  const double S = f.ws.results.S;
  const double nInert = f.ws.species.n[f.inert];
  ASSERT_EQ(f.Solve(1, 0.5, 4, S, 2), kSolveOk);
  EXPECT_EQ(f.ws.species.n[f.inert], nInert);
  EXPECT_NEAR(f.ws.results.T, 1500.0, 1.0);
}

}  // namespace
}  // namespace kvil
