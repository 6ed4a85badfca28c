// kvil-dbbuild: builds the species database files "Demo_1a.bas" (species records),
// "Demo_2a.bas" (property records) and "Demo_3a.bas" (polynomial records) from the
// NASA Glenn thermodynamic data (thermo.inp) and the curated inputs of data/sources:
//
//   species.txt                  the species to ship, in record order
//   lennard-jones.csv            sigma, epsilon/k, dipole of gases (tabulated values)
//   lennard-jones-estimates.csv  estimated sigma, epsilon/k where no tabulated value exists
//   condensed-densities.csv      molar volumes of condensed species
//
// Every NASA temperature interval (up to 20000 K for the atoms, ions and small molecules
// whose data reach so far, else up to the end of the data) is refitted to the
// 7-coefficient form of the database (see fit7.h), with interval bounds from a small set
// common to all species (kIntervalBounds, kHotIntervalBounds); a fit report lists the
// largest deviations per interval.
// The same inputs always give byte-identical files.
//
// Usage: kvil-dbbuild --sources DIR --out DIR [--thermo FILE] [--report FILE] [--map FILE]
// (--map writes a CSV of record number, stored name, kind code and NASA names;
// --bounds replaces the common interval bounds, K, for trials of other sets).
// Exit code 0 on success; 1 with a message on stderr on any input or fit failure.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/binio.h"
#include "tools/dbbuild/elements.h"
#include "tools/dbbuild/fit7.h"
#include "tools/dbbuild/nasa_thermo.h"

namespace kvil::dbbuild {
namespace {

constexpr double kTopTemperature = 6000.0;    // the program continues every species to here
constexpr double kDataTopTemperature = 20000.0;  // NASA data are fitted up to here
constexpr double kBottomTemperature = 200.0;  // data below are not fitted
// Entropy of an ideal gas at the standard pressure 1 atm minus that at 1 bar (NASA's
// standard state): -R ln(101325 Pa / 100000 Pa), J/(mol K).  The program's equilibrium
// works with pressures in atm, so gas entropies are stored for 1 atm.
const double kGasEntropyShift = kNasaGasConstant * std::log(101325.0 / 100000.0);
constexpr int kMaxIntervals = 9;
constexpr int kMaxNameLength = 20;
constexpr int kSpeciesRecordBytes = 49;
constexpr int kPropertyRecordBytes = 144;
constexpr int kPolynomialRecordBytes = 37;

// Temperatures at which refitted intervals may end, common to all species (K).  When
// the entropy, enthalpy or energy is assigned, the program's equilibrium iteration lets
// the temperature cross at most one interval bound of the species in use per step (so
// that it stops at the phase changes of condensed species), and every distinct bound
// between the starting temperature and the result costs an iteration.  Intervals that end
// wherever each fit runs out of accuracy scatter their bounds over the whole range
// (some 200 distinct ones above 1000 K among the gases; a (p, H) solve of AP/Al/HTPB
// then needs about 90 iterations); with a common set the whole run shares a few.  The
// set is fine up to 1000 K, where heat capacities change fast (condensed phases need
// the 50-100 K steps), and as coarse above as the accuracy allows: by trial, with one
// bound above 1000 K (at 1500, 2000, 2500 or 3000 K) a few gases such as O3, K2, Na2,
// Li2, BeO and CaO cannot be fitted within tolerance; 2000 and 4000 K suffice for all
// (as do 1500 and 3500 K, which put a bound amid common chamber temperatures).
// Besides these, intervals end only where the NASA data end or change phase, at the
// NASA records' own bounds where the heat capacity jumps, and, where the common bounds
// alone give no accurate fit, at a smooth bound of the NASA records.
const std::vector<double> kIntervalBounds = {250, 300, 350,  400,  500, 600,
                                             700, 800, 1000, 2000, 4000};
// Above 6000 K (atoms, ions and small molecules of the plasma), fitted separately from the
// range below so that the fits up to 6000 K do not depend on the data above: intervals
// start at 6000 K and end at these bounds.  The heat capacities of the ions and atoms
// rise and fall over this range with their electronic excitation, so 7-coefficient
// fits need a bound every few thousand kelvin.
const std::vector<double> kHotIntervalBounds = {7000, 8000, 9000, 10000, 11000, 12000, 13000,
                                                14000, 15000, 16000, 17000, 18000, 19000};

struct Options {
  std::string thermo = "/usr/lib/python3/dist-packages/rocketcea/thermo.inp";
  std::string sources, out, report, map;
  std::vector<double> bounds = kIntervalBounds;
};

struct CuratedEntry {
  std::vector<std::string> nasaNames;
  std::string name;  // explicit name, or empty
  int line = 0;
  // "scale=N": the stored formula unit is N NASA formula units, for a NASA formula with
  // fractional counts (wustite, Fe0.95O in thermo.inp, stored as Fe19O20 with N = 20).
  int scale = 1;
};

struct Properties {
  float at92 = 0, at96 = 0, at100 = 0;
  std::string source;
};

struct BuiltSpecies {
  std::string name;
  std::vector<std::string> nasaNames;
  std::vector<const NasaSpecies*> records;       // phases in temperature order
  std::vector<std::pair<int, int>> composition;  // (atomic number, count), stored order
  int kindCode = 0;
  Properties properties;
  std::vector<Fit7> fits;
  std::vector<FitDeviation> deviations;
  bool extended = false;  // last interval fitted through the constant-Cp continuation
  int scale = 1;          // formula units of NASA's per stored formula unit
  bool fitOk = true;
};

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "kvil-dbbuild: %s\n", message.c_str());
  std::exit(1);
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Comma-separated temperatures (K), ascending.
std::vector<double> ParseBounds(const std::string& text) {
  std::vector<double> out;
  std::istringstream ss(text);
  for (std::string f; std::getline(ss, f, ',');) {
    char* end = nullptr;
    std::string t = Trim(f);
    double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || !(v > 0) || (!out.empty() && v <= out.back()))
      Fail("--bounds: expected ascending temperatures, got '" + text + "'");
    out.push_back(v);
  }
  return out;
}

