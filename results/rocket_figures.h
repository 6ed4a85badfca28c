// Rocket figures of an expansion point, from the records of the results table.
//
// A chamber point of the specific-impulse calculation writes its record (kind 0),
// then the throat (kind 1, when the task asks for it) and its expansion points (kind
// 2).  From these records the figures the report prints in its "Rocket Performance"
// block follow by the same formulas: the specific impulse in vacuum and at the ambient
// pressure, the characteristic velocity, the coefficient of thrust, the area ratio and
// the Mach number.  kvil-batch's point list, the Python package and the analysis page
// take them from here.  Units: m/s, MPa; a figure that cannot be formed is 0.
#pragma once

#include <vector>

#include "results/table_file.h"

namespace kvil {

struct RocketFigures {
  double flowVelocity = 0;       // w, m/s
  double impulseVacuum = 0;      // p V / w + w, m/s
  double impulseAmbient = 0;     // (p - pa) V / w + w, m/s (0 when not positive)
  double characteristicVelocity = 0;  // c* = p_chamber A_t / mass flow, m/s (needs a throat)
  double thrustCoefficient = 0;  // Ivac / c*
  double areaRatio = 0;          // A / A_t (needs a throat)
  double machNumber = 0;         // w / a (needs the sound velocity)
};

// Figures of the expansion (or throat) record `point`.  `chamber` is the chamber
// record it belongs to (its pressure gives c*), `throat` the throat record of that
// chamber point or nullptr; `ambientP` the ambient pressure of the settings, MPa.
RocketFigures ExpansionFigures(const ResultsRecord& point, const ResultsRecord* chamber,
                               const ResultsRecord* throat, double ambientP);

// For every record of a table: the index of the chamber record (kind 0) it belongs to
// and of that point's throat record, -1 where there is none.  Throat and expansion
// records follow their chamber record in the table.
struct RecordOwners {
  std::vector<int> chamber;
  std::vector<int> throat;
};
RecordOwners FindRecordOwners(const std::vector<ResultsRecord>& records);

}  // namespace kvil
