#include "thermo/species_catalog.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <memory>
#include <vector>

#include "common/numfmt.h"
#include "common/numparse.h"
#include "common/interaction.h"
#include "task/species_list_file.h"
#include "task/task.h"
#include "task/task_view.h"
#include "thermo/species_db.h"
#include "thermo/species_functions.h"
#include "thermo/workspace.h"

namespace kvil {

namespace {

// Text of a fixed amount in the grid's Fixed column: "0.0##" as the grid shows amounts,
// but with all the digits the value needs when three decimals would change it.  The
// grid text is read back when the task is saved, so it must not lose the value.
std::string FixedAmountText(float value) {
  std::string text = FormatPicture(value, "0.0##");
  auto back = TryParseNumber(text);
  if (back && static_cast<float>(*back) == value) return text;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
  return buf;
}


// Temperature to which every species is continued at load, K.
constexpr float kContinuationTmax = 6000.0f;
// Defaults of the Lennard-Jones parameters of a gas without data.
constexpr float kDefaultSigma = 3.0f;      // A
constexpr float kDefaultEpsilon = 300.0f;  // K
// Smallest molar volume of a condensed species, cm3/mol.
constexpr float kMinCondensedVolume = 1.0e-6f;
// Reduced dipole moment of the Stockmayer potential: delta = mu^2 * factor /
// (sigma^3 * eps/k) with mu in debye, sigma in A, eps/k in K.
constexpr double kStockmayerFactor = 3621.6;

// Position (1..E) of an element code in the task's element list, 0 when absent.
int SystemElementOf(const Task& task, int code) {
  for (int e = 1; e <= task.elementCount; ++e)
    if (task.elements[e].index == code) return e;
  return 0;
}

bool IsCandidate(const Task& task, const SpeciesRecord& s) {
  if (s.name == "H2O(c)") return false;
  if (!task.Option(kOptFrozen) && s.element[0] == 6 && s.element[1] == 1 && s.count[1] > 12)
    return false;
  for (int i = 0; i < 5; ++i)
    if (s.element[i] != 0 && SystemElementOf(task, s.element[i]) == 0) return false;
  if (!IsKnownKindCode(s.kindCode)) return false;
  return task.Option(kOptIons) || s.kindCode <= 2;
}

std::string CountText(const char* head, int count, const char* tail) {
  return std::string(head) + IntText(count) + tail;
}

// Checks the entries of a species list file against the database; empty when they
// fit, else what is wrong.
std::string SavedListProblem(const SpeciesDatabase& db, const std::vector<SpeciesEntry>& entries) {
  if (static_cast<int>(entries.size()) > kMaxCandidateSpecies)
    return CountText("it holds ", static_cast<int>(entries.size()),
                     " entries, at most 259 are possible");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SpeciesRecord s;
    if (!db.ReadSpecies(entries[i].record, s))
      return CountText("entry ", static_cast<int>(i + 1), " names no species of the database");
    if (!IsKnownKindCode(s.kindCode) || entries[i].phase != PhaseOfKindCode(s.kindCode))
      return CountText("entry ", static_cast<int>(i + 1), " has a wrong phase code");
  }
  return {};
}

void FillGrid(const Task& task, SpeciesGrid& grid, TaskView& view) {
  const SpeciesList& list = task.species;
  grid.assign(std::max(list.total, 1), SpeciesGridRow{});
  for (int r = 1; r <= list.total; ++r) {
    const SpeciesListEntry& it = list.items[r];
    SpeciesGridRow& row = grid[r - 1];
    row.number = "  " + IntText(r);
    row.mark = it.entry.selected ? "  *" : "";
    row.phase = it.entry.phase == 1 ? "  c" : it.entry.phase == 2 ? "  g" : "";
    row.formula = "  " + it.displayName;
    row.fixed.clear();
    const int nFixed = std::clamp(task.fixedCount, 0, kMaxFixedConcentrations);
    for (int f = 1; f <= nFixed; ++f)
      if (task.fixed[f].name == it.displayName)
        row.fixed = FixedAmountText(task.fixed[f].value);
  }
  view.SpeciesGridChanged();
}

// Builds the candidate list by scanning the species file into `out`; false (after the
// message) when there are too many.
bool ScanDatabase(const Task& task, const SpeciesDatabase& db, Interaction& ui, SpeciesList& out) {
  out.total = 0;
  const int n = db.SpeciesCount();
  for (int rec = 0; rec < n; ++rec) {
    SpeciesRecord s;
    if (!db.ReadSpecies(rec, s) || !IsCandidate(task, s)) continue;
    const int pos = ++out.total;
    if (pos > kMaxCandidateSpecies) {
      ui.Info(CountText("Too many substances ! (", pos, ")"));
      return false;
    }
    SpeciesListEntry& it = out.items[pos];
    it.entry.phase = static_cast<std::uint8_t>(PhaseOfKindCode(s.kindCode));
    it.entry.record = rec;
    it.entry.selected = 1;
    it.displayName = SpeciesDisplayName(s.name);
    it.rowIndex = pos;
  }
  return true;
}

// ---- Run tables ------------------------------------------------------------------

PolyInterval ToCalories(const PolynomialRecord& r) {
  PolyInterval iv;
  iv.tmin = r.tmin;
  iv.tmax = r.tmax;
  for (int i = 0; i < 7; ++i) iv.phi[i] = static_cast<float>(r.phi[i] * kJToCal);
  return iv;
}

// The interval with constant heat capacity above r.tmax that matches S and H of r
// there (calories).  Coefficients of r without x^-2, x, x^2, x^3 terms already give
// a constant Cp and are copied.
PolyInterval Continuation(const PolynomialRecord& r) {
  PolyInterval iv;
  if (r.phi[2] == 0 && r.phi[4] == 0 && r.phi[5] == 0 && r.phi[6] == 0) {
    iv = ToCalories(r);
  } else {
    const SpeciesFunctionValues b = PolynomialFunctions(r, r.tmax);
    const double xb = static_cast<float>(r.tmax) / 10000.0f;
    iv.phi = {};
    iv.phi[0] = static_cast<float>((b.S - (std::log(xb) + 1.0) * b.Cp) / kJPerCal);
    iv.phi[1] = static_cast<float>(b.Cp / kJPerCal);
    iv.phi[3] = static_cast<float>((b.Cp * xb - b.H / 10.0) / kJPerCal);
  }
  iv.tmin = r.tmax;
  iv.tmax = kContinuationTmax;
  return iv;
}

bool UsableInterval(const PolynomialRecord& r) {
  if (!(std::isfinite(r.tmin) && std::isfinite(r.tmax) && r.tmin > 0 && r.tmax >= r.tmin))
    return false;
  for (float p : r.phi)
    if (!std::isfinite(p)) return false;
  return true;
}

class RunBuilder {
 public:
  RunBuilder(Task& task, const SpeciesDatabase& database, CalcWorkspace& ws, Interaction& ui)
      : database_(database), ui_(ui), run_(ws.run), task_(task) {}

