// Cost of the detonation: one CJ point from scratch (the Hugoniot points of the
// minimisation of D, each an equilibrium at (V, T) continued from the one before), and
// the CJ point with the expansion of its products (isentrope to 0.1 MPa, cylinder
// energies, JWL fit), side by side; counters give the Newton iterations per equilibrium
// on the Hugoniot.  Cases: RDX at 1.80 g/cm3 with BKWR (the products of the covolume
// table) and H2/O2 2:1 at 1 atm with the ideal gas.
#include <benchmark/benchmark.h>

#include <string>

#include "common/interaction.h"
#include "core/detonation.h"
#include "core/file_commands.h"
#include "core/session.h"
#include "task/formula.h"
#include "task/settings.h"
#include "task/task_view.h"
#include "thermo/bkw_species.h"
#include "thermo/species_catalog.h"

namespace kvil {
namespace {

struct Case {
  RecordingInteraction ui;
  NullTaskView view;
  Session session{ui, view};
  DetonationRequest request;

  Case(const std::string& name, double rho0, double p0) {
    SetDefaultSettings(session.settings.record);
    session.database.Open(KVIL_DB_DIR);
    ReadTaskFile(session, std::string(KVIL_SOURCE_DIR) + "/tests/data/detonation/" + name + ".dat");
    if (session.task.species.total == 0)
      LoadSpeciesList(session.task, session.database, session.grid, session.ui, session.view,
                      session.SpeciesListPath());
    ComputeElementBalance(session.task, session.database, session.ui, 1);
    PrepareRunSpecies(session.task, session.database, session.ws, session.ui);
    if (session.task.Eos() == 4) PrepareBkwSpecies(session.task, session.ws);
    request.initialDensity = rho0;
    request.initialPressure = p0;
  }
};

void Run(benchmark::State& state, Case& c, bool expansion) {
  c.request.expansion = expansion;
  DetonationFigures f;
  long long solves = 0, iterations = 0, points = 0, isentrope = 0;
  for (auto _ : state) {
    ComputeDetonation(c.session, c.request, f);
    solves += f.hugoniotSolves;
    iterations += f.hugoniotIterations;
    points += f.hugoniotPoints;
    isentrope += f.isentropeSolves;
  }
  if (f.status != kDetonationOk) state.SkipWithError(f.reason.c_str());
  const double n = double(state.iterations());
  state.counters["D"] = f.D;
  state.counters["hugoniot_points"] = points / n;
  state.counters["hugoniot_solves"] = solves / n;
  state.counters["iterations_per_solve"] = solves ? double(iterations) / solves : 0;
  state.counters["isentrope_solves"] = isentrope / n;
}

void BM_RdxCjPoint(benchmark::State& state) {
  static Case c("rdx", 1.80, 0.1);
  Run(state, c, false);
}
void BM_RdxCjPointAndIsentrope(benchmark::State& state) {
  static Case c("rdx", 1.80, 0.1);
  Run(state, c, true);
}
void BM_H2O2CjPoint(benchmark::State& state) {
  static Case c("h2-o2", 0, 0.101325);
  Run(state, c, false);
}
void BM_H2O2CjPointAndIsentrope(benchmark::State& state) {
  static Case c("h2-o2", 0, 0.101325);
  Run(state, c, true);
}
BENCHMARK(BM_RdxCjPoint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RdxCjPointAndIsentrope)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_H2O2CjPoint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_H2O2CjPointAndIsentrope)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvil

BENCHMARK_MAIN();
