#include "thermo/eos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/interaction.h"
#include "common/numfmt.h"
#include "common/report_file.h"
#include "task/task.h"

namespace kvil {

namespace {

constexpr double kEosR = kGasConstantJ;     // J/(mol K)
constexpr double kEosRc = kGasConstantCal;  // cal/(mol K)
constexpr double kB0Factor = 1.2615;        // (2/3) pi N_A 1e-24, sigma in A
constexpr double kCFactor = 0.36028;        // C = 0.36028 S3^2
constexpr double kSFactor = 1.2612;         // partial-derivative form of kB0Factor
constexpr double kKelmostF = 1.90012;       // default hard-core factor
// The cubic in the density is p = rho R T (1 + B rho + C rho^2) divided by C, with
// B and C exactly those of the corrections (B = kB0Factor S3 B*, C = kCFactor S3^2):
// coefficients rounded on their own (3.500604 for B/C) put the cubic's volume 1e-4
// away from the gas law the solver then satisfies, and p-assigned states never met
// their own equation of state.
constexpr double kVirialA = kB0Factor / kCFactor;  // B/C per B*/S3
constexpr double kVirialQ = 1 / kCFactor;          // 1/C per 1/S3^2

constexpr const char* kDensityTooHigh = " The density is too high! ";
constexpr const char* kNoKelmostVolume = "No matching volume value for Kelmost EOS is found. ";
constexpr const char* kCannotApply = "Non-ideal EOS cannot be applied: ";

bool Finite(double v) {
  return std::isfinite(v);
}

double RoundSignificant7(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.6e", v);
  return std::strtod(text, nullptr);
}

// sum_j c_j x^j with running powers.
double SeriesSum(double x) {
  const auto& c = BStarCoefficients();
  double power = 1, sum = 0;
  for (int j = 0; j < kBStarTerms; ++j) {
    sum += c[j] * power;
    power *= x;
  }
  return sum;
}

// B (cm3/mol) at reduced temperature T* for the mixture sigma^3 S3.
double SecondVirial(double S3, double reducedT) {
  return kB0Factor * S3 * ReducedSecondVirial(reducedT);
}

int Fail(Interaction& ui, const std::string& text) {
  ui.Warn(text);
  return kEosFailed;
}

// Kelmost hard-core factor for the co-volume b and mixture eps/k at T and rho.
double KelmostRule(double b, double epsM, double T, double rho) {
  double F = kKelmostF;
  if (b > 0 && epsM > 0 && std::fabs(b * rho - 1) >= 0.001) {
    const double Te = T / (1 - b * rho);
    const double tau = Te / epsM;
    if (tau > 0) F = 1.818671;
    if (tau > 1) {
      const double L = std::log(tau);
      F = 1.818671 + 0.0398168 * L - 0.1192547 * L * L + 0.0554829 * L * L * L -
          0.004662 * L * L * L * L;
    }
  }
  return Finite(F) && F > 0 ? F : kKelmostF;
}

// The hard-core factor of the state itself: F with F = rule(b1/F), b1 the co-volume
// of F = 1.  Taking F from the previous pass instead lets a first pass (F = 1.90012
// where the state has 2.5) find a density above 0.9/b that the state does not have.
// F - rule(b1/F) has a second root close to rho b = 1, where the rule's polynomial
// turns down; the state's factor is the largest root, the one that joins the
// low-density value.  The rule stays below 4.2, so the root lies below that: it is
// bracketed from above (from `start`, the factor of a neighbouring density, when that
// brackets it) and found by regula falsi.  Without a root (only for rho b near 1) the
// result keeps rho b at 0.999.
double KelmostFactor(double b1, double epsM, double T, double rho, double start = 0) {
  if (!(rho > 0) || !(b1 > 0)) return kKelmostF;
  const double least = b1 * rho / 0.999;
  auto h = [&](double F) { return F - KelmostRule(b1 / F, epsM, T, rho); };
  double lo = 0, hi = 0, hLo = 0, hHi = 0;
  bool bracketed = false;
  if (start > least) {
    lo = std::max(start * (1 - 1e-3), least);
    hi = start * (1 + 1e-3);
    hLo = h(lo);
    hHi = h(hi);
    bracketed = hLo <= 0 && hHi > 0;
  }
  if (!bracketed) {
    hi = 4.5;
    hHi = h(hi);
    for (lo = hi - 0.05;; lo -= 0.05) {
      if (lo <= least) return least;
      hLo = h(lo);
      if (hLo <= 0) break;
      hi = lo;
      hHi = hLo;
    }
  }
  int side = 0;
  for (int iteration = 0; iteration < 200 && hi - lo > 1e-13 * hi; ++iteration) {
    double F = (lo * hHi - hi * hLo) / (hHi - hLo);
    if (!(F > lo && F < hi)) F = (lo + hi) / 2;
    const double hF = h(F);
    if (hF == 0) return F;
    if (hF < 0) {
      lo = F;
      hLo = hF;
      if (side == -1) hHi /= 2;
      side = -1;
    } else {
      hi = F;
      hHi = hF;
      if (side == 1) hLo /= 2;
      side = 1;
    }
  }
  return (lo + hi) / 2;
}

// Kelmost pressure (MPa) at molar density rho (mol/cm3) of the EOS species.  The gas
// species outside the EOS (ions, gases without Lennard-Jones data) add their ideal
// part: ideal = n_all/n.
double KelmostPressure(const EosState& eos, double T, double rho, double ideal, double* Bout) {
  const double u = 1 - rho * eos.b;
  const double B = SecondVirial(eos.S3, T / (u * eos.epsM));
  if (Bout) *Bout = B;
  return kEosR * T * rho * (ideal + rho * B / u);
}

// Writes the lines of a Kelmost state denser than the equation allows and warns.
void ReportDensityTooHigh(CalcWorkspace& ws, ReportFile& report, Interaction& ui, double rho,
                          double T, double beta) {
  ws.eos.tooDense = true;
  ui.Warn(kDensityTooHigh);
  report.Line(std::string(10, ' ') + "Kelmost EOS:");
  report.Line(std::string(5, ' ') + "density = " + Fixed(rho, 10, 6) + " mol/cm cub.");
  report.Line(std::string(5, ' ') + "max. available density");
  report.Line(std::string(5, ' ') + "at T = " + Fixed(T, 8, 1) + " K, is " +
              Fixed(0.9 * beta, 8, 6) + " mol/cm cub.");
}

}  // namespace

const std::array<double, kBStarTerms>& BStarCoefficients() {
  static const std::array<double, kBStarTerms> coefficients = [] {
    std::array<double, kBStarTerms> c{};
    double factorial = 1;
    for (int j = 0; j < kBStarTerms; ++j) {
      if (j > 0) factorial *= j;
      const double value =
          -(std::pow(2.0, j + 0.5) / (4 * factorial)) * std::tgamma((2.0 * j - 1) / 4);
      c[j] = RoundSignificant7(value);
    }
    // The established coefficient table carries c_3 with six digits and c_43 as
    // -2.668863E-22 (the series gives -0.4272822 and -2.668893E-22); results are kept
    // identical to those of the table.
    c[3] = -0.427282;
    c[43] = -2.668863E-22;
    return c;
  }();
  return coefficients;
}

double ReducedSecondVirial(double reducedT) {
  return std::pow(reducedT, -0.25) * SeriesSum(1 / std::sqrt(reducedT));
}

LjPair LennardJonesPair(double sigmaI, double sigmaJ, double epsI, double epsJ) {
  LjPair pair;
  const double sum = sigmaI + sigmaJ;
  const double sij = sum / 2;
  pair.sigma3 = sij * sij * sij;
  const double product = epsI * epsJ;
  const double eij = product > 0 ? std::sqrt(product) : 0;
  const double sigmaProduct = sigmaI * sigmaJ;
  double f = 0;
  if (sum > 0 && sigmaProduct > 0) {
    // (2 sqrt(s_i s_j)/(s_i + s_j))^12 = r^6 with r = 4 s_i s_j/(s_i + s_j)^2.
    const double r = 4 * sigmaProduct / (sum * sum);
    const double r3 = r * r * r;
    f = r3 * r3;
  }
  pair.epsFSigma3 = eij * f * pair.sigma3;
  return pair;
}

int SolveEosVolume(const Task& task, CalcWorkspace& ws, ReportFile& report, Interaction& ui,
                   int speciesCount, int code1, int code2) {
  EosState& eos = ws.eos;
  ResultsBlock& res = ws.results;
  const int code = task.Eos();
  if (code != 2 && code != 3) return 0;
  eos.tooDense = false;

  // Gas ordinals and the gas amount.
  int count = 0;
  double n = 0, nAll = 0;
  Array1<int, kMaxEosSpecies> ordinal;
  for (int k = 1; k <= speciesCount; ++k) {
    if (ws.run.Phase(k) == 2) nAll += ws.species.n[k];
    if (ws.species.eosFlag[k] != 2) continue;
    if (count == kMaxEosSpecies)
      return Fail(ui, std::string(kCannotApply) + "too many gas species.");
    ordinal[++count] = k;
    n += ws.species.n[k];
  }
  const double T = res.T, p = res.p;
  if (count == 0 || !(n > 0)) return Fail(ui, std::string(kCannotApply) + "no gas species.");
  if (!(T > 0)) return Fail(ui, std::string(kCannotApply) + "temperature is not positive.");

  const double rhoState = (res.V > 0 && Finite(res.V)) ? n * 1e-6 / res.V : 0;

  // 1. Pair sums; the hard-core terms with F = 1, divided by F below.
  // 2. Pair sums.
  double b = 0, S3 = 0, E3 = 0;
  Array1<double, kMaxEosSpecies> s3, e3, t;
  for (int i = 1; i <= count; ++i) {
    const int ki = ordinal[i];
    const double Ni = ws.species.n[ki];
    const double si = ws.run.sigma[ki], ei = ws.run.epsilon[ki];
    for (int j = 1; j <= count; ++j) {
      const int kj = ordinal[j];
      const double Nj = ws.species.n[kj];
      const double sj = ws.run.sigma[kj], ej = ws.run.epsilon[kj];
      const LjPair pair = LennardJonesPair(si, sj, ei, ej);
      const double sum = si + sj;
      const double hard = sum * sum * sum;
      b += Ni * Nj * hard;
      S3 += Ni * Nj * pair.sigma3;
      E3 += Ni * Nj * pair.epsFSigma3;
      s3[i] += Nj * pair.sigma3;
      e3[i] += Nj * pair.epsFSigma3;
      t[i] += Nj * hard;
    }
  }
  if (!(S3 > 0) || !(E3 > 0) || !(b > 0) || !Finite(S3) || !Finite(E3) || !Finite(b))
    return Fail(ui, std::string(kCannotApply) +
                "Lennard-Jones parameters of the gas species are zero.");

  // 3. Normalisation; the state record takes the new mixture.
  eos.code = code;
  eos.gasCount = count;
  eos.n = n;
  eos.nAll = std::max(nAll, n);
  const double b1 = b / (8 * n * n);
  eos.epsM = E3 / S3;
  eos.S3 = S3 / (n * n);
  eos.E3 = E3 / (n * n);
  eos.C = kCFactor * eos.S3 * eos.S3;
  for (int g = 1; g <= count; ++g) {
    eos.speciesOfOrdinal[g] = ordinal[g];
    eos.s3[g] = s3[g];
    eos.e3[g] = e3[g];
  }
  for (int g = count + 1; g <= kMaxEosSpecies; ++g) {
    eos.speciesOfOrdinal[g] = 0;
    eos.s3[g] = eos.e3[g] = eos.t[g] = 0;
  }
  // The hard-core factor F sets b = b1/F and the per-ordinal sums t.
  auto applyFactor = [&](double F) {
    eos.F = F;
    eos.b = b1 / F;
    eos.beta = 1 / eos.b;
    for (int g = 1; g <= count; ++g) eos.t[g] = t[g] / F;
  };
  const bool volumeAssigned = code1 == kParamV || code2 == kParamV;
  applyFactor(code == 3 && volumeAssigned ? KelmostFactor(b1, eos.epsM, T, rhoState) : kKelmostF);

  // Gas species outside the EOS count as ideal gas in its pressure.
  const double ideal = eos.nAll / n;

  // 5. Kelmost density check.  With the volume assigned the state's density is known
  // and is checked here; otherwise the density follows from p and T, and the volume
  // search below finds whether it lies within the equation's range.
  double rho = rhoState;
  if (code == 3 && volumeAssigned && rho > 0.9 * eos.beta) {
    ReportDensityTooHigh(ws, report, ui, rho, T, eos.beta);
    rho = 0.8 * eos.beta;
    res.V = n * 1e-6 / rho;
    return kEosFailed;
  }

  if (volumeAssigned) {
    if (code == 2) eos.b = 0;
    eos.B = SecondVirial(eos.S3, T / eos.epsM);
    return 0;
  }

  if (code == 2) {
    // Virial: rho^3 + a rho^2 + q rho + r = 0.
    eos.b = 0;
    if (!(p > 0)) return Fail(ui, std::string(kCannotApply) + "pressure is not positive.");
    const double Bstar = ReducedSecondVirial(T / eos.epsM);
    eos.B = kB0Factor * eos.S3 * Bstar;
    const double a = kVirialA * Bstar / eos.S3;
    const double q = ideal * kVirialQ / (eos.S3 * eos.S3);
    const double r = -p * kVirialQ / (eos.S3 * eos.S3 * kEosR * T);
    const double P = q - a * a / 3;
    const double Q = 2 * a * a * a / 27 - a * q / 3 + r;
    const double D = P * P * P / 27 + Q * Q / 4;
    double chosen;
    if (D > 0) {
      const double sd = std::sqrt(D);
      chosen = std::cbrt(-Q / 2 + sd) + std::cbrt(-Q / 2 - sd) - a / 3;
    } else {
      const double s = (Q < 0 ? -1.0 : 1.0) * std::sqrt(std::fabs(P) / 3);
      double roots[3];
      if (s == 0) {
        roots[0] = roots[1] = roots[2] = -a / 3;
      } else {
        double cosArg = Q / (2 * s * s * s);
        if (cosArg > 1) cosArg = 1;
        if (cosArg < -1) cosArg = -1;
        const double phi = std::acos(cosArg);
        roots[0] = -2 * s * std::cos(phi / 3) - a / 3;
        roots[1] = -2 * s * std::cos(phi / 3 + 2.0943951) - a / 3;
        roots[2] = -2 * s * std::cos(phi / 3 + 4.1887902) - a / 3;
      }
      report.Line(std::string(5, ' ') + "Roots:");
      chosen = 1.0e10;
      for (double root : roots) {
        report.Line(std::string(5, ' ') + FormatExp23(root) + " mole/cub.cm");
        if (root > 0 && root < chosen) chosen = root;
      }
      if (chosen < 1.0e10)
        report.Line("Selected value is " + FormatExp23(chosen));
      else
        chosen = 0;
    }
    if (!(chosen > 0) || !Finite(chosen))
      return Fail(ui, std::string(kCannotApply) + "no positive density satisfies the EOS.");
    // Newton steps take the root to full precision (the trigonometric form with its
    // seven-digit constants leaves 1e-5): the gas-law row of the solver is then met
    // exactly by the corrections of this volume.
    for (int step = 0; step < 3; ++step) {
      const double f = ((chosen + a) * chosen + q) * chosen + r;
      const double df = (3 * chosen + 2 * a) * chosen + q;
      if (!(df != 0) || !Finite(f / df)) break;
      const double next = chosen - f / df;
      if (!(next > 0)) break;
      chosen = next;
    }
    res.V = n * 1e-6 / chosen;
    return 0;
  }

  // Kelmost: bisection on p_c(rho) - p over the densities where the equation holds,
  // rho b < 0.9, with b = b1/F(rho) of each density tried.  A pressure above that of
  // the densest of them belongs to a denser state: its density is found the same way
  // up to rho b = 1, where p_c grows without bound, for the message.
  if (!(p > 0)) return Fail(ui, kNoKelmostVolume);
  double B = 0;
  // Pressure at rho with its own factor; +inf beyond `limit` (as rho b).
  auto pressure = [&](double r, double limit, double* Bout) {
    applyFactor(KelmostFactor(b1, eos.epsM, T, r, eos.F));
    if (!(r * eos.b < limit)) return HUGE_VAL;
    return KelmostPressure(eos, T, r, ideal, Bout);
  };
  // Largest density with rho b below `limit`: rho b1/F(rho) grows with rho.
  auto edge = [&](double limit) {
    double lo = 0, hi = limit * 8 / b1;
    for (int iteration = 0; iteration < 200 && (hi - lo) > 1e-13 * hi; ++iteration) {
      const double mid = (lo + hi) / 2;
      applyFactor(KelmostFactor(b1, eos.epsM, T, mid, eos.F));
      if (mid * eos.b < limit)
        lo = mid;
      else
        hi = mid;
    }
    return lo;
  };
  // Root of p_c = p on (0, top); top itself when p_c(top) is still short of p.
  auto root = [&](double top, double limit) {
    double lo = 0, hi = top, r = top / 2, d = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
      d = pressure(r, limit, &B) - p;
      if (d < 0)
        lo = r;
      else
        hi = r;
      if ((hi - lo) <= 1e-13 * hi || std::fabs(d) < 1e-12 * p) break;
      r = (lo + hi) / 2;
    }
    return r;
  };
  const double top = edge(0.9);
  if (!(top > 0)) return Fail(ui, kNoKelmostVolume);
  const double pMax = pressure(top, 1.0, nullptr);
  if (!Finite(pMax)) return Fail(ui, kNoKelmostVolume);
  if (!(pMax > p)) {
    const double dense = root(edge(1.0), 1.0);
    applyFactor(KelmostFactor(b1, eos.epsM, T, dense));
    ReportDensityTooHigh(ws, report, ui, dense, T, eos.beta);
    res.V = n * 1e-6 / (0.8 * eos.beta);
    return kEosFailed;
  }
  rho = root(top, 1.0);
  pressure(rho, 1.0, &B);
  if (!Finite(B)) return Fail(ui, kNoKelmostVolume);
  eos.B = B;
  res.V = n * 1e-6 / rho;
  return 0;
}

