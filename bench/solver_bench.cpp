// Robustness and speed of the equilibrium solver on propellant-like systems built
// from the shipped species database.
//
//   solver_bench [database directory] [--quick]
//
// For each system: the candidate species of its elements are taken from the database
// (all selected, the heaviest dropped when more than the run allows), then
//  1. robustness: a grid of T (300..6000 K) and p (0.01..1000 MPa); at each point the
//     solve at (p, T) fresh, then fresh solves at the 14 other pairs of p, T, V, S, H, U
//     from the values found; counts of converged points, of solves not converged in
//     100 iterations (status 6), of other failures (another status, or a state that
//     differs from the (p, T) one by more than 0.1 % in T), and the iterations;
//  2. speed: median wall time per solved point and mean iterations, for a T sweep at
//     10 MPa continued from the previous point (L = 2), for fresh (p, T) points and for
//     fresh (p, H) points at the mixture enthalpy.
// Questions are answered No (RecordingInteraction), so a solve that reaches the
// iteration limit counts as not converged.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/session.h"
#include "core/solver.h"
#include "task/formula.h"
#include "thermo/species_catalog.h"

#ifndef KVIL_DB_DIR
#define KVIL_DB_DIR "db"
#endif

namespace {

using namespace kvil;

struct Component {
  const char* formula;
  double amount;    // mass parts
  double enthalpy;  // kJ/kg
};

struct System {
  const char* name;
  std::vector<Component> components;
};

// Enthalpies of formation per kg at 298.15 K (kJ/kg), rounded.
const std::vector<System> kSystems = {
    {"CHNO fuel-rich   AN/HTPB 70/30", {{"NH4NO3", 70, -4567}, {"C4H6", 30, 400}}},
    {"CHNO near stoich AN/HTPB 94/6", {{"NH4NO3", 94, -4567}, {"C4H6", 6, 400}}},
    {"CHNO ox-rich     AN/HTPB 98/2", {{"NH4NO3", 98, -4567}, {"C4H6", 2, 400}}},
    {"CHNO+Al+Cl       AP/Al/HTPB", {{"NH4ClO4", 68, -2517}, {"Al", 18, 0}, {"C4H6", 14, 400}}},
    {"CHNO+K+S         KNO3/C/S/NC",
     {{"KNO3", 70, -4892}, {"C", 14, 0}, {"S", 10, 0}, {"C6H7N3O11", 6, -2400}}},
    {"CHNO+Mg+F        Mg/PTFE/HTPB/AN",
     {{"Mg", 50, 0}, {"C2F4", 40, -8200}, {"C4H6", 5, 400}, {"NH4NO3", 5, -4567}}},
};

struct Counts {
  int points = 0;  // (p, T) grid points
  int solves = 0;
  int converged = 0;
  int notConverged = 0;  // status 6
  int failed = 0;        // other status, or a different state
  long iterations = 0;
  int worstIterations = 0;
};

// Builds the run tables of a system; false when the database or the task layer
// refuses it.
bool Prepare(Session& s, RecordingInteraction& ui, const System& sys) {
  Task& t = s.task;
  t = Task{};
  int row = 0;
  for (const Component& c : sys.components) {
    ++row;
    std::string f = c.formula;
    t.components[row].formula = f;
    t.components[row].amountText = std::to_string(c.amount);
    t.components[row].amounts.Fill(-1);
    t.components[row].amounts[1] = static_cast<float>(c.amount);
    t.components[row].enthalpy = static_cast<float>(c.enthalpy);
    if (!ParseFormula(t, row, f, ui)) return false;
  }
  t.options[kOptEos] = 1;
  t.options[kOptConcUnit] = 1;
  float h = 0;
  if (!ComputeElementBalance(s.task, s.database, s.ui, 1, &h) || t.elementCount < 1) return false;
  t.species.rescanDatabase = true;
  LoadSpeciesList(s.task, s.database, s.grid, s.ui, s.view, s.SpeciesListPath());
  // Keep within the run's limits: at most 130 species and N = E + C + 6 <= 43 unknowns;
  // the species with most atoms are dropped first.
  struct Cand {
    int pos, atoms, phase;
  };
  std::vector<Cand> cands;
  for (int i = 1; i <= t.species.total; ++i) {
    SpeciesRecord rec;
    s.database.ReadSpecies(t.species.items[i].entry.record, rec);
    int atoms = 0;
    for (int q = 0; q < 5; ++q) atoms += rec.element[q] ? rec.count[q] : 0;
    if (t.species.items[i].entry.phase != 1 && t.species.items[i].entry.phase != 2) {
      t.species.items[i].entry.selected = 0;
      continue;
    }
    cands.push_back({i, atoms, t.species.items[i].entry.phase});
  }
  std::stable_sort(cands.begin(), cands.end(),
                   [](const Cand& a, const Cand& b) { return a.atoms < b.atoms; });
  int selected = 0, condensed = 0;
  const int maxCondensed = 43 - 6 - t.elementCount;
  for (const Cand& c : cands) {
    bool take = selected < kMaxRunSpecies && (c.phase != 1 || condensed < maxCondensed);
    t.species.items[c.pos].entry.selected = take ? 1 : 0;
    if (take) {
      ++selected;
      if (c.phase == 1) ++condensed;
    }
  }
  return PrepareRunSpecies(s.task, s.database, s.ws, s.ui) && s.ws.run.count > 0 &&
         t.elementCount > 0;
}

int Solve(Session& s, int c1, double v1, int c2, double v2, int L) {
  int code = L * 10000 + 2000 + c1 * 100 + c2 * 10;
  return SolveEquilibrium(s, static_cast<float>(v1), static_cast<float>(v2), code, s.ws.run.count,
                          s.task.elementCount);
}

double Value(const ResultsBlock& r, int c) {
  const double v[7] = {0, r.p, r.T, r.V, r.S, r.H, r.U};
  return v[c];
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dbDir = KVIL_DB_DIR;
  bool quick = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else if (std::strcmp(argv[i], "--verbose") == 0)
      verbose = true;
    else
      dbDir = argv[i];
  }
  RecordingInteraction ui(Answer::No);
  NullTaskView view;
  auto session = std::make_unique<Session>(ui, view);
  Session& s = *session;
  if (!s.database.Open(dbDir)) {
    std::fprintf(stderr, "species database not found in %s\n", dbDir.c_str());
    return 1;
  }

