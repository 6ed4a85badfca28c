// kvil._kvil: the compiled layer of the Python package.
//
// A Calculation is one Session of the engine prepared for a mixture: the source
// components taken in as the component grid takes them, the candidate species of the
// system from the species database, the options of the task.  Run() puts points
// through the Run command exactly as kvil-batch does, with the report and the results
// table kept in memory, and hands back the results table's records and every chamber
// point with its messages.  The GIL is released while the engine runs; a Calculation
// is used by one thread at a time (the Python layer keeps a pool of them).
//
// Units are the program's: MPa, K, m3/kg, kJ/(kg K), kJ/kg, mol/kg.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/batch_run.h"
#include "common/interaction.h"
#include "common/numfmt.h"
#include "components/catalog.h"
#include "core/detonation.h"
#include "core/point_log.h"
#include "core/run.h"
#include "core/session.h"
#include "results/rocket_figures.h"
#include "task/elements.h"
#include "task/formula.h"
#include "task/settings.h"
#include "task/spec_fields.h"
#include "task/task.h"
#include "task/task_view.h"
#include "task/value_lists.h"
#include "thermo/bkw.h"
#include "thermo/species_catalog.h"
#include "thermo/species_db.h"
#include "thermo/species_functions.h"

namespace py = pybind11;

namespace kvil {
namespace python {

// A refusal with the program's message; the Python layer raises the matching kvil.Error.
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct CalculationError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Messages are kept as the program shows them; questions are answered with the answer given when the calculation
// was made (the program's default is Yes); nothing is shown and nothing waits.
class QuietInteraction : public Interaction {
 public:
  explicit QuietInteraction(Answer answer) : answer_(answer) {}
  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override {
    (void)kind;
    lines_.push_back(text);
    if (buttons == Buttons::Ok) return Answer::Ok;
    return answer_;
  }
  void ShowProgress(bool) override {}
  void SetProgressLabels(const ProgressLabels&) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingInput() override {}
  bool ShowsProgressLabels() const override { return false; }

  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(lines_);
    return out;
  }

 private:
  Answer answer_;
  std::vector<std::string> lines_;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) {
    if (!out.empty()) out += '\n';
    out += l;
  }
  return out;
}

// The text of a number that ParseNumber reads back to the same 32-bit float.
std::string FloatText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

std::string DoubleText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// The species database, read once and shared read-only by the calculations made on it.
class Database {
 public:
  explicit Database(const std::string& directory) {
    if (!db_.Open(directory))
      throw DatabaseError("Species database not found in " + directory + " (" + db_.OpenError() +
                          ")");
  }
  const SpeciesDatabase& db() const { return db_; }
  std::string directory() const { return db_.Directory(); }
  int species_count() const { return db_.SpeciesCount(); }

 private:
  SpeciesDatabase db_;
};

// Equation-of-state codes the engine knows (1 ideal gas, 2 virial, 3 Kelmost, 4 BKW).
constexpr int kLastEosCode = kEosBkw;

using ComponentRow = std::tuple<std::string, double, double>;  // formula, parts, kJ/kg

// The component grid cells of the rows, taken into `session` as the grid takes them.
// Throws InputError with the program's messages when a cell is refused.
void TakeComponents(Session& session, QuietInteraction& quiet,
                    const std::vector<ComponentRow>& rows) {
  if (rows.empty()) throw InputError("No source components are given.");
  if (rows.size() > std::size_t(kMaxComponents))
    throw InputError("At most " + std::to_string(kMaxComponents) + " source components.");
  std::array<ComponentCells, 20> cells;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& [formula, parts, enthalpy] = rows[i];
    if (!std::isfinite(parts) || !std::isfinite(enthalpy))
      throw InputError("Source component " + std::to_string(i + 1) +
                       ": the amount and the enthalpy must be finite numbers.");
    cells[i].formula = formula;
    cells[i].amount = FloatText(parts);
    cells[i].enthalpy = FloatText(enthalpy);
  }
  const GridLeaveResult r = AcceptComponentGrid(session.task, session.database, session.ui, cells);
  std::vector<std::string> messages = quiet.Take();
  if (!r.ok) {
    std::string text = Joined(messages);
    if (text.empty()) text = "Source component " + std::to_string(r.row) + " is refused.";
    throw InputError(text);
  }
}

