#include "core/rocket.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/constants.h"
#include "common/numfmt.h"
#include "core/session.h"
#include "core/solver.h"
#include "results/report.h"
#include "results/table_file.h"
#include "thermo/sound.h"

namespace kvil {

namespace {

constexpr int kIdealGasEos = 1;
constexpr char kThroatFailed[] = "Throat parameters cannot be calculated";
constexpr char kFrozenFailed[] = "Frozen parameters cannot be calculated !";
constexpr double kThroatSoundTolerance = 0.5;  // m/s, |a2 - a1| of the secant
// The secant normally converges in a handful of steps; a state that keeps moving
// after this many is treated as a throat that cannot be found.
constexpr int kMaxThroatSteps = 50;
constexpr int kMaxExpansionSteps = 10;
constexpr double kExpansionTolerance = 4e-5;  // |delta ln p| of the exit pressure
constexpr double kSmallestAreaRatio = 1.0001;
constexpr int kMaxFrozenSteps = 50;
constexpr double kFrozenTemperatureTolerance = 1e-6;  // relative change of T

class DefaultModel : public RocketStateModel {
 public:
  int Solve(Session& s, float value1, float value2, int& code) override {
    return SolveEquilibrium(s, value1, value2, code, s.ws.run.count, s.task.elementCount);
  }
  // The searches need the sound velocity of every iterate; the transport properties
  // only of the state they settle on.
  void SoundVelocity(Session& s) override {
    ComputeSoundVelocity(s.task, s.ws, s.task.elementCount, s.ws.run.count, s.task.Option(kOptIons), false);
  }
  void TransportProperties(Session& s) override {
    CompleteTransportProperties(s.ws, s.ws.run.count);
  }
};

DefaultModel g_defaultModel;
RocketStateModel* g_model = &g_defaultModel;

int CodeWord(const Session& s, int startMode, int c1, int c2) {
  return SolverCodeWord(startMode, c1, c2, s.task.Option(kOptIons));
}

// The state of the workspace as a start of a later solve.
void KeepState(const Session& s, PointStart& start) {
  start.X = s.ws.X;
  start.n = s.ws.species.n;
  start.lnn = s.ws.species.lnn;
  start.value1 = s.ws.state.chamberP;  // the chamber pressure it belongs to
  start.value2 = 0;
  start.valid = true;
}

void TakeState(Session& s, const PointStart& start) {
  s.ws.X = start.X;
  s.ws.species.n = start.n;
  s.ws.species.lnn = start.lnn;
}

// The first solve of a search (throat, exit at an area ratio) starts from the state the
// same search settled on at the chamber point before, when there is one: of the states
// known it lies closest (the chamber state the throat would start from is some 100 K
// hotter; the throat the exit would start from, at a pressure thirty times higher).
// When that start does not converge, the solve is repeated, without a message, from the
// state the workspace held.  Solving every point from scratch (--fresh-start) keeps the
// workspace's state.
//
// With the same search at the two chamber points before, the start is moved on along the
// line of chamber pressures (in ln p_ch) by the change between them, as the points of a
// value list are (core/run.cpp); with one, it is moved to this chamber pressure: p and
// lambda = ln(Rv T/V) by the pressure ratio (an unknown p otherwise approaches it by
// steps of 20 %).
int SolveFromKnownState(Session& s, const PointStart& start, const PointStart& before,
                        float value1, float value2, int& code) {
  auto& st = s.ws.state;
  if (!start.valid || s.settings.freshStart || st.frozenComposition)
    return g_model->Solve(s, value1, value2, code);
  const int word = code;
  PointStart held;
  KeepState(s, held);
  TakeState(s, start);
  double f = 0;
  if (before.valid && before.value1 > 0 && start.value1 > 0 && st.chamberP > 0 &&
      before.value1 != start.value1)
    f = std::log(double(st.chamberP) / start.value1) /
        std::log(double(start.value1) / before.value1);
  auto& X = s.ws.X;
  if (f > 0 && f <= 2) {
    auto move = [f](double x0, double x1) { return x1 + f * (x1 - x0); };
    const int E = s.task.elementCount + (s.task.Option(kOptIons) ? 1 : 0);
    X[1] = std::exp(move(std::log(before.X[1]), std::log(start.X[1])));
    for (int i = 2; i <= E + 6 && i <= kMaxUnknowns; ++i) X[i] = move(before.X[i], start.X[i]);
    auto& sp = s.ws.species;
    int q = 0;
    for (int k = 1; k <= s.ws.run.count; ++k) {
      if (s.ws.run.Phase(k) == 2) {
        sp.lnn[k] = std::clamp(move(before.lnn[k], start.lnn[k]), -50.0, 10.0);
        sp.n[k] = std::exp(sp.lnn[k]);
      } else if (s.ws.run.Phase(k) == 1) {
        const int i = E + 6 + ++q;
        constexpr double kPresent = -10.0;
        if (i > kMaxUnknowns || before.X[i] < kPresent || start.X[i] < kPresent) continue;
        X[i] = std::clamp(move(before.X[i], start.X[i]), -50.0, 5.0);
        sp.lnn[k] = X[i];
        sp.n[k] = std::exp(X[i]);
      }
    }
  } else if (start.value1 > 0 && st.chamberP > 0) {
    const double ratio = double(st.chamberP) / double(start.value1);
    X[1] *= ratio;
    X[3] += std::log(ratio);
  }
  st.quietFailure = true;
  st.quietFailed = false;
  int status = g_model->Solve(s, value1, value2, code);
  st.quietFailure = false;
  if (status != 0 && (status == kSolveNotConverged || st.quietFailed)) {
    TakeState(s, held);
    code = word;
    status = g_model->Solve(s, value1, value2, code);
  }
  st.quietFailed = false;
  return status;
}


// Appends the current point to the results table with the given kind; the previous
// kind of the run is kept.
void AppendRow(Session& s, int componentCount, int kind) {
  const int previous = s.ws.state.rowKind;
  s.ws.state.rowKind = kind;
  const bool ok = AppendResultsRecord(s.task, s.ws, s.table, s.TablePath(), componentCount);
  s.ws.state.rowKind = previous;
  if (!ok) throw std::runtime_error(ResultsTableWriteError(s.table, s.TablePath()));
}

// Amounts of a frozen composition, kept while an equilibrium state (the throat) is
// computed in between, so that the expansion goes on with the freezing-point
// composition and not with the throat's.
struct SavedAmounts {
  Array1<double, kMaxRunSpecies> n, lnn;
  Array1<float, kMaxRunSpecies> nSingle;

