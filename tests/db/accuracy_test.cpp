// The shipped species database against its source: every stored species, evaluated
// with the program's own interval formulas, must reproduce NASA Glenn's 9-coefficient
// data within 0.5 % in Cp (at least 0.05 J/(mol K)), 50 J/mol in H and 0.05 J/(mol K)
// in S on a 10 K grid over the data range (200..6000 K), except within 1 K of a phase
// change.  The stored intervals must join and cover that range.  Gas entropies are
// stored for the standard pressure of the program's equilibrium, 1 atm; NASA's are for
// 1 bar, so a gas's stored S is NASA's minus R ln(1.01325).  Interval bounds lie on a
// small set of temperatures common to all species (the equilibrium iteration crosses one
// bound per step when the enthalpy or entropy is assigned), on the NASA records' own
// bounds, or at a phase change.
#include <gtest/gtest.h>
#include <sstream>
#include <fstream>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <vector>

#include "db/db_sources.h"
#include "thermo/species_db.h"
#include "thermo/species_functions.h"

namespace kvil {
namespace {

using dbtest::Nasa9Record;
using dbtest::Values;

struct Worst {
  double cp = 0, h = 0, s = 0;
};

double Gibbs(const Nasa9Record& r, double T) {
  const dbtest::Nasa9Interval* iv = dbtest::IntervalAt(r, T);
  Values v =
      dbtest::Evaluate(iv ? *iv : (T < r.Tmin() ? r.intervals.front() : r.intervals.back()), T);
  return v.h - T * v.s;
}

// Where each phase record takes over from the previous one: at its first temperature,
// or, where the two records overlap, at the first temperature at which the later phase
// is the stable one (least Gibbs energy; 0.05 K steps), or at the end of the earlier one.
std::vector<double> PhaseStarts(const std::vector<const Nasa9Record*>& recs) {
  std::vector<double> starts;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    double start = recs[i]->Tmin();
    if (i > 0 && start < recs[i - 1]->Tmax() - 0.01) {
      double T = start;
      while (T < recs[i - 1]->Tmax() && Gibbs(*recs[i], T) > Gibbs(*recs[i - 1], T)) T += 0.05;
      start = std::min(T, recs[i - 1]->Tmax());
    }
    starts.push_back(start);
  }
  return starts;
}

// The NASA value at T from the phase record in use there (records in temperature order).
bool NasaAt(const std::vector<const Nasa9Record*>& recs, const std::vector<double>& starts,
            double T, Values& out) {
  for (std::size_t i = recs.size(); i-- > 0;) {
    if (T < starts[i]) continue;
    const dbtest::Nasa9Interval* iv = dbtest::IntervalAt(*recs[i], T);
    if (!iv) return false;  // a gap in the source data
    out = dbtest::Evaluate(*iv, T);
    return true;
  }
  return false;
}

// The "scale=N" of a species line in data/sources/species.txt (1 without one): wustite
// is stored as 20 of NASA's Fe0.95O.
double ScaleOf(const std::string& nasaName) {
  std::ifstream in(std::string(KVIL_SOURCE_DIR) + "/data/sources/species.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line.substr(0, line.find("=>")));
    bool named = false;
    double scale = 1;
    for (std::string w; words >> w;) {
      if (w == nasaName) named = true;
      if (w.rfind("scale=", 0) == 0) scale = std::atof(w.c_str() + 6);
    }
    if (named) return scale;
  }
  return 1;
}

TEST(ShippedDatabaseAccuracy, ReproducesNasaDataWithinTolerance) {
  ASSERT_TRUE(std::filesystem::exists(dbtest::kThermoInp))
      << "NASA Glenn thermo.inp not found at " << dbtest::kThermoInp
      << ": install the Debian package that ships rocketcea (python3-rocketcea).";
  const auto nasa = dbtest::ReadThermoInp(dbtest::kThermoInp);
  ASSERT_GT(nasa.size(), 1000u);
  const auto map = dbtest::ReadSpeciesMap();
  SpeciesDatabase db;
  ASSERT_TRUE(db.Open(dbtest::DatabaseDir())) << dbtest::DatabaseDir();
  ASSERT_EQ(static_cast<int>(map.size()), db.SpeciesCount());

  Worst worst;
  int reported = 0, points = 0;
  for (const auto& m : map) {
    SCOPED_TRACE(m.name);
    SpeciesRecord rec;
    ASSERT_TRUE(db.ReadSpecies(m.record, rec));
    EXPECT_EQ(rec.name, m.name);
    EXPECT_EQ(rec.kindCode, m.kind);
    const int first = rec.polynomialRef / 10, count = rec.polynomialRef % 10;
    ASSERT_GE(count, 1);
    std::vector<PolynomialRecord> stored(count);
    for (int k = 0; k < count; ++k) ASSERT_TRUE(db.ReadPolynomial(first + k, stored[k]));
    for (int k = 1; k < count; ++k) EXPECT_EQ(stored[k].tmin, stored[k - 1].tmax);

    const double scale = ScaleOf(m.nasaNames.front());
    std::vector<const Nasa9Record*> recs;
    for (const auto& n : m.nasaNames) {
      auto range = nasa.equal_range(n);
      ASSERT_NE(range.first, range.second) << "no NASA record " << n;
      for (auto it = range.first; it != range.second; ++it) recs.push_back(&it->second);
    }
    std::stable_sort(recs.begin(), recs.end(),
                     [](auto* a, auto* b) { return a->Tmin() < b->Tmin(); });
    const std::vector<double> starts = PhaseStarts(recs);
    double lo = recs.front()->Tmin(), hi = 0;
    std::vector<double> phaseBounds = starts;
    for (const Nasa9Record* r : recs) {
      hi = std::max(hi, r->Tmax());
      phaseBounds.push_back(r->Tmax());
    }
    lo = std::max(lo, 200.0);
    hi = std::min(hi, 6000.0);
    EXPECT_LE(stored.front().tmin, lo + 0.01);
    EXPECT_GE(stored.back().tmax, hi - 0.01);

    // The range ends as stored (single precision), then the 10 K grid inside.
    const double from = std::max<double>(lo, stored.front().tmin);
    const double to = std::min<double>(hi, stored.back().tmax);
    std::vector<double> grid{from, to};
    for (double T = std::ceil(from / 10) * 10; T <= to; T += 10) grid.push_back(T);
    for (double T : grid) {
      bool nearPhaseChange = false;
      for (double b : phaseBounds)
        if (b > lo + 1e-6 && b < hi - 1e-6 && std::fabs(T - b) < 1.0) nearPhaseChange = true;
      if (nearPhaseChange) continue;
      Values ref;
      if (!NasaAt(recs, starts, T, ref)) continue;
      if (m.kind != 1) ref.s -= dbtest::kR * std::log(101325.0 / 100000.0);
      ref.cp *= scale;  // a scaled formula unit ("scale=N" in species.txt) holds N of NASA's
      ref.h *= scale;
      ref.s *= scale;
      // The program's choice: the first stored interval holding T.
      const PolynomialRecord* iv = nullptr;
      for (const auto& p : stored)
        if (T >= p.tmin && T <= p.tmax) {
          iv = &p;
          break;
        }
      ASSERT_NE(iv, nullptr) << "no stored interval at " << T << " K";
      SpeciesFunctionValues v = PolynomialFunctions(*iv, T);
      ++points;
      double dcp = std::fabs(v.Cp - ref.cp), dh = std::fabs(1000 * v.H - ref.h),
             ds = std::fabs(v.S - ref.s);
      double cpTol = std::max(0.005 * std::fabs(ref.cp), 0.05);
      worst.cp = std::max(worst.cp, dcp / cpTol);
      worst.h = std::max(worst.h, dh);
      worst.s = std::max(worst.s, ds);
      if ((dcp > cpTol || dh > 50 || ds > 0.05) && reported++ < 40)
        ADD_FAILURE() << m.name << " at " << T << " K: Cp " << v.Cp << " vs " << ref.cp << ", H "
                      << 1000 * v.H << " vs " << ref.h << ", S " << v.S << " vs " << ref.s;
    }
  }
  EXPECT_GT(points, 100 * static_cast<int>(map.size()));
  std::printf(
      "%d points; largest deviations: Cp %.3f of tolerance, H %.2f J/mol, S %.4f J/(mol K)\n",
      points, worst.cp, worst.h, worst.s);
}

// The temperatures at which the builder ends refitted intervals (tools/dbbuild).
const std::vector<double> kCommonBounds = {250, 300, 350,  400,  500, 600,
                                           700, 800, 1000, 2000, 4000};

TEST(ShippedDatabaseAccuracy, IntervalsEndOnCommonBoundsOrWhereTheNasaDataDo) {
  ASSERT_TRUE(std::filesystem::exists(dbtest::kThermoInp));
  const auto nasa = dbtest::ReadThermoInp(dbtest::kThermoInp);
  SpeciesDatabase db;
  ASSERT_TRUE(db.Open(dbtest::DatabaseDir()));
  std::set<double> above1000;  // distinct bounds above 1000 K, all species
  std::set<double> gasAbove1000;
  for (const auto& m : dbtest::ReadSpeciesMap()) {
    SCOPED_TRACE(m.name);
    SpeciesRecord rec;
    ASSERT_TRUE(db.ReadSpecies(m.record, rec));
    const int first = rec.polynomialRef / 10, count = rec.polynomialRef % 10;
    std::vector<const Nasa9Record*> recs;
    for (const auto& n : m.nasaNames)
      for (auto [it, end] = nasa.equal_range(n); it != end; ++it) recs.push_back(&it->second);
    std::stable_sort(recs.begin(), recs.end(),
                     [](auto* a, auto* b) { return a->Tmin() < b->Tmin(); });
    std::vector<double> own = PhaseStarts(recs);
    for (const Nasa9Record* r : recs)
      for (const auto& iv : r->intervals) own.insert(own.end(), {iv.tmin, iv.tmax});
    for (int k = 0; k < count; ++k) {
      PolynomialRecord p;
      ASSERT_TRUE(db.ReadPolynomial(first + k, p));
      const double b = p.tmax;  // the last one's end too, unless it is the top of the data
      if (k + 1 == count && b >= 6000) break;
      // Above 6000 K the hot range starts at 6000 K and ends on every 1000 K.
      const bool hot = b >= 6000 && b <= 20000 && std::fmod(b, 1000.0) == 0;
      const bool common = hot || std::count(kCommonBounds.begin(), kCommonBounds.end(), b) > 0;
      const bool nasaOwn =
          std::any_of(own.begin(), own.end(), [b](double t) { return std::fabs(t - b) < 0.06; });
      EXPECT_TRUE(common || nasaOwn) << "interval bound at " << b << " K";
      if (b > 1000 && b < 6000) {
        above1000.insert(b);
        if (m.kind != 1) gasAbove1000.insert(b);
      }
    }
  }
  // Gases: 2000 and 4000 K (where a gas record ends below 6000 K, also its end).
  EXPECT_LE(gasAbove1000.size(), 4u);
  std::printf("distinct interval bounds between 1000 and 6000 K: %zu (gases %zu)\n", above1000.size(),
              gasAbove1000.size());
}

}  // namespace
}  // namespace kvil
