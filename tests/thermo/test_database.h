// Hand-made species databases for the tests: the three record files written with
// their exact layouts into a fresh temporary directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/binio.h"
#include "thermo/species_db.h"

namespace kvil::testing_db {

struct TestSpecies {
  std::string name;
  int kind = 2;
  std::vector<std::pair<int, int>> atoms;  // (element code, count), at most 5
  std::vector<PolynomialRecord> intervals;
  float p92 = 0, p96 = 0, p100 = 0;
  int polynomialRefOverride = -1;  // >= 0: written instead of the computed reference
};

// Interval with J coefficients.
inline PolynomialRecord Interval(float tmin, float tmax, std::array<float, 7> phi) {
  PolynomialRecord r;
  r.tmin = tmin;
  r.tmax = tmax;
  r.phi = phi;
  return r;
}
// A plain interval 300..tmax with constant Cp (J units) and a reference enthalpy term.
inline PolynomialRecord Simple(float tmax = 6000, float cp = 30, float h4 = 1) {
  return Interval(300, tmax, {200, cp, 0, h4, 0, 0, 0});
}

// A fresh empty directory under the system's temporary directory.
inline std::filesystem::path FreshDir(const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("kvil_thermo_" + std::to_string(::getpid()) + "_" +
                               info->test_suite_name() + "_" + info->name() + "_" + tag);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Writes Demo_1a.bas, Demo_2a.bas and Demo_3a.bas for `species` into `dir`; each
// species gets its own property record (same position as the species).
inline void WriteDatabase(const std::filesystem::path& dir,
                          const std::vector<TestSpecies>& species) {
  std::vector<std::uint8_t> s(species.size() * kSpeciesRecordSize),
      p(species.size() * kPropertyRecordSize), q;
  int nextPoly = 0;
  for (std::size_t i = 0; i < species.size(); ++i) {
    const TestSpecies& t = species[i];
    std::uint8_t* r = s.data() + i * kSpeciesRecordSize;
    for (std::size_t a = 0; a < t.atoms.size() && a < 5; ++a) {
      r[2 * a] = static_cast<std::uint8_t>(t.atoms[a].first);
      r[2 * a + 1] = static_cast<std::uint8_t>(t.atoms[a].second);
    }
    r[10] = static_cast<std::uint8_t>(t.kind);
    PutLE<std::uint16_t>(r, 12, static_cast<std::uint16_t>(i));
    const int ref = t.polynomialRefOverride >= 0
                        ? t.polynomialRefOverride
                        : 10 * nextPoly + static_cast<int>(t.intervals.size());
    PutLE<std::int32_t>(r, 14, ref);
    PutShortString(r, 28, 20, t.name);
    std::uint8_t* pr = p.data() + i * kPropertyRecordSize;
    PutLE<float>(pr, 92, t.p92);
    PutLE<float>(pr, 96, t.p96);
    PutLE<float>(pr, 100, t.p100);
    for (const PolynomialRecord& iv : t.intervals) {
      std::vector<std::uint8_t> rec(kPolynomialRecordSize);
      PutLE<float>(rec.data(), 0, iv.tmin);
      PutLE<float>(rec.data(), 4, iv.tmax);
      for (int c = 0; c < 7; ++c) PutLE<float>(rec.data(), 8 + 4 * c, iv.phi[c]);
      q.insert(q.end(), rec.begin(), rec.end());
      ++nextPoly;
    }
  }
  WriteBytes(dir / kSpeciesFileName, s);
  WriteBytes(dir / kPropertyFileName, p);
  WriteBytes(dir / kPolynomialFileName, q);
}

}  // namespace kvil::testing_db
