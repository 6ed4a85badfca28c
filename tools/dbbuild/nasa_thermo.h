// Reader and evaluator of NASA Glenn thermodynamic data files (thermo.inp, the
// 9-coefficient format of McBride, Zehe and Gordon, NASA TP-2002-211556).
//
// Per temperature interval: Cp/R = a1 T^-2 + a2 T^-1 + a3 + a4 T + a5 T^2 + a6 T^3 + a7 T^4,
// H/(RT) = -a1 T^-2 + a2 ln(T)/T + a3 + a4 T/2 + a5 T^2/3 + a6 T^3/4 + a7 T^4/5 + b1/T,
// S/R = -a1 T^-2/2 - a2/T + a3 ln T + a4 T + a5 T^2/2 + a6 T^3/3 + a7 T^4/4 + b2,
// with R = 8.314510 J/(mol K).  H is on the assigned-enthalpy basis (it includes the
// enthalpy of formation at 298.15 K).  Only the product species (before "END PRODUCTS")
// are read; reactant entries carry no usable temperature intervals.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kvil::dbbuild {

inline constexpr double kNasaGasConstant = 8.314510;  // J/(mol K), as the data file uses

struct NasaInterval {
  double tmin = 0, tmax = 0;  // K
  std::array<double, 7> a{};  // a1..a7
  double b1 = 0, b2 = 0;
};

struct NasaSpecies {
  std::string name;                                     // as in the file, e.g. "AL2O3(L)"
  std::string comment;                                  // rest of the first line (sources)
  std::vector<std::pair<std::string, double>> formula;  // symbol (as written), count
  int phase = 0;                                        // 0 gas, otherwise condensed
  double molarMass = 0;                                 // g/mol
  double hf298 = 0;                                     // J/mol
  std::vector<NasaInterval> intervals;                  // ascending temperature
};

struct NasaValues {
  double cp = 0;  // J/(mol K)
  double h = 0;   // J/mol
  double s = 0;   // J/(mol K)
};

// Reads the product species of a thermo.inp file.  Returns false with a message in
// `error` when the file cannot be read or a record is malformed (line number given).
bool ReadNasaThermo(const std::string& path, std::vector<NasaSpecies>& out, std::string& error);

// Values of one interval at temperature T (K); used also outside the interval.
NasaValues EvaluateNasa(const NasaInterval& interval, double T);

// Values of a species at T from the interval containing T (the first one when T lies
// on a shared bound; the nearest one outside the range).
NasaValues EvaluateNasa(const NasaSpecies& species, double T);

}  // namespace kvil::dbbuild
