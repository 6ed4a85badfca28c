// The closed forms of the BKW equation against finite differences of its residual
// Helmholtz energy, and those of the condensed products against finite differences of
// their Gibbs energy, at the densities of detonation products and at ordinary ones.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/constants.h"
#include "thermo/bkw.h"

namespace kvil {
namespace {

constexpr double kR = kGasConstantJ;

// A CJ-like mixture of RDX products (mol/kg) with the tabulated covolumes.
struct Mixture {
  std::vector<double> n{8.9, 5.3, 4.1, 13.2, 0.3, 0.05, 0.2};  // H2O CO2 CO N2 H2 NO NH3
  std::vector<double> k{250, 600, 390, 380, 80, 386, 476};
};

double Sum(const std::vector<double>& v, const std::vector<double>& w) {
  double s = 0;
  for (size_t i = 0; i < v.size(); ++i) s += v[i] * w[i];
  return s;
}

double Relative(double a, double b) {
  return std::fabs(a - b) / std::max(std::fabs(b), 1e-300);
}

TEST(BkwModel, ResidualFunctionsAreDerivativesOfHelmholtzEnergy) {
  const Mixture m;
  const std::vector<double> ones(m.n.size(), 1.0);
  for (int setIndex = 0; setIndex < 2; ++setIndex) {
    const BkwParameters& set = BkwParameterSet(setIndex);
    // Gas volumes (cm3/kg) from an RDX CJ state (about 2.4 g/cm3 with 10 % condensed
    // volume) to a tenfold expansion and an almost ideal gas.
    for (double Vg : {330.0, 800.0, 3300.0, 1e6}) {
      for (double T : {1500.0, 4200.0}) {
        SCOPED_TRACE(set.name + " Vg=" + std::to_string(Vg) + " T=" + std::to_string(T));
        const double N = Sum(m.n, ones), K = Sum(m.n, m.k);
        const BkwGasState s = EvaluateBkwGas(set, kR, T, Vg, N, K);
        ASSERT_TRUE(s.inDomain);
        auto A = [&](double t, double v, const std::vector<double>& n) {
          return BkwResidualHelmholtz(set, kR, t, v, n, m.k);
        };
        const double a0 = A(T, Vg, m.n);
        EXPECT_LT(Relative(s.aRes, a0), 1e-12);
        // Chemical potentials: dA/dn_i = R T (u1 + k_i u2).
        for (size_t i = 0; i < m.n.size(); ++i) {
          const double h = 1e-4 * m.n[i];
          std::vector<double> up = m.n, down = m.n;
          up[i] += h;
          down[i] -= h;
          const double fd = (A(T, Vg, up) - A(T, Vg, down)) / (2 * h);
          EXPECT_LT(Relative(kR * T * (s.u1 + m.k[i] * s.u2), fd), 1e-6) << "species " << i;
        }
        // Pressure: p_res = -dA/dV.
        const double hv = 1e-4 * Vg;
        const double dAdV = (A(T, Vg + hv, m.n) - A(T, Vg - hv, m.n)) / (2 * hv);
        EXPECT_LT(Relative(s.p - N * kR * T / Vg, -dAdV), 1e-6);
        // U_res = A - T dA/dT, and Cv_res = -T d2A/dT2.
        const double ht = 1e-3 * T;
        const double ap = A(T + ht, Vg, m.n), am = A(T - ht, Vg, m.n);
        const double dAdT = (ap - am) / (2 * ht);
        EXPECT_LT(Relative(s.uRes, a0 - T * dAdT), 1e-6);
        EXPECT_LT(Relative(s.sRes, -dAdT), 1e-6);
        const double d2 = (ap - 2 * a0 + am) / (ht * ht);
        EXPECT_LT(Relative(s.cvRes, -T * d2), 1e-6);
        // Pressure derivatives of the closed form against its own differences.
        const BkwGasState tp = EvaluateBkwGas(set, kR, T + ht, Vg, N, K);
        const BkwGasState tm = EvaluateBkwGas(set, kR, T - ht, Vg, N, K);
        EXPECT_LT(Relative(s.dpdT, (tp.p - tm.p) / (2 * ht)), 1e-6);
        const BkwGasState vp = EvaluateBkwGas(set, kR, T, Vg + hv, N, K);
        const BkwGasState vm = EvaluateBkwGas(set, kR, T, Vg - hv, N, K);
        EXPECT_LT(Relative(s.dpdV, (vp.p - vm.p) / (2 * hv)), 1e-6);
        EXPECT_LT(Relative(s.hRes, s.uRes + s.p * Vg - N * kR * T), 1e-12);
      }
    }
  }
}

TEST(BkwModel, DenserThanTheDomainIsNeverEvaluatedBeyondIt) {
  const BkwParameters& set = BkwParameterSet(0);
  const BkwGasState s = EvaluateBkwGas(set, kR, 300, 1e-3, 30, 1e4);
  EXPECT_FALSE(s.inDomain);
  EXPECT_TRUE(std::isfinite(s.p) && std::isfinite(s.uRes) && std::isfinite(s.cvRes));
  EXPECT_NEAR(set.beta * s.x, kBkwMaxBetaX, 1e-9);
}

TEST(BkwModel, CovolumesFromTableOrFromAtoms) {
  EXPECT_EQ(TabulatedCovolume("H2O").value_or(0), 250);
  EXPECT_EQ(TabulatedCovolume("H2").value_or(0), 80);
  EXPECT_FALSE(TabulatedCovolume("NO2").has_value());
  // One hydrogen atom of radius 1.2 A gives the tabulated 76 of H.
  EXPECT_NEAR(EstimatedCovolume({{1, 1}}), 76, 0.5);
  EXPECT_EQ(BkwParameterSet(0).name, "BKWR");
  EXPECT_EQ(BkwParameterSet(1).name, "BKW-TNT");
  EXPECT_EQ(BkwParameterSet(7).name, "BKWR");
}

// Gibbs energy, entropy, enthalpy, heat capacity and volume derivatives of a condensed
// product are those of its volume: G = integral of V dp, S = -dG/dT, Cp = T dS/dT.
TEST(BkwModel, CondensedProductsAreConsistent) {
  struct Case {
    const char* name;
    double M, Vm;
  };
  for (const Case c : {Case{"C(c)", 12.011, 5.338}, Case{"Al2O3(c)", 101.96, 25.64},
                       Case{"Al(c)", 26.98, 9.993}}) {
    const CondensedEosData* eos = CondensedEosOf(c.name);
    ASSERT_NE(eos, nullptr) << c.name;
    for (double T : {1000.0, 3500.0}) {
      for (double p : {500.0, 1500.0, 1700.0, 2500.0, 30000.0}) {
        SCOPED_TRACE(std::string(c.name) + " p=" + std::to_string(p) + " T=" + std::to_string(T));
        auto at = [&](double pp, double tt) { return EvaluateCondensed(eos, c.M, c.Vm, pp, tt); };
        const CondensedState s = at(p, T);
        const double hp = 1e-4 * p, ht = 1e-3 * T;
        const CondensedState pu = at(p + hp, T), pd = at(p - hp, T);
        const CondensedState tu = at(p, T + ht), td = at(p, T - ht);
        EXPECT_NEAR((pu.G - pd.G) / (2 * hp), s.V, 1e-6 * s.V);
        EXPECT_NEAR((pu.V - pd.V) / (2 * hp), s.dVdp, 1e-6 * std::fabs(s.V / p) + 1e-12);
        EXPECT_NEAR((tu.V - td.V) / (2 * ht), s.dVdT, 1e-6 * std::fabs(s.V / T) + 1e-12);
        EXPECT_NEAR(-(tu.G - td.G) / (2 * ht), s.S, 1e-6 * std::fabs(s.G / T) + 1e-9);
        EXPECT_NEAR(T * (tu.S - td.S) / (2 * ht), s.Cp, 1e-5 * std::fabs(s.G / T) + 1e-9);
        EXPECT_NEAR(s.H, s.G + T * s.S, 1e-9 * std::fabs(s.G));
        if (p < kCondensedBlendStart) {
          EXPECT_EQ(s.V, c.Vm);  // the database's density at ordinary pressures
        }
      }
    }
  }
  // Carbon at 30 GPa and 3500 K is near the density of diamond-like carbon, not graphite.
  const CondensedState carbon = EvaluateCondensed(CondensedEosOf("C(c)"), 12.011, 5.338, 30000, 3500);
  EXPECT_GT(12.011 / carbon.V, 2.8);
  EXPECT_LT(12.011 / carbon.V, 3.6);
  // Other products are incompressible.
  const CondensedState water = EvaluateCondensed(nullptr, 18.0, 18.0, 30000, 3500);
  EXPECT_EQ(water.V, 18.0);
  EXPECT_EQ(water.G, 30000 * 18.0);
  EXPECT_EQ(water.S, 0);
}

}  // namespace
}  // namespace kvil
