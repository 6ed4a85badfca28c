#include "thermo/species_functions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvil {
namespace {

// Reduced Gibbs energy Phi(x) of one interval, straight from its definition.
double Phi(const std::array<float, 7>& p, double x) {
  return p[0] + p[1] * std::log(x) + p[2] / (x * x) + p[3] / x + p[4] * x + p[5] * x * x +
         p[6] * x * x * x;
}

TEST(PolynomialFunctions, ThermodynamicallyConsistentAndInKilojoules) {
  PolynomialRecord r;
  r.tmin = 300;
  r.tmax = 5000;
  r.phi = {250.0f, 40.0f, -0.02f, 8.5f, 12.0f, -3.0f, 0.7f};
  for (double T : {400.0, 1000.0, 2500.0, 4500.0}) {
    const double x = static_cast<float>(T) / 10000.0f;  // single-precision x
    const SpeciesFunctionValues v = PolynomialFunctions(r, T);
    // G = H - T S = -T Phi (H in kJ/mol, S in J/(mol K)).
    EXPECT_NEAR(v.H * 1000.0 - T * v.S, -T * Phi(r.phi, x), 1e-6 * T * std::fabs(v.S)) << T;
    // dH/dT = Cp and dS/dT = Cp/T.
    const double h = 1.0;  // x is single precision: a wide step
    const SpeciesFunctionValues lo = PolynomialFunctions(r, T - h),
                                hi = PolynomialFunctions(r, T + h);
    EXPECT_NEAR((hi.H - lo.H) * 1000.0 / (2 * h), v.Cp, 2e-3 * std::fabs(v.Cp)) << T;
    EXPECT_NEAR((hi.S - lo.S) / (2 * h), v.Cp / T, 2e-3 * std::fabs(v.Cp / T)) << T;
  }
  // phi4 carries the reference enthalpy only: -10 * phi4 kJ/mol.
  PolynomialRecord a = r, b = r;
  b.phi[3] += 1.0f;
  const SpeciesFunctionValues va = PolynomialFunctions(a, 1000), vb = PolynomialFunctions(b, 1000);
  EXPECT_NEAR(vb.H - va.H, -10.0, 1e-5);
  EXPECT_DOUBLE_EQ(vb.S, va.S);
  EXPECT_DOUBLE_EQ(vb.Cp, va.Cp);
}

TEST(SpeciesMolarMass, SumsSlotsWithTableMasses) {
  SpeciesRecord water;
  water.element = {1, 8, 0, 0, 0};
  water.count = {2, 1, 0, 0, 0};
  EXPECT_FLOAT_EQ(SpeciesMolarMass(water), 2 * 1.0079f + 15.9994f);

  SpeciesRecord alcl3;
  alcl3.element = {13, 17, 0, 0, 0};
  alcl3.count = {1, 3, 0, 0, 0};
  EXPECT_FLOAT_EQ(SpeciesMolarMass(alcl3), 26.98154f + 3 * 35.453f);

  SpeciesRecord isotopes;  // codes 96 and 101 stand for tritium and deuterium
  isotopes.element = {96, 101, 0, 104, 0};
  isotopes.count = {1, 2, 5, 1, 0};  // the count of an empty slot is ignored
  EXPECT_FLOAT_EQ(SpeciesMolarMass(isotopes), 3.0f + 4.0f + 0.00054858f);

  SpeciesRecord unknown;
  unknown.element = {200, 0, 0, 0, 0};
  unknown.count = {1, 0, 0, 0, 0};
  EXPECT_EQ(SpeciesMolarMass(unknown), 0.0f);
  EXPECT_FLOAT_EQ(AtomicMass(6), 12.011f);
  EXPECT_FLOAT_EQ(AtomicMass(7), 14.0067f);
}

// Interval with constant heat capacity c (cal units): S = s0 + c (ln x + 1),
// H = 1e4 (c x - h4).
PolyInterval ConstCp(float tmin, float tmax, float s0, float c, float h4) {
  PolyInterval iv;
  iv.tmin = tmin;
  iv.tmax = tmax;
  iv.phi = {s0, c, 0, h4, 0, 0, 0};
  return iv;
}

double SOf(const PolyInterval& iv, double T) {
  return iv.phi[0] + iv.phi[1] * (std::log(T / 1e4) + 1);
}
double HOf(const PolyInterval& iv, double T) {
  return 1e4 * (iv.phi[1] * T / 1e4 - iv.phi[3]);
}

class EvaluateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws_ = std::make_unique<CalcWorkspace>();
    BeginSpeciesFunctionPass(*ws_);
  }
  // Species k with the given primary interval and phase.
  void Species(int k, int phase, const PolyInterval& primary) {
    ws_->run.count = std::max(ws_->run.count, k);
    ws_->run.composition(1, k) = phase;
    ws_->run.primary[k] = primary;
  }
  void Reserve(int k, const PolyInterval& iv) {
    int s = ++ws_->run.reserveCount;
    ws_->run.reserve[s] = iv;
    ws_->run.reserveOwner[s] = k;
  }
  double S(int k) const { return ws_->species.S[k]; }
  double H(int k) const { return ws_->species.H[k]; }
  double Cp(int k) const { return ws_->species.Cp[k]; }
  std::unique_ptr<CalcWorkspace> ws_;
};

