#include "thermo/sound.h"

#include <cmath>

#include "eos/eos_fixture.h"
#include "thermo/eos.h"
#include "thermo/transport.h"

namespace kvil::testing_eos {
namespace {

constexpr double kR = 8.31441;   // J/(mol K)
constexpr double kRc = 1.98719;  // cal/(mol K)

// Ideal-gas dissociation A2 = 2 A of one element at given T and p, with constant
// species heat capacities.  Equilibrium: 4 x^2 p / (b^2 - x^2) = K(T), x = n_A, with
// d ln K/dT = dH/(R T^2) (van 't Hoff).  The properties are formed by finite
// differences of the exact equilibrium, independently of the derivative systems.
struct Dissociation {
  double b = 1000.0 / 14.0;     // mol of A atoms per kg
  double H0A = 55000, CpA = 5;  // cal/mol, cal/(mol K)
  double H0A2 = 0, CpA2 = 9;
  double T0 = 3000, K0 = 0.4;

  double HA(double T) const { return H0A + CpA * T; }
  double HA2(double T) const { return H0A2 + CpA2 * T; }
  double K(double T) const {
    const double dH0 = 2 * H0A - H0A2, dCp = 2 * CpA - CpA2;
    return K0 * std::exp(-dH0 / kRc * (1 / T - 1 / T0) + dCp / kRc * std::log(T / T0));
  }
  // Atoms amount x at (T, p).
  double AtP(double T, double p) const {
    const double k = K(T);
    return b * std::sqrt(k / (k + 4 * p));
  }
  // At (T, V): p = n_tot R T / V with n_tot = (b + x)/2.
  double AtV(double T, double V) const {
    const double k = K(T), c = kR * T / (V * 1e6);
    return (-k + std::sqrt(k * k + 8 * c * k * b)) / (4 * c);
  }
  double Hmix(double T, double x) const { return x * HA(T) + (b - x) / 2 * HA2(T); }
  double Umix(double T, double x) const { return Hmix(T, x) - kRc * T * (b + x) / 2; }
  double Vol(double T, double p) const { return (b + AtP(T, p)) / 2 * kR * T / (p * 1e6); }
  double Pres(double T, double V) const { return (b + AtV(T, V)) / 2 * kR * T / (V * 1e6); }