  void Take(const Session& s) {
    n = s.ws.species.n;
    lnn = s.ws.species.lnn;
    nSingle = s.ws.species.nSingle;
  }
  void Give(Session& s) const {
    s.ws.species.n = n;
    s.ws.species.lnn = lnn;
    s.ws.species.nSingle = nSingle;
  }
};

// Remembers the FrozenComposition flag and the EOS kind, sets the EOS kind to ideal
// gas (and clears the flag when `clearFrozen`) and puts both back when it goes out of
// scope.  DropFrozen makes the flag come back cleared: a "proceed with equilibrium
// expansion" answer holds for the rest of the chamber point.
class IdealGasScope {
 public:
  IdealGasScope(Session& s, bool clearFrozen)
      : s_(s), frozen_(s.ws.state.frozenComposition), eos_(s.task.options[kOptEos]) {
    if (clearFrozen) s.ws.state.frozenComposition = false;
    s.task.options[kOptEos] = kIdealGasEos;
  }
  ~IdealGasScope() {
    s_.ws.state.frozenComposition = frozen_;
    s_.task.options[kOptEos] = eos_;
  }
  IdealGasScope(const IdealGasScope&) = delete;
  IdealGasScope& operator=(const IdealGasScope&) = delete;
  void DropFrozen() { frozen_ = false; }