TEST_F(EvaluateTest, PicksTheIntervalHoldingT) {
  const PolyInterval p = ConstCp(300, 1000, 50, 8, 1);
  const PolyInterval r1 = ConstCp(1000, 3000, 55, 9, 2);
  const PolyInterval r2 = ConstCp(3000, 6000, 60, 10, 3);
  Species(1, 2, p);
  Species(2, 2, ConstCp(300, 6000, 40, 7, 0));
  Reserve(2, ConstCp(100, 200, 1, 1, 1));  // another species' slot is never used for 1
  Reserve(1, r1);
  Reserve(1, r2);
  for (auto [T, iv] : {std::pair{500.0, p}, {2000.0, r1}, {4500.0, r2}}) {
    EvaluateSpeciesFunctions(*ws_, 1, T);
    EXPECT_NEAR(S(1), SOf(iv, T), 1e-9) << T;
    EXPECT_NEAR(H(1), HOf(iv, T), 1e-7) << T;
    EXPECT_DOUBLE_EQ(Cp(1), iv.phi[1]) << T;
  }
  // The bound records follow the intervals used during the pass.
  EXPECT_DOUBLE_EQ(ws_->functions.largestTmin, 3000);
  EXPECT_DOUBLE_EQ(ws_->functions.smallestTmax, 1000);
  BeginSpeciesFunctionPass(*ws_);
  EvaluateSpeciesFunctions(*ws_, 2, 150);  // the reserve slot of species 2 holds 150
  EXPECT_DOUBLE_EQ(ws_->functions.largestTmin, 100);
  BeginSpeciesFunctionPass(*ws_);
  EvaluateSpeciesFunctions(*ws_, 2, 7000);  // extrapolated: no interval in use
  EXPECT_DOUBLE_EQ(ws_->functions.largestTmin, 0);
  EXPECT_DOUBLE_EQ(ws_->functions.smallestTmax, 100000);
}