  struct Expected {
    double Cp, Cv, a;  // kJ/(kg K), m/s
  };
  Expected Properties(double T, double p) const {
    const double dT = 1e-3, V = Vol(T, p);
    const double Cp = (Hmix(T + dT, AtP(T + dT, p)) - Hmix(T - dT, AtP(T - dT, p))) / (2 * dT);
    const double Cv = (Umix(T + dT, AtV(T + dT, V)) - Umix(T - dT, AtV(T - dT, V))) / (2 * dT);
    const double dVdT = (Vol(T + dT, p) - Vol(T - dT, p)) / (2 * dT);
    const double dpdT = (Pres(T + dT, V) - Pres(T - dT, V)) / (2 * dT) * 1e6;
    const double a2 = Cp / Cv * V * V * dpdT / dVdT;
    return {Cp * kCalToKJ, Cv * kCalToKJ, std::sqrt(a2)};
  }
};

class SoundVelocity : public EosFixture {
 protected:
  // Loads the equilibrium state of the dissociation at T0 and p.
  void LoadDissociation(const Dissociation& d, double p) {
    const double x = d.AtP(d.T0, p);
    Add({"A2", (d.b - x) / 2, d.HA2(d.T0), d.CpA2, 3.6f, 90.0f, 28.0f, {2}});
    Add({"A", x, d.HA(d.T0), d.CpA, 3.2f, 70.0f, 14.0f, {1}});
    SetIdealState(d.T0, p);
  }
};

TEST_F(SoundVelocity, NonReactingIdealGasGivesTheFrozenValues) {
  const double n = 1000 / 28.0134;
  Add({"N2", n, 0, 8.5, 3.798f, 71.4f, 28.0134f, {2}});
  SetIdealState(2000, 1.0);
  const double X7 = 123.0;
  session.ws.X[7] = X7;
  session.ws.Y[2] = -4.0;
  ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
  const ResultsBlock& r = session.ws.results;
  const double Cp = r.Cp, Cv = Cp - 0.001 * kR * n, k = Cp / Cv;
  EXPECT_NEAR(r.CpEquilibrium / Cp, 1.0, 1e-6);
  EXPECT_NEAR(r.CvEquilibrium / Cv, 1.0, 1e-5);
  EXPECT_NEAR(r.kEquilibrium / k, 1.0, 1e-5);
  // a = sqrt(k R T / M)
  EXPECT_NEAR(r.soundSpeed / std::sqrt(k * kR * 2000 / 0.0280134), 1.0, 1e-5);
  // The solver's vectors are given back unchanged.
  EXPECT_EQ(session.ws.X[7], X7);
  EXPECT_EQ(session.ws.Y[2], -4.0);
  EXPECT_NEAR(session.ws.species.S[1], 0.0, 1e-9);  // no composition change with T
}

TEST_F(SoundVelocity, DissociatingGasMatchesTheExactEquilibrium) {
  const Dissociation d;
  for (double p : {0.1, 1.0, 10.0}) {
    session.ws.run.count = 0;
    LoadDissociation(d, p);
    ComputeSoundVelocity(session.task, session.ws, 1, 2, false);
    const ResultsBlock& r = session.ws.results;
    const auto e = d.Properties(d.T0, p);
    EXPECT_NEAR(r.CpEquilibrium / e.Cp, 1.0, 1e-4) << p;
    EXPECT_NEAR(r.CvEquilibrium / e.Cv, 1.0, 1e-4) << p;
    EXPECT_NEAR(r.soundSpeed / e.a, 1.0, 1e-4) << p;
    EXPECT_NEAR(r.kEquilibrium, e.Cp / e.Cv, 1e-4 * e.Cp / e.Cv) << p;
    EXPECT_GT(r.CpEquilibrium, 1.5 * r.Cp) << p;  // the reaction is felt
    // The derivative terms are d n_i/dT at constant p.
    const double dT = 1e-3;
    const double dx = (d.AtP(d.T0 + dT, p) - d.AtP(d.T0 - dT, p)) / (2 * dT);
    EXPECT_NEAR(session.ws.species.S[2] / dx, 1.0, 1e-4) << p;
    EXPECT_NEAR(session.ws.species.S[1] / (-dx / 2), 1.0, 1e-4) << p;
    // Heat carried by the atoms diffusing down the temperature gradient.
    EXPECT_GT(r.lambdaReacting, 0.0) << p;
    EXPECT_TRUE(std::isfinite(r.lambdaReacting));
  }
}

// Sublimation A(s) = A(g) under an inert gas B: the vapour pressure fixes the amount
// of gaseous A, x p/(x + nB) = Psat(T) at constant p, x = Psat V/(R T) at constant V.
struct Sublimation {
  double nB = 30, bA = 20;
  double H0g = 40000, Cpg = 5, H0s = 0, Cps = 6;  // cal/mol, cal/(mol K)
  double T0 = 1500, P0 = 0.2;                     // MPa