 private:
  Session& s_;
  bool frozen_;
  std::uint8_t eos_;
};

// Throat of the current chamber point when the expansion needs it and ws.state has
// none.  The secant starts from the chamber's enthalpy and sound velocity, so when the
// workspace holds another state (a previous expansion point, the freezing state) the
// chamber is solved again at (p_ch, H_ch) first.  A frozen composition survives the
// computation.
int ThroatForExpansion(Session& s, int componentCount, int& code, double chamberEntropy) {
  auto& ws = s.ws;
  const bool frozen = ws.state.frozenComposition;
  SavedAmounts saved;
  if (frozen) saved.Take(s);
  const bool atChamber = static_cast<float>(ws.results.p) == ws.state.chamberP &&
                         static_cast<float>(ws.results.H) == ws.state.chamberH;
  int status = 0;
  if (atChamber && !(ws.results.soundSpeed >= 1.0) && ws.state.gasPresent) {
    // The chamber point without its sound velocity (the task does not print it).
    g_model->SoundVelocity(s);
  } else if (!atChamber && ws.state.gasPresent) {
    IdealGasScope scope(s, true);
    ResetNonIdealCorrections(s);
    code = CodeWord(s, 2, kParamP, kParamH);
    status = g_model->Solve(s, ws.state.chamberP, ws.state.chamberH, code);
    if (status == 0) g_model->SoundVelocity(s);
  }
  if (status == 0) status = ComputeThroat(s, componentCount, code, chamberEntropy);
  if (frozen) saved.Give(s);
  return status;
}

}  // namespace

void SetRocketStateModel(RocketStateModel* model) {
  g_model = model != nullptr ? model : &g_defaultModel;
}

int ComputeThroat(Session& s, int componentCount, int& code, double chamberEntropy) {
  auto& ws = s.ws;
  auto& st = ws.state;
  auto& r = ws.results;
  if (!st.gasPresent || !(r.soundSpeed >= 1.0)) {
    s.ui.Error(kThroatFailed);
    code = kSolveNoSolution;
    return kSolveNoSolution;
  }
  ResetNonIdealCorrections(s);
  // The throat is an equilibrium state: a frozen composition is put back afterwards,
  // amounts included.
  SavedAmounts saved;
  const bool wasFrozen = st.frozenComposition;
  if (wasFrozen) saved.Take(s);
  IdealGasScope scope(s, true);
  auto finish = [&](int status) {
    if (wasFrozen) saved.Give(s);
    code = status;
    return status;
  };

  const double Hch = st.chamberH;
  const float S = static_cast<float>(chamberEntropy);
  double H1 = Hch;
  double a1 = r.soundSpeed;
  double H2 = Hch - 0.454 * a1 * a1 * 0.001;
  code = CodeWord(s, 2, kParamS, kParamH);
  int status =
      SolveFromKnownState(s, ws.throatStart, ws.throatBefore, S, static_cast<float>(H2), code);
  if (status != 0) return finish(status);
  g_model->SoundVelocity(s);
  double a2 = r.soundSpeed;

  for (int step = 0;; ++step) {
    if (!(a2 >= 1.0) || std::fabs(H1 - H2) < 1e-30 || step >= kMaxThroatSteps) {
      s.ui.Error(kThroatFailed);
      return finish(kSolveNoSolution);
    }
    // a^2 taken as a linear function of H through the last two states:
    // a^2 = rr + 1000*ss*H; the throat is where 2000 (H_ch - H) equals it.
    const double slope = (a1 * a1 - a2 * a2) / (H1 - H2);
    const double rr = a1 * a1 - slope * H1;
    const double ss = slope / 1000.0;
    H1 = H2;
    a1 = a2;
    H2 = (2000.0 * Hch - rr) / ((ss + 2.0) * 1000.0);
    if (!std::isfinite(H2)) {
      s.ui.Error(kThroatFailed);
      return finish(kSolveNoSolution);
    }
    s.ui.SetProgressPosition(0);
    code = CodeWord(s, 2, kParamS, kParamH);
    status = g_model->Solve(s, S, static_cast<float>(H2), code);
    if (status != 0) return finish(status);
    g_model->SoundVelocity(s);
    a2 = r.soundSpeed;
    if (std::fabs(a2 - a1) <= kThroatSoundTolerance) break;
  }

  // A "throat" with no enthalpy drop has no flow through it.
  if (!(Hch - H2 > 0)) {
    s.ui.Error(kThroatFailed);
    return finish(kSolveNoSolution);
  }
  s.report.Line();
  s.report.Line(std::string(25, ' ') + "Throat conditions");
  s.report.Line();
  ws.throatBefore = ws.throatStart;
  KeepState(s, ws.throatStart);
  st.throatAreaPerFlow = static_cast<float>(r.V / std::sqrt((Hch - H2) * 2000.0));
  st.throatP = static_cast<float>(r.p);
  st.throatK = static_cast<float>(r.kEquilibrium);
  st.expansionFlag = true;
  st.throatFlag = true;
  r.gasVolume = r.V;
  g_model->TransportProperties(s);
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, ws.run.count, S, kParamS, static_cast<float>(H2),
                   kParamH);
  try {
    AppendRow(s, componentCount, 1);
  } catch (...) {
    st.expansionFlag = false;
    st.throatFlag = false;
    if (wasFrozen) saved.Give(s);
    throw;
  }
  st.expansionFlag = false;
  st.throatFlag = false;
  return finish(0);
}

