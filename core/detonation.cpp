#include "core/detonation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/constants.h"
#include "common/numfmt.h"
#include "core/bkw_solve.h"
#include "core/session.h"
#include "core/solver.h"
#include "task/elements.h"
#include "task/formula.h"
#include "thermo/bkw.h"
#include "thermo/bkw_species.h"
#include "thermo/species_catalog.h"
#include "thermo/species_functions.h"

namespace kvil {

namespace {

constexpr double kEndPressure = 0.1;       // MPa, where the isentrope ends
constexpr double kJwlLargestVolume = 10;   // V/V0, end of the JWL fit
constexpr double kHugoniotTolerance = 1e-7;  // relative residual of a Hugoniot point
constexpr double kVolumeTolerance = 1e-5;  // of V/V0 at the CJ point
constexpr int kMaxHugoniotSteps = 40;
constexpr int kMaxBrentSteps = 100;
constexpr double kGolden = 0.3819660112501051;
constexpr double kLowestTemperature = 200;  // K, lowest Hugoniot temperature tried

const char* const kReasonNoEnergy = "the mixture releases no energy";
const char* const kReasonTooDense =
    "the products cannot be compressed to the states of its Hugoniot (the initial density "
    "is at or above their reach)";
const char* const kReasonNoMinimum =
    "its Hugoniot has no point of least detonation velocity";
const char* const kReasonNoHugoniotPoint = "a point of its Hugoniot has no solution";
const char* const kReasonNoState = "no equilibrium state of the products was found";
const char* const kReasonEos =
    "the virial and Kelmost equations of state do not reach the densities of detonation "
    "products; choose the BKW equation of state (or the ideal gas for a gaseous mixture)";
const char* const kReasonBadInput = "the initial state is not a positive, finite one";
const char* const kReasonNoGas = "the products have no gas phase";

// The workspace state of a converged solve, to come back to.
struct Snapshot {
  Array1<double, kMaxUnknowns> X;
  Array1<double, kMaxRunSpecies> n, lnn;
  Array1<float, kMaxRunSpecies> nSingle;
  ResultsBlock results;
  double u1 = 0, u2 = 0, x = 0, F = 1, condensedVolume = 0;
  bool inDomain = true;
  EquilibriumDerivatives derivatives;
};

struct HugoniotPoint {
  bool ok = false;
  int status = kDetonationOk;
  double v = 0, V = 0, T = 0, p = 0, U = 0, D = 0, residual = 0;
};

class Detonation {
 public:
  Detonation(Session& s, const DetonationRequest& request, DetonationFigures& out)
      : s_(s), ws_(s.ws), request_(request), out_(out) {}

  int Run();

 private:
  // ---- Equilibrium states --------------------------------------------------------
  bool Solve(int c1, double v1, int c2, double v2, bool derivatives);
  bool SolveOnce(int mode, int c1, double v1, int c2, double v2);
  double TotalVolume() const {
    return ws_.results.V + (bkw_ ? ws_.bkw.condensedVolume : 0.0);
  }
  Snapshot Save() const;
  void Restore(const Snapshot& snap);

  // ---- Hugoniot and CJ -------------------------------------------------------------
  HugoniotPoint Hugoniot(double v, double guessT);
  bool FindCj(HugoniotPoint& best);
  double D(double v, double p) const {
    const double dv = out_.V0 * (1 - v);
    return dv > 0 && p > out_.p0 ? out_.V0 * std::sqrt((p - out_.p0) * 1e6 / dv) : 0;
  }

  // ---- Isentrope -------------------------------------------------------------------
  void Isentrope();
  bool FrozenAt(double T, double V, double& p, double& S, double& U);
  bool FrozenAtEntropy(double V, double S, double& T, double& p, double& U);
  void FitJwl();

