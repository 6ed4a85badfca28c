#include "core/run.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "common/binio.h"
#include "common/constants.h"
#include "common/interaction.h"
#include "common/numfmt.h"
#include "core/bkw_solve.h"
#include "core/detonation.h"
#include "core/rocket.h"
#include "core/session.h"
#include "core/solver.h"
#include "results/report.h"
#include "results/table_file.h"
#include "task/datafile.h"
#include "task/formula.h"
#include "task/spec_fields.h"
#include "task/value_lists.h"
#include "thermo/bkw.h"
#include "thermo/bkw_species.h"
#include "thermo/eos.h"
#include "thermo/sound.h"
#include "thermo/species_catalog.h"

namespace kvil {

namespace {

// ---- Texts shown by the run --------------------------------------------------------
const char* const kMsgNoElements = "Elements or their amount are not specified.";
const char* const kMsgNoCompounds = "No compounds are selected \nfor given set of elements.";
const char* const kMsgEquilibriumNotSpecified = "Equilibrium is not specified !";
const char* const kMsgNoTemplates = "No Template Options selected.";
const char* const kMsgCalculationFailed = "Calculation failed !";
const char* const kMsgDataError = "Data error.";
const char* const kMsgUseIdealGas = "We recommend to use ideal gas EOS for this case.";
const char* const kMsgUseBkw = "We recommend to use BKW EOS for this case.";

// The equation of state to advise when the non-ideal one cannot take a state.  A state
// denser than Kelmost's equation holds is one of condensed-phase products: the BKW
// equation reaches it (the virial form does too, but past the density its coefficients
// hold for; the report says so).  A state the equation cannot be applied to at all
// (no gas, no matching volume) is left to the ideal gas.
const char* EosAdvice(const EosState& eos) {
  return eos.tooDense ? kMsgUseBkw : kMsgUseIdealGas;
}
const char* const kMsgRealGasNotFound =
    "Solution in real gas mode is not found.\nTry to change assigned parameters.";
const char* const kMsgThroatImpossible = "Throat parameters cannot be calculated !";
const char* const kMsgFrozenImpossible = "Frozen parameters cannot be calculated !";
const char* const kMsgUnknownExpansion = "Unknown Expansion Parameter";
const char* const kMsgBkwOutsideDomain =
    "The state is denser than the BKW equation of state can describe.\nThe point is left out. "
    "Try to change assigned parameters.";
const std::string kMsgPointNotRepresentable =
    std::string(kPointNotRepresentable) +
    "\nThe point is left out. Try to change assigned parameters.";

// The question of the check-total-sum option for the variant balanced last.
std::string SumQuestion(const Task& task) {
  return "Sum of mass parts is " + Fixed(task.massSum, 6, 2) + ". Start calculation process ?";
}

// Heat of combustion: second solve at this temperature, K.
constexpr float kStandardTemperature = 298.0f;
// Gas amount from which the mixture counts as having a gas phase, mol/kg.
constexpr double kGasPresentAmount = 0.1;
// Below this pressure (MPa) a point is always solved as an ideal gas.
constexpr double kIdealGasPressureLimit = 2.0;
// Non-ideal passes end when no amount (relative to the gas amount) and no state value
// changes by more than this between two passes: the state then solves the equations
// with the corrections of its own V, T and composition, whichever pair assigned it.
constexpr double kNonIdealTolerance = 1e-5;
constexpr double kNonIdealAcceptTolerance = 1e-4;  // accepted after the last pass
// Changes of S (kJ/(kg K)), H and U (kJ/kg) are relative to their value, but not to
// less than these (they may pass through 0); p, T and V are always relative.
constexpr double kEntropyScale = 0.01;
constexpr double kEnergyScale = 1.0;
constexpr double kRgKJ = kGasConstantJ * 0.001;    // kJ/(mol*K)
constexpr double kCm3ToM3 = 1e-6;
// Tolerance of a range end, as a fraction of the step, against rounding of the sum.
constexpr double kRangeEndTolerance = 1e-5;

// A write of the report or of the results table failed: the run ends.  The text names
// the file and the reason.
class RunWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

RunWriteError ReportWriteError(const Session& s) {
  const std::string& reason = s.report.error();
  return RunWriteError("The results report " + s.ReportPath() +
                       " cannot be written: " + (reason.empty() ? "write error" : reason) +
                       ".");
}

bool IsIon(int kindCode) {
  switch (kindCode) {
    case 13:
    case 14:
    case 23:
    case 24:
    case 33:
    case 34:
    case 43:
    case 44:
      return true;
    default:
      return false;
  }
}

// The unit code of a parameter names the internal unit when its lowest bit is set;
// 0 (no unit chosen) is taken as the internal unit too.
bool IsInternalUnit(int unitCode) {
  return unitCode == 0 || (unitCode & 1) != 0;
}

int EffectiveCode(int code) {
  return code >= kParamTemplate ? code % 10 : code;
}

// True when start + step and end - step differ from start and end as 32-bit floats,
// the precision in which the values of a range reach the solver.
bool StepExceedsResolution(float step, float start, float end) {
  if (!std::isfinite(step) || !std::isfinite(start) || !std::isfinite(end)) return false;
  const float largest = std::max(std::fabs(start), std::fabs(end));
  const float spacing = std::nextafter(largest, HUGE_VALF) - largest;
  return std::fabs(step) >= spacing;
}

// One value list of the run, in internal units.
struct ValueList {
  Array1<float, kMaxListValues> values;
  int count = 0;
  float step = 0;

  bool Ranged() const { return count == 2 && step != 0; }
  // Value number i (1-based); false when the list has no such value.  A range yields
  // start + (i-1)*step while that has not passed the end.
  bool Value(int i, float& out) const {
    if (i < 1) return false;
    if (!Ranged()) {
      if (i > count) return false;
      out = values[i];
      return true;
    }
    double v = double(values[1]) + double(i - 1) * double(step);
    if (i > 1) {
      double beyond = (v - double(values[2])) * (step > 0 ? 1.0 : -1.0);
      if (beyond > kRangeEndTolerance * std::fabs(double(step))) return false;
    }
    out = float(v);
    return true;
  }
  // Number of values Value() yields: a list's count, or the values of a range up to
  // its end (a range whose step points away from its end yields its start alone).  A
  // double, since a range can hold more values than an int counts.
  double Count() const {
    if (!Ranged()) return count;
    const double span = (double(values[2]) - double(values[1])) / double(step);
    if (!std::isfinite(span)) return HUGE_VAL;
    return span < 0 ? 1 : std::floor(span + kRangeEndTolerance) + 1;
  }
  // False for a range whose step is below the resolution of its values: the values
  // would repeat instead of advancing.
  bool StepMovesValues() const {
    if (!Ranged()) return true;
    return StepExceedsResolution(step, values[1], values[2]);
  }
};

ValueList FromSlot(const ParameterSlot& slot) {
  ValueList l;
  l.values = slot.values;
  l.count = slot.count;
  l.step = slot.count == 2 ? slot.step : 0.0f;
  return l;
}

// Converts a list from the user's unit to the internal one (MPa, K, m3/kg, kJ).
void ConvertToInternal(ValueList& l, int code) {
  double valueFactor = 1, stepFactor = 1, offset = 0;
  switch (code) {
    case kParamP:
    case kParamPa:
      valueFactor = stepFactor = kStandardAtmosphereMPa;
      break;
    case kParamT:
      offset = kCelsiusOffset;
      break;
    case kParamV:
    case kParamVa:
      valueFactor = stepFactor = 0.001;
      break;
    case kParamS:
    case kParamH:
    case kParamU:
      valueFactor = stepFactor = kJPerCal;
      break;
    default:
      return;
  }
  for (int i = 1; i <= kMaxListValues; ++i) {
    if (i > l.count) break;
    l.values[i] = float(double(l.values[i]) * valueFactor + offset);
  }
  l.step = float(double(l.step) * stepFactor);
}

// The three value lists of a run in internal units, with the codes they belong to.
struct RunLists {
  Array1<ValueList, 3> lists;
  int firstCode = 0, secondCode = 0, expansionCode = 0;

  // Both equilibrium parameters chosen (p .. U) with one to ten values each, and an
  // expansion list of at most ten values.
  bool Valid() const {
    auto valid = [](const ValueList& l) { return l.count >= 1 && l.count <= kMaxListValues; };
    return firstCode >= kParamP && firstCode <= kParamU && secondCode >= kParamP &&
           secondCode <= kParamU && valid(lists[1]) && valid(lists[2]) && lists[3].count >= 0 &&
           lists[3].count <= kMaxListValues;
  }
};

// internalUnits: template runs, whose values are already in internal units.
RunLists MakeRunLists(const Task& task, bool internalUnits) {
  RunLists r;
  r.firstCode = EffectiveCode(task.firstCode);
  r.secondCode = EffectiveCode(task.secondCode);
  r.expansionCode = task.expansionCode;
  for (int n = 1; n <= 3; ++n) r.lists[n] = FromSlot(task.slots[n]);
  if (!internalUnits && r.Valid()) {
    if (!IsInternalUnit(task.unitCodes[r.firstCode])) ConvertToInternal(r.lists[1], r.firstCode);
    if (!IsInternalUnit(task.unitCodes[r.secondCode])) ConvertToInternal(r.lists[2], r.secondCode);
    // The expansion list is converted by its own code: Pa as a pressure, Va as a volume.
    if ((r.expansionCode == kParamPa || r.expansionCode == kParamVa) &&
        !IsInternalUnit(task.unitCodes[r.expansionCode]))
      ConvertToInternal(r.lists[3], r.expansionCode);
  }
  return r;
}

enum class Flow { Done, EndParameterLoop, EndRun };

// Relaxation of the non-ideal corrections between passes.  Each pass computes the
// corrections of the state the solver just left; taken whole, they make dense states
// with much condensed carbon swing from pass to pass (p by +-10 % and shrinking by only
// 0.85 a pass) and the point fails for want of passes.  The mixer takes the step
// new - old scaled by a factor w that it adapts from the last two steps as a secant on
// the pass map: for a map that multiplies the step by l each pass, w = 1/(1 - l)
// removes that mode.  w stays within [kMinRelaxation, 1]: the passes are never pushed
// beyond the corrections the EOS gives.
class CorrectionMixer {
 public:
  static constexpr double kMinRelaxation = 0.1;