  double Psat(double T) const {
    const double dH0 = H0g - H0s, dCp = Cpg - Cps;
    return P0 * std::exp(-dH0 / kRc * (1 / T - 1 / T0) + dCp / kRc * std::log(T / T0));
  }
  double AtP(double T, double p) const { return nB * Psat(T) / (p - Psat(T)); }
  double AtV(double T, double V) const { return Psat(T) * 1e6 * V / (kR * T); }
  double H(double T, double x) const {
    return x * (H0g + Cpg * T) + (bA - x) * (H0s + Cps * T) + nB * 7 * T;
  }
  double U(double T, double x) const { return H(T, x) - kRc * T * (x + nB); }
  double Vol(double T, double p) const { return (AtP(T, p) + nB) * kR * T / (p * 1e6); }
  double Pres(double T, double V) const { return (AtV(T, V) + nB) * kR * T / (V * 1e6); }
};

TEST_F(SoundVelocity, CondensedPhaseInEquilibriumMatchesTheExactState) {
  const Sublimation s;
  const double T = s.T0, p = 1.0, x = s.AtP(T, p);
  Add({"B", s.nB, 7 * T, 7, 3.6f, 90.0f, 28.0f, {0, 1}});
  Add({"A", x, s.H0g + s.Cpg * T, s.Cpg, 3.2f, 70.0f, 14.0f, {1, 0}});
  Add({"A(s)", s.bA - x, s.H0s + s.Cps * T, s.Cps, 10.0f, 0, 14.0f, {1, 0}, 1});
  SetIdealState(T, p);
  ComputeSoundVelocity(session.task, session.ws, 2, 3, false);
  const ResultsBlock& r = session.ws.results;

  const double dT = 1e-3, V = s.Vol(T, p);
  const double Cp = (s.H(T + dT, s.AtP(T + dT, p)) - s.H(T - dT, s.AtP(T - dT, p))) / (2 * dT);
  const double Cv = (s.U(T + dT, s.AtV(T + dT, V)) - s.U(T - dT, s.AtV(T - dT, V))) / (2 * dT);
  const double dVdT = (s.Vol(T + dT, p) - s.Vol(T - dT, p)) / (2 * dT);
  const double dpdT = (s.Pres(T + dT, V) - s.Pres(T - dT, V)) / (2 * dT) * 1e6;
  EXPECT_NEAR(r.CpEquilibrium / (Cp * kCalToKJ), 1.0, 1e-4);
  EXPECT_NEAR(r.CvEquilibrium / (Cv * kCalToKJ), 1.0, 1e-4);
  EXPECT_NEAR(r.soundSpeed / std::sqrt(Cp / Cv * V * V * dpdT / dVdT), 1.0, 1e-4);
  const double dx = (s.AtP(T + dT, p) - s.AtP(T - dT, p)) / (2 * dT);
  EXPECT_NEAR(session.ws.species.S[2] / dx, 1.0, 1e-4);
  EXPECT_NEAR(session.ws.species.S[3], s.Cps, 1e-12);  // condensed: its own Cp
}

TEST_F(SoundVelocity, TraceAndFixedSpeciesTakeNoPart) {
  const double n = 1000 / 28.0134;
  // Atomic nitrogen with a large formation enthalpy: would dominate Cp if it took part.
  for (bool fixed : {false, true}) {
    session.ws.run.count = 0;
    session.task.fixedCount = 0;
    Add({"N2", n, 0, 8.5, 3.798f, 71.4f, 28.0134f, {2}});
    Add({"N", fixed ? 0.5 : 5e-11, 113000, 5, 3.3f, 71.4f, 14.0f, {1}});
    // A trace condensed phase gets no variable: with one it would pin the potential.
    Add({"N(s)", 5e-11, -5000, 5, 10.0f, 0, 14.0f, {1}, 1});
    if (fixed) {
      session.task.fixedCount = 1;
      session.task.fixed[1] = {"N", 0.5f};
    }
    SetIdealState(3000, 1.0);
    ComputeSoundVelocity(session.task, session.ws, 1, 3, false);
    const ResultsBlock& r = session.ws.results;
    EXPECT_NEAR(r.CpEquilibrium / r.Cp, 1.0, 1e-6) << fixed;
    if (fixed) {
      EXPECT_EQ(session.ws.species.S[2], 0.0);
    }
  }
}

TEST_F(SoundVelocity, AbsentChargeRowIsDecoupled) {
  const Dissociation d;
  LoadDissociation(d, 1.0);
  ComputeSoundVelocity(session.task, session.ws, 1, 2, false);
  const ResultsBlock plain = session.ws.results;

  // The same state with the ions option: the ion species are absent.
  session.ws.run.count = 0;
  ionRow = 3;
  LoadDissociation(d, 1.0);
  Add({"A+", 0, 300000, 5, 3.2f, 70.0f, 14.0f, {1}, 2, 13});
  Add({"e-", 0, 0, 5, 0, 0, 0, {0}, 2, 14});
  ComputeSoundVelocity(session.task, session.ws, 1, 4, true);
  const ResultsBlock& r = session.ws.results;
  EXPECT_NEAR(r.CpEquilibrium / plain.CpEquilibrium, 1.0, 1e-12);
  EXPECT_NEAR(r.soundSpeed / plain.soundSpeed, 1.0, 1e-12);
  EXPECT_NEAR(r.viscosity / plain.viscosity, 1.0, 1e-12);
}

TEST_F(SoundVelocity, SingularSystemTakesTheFrozenFallback) {
  // Two condensed phases of one composition coexisting: the derivative systems are
  // singular.
  Add({"A2", 20, 0, 9, 3.6f, 90.0f, 28.0f, {2}});
  Add({"A(s)", 5, -20000, 6, 10.0f, 0, 14.0f, {1}, 1});
  Add({"A(l)", 5, -19000, 7, 11.0f, 0, 14.0f, {1}, 1});
  SetIdealState(1500, 1.0);
  ComputeSoundVelocity(session.task, session.ws, 1, 3, false);
  const ResultsBlock& r = session.ws.results;
  const double Cv = r.Cp - 0.001 * kR * 20, k = r.Cp / Cv;
  EXPECT_DOUBLE_EQ(r.CpEquilibrium, r.Cp);
  EXPECT_NEAR(r.CvEquilibrium, Cv, 1e-12);
  EXPECT_NEAR(r.kEquilibrium, k, 1e-12);
  EXPECT_NEAR(r.soundSpeed, std::sqrt(k * kR * 1500 * 20), 1e-9);
  EXPECT_TRUE(std::isfinite(session.ws.species.S[1]));
}

TEST_F(SoundVelocity, DegenerateStatesAreNotComputable) {
  Add({"N2", 10, 0, 8.5, 3.798f, 71.4f, 28.0134f, {2}});
  SetIdealState(2000, 1.0);
  session.ws.results.V = 0;
  ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
  EXPECT_EQ(session.ws.results.soundSpeed, 1.0);
  EXPECT_EQ(session.ws.results.CpEquilibrium, 0.0);

  // Only condensed matter: no gas, a^2 cannot be formed.
  session.ws.run.count = 0;
  Add({"C(gr)", 83.3, 0, 5, 5.3f, 0, 12.0f, {1}, 1});
  SetIdealState(2000, 1.0);
  session.ws.results.V = 1e-4;
  ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
  EXPECT_EQ(session.ws.results.soundSpeed, 1.0);
  EXPECT_TRUE(std::isfinite(session.ws.results.CpEquilibrium));
  EXPECT_EQ(session.ws.results.viscosity, 0.0);  // all condensed: no gas transport
}

class NonIdealSound : public SoundVelocity {
 protected:
  void Prepare(int code, double T, double p) {
    SetEos(code);
    session.ws.run.count = 0;
    session.ws.eos = EosState{};
    session.ws.corrections = NonIdealCorrections{};
    Add({"N2", 1000 / 28.0134, 0, 8.5, 3.798f, 71.4f, 28.0134f, {2}});
    SetIdealState(T, p);
    ASSERT_EQ(
        SolveEosVolume(session.task, session.ws, session.report, session.ui, 1, kParamP, kParamT),
        0);
    ASSERT_EQ(ComputeEosCorrections(session.task, session.ws, 1), 0);
    ASSERT_TRUE(NonIdealEosActive(session.task, session.ws));
  }
};

TEST_F(NonIdealSound, LowDensityApproachesTheIdealGas) {
  for (int code : {2, 3}) {
    Prepare(code, 2000, 0.05);
    ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
    const ResultsBlock& r = session.ws.results;
    const double n = 1000 / 28.0134, Cv = r.Cp - 0.001 * kR * n, k = r.Cp / Cv;
    EXPECT_NEAR(r.soundSpeed / std::sqrt(k * kR * 2000 * n), 1.0, 1e-3) << code;
    EXPECT_NEAR(r.kEquilibrium / k, 1.0, 2e-3) << code;
    EXPECT_NEAR(r.CpEquilibrium / r.Cp, 1.0, 1e-3) << code;
  }
}

TEST_F(NonIdealSound, NonReactingDenseGasAgreesWithTheFrozenProperties) {
  for (int code : {2, 3}) {
    Prepare(code, 3000, 200);
    const EosPropertyValues frozen = EvaluateEosProperties(session.task, session.ws);
    ASSERT_TRUE(frozen.soundValid);
    ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
    const ResultsBlock& r = session.ws.results;
    // Two independent derivations of the same quantities.  The Kelmost frozen form
    // takes the density derivative of B at the plain reduced temperature, the
    // derivative systems at the effective one T/(1 - b rho): a few parts in 1e3 in Cp.
    const double tolerance = code == 2 ? 1e-5 : 3e-3;
    EXPECT_NEAR(r.soundSpeed / frozen.a, 1.0, tolerance) << code;
    EXPECT_NEAR(r.CpEquilibrium / frozen.CpPrime, 1.0, tolerance) << code;
    EXPECT_NEAR(r.CvEquilibrium / frozen.Cv, 1.0, tolerance) << code;
    EXPECT_NEAR(r.kEquilibrium, 1e-6 * r.soundSpeed * r.soundSpeed / (r.p * r.V), 1e-9) << code;
    EXPECT_TRUE(std::isfinite(r.CpEquilibrium) && std::isfinite(r.CvEquilibrium));
  }
}

TEST_F(NonIdealSound, SingularSystemFallsBackToTheNonIdealFrozenValues) {
  Prepare(2, 3000, 200);
  const EosPropertyValues frozen = EvaluateEosProperties(session.task, session.ws);
  ASSERT_TRUE(frozen.soundValid);
  Add({"A(s)", 1, -20000, 6, 10.0f, 0, 14.0f, {1}, 1});
  Add({"A(l)", 1, -19000, 7, 11.0f, 0, 14.0f, {1}, 1});
  ComputeSoundVelocity(session.task, session.ws, 1, 3, false);
  const ResultsBlock& r = session.ws.results;
  EXPECT_DOUBLE_EQ(r.soundSpeed, frozen.a);
  EXPECT_DOUBLE_EQ(r.CpEquilibrium, frozen.CpPrime);
  EXPECT_DOUBLE_EQ(r.CvEquilibrium, frozen.Cv);
  EXPECT_DOUBLE_EQ(r.kEquilibrium, frozen.k);
}

TEST_F(NonIdealSound, StateWithoutCorrectionsIsTreatedAsIdeal) {
  // The ideal-gas print of a non-ideal task comes before any correction exists.
  Prepare(3, 3000, 200);
  session.ws.corrections = NonIdealCorrections{};
  EXPECT_FALSE(NonIdealEosActive(session.task, session.ws));
  ComputeSoundVelocity(session.task, session.ws, 1, 1, false);
  const ResultsBlock& r = session.ws.results;
  const double n = 1000 / 28.0134, Cv = r.Cp - 0.001 * kR * n;
  EXPECT_NEAR(r.kEquilibrium / (r.Cp / Cv), 1.0, 1e-5);
}

class Transport : public EosFixture {};

TEST_F(Transport, PureNitrogenFollowsChapmanEnskog) {
  Add({"N2", 1000 / 28.0134, 0, 6.96, 3.798f, 71.4f, 28.0134f, {2}});
  SetIdealState(300, 0.1);
  const Array1<double, kMaxUnknowns> y;
  ComputeTransportProperties(session.ws, 1, y, true);
  const ResultsBlock& r = session.ws.results;
  EXPECT_NEAR(r.viscosity, 1.79e-5, 0.03 * 1.79e-5);   // measured 17.9 uPa s
  EXPECT_NEAR(r.lambdaFrozen, 0.0259, 0.06 * 0.0259);  // measured 25.9 mW/(m K)
  EXPECT_EQ(r.lambdaReacting, 0.0);
  const double viscosity = r.viscosity, lambda = r.lambdaFrozen;

  // Splitting the gas into two entries of the same species changes nothing, and an
  // electron without molar mass is left out instead of producing NaN.
  session.ws.species.n[1] /= 3;
  Add({"N2'", 2000 / 28.0134 / 3, 0, 6.96, 3.798f, 71.4f, 28.0134f, {2}});
  Add({"e-", 1e-3, 0, 5, 1.0f, 10.0f, 0.0f, {0}});
  ComputeTransportProperties(session.ws, 3, y, true);
  EXPECT_NEAR(r.viscosity / viscosity, 1.0, 1e-12);
  EXPECT_NEAR(r.lambdaFrozen / lambda, 1.0, 1e-12);
  EXPECT_TRUE(std::isfinite(r.lambdaReacting));
}

TEST_F(Transport, MostlyCondensedMixtureHasNoTransportValues) {
  Add({"N2", 0.1, 0, 6.96, 3.798f, 71.4f, 28.0134f, {2}});
  Add({"Al2O3(l)", 9.78, -380000, 34, 30.0f, 0, 101.96f, {2, 3}, 1});
  SetIdealState(3000, 1.0);
  const Array1<double, kMaxUnknowns> y;
  ComputeTransportProperties(session.ws, 2, y, true);
  EXPECT_EQ(session.ws.results.viscosity, 0.0);
  EXPECT_EQ(session.ws.results.lambdaFrozen, 0.0);
}

}  // namespace
}  // namespace kvil::testing_eos
