#include "thermo/sound.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "task/task.h"
#include "thermo/eos.h"
#include "thermo/linear.h"
#include "thermo/transport.h"

namespace kvil {

namespace {

constexpr double kR = kGasConstantJ;               // J/(mol K)
constexpr double kRc = kGasConstantCal;            // cal/(mol K)
constexpr double kInvRc = kInvGasConstantCal;      // 1/R as used in the derivative rows
constexpr double kRTheta = 1.9871905695884329611;  // R in theta = (H - R T)/(R T^2)
constexpr double kSFactor = 1.2612;
constexpr double kCFactor = 0.36028;
constexpr double kLinearLimit = kMaxUnknowns - 1;  // unknowns of SolveLinearSystem
constexpr double kTakePart = 1.0e-10;
// An equilibrium Cp above this many times the frozen one belongs to a phase-change
// plateau: the true value is unbounded, what the system gives is round-off.
constexpr double kUnboundedCp = 50;

using Vec = Array1<double, kMaxUnknowns>;

// Charge of an ion code: 13, 23, 33, 43 are +1..+4, 14, 24, 34, 44 are -1..-4.
int DecodeCharge(int code) {
  if (code < 13 || code > 44) return 0;
  if (code % 10 == 3) return code / 10;
  if (code % 10 == 4) return -(code / 10);
  return 0;
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

// Everything the two systems and the final sums share.  The tables are written for
// species 1..K (and the atom rows 1..f) by every call before they are read.
struct Layout {
  int E = 0;  // task elements
  int f = 0;  // element rows (plus the charge row with ions)
  int m = 0;  // last unknown
  int K = 0;  // run species
  double T = 0, p = 0, V = 0, h = 0, ng = 0;
  Array1<bool, kMaxRunSpecies> takes;
  Array1<bool, kMaxRunSpecies> fixed;
  Array1<bool, kMaxRunSpecies> gas;
  Array1<int, kMaxRunSpecies> var;      // variable of a taking-part condensed species
  Array1<int, kMaxRunSpecies> ordinal;  // gas ordinal of an EOS flag-2 species (0 none)
  Array1<double, kMaxRunSpecies> theta;
  // a_j of species k: the atoms of the run tables, the decoded charge in the charge row.
  const RunSpeciesTables* run = nullptr;
  Array1<int, kMaxRunSpecies> charge;
  int atoms(int j, int k) const { return j <= E ? run->Atoms(j, k) : charge[k]; }
};

// Non-ideal terms of the systems (first routine of the derivative terms).  For the
// ideal gas T4 = 1 and everything else 0.
struct NonIdealTerms {
  bool active = false;
  int code = 0;
  double T1 = 0, T2 = 0, T3 = 0, T4 = 1, W1 = 0, W2 = 0, thetaE = 0;
  Array1<double, kMaxEosSpecies> Gamma;
  // Sums kept for the second routine.
  double sumB = 0, sumC = 0;                     // virial: Sigma b, Sigma c
  double sumA = 0, sumCk = 0, sumEk = 0, u = 1;  // Kelmost: Sigma_A, Sigma_C, Sigma_E
};

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

NonIdealTerms FirstRoutine(const Task& task, const CalcWorkspace& ws, const Layout& L) {
  NonIdealTerms t;
  if (!NonIdealEosActive(task, ws)) return t;
  const EosState& eos = ws.eos;
  const double n = eos.n, S3 = eos.S3, epsM = eos.epsM, beta = eos.beta;
  const double h = L.h, T = L.T;
  const double rho = n / h;
  const double r = kSFactor * S3;
  const double Fs = 1 / std::sqrt(T / epsM);
  const auto& c = BStarCoefficients();
  NonIdealTerms out;
  out.active = true;
  out.code = eos.code;
  if (eos.code == 2) {
    double sa = 0, sb = 0, sc = 0, F = 1;
    for (int j = 0; j < kBStarTerms; ++j) {
      const double nu = (2.0 * j + 1) / 4;
      sa += c[j] * F;
      sb += nu * c[j] * F;
      sc += nu * nu * c[j] * F;
      F *= Fs;
    }
    const double rootFs = std::sqrt(Fs);
    const double Sa = rootFs * sa, Sb = -rootFs * sb, Sc = rootFs * sc;
    const double v = kCFactor * S3 * S3;
    const double uB = r * Sa;
    const double A = 2 * rho * v + uB;
    out.T1 = r * Sb * rho / T;
    out.T2 = -rho * A / h;
    out.T3 = A / h + rho * (-2 * r * Sa / n) + rho * (2 * r * Sb / n - 4 * rho * v / n);
    out.T4 = 1 - ws.corrections.Gc / n;
    for (int g = 1; g <= eos.gasCount; ++g)
      out.Gamma[g] = rho * (rho * 0.72056 * S3 * eos.s3[g] * 0.792895654932 + Sa * eos.s3[g] -
                            (r * Sb / epsM) * eos.e3[g]);
    out.W1 = (2 * uB + 3 * rho * v) / h;
    out.W2 = -rho * out.W1;
    out.thetaE = 2.5224 * rho * S3 * Sb / T;
    out.sumB = Sb;
    out.sumC = Sc;
  } else {
    const double u = 1 - rho / beta;
    if (!(u > 0)) return t;
    const double d = std::pow(u, 0.25);
    const double Es = std::sqrt(u * epsM / T);
    double sA = 0, sB = 0, sD = 0, sC = 0, sE = 0, F = 1, Ep = 1;
    for (int j = 0; j < kBStarTerms; ++j) {
      const double nu = (2.0 * j + 1) / 4;
      sA += nu * c[j] * Ep;
      sB += c[j] * Ep;
      sD += (nu - 1) * c[j] * Ep;
      sC += c[j] * (F - d * Ep);
      sE += nu * c[j] * (F - d * Ep);
      F *= Fs;
      Ep *= Es;
    }
    const double rootEs = std::sqrt(Es), rootFs = std::sqrt(Fs);
    const double SA = rootEs * sA, SB = rootEs * sB, SD = rootEs * sD;
    const double CB = r * SB / u;
    out.T1 = -r * (rho / u) * SA / T;
    out.T2 = -rho * (CB - rho * r * SD / (u * u * beta)) / h;
    out.T3 =
        CB / h + rho * (-2 * r * SB / (u * n) + r * SD / (u * u * h * beta) - 2 * r * SA / (u * n));
    out.T4 = 1 + rho * CB;
    const double ub = u * beta;
    for (int g = 1; g <= eos.gasCount; ++g)
      out.Gamma[g] = rho * ((SB / u) * eos.s3[g] + (SD * r * rho / (ub * ub)) * eos.t[g] +
                            (r * SA / (u * epsM)) * eos.e3[g]);
    out.sumA = SA;
    out.sumCk = rootFs * sC;
    out.sumEk = rootFs * sE;
    out.u = u;
  }
  bool finite = AllFinite({out.T1, out.T2, out.T3, out.T4, out.W1, out.W2, out.thetaE, out.sumB,
                           out.sumC, out.sumA, out.sumCk, out.sumEk});
  for (int g = 1; g <= eos.gasCount; ++g) finite = finite && std::isfinite(out.Gamma[g]);
  return finite ? out : t;
}

// Non-ideal parts E_p, E_v of the final sums (second routine).
bool SecondRoutine(const CalcWorkspace& ws, const Layout& L, const NonIdealTerms& t, const Vec& Y1,
                   const Vec& Y2, double& Ep, double& Ev) {
  const EosState& eos = ws.eos;
  const double n = eos.n, S3 = eos.S3, epsM = eos.epsM, beta = eos.beta;
  const double T = L.T, h = L.h, rho = n / h;
  const double r = kSFactor * S3;
  const double Rp = kGasConstantCalEos;
  const int m = L.m;
  double dS3[2], deps[2];
  const Vec* Ys[2] = {&Y1, &Y2};
  for (int s = 0; s < 2; ++s) {
    const Vec& Y = *Ys[s];
    const double w = s == 0 ? 1.0 : 0.0;
    double dS = -2 * S3 * Y[1] / n;
    double dE = -2 * epsM * Y[1] / n;
    for (int gl = 1; gl <= eos.gasCount; ++gl) {
      const int l = eos.speciesOfOrdinal[gl];
      if (l < 1 || l > L.K || !L.takes[l]) continue;
      double sum = 0;
      for (int j = 1; j <= L.f; ++j) sum += kInvRc * L.atoms(j, l) * Y[j + 1];
      const double nl = static_cast<float>(ws.species.n[l]);
      const double ql = nl * ((w / h) * Y[m] + (ws.species.H[l] - Rp * T) / (Rp * T * T) +
                              t.W1 * Y[1] + w * t.W2 * Y[m] + t.thetaE + sum);
      for (int gw = 1; gw <= eos.gasCount; ++gw) {
        const int k = eos.speciesOfOrdinal[gw];
        if (k < 1 || k > L.K) continue;
        const LjPair pair = LennardJonesPair(ws.run.sigma[l], ws.run.sigma[k], ws.run.epsilon[l],
                                             ws.run.epsilon[k]);
        dS += (2 / (n * n)) * ql * ws.species.n[k] * pair.sigma3;
        dE += (2 / (n * n * S3)) * ql * ws.species.n[k] * pair.epsFSigma3;
      }
    }
    dS3[s] = dS;
    deps[s] = dE - dS * epsM / S3;
  }
  if (t.code == 2) {
    const double Sb = t.sumB, Sc = t.sumC;
    const double Bn = n * r * Sb, Cn = n * T * Sb, Dn = n * T * r, En = n * T * r * Sb / h;
    double A[2], f[2];
    for (int s = 0; s < 2; ++s) {
      A[s] = 2 * T * r * Sb * (*Ys[s])[1];
      f[s] = (1 / T - deps[s] / epsM) * Sc;
    }
    Ep = (kR / h) * n * (-A[0] - Bn - kSFactor * Cn * dS3[0] - Dn * f[0] + En * Y1[m]);
    Ev = -(kR / h) * n * (A[1] + Bn + kSFactor * Cn * dS3[1] + Dn * f[1]);
  } else {
    const double SA = t.sumA, SC = t.sumCk, SE = t.sumEk, u = t.u;
    const double Bn = n * kR * beta * r, Cn = n * kR * T * r, Dn = n * kR * T * beta;
    const double y[2] = {(Y1[1] - rho * Y1[m]) / h, Y2[1] / h};
    double E[2];
    for (int s = 0; s < 2; ++s) {
      const double As = kR * T * beta * r * (*Ys[s])[1];
      const double q = -1.90012 * dS3[s] / (S3 * S3);
      const double F = (y[s] - rho * q / beta) / beta;
      const double o = kSFactor * dS3[s] * SC + r * (deps[s] / epsM - 1 / T) * SE + F * r * SA / u;
      E[s] = (As + Bn + Cn * q) * SC + Dn * o;
    }
    Ep = E[0];
    Ev = E[1];
  }
  return std::isfinite(Ep) && std::isfinite(Ev);
}

// Assembles the first system (constant p) in ws.linear.augmented.  The second (constant
// V) differs from it only in its last column: its volume terms (weight w = 0) are 0 in
// the rows of the gas amount and the elements, and its entry (m, m) is h (see
// SecondSystemFromFirst).
void AssembleFirstSystem(CalcWorkspace& ws, const Layout& L, const NonIdealTerms& t) {
  auto& A = ws.linear.augmented;
  const int m = L.m, f = L.f;
  const double w = 1.0;
  const double h = L.h, T = L.T;
  for (int r = 1; r <= m; ++r)
    for (int c = 1; c <= m + 1; ++c) A(r, c) = 0;
  const int rhs = m + 1;
  A(1, 1) = -1;
  for (int k = 1; k <= L.K; ++k) {
    if (!L.takes[k]) continue;
    const double n = ws.species.n[k];
    if (L.gas[k]) {
      const double theta = L.theta[k] + t.thetaE;
      // alpha_l n of the element rows (the products formed in the order the entries use).
      double an[kMaxSystemElements + 2];
      for (int l = 1; l <= f; ++l) an[l] = kInvRc * L.atoms(l, k) * n;
      for (int j = 1; j <= f; ++j) A(1, j + 1) += an[j];
      A(1, m) += w * n / h;
      A(1, rhs) -= theta * n;
      A(1, 1) += n * t.W1;
      A(1, m) += w * n * t.W2;
      for (int j = 1; j <= f; ++j) {
        const double aj = L.atoms(j, k);
        if (aj == 0) continue;
        double* row = &A(j + 1, 2);
        for (int l = 1; l <= f; ++l) row[l - 1] += an[l] * aj;
        A(j + 1, m) += w * n * aj / h;
        A(j + 1, rhs) -= theta * n * aj;
        A(j + 1, 1) += n * aj * t.W1;
        A(j + 1, m) += w * n * aj * t.W2;
      }
    } else {
      const int c = L.var[k];
      for (int j = 1; j <= f; ++j)
        if (L.atoms(j, k) != 0) A(j + 1, c) += L.atoms(j, k);
      for (int j = 1; j <= L.E; ++j) A(c, j + 1) += L.atoms(j, k);
      A(c, rhs) -= ws.species.H[k] / (T * T);
    }
  }
  A(m, 1) = -kR * T * (L.ng * t.T3 + t.T4);
  A(m, rhs) = kR * L.ng * t.T4 + kR * T * L.ng * t.T1;
  A(m, m) = L.p - kR * T * L.ng * t.T2;
  if (t.active) {
    for (int k = 1; k <= L.K; ++k) {
      const int g = L.ordinal[k];
      if (!L.takes[k] || !L.gas[k] || g == 0) continue;
      const double nPrime = kR * T * L.ng * ws.species.n[k];
      const double gamma = t.Gamma[g];
      const double theta = L.theta[k] + t.thetaE;
      A(m, 1) -= nPrime * t.W1 * gamma;
      A(m, m) -= nPrime * t.W2 * gamma * w + nPrime * gamma * w / h;
      for (int j = 1; j <= f; ++j) A(m, j + 1) -= kInvRc * L.atoms(j, k) * nPrime * gamma;
      A(m, rhs) += theta * nPrime * gamma;
    }
  }
}

// The second system from the first as assembled: the volume terms of the last column
// are 0 (their weight w is) and (m, m) is h.
void SecondSystemFromFirst(CalcWorkspace& ws, const Layout& L) {
  auto& A = ws.linear.augmented;
  const int m = L.m;
  for (int r = 1; r < m; ++r) A(r, m) = 0;
  A(m, m) = L.h;
}

// Solves the system assembled in ws.linear.augmented into y: an element row without any
// taking-part species decouples its potential.  Returns false when singular (y is then
// zero).
bool SolveAssembledSystem(CalcWorkspace& ws, const Layout& L, Vec& y) {
  auto& A = ws.linear.augmented;
  const int m = L.m, f = L.f, rhs = m + 1;
  for (int j = 1; j <= f; ++j) {
    bool empty = true;
    for (int c = 1; c <= m && empty; ++c) empty = A(j + 1, c) == 0;
    if (empty) {
      A(j + 1, j + 1) = 1;
      A(j + 1, rhs) = 0;
    }
  }
  ws.Y.Fill(0);
  const int status = SolveLinearSystem(ws.linear, ws.Y, m);
  y.Fill(0);
  if (status != 0) return false;
  for (int i = 1; i <= m; ++i) {
    if (!std::isfinite(ws.Y[i])) return false;
    y[i] = ws.Y[i];
  }
  return true;
}

// The two systems, assembled once: the first (constant p) into Y1, the second (constant
// V) into Y2.  False when either is singular.
bool SolveSystems(CalcWorkspace& ws, const Layout& L, const NonIdealTerms& t, Vec& Y1, Vec& Y2) {
  auto& A = ws.linear.augmented;
  const int m = L.m;
  AssembleFirstSystem(ws, L, t);
  double assembled[kMaxUnknowns * (kMaxUnknowns + 1)];
  for (int r = 1; r <= m; ++r)
    for (int c = 1; c <= m + 1; ++c) assembled[(r - 1) * (m + 1) + (c - 1)] = A(r, c);
  if (!SolveAssembledSystem(ws, L, Y1)) {
    Y2.Fill(0);
    return false;
  }
  for (int r = 1; r <= m; ++r)
    for (int c = 1; c <= m + 1; ++c) A(r, c) = assembled[(r - 1) * (m + 1) + (c - 1)];
  SecondSystemFromFirst(ws, L);
  return SolveAssembledSystem(ws, L, Y2);
}

// Reduced system of the gas species at constant p: unknown 1 = d n_gas/dT, then the
// element potentials.  Writes the derivative terms into ws.species.S; returns the
// solution (zero when singular).
Vec ReducedDerivatives(CalcWorkspace& ws, const Layout& L) {
  auto& A = ws.linear.augmented;
  const int size = L.f + 1, rhs = size + 1;
  Vec y;
  if (!(L.ng > 0)) return y;
  for (int r = 1; r <= size; ++r)
    for (int c = 1; c <= rhs; ++c) A(r, c) = 0;
  A(1, 1) = -1;
  const double T = L.T;
  for (int k = 1; k <= L.K; ++k) {
    if (!L.takes[k] || !L.gas[k]) continue;
    const double n = ws.species.n[k];
    const double theta = ws.species.H[k] * kInvRc / (T * T);
    A(1, 1) += n / L.ng;
    for (int j = 1; j <= L.f; ++j) A(1, j + 1) += kInvRc * L.atoms(j, k) * n;
    A(1, rhs) -= theta * n;
    for (int j = 1; j <= L.f; ++j) {
      const double aj = L.atoms(j, k);
      if (aj == 0) continue;
      A(j + 1, 1) += aj * n / L.ng;
      for (int l = 1; l <= L.f; ++l) A(j + 1, l + 1) += aj * kInvRc * L.atoms(l, k) * n;
      A(j + 1, rhs) -= aj * theta * n;
    }
  }
  for (int j = 1; j <= L.f; ++j) {
    bool empty = true;
    for (int c = 1; c <= size && empty; ++c) empty = A(j + 1, c) == 0;
    if (empty) {
      A(j + 1, j + 1) = 1;
      A(j + 1, rhs) = 0;
    }
  }
  ws.Y.Fill(0);
  if (SolveLinearSystem(ws.linear, ws.Y, size) != 0) return y;
  for (int i = 1; i <= size; ++i) {
    if (!std::isfinite(ws.Y[i])) return Vec{};
    y[i] = ws.Y[i];
  }
  for (int k = 1; k <= L.K; ++k) {
    if (!L.takes[k] || !L.gas[k]) continue;
    const double n = ws.species.n[k];
    double term = (y[1] / L.ng + ws.species.H[k] * kInvRc / (T * T)) * n;
    for (int j = 1; j <= L.f; ++j) term += kInvRc * L.atoms(j, k) * n * y[j + 1];
    ws.species.S[k] = term;
  }
  return y;
}

void SetNotComputable(ResultsBlock& res) {
  res.soundSpeed = 1.0;
  res.cpUnbounded = res.cvUnbounded = false;
  res.CpEquilibrium = res.CvEquilibrium = res.kEquilibrium = 0;
}

// Sound speed and exponent of the mixture without reactions (ideal gas, or the
// non-ideal EOS in force).  False when they cannot be formed.
bool FrozenSound(const Task& task, const CalcWorkspace& ws, const Layout& L, ResultsBlock& res) {
  if (NonIdealEosActive(task, ws)) {
    const EosPropertyValues values = EvaluateEosProperties(task, ws);
    if (!values.valid || !values.soundValid || !(values.k > 0)) return false;
    res.kEquilibrium = values.k;
    res.soundSpeed = values.a;
    return true;
  }
  const double Cv = res.Cp - L.ng * kR * 0.001;
  const double k = Cv > 0 ? res.Cp / Cv : 0;
  const double a2 = k * kR * L.T * L.ng;
  if (!(Cv > 0) || !(a2 > 1) || !std::isfinite(a2)) return false;
  res.kEquilibrium = k;
  res.soundSpeed = std::sqrt(a2);
  return true;
}

}  // namespace

void ComputeSoundVelocity(const Task& task, CalcWorkspace& ws, int elementCount, int speciesCount,
                          bool ions, bool transport) {
  ResultsBlock& res = ws.results;
  ws.sound.transportPending = false;
  // The transport properties of the state, now or when CompleteTransportProperties asks.
  auto transportProperties = [&](int count, const Vec& y1, bool reacting) {
    if (transport) {
      ComputeTransportProperties(ws, count, y1, reacting);
      return;
    }
    res.viscosity = res.lambdaFrozen = res.lambdaReacting = 0;
    ws.sound.transportPending = true;
    ws.sound.reacting = reacting;
    ws.sound.y1 = y1;
  };
  const Vec savedX = ws.X, savedY = ws.Y;
  struct Restore {
    CalcWorkspace& ws;
    const Vec& x;
    const Vec& y;
    ~Restore() {
      ws.X = x;
      ws.Y = y;
    }
  } restore{ws, savedX, savedY};

  // The tables (some 14 kB) are kept from call to call: clearing them cost more than the
  // systems they describe.
  static thread_local Layout layout;
  Layout& L = layout;
  L.ng = 0;
  L.m = 0;
  L.run = &ws.run;
  L.E = elementCount;
  L.f = elementCount + (ions ? 1 : 0);
  L.T = res.T;
  L.p = res.p;
  L.V = res.V;
  L.h = 1e6 * res.V;
  const int K = speciesCount;
  L.K = K;
  const Vec zero;
  if (!(L.T > 0) || !(L.p > 0) || !(L.V > 0) || L.E < 0 || L.f > kMaxSystemElements + 1 ||
      K > kMaxRunSpecies) {
    SetNotComputable(res);
    transportProperties(std::min(K, kMaxRunSpecies), zero, false);
    return;
  }

  // Species that take part, variables and per-species terms.
  int condensed = 0;
  for (int k = 1; k <= K; ++k) {
    L.fixed[k] = false;
    for (int i = 1; i <= task.fixedCount && i <= kMaxFixedConcentrations; ++i)
      if (!Trimmed(task.fixed[i].name).empty() &&
          Trimmed(task.fixed[i].name) == Trimmed(ws.run.names[k]))
        L.fixed[k] = true;
    L.gas[k] = ws.run.Phase(k) != 1;
    L.takes[k] = ws.species.n[k] >= kTakePart && !L.fixed[k];
    if (L.gas[k]) L.ng += ws.species.n[k];
    if (ions) L.charge[k] = DecodeCharge(ws.run.Atoms(L.E + 1, k));
    L.theta[k] = (ws.species.H[k] - kRTheta * L.T) * kInvRc / (L.T * L.T);
    L.var[k] = 0;
    L.ordinal[k] = 0;
    if (L.takes[k] && !L.gas[k]) L.var[k] = L.f + 2 + condensed++;
  }
  L.m = L.f + condensed + 2;
  if (L.m > kLinearLimit) {
    SetNotComputable(res);
    transportProperties(K, zero, false);
    return;
  }
  const NonIdealTerms terms = FirstRoutine(task, ws, L);
  if (terms.active)
    for (int g = 1; g <= ws.eos.gasCount; ++g)
      if (ws.eos.speciesOfOrdinal[g] >= 1 && ws.eos.speciesOfOrdinal[g] <= K)
        L.ordinal[ws.eos.speciesOfOrdinal[g]] = g;

  Vec Y1, Y2;
  const bool regular = SolveSystems(ws, L, terms, Y1, Y2);
  const int m = L.m;
  double Ep = 0, Ev = 0;
  bool ok = regular;
  if (ok && terms.active) ok = SecondRoutine(ws, L, terms, Y1, Y2, Ep, Ev);

  if (ok) {
    double Cp = kKJToCal * res.Cp;
    double Cv = 0;
    for (int k = 1; k <= K; ++k) {
      const double ck = L.gas[k] ? ws.species.Cp[k] - kRc : ws.species.Cp[k];
      Cv += ws.species.n[k] * ck;
      ws.species.S[k] = ck;
    }
    for (int k = 1; k <= K; ++k) {
      if (!L.takes[k]) continue;
      const double H = ws.species.H[k];
      if (!L.gas[k]) {
        Cp += Y1[L.var[k]] * H;
        Cv += Y2[L.var[k]] * H;
        continue;
      }
      const double n = ws.species.n[k];
      const double theta = L.theta[k] + terms.thetaE;
      double s1 = 0, s2 = 0;
      for (int j = 1; j <= L.f; ++j) {
        s1 += kInvRc * L.atoms(j, k) * Y1[j + 1];
        s2 += kInvRc * L.atoms(j, k) * Y2[j + 1];
      }
      double d1 = n * (Y1[m] / L.h + theta + s1);
      double d2 = n * (theta + s2);
      if (terms.active) {
        d1 += n * (terms.W1 * Y1[1] + terms.W2 * Y1[m]);
        d2 += n * terms.W1 * Y2[1];
      }
      ws.species.S[k] = d1;
      Cp += d1 * H;
      Cv += (H - kRc * L.T) * d2;
    }
    Cv += kCalPerJ * Ev;
    Cp += kCalPerJ * (L.p * Y1[m] + Ep - kR * L.ng - kR * L.T * Y1[1]);
    const double CpE = Cp * kCalToKJ, CvE = Cv * kCalToKJ;
    // On a phase-change plateau heat goes into the change of phase without raising T,
    // and the equilibrium Cp is unbounded.  A condensed species melting (within the
    // blending band of its transition) leaves the systems regular: T is held, a
    // compression is isothermal and the sound speed comes out as such (k = 1 for the
    // gas); Cp and Cv are unbounded.  A gas in equilibrium with its own condensed
    // phase (a metal boiling) makes the constant-p system singular, and what it gives
    // for Cp is round-off of either sign: the sound speed and exponent are then those
    // of the mixture without reactions, as NASA CEA gives them on such a plateau.
    bool melting = false;
    for (int i = 1; i <= std::min(ws.functions.transitionCount, kMaxTransitionList); ++i) {
      const int k = ws.functions.transitions[i];
      melting = melting || (k >= 1 && k <= K && L.takes[k]);
    }
    const bool singular = !(CpE > 0) || CpE > kUnboundedCp * res.Cp;
    double a2 = 1;
    if (CvE > 0 && CpE > CvE && Y1[m] != 0) {
      a2 = CpE * Y2[m] / (CvE * Y1[m]) * L.h * L.h;
      if (!(a2 >= 0) || !std::isfinite(a2)) a2 = 1;
    }
    double k = CvE > 0 ? CpE / CvE : 0;
    if (terms.active && a2 != 1) k = a2 / (L.p * L.V * 1e6);
    if (singular && CvE > 0 && std::isfinite(CvE) && FrozenSound(task, ws, L, res)) {
      res.cpUnbounded = true;
      res.cvUnbounded = false;
      res.CpEquilibrium = 0;
      res.CvEquilibrium = CvE;
    } else if (!singular && AllFinite({CpE, CvE, k}) && CvE > 0 && k > 0) {
      res.cpUnbounded = res.cvUnbounded = melting;
      res.CpEquilibrium = melting ? 0 : CpE;
      res.CvEquilibrium = melting ? 0 : CvE;
      res.kEquilibrium = k;
      res.soundSpeed = std::sqrt(a2);
    } else {
      SetNotComputable(res);
      for (int i = 1; i <= K; ++i) ws.species.S[i] = 0;
    }
  } else {
    // Fallback: frozen values and derivative terms of the gas species alone.
    for (int k = 1; k <= K; ++k) ws.species.S[k] = 0;
    if (NonIdealEosActive(task, ws)) {
      const EosPropertyValues values = EvaluateEosProperties(task, ws);
      if (values.valid && values.CpPrime > 0 && values.Cv > 0 && values.k > 0) {
        // The non-ideal Cp of the same evaluation, so that Cp and Cv belong together.
        res.CpEquilibrium = values.CpPrime;
        res.CvEquilibrium = values.Cv;
        res.kEquilibrium = values.k;
        res.soundSpeed = values.soundValid ? values.a : 1.0;
      } else {
        SetNotComputable(res);
      }
    } else {
      const double Cv = res.Cp - L.ng * kR * 0.001;
      const double k = Cv > 0 ? res.Cp / Cv : 0;
      const double a2 = k * kR * L.T * L.ng;
      if (!(Cv > 0)) {
        SetNotComputable(res);
        Y1 = ReducedDerivatives(ws, L);
        for (int i = 1; i <= K; ++i)
          if (L.fixed[i]) ws.species.S[i] = 0;
        transportProperties(K, Y1, true);
        return;
      }
      res.CpEquilibrium = res.Cp;
      res.CvEquilibrium = Cv;
      res.kEquilibrium = k;
      res.soundSpeed = (Cv > 0 && a2 > 1 && std::isfinite(a2)) ? std::sqrt(a2) : 1.0;
    }
    Y1 = ReducedDerivatives(ws, L);
  }
  for (int k = 1; k <= K; ++k)
    if (L.fixed[k]) ws.species.S[k] = 0;
  transportProperties(K, Y1, true);
}

void CompleteTransportProperties(CalcWorkspace& ws, int speciesCount) {
  SoundSolution& sound = ws.sound;
  if (!sound.transportPending) return;
  sound.transportPending = false;
  ComputeTransportProperties(ws, std::clamp(speciesCount, 0, kMaxRunSpecies), sound.y1,
                             sound.reacting);
}

}  // namespace kvil