std::string BoundList(const std::vector<double>& bounds) {
  std::string out;
  for (double b : bounds) out += (out.empty() ? "" : ", ") + Fixed(b, 0);
  return out;
}

// ---- Inputs ------------------------------------------------------------------------

std::vector<CuratedEntry> ReadCuratedList(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot open " + path);
  std::vector<CuratedEntry> out;
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    CuratedEntry e;
    e.line = n;
    std::size_t arrow = line.find("=>");
    if (arrow != std::string::npos) {
      e.name = Trim(line.substr(arrow + 2));
      line = line.substr(0, arrow);
    }
    std::istringstream ss(line);
    for (std::string w; ss >> w;) {
      if (w.rfind("scale=", 0) == 0) {
        e.scale = std::atoi(w.c_str() + 6);
        if (e.scale < 1 || e.scale > 100) Fail(path + ":" + std::to_string(n) + ": bad " + w);
        continue;
      }
      e.nasaNames.push_back(w);
    }
    if (e.nasaNames.empty()) Fail(path + ":" + std::to_string(n) + ": no NASA name");
    out.push_back(e);
  }
  return out;
}

// RFC 4180 fields of one CSV line (quoted fields may hold commas).
std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> f;
  std::string cur;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cur += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cur += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      f.push_back(cur);
      cur.clear();
    } else if (c != '\r') {
      cur += c;
    }
  }
  f.push_back(cur);
  return f;
}

// Rows of a CSV file as maps column name -> value.
std::vector<std::map<std::string, std::string>> ReadCsv(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot open " + path);
  std::vector<std::map<std::string, std::string>> rows;
  std::string line;
  if (!std::getline(in, line)) Fail(path + ": empty");
  std::vector<std::string> header = SplitCsv(line);
  int n = 1;
  while (std::getline(in, line)) {
    ++n;
    if (Trim(line).empty() || line[0] == '#') continue;
    std::vector<std::string> f = SplitCsv(line);
    if (f.size() != header.size())
      Fail(path + ":" + std::to_string(n) + ": expected " + std::to_string(header.size()) +
           " fields");
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < f.size(); ++i) row[header[i]] = f[i];
    rows.push_back(row);
  }
  return rows;
}

float ToFloat(const std::string& text, const std::string& where) {
  char* end = nullptr;
  std::string t = Trim(text);
  double v = std::strtod(t.c_str(), &end);
  if (t.empty() || *end != '\0') Fail(where + ": not a number: '" + text + "'");
  return static_cast<float>(v);
}

// ---- Composition and names ----------------------------------------------------------