  Session& s_;
  CalcWorkspace& ws_;
  DetonationRequest request_;
  DetonationFigures& out_;
  int K_ = 0, E_ = 0;
  bool ions_ = false;
  bool bkw_ = false;
  bool have_ = false;  // the workspace holds a converged state to continue from
};

// ---- Solves --------------------------------------------------------------------------

// mode 1: fresh, 2: continued from the workspace.  With BKW a fresh solve is the ideal
// gas first and then the BKW terms from its state.
bool Detonation::SolveOnce(int mode, int c1, double v1, int c2, double v2) {
  RunState& st = ws_.state;
  ResetNonIdealCorrections(s_);
  st.frozenComposition = false;
  st.quietFailure = true;
  st.quietFailed = false;
  auto solve = [&](int startMode, bool withBkw, double a, double b) {
    ws_.bkw.active = withBkw;
    int code = SolverCodeWord(startMode, c1, c2, ions_);
    SolveEquilibrium(s_, float(a), float(b), code, K_, E_);
    ws_.bkw.active = false;
    return code == kSolveOk && !st.quietFailed;
  };
  bool ok;
  if (mode == 1 && bkw_) {
    ws_.bkw.unknownsValid = false;
    const bool saveDerivatives = ws_.derivatives.requested;
    ws_.derivatives.requested = false;
    if (c1 == kParamT && c2 == kParamV) {
      // The ideal gas at an assigned volume climbs to its pressure by the solver's
      // steps of 20 %: its composition is found at the pressure of that volume instead
      // (the gas taken as 0.4 mol per mol of atoms), from which the BKW solve starts.
      double atoms = 0;
      for (int j = 1; j <= E_; ++j) atoms += s_.task.elements[j].amount;
      const double p = 0.4 * atoms * kGasConstantJ * v1 / (v2 * 1e6);
      const int save1 = c1, save2 = c2;
      c1 = kParamP;
      c2 = kParamT;
      ok = solve(1, false, p, v1);
      c1 = save1;
      c2 = save2;
    } else {
      ok = solve(1, false, v1, v2);
    }
    ws_.derivatives.requested = saveDerivatives;
    if (ok) {
      const int code = SolveBkwFromIdealState(s_, float(v1), c1, float(v2), c2, K_, E_);
      ok = code == kSolveOk && !st.quietFailed;
    }
  } else {
    ok = solve(mode, bkw_, v1, v2);
  }
  st.quietFailure = false;
  if (ok && bkw_ && !ws_.bkw.inDomain) ok = false;
  return ok && std::isfinite(ws_.results.p) && std::isfinite(ws_.results.T);
}

bool Detonation::Solve(int c1, double v1, int c2, double v2, bool derivatives) {
  ws_.derivatives.requested = derivatives;
  bool ok = false;
  if (have_) ok = SolveOnce(2, c1, v1, c2, v2);
  if (!ok) ok = SolveOnce(1, c1, v1, c2, v2);
  ws_.derivatives.requested = false;
  have_ = ok;
  return ok && (!derivatives || ws_.derivatives.valid);
}

Snapshot Detonation::Save() const {
  Snapshot snap;
  snap.X = ws_.X;
  snap.n = ws_.species.n;
  snap.lnn = ws_.species.lnn;
  snap.nSingle = ws_.species.nSingle;
  snap.results = ws_.results;
  snap.u1 = ws_.bkw.u1;
  snap.u2 = ws_.bkw.u2;
  snap.x = ws_.bkw.x;
  snap.F = ws_.bkw.F;
  snap.condensedVolume = ws_.bkw.condensedVolume;
  snap.inDomain = ws_.bkw.inDomain;
  snap.derivatives = ws_.derivatives;
  return snap;
}

void Detonation::Restore(const Snapshot& snap) {
  ws_.X = snap.X;
  ws_.species.n = snap.n;
  ws_.species.lnn = snap.lnn;
  ws_.species.nSingle = snap.nSingle;
  ws_.results = snap.results;
  ws_.bkw.u1 = snap.u1;
  ws_.bkw.u2 = snap.u2;
  ws_.bkw.x = snap.x;
  ws_.bkw.F = snap.F;
  ws_.bkw.condensedVolume = snap.condensedVolume;
  ws_.bkw.inDomain = snap.inDomain;
  ws_.bkw.unknownsValid = bkw_;
  ws_.derivatives = snap.derivatives;
  have_ = true;
}

// ---- Hugoniot --------------------------------------------------------------------------

// The equilibrium state at V = v V0 on the Hugoniot: Newton's method on T for
// h(T) = U(V, T) - E0 - (p + p0)(V0 - V)/2 with dh/dT = Cv - (V0 - V)/2 (dp/dT)_V, until
// T is settled to the solver's single precision; then the state at (V, U) with U of the
// Hugoniot of the last p, which puts the residual at the precision of U.
HugoniotPoint Detonation::Hugoniot(double v, double guessT) {
  HugoniotPoint h;
  h.v = v;
  h.V = v * out_.V0;
  ++out_.hugoniotPoints;
  const double dv = out_.V0 - h.V;
  auto residualOf = [&](const ResultsBlock& r, double& work) {
    work = 0.5 * (r.p + out_.p0) * dv * 1e3;  // kJ/kg
    return r.U - out_.E0 - work;
  };
  auto take = [&](double residual, double work) {
    const ResultsBlock& r = ws_.results;
    h.T = r.T;
    h.p = r.p;
    h.U = r.U;
    h.residual = std::fabs(residual) / std::max(std::fabs(work), 1e-30);
    return std::fabs(residual) <= kHugoniotTolerance * (std::fabs(work) + std::fabs(out_.E0) + 1);
  };
  double T = guessT;
  bool settled = false;
  for (int step = 0; step < kMaxHugoniotSteps && !settled; ++step) {
    if (!Solve(kParamT, T, kParamV, h.V, true)) {
      h.status = kDetonationNoState;
      return h;
    }
    double work = 0;
    const double residual = residualOf(ws_.results, work);
    const double slope = ws_.derivatives.Cv - 0.5 * dv * 1e3 * ws_.derivatives.dpdT;
    if (take(residual, work)) {
      h.ok = true;
      break;
    }
    if (!(slope > 0)) {
      h.status = kDetonationNoHugoniot;
      return h;
    }
    double next = std::clamp(T - residual / slope, 0.7 * T, 1.4 * T);
    if (next < kLowestTemperature) {
      // The products at the lowest temperature still hold more energy than the mixture
      // releases.
      if (T <= kLowestTemperature * 1.0001) {
        h.status = kDetonationNoEnergy;
        return h;
      }
      next = kLowestTemperature;
    }
    settled = std::fabs(next - T) <= 4 * std::fabs(double(std::nextafter(float(T), 1e30f)) - T);
    T = next;
  }
  for (int polish = 0; !h.ok && settled && polish < 4; ++polish) {
    const double target = out_.E0 + 0.5 * (h.p + out_.p0) * dv * 1e3;
    if (!Solve(kParamV, h.V, kParamU, target, false)) {
      h.status = kDetonationNoState;
      return h;
    }
    double work = 0;
    const double residual = residualOf(ws_.results, work);
    h.ok = take(residual, work) ||
           float(out_.E0 + 0.5 * (ws_.results.p + out_.p0) * dv * 1e3) == float(target);
  }
  if (!h.ok) {
    h.status = kDetonationNoHugoniot;
    return h;
  }
  const double V = TotalVolume();
  h.D = D(V / out_.V0, h.p);
  return h;
}

// Brent's minimisation of D over v = V/V0 after bracketing its minimum.
bool Detonation::FindCj(HugoniotPoint& best) {
  const double start = out_.gaseous ? 0.56 : 0.74;
  double guessT = out_.gaseous ? 3000 : 4000;
  std::vector<HugoniotPoint> tried;
  auto eval = [&](double v, HugoniotPoint& h) {
    h = Hugoniot(v, guessT);
    if (h.ok) guessT = h.T;
    return h.ok;
  };
  // A first point; a state that fails is tried at larger volumes.
  HugoniotPoint a, b, c;
  double va = start;
  bool ok = eval(va, a);
  for (int i = 0; !ok && i < 8; ++i) {
    if (a.status == kDetonationNoEnergy) {
      out_.status = kDetonationNoEnergy;
      out_.reason = kReasonNoEnergy;
      return false;
    }
    va = 1 - (1 - va) * 0.7;
    ok = eval(va, a);
  }
  if (!ok) {
    out_.status = a.status == kDetonationNoEnergy ? kDetonationNoEnergy : kDetonationTooDense;
    out_.reason = out_.status == kDetonationNoEnergy ? kReasonNoEnergy : kReasonTooDense;
    return false;
  }
  // Bracket: walk downhill with growing steps, within (0.05, 1).
  double step = 0.02;
  double vb = std::min(va + step, 0.5 * (va + 1));
  if (!eval(vb, b)) {
    vb = va - step;
    if (!eval(vb, b)) {
      out_.status = kDetonationNoHugoniot;
      out_.reason = kReasonNoHugoniotPoint;
      return false;
    }
  }
  if (b.D > a.D) {
    std::swap(a, b);
    std::swap(va, vb);
  }
  double vc = 0;
  for (int i = 0; i < 60; ++i) {
    step *= 1.6;
    vc = vb + (vb > va ? 1 : -1) * step;
    if (vc >= 1) vc = 0.5 * (vb + 1);
    if (vc <= 0.05) vc = 0.5 * (vb + 0.05);
    if (!eval(vc, c)) {
      out_.status = c.status == kDetonationNoEnergy ? kDetonationNoEnergy : kDetonationNoHugoniot;
      out_.reason = c.status == kDetonationNoEnergy ? kReasonNoEnergy : kReasonNoHugoniotPoint;
      return false;
    }
    if (c.D > b.D) break;
    a = b;
    va = vb;
    b = c;
    vb = vc;
    if (vb > 0.9999 || vb < 0.0501) {
      out_.status = kDetonationNoHugoniot;
      out_.reason = kReasonNoMinimum;
      return false;
    }
  }
  if (!(c.D > b.D)) {
    out_.status = kDetonationNoHugoniot;
    out_.reason = kReasonNoMinimum;
    return false;
  }
  // Brent on [lo, hi] with the inner point b.
  double lo = std::min(va, vc), hi = std::max(va, vc);
  double x = vb, w = vb, vv = vb, fx = b.D, fw = b.D, fv = b.D;
  HugoniotPoint bestPoint = b;
  double d = 0, e = 0;
  for (int iteration = 0; iteration < kMaxBrentSteps; ++iteration) {
    const double mid = 0.5 * (lo + hi);
    const double tol1 = kVolumeTolerance * std::fabs(x) + 1e-12;
    const double tol2 = 2 * tol1;
    if (std::fabs(x - mid) <= tol2 - 0.5 * (hi - lo)) break;
    bool golden = true;
    if (std::fabs(e) > tol1) {
      const double r = (x - w) * (fx - fv);
      double q = (x - vv) * (fx - fw);
      double p = (x - vv) * q - (x - w) * r;
      q = 2 * (q - r);
      if (q > 0) p = -p;
      q = std::fabs(q);
      const double etemp = e;
      e = d;
      if (!(std::fabs(p) >= std::fabs(0.5 * q * etemp) || p <= q * (lo - x) || p >= q * (hi - x))) {
        d = p / q;
        const double u = x + d;
        if (u - lo < tol2 || hi - u < tol2) d = std::copysign(tol1, mid - x);
        golden = false;
      }
    }
    if (golden) {
      e = (x >= mid ? lo : hi) - x;
      d = kGolden * e;
    }
    const double u = std::fabs(d) >= tol1 ? x + d : x + std::copysign(tol1, d);
    HugoniotPoint hu;
    if (!eval(u, hu)) {
      out_.status = kDetonationNoHugoniot;
      out_.reason = kReasonNoHugoniotPoint;
      return false;
    }
    const double fu = hu.D;
    if (fu <= fx) {
      if (u >= x)
        lo = x;
      else
        hi = x;
      vv = w;
      fv = fw;
      w = x;
      fw = fx;
      x = u;
      fx = fu;
      bestPoint = hu;
    } else {
      if (u < x)
        lo = u;
      else
        hi = u;
      if (fu <= fw || w == x) {
        vv = w;
        fv = fw;
        w = u;
        fw = fu;
      } else if (fu <= fv || vv == x || vv == w) {
        vv = u;
        fv = fu;
      }
    }
  }
  best = bestPoint;
  return true;
}

// ---- Frozen expansion ------------------------------------------------------------------

// The mixture of the workspace's amounts at T and the whole volume V (m3/kg): p (MPa),
// S (kJ/(kg K)) and U (kJ/kg), with the gas of the task's equation and condensed
// products under pressure (BKW) or without volume (ideal gas, as in the solver).
bool Detonation::FrozenAt(double T, double V, double& p, double& S, double& U) {
  BeginSpeciesFunctionPass(ws_);
  for (int k = 1; k <= K_; ++k) EvaluateSpeciesFunctions(ws_, k, T);
  const auto& sp = ws_.species;
  const double Rc = kGasConstantCal;
  double N = 0, Kn = 0;
  for (int k = 1; k <= K_; ++k)
    if (ws_.run.Phase(k) == 2) {
      N += sp.n[k];
      Kn += sp.n[k] * ws_.bkw.covolume[k];
    }
  if (!(N > 0)) return false;
  const BkwParameters& set = BkwParameterSet(ws_.bkw.parameterSet);
  auto condensedVolume = [&](double pressure) {
    double v = 0;
    for (int k = 1; k <= K_; ++k)
      if (ws_.run.Phase(k) == 1 && sp.n[k] > 0)
        v += sp.n[k] * 1e-6 *
             EvaluateCondensed(ws_.bkw.condensedEos[k], ws_.run.molarMass[k], ws_.run.sigma[k],
                               pressure, T)
                 .V;
    return v;
  };
  double vg = V;
  BkwGasState g;
  if (bkw_) {
    // V_g + V_c(p(V_g)) = V rises with V_g: bisection on ln V_g.
    double lo = std::log(1e-9 * V), hi = std::log(V);
    for (int i = 0; i < 200 && hi - lo > 1e-13; ++i) {
      const double mid = 0.5 * (lo + hi);
      const BkwGasState gm = EvaluateBkwGas(set, kGasConstantJ, T, std::exp(mid) * 1e6, N, Kn);
      if (std::exp(mid) + condensedVolume(gm.p) > V)
        hi = mid;
      else
        lo = mid;
    }
    vg = std::exp(0.5 * (lo + hi));
    g = EvaluateBkwGas(set, kGasConstantJ, T, vg * 1e6, N, Kn);
    p = g.p;
  } else {
    p = N * kGasConstantJ * T / (vg * 1e6);
  }
  const double lambda = std::log(T * kGasConstantVolAtm / vg);
  double s = 0, u = 0;
  for (int k = 1; k <= K_; ++k) {
    const double n = sp.n[k];
    if (!(n > 0)) continue;
    if (ws_.run.Phase(k) == 2) {
      s += n * (sp.S[k] - Rc * (std::log(n) + lambda));
      u += n * (sp.H[k] - Rc * T);
    } else if (ws_.run.Phase(k) == 1) {
      s += n * sp.S[k];
      u += n * sp.H[k];
      if (bkw_) {
        const CondensedState c = EvaluateCondensed(ws_.bkw.condensedEos[k], ws_.run.molarMass[k],
                                                   ws_.run.sigma[k], p, T);
        s += n * c.S * kJToCal;
        u += n * (c.H - p * c.V) * kJToCal;
      }
    }
  }
  S = s * kCalToKJ + (bkw_ ? g.sRes * 1e-3 : 0.0);
  U = u * kCalToKJ + (bkw_ ? g.uRes * 1e-3 : 0.0);
  return std::isfinite(p) && std::isfinite(S) && std::isfinite(U);
}

// The frozen mixture at the whole volume V and entropy S: T by the secant method.
bool Detonation::FrozenAtEntropy(double V, double S, double& T, double& p, double& U) {
  double t0 = T, s0 = 0, u0 = 0, p0 = 0;
  if (!FrozenAt(t0, V, p0, s0, u0)) return false;
  double t1 = 0.95 * t0, s1 = 0, u1 = 0, p1 = 0;
  for (int i = 0; i < 60; ++i) {
    if (!FrozenAt(t1, V, p1, s1, u1)) return false;
    if (std::fabs(s1 - S) <= 1e-12 * std::fabs(S) + 1e-12 || std::fabs(t1 - t0) <= 1e-10 * t1) {
      T = t1;
      p = p1;
      U = u1;
      return true;
    }
    if (s1 == s0) return false;
    double t2 = t1 + (S - s1) * (t1 - t0) / (s1 - s0);
    t2 = std::clamp(t2, 0.5 * t1, 1.5 * t1);
    t0 = t1;
    s0 = s1;
    t1 = std::max(t2, 1.0);
  }
  return false;
}

// ---- Isentrope and JWL -----------------------------------------------------------------

void Detonation::Isentrope() {
  const double S = out_.SCJ;
  const double V0 = out_.V0;
  // Volumes: 8 % apart up to v = 10, then 50 % apart, with the cylinder volumes and the
  // end of the fit among them.
  std::vector<double> grid;
  auto nearCylinder = [](double v) {
    for (double c : kCylinderVolumes)
      if (std::fabs(v - c) < 0.02 * c) return true;
    return false;
  };
  for (double v = out_.vCJ * 1.08; v < kJwlLargestVolume; v *= 1.08)
    if (!nearCylinder(v)) grid.push_back(v);
  for (double v : kCylinderVolumes) grid.push_back(v);
  grid.push_back(kJwlLargestVolume);
  std::sort(grid.begin(), grid.end());
  grid.erase(std::unique(grid.begin(), grid.end(),
                         [](double a, double b) { return std::fabs(a - b) < 1e-9; }),
             grid.end());
  out_.isentrope.push_back({out_.vCJ, out_.pCJ, out_.TCJ, out_.UCJ, false});

  bool frozen = false;
  double frozenT = 0;
  auto record = [&](double v, double p, double T, double U) {
    out_.isentrope.push_back({v, p, T, U, frozen});
    for (int i = 0; i < 3; ++i)
      if (std::fabs(v - kCylinderVolumes[i]) < 1e-9) {
        out_.energy[i] = out_.E0 - U;
        out_.energyValid[i] = out_.energy[i] > 0;
        out_.gurney[i] = out_.energyValid[i] ? std::sqrt(2000 * out_.energy[i]) : 0;
      }
  };
  size_t i = 0;
  double v = out_.vCJ;
  for (int guard = 0; guard < 400; ++guard) {
    if (i < grid.size()) {
      v = grid[i++];
    } else {
      v *= 1.5;
    }
    if (v <= out_.vCJ) continue;
    double p = 0, T = 0, U = 0;
    if (!frozen) {
      if (!Solve(kParamV, v * V0, kParamS, S, false)) break;
      ++out_.isentropeSolves;
      p = ws_.results.p;
      T = ws_.results.T;
      U = ws_.results.U;
      if (request_.frozenExpansion && T < request_.freezingTemperature) {
        // The composition freezes at the freezing temperature, between this volume and
        // the one before.
        if (!Solve(kParamT, request_.freezingTemperature, kParamS, S, false)) break;
        ++out_.isentropeSolves;
        frozen = true;
        out_.frozenExpansion = true;
        frozenT = ws_.results.T;
        const double vFreeze = TotalVolume() / V0;
        if (vFreeze > out_.vCJ && vFreeze < v)
          out_.isentrope.push_back({vFreeze, ws_.results.p, ws_.results.T, ws_.results.U, true});
        T = frozenT;
        if (!FrozenAtEntropy(v * V0, S, T, p, U)) break;
      }
    } else {
      T = out_.isentrope.back().T;
      if (!FrozenAtEntropy(v * V0, S, T, p, U)) break;
    }
    record(v, p, T, U);
    if (p <= kEndPressure && v >= kCylinderVolumes[2]) break;
  }
}

// Householder least squares of a small dense system: rows x columns (columns <= 3).
bool LeastSquares(std::vector<std::array<double, 4>> rows, int columns, double* solution) {
  const int m = int(rows.size());
  if (m < columns) return false;
  for (int c = 0; c < columns; ++c) {
    double norm = 0;
    for (int r = c; r < m; ++r) norm += rows[r][c] * rows[r][c];
    norm = std::sqrt(norm);
    if (!(norm > 0)) return false;
    const double alpha = rows[c][c] > 0 ? -norm : norm;
    std::vector<double> u(m, 0.0);
    for (int r = c; r < m; ++r) u[r] = rows[r][c];
    u[c] -= alpha;
    double uu = 0;
    for (int r = c; r < m; ++r) uu += u[r] * u[r];
    if (!(uu > 0)) continue;
    for (int k = c; k <= 3; ++k) {
      if (k >= columns && k != 3) continue;
      double dot = 0;
      for (int r = c; r < m; ++r) dot += u[r] * rows[r][k];
      const double f = 2 * dot / uu;
      for (int r = c; r < m; ++r) rows[r][k] -= f * u[r];
    }
  }
  for (int c = columns - 1; c >= 0; --c) {
    double v = rows[c][3];
    for (int k = c + 1; k < columns; ++k) v -= rows[c][k] * solution[k];
    if (!(std::fabs(rows[c][c]) > 0)) return false;
    solution[c] = v / rows[c][c];
  }
  return true;
}

void Detonation::FitJwl() {
  std::vector<std::pair<double, double>> points;  // v, p (GPa)
  for (const IsentropePoint& q : out_.isentrope)
    if (q.v >= out_.vCJ - 1e-12 && q.v <= kJwlLargestVolume + 1e-9 && q.p > 0)
      points.emplace_back(q.v, q.p * 1e-3);
  JwlFit& fit = out_.jwl;
  if (points.size() < 6) return;
  // For given R1, R2, omega the linear constants by least squares of the relative
  // deviation; the nonlinear ones by the downhill simplex.
  struct Trial {
    double r1, r2, w, A, B, C, worst, sum;
    bool ok;
  };
  auto evaluate = [&](double r1, double r2, double w) {
    Trial t{r1, r2, w, 0, 0, 0, 0, 0, false};
    if (!(r1 > r2 + 0.05) || !(r2 > 0.05) || !(w > 0.01) || r1 > 50 || w > 3) return t;
    std::vector<std::array<double, 4>> rows;
    for (const auto& [v, p] : points)
      rows.push_back({std::exp(-r1 * v) / p, std::exp(-r2 * v) / p, std::pow(v, -1 - w) / p, 1.0});
    double x[3];
    if (!LeastSquares(rows, 3, x)) return t;
    t.A = x[0];
    t.B = x[1];
    t.C = x[2];
    for (const auto& [v, p] : points) {
      const double f = t.A * std::exp(-r1 * v) + t.B * std::exp(-r2 * v) + t.C * std::pow(v, -1 - w);
      const double dev = (f - p) / p;
      t.sum += dev * dev;
      t.worst = std::max(t.worst, std::fabs(dev));
    }
    t.ok = std::isfinite(t.sum);
    return t;
  };
  Trial best{0, 0, 0, 0, 0, 0, 0, std::numeric_limits<double>::infinity(), false};
  for (double r1 : {3.0, 4.0, 5.0, 6.0, 8.0})
    for (double r2 : {0.6, 1.0, 1.5, 2.0})
      for (double w : {0.15, 0.3, 0.45}) {
        const Trial t = evaluate(r1, r2, w);
        if (t.ok && t.sum < best.sum) best = t;
      }
  if (!best.ok) return;
  // Nelder-Mead on (R1, R2, omega).
  std::array<std::array<double, 3>, 4> simplex;
  std::array<double, 4> value;
  const std::array<double, 3> start{best.r1, best.r2, best.w};
  for (int i = 0; i < 4; ++i) {
    simplex[i] = start;
    if (i > 0) simplex[i][i - 1] *= 1.15;
  }
  auto cost = [&](const std::array<double, 3>& q) {
    const Trial t = evaluate(q[0], q[1], q[2]);
    return t.ok ? t.sum : std::numeric_limits<double>::infinity();
  };
  for (int i = 0; i < 4; ++i) value[i] = cost(simplex[i]);
  for (int iteration = 0; iteration < 400; ++iteration) {
    std::array<int, 4> order{0, 1, 2, 3};
    std::sort(order.begin(), order.end(), [&](int a, int b) { return value[a] < value[b]; });
    const int lo = order[0], hi = order[3], second = order[2];
    // Settled when the simplex's sums of squares agree to 1e-9 (the deviations to some
    // 1e-5 of themselves).
    if (std::fabs(value[hi] - value[lo]) <= 1e-9 * (std::fabs(value[lo]) + 1e-30)) break;
    std::array<double, 3> centre{0, 0, 0};
    for (int i = 0; i < 4; ++i)
      if (i != hi)
        for (int d = 0; d < 3; ++d) centre[d] += simplex[i][d] / 3;
    auto along = [&](double f) {
      std::array<double, 3> q;
      for (int d = 0; d < 3; ++d) q[d] = centre[d] + f * (simplex[hi][d] - centre[d]);
      return q;
    };
    const auto reflected = along(-1);
    const double fr = cost(reflected);
    if (fr < value[lo]) {
      const auto expanded = along(-2);
      const double fe = cost(expanded);
      if (fe < fr) {
        simplex[hi] = expanded;
        value[hi] = fe;
      } else {
        simplex[hi] = reflected;
        value[hi] = fr;
      }
    } else if (fr < value[second]) {
      simplex[hi] = reflected;
      value[hi] = fr;
    } else {
      const auto contracted = along(0.5);
      const double fc = cost(contracted);
      if (fc < value[hi]) {
        simplex[hi] = contracted;
        value[hi] = fc;
      } else {
        for (int i = 0; i < 4; ++i) {
          if (i == lo) continue;
          for (int d = 0; d < 3; ++d) simplex[i][d] = simplex[lo][d] + 0.5 * (simplex[i][d] - simplex[lo][d]);
          value[i] = cost(simplex[i]);
        }
      }
    }
  }
  int bestIndex = 0;
  for (int i = 1; i < 4; ++i)
    if (value[i] < value[bestIndex]) bestIndex = i;
  const Trial t = evaluate(simplex[bestIndex][0], simplex[bestIndex][1], simplex[bestIndex][2]);
  if (!t.ok) return;
  fit.valid = true;
  fit.A = t.A;
  fit.B = t.B;
  fit.C = t.C;
  fit.R1 = t.r1;
  fit.R2 = t.r2;
  fit.omega = t.w;
  fit.maxDeviation = t.worst;
  fit.points = int(points.size());
  fit.vMin = points.front().first;
  fit.vMax = points.back().first;
  const double v = out_.vCJ;
  const double es = t.A / t.r1 * std::exp(-t.r1 * v) + t.B / t.r2 * std::exp(-t.r2 * v) +
                    t.C / t.w * std::pow(v, -t.w);
  fit.E0 = es - 0.5 * out_.pCJ * 1e-3 * (1 - v);
}

// ---- The calculation ---------------------------------------------------------------------

int Detonation::Run() {
  out_ = DetonationFigures{};
  const Task& task = s_.task;
  K_ = ws_.run.count;
  E_ = task.elementCount;
  ions_ = task.Option(kOptIons);
  const int eos = task.Eos();
  auto fail = [&](int status, const char* reason) {
    out_.status = status;
    out_.reason = reason;
    return status;
  };
  if (eos == 2 || eos == 3) return fail(kDetonationBadInput, kReasonEos);
  bkw_ = eos == kEosBkw;
  if (bkw_ && !ws_.bkw.prepared) PrepareBkwSpecies(s_.task, s_.ws);
  if (K_ <= 0 || E_ <= 0) return fail(kDetonationNoState, kReasonNoState);

  out_.p0 = request_.initialPressure;
  out_.T0 = request_.initialTemperature;
  out_.gaseous = !(request_.initialDensity > 0);
  if (!(out_.p0 > 0) || !std::isfinite(out_.p0)) return fail(kDetonationBadInput, kReasonBadInput);
  if (out_.gaseous) {
    // Ideal-gas density of the components at p0, T0: their amount in mol/kg.
    double moles = 0;
    for (int i = 1; i <= kMaxComponents; ++i) {
      const double w = task.massFractions[i];
      if (!(w > 0) || !(task.massSum > 0)) continue;
      double molarMass = 0;
      for (int j = 1; j <= kMaxFormulaTokens; ++j)
        if (task.tokens[i].index[j] != 0)
          molarMass += double(task.tokens[i].coef[j]) * ElementMass(task.tokens[i].index[j]);
      if (molarMass > 0) moles += 1000.0 * w / (molarMass * task.massSum);
    }
    if (!(out_.T0 > 0) || !std::isfinite(out_.T0) || !(moles > 0))
      return fail(kDetonationBadInput, kReasonBadInput);
    out_.V0 = moles * kGasConstantJ * out_.T0 / (out_.p0 * 1e6);
    out_.rho0 = 1e-3 / out_.V0;
  } else {
    out_.rho0 = request_.initialDensity;
    if (!std::isfinite(out_.rho0) || out_.rho0 > kMaxInitialDensity)
      return fail(kDetonationBadInput, kReasonBadInput);
    out_.V0 = 1e-3 / out_.rho0;
  }
  out_.E0 = double(task.mixtureEnthalpy) - out_.p0 * out_.V0 * 1e3;

  have_ = false;
  ws_.bkw.unknownsValid = false;
  const long long solves0 = ws_.state.solvesTotal, iterations0 = ws_.state.solverIterationsTotal;
  HugoniotPoint cj;
  const bool found = FindCj(cj);
  out_.hugoniotSolves = int(ws_.state.solvesTotal - solves0);
  out_.hugoniotIterations = ws_.state.solverIterationsTotal - iterations0;
  if (!found) return out_.status;

  // The CJ state once more, with its derivatives, kept for the report.
  if (!Solve(kParamV, cj.V, kParamU, cj.U, true)) return fail(kDetonationNoState, kReasonNoState);
  const ResultsBlock& r = ws_.results;
  if (ws_.GasAmount() <= 0) return fail(kDetonationNoState, kReasonNoGas);
  out_.pCJ = r.p;
  out_.TCJ = r.T;
  out_.VCJ = TotalVolume();
  out_.vCJ = out_.VCJ / out_.V0;
  out_.rhoCJ = 1e-3 / out_.VCJ;
  out_.D = D(out_.vCJ, out_.pCJ);
  out_.uCJ = std::sqrt(std::max(0.0, (out_.pCJ - out_.p0) * 1e6 * (out_.V0 - out_.VCJ)));
  out_.cCJ = ws_.derivatives.soundSpeed;
  out_.gammaCJ = out_.rho0 * 1e3 * out_.D * out_.D / (out_.pCJ * 1e6) - 1;
  out_.UCJ = r.U;
  out_.HCJ = r.H;
  out_.SCJ = r.S;
  const double work = 0.5 * (out_.pCJ + out_.p0) * (out_.V0 - out_.VCJ) * 1e3;
  out_.hugoniotResidual = std::fabs(r.U - out_.E0 - work) / work;
  out_.soundCheck = (out_.D - (out_.uCJ + out_.cCJ)) / out_.D;
  for (int k = 1; k <= K_; ++k) out_.composition.emplace_back(ws_.run.names[k], ws_.species.n[k]);
  if (request_.expansion) {
    const Snapshot cjState = Save();
    Isentrope();
    FitJwl();
    Restore(cjState);
  }
  out_.status = kDetonationOk;
  out_.reason.clear();
  return kDetonationOk;
}

}  // namespace

int ComputeDetonation(Session& session, const DetonationRequest& request,
                      DetonationFigures& figures) {
  Detonation d(session, request, figures);
  const int status = d.Run();
  session.ws.bkw.active = false;
  session.ws.derivatives.requested = false;
  session.ws.state.quietFailure = false;
  figures.status = status;
  return status;
}

int DetonationOfTask(Session& session, const DetonationRequest& request,
                     DetonationFigures& figures) {
  Task& task = session.task;
  figures = DetonationFigures{};
  const SpeciesList saved = task.species;
  struct GiveBack {
    Task& task;
    const SpeciesList& list;
    ~GiveBack() { task.species = list; }
  } giveBack{task, saved};
  if (!ComputeElementBalance(session.task, session.database, session.ui, 1) ||
      task.elementCount <= 0) {
    figures.status = kDetonationBadInput;
    figures.reason = "the elements of the mixture are not specified";
    return figures.status;
  }
  if (!PrepareRunSpecies(session.task, session.database, session.ws, session.ui) ||
      task.elementCount <= 0 || session.ws.run.count <= 0) {
    figures.status = kDetonationNoState;
    figures.reason = "no species are selected";
    return figures.status;
  }
  if (task.Eos() == kEosBkw) PrepareBkwSpecies(session.task, session.ws);
  return ComputeDetonation(session, request, figures);
}

}  // namespace kvil