int ExpandToAreaRatio(Session& s, int componentCount, int& code, double freezeP, double areaRatio,
                      double chamberEntropy) {
  auto& ws = s.ws;
  auto& st = ws.state;
  auto& r = ws.results;
  if (!st.gasPresent) {
    s.ui.Error("Gas phase is absent. Expansion parameters cannot be calculated");
    code = kSolveNoSolution;
    return kSolveNoSolution;
  }
  const bool keepThroat = s.task.Option(kOptThroat);
  auto throatMissing = [&] { return !(st.throatAreaPerFlow > 0) || !(st.throatP > 0); };
  if (throatMissing()) {
    const int status = ThroatForExpansion(s, componentCount, code, chamberEntropy);
    if (throatMissing()) {
      code = status != 0 ? status : kSolveNoSolution;
      return code;
    }
  }
  // From here on every exit forgets the throat unless the task keeps it.
  struct ThroatReset {
    RunState& st;
    bool keep;
    ~ThroatReset() {
      if (!keep) st.throatAreaPerFlow = 0;
    }
  } throatReset{st, keepThroat};

  if (!(areaRatio >= kSmallestAreaRatio)) {
    s.ui.Error("F(a)/F(throat) < 1.0001\nExpansion parameters cannot be calculated");
    code = kSolveNoSolution;
    return kSolveNoSolution;
  }

  IdealGasScope scope(s, false);
  ResetNonIdealCorrections(s);
  const double pch = st.chamberP;
  const double Hch = st.chamberH;
  const double At = st.throatAreaPerFlow;
  const double lnEps = std::log(areaRatio);
  const float S = static_cast<float>(chamberEntropy);

  double L = areaRatio >= 2.0
                 ? 1.4 * lnEps + st.throatK
                 : std::log(pch / st.throatP) + std::sqrt(1.535 * lnEps + 3.924 * lnEps * lnEps);
  double pe = pch / std::exp(L);
  // The exit of this area ratio (the expansion value in hand) at the chamber point before.
  const bool indexed = st.index3 >= 1 && st.index3 <= kMaxListValues;
  PointStart* exitStart = indexed ? &ws.exitStart[st.index3] : nullptr;
  PointStart* exitBefore = indexed ? &ws.exitBefore[st.index3] : nullptr;

  for (int step = 0; step < kMaxExpansionSteps; ++step) {
    if (st.frozenComposition && freezeP < pe) {
      if (!AskEquilibriumExpansion(s, false, freezeP, pe)) {
        code = kSolveNoSolution;
        return kSolveNoSolution;
      }
      st.frozenComposition = false;
      scope.DropFrozen();
    }
    const bool frozen = st.frozenComposition;
    int status;
    if (frozen) {
      // The amounts are held: the state is fixed by T alone.
      status = SolveFrozenAtEntropy(s, S, kParamP, static_cast<float>(pe), code);
    } else {
      code = CodeWord(s, 2, kParamS, kParamP);
      status = step == 0 && exitStart
                   ? SolveFromKnownState(s, *exitStart, *exitBefore, S, float(pe), code)
                   : g_model->Solve(s, S, static_cast<float>(pe), code);
    }
    if (status != 0) return status;

    double a = 0, k = 0;
    const double w2 = (Hch - r.H) * 2000.0;
    const double w = std::sqrt(w2);
    if (!frozen) {
      g_model->SoundVelocity(s);
      a = r.soundSpeed;
      k = r.kEquilibrium;
    } else {
      const double nGas = s.ws.GasAmount();
      const double Cv = r.Cp - nGas * kGasConstantJ * 0.001;
      k = r.Cp / Cv;
      a = 1000.0 * std::sqrt(k * r.p * r.V);
      r.CvFrozen = Cv;
      r.kFrozen = k;
      r.aFrozen = a;
    }
    const double m = k * w2 / (w2 - a * a);
    const double epsNow = r.V / (w * At);
    const double Lnew = L + (lnEps - std::log(epsNow)) * m;
    const double pnew = pch / std::exp(Lnew);
    // A state without flow (H above the chamber's) or a step that leaves the range of
    // numbers cannot lead anywhere: counted as not converging.
    if (!(w2 > 0) || !std::isfinite(Lnew) || !(pnew > 0)) break;
    if (std::fabs(std::log(pch / pe) - std::log(pch / pnew)) <= kExpansionTolerance) {
      const bool previousFrozenFlag = st.frozenFlag;
      st.expansionFlag = true;
      st.frozenFlag = frozen;
      r.gasVolume = r.V;
      if (!frozen) {
        g_model->TransportProperties(s);
        if (exitStart) {
          *exitBefore = *exitStart;
          KeepState(s, *exitStart);
        }
      }
      WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, ws.run.count, S, kParamS,
                       static_cast<float>(areaRatio), kParamAreaRatio);
      st.frozenFlag = previousFrozenFlag;
      AppendRow(s, componentCount, 2);
      code = 0;
      return 0;
    }
    L = Lnew;
    pe = pnew;
  }

  s.report.Line();
  s.report.Line(std::string(5, ' ') + "F(a)/F(throat) = " + Fixed(areaRatio, 12, 4));
  s.report.Line(std::string(5, ' ') + "Expansion parameters cannot be calculated");
  s.report.Line();
  code = kSolveNotConverged;
  return kSolveNotConverged;
}