struct MixtureFacts {
  double enthalpy = 0;  // kJ/kg
  std::vector<std::pair<std::string, double>> elements;  // symbol, mol/kg
  std::vector<double> massFractions;
};

// Element balance of the components alone (no database needed).
MixtureFacts CheckMixture(const std::vector<ComponentRow>& rows) {
  QuietInteraction quiet(Answer::Yes);
  PointLog log(quiet);
  NullTaskView view;
  auto session = std::make_unique<Session>(log, view);
  ResetTask(session->task);
  TakeComponents(*session, quiet, rows);
  float hm = 0;
  const bool ok = ComputeElementBalance(session->task, session->database, session->ui, 1, &hm);
  if (!ok || session->task.elementCount <= 0) {
    std::string text = Joined(quiet.Take());
    throw InputError(text.empty() ? "Elements or their amount are not specified." : text);
  }
  MixtureFacts f;
  f.enthalpy = hm;
  const Task& t = session->task;
  for (int j = 1; j <= t.elementCount; ++j)
    f.elements.emplace_back(ElementSymbol(t.elements[j].index), t.elements[j].amount);
  for (std::size_t i = 1; i <= rows.size(); ++i) f.massFractions.push_back(t.massFractions[i]);
  return f;
}

struct SpeciesInfo {
  std::string name;
  int record = 0;
  bool condensed = false;
  bool selected = false;
  double molarMass = 0;  // g/mol
};

// One run's results: every chamber point with its messages, the records of the results
// table, and what refused the run when it did not start.
struct RunResult {
  std::vector<int> pointIndex;     // position of the point in the request
  std::vector<int> pointOk;
  std::vector<std::string> pointMessage;
  std::vector<long long> pointFirstRecord, pointRecords;
  std::vector<double> pointHeat;   // heat of combustion or NaN
  std::vector<int> recordKind;
  std::vector<double> parameters;  // records x 23
  std::vector<double> amounts;     // records x species
  std::vector<double> extension;   // records x extension columns (NaN where none)
  std::vector<std::pair<std::string, double>> elements;
  std::string report;
  long long solves = 0, iterations = 0;  // equilibrium solves and Newton iterations of the run
};

class Calculation {
 public:
  // eos 1..4; species: names to take part (empty = every candidate); exclude: names to
  // leave out.  answer: "yes" or "no" for every question of the program.
  Calculation(const Database& db, const std::vector<ComponentRow>& rows, int eos, int bkwSet,
              bool ions, const std::vector<std::string>& species,
              const std::vector<std::string>& exclude, const std::string& answer, bool sound,
              double freezingT, double ambientP)
      : quiet_(answer == "no" ? Answer::No : Answer::Yes),
        log_(quiet_),
        session_(std::make_unique<Session>(log_, view_)) {
    if (answer != "yes" && answer != "no") throw InputError("The answer must be yes or no.");
    Session& s = *session_;
    s.database = db.db();
    s.settings.fileName.clear();
    SetDefaultSettings(s.settings.record);
    if (std::isfinite(freezingT)) {
      if (!(freezingT > 0)) throw InputError("This parameter must have the positive value.");
      s.settings.record.freezingT = float(freezingT);
    }
    if (std::isfinite(ambientP)) {
      if (!(ambientP > 0)) throw InputError("This parameter must have the positive value.");
      s.settings.record.ambientP = float(ambientP);
    }
    s.settings.cutoff = s.settings.record.cutoff;
    ResetTask(s.task);
    s.task.name = "python";
    s.task.options = s.settings.record.options;
    if (eos < 1 || eos > kLastEosCode)
      throw InputError("Unknown equation of state " + std::to_string(eos) + ".");
    s.task.options[kOptEos] = std::uint8_t(eos);
    if (bkwSet < 0 || bkwSet > 1) throw InputError("Unknown BKW parameter set.");
    s.task.options[kOptBkwSet] = std::uint8_t(bkwSet);
    s.task.options[kOptIons] = ions ? 1 : 0;
    s.task.options[kOptSound] = sound ? 1 : 0;
    TakeComponents(s, quiet_, rows);
    if (!ComputeElementBalance(s.task, s.database, s.ui, 1) || s.task.elementCount <= 0) {
      std::string text = Joined(quiet_.Take());
      throw InputError(text.empty() ? "Elements or their amount are not specified." : text);
    }

    // Candidate species of the system, every one selected, then the choice asked for.
    s.task.species.rescanDatabase = true;
    LoadSpeciesList(s.task, s.database, s.grid, s.ui, s.view, s.SpeciesListPath());
    s.task.species.rescanDatabase = false;
    if (s.task.species.total == 0) {
      std::string text = Joined(quiet_.Take());
      throw InputError(text.empty() ? "No compounds are selected \nfor given set of elements."
                                     : text);
    }
    s.task.referenceElementCount = s.task.elementCount;
    for (int j = 1; j <= kMaxSystemElements; ++j)
      s.task.referenceElements[j] = s.task.elements[j].index;
    s.task.elementSetChanged = false;
    SpeciesList& list = s.task.species;
    auto find = [&list](const std::string& name) {
      for (int i = 1; i <= list.total; ++i)
        if (list.items[i].displayName == name) return i;
      return 0;
    };
    std::string unknown;
    for (const std::string& n : species)
      if (!find(n)) unknown += (unknown.empty() ? "" : ", ") + n;
    for (const std::string& n : exclude)
      if (!find(n)) unknown += (unknown.empty() ? "" : ", ") + n;
    if (!unknown.empty())
      throw InputError("Unknown species (not a candidate of the system's elements): " + unknown);
    if (!species.empty())
      for (int i = 1; i <= list.total; ++i) list.items[i].entry.selected = 0;
    for (const std::string& n : species) list.items[find(n)].entry.selected = 1;
    for (const std::string& n : exclude) list.items[find(n)].entry.selected = 0;
    list.selected = 0;
    for (int i = 1; i <= list.total; ++i) list.selected += list.items[i].entry.selected;
    quiet_.Take();

    s.report.KeepInMemory(true);
    s.table.KeepInMemory(true);
    task0_ = s.task;
  }

