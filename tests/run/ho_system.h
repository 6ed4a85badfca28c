// A small hydrogen-oxygen species database for the run tests: six gas species with
// constant heat capacities (H2, H, O2, O, H2O, OH), written with the test database
// writer of the thermodynamic tests.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "common/constants.h"
#include "thermo/test_database.h"

namespace kvil::run_test {

using testing_db::TestSpecies;

inline constexpr int kH = 1, kO = 8;

// Constant Cp (cal/(mol K)), H(298.15) (cal/mol), S(298.15) (cal/(mol K)), stored in J.
inline PolynomialRecord ConstantCp(double cp, double hf, double s0) {
  const double x0 = 298.15 / 10000.0;
  return testing_db::Interval(
      200, 6000,
      {float(kJPerCal * (s0 - cp * (std::log(x0) + 1.0))), float(kJPerCal * cp), 0,
       float(kJPerCal * (cp * 298.15 - hf) / 1e4), 0, 0, 0});
}

inline TestSpecies Gas(const std::string& name, std::vector<std::pair<int, int>> atoms, double cp,
                       double hf, double s0, float sigma, float eps) {
  TestSpecies t;
  t.name = name;
  t.kind = 2;
  t.atoms = std::move(atoms);
  t.intervals = {ConstantCp(cp, hf, s0)};
  t.p92 = sigma;
  t.p96 = eps;
  return t;
}

inline std::vector<TestSpecies> HydrogenOxygen() {
  return {Gas("H2", {{kH, 2}}, 7.0, 0, 31.2, 2.827f, 59.7f),
          Gas("H", {{kH, 1}}, 4.97, 52100, 27.39, 2.708f, 37.0f),
          Gas("O2", {{kO, 2}}, 8.0, 0, 49.0, 3.467f, 106.7f),
          Gas("O", {{kO, 1}}, 5.0, 59550, 38.47, 3.05f, 106.7f),
          Gas("H2O", {{kH, 2}, {kO, 1}}, 9.5, -57800, 45.1, 2.641f, 809.1f),
          Gas("OH", {{kH, 1}, {kO, 1}}, 7.5, 9300, 43.9, 3.147f, 79.8f)};
}

}  // namespace kvil::run_test