  bool Build() {
    SpeciesList& list = task_.species;
    run_.reserveOwner.Fill(0);
    run_.reserveCount = 0;
    run_.reserveFirst.Fill(0);
    run_.reserveSlots.Fill(0);
    run_.reserveIndexed = true;
    run_.count = 0;
    SortSpeciesListByPhase(list);

    int K = 0;
    for (int i = 1; i <= list.total; ++i) {
      if (!list.items[i].entry.selected) continue;
      if (++K > kMaxRunSpecies) {
        int selected = 0;
        for (int j = 1; j <= list.total; ++j) selected += list.items[j].entry.selected ? 1 : 0;
        ui_.Info(CountText("Number of substances is too big (", selected, ").") +
                 "\nMaximum number of substances is 130.");
        return false;
      }
      if (K != i) list.items[K] = list.items[i];
    }

    for (int k = 1; k <= K; ++k)
      if (!AddSpecies(k, list.items[k])) return false;
    run_.count = K;
    return CheckFixedAmounts();
  }

 private:
  bool DatabaseError(const std::string& name, const std::string& what) {
    ui_.Error("Species database error: " + what + " (" + name + ").");
    return false;
  }

  bool AddReserve(int k, const PolyInterval& iv) {
    const int slot = run_.reserveCount + 1;
    if (slot >= kReserveCapacity) {
      ui_.Info(CountText("Too many reserve polynomials (", slot, ") !"));
      return false;
    }
    run_.reserve[slot] = iv;
    run_.reserveOwner[slot] = k;
    run_.reserveCount = slot;
    if (run_.reserveFirst[k] == 0) run_.reserveFirst[k] = slot;
    ++run_.reserveSlots[k];
    return true;
  }