  double enthalpy() const { return session_->task.mixtureEnthalpy; }

  std::vector<SpeciesInfo> speciesList() const {
    std::vector<SpeciesInfo> out;
    const SpeciesList& list = session_->task.species;
    for (int i = 1; i <= list.total; ++i) {
      SpeciesInfo info;
      info.name = list.items[i].displayName;
      info.record = list.items[i].entry.record;
      info.condensed = list.items[i].entry.phase == 1;
      info.selected = list.items[i].entry.selected != 0;
      SpeciesRecord rec;
      if (session_->database.ReadSpecies(info.record, rec)) info.molarMass = SpeciesMolarMass(rec);
      out.push_back(info);
    }
    return out;
  }

  // Equilibrium points: codes c1, c2 (1 p .. 6 U) and their values; with an expansion
  // code (7 Pa, 8 Va, 9 area ratio) and values every point is a chamber point with its
  // throat (when `throat`) and expansions.  Points the value fields would refuse fail
  // with their message and are not run.
  RunResult Run(int c1, int c2, const std::vector<std::pair<double, double>>& points,
                int expansionCode, const std::vector<double>& expansionValues, bool throat,
                bool frozen, bool freshStart, bool keepReport) {
    Session& s = *session_;
    s.settings.freshStart = freshStart;
    s.report.KeepText(keepReport);
    RunResult result;
    if (c1 < kParamP || c1 > kParamU || c2 < kParamP || c2 > kParamU)
      throw InputError("Equilibrium is not specified !");
    if (c1 == c2) throw InputError("Equilibrium must be specified by different parameters !");
    Restart();
    Task& t = s.task;
    t.firstCode = c1;
    t.secondCode = c2;
    t.expansionCode = expansionCode;
    t.options[kOptThroat] = throat ? 1 : 0;
    t.options[kOptFrozen] = frozen ? 1 : 0;
    if (expansionCode != kParamNone) {
      std::string text;
      for (double v : expansionValues) text += FloatText(v) + " ";
      if (!AcceptValueList(t, 3, text, quiet_)) throw InputError(Joined(quiet_.Take()));
      if (t.slots[3].count == 0) throw InputError("No expansion values are given.");
    }

    // Each point's values as the value fields take them.
    std::vector<std::pair<float, float>> accepted;
    std::vector<int> position;
    std::vector<std::pair<int, std::string>> refused;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const bool ok1 = AcceptValueList(t, 1, FloatText(points[i].first), quiet_);
      const bool ok2 = ok1 && AcceptValueList(t, 2, FloatText(points[i].second), quiet_);
      std::vector<std::string> m = quiet_.Take();
      if (!ok1 || !ok2 || t.slots[1].count != 1 || t.slots[2].count != 1) {
        refused.emplace_back(int(i), m.empty() ? "The value is refused." : Joined(m));
        continue;
      }
      accepted.emplace_back(t.slots[1].values[1], t.slots[2].values[1]);
      position.push_back(int(i));
    }
    for (const auto& r : refused) AddFailed(result, r.first, r.second);