// Composition of a NASA record: (atomic number, count) pairs and the charge (the
// electron count E enters with the opposite sign).  Returns false with a reason when
// the species cannot be stored (unknown element, fractional or oversized count, more
// than five elements).
bool Composition(const NasaSpecies& sp, std::vector<std::pair<int, int>>& comp, int& charge,
                 std::string& why, int scale = 1) {
  comp.clear();
  charge = 0;
  for (const auto& [sym, unscaled] : sp.formula) {
    const double count = unscaled * scale;
    if (std::fabs(count - std::round(count)) > 1e-6) {
      why = "non-integer count of " + sym;
      return false;
    }
    int c = static_cast<int>(std::lround(count));
    if (sym == "E" || sym == "e") {
      charge -= c;
      continue;
    }
    int z = AtomicNumber(sym);
    if (z == 0) {
      why = "element " + sym + " has no atomic number";
      return false;
    }
    if (c <= 0 || c > 255) {
      why = "count of " + sym + " out of range";
      return false;
    }
    auto it = std::find_if(comp.begin(), comp.end(), [z](auto& p) { return p.first == z; });
    if (it != comp.end())
      it->second += c;
    else
      comp.emplace_back(z, c);
  }
  if (comp.size() > 5) {
    why = "more than five elements";
    return false;
  }
  // Stored order: C first, then H, then the others by symbol (Hill order), so that the
  // hydrocarbon rule of the candidate scan (first slot C, second slot H) applies.
  std::sort(comp.begin(), comp.end(), [](auto& a, auto& b) {
    auto key = [](int z) {
      return z == 6 ? std::string("\x01") : z == 1 ? std::string("\x02") : ElementSymbol(z);
    };
    return key(a.first) < key(b.first);
  });
  return true;
}

// Ordinary-case formula from a NASA name: the isomer remark after ',' and the phase
// suffix are dropped, element symbols are recased using the composition to resolve
// two-letter symbols ("CL" in a chlorine species is Cl; "CO" in a species without
// cobalt is C and O).
std::string RecaseFormula(std::string base, const std::vector<std::pair<int, int>>& comp) {
  std::set<std::string> have;
  for (auto& [z, c] : comp) have.insert(ElementSymbol(z));
  std::string out;
  for (std::size_t i = 0; i < base.size();) {
    char c = base[i];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < base.size() && std::isalpha(static_cast<unsigned char>(base[i + 1]))) {
      std::string two = ElementSymbol(AtomicNumber(base.substr(i, 2)));
      if (!two.empty() && have.count(two)) {
        out += two;
        i += 2;
        continue;
      }
    }
    std::string one = ElementSymbol(AtomicNumber(std::string(1, c)));
    out += one.empty() ? std::string(1, c) : one;
    ++i;
  }
  return out;
}

std::string DefaultName(const NasaSpecies& sp, const std::vector<std::pair<int, int>>& comp,
                        int charge) {
  std::string base = sp.name;
  if (base == "e-") return "e(-g)";
  std::size_t comma = base.find(',');
  if (comma != std::string::npos) base.erase(comma);
  if (sp.phase != 0) {
    std::size_t paren = base.rfind('(');
    if (paren != std::string::npos && base.back() == ')') base.erase(paren);
    return RecaseFormula(base, comp) + "(c)";
  }
  if (charge != 0) {
    std::size_t mark = base.find_last_of("+-");  // the charge mark and its number
    if (mark != std::string::npos) base.erase(mark);
    return RecaseFormula(base, comp) + (charge > 0 ? "(+g)" : "(-g)");
  }
  return RecaseFormula(base, comp) + "(g)";
}

// ---- Fitting -----------------------------------------------------------------------

// A phase record with the part of its range the species uses.
struct PhaseRange {
  const NasaSpecies* rec;
  double ta, tb;
  const NasaInterval* interval = nullptr;  // the one interval of a smooth segment
};

NasaValues RangeValues(const PhaseRange& r, double T) {
  return r.interval ? EvaluateNasa(*r.interval, T) : EvaluateNasa(*r.rec, T);
}