  bool ReadInterval(int record, const std::string& name, PolynomialRecord& out) {
    if (!database_.ReadPolynomial(record, out))
      return DatabaseError(name, CountText("polynomial record ", record, " is missing"));
    if (!UsableInterval(out))
      return DatabaseError(name, CountText("polynomial record ", record, " has invalid values"));
    return true;
  }

  bool AddSpecies(int k, const SpeciesListEntry& item) {
    const SpeciesDatabase& db = database_;
    const std::string& name = item.displayName;
    SpeciesRecord s;
    if (!db.ReadSpecies(item.entry.record, s))
      return DatabaseError(name, CountText("species record ", item.entry.record, " is missing"));
    if (!IsKnownKindCode(s.kindCode))
      return DatabaseError(name, CountText("unknown kind code ", s.kindCode, ""));

    // Composition column.
    for (int row = 1; row <= kCompositionRows; ++row) run_.composition(row, k) = 0;
    const int E = task_.elementCount;
    run_.composition(1, k) = PhaseOfKindCode(s.kindCode);
    for (int i = 0; i < 5; ++i) {
      if (s.element[i] == 0) continue;
      const int e = SystemElementOf(task_, s.element[i]);
      if (e == 0) {
        ui_.Error("The species " + name +
                  " contains an element that is not in the system.");
        return false;
      }
      run_.composition(e + 1, k) += s.count[i];
    }
    if (task_.Option(kOptIons) && E + 2 <= kCompositionRows)
      run_.composition(E + 2, k) = IsIonCode(s.kindCode) ? s.kindCode : 0;

    run_.kindCode[k] = s.kindCode;
    run_.record[k] = item.entry.record;
    run_.names[k] = name;
    run_.molarMass[k] = SpeciesMolarMass(s);

    // Molecular parameters.
    PropertyRecord prop;
    if (!db.ReadProperty(s.propertyRecord, prop))
      return DatabaseError(name, CountText("property record ", s.propertyRecord, " is missing"));
    float p1 = prop.at92, p2 = prop.at96, p3 = prop.at100;
    if (s.kindCode == 1) {
      if (!(p1 > 0)) p1 = kMinCondensedVolume;
      p3 = 0;
    } else if (s.kindCode == 2) {
      // Missing (or unusable) Lennard-Jones data take the defaults.
      if (!(p1 > 0) || !std::isfinite(p1)) p1 = kDefaultSigma;
      if (!(p2 > 0) || !std::isfinite(p2)) p2 = kDefaultEpsilon;
      const double mu = std::isfinite(prop.at100) ? prop.at100 : 0.0;
      p3 = static_cast<float>(mu * mu * kStockmayerFactor /
                              (static_cast<double>(p1) * p1 * p1 * p2));
    }
    run_.sigma[k] = p1;
    run_.epsilon[k] = p2;
    run_.delta[k] = p3;

    // Polynomial intervals.
    if (s.polynomialRef < 0)
      return DatabaseError(name,
                           CountText("polynomial reference ", s.polynomialRef, " is invalid"));
    const int first = s.polynomialRef / 10;
    const int nint = s.polynomialRef % 10;
    PolynomialRecord r;
    if (!ReadInterval(first, name, r)) return false;
    run_.primary[k] = ToCalories(r);
    for (int i = 1; i < nint; ++i) {
      if (!ReadInterval(first + i, name, r)) return false;
      if (!AddReserve(k, ToCalories(r))) return false;
    }
    if (r.tmax < kContinuationTmax && !AddReserve(k, Continuation(r))) return false;
    return true;
  }

  // Fixed amounts may not use up an element of the system.
  bool CheckFixedAmounts() {
    const int nFixed = std::clamp(task_.fixedCount, 0, kMaxFixedConcentrations);
    if (nFixed == 0) return true;
    Array1<double, kMaxSystemElements> sum;
    for (int k = 1; k <= run_.count; ++k) {
      for (int f = 1; f <= nFixed; ++f) {
        if (task_.fixed[f].name != run_.names[k]) continue;
        for (int e = 1; e <= task_.elementCount; ++e) {
          if (run_.Atoms(e, k) == 0) continue;  // an element the species lacks is not used up
          sum[e] += static_cast<double>(run_.Atoms(e, k)) * task_.fixed[f].value;
          if (sum[e] >= task_.elements[e].amount) {
            ui_.Message(MessageKind::Error, " Fixed values are incorrect !", Buttons::Ok);
            return false;
          }
        }
      }
    }
    return true;
  }

