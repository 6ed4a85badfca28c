#include "results/rocket_figures.h"

#include <cmath>

namespace kvil {

namespace {

// Positions of the parameters used here (see kResultsParameterNames).
constexpr int kP = 0, kV = 2, kSound = 11, kFlow = 21, kExpansionP = 22;

double Param(const ResultsRecord& r, int i) {
  return i < int(r.parameters.size()) ? r.parameters[i] : 0.0;
}

}  // namespace

RocketFigures ExpansionFigures(const ResultsRecord& point, const ResultsRecord* chamber,
                               const ResultsRecord* throat, double ambientP) {
  RocketFigures f;
  const double w = Param(point, kFlow);
  if (!(w > 0)) return f;
  const double p = Param(point, kExpansionP);
  const double v = Param(point, kV);
  f.flowVelocity = w;
  f.impulseVacuum = p * v * 1e6 / w + w;
  const double ambient = (p - ambientP) * v * 1e6 / w + w;
  f.impulseAmbient = ambient > 0 ? ambient : 0;
  const double a = Param(point, kSound);
  if (a > 1) f.machNumber = w / a;
  if (throat) {
    const double wt = Param(*throat, kFlow);
    // Area of the throat per unit mass flow, kept as the run keeps it (32-bit).
    const double at = wt > 0 ? double(float(Param(*throat, kV) / wt)) : 0;
    if (at > 0) {
      const double pc = chamber ? double(float(Param(*chamber, kP))) : 0;
      f.characteristicVelocity = 1e6 * pc * at;
      if (f.characteristicVelocity > 0)
        f.thrustCoefficient = f.impulseVacuum / f.characteristicVelocity;
      f.areaRatio = v / (w * at);
    }
  }
  return f;
}

RecordOwners FindRecordOwners(const std::vector<ResultsRecord>& records) {
  RecordOwners o;
  o.chamber.assign(records.size(), -1);
  o.throat.assign(records.size(), -1);
  int chamber = -1, throat = -1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    switch (records[i].kind) {
      case 0:
        chamber = int(i);
        throat = -1;
        break;
      case 1:
        throat = int(i);
        break;
      default:
        break;
    }
    o.chamber[i] = chamber;
    o.throat[i] = throat;
  }
  return o;
}

}  // namespace kvil
