#include "core/bkw_solve.h"

#include <cmath>

#include "core/session.h"
#include "core/solver.h"
#include "thermo/bkw.h"

namespace kvil {

namespace {

constexpr int kCovolumeSteps = 4;
constexpr int kPathSteps[] = {4, 16};

// What a continued solve starts from.
struct Start {
  Array1<double, kMaxUnknowns> X;
  Array1<double, kMaxRunSpecies> n, lnn;
  ResultsBlock results;
  double u1 = 0, u2 = 0;
  double condensedVolume = 0;
};

Start Save(const CalcWorkspace& ws) {
  return {ws.X, ws.species.n, ws.species.lnn, ws.results, ws.bkw.u1, ws.bkw.u2,
          ws.bkw.condensedVolume};
}

void Restore(CalcWorkspace& ws, const Start& s) {
  ws.X = s.X;
  ws.species.n = s.n;
  ws.species.lnn = s.lnn;
  ws.results = s.results;
  ws.bkw.u1 = s.u1;
  ws.bkw.u2 = s.u2;
  ws.bkw.condensedVolume = s.condensedVolume;
  ws.bkw.unknownsValid = true;
}

// The value of parameter `code` at the state of the workspace (V the whole volume).
double ValueAt(const CalcWorkspace& ws, int code) {
  const ResultsBlock& r = ws.results;
  switch (code) {
    case kParamP:
      return r.p;
    case kParamT:
      return r.T;
    case kParamV:
      return r.V + ws.bkw.condensedVolume;
    case kParamS:
      return r.S;
    case kParamH:
      return r.H;
    default:
      return r.U;
  }
}

// Whole volume (m3/kg) of the BKW gas of the workspace's amounts at p (MPa) and T, with
// its condensed products at their volumes.
double BkwVolume(const CalcWorkspace& ws, double p, double T) {
  const BkwParameters& set = BkwParameterSet(ws.bkw.parameterSet);
  double N = 0, K = 0, vc = 0;
  for (int k = 1; k <= ws.run.count; ++k) {
    const double n = ws.species.n[k];
    if (ws.run.Phase(k) == 2) {
      N += n;
      K += n * ws.bkw.covolume[k];
    } else if (ws.run.Phase(k) == 1 && n > 0) {
      vc += n * 1e-6 *
            EvaluateCondensed(ws.bkw.condensedEos[k], ws.run.molarMass[k], ws.run.sigma[k], p, T).V;
    }
  }
  double lo = std::log(1e-9), hi = std::log(1e6);  // ln V_g, m3/kg
  for (int i = 0; i < 200 && hi - lo > 1e-12; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (EvaluateBkwGas(set, kGasConstantJ, T, std::exp(mid) * 1e6, N, K).p > p)
      lo = mid;
    else
      hi = mid;
  }
  return std::exp(0.5 * (lo + hi)) + vc;
}

}  // namespace

int SolveBkwFromIdealState(Session& session, float value1, int c1, float value2, int c2,
                           int speciesCount, int elementCount) {
  CalcWorkspace& ws = session.ws;
  RunState& st = ws.state;
  const bool ions = session.task.Option(kOptIons);
  const Array1<double, kMaxRunSpecies> covolume = ws.bkw.covolume;
  const bool quiet = st.quietFailure;
  const bool derivatives = ws.derivatives.requested;
  int code = kSolveNoSolution;
  bool told = false;  // the last solve ran with the caller's messages
  auto solve = [&](int a, double va, int b, double vb, bool last) {
    told = told || last;
    st.quietFailure = last ? quiet : true;
    st.quietFailed = false;
    ws.derivatives.requested = last && derivatives;
    code = SolverCodeWord(2, a, b, ions);
    SolveEquilibrium(session, float(va), float(vb), code, speciesCount, elementCount);
    return code == kSolveOk && !st.quietFailed;
  };
  ws.bkw.active = true;
  ws.bkw.unknownsValid = false;

  // 1. The BKW gas at the ideal state's temperature and the volume of the point (for an
  // assigned pressure: the BKW volume at it), the covolumes brought in by steps.
  const double T = ws.results.T;
  double V = ws.results.V + ws.bkw.condensedVolume;
  if (c1 == kParamV || c2 == kParamV)
    V = c1 == kParamV ? value1 : value2;
  else if (c1 == kParamP || c2 == kParamP)
    V = BkwVolume(ws, c1 == kParamP ? value1 : value2, T);
  const bool tvPair = (c1 == kParamT && c2 == kParamV) || (c1 == kParamV && c2 == kParamT);
  bool ok = true;
  for (int step = 1; step <= kCovolumeSteps && ok; ++step) {
    const double scale = double(step) / kCovolumeSteps;
    for (int k = 1; k <= speciesCount; ++k) ws.bkw.covolume[k] = covolume[k] * scale;
    const bool last = tvPair && step == kCovolumeSteps;
    ok = last ? solve(c1, value1, c2, value2, true) : solve(kParamT, T, kParamV, V, false);
  }
  ws.bkw.covolume = covolume;

  // 2. The point itself from there: directly, or along a path of its assigned values.
  if (ok && !tvPair) {
    const Start from = Save(ws);
    const double a0 = ValueAt(ws, c1), b0 = ValueAt(ws, c2);
    ok = solve(c1, value1, c2, value2, false);
    for (int steps : kPathSteps) {
      if (ok) break;
      Restore(ws, from);
      ok = true;
      for (int k = 1; k <= steps && ok; ++k) {
        const double f = double(k) / steps;
        ok = solve(c1, a0 + f * (value1 - a0), c2, b0 + f * (value2 - b0), false);
      }
    }
    // The point once more from its own state, with the caller's messages and derivatives.
    if (ok) ok = solve(c1, value1, c2, value2, true);
  }
  if (!ok && code == kSolveOk) code = kSolveNoSolution;
  ws.bkw.active = false;
  st.quietFailure = quiet;
  ws.derivatives.requested = derivatives;
  // A failure before the last solve has told nothing: the caller does.
  st.quietFailed = !ok && !told;
  return code;
}

}  // namespace kvil