// The data of a group of phase records at T: the record whose range holds T (the
// earlier one on a shared bound); above the last record, the constant-Cp continuation
// of its end; below the first, the first record.
NasaValues PieceValues(const std::vector<PhaseRange>& recs, double T) {
  for (const PhaseRange& r : recs) {
    if (T >= r.ta && T <= r.tb) return RangeValues(r, T);
  }
  const PhaseRange& last = recs.back();
  if (T > last.tb) {
    NasaValues e = RangeValues(last, last.tb);
    e.h += (T - last.tb) * e.cp;
    e.s += std::log(T / last.tb) * e.cp;
    return e;
  }
  return RangeValues(recs.front(), T);
}

// Ranges of the phase records of a species between 200 and 6000 K.  Where two
// consecutive records overlap, the stable one (least Gibbs energy) holds: the change
// happens where their Gibbs energies cross, at the start of the later record when it
// is the stable one there, at the end of the earlier one when that stays stable.
std::vector<PhaseRange> PhaseRanges(const BuiltSpecies& s) {
  std::vector<PhaseRange> out;
  for (const NasaSpecies* r : s.records) {
    PhaseRange p{r, std::max(r->intervals.front().tmin, kBottomTemperature),
                 std::min(r->intervals.back().tmax, kDataTopTemperature)};
    if (p.tb <= p.ta) continue;
    if (!out.empty()) {
      PhaseRange& q = out.back();
      if (p.ta > q.tb + 0.01)
        Fail(s.name + ": gap between " + q.rec->name + " and " + r->name + " at " + Fixed(q.tb, 2) +
             " K");
      if (p.ta < q.tb - 0.01) {
        auto g = [&](double T) {
          NasaValues a = EvaluateNasa(*q.rec, T), b = EvaluateNasa(*r, T);
          return (a.h - T * a.s) - (b.h - T * b.s);
        };
        double lo = p.ta, hi = q.tb, cross = q.tb;
        if (g(lo) >= 0) {
          cross = lo;  // the later phase is the stable one from its first temperature
        } else if (g(hi) > 0) {
          for (int i = 0; i < 60; ++i) {
            double mid = 0.5 * (lo + hi);
            (g(mid) < 0 ? lo : hi) = mid;
          }
          cross = std::round(0.5 * (lo + hi) * 100) / 100;
        }
        q.tb = cross;
      }
      p.ta = q.tb;
    }
    out.push_back(p);
  }
  return out;
}

// Reserve slots the program needs for a species: one per interval after the first,
// plus one for the continuation to 6000 K unless the last interval already reaches it.
int ReserveSlots(const std::vector<Fit7>& fits) {
  int n = static_cast<int>(fits.size()) - 1;
  if (fits.back().tmax < kTopTemperature) ++n;
  return n;
}