  const SpeciesDatabase& database_;
  Interaction& ui_;
  RunSpeciesTables& run_;
  Task& task_;
};

}  // namespace

void SortSpeciesListByPhase(SpeciesList& list) {
  const int n = list.total;
  for (int b = 1; b <= n; ++b) {
    int m = b;
    for (int j = b + 1; j <= n; ++j)
      if (list.items[j].entry.phase < list.items[m].entry.phase) m = j;
    if (m != b) {
      std::swap(list.items[b].entry, list.items[m].entry);
      std::swap(list.items[b].displayName, list.items[m].displayName);
    }
  }
}

std::string SpeciesCountsText(const SpeciesList& list) {
  int selected = 0, gas = 0, condensed = 0;
  bool phase5 = false, phase6 = false;
  for (int i = 1; i <= list.total; ++i) {
    const SpeciesEntry& e = list.items[i].entry;
    if (!e.selected) continue;
    ++selected;
    if (e.phase == 1) ++condensed;
    if (e.phase == 2) ++gas;
    if (e.phase == 5) phase5 = true;
    if (e.phase == 6) phase6 = true;
  }
  const int phases = condensed + (gas > 0 ? 1 : 0) + (phase5 ? 1 : 0) + (phase6 ? 1 : 0);
  return "Total: " + IntText(list.total) + "; selected: " + IntText(selected) +
         "; gas species: " + IntText(gas) + "; phase quantity: " + IntText(phases);
}

void ShowSpeciesCounts(SpeciesList& list, TaskView& view) {
  int selected = 0;
  for (int i = 1; i <= list.total; ++i) selected += list.items[i].entry.selected ? 1 : 0;
  list.selected = selected;
  view.ShowSpeciesCounts(SpeciesCountsText(list));
}

bool LoadSpeciesList(Task& task, const SpeciesDatabase& database, SpeciesGrid& grid,
                     Interaction& ui, TaskView& view, const std::string& speciesListPath) {
  SpeciesList& list = task.species;
  list.selected = 0;
  if (task.elementCount <= 0) return true;

  // The new list is built aside and replaces the old one only when complete.
  auto fresh = std::make_unique<SpeciesList>();
  fresh->rescanDatabase = list.rescanDatabase;
  bool fromFile = false;
  if (!list.rescanDatabase) {
    std::vector<SpeciesEntry> entries;
    if (ReadSpeciesListFile(speciesListPath, entries) && !entries.empty()) {
      const std::string problem = SavedListProblem(database, entries);
      if (problem.empty()) {
        fromFile = true;
        fresh->total = static_cast<int>(entries.size());
        for (int i = 1; i <= fresh->total; ++i) {
          SpeciesListEntry& it = fresh->items[i];
          it.entry = entries[i - 1];
          SpeciesRecord s;
          database.ReadSpecies(it.entry.record, s);
          it.displayName = SpeciesDisplayName(s.name);
          it.rowIndex = i;
        }
      } else {
        ui.Warn("The species list file " + speciesListPath + " cannot be used: " + problem +
                ". The list is rebuilt from the species database.");
      }
    }
  }
  if (!fromFile) {
    if (!ScanDatabase(task, database, ui, *fresh)) return false;
    SortSpeciesListByPhase(*fresh);
  }
  for (int i = 1; i <= fresh->total; ++i) fresh->items[i].rowIndex = i;
  fresh->selected = fresh->total;
  list = *fresh;
  FillGrid(task, grid, view);
  ShowSpeciesCounts(list, view);
  return true;
}

bool PrepareRunSpecies(Task& task, const SpeciesDatabase& database, CalcWorkspace& ws,
                       Interaction& ui) {
  RunBuilder builder(task, database, ws, ui);
  if (builder.Build()) return true;
  ws.run.count = 0;
  task.elementCount = 0;
  return false;
}

}  // namespace kvil