TEST_F(EvaluateTest, ExtrapolatesNearestIntervalWithConstantCp) {
  PolyInterval p;
  p.tmin = 300;
  p.tmax = 1000;
  p.phi = {50, 8, -0.001f, 1, 3, 0.5f, 0};  // Cp varies with T
  PolyInterval far;
  far.tmin = 2000;
  far.tmax = 3000;
  far.phi = {60, 9, 0, 2, 1, 0, 0};
  Species(1, 2, p);
  Reserve(1, far);

  auto atEnd = [&](const PolyInterval& iv, double te) {
    CalcWorkspace w;
    w.run.composition(1, 1) = 2;
    w.run.primary[1] = iv;
    EvaluateSpeciesFunctions(w, 1, te);
    return std::array<double, 3>{w.species.S[1], w.species.H[1], w.species.Cp[1]};
  };
  // Below the lowest interval.
  const auto lo = atEnd(p, 300);
  EvaluateSpeciesFunctions(*ws_, 1, 200);
  EXPECT_NEAR(Cp(1), lo[2], 1e-9);
  EXPECT_NEAR(H(1), lo[1] + (200 - 300) * lo[2], 1e-6);
  EXPECT_NEAR(S(1), lo[0] + std::log(200.0 / 300.0) * lo[2], 1e-9);
  // In the gap: the nearer interval's end (1400 is nearer to 1000, 1600 to 2000).
  const auto hi = atEnd(p, 1000);
  EvaluateSpeciesFunctions(*ws_, 1, 1400);
  EXPECT_NEAR(H(1), hi[1] + 400 * hi[2], 1e-6);
  EXPECT_NEAR(S(1), hi[0] + std::log(1.4) * hi[2], 1e-9);
  const auto fl = atEnd(far, 2000);
  EvaluateSpeciesFunctions(*ws_, 1, 1600);
  EXPECT_NEAR(H(1), fl[1] - 400 * fl[2], 1e-6);
  EXPECT_NEAR(Cp(1), fl[2], 1e-9);
  // Above everything.
  const auto top = atEnd(far, 3000);
  EvaluateSpeciesFunctions(*ws_, 1, 7000);
  EXPECT_NEAR(H(1), top[1] + 4000 * top[2], 1e-6);
  EXPECT_NEAR(S(1), top[0] + std::log(7000.0 / 3000.0) * top[2], 1e-9);
}

// A phase change at 1000 K: latent heat 1e4 * (h4 of the solid - h4 of the liquid).
class BlendTest : public EvaluateTest {
 protected:
  void SetUp() override {
    EvaluateTest::SetUp();
    Species(1, 1, solid_);
    Reserve(1, liquid_);
  }
  PolyInterval solid_ = ConstCp(300, 1000, 50, 8, 1.0f);
  PolyInterval liquid_ = ConstCp(1000, 3000, 60, 9, 0.5f);  // 5000 cal/mol higher
};

TEST_F(BlendTest, SpreadsLatentHeatOverTwoKelvinFromBothSides) {
  const double T0 = 1000;
  const double dH = HOf(liquid_, T0) - HOf(solid_, T0);
  ASSERT_NEAR(dH, 5000 + 1000, 1e-6);  // latent heat plus the Cp difference times T
  // At the shared bound the primary interval holds T; the blend is halfway.
  EvaluateSpeciesFunctions(*ws_, 1, T0);
  EXPECT_NEAR(H(1), 0.5 * (HOf(solid_, T0) + HOf(liquid_, T0)), 1e-6);
  EXPECT_NEAR(S(1), 0.5 * (SOf(solid_, T0) + SOf(liquid_, T0)), 1e-9);
  EXPECT_NEAR(Cp(1), std::fabs(dH) / 2, 1e-9);
  // A quarter of the way on either side, and continuous across the bound.
  for (double T : {999.5, 1000.5}) {
    EvaluateSpeciesFunctions(*ws_, 1, T);
    const double w = (T - 999.0) / 2.0;  // weight of the liquid
    const double Hs = HOf(solid_, T), Hl = HOf(liquid_, T);
    EXPECT_NEAR(H(1), Hs + (Hl - Hs) * w, 1e-6) << T;
    EXPECT_NEAR(Cp(1), std::max(T < T0 ? 8.0 : 9.0, std::fabs(Hl - Hs) / 2), 1e-9) << T;
  }
  double below, above;
  EvaluateSpeciesFunctions(*ws_, 1, T0 - 1e-7);
  below = H(1);
  EvaluateSpeciesFunctions(*ws_, 1, T0 + 1e-7);
  above = H(1);
  EXPECT_NEAR(below, above, 1e-2);
  // Outside the window: the plain interval values.
  EvaluateSpeciesFunctions(*ws_, 1, 998.9);
  EXPECT_NEAR(H(1), HOf(solid_, 998.9), 1e-7);
  EvaluateSpeciesFunctions(*ws_, 1, 1001.1);
  EXPECT_NEAR(H(1), HOf(liquid_, 1001.1), 1e-7);
  EXPECT_DOUBLE_EQ(Cp(1), 9.0);
}