int SolveFrozenAtEntropy(Session& s, double entropy, int code2, double value, int& code) {
  auto& r = s.ws.results;
  double T = r.T > 1.0 ? r.T : 2000.0;
  for (int step = 0; step < kMaxFrozenSteps; ++step) {
    code = CodeWord(s, 2, kParamT, code2);
    // Results p and V are where the frozen evaluation reads the value it does not get.
    if (code2 == kParamP)
      r.p = value;
    else
      r.V = value;
    r.T = T;
    const int status = g_model->Solve(s, static_cast<float>(T), static_cast<float>(value), code);
    if (status != 0) return status;
    double c = r.Cp;  // kJ/(kg*K), at fixed composition
    if (code2 == kParamV) c -= s.ws.GasAmount() * kGasConstantJ * 0.001;
    if (!(c > 0)) break;
    double dT = (entropy - r.S) * r.T / c;
    dT = std::clamp(dT, -0.5 * T, 0.5 * T);
    if (std::fabs(dT) <= kFrozenTemperatureTolerance * T) {
      code = 0;
      return 0;
    }
    T += dT;
  }
  code = kSolveNotConverged;
  return kSolveNotConverged;
}

int SolveFreezingState(Session& s, int startMode, int& code, double chamberEntropy) {
  auto& ws = s.ws;
  code = CodeWord(s, startMode, kParamT, kParamS);
  ResetNonIdealCorrections(s);
  ws.results.soundSpeed = 0;
  const int status =
      g_model->Solve(s, s.settings.record.freezingT, static_cast<float>(chamberEntropy), code);
  if (status != 0) {
    s.ui.Info(kFrozenFailed);
    return status;
  }
  ws.state.freezeP = ws.results.p;
  ws.state.freezeV = ws.results.V;
  ws.state.frozenComposition = true;
  return 0;
}

