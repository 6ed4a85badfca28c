#include "thermo/bkw_species.h"

#include <cmath>
#include <utility>

#include "task/task.h"
#include "thermo/bkw.h"
#include "thermo/workspace.h"

namespace kvil {

void PrepareBkwSpecies(const Task& task, CalcWorkspace& ws) {
  BkwRunData& bkw = ws.bkw;
  bkw.parameterSet = task.options[kOptBkwSet];
  if (bkw.parameterSet < 0 || bkw.parameterSet >= int(BkwParameterSets().size()))
    bkw.parameterSet = 0;
  for (int k = 1; k <= ws.run.count; ++k) {
    bkw.covolume[k] = 0;
    bkw.estimated[k] = false;
    bkw.condensedEos[k] = nullptr;
    const std::string& name = ws.run.names[k];
    if (ws.run.Phase(k) == 1) {
      bkw.condensedEos[k] = CondensedEosOf(name);
    } else if (ws.run.Phase(k) == 2) {
      if (const auto k0 = TabulatedCovolume(name)) {
        bkw.covolume[k] = *k0;
      } else {
        std::vector<std::pair<int, double>> atoms;
        for (int j = 1; j <= task.elementCount && j <= kMaxSystemElements; ++j) {
          const int count = ws.run.Atoms(j, k);
          if (count > 0) atoms.emplace_back(task.elements[j].index, count);
        }
        bkw.covolume[k] = EstimatedCovolume(atoms);
        bkw.estimated[k] = true;
      }
    }
  }
  bkw.prepared = true;
  bkw.unknownsValid = false;
}

std::vector<std::string> EstimatedCovolumeSpecies(const CalcWorkspace& ws) {
  std::vector<std::string> names;
  if (!ws.bkw.prepared) return names;
  for (int k = 1; k <= ws.run.count; ++k)
    if (ws.run.Phase(k) == 2 && ws.bkw.estimated[k]) names.push_back(ws.run.names[k]);
  return names;
}

BkwFrozenProperties EvaluateBkwFrozen(const CalcWorkspace& ws) {
  BkwFrozenProperties out;
  const ResultsBlock& r = ws.results;
  const double T = r.T, p = r.p, vg = r.gasVolume;  // K, MPa, m3/kg
  if (!ws.bkw.prepared || !(T > 0) || !(p > 0) || !(vg > 0)) return out;
  constexpr double R = kGasConstantJ;
  const double calJ = kJPerCal;  // species functions are in calories
  double N = 0, K = 0, cvGas = 0, cpCond = 0, dVdTc = 0, dVdpc = 0, vc = 0;
  for (int k = 1; k <= ws.run.count; ++k) {
    const double n = ws.species.n[k];
    if (!(n > 0)) continue;
    const double cp = ws.species.Cp[k] * calJ;  // J/(mol K)
    if (ws.run.Phase(k) == 2) {
      N += n;
      K += n * ws.bkw.covolume[k];
      cvGas += n * (cp - R);
    } else if (ws.run.Phase(k) == 1) {
      const CondensedState c =
          EvaluateCondensed(ws.bkw.condensedEos[k], ws.run.molarMass[k], ws.run.sigma[k], p, T);
      cpCond += n * (cp + c.Cp);
      dVdTc += n * c.dVdT * 1e-6;  // m3/(kg K)
      dVdpc += n * c.dVdp * 1e-6;  // m3/(kg MPa)
      vc += n * c.V * 1e-6;
    }
  }
  // Gas at fixed amounts: V_g in cm3/kg, p in MPa.
  double cpGas = 0, dVdTg = 0, dVdpg = 0;
  if (N > 0) {
    const BkwGasState g =
        EvaluateBkwGas(BkwParameterSet(ws.bkw.parameterSet), R, T, vg * 1e6, N, K);
    if (!(g.dpdV < 0)) return out;
    cvGas += g.cvRes;
    cpGas = cvGas - T * g.dpdT * g.dpdT / g.dpdV;  // MPa cm3 = J
    dVdTg = -g.dpdT / g.dpdV * 1e-6;                      // m3/(kg K)
    dVdpg = 1 / g.dpdV * 1e-6;                            // m3/(kg MPa)
  }
  const double Cp = cpGas + cpCond;  // J/(kg K)
  const double dVdT = dVdTg + dVdTc, dVdp = dVdpg + dVdpc;
  const double V = vg + vc;
  if (!(Cp > 0) || !(dVdp < 0)) return out;
  const double dVdpS = dVdp + T * dVdT * dVdT / Cp * 1e6;  // m3/(kg MPa)
  const double Cv = Cp + T * dVdT * dVdT / dVdp * 1e6;
  if (!(dVdpS < 0) || !(Cv > 0)) return out;
  out.Cp = Cp * 1e-3;
  out.Cv = Cv * 1e-3;
  out.a = V * std::sqrt(-1e-6 / dVdpS) * 1e6;
  out.k = out.a * out.a / (p * 1e6 * V);
  out.valid = std::isfinite(out.a) && std::isfinite(out.Cp) && std::isfinite(out.Cv);
  return out;
}

}  // namespace kvil