  const std::vector<double> temps =
      quick ? std::vector<double>{1000, 3000}
            : std::vector<double>{300, 600, 1000, 1500, 2000, 3000, 4000, 5000, 6000};
  const std::vector<double> pressures =
      quick ? std::vector<double>{0.1, 10} : std::vector<double>{0.01, 0.1, 1, 10, 100, 1000};
  const char* pairName[7] = {"", "p", "T", "V", "S", "H", "U"};

  Counts total;
  // Pairs that fix the state only through the small pressure dependence of the
  // composition (T with H or U, and H with U) are counted apart.
  auto weakPair = [](int c1, int c2) {
    return (c1 == 2 && (c2 == 5 || c2 == 6)) || (c1 == 5 && c2 == 6);
  };
  long strongSolves = 0, strongConverged = 0;
  std::printf("%-34s %3s %3s %3s | %6s %6s %5s %5s %6s %4s | %9s %5s %9s %5s %9s %5s\n", "system",
              "K", "E", "C", "solves", "conv", "n.c.", "fail", "it/sol", "max", "TP-L2 us", "it",
              "TP-L1 us", "it", "HP us", "it");
  for (const System& sys : kSystems) {
    if (!Prepare(s, ui, sys)) {
      std::printf("%-34s  could not be prepared\n", sys.name);
      continue;
    }
    int C = 0;
    for (int k = 1; k <= s.ws.run.count; ++k) C += s.ws.run.Phase(k) == 1;
    Counts cnt;
    int pairFail[7][7] = {};
    const double h0 = s.task.mixtureEnthalpy;
    for (double p : pressures) {
      for (double T : temps) {
        ++cnt.points;
        ui.Clear();
        const int st = Solve(s, 1, p, 2, T, 1);
        ++cnt.solves;
        cnt.iterations += s.ws.state.solverIterations;
        cnt.worstIterations = std::max(cnt.worstIterations, s.ws.state.solverIterations);
        if (st != kSolveOk) {
          (st == kSolveNotConverged ? cnt.notConverged : cnt.failed)++;
          if (verbose)
            std::printf("    p %g T %g: pT status %d after %d iterations\n", p, T, st,
                        s.ws.state.solverIterations);
          ++strongSolves;
          continue;
        }
        ++cnt.converged;
        ++strongSolves;
        ++strongConverged;
        double ref[7];
        for (int c = 1; c <= 6; ++c) ref[c] = Value(s.ws.results, c);
        for (int c1 = 1; c1 <= 6; ++c1) {
          for (int c2 = c1 + 1; c2 <= 6; ++c2) {
            if (c1 == 1 && c2 == 2) continue;
            ui.Clear();
            const int st2 = Solve(s, c1, ref[c1], c2, ref[c2], 1);
            ++cnt.solves;
            cnt.iterations += s.ws.state.solverIterations;
            cnt.worstIterations = std::max(cnt.worstIterations, s.ws.state.solverIterations);
            const bool ok = st2 == kSolveOk && std::fabs(s.ws.results.T - T) <= 1e-3 * T;
            if (!weakPair(c1, c2)) {
              ++strongSolves;
              strongConverged += ok;
            }
            if (st2 == kSolveNotConverged)
              ++cnt.notConverged;
            else if (!ok)
              ++cnt.failed;
            else
              ++cnt.converged;
            if (!ok) {
              ++pairFail[c1][c2];
              if (verbose)
                std::printf("    p %g T %g: %s%s status %d, %d iterations, change %.2g, T %g\n", p,
                            T, pairName[c1], pairName[c2], st2, s.ws.state.solverIterations,
                            s.ws.state.solverChange, s.ws.results.T);
            }
          }
        }
      }
    }

    // Speed: T sweep at 10 MPa continued from the previous point, and fresh (p, H).
    std::vector<double> tpTimes, tp1Times, hpTimes;
    long tpIt = 0, tp1It = 0, hpIt = 0;
    const int reps = quick ? 1 : 5;
    for (int r = 0; r < reps; ++r) {
      ui.Clear();
      Solve(s, 1, 10.0, 2, 1000.0, 1);
      for (double T = 1000; T <= 4000; T += 25) {
        const auto t0 = std::chrono::steady_clock::now();
        const int st = Solve(s, 1, 10.0, 2, T, 2);
        const auto t1 = std::chrono::steady_clock::now();
        if (st == kSolveOk) {
          tpTimes.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
          tpIt += s.ws.state.solverIterations;
        }
      }
      // Fresh (p, T) points: T 1000..4000 K by 250 K at 0.1, 1 and 10 MPa.
      for (double p : {0.1, 1.0, 10.0}) {
        for (double T = 1000; T <= 4000; T += 250) {
          ui.Clear();
          const auto t0 = std::chrono::steady_clock::now();
          const int st = Solve(s, 1, p, 2, T, 1);
          const auto t1 = std::chrono::steady_clock::now();
          if (st == kSolveOk) {
            tp1Times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
            tp1It += s.ws.state.solverIterations;
          }
        }
      }
      for (double p : {0.1, 0.3, 1.0, 3.0, 7.0, 10.0, 20.0, 50.0, 100.0, 300.0}) {
        ui.Clear();
        const auto t0 = std::chrono::steady_clock::now();
        const int st = Solve(s, 1, p, 5, h0, 1);
        const auto t1 = std::chrono::steady_clock::now();
        if (st == kSolveOk) {
          hpTimes.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
          hpIt += s.ws.state.solverIterations;
        }
      }
    }
    auto perPoint = [](long it, const std::vector<double>& t) {
      return t.empty() ? 0.0 : double(it) / t.size();
    };
    std::printf(
        "%-34s %3d %3d %3d | %6d %6d %5d %5d %6.1f %4d | %9.1f %5.1f %9.1f %5.1f %9.1f %5.1f\n",
        sys.name, s.ws.run.count, s.task.elementCount, C, cnt.solves, cnt.converged,
        cnt.notConverged, cnt.failed, cnt.solves ? double(cnt.iterations) / cnt.solves : 0.0,
        cnt.worstIterations, Median(tpTimes), perPoint(tpIt, tpTimes), Median(tp1Times),
        perPoint(tp1It, tp1Times), Median(hpTimes), perPoint(hpIt, hpTimes));
    std::string fails;
    for (int c1 = 1; c1 <= 6; ++c1)
      for (int c2 = c1 + 1; c2 <= 6; ++c2)
        if (pairFail[c1][c2])
          fails += std::string(" ") + pairName[c1] + pairName[c2] + ":" +
                   std::to_string(pairFail[c1][c2]);
    if (!fails.empty()) std::printf("    pairs not solved:%s\n", fails.c_str());
    total.points += cnt.points;
    total.solves += cnt.solves;
    total.converged += cnt.converged;
    total.notConverged += cnt.notConverged;
    total.failed += cnt.failed;
    total.iterations += cnt.iterations;
  }
  std::printf(
      "total: %d grid points, %d solves, %d converged, %d not converged, %d failed, "
      "%.1f iterations per solve\n",
      total.points, total.solves, total.converged, total.notConverged, total.failed,
      total.solves ? double(total.iterations) / total.solves : 0.0);
  std::printf(
      "without the pairs TH, TU, HU: %ld solves, %ld converged to the (p, T) state (%.1f %%)\n",
      strongSolves, strongConverged, strongSolves ? 100.0 * strongConverged / strongSolves : 0.0);
  return 0;
}
