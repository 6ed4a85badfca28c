// Non-ideal equilibrium states solved end to end: the equilibrium solver alternating
// with the EOS volume and the correction terms until they agree, as a run does.  A
// state solved for one pair of assigned parameters is re-solved for other pairs, and
// the equilibrium Cp and sound velocity of the derivative systems are compared with
// finite differences of solved states.
#include <algorithm>
#include <cmath>

#include "core/solver.h"
#include "eos/eos_fixture.h"
#include "thermo/eos.h"
#include "thermo/sound.h"

namespace kvil::testing_eos {
namespace {

class NonIdealState : public EosFixture {
 protected:
  // A2 = 2 A with constant heat capacities: H(298.15) and S(298.15) as given.
  void Build(int eos) {
    SetEos(eos);
    session.task.elements[1] = {1, 100.0f};
    session.task.elementCount = 1;
    AddSpecies("A2", {2}, 9.0, 0.0, 50.0, 3.6f, 90.0f, 28.0f);
    AddSpecies("A", {1}, 5.0, 50000.0, 40.0, 3.0f, 70.0f, 14.0f);
  }

  void AddSpecies(const char* name, std::vector<int> atoms, double cp, double hf, double s0,
                  float sigma, float eps, float M) {
    const int k = Add({name, 0, 0, cp, sigma, eps, M, atoms});
    PolyInterval& iv = session.ws.run.primary[k];
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
  }

  // Solves the non-ideal point; true when the passes agree.
  bool Solve(int c1, double v1, int c2, double v2) {
    CalcWorkspace& ws = session.ws;
    const int K = ws.run.count;
    ResetNonIdealCorrections(session);
    ws.eos = EosState{};
    int L = 1;
    std::array<double, 6> previous{};
    Array1<double, kMaxRunSpecies> previousN;
    for (int pass = 0; pass < 80; ++pass) {
      int code = L * 10000 + 2000 + c1 * 100 + c2 * 10;
      if (SolveEquilibrium(session, static_cast<float>(v1), static_cast<float>(v2), code, K, 1) !=
          kSolveOk)
        return false;
      const ResultsBlock& r = ws.results;
      double ng = 0;
      for (int k = 1; k <= K; ++k) {
        ws.species.eosFlag[k] = ws.run.Phase(k);
        ng += ws.species.n[k];
      }
      const std::array<double, 6> now = {r.p, r.T, r.V, r.S, r.H, r.U};
      if (pass > 0) {
        double change = 0;
        for (int k = 1; k <= K; ++k)
          change = std::max(change, std::fabs(ws.species.n[k] - previousN[k]) / ng);
        for (int j = 0; j < 6; ++j)
          change = std::max(
              change, std::fabs(now[j] - previous[j]) / std::max(1e-3, std::fabs(previous[j])));
        if (change <= 1e-9) return true;
      }
      for (int k = 1; k <= K; ++k) previousN[k] = ws.species.n[k];
      if (SolveEosVolume(session.task, session.ws, session.report, session.ui, K, c1, c2) != 0)
        return false;
      if (ComputeEosCorrections(session.task, session.ws, K) != 0) return false;
      previous = now;
      L = 2;
    }
    return false;
  }

  ResultsBlock Results() const { return session.ws.results; }
};

TEST_F(NonIdealState, ReSolvingWithOtherParameterPairsGivesTheSameState) {
  for (int eos : {2, 3}) {
    session.ws.run.count = 0;
    Build(eos);
    ASSERT_TRUE(Solve(kParamV, 0.004, kParamU, 1000.0)) << eos;
    const ResultsBlock ref = Results();
    const double nA = session.ws.species.n[2];
    ASSERT_GT(ref.p, 50.0) << eos;  // dense enough for the EOS to matter
    struct Pair {
      int c1;
      double v1;
      int c2;
      double v2;
    };
    for (const Pair& pair :
         {Pair{kParamP, ref.p, kParamU, ref.U}, Pair{kParamP, ref.p, kParamT, ref.T},
          Pair{kParamV, ref.V, kParamT, ref.T}}) {
      ASSERT_TRUE(Solve(pair.c1, pair.v1, pair.c2, pair.v2)) << eos << " " << pair.c1 << pair.c2;
      const ResultsBlock r = Results();
      const std::string label =
          std::to_string(eos) + ": " + std::to_string(pair.c1) + std::to_string(pair.c2);
      // The virial cubic's constant 3.500604 (B/C per B*/S3) stands for 1.2612 in B, the
      // correction terms use B = 1.2615 S3 B*: the volume found from p differs from the
      // one the gas law implies by a few parts in 1e5.
      const double tolerance = eos == 2 ? 5e-5 : 1e-5;
      EXPECT_NEAR(r.p / ref.p, 1.0, tolerance) << label;
      EXPECT_NEAR(r.T / ref.T, 1.0, tolerance) << label;
      EXPECT_NEAR(r.V / ref.V, 1.0, tolerance) << label;
      EXPECT_NEAR(r.U, ref.U, 1e-2) << label;
      EXPECT_NEAR(r.S, ref.S, 1e-4) << label;
      EXPECT_NEAR(session.ws.species.n[2] / nA, 1.0, tolerance) << label;
    }
  }
}

TEST_F(NonIdealState, EquilibriumCpAndSoundVelocityMatchSolvedNeighbours) {
  for (int eos : {2, 3}) {
    session.ws.run.count = 0;
    Build(eos);
    const double T = 3000, p = 200;
    const double dT = 2, dV = 1e-7;
    ASSERT_TRUE(Solve(kParamP, p, kParamT, T + dT));
    const double Hplus = Results().H;
    ASSERT_TRUE(Solve(kParamP, p, kParamT, T - dT));
    const double Hminus = Results().H;
    ASSERT_TRUE(Solve(kParamP, p, kParamT, T));
    const ResultsBlock state = Results();
    ComputeSoundVelocity(session.task, session.ws, 1, 2, false);
    const ResultsBlock r = Results();

    ASSERT_TRUE(Solve(kParamV, state.V + dV, kParamS, state.S));
    const double pPlus = Results().p;
    ASSERT_TRUE(Solve(kParamV, state.V - dV, kParamS, state.S));
    const double pMinus = Results().p;
    const double Cp = (Hplus - Hminus) / (2 * dT);
    const double a = state.V * std::sqrt(-(pPlus - pMinus) * 1e6 / (2 * dV));
    // The non-ideal composition terms of the derivative systems are first-order forms
    // (without reaction both agree to 1e-5 for the virial, 2e-3 for Kelmost); with the
    // dissociation going on they stay within 1 %.
    EXPECT_NEAR(r.CpEquilibrium / Cp, 1.0, 1e-2) << eos;
    EXPECT_NEAR(r.soundSpeed / a, 1.0, 5e-3) << eos;
    EXPECT_GT(r.CpEquilibrium, 1.1 * state.Cp) << eos;  // the reaction is felt
  }
}

}  // namespace
}  // namespace kvil::testing_eos