    const long long solves0 = s.ws.state.solvesTotal;
    const long long iterations0 = s.ws.state.solverIterationsTotal;
    std::size_t next = 0;
    while (next < accepted.size()) {
      t.slots[1].valueText = FloatText(accepted[next].first);
      t.slots[2].valueText = FloatText(accepted[next].second);
      RunOptions options;
      options.points.assign(accepted.begin() + long(next), accepted.end());
      options.observer = &log_;
      log_.Clear();
      s.table.ClearValues();
      const bool ran = RunCommand(s, options);
      const auto& logged = log_.points();
      if (!ran || logged.empty()) {
        std::string text = log_.pendingTexts();
        if (text.empty()) text = "The calculation was refused.";
        if (next == 0 && refused.empty() && accepted.size() == points.size() && !ran)
          throw CalculationError(text);
        for (std::size_t k = next; k < accepted.size(); ++k) AddFailed(result, position[k], text);
        break;
      }
      const std::size_t base = result.recordKind.size();
      TakeRecords(result);
      FileLogged(result, position.data() + next, (long long)base);
      next += logged.size();
    }
    result.solves = s.ws.state.solvesTotal - solves0;
    result.iterations = s.ws.state.solverIterationsTotal - iterations0;
    result.report = s.report.text();
    s.report.ClearText();
    Order(result);
    return result;
  }

  // A template calculation (1 specific impulse, 2 powder force, 3 heat of combustion)
  // with its values (impulse p, H, Pa; powder p, U; heat V, U), as the settings give them.
  RunResult RunTemplate(int kind, double v1, double v2, double v3, bool throat, bool frozen) {
    Session& s = *session_;
    s.report.KeepText(false);
    s.settings.freshStart = true;
    Restart();
    Task& t = s.task;
    SettingsRecord& r = s.settings.record;
    auto positive = [](double v) {
      if (!(v > 0) || !std::isfinite(v))
        throw InputError("This parameter must have the positive value.");
      return float(v);
    };
    auto finite = [](double v) {
      if (!std::isfinite(v)) throw InputError("Wrong number: " + DoubleText(v));
      return float(v);
    };
    t.options[kOptTemplateImpulse] = kind == 1;
    t.options[kOptTemplatePowder] = kind == 2;
    t.options[kOptTemplateHeat] = kind == 3;
    t.options[kOptThroat] = throat ? 1 : 0;
    t.options[kOptFrozen] = frozen ? 1 : 0;
    switch (kind) {
      case 1:
        r.impulseP = positive(v1);
        r.impulseH = finite(v2);
        r.impulsePa = positive(v3);
        break;
      case 2:
        r.powderP = positive(v1);
        r.powderU = finite(v2);
        break;
      case 3:
        r.heatV = positive(v1);
        r.heatU = finite(v2);
        break;
      default:
        throw InputError("Unknown template.");
    }
    t.firstCode = kParamTemplate;
    RunOptions options;
    options.observer = &log_;
    log_.Clear();
    s.table.ClearValues();
    RunResult result;
    const bool ran = RunCommand(s, options);
    if (!ran || log_.points().empty()) {
      std::string text = log_.pendingTexts();
      throw CalculationError(text.empty() ? "The calculation was refused." : text);
    }
    TakeRecords(result);
    FileLogged(result, nullptr, 0);
    result.report = s.report.text();
    s.report.ClearText();
    return result;
  }

  // Detonation points through the run's detonation template (as kvil-batch --detonation):
  // one per initial density (g/cm3; 0 = the gas at p0, T0).  Densities the field would
  // refuse fail with the message kvil-batch gives.
  RunResult RunDetonations(const std::vector<double>& densities, double p0, double t0,
                           bool frozen) {
    Session& s = *session_;
    s.settings.freshStart = false;
    s.report.KeepText(false);
    Restart();
    s.task.options[kOptFrozen] = frozen ? 1 : 0;
    if (!(p0 > 0) || !std::isfinite(p0) || !(t0 > 0) || !std::isfinite(t0))
      throw InputError("This parameter must have the positive value.");
    RunResult result;
    RunOptions options;
    std::vector<int> position;
    for (std::size_t i = 0; i < densities.size(); ++i) {
      const double d = densities[i];
      if (!(d >= 0) || !(d <= kMaxInitialDensity)) {
        AddFailed(result, int(i),
                  "The initial density must be positive and at most " +
                      FormatPicture(kMaxInitialDensity, "0.##") + " g/cm3: " + DoubleText(d));
        continue;
      }
      DetonationRequest r;
      r.initialDensity = d;
      r.initialPressure = p0;
      r.initialTemperature = t0;
      options.detonations.push_back(r);
      position.push_back(int(i));
    }
    if (!options.detonations.empty()) {
      options.observer = &log_;
      log_.Clear();
      s.table.ClearValues();
      const bool ran = RunCommand(s, options);
      const auto& logged = log_.points();
      if (!ran || logged.empty()) {
        std::string text = log_.pendingTexts();
        if (text.empty()) text = "The calculation was refused.";
        if (position.size() == densities.size() && densities.size() == 1 && !ran)
          throw CalculationError(text);
        for (int k : position) AddFailed(result, k, text);
      } else {
        TakeRecords(result);
        FileLogged(result, position.data(), 0);
      }
    }
    result.report = s.report.text();
    s.report.ClearText();
    Order(result);
    return result;
  }

  // The detonation of the mixture at one initial state with everything the calculation
  // gives (CJ state, isentrope, JWL fit), through the engine's entry for programs.
  DetonationFigures Detonate(double density, double p0, double t0, bool frozen,
                             bool expansion) {
    Session& s = *session_;
    Restart();
    DetonationRequest r;
    r.initialDensity = density;
    r.initialPressure = p0;
    r.initialTemperature = t0;
    r.frozenExpansion = frozen;
    r.freezingTemperature = s.settings.record.freezingT;
    r.expansion = expansion;
    DetonationFigures f;
    DetonationOfTask(s, r, f);
    std::string text = Joined(quiet_.Take());
    if (f.status != kDetonationOk)
      throw CalculationError(text.empty() ? DetonationFailureMessage(r, f) : text);
    return f;
  }

 private:
  // The task as prepared, before any run changed its codes, lists and options.
  void Restart() {
    Session& s = *session_;
    const SpeciesList species = s.task.species;
    s.task = task0_;
    s.task.species = species;
    quiet_.Take();
    log_.Clear();
  }

  // Files the points of the log: their positions in the request (`position[i]` for the
  // point of index i + 1; all 0 without), their records from `base` on, their messages.
  void FileLogged(RunResult& result, const int* position, long long base) {
    for (const LoggedPoint& lp : log_.points()) {
      result.pointIndex.push_back(position ? position[lp.point.index1 - 1] : 0);
      result.pointOk.push_back(lp.point.written ? 1 : 0);
      result.pointMessage.push_back(lp.texts);
      result.pointFirstRecord.push_back(base + lp.firstRecord);
      result.pointRecords.push_back(lp.point.records);
      result.pointHeat.push_back(lp.hasHeatOfCombustion ? lp.heatOfCombustion : NAN);
    }
  }

  void AddFailed(RunResult& r, int index, const std::string& message) {
    r.pointIndex.push_back(index);
    r.pointOk.push_back(0);
    r.pointMessage.push_back(message);
    r.pointFirstRecord.push_back(0);
    r.pointRecords.push_back(0);
    r.pointHeat.push_back(NAN);
  }

  void TakeRecords(RunResult& result) {
    std::vector<ResultsRecord> records;
    ParseResultsTable(session_->table.values(), records);
    AttachResultsExtension(session_->table.extensionValues(), records);
    const int S = session_->task.species.total;
    for (const ResultsRecord& rec : records) {
      result.recordKind.push_back(rec.kind);
      for (int i = 0; i < kResultsParameterCount; ++i)
        result.parameters.push_back(i < int(rec.parameters.size()) ? rec.parameters[i] : 0.0);
      std::size_t at = result.amounts.size();
      result.amounts.resize(at + std::size_t(S), 0.0);
      for (int i = 0; i < S && i < int(rec.species.size()); ++i)
        result.amounts[at + std::size_t(i)] = rec.species[std::size_t(i)].second;
      at = result.extension.size();
      result.extension.resize(at + kResultsExtensionCount, NAN);
      for (const auto& [code, value] : rec.extension)
        if (code >= 1 && code <= kResultsExtensionCount)
          result.extension[at + std::size_t(code - 1)] = value;
      if (result.elements.empty())
        for (const auto& e : rec.elements) {
          const bool known = e.first >= 1 && e.first <= kElementTableSize;
          result.elements.emplace_back(known ? ElementSymbol(e.first) : std::to_string(e.first),
                                       e.second);
        }
    }
  }

  // Points in the order they were asked for (refused ones were filed first).
  static void Order(RunResult& r) {
    const std::size_t n = r.pointIndex.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&r](std::size_t a, std::size_t b) { return r.pointIndex[a] < r.pointIndex[b]; });
    auto apply = [&order](auto& v) {
      auto copy = v;
      for (std::size_t i = 0; i < order.size(); ++i) v[i] = copy[order[i]];
    };
    apply(r.pointIndex);
    apply(r.pointOk);
    apply(r.pointMessage);
    apply(r.pointFirstRecord);
    apply(r.pointRecords);
    apply(r.pointHeat);
  }

  QuietInteraction quiet_;
  PointLog log_;
  NullTaskView view_;
  std::unique_ptr<Session> session_;
  Task task0_;
};