double VirialReducedDensity(const CalcWorkspace& ws) {
  const EosState& eos = ws.eos;
  const double gasVolume = ws.results.gasVolume;  // m3/kg
  if (eos.code != 2 || !(eos.S3 > 0) || !(eos.n > 0) || !(gasVolume > 0)) return 0;
  const double rho = eos.n * 1e-6 / gasVolume;  // mol/cm3
  const double b0 = kB0Factor * eos.S3;         // cm3/mol
  const double reduced = b0 * rho;
  return Finite(reduced) ? reduced : 0;
}

int ComputeEosCorrections(const Task& task, CalcWorkspace& ws, int /*speciesCount*/) {
  EosState& eos = ws.eos;
  NonIdealCorrections& cor = ws.corrections;
  const int code = task.Eos();
  const double n = eos.n, T = ws.results.T, h = 1e6 * ws.results.V;
  cor.Gc = cor.Sc = cor.Hc = cor.Uc = cor.G2c = 0;
  for (int g = 1; g <= kMaxEosSpecies; ++g) cor.phi[g] = 0;
  if ((code != 2 && code != 3) || eos.code != code || !(n > 0) || !(eos.S3 > 0) ||
      !(eos.epsM > 0) || !(h > 0) || !(T > 0) || !(eos.beta > 0) || !Finite(eos.beta))
    return kEosFailed;
  const double rho = n / h;
  const double Tr = T / eos.epsM;
  const double u = code == 2 ? 1.0 : 1 - rho * eos.b;
  if (!(u > 0)) return kEosFailed;
  const double A = std::pow(u, 0.25);
  const double Fs = 1 / std::sqrt(Tr);
  const double Es = std::sqrt(u / Tr);
  const double K = std::pow(Tr, -0.25);
  const double B0 = kB0Factor * eos.S3;
  const auto& c = BStarCoefficients();
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
  double H = 1, I = 1;
  for (int j = 0; j < kBStarTerms; ++j) {
    const double nu = (2.0 * j + 1) / 4;
    const double P = I * A - H;
    s0 += c[j] * H;
    s1 += c[j] * nu * H;
    s2 += c[j] * I;
    s3 += c[j] * P / nu;
    s4 -= c[j] * P;
    H *= Fs;
    I *= Es;
  }
  const double B = B0 * K * s0;
  const double M = B0 * K * s1;
  const double Nn = B0 * K * s4;
  const double O = B0 * s2 * std::sqrt(Es) / u;
  const double Pp = B0 * K * s3;
  eos.B = B;
  const double S3 = eos.S3, epsM = eos.epsM, beta = eos.beta;
  const double m = beta / n;

  double Gc, Uc, Sc, Hc, G2c = 0;
  Array1<double, kMaxEosSpecies> phi;
  if (code == 2) {
    const double C = kCFactor * S3 * S3;
    eos.C = C;
    Gc = -rho * (rho * C + B) * n;
    Uc = -kEosRc * T * n * rho * M;
    Sc = (Uc + kEosRc * T * n * rho * (B + rho * C / 2)) / T;
    Hc = Gc * kEosRc * T + Uc;
    const double Bstar0 = K * s0;
    for (int g = 1; g <= eos.gasCount; ++g) {
      const double sp = 2 * eos.s3[g] / (n * n) - 2 * S3 / n;
      const double ep = 2 * eos.e3[g] / (n * n * S3) - 2 * epsM / n - epsM * sp / S3;
      // Minus the residual chemical potential over RT of the gas: the derivative of
      // n^2 B/h + n^3 C/(2 h^2) with respect to its amount (C = 0.36028 S3^2 varies
      // with S3 through s').  The third-virial terms enter with a minus sign and the
      // factor S3; with them the other way round the correction was off by 1.5 C rho^2
      // and more, and dense virial compositions were not in equilibrium with their
      // own pressure.
      phi[g] = n * (-rho * (kSFactor * sp * Bstar0 + M * ep / epsM) - B / h -
                    rho * rho * kCFactor * S3 * sp - rho * C / h) -
               rho * (rho * C / 2 + B);
      eos.s3[g] = kSFactor * (2 * S3 / n + sp);
      eos.e3[g] = ep;
      eos.t[g] = m * (2 - m * eos.t[g] / 4);
    }
  } else {
    const double E3 = eos.E3;
    for (int g = 1; g <= eos.gasCount; ++g) {
      const double sp = 2 * eos.s3[g] / (n * n) - 2 * S3 / n;
      const double epp = 2 * eos.e3[g] / (n * n * S3) - 2 * E3 / (n * S3) - E3 * sp / (S3 * S3);
      const double spp = 2 * S3 / n + sp;
      const double ag = m * (2 - m * eos.t[g] / 4);
      phi[g] = n * beta *
               (Pp * (1 / n + sp / S3 + ag / beta) +
                O * rho * (ag / (beta * beta) - 1 / (n * beta)) - Nn * epp / epsM);
      eos.t[g] = -kKelmostF * spp / (S3 * S3);
      eos.s3[g] = kSFactor * spp;
      eos.e3[g] = epp;
    }
    Uc = -Nn * n * kEosRc * T * beta;
    Hc = Uc - O * rho * kEosRc * T * n;
    Sc = (Uc - Pp * n * kEosRc * T * beta) / T;
    Gc = -rho * O * n;
    G2c = n * kEosRc * (M * beta + 2 * rho * B);
  }
  bool finite = Finite(Gc) && Finite(Uc) && Finite(Sc) && Finite(Hc) && Finite(G2c);
  for (int g = 1; g <= eos.gasCount; ++g) finite = finite && Finite(phi[g]);
  if (!finite) return kEosFailed;
  cor.Gc = Gc;
  cor.Uc = Uc;
  cor.Sc = Sc;
  cor.Hc = Hc;
  cor.G2c = G2c;
  for (int g = 1; g <= eos.gasCount; ++g) cor.phi[g] = phi[g];
  return 0;
}