  // The corrections of this pass are in `cor`; `previous` are those the solver used.
  // Returns the factor applied.
  double Mix(NonIdealCorrections& cor, const NonIdealCorrections& previous, double nGas,
             int gasCount, int condensedCount, bool first) {
    // Step vector, scaled to orders of 1: G_c per gas amount, phi and gamma as they are.
    const int size = 1 + gasCount + condensedCount;
    Array1<double, 1 + kMaxEosSpecies + kMaxUnknowns> step;
    const double scale = nGas > 0 ? 1 / nGas : 1;
    step[1] = (cor.Gc - previous.Gc) * scale;
    for (int g = 1; g <= gasCount; ++g) step[1 + g] = cor.phi[g] - previous.phi[g];
    for (int q = 1; q <= condensedCount; ++q)
      step[1 + gasCount + q] = cor.gamma[q] - previous.gamma[q];
    if (first || size != size_) {
      weight_ = 1;
    } else {
      double dot = 0, norm = 0;
      for (int i = 1; i <= size; ++i) {
        dot += step[i] * last_[i];
        norm += last_[i] * last_[i];
      }
      if (norm > 0 && std::isfinite(dot)) {
        // The step shrank by mu with the factor w applied: the map's own factor l
        // follows from mu = 1 - w (1 - l).
        const double mu = dot / norm;
        const double l = 1 - (1 - mu) / weight_;
        double w = l < 1 ? 1 / (1 - l) : 1.0;
        if (!std::isfinite(w)) w = 1;
        weight_ = std::clamp(w, kMinRelaxation, 1.0);
      }
    }
    size_ = size;
    for (int i = 1; i <= size; ++i) last_[i] = step[i];
    const double w = weight_;
    if (w < 1) {
      auto blend = [w](double now, double before) { return before + w * (now - before); };
      cor.Gc = blend(cor.Gc, previous.Gc);
      cor.Sc = blend(cor.Sc, previous.Sc);
      cor.Hc = blend(cor.Hc, previous.Hc);
      cor.Uc = blend(cor.Uc, previous.Uc);
      for (int g = 1; g <= gasCount; ++g) cor.phi[g] = blend(cor.phi[g], previous.phi[g]);
      for (int q = 1; q <= condensedCount; ++q)
        cor.gamma[q] = blend(cor.gamma[q], previous.gamma[q]);
    }
    return w;
  }

 private:
  double weight_ = 1;
  int size_ = 0;
  Array1<double, 1 + kMaxEosSpecies + kMaxUnknowns> last_;
};

double ListCount(const ValueList& l);
double VariantCount(const Task& task);

// Options of one RunTask call made by the Run command.
struct RunRequest {
  bool internalUnits = false;  // template runs: values are already in internal units
  const RunOptions* options = nullptr;  // explicit points, observer
  // The detonation template: one CJ point per request instead of the value lists.
  const std::vector<DetonationRequest>* detonations = nullptr;
};

struct RunOutcome {
  bool started = false;   // the set-up passed: variants and points were run
  int pointsWritten = 0;  // equilibrium points written to the report
  bool cancelled = false;
};

class Runner {
 public:
  Runner(Session& s, int& status, const RunRequest& request)
      : s_(s),
        task_(s.task),
        ws_(s.ws),
        st_(s.ws.state),
        ui_(s.ui),
        status_(status),
        request_(request) {}

  RunOutcome Run();

 private:
  // Set-up (C.2 .. C.5); false when the run ends at once.
  bool SetUp();
  void VariantLoop();
  Flow ParameterLoop();
  Flow ChamberPoint();
  Flow SolvePoint();
  Flow SolveBkwPoint();
  void FinishBkwState();
  Flow DetonationPoints();
  Flow ExpansionPoints();
  void SetEosFlags();
  void ExtrapolateStart(const PointStart& before, const PointStart& last);
  double CondensedVolume() const;
  bool PrintIdealGas(double nGas);
  bool WriteReport();
  void WriteRecord();
  int CodeWord() const { return SolverCodeWord(st_.startMode, st_.c1, st_.c2, ions_); }
  // Whether the first (ideal-gas) pass of the chamber point being solved may start from
  // the first pass of a point before: the ideal gas, whose equilibrium is unique, after
  // a converged point of the variant.  With a non-ideal EOS the later passes start from
  // the first as before.
  bool ContinuesFromPreviousPoint() const {
    return continuation_ && ws_.pointStart.valid && !st_.frozenComposition;
  }
  // Whether an equilibrium expansion point may start from the state in the workspace,
  // which the chamber point and its throat left there (ideal gas).
  bool ExpansionContinues() const {
    return continuation_ && eos_ == 1 && st_.rowKind == 2 && st_.startMode == 1 &&
           !st_.frozenComposition && ws_.pointStart.valid;
  }

  Session& s_;
  Task& task_;
  CalcWorkspace& ws_;
  RunState& st_;
  Interaction& ui_;
  int& status_;
  RunRequest request_;
  RunOutcome outcome_;