py::dict ResultToDict(RunResult&& r, int speciesCount) {
  py::dict d;
  d["point_index"] = py::array_t<int>(py::ssize_t(r.pointIndex.size()), r.pointIndex.data());
  d["point_ok"] = py::array_t<int>(py::ssize_t(r.pointOk.size()), r.pointOk.data());
  d["point_message"] = r.pointMessage;
  d["point_first_record"] =
      py::array_t<long long>(py::ssize_t(r.pointFirstRecord.size()), r.pointFirstRecord.data());
  d["point_records"] =
      py::array_t<long long>(py::ssize_t(r.pointRecords.size()), r.pointRecords.data());
  d["point_heat"] = py::array_t<double>(py::ssize_t(r.pointHeat.size()), r.pointHeat.data());
  const py::ssize_t n = py::ssize_t(r.recordKind.size());
  d["record_kind"] = py::array_t<int>(n, r.recordKind.data());
  py::array_t<double> params({n, py::ssize_t(kResultsParameterCount)});
  if (n) std::copy(r.parameters.begin(), r.parameters.end(), params.mutable_data());
  d["parameters"] = params;
  py::array_t<double> amounts({n, py::ssize_t(speciesCount)});
  if (n && speciesCount) std::copy(r.amounts.begin(), r.amounts.end(), amounts.mutable_data());
  d["amounts"] = amounts;
  py::array_t<double> extension({n, py::ssize_t(kResultsExtensionCount)});
  if (n) std::copy(r.extension.begin(), r.extension.end(), extension.mutable_data());
  d["extension"] = extension;
  d["elements"] = r.elements;
  d["report"] = py::bytes(r.report);
  d["solves"] = r.solves;
  d["iterations"] = r.iterations;
  return d;
}

}  // namespace python
}  // namespace kvil