EosPropertyValues EvaluateEosProperties(const Task& task, const CalcWorkspace& ws) {
  EosPropertyValues out;
  const EosState& eos = ws.eos;
  const int code = task.Eos();
  const double p = ws.results.p, T = ws.results.T, V = ws.results.V, Cp = ws.results.Cp;
  const double n = eos.n, S3 = eos.S3, beta = eos.beta, epsM = eos.epsM;
  if ((code != 2 && code != 3) || !(n > 0) || !(S3 > 0) || !(epsM > 0) || !(beta > 0) || !(T > 0) ||
      !(p > 0) || !(V > 0) || !Finite(beta))
    return out;
  const double R = kEosR;
  const double h = 1e6 * V;
  const double rho = n / h;
  const double Tr = T / epsM;
  const double Fs = 1 / std::sqrt(Tr);
  const double r = kSFactor * S3;
  const double K2 = std::sqrt(Fs) * r;
  const auto& c = BStarCoefficients();

  double Qt = 0, Pv = 0, v = 0, Ev = 0, Bp = 0;
  if (code == 3) {
    const double u = 1 - rho / beta;
    if (!(u > 0)) return out;
    const double d = std::pow(u, 0.25);
    const double Es = std::sqrt(u / Tr);
    double Sa = 0, Sb = 0, Sc = 0, Sd = 0, Se = 0;
    double F = 1, E = 1;
    for (int j = 0; j < kBStarTerms; ++j) {
      const double nu = (2.0 * j + 1) / 4;
      Sa += c[j] * nu * E;
      Sb += c[j] * E;
      Sc += c[j] * (nu - 1) * E;
      Sd -= c[j] * (nu - 1) * (F - d * E);
      Se += c[j] * nu * F;
      F *= Fs;
      E *= Es;
    }
    const double K1 = std::sqrt(Es) * r / u;
    Sa *= K1;
    Sb *= K1;
    Sc *= K1 / u;
    Sd *= K2;
    Se *= K2;
    const double X = Sb - rho * Sc / beta;
    const double Y = -rho * Sa / T;
    const double Zr = -rho * rho * X / n;
    const double W0 = p * h / (R * T * n);
    Qt = R * n * (T * Y + W0);
    Pv = p - R * T * n * Zr;
    v = Qt / Pv;
    const double E1 = R * n * beta * Sd;
    Ev = 0.001 * E1;
    Bp = E1 - R * rho * rho * T * Se * v;
  }
  double sumT = 0, sumNuT = 0, sumNu2T = 0;
  {
    double F = 1;
    for (int j = 0; j < kBStarTerms; ++j) {
      const double nu = (2.0 * j + 1) / 4;
      const double tj = c[j] * F;
      sumT += tj;
      sumNuT += nu * tj;
      sumNu2T += nu * nu * tj;
      F *= Fs;
    }
  }
  const double Sb2 = K2 * sumT;
  const double Sa2 = -K2 * sumNuT;
  if (code == 2) {
    const double Sc2 = K2 * sumNu2T;
    const double C3 = kCFactor * S3 * S3;
    const double W0 = 1 - ws.corrections.Gc / n;
    const double Y = rho * Sa2;
    const double Zr = -rho * (2 * C3 * rho + Sb2) / h;
    Qt = R * n * (W0 + Y);
    Pv = p - R * T * n * Zr;
    v = Qt / Pv;
    const double E1 = -R * n * rho * (Sa2 + Sc2);
    Ev = 0.001 * E1;
    Bp = R * rho * rho * T * Sa2 * v + E1;
  }
  out.CpPrime = Cp + 0.001 * (p * v + Bp - R * n);
  out.Cv = Cp - 0.001 * R * n + Ev;
  out.k = out.CpPrime / out.Cv;
  const double z = Qt / (R * n) - 1;
  if (!Finite(out.CpPrime) || !Finite(out.Cv) || !Finite(out.k) || out.Cv == 0) return out;
  out.valid = true;
  const double Ka = out.k * (Qt / V) / v;
  if (!Finite(Ka) || Ka < 0) return out;
  const double a = 1000 * V * std::sqrt(Ka);
  const double k = 1e-6 * a * a / (p * V);
  if (!Finite(a) || !Finite(k)) return out;
  out.soundValid = true;
  out.a = a;
  out.k = k;
  const double sigmaRho = rho * (Sa2 + Sb2);
  if (z != 0) {
    const double fEta = sigmaRho * (0.761 * z + 0.8 + 1 / z);
    const double fLambda = sigmaRho * (0.755 * z + 1.2 + 1 / z);
    if (Finite(fEta) && fEta > 0) out.fEta = fEta;
    if (Finite(fLambda) && fLambda > 0) out.fLambda = fLambda;
  }
  return out;
}

