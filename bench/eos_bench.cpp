// Timing of the non-ideal equation of state and the sound-velocity systems for a large
// gas mixture: 40 gas species of 5 elements (the EOS pair sums are O(G^2), the
// derivative systems 7 x 7 with the charge row, the reaction-conductivity system up
// to 34 x 34).
#include <benchmark/benchmark.h>

#include "common/interaction.h"
#include "core/session.h"
#include "task/task_view.h"
#include "thermo/eos.h"
#include "thermo/sound.h"

namespace kvil {
namespace {

constexpr int kGas = 40;
constexpr int kElements = 5;

struct BenchState {
  RecordingInteraction ui;
  NullTaskView view;
  Session session{ui, view};

  explicit BenchState(int eos) {
    session.task.options[kOptEos] = static_cast<std::uint8_t>(eos);
    CalcWorkspace& ws = session.ws;
    ws.run.count = kGas;
    double ng = 0, cp = 0;
    for (int k = 1; k <= kGas; ++k) {
      ws.run.composition(1, k) = 2;
      for (int j = 1; j <= kElements; ++j) ws.run.composition(j + 1, k) = (k * j) % 3;
      ws.run.composition(2 + (k % kElements), k) += 1;
      ws.run.sigma[k] = 2.5f + 0.05f * k;
      ws.run.epsilon[k] = 50.0f + 10.0f * k;
      ws.run.molarMass[k] = 10.0f + 2.0f * k;
      ws.species.n[k] = 0.5 + 0.1 * k;
      ws.species.H[k] = -10000.0 + 2000.0 * k;
      ws.species.Cp[k] = 7.0 + 0.1 * k;
      ws.species.eosFlag[k] = 2;
      ng += ws.species.n[k];
      cp += ws.species.n[k] * ws.species.Cp[k];
    }
    ws.results.T = 3000;
    ws.results.p = 300;
    ws.results.V = ng * kGasConstantJ * 3000 / 300e6;
    ws.results.Cp = cp * kCalToKJ;
  }
};

void BM_SolveEosVolume(benchmark::State& state) {
  BenchState b(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    b.session.ws.eos = EosState{};
    benchmark::DoNotOptimize(SolveEosVolume(b.session.task, b.session.ws, b.session.report,
                                            b.session.ui, kGas, kParamP, kParamT));
    benchmark::DoNotOptimize(ComputeEosCorrections(b.session.task, b.session.ws, kGas));
  }
}
BENCHMARK(BM_SolveEosVolume)->Arg(2)->Arg(3);

void BM_SoundVelocity(benchmark::State& state) {
  const int eos = static_cast<int>(state.range(0));
  BenchState b(eos == 1 ? 1 : eos);
  if (eos != 1) {
    SolveEosVolume(b.session.task, b.session.ws, b.session.report, b.session.ui, kGas, kParamP,
                   kParamT);
    ComputeEosCorrections(b.session.task, b.session.ws, kGas);
  }
  const auto n = b.session.ws.species.n;
  const auto H = b.session.ws.species.H;
  for (auto _ : state) {
    ComputeSoundVelocity(b.session.task, b.session.ws, kElements, kGas, false);
    benchmark::DoNotOptimize(b.session.ws.results.soundSpeed);
    b.session.ws.species.n = n;
    b.session.ws.species.H = H;
  }
}
BENCHMARK(BM_SoundVelocity)->Arg(1)->Arg(2)->Arg(3);

}  // namespace
}  // namespace kvil

BENCHMARK_MAIN();