PYBIND11_MODULE(_kvil, m) {
  using namespace kvil;
  using namespace kvil::python;
  m.doc() = "The compiled layer of the kvil package (use the kvil package itself).";

  py::register_exception<InputError>(m, "InputError");
  py::register_exception<DatabaseError>(m, "DatabaseError");
  py::register_exception<CalculationError>(m, "CalculationError");

  std::vector<std::string> names;
  for (int i = 0; i < kResultsParameterCount; ++i) names.emplace_back(kResultsParameterNames[i]);
  m.attr("PARAMETER_NAMES") = names;
  std::vector<std::string> extensionNames;
  for (int i = 0; i < kResultsExtensionCount; ++i)
    extensionNames.emplace_back(kResultsExtensionNames[i]);
  m.attr("EXTENSION_NAMES") = extensionNames;
  m.attr("MAX_INITIAL_DENSITY") = kMaxInitialDensity;

  py::class_<Database>(m, "Database")
      .def(py::init<const std::string&>(), py::arg("directory"))
      .def_property_readonly("directory", &Database::directory)
      .def_property_readonly("species_count", &Database::species_count);

  m.def(
      "check_mixture",
      [](const std::vector<ComponentRow>& rows) {
        MixtureFacts f = CheckMixture(rows);
        py::dict d;
        d["enthalpy"] = f.enthalpy;
        d["elements"] = f.elements;
        d["mass_fractions"] = f.massFractions;
        return d;
      },
      py::arg("components"));

  py::class_<Calculation>(m, "Calculation")
      .def(py::init<const Database&, const std::vector<ComponentRow>&, int, int, bool,
                    const std::vector<std::string>&, const std::vector<std::string>&,
                    const std::string&, bool, double, double>(),
           py::arg("database"), py::arg("components"), py::arg("eos"), py::arg("bkw_set"),
           py::arg("ions"),
           py::arg("species"), py::arg("exclude"), py::arg("answer"), py::arg("sound"),
           py::arg("freezing_T"), py::arg("ambient_p"))
      .def_property_readonly("enthalpy", &Calculation::enthalpy)
      .def("species",
           [](const Calculation& c) {
             py::list out;
             for (const SpeciesInfo& s : c.speciesList())
               out.append(py::make_tuple(s.name, s.record, s.condensed, s.selected, s.molarMass));
             return out;
           })
      .def(
          "run",
          [](Calculation& c, int c1, int c2, const std::vector<std::pair<double, double>>& points,
             int expansionCode, const std::vector<double>& expansionValues, bool throat,
             bool frozen, bool freshStart, bool keepReport) {
            const int species = int(c.speciesList().size());
            RunResult r;
            {
              py::gil_scoped_release release;
              r = c.Run(c1, c2, points, expansionCode, expansionValues, throat, frozen, freshStart,
                        keepReport);
            }
            return ResultToDict(std::move(r), species);
          },
          py::arg("c1"), py::arg("c2"), py::arg("points"), py::arg("expansion_code") = 0,
          py::arg("expansion_values") = std::vector<double>{}, py::arg("throat") = false,
          py::arg("frozen") = false, py::arg("fresh_start") = true,
          py::arg("keep_report") = false)
      .def(
          "run_detonations",
          [](Calculation& c, const std::vector<double>& densities, double p0, double t0,
             bool frozen) {
            const int species = int(c.speciesList().size());
            RunResult r;
            {
              py::gil_scoped_release release;
              r = c.RunDetonations(densities, p0, t0, frozen);
            }
            return ResultToDict(std::move(r), species);
          },
          py::arg("densities"), py::arg("p0"), py::arg("t0"), py::arg("frozen") = false)
      .def(
          "detonate",
          [](Calculation& c, double density, double p0, double t0, bool frozen, bool expansion) {
            DetonationFigures f;
            {
              py::gil_scoped_release release;
              f = c.Detonate(density, p0, t0, frozen, expansion);
            }
            py::dict d;
            d["rho0"] = f.rho0;
            d["V0"] = f.V0;
            d["p0"] = f.p0;
            d["T0"] = f.T0;
            d["E0"] = f.E0;
            d["gaseous"] = f.gaseous;
            d["D"] = f.D;
            d["pCJ"] = f.pCJ;
            d["TCJ"] = f.TCJ;
            d["VCJ"] = f.VCJ;
            d["rhoCJ"] = f.rhoCJ;
            d["vCJ"] = f.vCJ;
            d["uCJ"] = f.uCJ;
            d["cCJ"] = f.cCJ;
            d["gammaCJ"] = f.gammaCJ;
            d["UCJ"] = f.UCJ;
            d["HCJ"] = f.HCJ;
            d["SCJ"] = f.SCJ;
            d["hugoniot_residual"] = f.hugoniotResidual;
            d["sound_check"] = f.soundCheck;
            d["composition"] = f.composition;
            py::dict energy, gurney;
            for (int i = 0; i < 3; ++i)
              if (f.energyValid[i]) {
                energy[py::float_(kCylinderVolumes[i])] = f.energy[i];
                gurney[py::float_(kCylinderVolumes[i])] = f.gurney[i];
              }
            d["energy"] = energy;
            d["gurney"] = gurney;
            py::list isentrope;
            for (const IsentropePoint& q : f.isentrope)
              isentrope.append(py::make_tuple(q.v, q.p, q.T, q.U, q.frozen));
            d["isentrope"] = isentrope;
            d["frozen_expansion"] = f.frozenExpansion;
            if (f.jwl.valid) {
              py::dict j;
              j["A"] = f.jwl.A;
              j["B"] = f.jwl.B;
              j["C"] = f.jwl.C;
              j["R1"] = f.jwl.R1;
              j["R2"] = f.jwl.R2;
              j["omega"] = f.jwl.omega;
              j["E0"] = f.jwl.E0;
              j["v_min"] = f.jwl.vMin;
              j["v_max"] = f.jwl.vMax;
              j["max_deviation"] = f.jwl.maxDeviation;
              d["jwl"] = j;
            } else {
              d["jwl"] = py::none();
            }
            d["hugoniot_solves"] = f.hugoniotSolves;
            d["hugoniot_iterations"] = f.hugoniotIterations;
            return d;
          },
          py::arg("density"), py::arg("p0"), py::arg("t0"), py::arg("frozen") = false,
          py::arg("expansion") = true)
      .def(
          "run_template",
          [](Calculation& c, int kind, double v1, double v2, double v3, bool throat, bool frozen) {
            const int species = int(c.speciesList().size());
            RunResult r;
            {
              py::gil_scoped_release release;
              r = c.RunTemplate(kind, v1, v2, v3, throat, frozen);
            }
            return ResultToDict(std::move(r), species);
          },
          py::arg("kind"), py::arg("v1"), py::arg("v2"), py::arg("v3") = 0.0,
          py::arg("throat") = true, py::arg("frozen") = false);

  m.def(
      "rocket_figures",
      [](const std::vector<double>& point, const std::vector<double>& chamber,
         const std::vector<double>& throat, double ambientP) {
        auto record = [](const std::vector<double>& p) {
          ResultsRecord r;
          r.parameters = p;
          return r;
        };
        const ResultsRecord pr = record(point), cr = record(chamber), tr = record(throat);
        const RocketFigures f = ExpansionFigures(pr, chamber.empty() ? nullptr : &cr,
                                                 throat.empty() ? nullptr : &tr, ambientP);
        py::dict d;
        d["Wa"] = f.flowVelocity;
        d["Isp_vac"] = f.impulseVacuum;
        d["Isp"] = f.impulseAmbient;
        d["c_star"] = f.characteristicVelocity;
        d["Cf"] = f.thrustCoefficient;
        d["area_ratio"] = f.areaRatio;
        d["Mach"] = f.machNumber;
        return d;
      },
      py::arg("point"), py::arg("chamber"), py::arg("throat"), py::arg("ambient_p"));

  m.def(
      "run_batch",
      [](const std::string& datafile, const std::string& db, const std::string& cfg,
         const std::string& answer, bool freshStart, const std::string& executable) {
        if (answer != "yes" && answer != "no") throw InputError("The answer must be yes or no.");
        BatchOptions o;
        o.datafile = datafile;
        o.db = db;
        o.cfg = cfg;
        o.answer = answer == "no" ? Answer::No : Answer::Yes;
        o.freshStart = freshStart;
        o.keepTables = true;
        o.executable = executable;
        QuietInteraction quiet(o.answer);
        BatchOutput out;
        int status;
        {
          py::gil_scoped_release release;
          status = RunBatchTask(o, quiet, out);
        }
        std::string report;
        if (out.commandRun && !out.reportPath.empty()) {
          std::FILE* f = std::fopen(out.reportPath.c_str(), "rb");
          if (f) {
            if (std::fseek(f, long(out.reportOffset), SEEK_SET) == 0) {
              char buf[65536];
              std::size_t n;
              while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) report.append(buf, n);
            }
            std::fclose(f);
          }
        }
        py::dict d;
        d["status"] = status;
        d["messages"] = quiet.Take();
        d["csv"] = out.csv;
        d["json"] = out.json;
        d["report"] = py::bytes(report);
        d["report_path"] = out.reportPath;
        d["table_path"] = out.tablePath;
        return d;
      },
      py::arg("datafile"), py::arg("db") = "", py::arg("cfg") = "", py::arg("answer") = "yes",
      py::arg("fresh_start") = false, py::arg("executable") = "");

  m.def(
      "load_components",
      [](const std::string& directory) {
        kvilcb::Catalog catalog;
        std::vector<std::string> messages;
        if (!kvilcb::LoadCatalog(directory, catalog, messages))
          throw DatabaseError(Joined(messages));
        py::list out;
        for (const kvilcb::Component& c : catalog.components)
          out.append(py::make_tuple(c.name, c.className, c.synonyms, c.formula, c.enthalpy,
                                    c.density, c.source));
        return out;
      },
      py::arg("directory"));
}