TEST_F(BlendTest, CpNeverFallsBelowTheIntervalValue) {
  // No latent heat: the enthalpy step is tiny, Cp keeps its own value.
  liquid_ = ConstCp(1000, 3000, 60, 8, 1.0f);
  liquid_.phi[0] = 61;  // a different interval, same H
  ws_->run.reserve[1] = liquid_;
  EvaluateSpeciesFunctions(*ws_, 1, 1000.2);
  EXPECT_DOUBLE_EQ(Cp(1), 8.0);
}

TEST_F(BlendTest, RecordsCondensedSpeciesNearABound) {
  Species(2, 2, solid_);  // a gas with the same intervals
  Reserve(2, liquid_);
  EvaluateSpeciesFunctions(*ws_, 1, 999.5);
  EvaluateSpeciesFunctions(*ws_, 2, 999.5);
  EvaluateSpeciesFunctions(*ws_, 1, 1500);
  ASSERT_EQ(ws_->functions.transitionCount, 1);
  EXPECT_EQ(ws_->functions.transitions[1], 1);
  EXPECT_EQ(ws_->functions.mode, 1);
  BeginSpeciesFunctionPass(*ws_);
  EXPECT_EQ(ws_->functions.transitionCount, 0);
}

TEST_F(EvaluateTest, BlendsBetweenReserveSlotsAndSkipsPlainContinuations) {
  const PolyInterval p = ConstCp(300, 1000, 50, 8, 1);
  const PolyInterval a = ConstCp(1000, 2000, 55, 8, 1);
  const PolyInterval b = ConstCp(2000, 6000, 70, 10, 0);
  Species(1, 2, p);
  Reserve(1, a);
  Reserve(1, b);
  for (double T : {1999.5, 2000.0, 2000.5}) {
    EvaluateSpeciesFunctions(*ws_, 1, T);
    const double w = (T - 1999.0) / 2.0;
    EXPECT_NEAR(S(1), SOf(a, T) + (SOf(b, T) - SOf(a, T)) * w, 1e-9) << T;
  }
  // A continuation slot with the coefficients of the interval below is no neighbour.
  CalcWorkspace w;
  w.run.composition(1, 1) = 2;
  w.run.primary[1] = ConstCp(300, 3000, 50, 8, 1);
  w.run.reserve[1] = ConstCp(3000, 6000, 50, 8, 1);
  w.run.reserveOwner[1] = 1;
  w.run.reserveCount = 1;
  EvaluateSpeciesFunctions(w, 1, 3000.5);
  EXPECT_NEAR(w.species.H[1], HOf(w.run.primary[1], 3000.5), 1e-7);
  EXPECT_DOUBLE_EQ(w.species.Cp[1], 8.0);
}

TEST_F(EvaluateTest, UsesReserveSlotsBeyondTheFirstHundredThirty) {
  Species(1, 2, ConstCp(300, 400, 50, 8, 1));
  for (int s = 1; s <= 200; ++s) Reserve(2, ConstCp(300, 6000, 1, 1, 1));
  const PolyInterval late = ConstCp(400, 6000, 70, 10, 0);
  Reserve(1, late);  // slot 201
  EvaluateSpeciesFunctions(*ws_, 1, 3000);
  EXPECT_NEAR(H(1), HOf(late, 3000), 1e-7);
}

}  // namespace
}  // namespace kvil