void ComputeEosProperties(const Task& task, CalcWorkspace& ws) {
  const EosPropertyValues values = EvaluateEosProperties(task, ws);
  // Values that are no heat capacity or exponent (round-off near a singular state)
  // are not taken: the ideal-gas ones stay.
  if (!values.valid || !(values.Cv > 0) || !(values.k > 0)) return;
  ResultsBlock& res = ws.results;
  res.CvFrozen = values.Cv;
  res.kFrozen = values.k;
  if (!values.soundValid || !(values.CpPrime > 0)) return;
  res.aFrozen = values.a;
  res.Cp = values.CpPrime;
  res.viscosity *= values.fEta;
  res.lambdaFrozen *= values.fLambda;
  res.lambdaReacting *= values.fLambda;
}

bool NonIdealEosActive(const Task& task, const CalcWorkspace& ws) {
  const int code = task.Eos();
  const EosState& eos = ws.eos;
  const NonIdealCorrections& cor = ws.corrections;
  return (code == 2 || code == 3) && eos.code == code && eos.epsM > 0 && eos.S3 > 0 && eos.n > 0 &&
         eos.beta > 0 && (cor.Gc != 0 || cor.Uc != 0 || cor.Sc != 0 || cor.Hc != 0);
}

}  // namespace kvil