void FitSpecies(BuiltSpecies& s, const FitTolerance& tol, const std::vector<double>& bounds) {
  // Pieces: temperature ranges without a latent heat inside; phase records whose
  // enthalpies join continuously are fitted together.  Data below 200 K are not used.
  struct Piece {
    double ta, tb;
    std::vector<PhaseRange> recs;
  };
  std::vector<Piece> pieces;
  // Smooth segments: the phase ranges cut at the record's own interval bounds; joins
  // without a step in H or Cp are fitted across.
  std::vector<PhaseRange> segments;
  for (const PhaseRange& r : PhaseRanges(s)) {
    for (const NasaInterval& iv : r.rec->intervals) {
      double ta = std::max(iv.tmin, r.ta), tb = std::min(iv.tmax, r.tb);
      if (tb > ta + 1e-9) segments.push_back({r.rec, ta, tb, &iv});
    }
  }
  for (const PhaseRange& r : segments) {
    if (!pieces.empty()) {
      const Piece& p = pieces.back();
      NasaValues before = RangeValues(p.recs.back(), r.ta), after = RangeValues(r, r.ta);
      double cpTol = std::max(tol.cpRel * std::fabs(after.cp), tol.cpAbs);
      if (std::fabs(after.h - before.h) < 1.0 && std::fabs(after.cp - before.cp) < 0.25 * cpTol) {
        pieces.back().tb = r.tb;
        pieces.back().recs.push_back(r);
        continue;
      }
    }
    pieces.push_back({r.ta, r.tb, {r}});
  }
  if (pieces.empty()) Fail(s.name + ": no data between 200 and 20000 K");
  // Data above 6000 K are fitted on their own, continuing the fit that ends at 6000 K.
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].ta < kTopTemperature - 1e-6 && pieces[i].tb > kTopTemperature + 1e-6) {
      Piece hot = pieces[i];
      hot.ta = kTopTemperature;
      pieces[i].tb = kTopTemperature;
      pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1, hot);
      ++i;
    }
  }
  // The data of one piece with the entropy shifted by `shift`.
  const double scale = s.scale;
  auto PieceTarget = [scale](const Piece& p, double shift) -> ThermoFunction {
    return [&p, shift, scale](double T) {
      NasaValues v = PieceValues(p.recs, T);
      v.s -= shift;
      v.cp *= scale;
      v.h *= scale;
      v.s *= scale;
      return v;
    };
  };
  // The program refers gas entropies to 1 atm; the NASA data to 1 bar.
  const double sShift = s.kindCode == 1 ? 0.0 : kGasEntropyShift;
  s.fits.clear();
  s.deviations.clear();
  bool ok = true;
  FitTolerance plain = tol;
  plain.margin = 1.0;
  auto add = [&](const std::vector<Fit7>& fits, const Piece& p) {
    const ThermoFunction target = PieceTarget(p, sShift);
    for (const Fit7& f : fits) {
      s.fits.push_back(f);
      // Deviations over the interval's part of the data range.
      double tb = std::min<double>(f.tmax, p.tb);
      s.deviations.push_back(tb > f.tmin ? Deviation(f, target, f.tmin, tb, plain, 1.0)
                                         : FitDeviation{});
    }
  };
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    const ThermoFunction target = PieceTarget(p, sShift);
    // Intervals end at the common bounds; the smooth joins of the NASA intervals (where
    // the heat capacity may have a kink) are further candidates only where the common
    // bounds alone do not give an accurate fit.
    const bool hot = p.ta >= kTopTemperature - 1e-6;
    const std::vector<double>& ends = hot ? kHotIntervalBounds : bounds;
    std::vector<double> withJoins = ends;
    for (std::size_t k = 1; k < p.recs.size(); ++k) withJoins.push_back(p.recs[k].ta);
    // The hot range continues the fit below it, without a step in H or S at 6000 K.
    const Fit7* before = hot && !s.fits.empty() ? &s.fits.back() : nullptr;
    auto fitRange = [&](double tb, bool& rangeOk) {
      auto fits = FitRange(target, p.ta, tb, tol, ends, rangeOk, before);
      if (!rangeOk && withJoins.size() > ends.size())
        fits = FitRange(target, p.ta, tb, tol, withJoins, rangeOk, before);
      return fits;
    };
    bool okA = true;
    auto a = fitRange(p.tb, okA);
    if (i + 1 < pieces.size()) {
      ok = ok && okA;
      add(a, p);
      continue;
    }
    // The last piece: fitted over its own range, or through the constant-Cp
    // continuation up to 6000 K when that needs fewer reserve slots in the program.
    if (a.back().ConstantCp() && a.back().tmax < kTopTemperature)
      a.back().tmax = static_cast<float>(kTopTemperature);
    std::vector<Fit7> chosen = a;
    bool chosenOk = okA;
    s.extended = false;
    if (a.back().tmax < kTopTemperature) {
      bool okB = true;
      auto b = fitRange(kTopTemperature, okB);
      if (okB && b.size() < a.size() + 1) {
        chosen = b;
        chosenOk = okB;
        s.extended = true;
      }
    }
    ok = ok && chosenOk;
    add(chosen, p);
  }
  s.fitOk = ok;
}

// ---- Output ------------------------------------------------------------------------

void WriteOrFail(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::string error;
  if (!WriteFileAtomically(path.string(), bytes.data(), bytes.size(), &error))
    Fail("cannot write " + path.string() + ": " + error);
}