bool AskEquilibriumExpansion(Session& s, bool volume, double frozenValue, double expansionValue) {
  const std::string f = FormatPicture(frozenValue, "0.#####");
  const std::string e = FormatPicture(expansionValue, "0.#####");
  const std::string text =
      volume
          ? "Frozen volume (" + f + " cub.m/kg) is more than\nexpansion volume (" + e +
                " cub.m/kg).\n"
          : "Frozen pressure (" + f + " MPa) is less than\nexpansion pressure (" + e + " MPa).\n";
  return s.ui.AskYesNo(MessageKind::Information, text +
                                                     "Frozen calculation has no sense.\n"
                                                     "Proceed with equilibrium expansion?");
}

int ComputeFrozenState(Session& s, int c1, int c2, int& code, float value2, float value1) {
  auto& ws = s.ws;
  auto& r = ws.results;
  struct ClearFrozen {
    RunState& st;
    ~ClearFrozen() { st.frozenComposition = false; }
  } clearFrozen{ws.state};
  auto fail = [&](int status) {
    s.ui.Info(kFrozenFailed);
    code = status;
    return status;
  };

  r.soundSpeed = 0;
  ResetNonIdealCorrections(s);
  // First the equilibrium at the freezing point: the temperature parameter is
  // replaced by it.
  float v1 = value1, v2 = value2;
  if (c1 != kParamT) {
    v2 = s.settings.record.freezingT;
  } else {
    v1 = s.settings.record.freezingT;
  }
  code = CodeWord(s, 1, c1, c2);
  int status = g_model->Solve(s, v1, v2, code);
  if (status != 0) return fail(status);

  // Then that composition, held fixed, at the assigned values.
  ws.state.frozenComposition = true;
  const double nGas = s.ws.GasAmount();
  code = CodeWord(s, 2, c1, c2);
  bool pAssigned = false, vAssigned = false;
  for (const auto& [c, v] : {std::pair{c1, value1}, std::pair{c2, value2}}) {
    switch (c) {
      case kParamP:
        r.p = v;
        pAssigned = true;
        break;
      case kParamT:
        r.T = v;
        break;
      case kParamV:
        r.V = v;
        vAssigned = true;
        break;
      default:
        return fail(kSolveNoSolution);
    }
  }
  const double nRT = r.T * kGasConstantJ * nGas * 1e-6;  // MPa*m3/kg
  if (!pAssigned) {
    if (!(r.V > 0)) return fail(kSolveNoSolution);
    r.p = nRT / r.V;
  }
  if (!vAssigned) {
    if (!(r.p > 0)) return fail(kSolveNoSolution);
    r.V = nRT / r.p;
  }
  status = g_model->Solve(s, value1, value2, code);
  if (status != 0) return fail(status);
  if (!vAssigned) r.V = r.T * kGasConstantJ * nGas * 1e-6 / r.p;
  r.gasVolume = r.V;
  WritePointReport({s.task, s.settings, s.ws, s.report, s.ui}, s.task.elementCount, ws.run.count,
                   value1, c1, value2, c2);
  code = 0;
  return 0;
}

}  // namespace kvil
