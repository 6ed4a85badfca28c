#include "tools/dbbuild/nasa_thermo.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kvil::dbbuild {
namespace {

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string Field(const std::string& line, std::size_t from, std::size_t width) {
  if (from >= line.size()) return "";
  return line.substr(from, width);
}

// Parses a Fortran-style real ("1.5D+03", blanks = 0).
bool ParseReal(const std::string& text, double& value) {
  std::string t = Trim(text);
  if (t.empty()) {
    value = 0;
    return true;
  }
  for (char& c : t)
    if (c == 'D' || c == 'd') c = 'E';
  char* end = nullptr;
  value = std::strtod(t.c_str(), &end);
  return end != nullptr && *end == '\0';
}

}  // namespace

bool ReadNasaThermo(const std::string& path, std::vector<NasaSpecies>& out, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  std::size_t i = 0;
  while (i < lines.size() && lines[i].rfind("thermo", 0) != 0) ++i;
  if (i == lines.size()) {
    error = path + ": no 'thermo' line";
    return false;
  }
  i += 2;  // the keyword and the line of default temperature ranges
  out.clear();
  auto fail = [&](std::size_t line, const std::string& what) {
    error = path + ":" + std::to_string(line + 1) + ": " + what;
    return false;
  };
  while (i < lines.size()) {
    const std::string& l1 = lines[i];
    if (l1.rfind("END PRODUCTS", 0) == 0) return true;
    if (l1.empty() || l1[0] == '!' || Trim(l1).empty()) {
      ++i;
      continue;
    }
    if (i + 1 >= lines.size()) return fail(i, "record cut short");
    NasaSpecies sp;
    std::string head = Field(l1, 0, 24);
    std::istringstream hs(head);
    hs >> sp.name;
    sp.comment = Trim(Field(l1, 18, 80));
    const std::string& l2 = lines[i + 1];
    int n = std::atoi(Field(l2, 0, 2).c_str());
    for (int k = 0; k < 5; ++k) {
      std::string sym = Trim(Field(l2, 10 + 8 * k, 2));
      double count = 0;
      if (!ParseReal(Field(l2, 12 + 8 * k, 6), count)) return fail(i + 1, "bad formula count");
      if (!sym.empty() && count != 0) sp.formula.emplace_back(sym, count);
    }
    sp.phase = std::atoi(Field(l2, 50, 2).c_str());
    if (!ParseReal(Field(l2, 52, 13), sp.molarMass) || !ParseReal(Field(l2, 65, 15), sp.hf298))
      return fail(i + 1, "bad molar mass or enthalpy of formation");
    std::size_t j = i + 2;
    for (int k = 0; k < n; ++k) {
      if (j + 2 >= lines.size()) return fail(j, "interval cut short");
      NasaInterval iv;
      const std::string& a = lines[j];
      const std::string& b = lines[j + 1];
      const std::string& c = lines[j + 2];
      bool ok = ParseReal(Field(a, 0, 11), iv.tmin) && ParseReal(Field(a, 11, 11), iv.tmax);
      for (int m = 0; m < 5; ++m) ok = ok && ParseReal(Field(b, 16 * m, 16), iv.a[m]);
      ok = ok && ParseReal(Field(c, 0, 16), iv.a[5]) && ParseReal(Field(c, 16, 16), iv.a[6]) &&
           ParseReal(Field(c, 48, 16), iv.b1) && ParseReal(Field(c, 64, 16), iv.b2);
      if (!ok || !(iv.tmax > iv.tmin)) return fail(j, "bad temperature interval of " + sp.name);
      sp.intervals.push_back(iv);
      j += 3;
    }
    if (n == 0) ++j;  // one line with the reference temperature
    out.push_back(std::move(sp));
    i = j;
  }
  return fail(i, "no END PRODUCTS line");
}

NasaValues EvaluateNasa(const NasaInterval& iv, double T) {
  const auto& a = iv.a;
  double lnT = std::log(T);
  double cpR = a[0] / (T * T) + a[1] / T + a[2] + a[3] * T + a[4] * T * T + a[5] * T * T * T +
               a[6] * T * T * T * T;
  double hRT = -a[0] / (T * T) + a[1] * lnT / T + a[2] + a[3] * T / 2 + a[4] * T * T / 3 +
               a[5] * T * T * T / 4 + a[6] * T * T * T * T / 5 + iv.b1 / T;
  double sR = -a[0] / (T * T) / 2 - a[1] / T + a[2] * lnT + a[3] * T + a[4] * T * T / 2 +
              a[5] * T * T * T / 3 + a[6] * T * T * T * T / 4 + iv.b2;
  return {cpR * kNasaGasConstant, hRT * kNasaGasConstant * T, sR * kNasaGasConstant};
}

NasaValues EvaluateNasa(const NasaSpecies& sp, double T) {
  const NasaInterval* best = &sp.intervals.front();
  for (const auto& iv : sp.intervals) {
    if (T >= iv.tmin && T <= iv.tmax) return EvaluateNasa(iv, T);
  }
  if (T > sp.intervals.back().tmax) best = &sp.intervals.back();
  return EvaluateNasa(*best, T);
}

}  // namespace kvil::dbbuild