int Run(const Options& opt) {
  namespace fs = std::filesystem;
  std::vector<NasaSpecies> nasa;
  std::string error;
  if (!ReadNasaThermo(opt.thermo, nasa, error)) Fail(error);
  std::multimap<std::string, const NasaSpecies*> byName;
  for (const auto& sp : nasa) byName.emplace(sp.name, &sp);

  const fs::path src(opt.sources);
  std::vector<CuratedEntry> curated = ReadCuratedList((src / "species.txt").string());

  std::map<std::string, Properties> lj;
  // Tabulated values first, then the documented estimates for gases the table lacks.
  for (const char* file : {"lennard-jones.csv", "lennard-jones-estimates.csv"}) {
    const bool estimates = std::string(file) == "lennard-jones-estimates.csv";
    for (auto& row : ReadCsv((src / file).string())) {
      if (estimates && lj.count(row["species"]))
        Fail("estimate for tabulated species " + row["species"]);
      Properties p;
      std::string where = std::string(file) + " " + row["species"];
      p.at92 = ToFloat(row["sigma_angstrom"], where);
      p.at96 = ToFloat(row["epsilon_over_k_kelvin"], where);
      p.at100 = ToFloat(row["dipole_debye"], where);
      p.source = file;
      lj[row["species"]] = p;
    }
  }
  // Condensed molar volumes by NASA phase name: solid rows first (the room-temperature
  // value of the stable form), liquid rows for names without a solid row.
  std::map<std::string, std::pair<float, std::string>> solidVolume, liquidVolume;
  for (auto& row : ReadCsv((src / "condensed-densities.csv").string())) {
    float v = ToFloat(row["molar_volume_cm3_per_mol"], "condensed-densities.csv " + row["formula"]);
    std::istringstream names(row["nasa_names"]);
    for (std::string n; std::getline(names, n, ';');) {
      auto& table = row["phase"] == "liquid" ? liquidVolume : solidVolume;
      table[Trim(n)] = {v, row["formula"] + " " + row["phase"]};
    }
  }

  std::vector<BuiltSpecies> species;
  std::vector<std::string> skipped;
  std::set<std::string> names, usedNasa;
  FitTolerance tol;
  for (const CuratedEntry& e : curated) {
    BuiltSpecies s;
    s.nasaNames = e.nasaNames;
    std::string where = "species.txt:" + std::to_string(e.line);
    for (const std::string& n : e.nasaNames) {
      auto range = byName.equal_range(n);
      if (range.first == range.second) Fail(where + ": no NASA product species " + n);
      if (!usedNasa.insert(n).second) Fail(where + ": " + n + " listed twice");
      for (auto it = range.first; it != range.second; ++it) {
        if (it->second->intervals.empty()) Fail(where + ": " + n + " has no intervals");
        s.records.push_back(it->second);
      }
    }
    std::stable_sort(s.records.begin(), s.records.end(), [](auto* a, auto* b) {
      return a->intervals.front().tmin < b->intervals.front().tmin;
    });
    int charge = 0;
    std::string why;
    s.scale = e.scale;
    if (!Composition(*s.records.front(), s.composition, charge, why, e.scale)) {
      skipped.push_back(e.nasaNames.front() + ": " + why);
      continue;
    }
    bool condensed = s.records.front()->phase != 0;
    for (const NasaSpecies* r : s.records) {
      std::vector<std::pair<int, int>> c;
      int q = 0;
      if (!Composition(*r, c, q, why, e.scale) || c != s.composition || q != charge ||
          (r->phase != 0) != condensed)
        Fail(where + ": " + r->name + " differs in composition or phase from " +
             s.records.front()->name);
    }
    if (!condensed && s.records.size() > 1) Fail(where + ": several gas records");
    if (condensed && charge != 0) Fail(where + ": charged condensed species");
    if (std::abs(charge) > 4) Fail(where + ": charge beyond 4");
    s.kindCode = condensed ? 1 : charge > 0 ? 10 * charge + 3 : charge < 0 ? -10 * charge + 4 : 2;
    s.name = e.name.empty() ? DefaultName(*s.records.front(), s.composition, charge) : e.name;
    if (s.name.size() > kMaxNameLength) Fail(where + ": name longer than 20: " + s.name);
    if (!names.insert(s.name).second) Fail(where + ": name used twice: " + s.name);
    // Properties.
    if (condensed) {
      for (const NasaSpecies* r : s.records) {
        auto it = solidVolume.find(r->name);
        if (it != solidVolume.end()) {
          s.properties.at92 = it->second.first * static_cast<float>(e.scale);
          s.properties.source = "condensed-densities.csv: " + it->second.second;
          break;
        }
      }
      if (s.properties.source.empty()) {
        for (const NasaSpecies* r : s.records) {
          auto it = liquidVolume.find(r->name);
          if (it != liquidVolume.end()) {
            s.properties.at92 = it->second.first * static_cast<float>(e.scale);
            s.properties.source = "condensed-densities.csv: " + it->second.second;
            break;
          }
        }
      }
    } else {
      auto it = lj.find(s.records.front()->name);
      if (it != lj.end()) s.properties = it->second;
    }
    FitSpecies(s, tol, opt.bounds);
    if (s.fits.size() > kMaxIntervals)
      Fail(s.name + ": needs " + std::to_string(s.fits.size()) + " intervals (at most 9)");
    species.push_back(std::move(s));
  }

  // Records.
  std::vector<std::uint8_t> f1, f2, f3;
  int polyIndex = 0;
  for (std::size_t i = 0; i < species.size(); ++i) {
    const BuiltSpecies& s = species[i];
    std::uint8_t rec[kSpeciesRecordBytes] = {};
    for (std::size_t k = 0; k < s.composition.size(); ++k) {
      rec[2 * k] = static_cast<std::uint8_t>(s.composition[k].first);
      rec[2 * k + 1] = static_cast<std::uint8_t>(s.composition[k].second);
    }
    rec[10] = static_cast<std::uint8_t>(s.kindCode);
    PutLE<std::uint16_t>(rec, 12, static_cast<std::uint16_t>(i));
    PutLE<std::int32_t>(rec, 14, 10 * polyIndex + static_cast<int>(s.fits.size()));
    PutShortString(rec, 28, kMaxNameLength, s.name);
    f1.insert(f1.end(), rec, rec + kSpeciesRecordBytes);
    std::uint8_t prop[kPropertyRecordBytes] = {};
    PutLE<float>(prop, 92, s.properties.at92);
    PutLE<float>(prop, 96, s.properties.at96);
    PutLE<float>(prop, 100, s.properties.at100);
    f2.insert(f2.end(), prop, prop + kPropertyRecordBytes);
    for (const Fit7& f : s.fits) {
      std::uint8_t poly[kPolynomialRecordBytes] = {};
      PutLE<float>(poly, 0, f.tmin);
      PutLE<float>(poly, 4, f.tmax);
      for (int k = 0; k < 7; ++k) PutLE<float>(poly, 8 + 4 * k, f.p[k]);
      f3.insert(f3.end(), poly, poly + kPolynomialRecordBytes);
      ++polyIndex;
    }
  }
  if (species.size() > 65535) Fail("too many species for 16-bit property numbers");
  fs::create_directories(opt.out);
  WriteOrFail(fs::path(opt.out) / "Demo_1a.bas", f1);
  WriteOrFail(fs::path(opt.out) / "Demo_2a.bas", f2);
  WriteOrFail(fs::path(opt.out) / "Demo_3a.bas", f3);

  // Fit report.
  std::ostringstream r;
  double wCp = 0, wCpRel = 0, wH = 0, wS = 0;
  std::string nCp, nH, nS;
  int failed = 0;
  double worstShare = 0;
  for (const auto& s : species) {
    for (const auto& d : s.deviations) {
      worstShare = std::max(worstShare, d.worst);
      if (d.cpRel > wCpRel) {
        wCpRel = d.cpRel;
        nCp = s.name;
      }
      wCp = std::max(wCp, d.cp);
      if (d.h > wH) {
        wH = d.h;
        nH = s.name;
      }
      if (d.s > wS) {
        wS = d.s;
        nS = s.name;
      }
    }
    if (!s.fitOk) ++failed;
  }
  r << "KVIL species database: fit report\n"
    << "Source: NASA Glenn thermo.inp (McBride, Zehe, Gordon, NASA TP-2002-211556), R = "
       "8.314510 J/(mol K)\n"
    << "Species: " << species.size() << "; polynomial intervals: " << polyIndex << "\n"
    << "Tolerance: Cp max(0.5 %, 0.05 J/(mol K)), H 50 J/mol, S 0.05 J/(mol K); the builder "
       "accepts a fit at 80 % of these.\n"
    << "Interval bounds: the common set " << BoundList(opt.bounds)
    << " K, the ends and phase changes of the NASA data and its bounds where Cp jumps.\n"
    << "Gas entropies are stored for the standard pressure 1 atm (NASA: 1 bar), i.e. NASA's S "
       "minus R ln(1.01325) = 0.10944 J/(mol K); the deviations below are against that.\n"
    << "Deviations are the largest |fit - NASA| on a 1 K grid over each interval's part of "
       "the NASA range\n(up to 20000 K), with the coefficients rounded to 32-bit floats as "
       "stored.\n"
    << "Worst: Cp " << Fixed(100 * wCpRel, 3) << " % (" << nCp << "), H " << Fixed(wH, 2)
    << " J/mol (" << nH << "), S " << Fixed(wS, 4) << " J/(mol K) (" << nS << ")\n"
    << "Largest share of the tolerance (1 = at the limit): " << Fixed(worstShare, 3) << "\n"
    << "Species whose fit missed the tolerance: " << failed << "\n";
  if (!skipped.empty()) {
    r << "Skipped (not storable):\n";
    for (auto& s : skipped) r << "  " << s << "\n";
  }
  r << "\nColumns: Tmin Tmax (K) | max |dCp| J/(mol K) at T, relative % | max |dH| J/mol at T | "
       "max |dS| J/(mol K) at T\n";
  for (const auto& s : species) {
    r << "\n"
      << s.name << "  kind " << s.kindCode << "  reserve slots " << ReserveSlots(s.fits)
      << "  from";
    for (auto& n : s.nasaNames) r << " " << n;
    r << (s.extended ? "  (last interval fitted through the constant-Cp continuation to 6000 K)"
                     : "")
      << (s.fitOk ? "" : "  ** OUT OF TOLERANCE **") << "\n";
    r << "  properties: " << Fixed(s.properties.at92, 3) << " " << Fixed(s.properties.at96, 1)
      << " " << Fixed(s.properties.at100, 3) << "  "
      << (s.properties.source.empty() ? "none (program defaults)" : s.properties.source) << "\n";
    for (std::size_t k = 0; k < s.fits.size(); ++k) {
      const Fit7& f = s.fits[k];
      const FitDeviation& d = s.deviations[k];
      r << "  " << Fixed(f.tmin, 2) << " " << Fixed(f.tmax, 2) << " | " << Fixed(d.cp, 4) << " @"
        << Fixed(d.tCp, 0) << " " << Fixed(100 * d.cpRel, 3) << "% | " << Fixed(d.h, 2) << " @"
        << Fixed(d.tH, 0) << " | " << Fixed(d.s, 4) << " @" << Fixed(d.tS, 0) << "\n";
    }
  }
  if (!opt.map.empty()) {
    // Stored name, kind code and the NASA names each species was built from, in
    // record order (read by the tests that compare the database with its sources).
    std::ostringstream m;
    m << "record,name,kind,nasa_names\n";
    for (std::size_t i = 0; i < species.size(); ++i) {
      const std::string& name = species[i].name;  // quoted when it holds a comma
      m << i << "," << (name.find(',') != std::string::npos ? "\"" + name + "\"" : name) << ","
        << species[i].kindCode << ",\"";
      for (std::size_t k = 0; k < species[i].nasaNames.size(); ++k)
        m << (k ? ";" : "") << species[i].nasaNames[k];
      m << "\"\n";
    }
    if (!WriteFileAtomically(opt.map, m.str(), &error)) Fail("cannot write map: " + error);
  }
  if (!opt.report.empty()) {
    std::string text = r.str();
    if (!WriteFileAtomically(opt.report, text, &error)) Fail("cannot write report: " + error);
  }
  std::printf("kvil-dbbuild: %zu species, %d intervals, %d out of tolerance, %zu skipped\n",
              species.size(), polyIndex, failed, skipped.size());
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kvil::dbbuild

int main(int argc, char** argv) {
  const std::string kUsage =
      "usage: kvil-dbbuild --sources DIR --out DIR [--thermo FILE] [--report FILE] "
      "[--map FILE] [--bounds T1,T2,...]";
  kvil::dbbuild::Options opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) kvil::dbbuild::Fail("missing value after " + a);
      return argv[++i];
    };
    if (a == "--thermo")
      opt.thermo = value();
    else if (a == "--sources")
      opt.sources = value();
    else if (a == "--out")
      opt.out = value();
    else if (a == "--report")
      opt.report = value();
    else if (a == "--map")
      opt.map = value();
    else if (a == "--bounds")
      opt.bounds = kvil::dbbuild::ParseBounds(value());
    else
      kvil::dbbuild::Fail("unknown argument " + a + "\n" + kUsage);
  }
  if (opt.sources.empty() || opt.out.empty()) kvil::dbbuild::Fail(kUsage);
  return kvil::dbbuild::Run(opt);
}