  Array1<ValueList, 3> lists_;
  int firstCode_ = 0, secondCode_ = 0, expansionCode_ = 0;
  int K_ = 0, E_ = 0;
  bool ions_ = false;
  int eos_ = 1;
  bool continuation_ = true;
  double mixtureEnthalpy_ = 0;  // kJ/kg
  bool pointValid_ = false;     // the last chamber point left a written state
  bool chamberWritten_ = false; // the chamber point being run reached the report
  double solveShift_ = 0;       // condensed volume taken off an assigned V for the solve
};

// ---- Set-up ------------------------------------------------------------------------

bool Runner::SetUp() {
  const RunLists run = MakeRunLists(task_, request_.internalUnits);
  firstCode_ = run.firstCode;
  secondCode_ = run.secondCode;
  expansionCode_ = run.expansionCode;
  lists_ = run.lists;
  if (!run.Valid()) return false;
  // A step that cannot move its value would repeat one point without end (the Run
  // command refuses such a task with a message before it gets here).
  for (int n = 1; n <= (expansionCode_ != kParamNone ? 3 : 2); ++n)
    if (!lists_[n].StepMovesValues()) return false;
  for (const SourceComponent& c : task_.components)
    if (c.step != 0 && !StepExceedsResolution(c.step, c.amounts[1], c.amounts[2])) return false;

  st_.componentVariant = 1;
  PrepareRunSpecies(s_.task, s_.database, s_.ws, s_.ui);
  if (task_.elementCount <= 0) return false;
  {
    // Chamber points this call will run, for the progress window.
    const double variants = VariantCount(task_);
    const double perVariant =
        request_.options && !request_.options->points.empty()
            ? double(request_.options->points.size())
        : request_.detonations ? double(request_.detonations->size())
                               : ListCount(lists_[1]) * ListCount(lists_[2]);
    const double planned = variants * perVariant;
    st_.plannedPoints = planned >= 1 && planned < 2e9 ? int(planned) : 0;
  }
  ws_.bkw.active = false;
  ws_.bkw.pointSolved = false;
  if (eos_ == kEosBkw) PrepareBkwSpecies(s_.task, s_.ws);

  st_.componentCount = 0;
  for (int i = 1; i <= kMaxComponents; ++i) {
    const std::string& f = task_.components[i].formula;
    if (!f.empty() && f != " ") ++st_.componentCount;
  }
  ui_.ShowProgress(true);
  return true;
}

// ---- Variants (D) ------------------------------------------------------------------

void Runner::VariantLoop() {
  const bool secondHeatRun = st_.templateMode == 3 && secondCode_ == kParamT;
  int variant = 1;
  for (;;) {
    st_.componentVariant = variant;
    ui_.ShowProgress(false);
    float hm = 0;
    bool balanced = ComputeElementBalance(s_.task, s_.database, s_.ui, variant, &hm);
    if (!balanced) break;
    // The components' enthalpies are kJ/kg whatever unit H or U is typed in: an H or
    // U of 0 takes the mixture enthalpy as it is.
    mixtureEnthalpy_ = hm;
    ui_.ShowProgress(true);

    // The Run command has asked for the first variant before the files were touched.
    if (task_.Option(kOptCheckSum) && st_.templateCounter == 0 &&
        !(variant == 1 && st_.firstSumConfirmed)) {
      if (!ui_.AskYesNo(MessageKind::Confirmation, SumQuestion(task_))) break;
    }

    if (variant == 1 && !secondHeatRun) {
      WriteReportHeader({s_.task, s_.settings, s_.ws, s_.report, s_.ui}, firstCode_, secondCode_,
                        expansionCode_);
      if (s_.report.failed()) throw ReportWriteError(s_);
    }

    st_.expansionFlag = false;
    st_.startMode = 1;
    st_.index1 = st_.index2 = 1;
    ws_.pointStart.valid = ws_.pointBefore.valid = false;
    ws_.rowStart.valid = ws_.rowBefore.valid = false;
    ws_.throatStart.valid = ws_.throatBefore.valid = false;
    for (PointStart& start : ws_.exitStart) start.valid = false;
    for (PointStart& start : ws_.exitBefore) start.valid = false;
    K_ = ws_.run.count;
    E_ = task_.elementCount;
    if (K_ <= 0 || E_ <= 0) {
      ui_.Error(kMsgDataError);
      break;
    }

    Flow f = st_.templateMode == 4 && request_.detonations ? DetonationPoints() : ParameterLoop();
    if (f == Flow::EndRun) return;

    if (!task_.variableComposition) break;
    ++variant;
    if (task_.steppedComposition) continue;
    if (variant > kMaxListValues) break;
    bool any = false;
    for (int i = 1; i <= kMaxComponents; ++i)
      if (task_.components[i].amounts[variant] > 0) any = true;
    if (!any) break;
  }
}

// ---- Parameter points (E) ----------------------------------------------------------

Flow Runner::ParameterLoop() {
  // The first parameter varies fastest; the loop ends when the second is exhausted.
  // An explicit sequence of points replaces the two lists.
  const std::vector<std::pair<float, float>>* points =
      request_.options && !request_.options->points.empty() ? &request_.options->points
                                                            : nullptr;
  int i1 = 1, i2 = 1;
  float v1 = 0, v2 = 0;
  if (points) {
    v1 = (*points)[0].first;
    v2 = (*points)[0].second;
  } else if (!lists_[1].Value(i1, v1) || !lists_[2].Value(i2, v2)) {
    return Flow::Done;
  }
  RunObserver* observer = request_.options ? request_.options->observer : nullptr;
  for (;;) {
    st_.index1 = i1;
    st_.index2 = i2;
    st_.c1 = firstCode_;
    st_.c2 = secondCode_;
    // H or U given as 0 (the first value of its list) is the enthalpy of the mixture.
    auto enthalpy = [&](int code, int n, int index, float v) {
      const bool first = points ? v == 0.0f : index == 1 && lists_[n].values[1] == 0.0f;
      if ((code == kParamH || code == kParamU) && first) return float(mixtureEnthalpy_);
      return v;
    };
    st_.value1 = enthalpy(st_.c1, 1, i1, v1);
    st_.value2 = enthalpy(st_.c2, 2, i2, v2);
    st_.chamberValue1Assigned = st_.value1;
    st_.chamberValue2Assigned = st_.value2;
    st_.startMode = 1;
    ++st_.parameterVariant;
    st_.frozenComposition = false;

    const long long recordsBefore = st_.resultsRecords;
    Flow f = ChamberPoint();
    // A point STOP ended before it was written is not counted.
    if (f != Flow::EndRun || !st_.cancel || chamberWritten_)
      ++(chamberWritten_ ? st_.pointsComputed : st_.pointsFailed);
    st_.frozenComposition = false;
    st_.expansionFlag = false;
    st_.frozenFlag = false;
    if (observer && !(f == Flow::EndRun && st_.cancel)) {
      PointDone done;
      done.componentVariant = st_.componentVariant;
      done.index1 = i1;
      done.index2 = i2;
      done.c1 = firstCode_;
      done.c2 = secondCode_;
      done.value1 = st_.chamberValue1Assigned;
      done.value2 = st_.chamberValue2Assigned;
      done.written = pointValid_;
      done.status = status_;
      done.records = int(st_.resultsRecords - recordsBefore);
      observer->ChamberPointDone(s_, done);
    }
    if (f != Flow::Done) return f;

    if (points) {
      if (i1 >= int(points->size())) break;
      v1 = (*points)[i1].first;
      v2 = (*points)[i1].second;
      ++i1;
      continue;
    }
    if (!lists_[1].Value(++i1, v1)) {
      i1 = 1;
      lists_[1].Value(i1, v1);
      if (!lists_[2].Value(++i2, v2)) break;
    }
  }
  return Flow::Done;
}

Flow Runner::ChamberPoint() {
  bool throatWanted = task_.Option(kOptThroat) && st_.templateMode != 2 && st_.templateMode != 3;

  st_.rowKind = 0;
  const int writtenBefore = outcome_.pointsWritten;
  chamberWritten_ = false;
  Flow f = SolvePoint();
  chamberWritten_ = outcome_.pointsWritten > writtenBefore;
  if (f != Flow::Done) return f;
  if (!pointValid_) return Flow::Done;  // nothing valid to expand from

  // Chamber state of this point; throat values belong to it alone.
  st_.chamberP = float(ws_.results.p);
  st_.chamberS = ws_.results.S;
  st_.chamberH = float(ws_.results.H);
  st_.chamberT = ws_.results.T;
  st_.chamberU = ws_.results.U;
  st_.chamberValue1 = st_.value1;
  st_.chamberValue2 = st_.value2;
  st_.index3 = 0;
  st_.throatAreaPerFlow = 0;
  st_.throatP = 0;
  st_.throatK = 0;

  // G. Throat.
  if (throatWanted) {
    if (st_.gasPresent && ws_.results.soundSpeed >= 1) {
      int code = CodeWord();
      status_ = ComputeThroat(s_, st_.componentCount, code, st_.chamberS);
      if (s_.report.failed()) throw ReportWriteError(s_);
    } else {
      ui_.Info(kMsgThroatImpossible);
    }
  }

  // H. Frozen composition at the freezing point.
  if (task_.Option(kOptFrozen) && expansionCode_ != 0 && !st_.frozenComposition &&
      !st_.expansionFlag) {
    st_.c1 = kParamT;
    st_.c2 = kParamS;
    int code = CodeWord();
    ResetNonIdealCorrections(s_);
    ws_.results.soundSpeed = 0;
    // A STOP now takes effect after this chamber point's expansion (see SolvePoint).
    ui_.ProcessPendingInput();
    float freezeT = s_.settings.record.freezingT;
    SolveEquilibrium(s_, freezeT, float(st_.chamberS), code, K_, E_);
    status_ = code;
    if (code != kSolveOk) {
      ui_.Info(kMsgFrozenImpossible);
      return Flow::Done;
    }
    st_.freezeP = ws_.results.p;
    st_.freezeV = ws_.results.V;
    st_.frozenComposition = true;
  }

  // I. Expansion points.
  if (expansionCode_ == 0) return Flow::Done;
  return ExpansionPoints();
}

Flow Runner::ExpansionPoints() {
  st_.expansionFlag = false;
  int c1 = 0;
  switch (expansionCode_) {
    case kParamPa:
      c1 = kParamP;
      break;
    case kParamVa:
      c1 = kParamV;
      break;
    case kParamAreaRatio:
      c1 = firstCode_;
      break;
    default:
      ui_.Message(MessageKind::Plain, kMsgUnknownExpansion);
      return Flow::EndRun;
  }
  for (;;) {
    float ev = 0;
    if (!lists_[3].Value(st_.index3 + 1, ev)) return Flow::Done;
    ++st_.index3;
    st_.c1 = c1;
    st_.c2 = kParamS;
    st_.value2 = float(st_.chamberS);
    st_.expansionFlag = true;

    if (expansionCode_ == kParamAreaRatio) {
      ui_.ProcessPendingInput();
      int code = CodeWord();
      status_ = ExpandToAreaRatio(s_, st_.componentCount, code, st_.freezeP, ev, st_.chamberS);
      if (s_.report.failed()) throw ReportWriteError(s_);
      continue;
    }

    if (st_.frozenComposition) {
      std::string question;
      if (c1 == kParamP && st_.freezeP < ev) {
        question = "Frozen pressure (" + FormatPicture(st_.freezeP, "0.#####") +
                   " MPa) is less than\nexpansion pressure (" + FormatPicture(ev, "0.#####") +
                   " MPa).\nFrozen calculation has no sense.\nProceed with equilibrium expansion?";
      } else if (c1 == kParamV && st_.freezeV > ev) {
        question = "Frozen volume (" + FormatPicture(st_.freezeV, "0.#####") +
                   " cub.m/kg) is more than\nexpansion volume (" + FormatPicture(ev, "0.#####") +
                   " cub.m/kg).\nFrozen calculation has no sense.\nProceed with equilibrium "
                   "expansion?";
      }
      if (!question.empty()) {
        if (!ui_.AskYesNo(MessageKind::Information, question)) return Flow::Done;
        st_.frozenComposition = false;
      }
    }
    st_.frozenFlag = st_.frozenComposition;
    st_.startMode = st_.frozenComposition ? 2 : 1;
    st_.value1 = ev;
    st_.rowKind = 2;
    Flow f = SolvePoint();
    st_.frozenFlag = false;
    if (f != Flow::Done) return f;
  }
}

// ---- One point with the non-ideal iteration (F) ------------------------------------

// Along a line of points (one assigned value changing, the other held) the state moves
// smoothly: the start of a point is the last converged state moved on by the change
// between the two points before, scaled to this step (in ln p and ln V for a pressure or
// a volume, in 1/T for a temperature: the coordinates the state follows more nearly
// linearly).  In a grid the first point of a row is so moved on from the first points of
// the two rows before.  From there the solve
// needs about one Newton iteration less.  Amounts stay within the bounds of the
// iteration.  Nothing is moved when the points do not lie on a line, the step turns
// back or is more than twice the one before, or a condensed species is present at
// either point: the amounts of condensed species the report prints are those of the
// iterate before the converged one (the solver takes them from its unknowns before it
// moves them), which would change in their last digits with the path to the solution.
void Runner::ExtrapolateStart(const PointStart& a, const PointStart& b) {
  if (!a.valid || !b.valid) return;
  constexpr double kPresent = -10.0;  // ln n from which a condensed species is present
  for (int k = 1; k <= K_; ++k)
    if (ws_.run.Phase(k) == 1 && (a.lnn[k] >= kPresent || b.lnn[k] >= kPresent)) return;
  auto coordinate = [](int code, double v) {
    if ((code == kParamP || code == kParamV) && v > 0) return std::log(v);
    if (code == kParamT && v > 0) return 1 / v;
    return v;
  };
  double f = 0;
  if (a.value2 == b.value2 && b.value2 == st_.value2 && a.value1 != b.value1) {
    const double u0 = coordinate(st_.c1, a.value1), u1 = coordinate(st_.c1, b.value1);
    f = (coordinate(st_.c1, st_.value1) - u1) / (u1 - u0);
  } else if (a.value1 == b.value1 && b.value1 == st_.value1 && a.value2 != b.value2) {
    const double u0 = coordinate(st_.c2, a.value2), u1 = coordinate(st_.c2, b.value2);
    f = (coordinate(st_.c2, st_.value2) - u1) / (u1 - u0);
  }
  if (!(f > 0 && f <= 2)) return;
  const int E = E_ + (ions_ ? 1 : 0);
  auto& X = ws_.X;
  auto& sp = ws_.species;
  auto move = [f](double x0, double x1) { return x1 + f * (x1 - x0); };
  for (int i = 1; i <= E + 6; ++i) X[i] = move(a.X[i], b.X[i]);
  // An assigned pressure is in place: lambda has been moved with it already (the solver
  // would move lambda again by the ratio of the assigned pressure to this one).
  if (st_.c1 == kParamP) X[1] = st_.value1 * kMPaToAtm;
  if (st_.c2 == kParamP) X[1] = st_.value2 * kMPaToAtm;
  for (int k = 1; k <= K_; ++k) {
    if (ws_.run.Phase(k) != 2) continue;
    sp.lnn[k] = std::clamp(move(a.lnn[k], b.lnn[k]), -50.0, 10.0);
    sp.n[k] = std::exp(sp.lnn[k]);
  }
}

double Runner::CondensedVolume() const {
  double v = 0;
  for (int k = 1; k <= K_; ++k)
    if (ws_.run.Phase(k) == 1) v += ws_.species.n[k] * ws_.run.sigma[k] * kCm3ToM3;
  return v;
}

// Every gas species with Lennard-Jones data takes part in the non-ideal EOS, whatever
// its amount: a cut-off by amount makes the state depend on the path to it (a species
// just above it carries the dense-gas chemical potential, one just below the ideal
// one).  Ions, and gases without data, stay ideal; the EOS counts them in the
// pressure as ideal gas.
void Runner::SetEosFlags() {
  for (int k = 1; k <= K_; ++k) {
    int& flag = ws_.species.eosFlag[k];
    flag = ws_.run.Phase(k);
    if (ions_ && IsIon(ws_.run.kindCode[k])) flag = 0;
    if (flag == 2 && !(ws_.run.sigma[k] > 0 && ws_.run.epsilon[k] > 0)) flag = -1;
  }
}

// False when the point is not representable: it fails with a message and reaches
// neither the report nor the table.
bool Runner::WriteReport() {
  if (!PointResultsRepresentable(s_.ws, K_)) {
    ui_.Info(kMsgPointNotRepresentable);
    status_ = kSolveNoSolution;
    return false;
  }
  WritePointReport({s_.task, s_.settings, s_.ws, s_.report, s_.ui}, E_, K_, st_.value1, st_.c1,
                   st_.value2, st_.c2);
  if (s_.report.failed()) throw ReportWriteError(s_);
  return true;
}

void Runner::WriteRecord() {
  st_.rowKind = st_.expansionFlag ? 2 : 0;
  if (!AppendResultsRecord(s_.task, s_.ws, s_.table, s_.TablePath(), st_.componentCount))
    throw RunWriteError(ResultsTableWriteError(s_.table, s_.TablePath()));
}

bool Runner::PrintIdealGas(double nGas) {
  ResultsBlock& r = ws_.results;
  st_.condensedVolume = CondensedVolume();
  // A heat capacity or exponent that is not positive is no value: 0 (not computed).
  r.CvFrozen = std::max(0.0, r.Cp - nGas * kRgKJ);
  r.kFrozen = r.CvFrozen > 0 && r.Cp > 0 ? r.Cp / r.CvFrozen : 0;
  // Frozen sound velocity of the gas, sqrt(k*Rg*T), m/s.
  double rgt = r.T * kGasConstantJ * nGas;
  r.aFrozen = std::sqrt(std::max(0.0, r.kFrozen * rgt));
  r.gasVolume = r.V;
  // The sound velocity and the transport properties belong to the gas phase: they are
  // formed with V the gas volume, before the condensed volume is added.
  if (task_.Option(kOptSound) && st_.gasPresent)
    ComputeSoundVelocity(s_.task, s_.ws, E_, K_, ions_);
  r.V += st_.condensedVolume;
  return WriteReport();
}

Flow Runner::SolvePoint() {
  pointValid_ = false;
  for (int k = 1; k <= K_; ++k) ws_.species.eosFlag[k] = 0;
  ResetNonIdealCorrections(s_);
  ws_.results.soundSpeed = 0;
  int pass = 0;
  double largest = 1;
  st_.condensedVolume = 0;
  solveShift_ = 0;
  const bool printIdealToo = task_.Option(kOptPrintIdealGas);
  CorrectionMixer mixer;
  double relaxation = 1;
  bool startedFromRow = false;

  for (;;) {
    ui_.ProcessPendingInput();
    // STOP ends the run before a chamber point; a chamber point already written keeps
    // its throat and expansion points, so that no chamber record is left without them.
    if (st_.cancel && !st_.expansionFlag) {
      outcome_.cancelled = true;
      return Flow::EndRun;
    }
    int code = CodeWord();

    if (st_.templateMode == 3 && task_.Option(kOptFrozen) && !st_.frozenComposition &&
        ((st_.c1 == kParamT && (st_.c2 == kParamP || st_.c2 == kParamV)) ||
         (st_.c2 == kParamT && (st_.c1 == kParamP || st_.c1 == kParamV)))) {
      status_ = ComputeFrozenState(s_, st_.c1, st_.c2, code, st_.value2, st_.value1);
      st_.frozenComposition = false;
      if (s_.report.failed()) throw ReportWriteError(s_);
      if (status_ == kSolveOk) ++outcome_.pointsWritten;
      return Flow::Done;
    }

    float v1 = st_.value1, v2 = st_.value2;
    if (st_.c1 == kParamV) v1 = float(v1 - solveShift_);
    if (st_.c2 == kParamV) v2 = float(v2 - solveShift_);
    if (st_.frozenComposition && st_.c2 == kParamS &&
        (st_.c1 == kParamP || st_.c1 == kParamV)) {
      // A frozen expansion point: with the amounts held only T is unknown, so it is
      // found on the entropy directly; the Newton system of the solver would treat the
      // gas amounts as moving and leave a state that breaks the gas law.
      SolveFrozenAtEntropy(s_, v2, st_.c1, v1, code);
    } else if (pass == 0 && (st_.rowKind == 0 ? ContinuesFromPreviousPoint()
                                              : ExpansionContinues())) {
      // A later point of the variant starts from the last converged chamber state, an
      // expansion point from the state in the workspace (the throat, or the expansion
      // point before); when that does not converge the point is solved afresh, so no
      // point is lost.  In a grid the first point of a row lies next to the first point
      // of the row before, not to the last point solved: the start is the row start
      // when that is as close in both assigned values and closer in one.
      if (st_.rowKind == 0) {
        const PointStart& last = ws_.pointStart;
        const PointStart& row = ws_.rowStart;
        const double d1 = std::fabs(st_.value1 - last.value1);
        const double d2 = std::fabs(st_.value2 - last.value2);
        const double r1 = std::fabs(st_.value1 - row.value1);
        const double r2 = std::fabs(st_.value2 - row.value2);
        startedFromRow = row.valid && r1 <= d1 && r2 <= d2 && (r1 < d1 || r2 < d2);
        const PointStart& start = startedFromRow ? row : last;
        ws_.X = start.X;
        ws_.species.n = start.n;
        ws_.species.lnn = start.lnn;
        if (startedFromRow)
          ExtrapolateStart(ws_.rowBefore, ws_.rowStart);
        else
          ExtrapolateStart(ws_.pointBefore, ws_.pointStart);
      }
      st_.startMode = 2;
      code = CodeWord();
      st_.quietFailure = true;
      st_.quietFailed = false;
      SolveEquilibrium(s_, v1, v2, code, K_, E_);
      st_.quietFailure = false;
      if (code != kSolveOk && (code == kSolveNotConverged || st_.quietFailed)) {
        st_.startMode = 1;
        code = CodeWord();
        SolveEquilibrium(s_, v1, v2, code, K_, E_);
      }
    } else {
      SolveEquilibrium(s_, v1, v2, code, K_, E_);
    }
    status_ = code;
    if (code != kSolveOk) return Flow::Done;
    if (pass == 0 && st_.rowKind == 0 && !st_.frozenComposition) {
      PointStart& start = ws_.pointStart;
      ws_.pointBefore = start;
      start.X = ws_.X;
      start.n = ws_.species.n;
      start.lnn = ws_.species.lnn;
      start.value1 = st_.value1;
      start.value2 = st_.value2;
      start.valid = true;
      if (startedFromRow) ws_.rowBefore = ws_.rowStart;
      if (startedFromRow || !ws_.rowStart.valid) ws_.rowStart = start;
    }

    if (pass == 0) SetEosFlags();
    const double nGas = ws_.GasAmount();
    st_.gasPresent = nGas >= kGasPresentAmount;

    const bool lowPressure = (st_.c1 == kParamP && st_.value1 < kIdealGasPressureLimit) ||
                             (st_.c2 == kParamP && st_.value2 < kIdealGasPressureLimit);
    const bool finishIdeal = eos_ == 1 || lowPressure || !st_.gasPresent;
    if (finishIdeal || (pass == 0 && printIdealToo)) {
      if (!PrintIdealGas(nGas)) return Flow::Done;
      if (finishIdeal) {
        WriteRecord();
        pointValid_ = true;
        ++outcome_.pointsWritten;
        return Flow::Done;
      }
      ws_.results.V -= st_.condensedVolume;
    }
    // The BKW equation enters the Newton iteration itself: one solve from the ideal
    // state finishes the point.
    if (eos_ == kEosBkw && !st_.frozenComposition) return SolveBkwPoint();

    const ResultsBlock& r = ws_.results;
    const std::array<double, 6> now = {r.p, r.T, r.V, r.S, r.H, r.U};
    if (pass > 0) {
      largest = 0;
      for (int k = 1; k <= K_; ++k)
        if (nGas > 0)
          largest = std::max(largest, std::fabs(ws_.species.n[k] - st_.previousAmounts[k]) / nGas);
      for (int j = 0; j < 6; ++j) {
        const double prev = st_.previousResults[j];
        const double scale = j < 3 ? 0.0 : j == 3 ? kEntropyScale : kEnergyScale;
        const double change = std::fabs(now[j] - prev) / std::max(std::fabs(prev), scale);
        largest = std::max(largest, std::isfinite(change) ? change : 1.0);
      }
      // A relaxed pass moves the state by only part of the way: its change is judged
      // as the whole step would have been.
      if (largest / relaxation <= kNonIdealTolerance) break;
    }

    // Non-ideal step: condensed volume and corrections, EOS volume and terms.
    const NonIdealCorrections used = ws_.corrections;
    for (int k = 1; k <= K_; ++k) st_.previousAmounts[k] = ws_.species.n[k];
    double condensed = 0, pvSum = 0;
    int ordinal = 0;
    for (int k = 1; k <= K_; ++k) {
      if (ws_.run.Phase(k) != 1) continue;
      double vm = ws_.run.sigma[k];
      double n = ws_.species.n[k];
      condensed += n * vm * kCm3ToM3;
      if (++ordinal <= kMaxUnknowns)
        ws_.corrections.gamma[ordinal] = r.T > 0 ? -kCalPerJ * r.p * vm / r.T : 0;
      pvSum += kCalPerJ * r.p * vm * n;
    }
    st_.condensedVolume = condensed;
    if (SolveEosVolume(s_.task, s_.ws, s_.report, s_.ui, K_, st_.c1, st_.c2) != 0) {
      ui_.Info(EosAdvice(ws_.eos));
      return Flow::EndParameterLoop;
    }
    solveShift_ = condensed;
    ComputeEosCorrections(s_.task, s_.ws, K_);
    ws_.corrections.Hc -= pvSum;
    // The corrections are those of the EOS volume just found (relaxed against the
    // previous ones when the passes swing): a volume extrapolated from the previous
    // pass would leave the gas-law row at a pressure other than the EOS's own.
    relaxation = mixer.Mix(ws_.corrections, used, nGas, ws_.eos.gasCount,
                           std::min(ordinal, kMaxUnknowns), pass == 0);
    st_.previousResults = {r.p, r.T, r.V, r.S, r.H, r.U};
    st_.startMode = 2;
    if (++pass >= kMaxNonIdealPasses) break;
  }

  // Finish of a non-ideal point.
  ws_.results.gasVolume = ws_.results.V;
  if (pass < kMaxNonIdealPasses) {
    if (task_.Option(kOptSound)) ComputeSoundVelocity(s_.task, s_.ws, E_, K_, ions_);
    ComputeEosProperties(s_.task, s_.ws);
  }
  if (pass == kMaxNonIdealPasses && largest / relaxation > kNonIdealAcceptTolerance) {
    // Not converged: the state is no result, so neither the report nor the table
    // receives it.
    ui_.Info(kMsgRealGasNotFound);
    return Flow::Done;
  }
  ws_.results.V += st_.condensedVolume;
  if (!WriteReport()) return Flow::Done;
  WriteRecord();
  pointValid_ = true;
  ++outcome_.pointsWritten;
  return Flow::Done;
}

// A point with the BKW equation, from the ideal-gas state of its first pass: the solve
// with the BKW terms (assigned volumes are whole volumes, gas and condensed), the
// equilibrium and frozen properties of the state, the report and the table.
Flow Runner::SolveBkwPoint() {
  ws_.derivatives.requested = task_.Option(kOptSound);
  st_.startMode = 2;
  const int code = SolveBkwFromIdealState(s_, st_.value1, st_.c1, st_.value2, st_.c2, K_, E_);
  ws_.derivatives.requested = false;
  status_ = code;
  if (code != kSolveOk) {
    if (st_.quietFailed) ui_.Info(kMsgRealGasNotFound);
    st_.quietFailed = false;
    return Flow::Done;
  }
  if (!ws_.bkw.inDomain) {
    ui_.Info(kMsgBkwOutsideDomain);
    status_ = kSolveNoSolution;
    return Flow::Done;
  }
  FinishBkwState();
  ws_.bkw.pointSolved = true;
  const bool written = WriteReport();
  ws_.bkw.pointSolved = false;
  if (!written) return Flow::Done;
  WriteRecord();
  pointValid_ = true;
  ++outcome_.pointsWritten;
  return Flow::Done;
}

// The properties of a BKW state the report and the table read: the condensed volume
// added to V, the equilibrium ones from the solver's derivatives (with the sound
// option), the frozen ones of the fixed composition.
void Runner::FinishBkwState() {
  ResultsBlock& r = ws_.results;
  st_.condensedVolume = ws_.bkw.condensedVolume;
  r.gasVolume = r.V;
  if (task_.Option(kOptSound)) {
    // Transport properties of the gas at the state; the equilibrium heat capacities, the
    // sound velocity and the exponent are those of the BKW state.
    ComputeSoundVelocity(s_.task, s_.ws, E_, K_, ions_);
    const EquilibriumDerivatives& d = ws_.derivatives;
    if (d.valid) {
      r.soundSpeed = d.soundSpeed;
      r.CpEquilibrium = d.Cp;
      r.CvEquilibrium = d.Cv;
      r.cpUnbounded = r.cvUnbounded = false;
      const double pv = r.p * 1e6 * (r.V + st_.condensedVolume);
      r.kEquilibrium = pv > 0 ? d.soundSpeed * d.soundSpeed / pv : 0;
    } else {
      r.soundSpeed = 1;
      r.CpEquilibrium = r.CvEquilibrium = r.kEquilibrium = 0;
    }
  }
  r.V += st_.condensedVolume;
  const BkwFrozenProperties frozen = EvaluateBkwFrozen(s_.ws);
  if (frozen.valid) {
    r.Cp = frozen.Cp;
    r.CvFrozen = frozen.Cv;
    r.aFrozen = frozen.a;
    r.kFrozen = frozen.k;
  } else {
    r.CvFrozen = r.aFrozen = r.kFrozen = 0;
  }
}

// The detonation template: for every initial state the CJ point of the variant, written
// as a point of the report (its state, composition and the section of detonation
// parameters) and of the results table with its extension columns.  A point without a
// CJ state is told why and the run goes on with the next one.
Flow Runner::DetonationPoints() {
  const bool bkw = eos_ == kEosBkw;
  RunObserver* observer = request_.options ? request_.options->observer : nullptr;
  int index = 0;
  for (DetonationRequest request : *request_.detonations) {
    ui_.ProcessPendingInput();
    if (st_.cancel) {
      outcome_.cancelled = true;
      return Flow::EndRun;
    }
    ++st_.parameterVariant;
    ++index;
    request.frozenExpansion = task_.Option(kOptFrozen);
    request.freezingTemperature = s_.settings.record.freezingT;
    DetonationFigures& f = ws_.detonation;
    const long long recordsBefore = st_.resultsRecords;
    // The observer hears of every initial state, with the record it wrote or without.
    auto tell = [&](bool written) {
      ++(written ? st_.pointsComputed : st_.pointsFailed);
      if (!observer) return;
      PointDone done;
      done.componentVariant = st_.componentVariant;
      done.index1 = index;
      done.index2 = 1;
      done.written = written;
      done.status = status_;
      done.records = int(st_.resultsRecords - recordsBefore);
      observer->ChamberPointDone(s_, done);
    };
    if (ComputeDetonation(s_, request, f) != kDetonationOk) {
      ui_.Info(DetonationFailureMessage(request, f));
      status_ = kSolveNoSolution;
      tell(false);
      continue;
    }
    ResultsBlock& r = ws_.results;
    st_.gasPresent = ws_.GasAmount() >= kGasPresentAmount;
    if (bkw) {
      FinishBkwState();
    } else {
      // Ideal gas: the condensed products take no volume, as in the detonation.
      const double nGas = ws_.GasAmount();
      st_.condensedVolume = 0;
      r.CvFrozen = std::max(0.0, r.Cp - nGas * kRgKJ);
      r.kFrozen = r.CvFrozen > 0 && r.Cp > 0 ? r.Cp / r.CvFrozen : 0;
      r.aFrozen = std::sqrt(std::max(0.0, r.kFrozen * r.T * kGasConstantJ * nGas));
      r.gasVolume = r.V;
      if (task_.Option(kOptSound) && st_.gasPresent)
        ComputeSoundVelocity(s_.task, s_.ws, E_, K_, ions_);
    }
    st_.c1 = kParamV;
    st_.value1 = float(f.VCJ);
    st_.c2 = kParamU;
    st_.value2 = float(f.UCJ);
    st_.detonationFlag = true;
    ws_.bkw.pointSolved = bkw;
    const bool written = WriteReport();
    st_.detonationFlag = false;
    ws_.bkw.pointSolved = false;
    if (!written) {
      tell(false);
      continue;
    }
    WriteRecord();
    const std::vector<std::pair<int, double>> columns = {
        {kExtRho0, f.rho0},        {kExtD, f.D},
        {kExtPCJ, f.pCJ},          {kExtTCJ, f.TCJ},
        {kExtRhoCJ, f.rhoCJ},      {kExtUCJ, f.uCJ},
        {kExtCCJ, f.cCJ},          {kExtKCJ, f.gammaCJ},
        {kExtVCJ, f.vCJ},
        {kExtE22, f.energyValid[0] ? f.energy[0] : NAN},
        {kExtE4, f.energyValid[1] ? f.energy[1] : NAN},
        {kExtE72, f.energyValid[2] ? f.energy[2] : NAN},
        {kExtGurney22, f.energyValid[0] ? f.gurney[0] : NAN},
        {kExtGurney4, f.energyValid[1] ? f.gurney[1] : NAN},
        {kExtGurney72, f.energyValid[2] ? f.gurney[2] : NAN},
        {kExtJwlA, f.jwl.valid ? f.jwl.A : NAN},
        {kExtJwlB, f.jwl.valid ? f.jwl.B : NAN},
        {kExtJwlC, f.jwl.valid ? f.jwl.C : NAN},
        {kExtJwlR1, f.jwl.valid ? f.jwl.R1 : NAN},
        {kExtJwlR2, f.jwl.valid ? f.jwl.R2 : NAN},
        {kExtJwlOmega, f.jwl.valid ? f.jwl.omega : NAN},
        {kExtJwlE0, f.jwl.valid ? f.jwl.E0 : NAN},
        {kExtJwlDeviation, f.jwl.valid ? f.jwl.maxDeviation : NAN}};
    if (!AppendResultsExtension(s_.ws, s_.table, s_.TableExtensionPath(), columns))
      throw RunWriteError("table");
    pointValid_ = true;
    ++outcome_.pointsWritten;
    tell(true);
  }
  return Flow::Done;
}

// ---- The run -----------------------------------------------------------------------

RunOutcome Runner::Run() {
  st_.cancel = false;
  ui_.SetProgressPosition(0);
  st_.parameterVariant = 0;
  st_.rowKind = 0;
  status_ = kSolveOk;
  ions_ = task_.Option(kOptIons);
  // Only 2 (virial) and 3 (Kelmost) are non-ideal; any other stored value is the ideal gas.
  eos_ = task_.Eos() == 2 || task_.Eos() == 3 || task_.Eos() == kEosBkw ? task_.Eos() : 1;
  continuation_ = !s_.settings.freshStart;

  // PrepareRunSpecies reorders the species list; the run gives it back as it was.
  // Cleanup runs on every way out, exceptions included.
  struct Cleanup {
    Runner& r;
    SpeciesList saved;
    ~Cleanup() {
      r.s_.report.Close();
      r.s_.table.Close();
      r.ui_.ShowProgress(false);
      r.task_.species = saved;
    }
  } cleanup{*this, task_.species};

  s_.report.ClearFailure();
  if (!s_.report.Open(s_.ReportPath())) throw ReportWriteError(s_);
  s_.report.HoldBlocks(true);
  // A table that cannot be opened here is reported by the first record written to it.
  s_.table.Open(s_.TablePath());
  s_.table.HoldRecords(true);

  if (!SetUp()) return outcome_;
  outcome_.started = true;
  VariantLoop();
  outcome_.cancelled = st_.cancel;
  if (st_.cancel) {
    // The report says where the run ended.
    s_.report.Line(std::string(5, ' ') + RunStoppedText(st_.pointsComputed));
    s_.report.Line(std::string(76, '_'));
    s_.report.Line();
    s_.report.Flush();
    if (s_.report.failed()) throw ReportWriteError(s_);
  }
  // What the report and the table still hold goes to the files before the run counts as
  // done.
  s_.report.Flush();
  if (s_.report.failed()) throw ReportWriteError(s_);
  if (!s_.table.Flush()) throw RunWriteError(ResultsTableWriteError(s_.table, s_.TablePath()));
  return outcome_;
}

RunOutcome RunTaskWith(Session& session, int& status, const RunRequest& request) {
  Runner runner(session, status, request);
  return runner.Run();
}

// Opens `path` with `mode` and closes it again; the reason when that fails.  A file
// that is there must be a regular file: opening a FIFO would block.
std::string TouchFile(const std::string& path, const char* mode) {
  std::error_code ec;
  std::string reason;
  if (std::filesystem::exists(path, ec) && !IsRegularFile(path, &reason)) return reason;
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (!f || std::fclose(f) != 0) return errno != 0 ? std::strerror(errno) : "write error";
  return {};
}

// Creates the report when it is missing and empties the results table.  Throws when
// either cannot be written.
void PrepareResultFiles(Session& session) {
  // The extension of the last run's table goes with it (a run writes it anew when it
  // has such columns).
  session.ws.state.resultsRecords = 0;
  if (session.table.InMemory()) {
    session.table.ClearValues();
    return;
  }
  std::string reason = TouchFile(session.ReportPath(), "ab");
  if (!reason.empty())
    throw RunWriteError("The results report " + session.ReportPath() +
                        " cannot be written: " + reason + ".");
  reason = TouchFile(session.TablePath(), "wb");
  if (!reason.empty())
    throw RunWriteError("The results table " + session.TablePath() + " cannot be written: " +
                        reason + ".");
  std::remove(session.TableExtensionPath().c_str());
}

// ---- Size of a run -----------------------------------------------------------------

// Up to this many points a run starts without a question; above it the user is asked.
constexpr double kPointsWithoutQuestion = 10000;
// Largest number of points of one run.  Beyond it the run would go on for days and
// its report would grow to many gigabytes.
constexpr double kMaxRunPoints = 1000000;

const char* const kParameterNames[] = {"", "first parameter", "second parameter",
                                       "expansion parameter"};

std::string PointCountText(double n) {
  if (n < 1e15) return IntText(static_cast<long long>(n));
  return "more than " + IntText(1000000000000000LL);
}

// Number of values list `l` yields, counted as the run walks them: exact up to the
// largest run, an estimate beyond.
double ListCount(const ValueList& l) {
  const double estimate = l.Count();
  if (!l.Ranged() || estimate > kMaxRunPoints) return estimate;
  int i = 0;
  float v = 0;
  while (i <= kMaxRunPoints && l.Value(i + 1, v)) ++i;
  return i;
}

// Number of source-composition variants the run walks.  A stepped component runs from
// its first amount to its second (the variants end when one of them passes its end);
// listed amounts give as many variants as the lists are long.
double VariantCount(const Task& task) {
  if (!task.variableComposition) return 1;
  if (!task.steppedComposition) {
    int v = 1;
    for (; v < kMaxListValues; ++v) {
      bool any = false;
      for (int i = 1; i <= kMaxComponents; ++i)
        if (task.components[i].amounts[v + 1] > 0) any = true;
      if (!any) break;
    }
    return v;
  }
  double n = HUGE_VAL;
  for (int i = 1; i <= kMaxComponents; ++i) {
    const SourceComponent& c = task.components[i];
    if (c.step == 0) continue;
    const double span = (double(c.amounts[2]) - double(c.amounts[1])) / double(c.step);
    double count = !std::isfinite(span) ? HUGE_VAL : span < -1 ? 0 : std::floor(span) + 2;
    if (count <= kMaxRunPoints + 2) {
      // Counted as the element balance walks the variants, in 32-bit floats.
      count = 0;
      for (;;) {
        const float w = float(count * double(c.step) + double(c.amounts[1]));
        if (c.step > 0 && double(w) - 5e-21 > c.amounts[2]) break;
        if (c.step < 0 && double(w) + 5e-21 < c.amounts[2]) break;
        ++count;
      }
    }
    n = std::min(n, count);
  }
  return n;
}

// Points the Run command will calculate: every variant times every combination of
// values, each with its throat and expansion points, or the template points.
double RunPointCount(const Session& s) {
  const Task& task = s.task;
  const double variants = VariantCount(task);
  if (task.firstCode == kParamTemplate) {
    double perVariant = 0;
    if (task.Option(kOptTemplateImpulse)) perVariant += task.Option(kOptThroat) ? 3 : 2;
    if (task.Option(kOptTemplatePowder)) perVariant += 1;
    if (task.Option(kOptTemplateHeat)) perVariant += 2;
    if (task.Option(kOptTemplateDetonation)) perVariant += s.settings.record.detonationCount;
    return variants * perVariant;
  }
  const RunLists run = MakeRunLists(task, false);
  double perCombination = 1;
  if (task.Option(kOptThroat)) perCombination += 1;
  if (run.expansionCode != kParamNone) perCombination += ListCount(run.lists[3]);
  return variants * ListCount(run.lists[1]) * ListCount(run.lists[2]) * perCombination;
}

// Checks that the run can start and will end: every step of a range moves its value,
// and the number of points is one a run can hold; above kPointsWithoutQuestion the
// user decides.  False when refused (the message was shown).
bool CheckRunSize(Session& s) {
  const Task& task = s.task;
  Interaction& ui = s.ui;
  if (task.firstCode != kParamTemplate) {
    const RunLists run = MakeRunLists(task, false);
    for (int n = 1; n <= 3; ++n) {
      if (n == 3 && run.expansionCode == kParamNone) continue;
      if (!run.lists[n].StepMovesValues()) {
        ui.Error(std::string("The step of the ") + kParameterNames[n] +
                 " is too small to change its value.\nUse a larger step.");
        return false;
      }
    }
  }
  for (int i = 1; i <= kMaxComponents; ++i) {
    const SourceComponent& c = task.components[i];
    if (c.step != 0 && !StepExceedsResolution(c.step, c.amounts[1], c.amounts[2])) {
      ui.Error("The step of source component " + IntText(i) +
               " is too small to change its amount.\nUse a larger step.");
      return false;
    }
  }

  const double points = RunPointCount(s);
  if (!(points <= kMaxRunPoints)) {
    ui.Error("The run would calculate " + PointCountText(points) + " points.\nAt most " +
             PointCountText(kMaxRunPoints) +
             " points can be calculated in one run.\nUse a larger step or fewer values.");
    return false;
  }
  if (points > kPointsWithoutQuestion) {
    return ui.AskYesNo(MessageKind::Confirmation,
                       "The run will calculate " + PointCountText(points) +
                           " points.\nIt will take long and its report will be large.\n"
                           "Start calculation process ?");
  }
  return true;
}

// Reads the three value lists and their steps from the texts as typed.  False when a
// list is refused (its message was shown).
bool BuildValueLists(Session& s) {
  Task& t = s.task;
  if (t.firstCode == kParamTemplate) return true;
  for (int n = 1; n <= 3; ++n) {
    ParameterSlot& slot = t.slots[n];
    const std::string text = slot.valueText;
    if (!AcceptValueList(t, n, text, s.ui)) return false;
    if (slot.count == 2 && !ParseStep(t, slot.stepText, n, s.ui)) return false;
    // A step of 0, or one leading away from the end, makes no range.
    const std::string problem = SlotCode(t, n) > 0 ? RangeProblem(t, n) : std::string();
    if (!problem.empty()) {
      s.ui.Warn(problem);
      return false;
    }
  }
  return true;
}

// The largest magnitude of an assigned value, in the unit the user chose: beyond it no
// equilibrium is specified.  Every value of every list counts, and both ends of a range
// (its other values lie between them).
constexpr double kMaxAssignedValue = 1e10;

bool WithinAssignedBound(double v) { return std::fabs(v) <= kMaxAssignedValue; }

bool ValuesWithinBound(const Task& task) {
  for (int n = 1; n <= 3; ++n) {
    if (SlotCode(task, n) <= 0) continue;
    const ParameterSlot& slot = task.slots[n];
    for (int i = 1; i <= slot.count && i <= kMaxListValues; ++i)
      if (!WithinAssignedBound(slot.values[i])) return false;
  }
  return true;
}

// The template values of the chosen templates within the same bound.
bool TemplateValuesWithinBound(const Task& task, const SettingsRecord& t) {
  bool ok = true;
  if (task.Option(kOptTemplateImpulse))
    ok = ok && WithinAssignedBound(t.impulseP) && WithinAssignedBound(t.impulseH) &&
         WithinAssignedBound(t.impulsePa);
  if (task.Option(kOptTemplatePowder))
    ok = ok && WithinAssignedBound(t.powderP) && WithinAssignedBound(t.powderU);
  if (task.Option(kOptTemplateHeat))
    ok = ok && WithinAssignedBound(t.heatV) && WithinAssignedBound(t.heatU);
  return ok;
}

// Builds the run tables of the selected species once, as the run will, so that a
// species the run cannot take (an element outside the system, a record missing or with
// invalid values, fixed amounts using up an element) refuses the run before its
// results files are touched.  The species list and the element count are given back.
bool RunSpeciesUsable(Session& s) {
  const SpeciesList saved = s.task.species;
  const int elementCount = s.task.elementCount;
  const bool ok = PrepareRunSpecies(s.task, s.database, s.ws, s.ui);
  s.task.species = saved;
  s.task.elementCount = elementCount;
  return ok;
}

// Sets one value list to a single value.
void SetSingleValue(ParameterSlot& slot, float value) {
  slot.valueText = "";
  for (int i = 1; i <= kMaxListValues; ++i) slot.values[i] = kEmptyValue;
  slot.values[1] = value;
  slot.count = 1;
  slot.stepText = "";
  slot.step = 0;
}

// The detonation requests of the settings' template values.
std::vector<DetonationRequest> TemplateDetonations(const SettingsRecord& t) {
  std::vector<DetonationRequest> requests;
  const int n = std::clamp(int(t.detonationCount), 0, kMaxDetonationDensities);
  for (int i = 0; i < n; ++i) {
    DetonationRequest r;
    r.initialDensity = t.detonationDensities[i];
    r.initialPressure = t.detonationP0;
    r.initialTemperature = t.detonationT0;
    requests.push_back(r);
  }
  return requests;
}

// The detonation template with the given initial states; the task's parameter choice is
// given back afterwards.  Returns whether the run started.
bool RunDetonationTemplate(Session& s, const std::vector<DetonationRequest>& requests,
                           const RunOptions& options) {
  Task& task = s.task;
  RunState& st = s.ws.state;
  struct Restore {
    Task& task;
    RunState& st;
    int first, second, expansion;
    Array1<ParameterSlot, 3> slots;
    ~Restore() {
      task.firstCode = first;
      task.secondCode = second;
      task.expansionCode = expansion;
      task.slots = slots;
      st.templateMode = 0;
    }
  } restore{task, st, task.firstCode, task.secondCode, task.expansionCode, task.slots};
  // The run's value lists are not walked; one value each keeps its set-up content.
  task.firstCode = kParamP;
  SetSingleValue(task.slots[1], 0.1f);
  task.secondCode = kParamT;
  SetSingleValue(task.slots[2], 298.15f);
  task.expansionCode = kParamNone;
  SetSingleValue(task.slots[3], 0);
  task.slots[3].count = 0;
  st.templateMode = 4;
  s.ws.detonationRequests = requests;
  RunRequest request;
  request.internalUnits = true;
  request.detonations = &requests;
  request.options = &options;
  int status = 0;
  const bool started = RunTaskWith(s, status, request).started;
  ++st.templateCounter;
  return started;
}

// B. Template calculations.  Returns false when none is chosen or none could start.
bool RunTemplates(Session& s, const RunOptions& options) {
  Task& task = s.task;
  RunState& st = s.ws.state;
  const bool impulse = task.Option(kOptTemplateImpulse);
  const bool powder = task.Option(kOptTemplatePowder);
  const bool heat = task.Option(kOptTemplateHeat);
  const bool detonation = task.Option(kOptTemplateDetonation);
  if (!impulse && !powder && !heat && !detonation) {
    s.ui.Info(kMsgNoTemplates);
    return false;
  }
  const SettingsRecord& t = s.settings.record;

  // The user's own parameter choice is given back after the templates.
  struct Restore {
    Task& task;
    RunState& st;
    int first, second, expansion;
    Array1<ParameterSlot, 3> slots;
    std::uint8_t eos;
    ~Restore() {
      task.firstCode = first;
      task.secondCode = second;
      task.expansionCode = expansion;
      task.slots = slots;
      task.options[kOptEos] = eos;
      st.templateMode = 0;
    }
  } restore{task,
            st,
            task.firstCode,
            task.secondCode,
            task.expansionCode,
            task.slots,
            task.options[kOptEos]};

  RunRequest request;
  request.internalUnits = true;
  request.options = &options;
  int status = 0;
  bool started = false;

  // Puts the template's assigned values into the task (one value each; no expansion
  // parameter when its code is none).
  auto setTemplate = [&](int mode, int first, float v1, int second, float v2, int expansion,
                         float v3) {
    task.firstCode = first;
    SetSingleValue(task.slots[1], v1);
    task.secondCode = second;
    SetSingleValue(task.slots[2], v2);
    task.expansionCode = expansion;
    SetSingleValue(task.slots[3], v3);
    if (expansion == kParamNone) task.slots[3].count = 0;
    st.templateMode = mode;
  };

  // Runs the impulse or powder template as set; true when the user stopped the run.
  auto runCounted = [&]() {
    RunOutcome o = RunTaskWith(s, status, request);
    ++st.templateCounter;
    task.options[kOptEos] = restore.eos;
    started = started || o.started;
    return o.cancelled;
  };

  if (impulse) {
    setTemplate(1, kParamP, t.impulseP, kParamH, t.impulseH, kParamPa, t.impulsePa);
    if (runCounted()) return started;
  }
  if (powder) {
    setTemplate(2, kParamP, t.powderP, kParamU, t.powderU, kParamNone, 0);
    if (runCounted()) return started;
  }
  if (heat) {
    setTemplate(3, kParamV, t.heatV, kParamU, t.heatU, kParamNone, 0);
    RunOutcome o = RunTaskWith(s, status, request);
    started = started || o.started;
    if (status == kSolveOk && !o.cancelled && o.pointsWritten > 0) {
      double q = s.ws.results.U;
      task.secondCode = kParamT;
      SetSingleValue(task.slots[2], kStandardTemperature);
      o = RunTaskWith(s, status, request);
      if (status == kSolveOk && !o.cancelled && o.pointsWritten > 0) {
        q -= s.ws.results.H;
        if (options.observer) options.observer->HeatOfCombustion(s, q);
        ReportFile& rep = s.report;
        rep.ClearFailure();
        if (!rep.Open(s.ReportPath())) throw ReportWriteError(s);
        rep.Line(std::string(5, ' ') +
                 (task.Option(kOptFrozen) ? "Heat of Combustion (FROZEN) = "
                                          : "Heat of Combustion (EQUILIBRIUM) = ") +
                 Fixed(q, 12, 3) + " kJ/kg");
        rep.Line(std::string(76, '_'));
        rep.Close();
        if (rep.failed()) throw ReportWriteError(s);
      }
    }
    if (o.cancelled) return started;
  }
  if (detonation) started = RunDetonationTemplate(s, TemplateDetonations(t), options) || started;
  return started;
}

}  // namespace

std::string RunStoppedText(int computed) {
  return "Calculation stopped by the user after " + IntText(computed) +
         (computed == 1 ? " point." : " points.");
}

std::string RunSummaryText(const RunState& state) {
  std::string text = IntText(state.pointsComputed) +
                     (state.pointsComputed == 1 ? " point computed, " : " points computed, ") +
                     IntText(state.pointsFailed) + " failed.";
  if (state.cancel) text = "Stopped: " + text;
  return text;
}

void RunTask(Session& session, int& status) {
  RunTaskWith(session, status, RunRequest{});
}

bool RunCommand(Session& session) { return RunCommand(session, RunOptions{}); }

bool RunDetonations(Session& session, const std::vector<DetonationRequest>& requests) {
  RunOptions options;
  options.detonations = requests;
  if (requests.empty()) return false;
  return RunCommand(session, options);
}

bool RunCommand(Session& session, const RunOptions& options) {
  const std::vector<DetonationRequest>* detonations =
      options.detonations.empty() ? nullptr : &options.detonations;
  Task& task = session.task;
  Interaction& ui = session.ui;
  RunState& st = session.ws.state;

  st.templateMode = 0;
  st.templateCounter = 0;
  st.firstSumConfirmed = false;
  st.pointsComputed = st.pointsFailed = 0;
  st.cancel = false;
  // Whatever way the command ends, the confirmation belongs to this command only.
  struct ForgetConfirmation {
    RunState& st;
    ~ForgetConfirmation() { st.firstSumConfirmed = false; }
  } forget{st};

  auto selectedCount = [&task] {
    int n = 0;
    for (int i = 1; i <= task.species.total; ++i)
      if (task.species.items[i].entry.selected) ++n;
    return n;
  };
  auto tooMany = [&ui](int n) {
    if (n <= kMaxRunSpecies) return false;
    ui.Info("Number of substances is too big (" + IntText(n) + ").\n" +
            "Maximum number of substances is " + "130" + ".");
    return true;
  };
  if (tooMany(selectedCount())) return false;

  bool ran = false;
  try {
    // A row that is no component (two formulas in one cell, an element without atoms,
    // a negative amount, a step that makes no range) refuses the run first.
    if (!ComponentsUsable(task, ui)) return false;

    // The species list is rebuilt from the database when the element set differs from
    // the one the list was made for, or when elements exist but the list is empty.
    bool changed = task.elementSetChanged || task.referenceElementCount != task.elementCount;
    for (int j = 1; j <= task.elementCount && j <= kMaxSystemElements && !changed; ++j)
      if (task.referenceElements[j] != task.elements[j].index) changed = true;
    if (changed || (task.elementCount > 0 && task.species.total == 0)) {
      task.species.rescanDatabase = true;
      const bool loaded = LoadSpeciesList(session.task, session.database, session.grid, session.ui,
                                          session.view, session.SpeciesListPath());
      task.species.rescanDatabase = false;
      if (!loaded) return false;  // "Too many substances !" said what is wrong
      task.referenceElementCount = task.elementCount;
      for (int j = 1; j <= kMaxSystemElements; ++j)
        task.referenceElements[j] = task.elements[j].index;
      task.elementSetChanged = false;
      // A rebuilt list selects every candidate: it may hold more than a run takes.
      if (tooMany(selectedCount())) return false;
    }

    if (!detonations && !BuildValueLists(session)) return false;
    if (!CollectFixedConcentrations(session.task, session.grid, session.ui, session.view))
      return false;
    // As when the component grid is read: a step belongs only to a row with two amounts.
    ClearStepsWithoutRange(task);
    if (!CheckVariants(task, ui)) return false;

    // Some element must be present, whichever component brings it: the element list
    // follows the order of the components, and a tiny first one must not refuse a
    // task that runs with the components in another order.
    bool balanced = ComputeElementBalance(session.task, session.database, session.ui, 1);
    bool present = false;
    for (int e = 1; e <= task.elementCount && e <= kMaxSystemElements; ++e)
      present = present || task.elements[e].amount > 1e-22f;
    if (!balanced || task.elementCount <= 0 || !present) {
      ui.Info(kMsgNoElements);
      return false;
    }

    if (selectedCount() == 0) {
      ui.Info(kMsgNoCompounds);
      return false;
    }

    // Every check that can refuse the run comes before the results of the last run
    // are emptied: a refused run leaves them as they were.
    if (detonations) {
      // The initial states were checked where they were given.
    } else if (task.firstCode != kParamTemplate) {
      if (!MakeRunLists(task, false).Valid() || !ValuesWithinBound(task)) {
        ui.Error(kMsgEquilibriumNotSpecified);
        return false;
      }
    } else if (!task.Option(kOptTemplateImpulse) && !task.Option(kOptTemplatePowder) &&
               !task.Option(kOptTemplateHeat) && !task.Option(kOptTemplateDetonation)) {
      ui.Info(kMsgNoTemplates);
      return false;
    } else if (!TemplateValuesWithinBound(task, session.settings.record)) {
      ui.Error(kMsgEquilibriumNotSpecified);
      return false;
    }
    if (!detonations && !CheckRunSize(session)) return false;
    if (!RunSpeciesUsable(session)) return false;
    // The sum question of the first variant, whose No refuses the run, is asked here.
    if (task.Option(kOptCheckSum)) {
      if (!ui.AskYesNo(MessageKind::Confirmation, SumQuestion(task))) return false;
      st.firstSumConfirmed = true;
    }

    PrepareResultFiles(session);

    if (detonations) {
      ran = RunDetonationTemplate(session, *detonations, options);
    } else if (task.firstCode != kParamTemplate) {
      int status = 0;
      RunRequest request;
      request.options = &options;
      ran = RunTaskWith(session, status, request).started;
    } else {
      ran = RunTemplates(session, options);
    }
  } catch (const std::exception& e) {
    ui.ShowProgress(false);
    ui.Error(std::string(kMsgCalculationFailed) + "\n" + e.what());
    ran = false;
  } catch (...) {
    ui.ShowProgress(false);
    ui.Error(kMsgCalculationFailed);
    ran = false;
  }
  return ran;
}

}  // namespace kvil
