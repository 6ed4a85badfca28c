// Inputs of the shipped-database tests: the database directory of the build tree, the
// species map written with the database (stored name -> NASA names) and a plain reader
// and evaluator of NASA Glenn 9-coefficient data, written separately from the builder
// so that the tests judge the database against the source data independently.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kvil::dbtest {

inline const char* kThermoInp = "/usr/lib/python3/dist-packages/rocketcea/thermo.inp";
constexpr double kR = 8.314510;  // J/(mol K), as thermo.inp uses

struct Nasa9Interval {
  double tmin, tmax;
  double a[7];
  double b1, b2;
};

struct Nasa9Record {
  std::string name;
  std::vector<Nasa9Interval> intervals;
  double Tmin() const { return intervals.front().tmin; }
  double Tmax() const { return intervals.back().tmax; }
};

struct Values {
  double cp, h, s;  // J/(mol K), J/mol, J/(mol K)
};

inline Values Evaluate(const Nasa9Interval& iv, double T) {
  const double* a = iv.a;
  double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
  double cp = a[0] / T2 + a[1] / T + a[2] + a[3] * T + a[4] * T2 + a[5] * T3 + a[6] * T4;
  double h = -a[0] / T2 + a[1] * std::log(T) / T + a[2] + a[3] * T / 2 + a[4] * T2 / 3 +
             a[5] * T3 / 4 + a[6] * T4 / 5 + iv.b1 / T;
  double s = -a[0] / T2 / 2 - a[1] / T + a[2] * std::log(T) + a[3] * T + a[4] * T2 / 2 +
             a[5] * T3 / 3 + a[6] * T4 / 4 + iv.b2;
  return {cp * kR, h * kR * T, s * kR};
}

// First interval of the record that holds T; nullptr when none.
inline const Nasa9Interval* IntervalAt(const Nasa9Record& r, double T) {
  for (const auto& iv : r.intervals)
    if (T >= iv.tmin && T <= iv.tmax) return &iv;
  return nullptr;
}

inline double ToReal(std::string t) {
  for (char& c : t)
    if (c == 'D') c = 'E';
  return std::atof(t.c_str());
}

// All product records of thermo.inp by name (a name may have several records).
inline std::multimap<std::string, Nasa9Record> ReadThermoInp(const std::string& path) {
  std::multimap<std::string, Nasa9Record> out;
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l + std::string(80, ' '));
  std::size_t i = 0;
  while (i < lines.size() && lines[i].compare(0, 6, "thermo") != 0) ++i;
  for (i += 2; i < lines.size();) {
    const std::string& l = lines[i];
    if (l.compare(0, 12, "END PRODUCTS") == 0) break;
    if (l[0] == '!' || l.find_first_not_of(' ') >= 80) {
      ++i;
      continue;
    }
    Nasa9Record r;
    std::istringstream(l.substr(0, 24)) >> r.name;
    int n = std::atoi(lines[i + 1].substr(0, 2).c_str());
    std::size_t j = i + 2;
    for (int k = 0; k < n; ++k, j += 3) {
      Nasa9Interval iv;
      iv.tmin = ToReal(lines[j].substr(0, 11));
      iv.tmax = ToReal(lines[j].substr(11, 11));
      for (int m = 0; m < 5; ++m) iv.a[m] = ToReal(lines[j + 1].substr(16 * m, 16));
      iv.a[5] = ToReal(lines[j + 2].substr(0, 16));
      iv.a[6] = ToReal(lines[j + 2].substr(16, 16));
      iv.b1 = ToReal(lines[j + 2].substr(48, 16));
      iv.b2 = ToReal(lines[j + 2].substr(64, 16));
      r.intervals.push_back(iv);
    }
    if (n == 0) ++j;
    if (n > 0) out.emplace(r.name, r);
    i = j;
  }
  return out;
}

struct MappedSpecies {
  int record;
  std::string name;
  int kind;
  std::vector<std::string> nasaNames;
};

// data/species-map.csv: record,name,kind,"NASA;names".
inline std::vector<MappedSpecies> ReadSpeciesMap() {
  std::vector<MappedSpecies> out;
  std::ifstream in(std::string(KVIL_SOURCE_DIR) + "/data/species-map.csv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    MappedSpecies m;
    std::size_t a = line.find(',');
    // The stored name is quoted when it holds a comma ("C3H4,allene(g)").
    std::size_t b = line.compare(a + 1, 1, "\"") == 0 ? line.find("\",", a + 2) + 1
                                                      : line.find(',', a + 1);
    std::size_t c = line.find(',', b + 1);
    m.record = std::atoi(line.substr(0, a).c_str());
    m.name = line.substr(a + 1, b - a - 1);
    if (m.name.size() >= 2 && m.name.front() == '"') m.name = m.name.substr(1, m.name.size() - 2);
    m.kind = std::atoi(line.substr(b + 1, c - b - 1).c_str());
    std::string names = line.substr(c + 1);
    if (names.size() >= 2 && names.front() == '"') names = names.substr(1, names.size() - 2);
    std::istringstream ss(names);
    for (std::string n; std::getline(ss, n, ';');) m.nasaNames.push_back(n);
    out.push_back(m);
  }
  return out;
}

inline std::string DatabaseDir() {
  return KVIL_DB_DIR;
}

}  // namespace kvil::dbtest
