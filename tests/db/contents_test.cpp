// Contents of the shipped species database: the record conventions the program relies
// on, the elements it must cover, and the species CEA finds in the reference cases.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/db_sources.h"
#include "thermo/species_db.h"

namespace kvil {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class ShippedDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.Open(dbtest::DatabaseDir())) << dbtest::DatabaseDir();
    for (int i = 0; i < db_.SpeciesCount(); ++i) {
      SpeciesRecord r;
      ASSERT_TRUE(db_.ReadSpecies(i, r));
      species_.push_back(r);
    }
  }
  SpeciesDatabase db_;
  std::vector<SpeciesRecord> species_;
};

TEST_F(ShippedDatabase, RecordsFollowTheConventions) {
  std::set<std::string> names;
  int polynomials = 0;
  for (std::size_t i = 0; i < species_.size(); ++i) {
    const SpeciesRecord& r = species_[i];
    SCOPED_TRACE(r.name);
    EXPECT_TRUE(names.insert(r.name).second) << "duplicate name";
    EXPECT_LE(r.name.size(), 20u);
    // Kind code and name suffix agree; ions carry their charge in the code.
    if (r.kindCode == 1) {
      EXPECT_TRUE(EndsWith(r.name, "(c)"));
    } else if (r.kindCode == 2) {
      EXPECT_TRUE(EndsWith(r.name, "(g)"));
    } else if (r.kindCode % 10 == 3) {
      EXPECT_TRUE(EndsWith(r.name, "(+g)"));
    } else {
      EXPECT_EQ(r.kindCode % 10, 4);
      EXPECT_TRUE(EndsWith(r.name, "(-g)"));
    }
    EXPECT_LE(r.kindCode / 10, 4);
    // Composition: filled slots first, atomic numbers, C then H first (the scan's
    // hydrocarbon rule reads slots 1 and 2), no element twice.
    bool empty = false;
    std::set<int> seen;
    for (int k = 0; k < 5; ++k) {
      if (r.element[k] == 0) {
        empty = true;
        EXPECT_EQ(r.count[k], 0);
        continue;
      }
      EXPECT_FALSE(empty) << "slot after an empty one";
      EXPECT_LE(r.element[k], 103);
      EXPECT_GE(r.count[k], 1);
      EXPECT_TRUE(seen.insert(r.element[k]).second);
      if (r.element[k] == 6) {
        EXPECT_EQ(k, 0);
      }
      if (r.element[k] == 1 && seen.count(6)) {
        EXPECT_EQ(k, 1);
      }
    }
    if (r.name != "e(-g)") {
      EXPECT_FALSE(seen.empty());
    }
    EXPECT_EQ(r.propertyRecord, i);
    PropertyRecord p;
    EXPECT_TRUE(db_.ReadProperty(r.propertyRecord, p));
    if (r.kindCode == 1) {
      EXPECT_GT(p.at92, 0) << "condensed molar volume";
    }
    // Intervals: consecutive records, first ones stored first, within 9.
    const int count = r.polynomialRef % 10;
    EXPECT_EQ(r.polynomialRef / 10, polynomials);
    EXPECT_GE(count, 1);
    polynomials += count;
  }
  PolynomialRecord last;
  EXPECT_TRUE(db_.ReadPolynomial(polynomials - 1, last));
  EXPECT_FALSE(db_.ReadPolynomial(polynomials, last)) << "unreferenced polynomial records";
}

TEST_F(ShippedDatabase, HoldsTheSpeciesTheProgramNamesAndTheElectron) {
  std::map<std::string, SpeciesRecord> byName;
  for (const auto& r : species_) byName[r.name] = r;
  ASSERT_TRUE(byName.count("H2O(c)"));
  EXPECT_EQ(byName["H2O(c)"].kindCode, 1);
  ASSERT_TRUE(byName.count("H2O(g)"));
  ASSERT_TRUE(byName.count("e(-g)"));
  const SpeciesRecord& e = byName["e(-g)"];
  EXPECT_EQ(e.kindCode, 14);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(e.element[k], 0);
  for (const char* n : {"CO2(g)", "N2(g)", "Al2O3(c)", "C(c)", "NO(+g)", "HCl(g)", "Al(c)"})
    EXPECT_TRUE(byName.count(n)) << n;
}

TEST_F(ShippedDatabase, CoversTheElementsOfPropellantsAndPyrotechnics) {
  // Each element: at least one gas species; the non-gaseous elements also a condensed one.
  const std::map<int, bool> required = {
      {1, false}, {6, true},  {7, false}, {8, false}, {9, false}, {17, false}, {35, true},
      {53, true}, {13, true}, {5, true},  {4, true},  {3, true},  {11, true},  {19, true},
      {12, true}, {20, true}, {16, true}, {15, true}, {14, true}, {22, true},  {40, true},
      {26, true}, {29, true}, {56, true}, {38, true}, {82, true}, {18, false}, {2, false}};
  for (auto [z, needsCondensed] : required) {
    bool gas = false, condensed = false;
    for (const auto& r : species_)
      for (int k = 0; k < 5; ++k)
        if (r.element[k] == z) (r.kindCode == 1 ? condensed : gas) = true;
    EXPECT_TRUE(gas) << "element " << z;
    if (needsCondensed) {
      EXPECT_TRUE(condensed) << "element " << z;
    }
  }
}

// Quoted string at s[i] (s[i] == '"'); advances i past it.
std::string ReadQuoted(const std::string& s, std::size_t& i) {
  std::string out;
  for (++i; i < s.size() && s[i] != '"'; ++i) out += s[i];
  ++i;
  return out;
}

// The "species_mol_per_kg" objects of a reference case, one per CEA state.
std::vector<std::map<std::string, double>> CeaAmounts(const std::string& json) {
  std::vector<std::map<std::string, double>> states;
  const std::string key = "\"species_mol_per_kg\"";
  for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
    std::size_t i = json.find('{', at) + 1;
    std::map<std::string, double> amounts;
    while (i < json.size() && json[i] != '}') {
      if (json[i] == '"') {
        std::string name = ReadQuoted(json, i);
        i = json.find(':', i) + 1;
        char* end = nullptr;
        amounts[name] = std::strtod(json.c_str() + i, &end);
        i = end - json.c_str();
      } else {
        ++i;
      }
    }
    states.push_back(amounts);
  }
  return states;
}

// NASA names the stored species were built from (CEA's names are these with '*'
// dropped), by the species map.
std::set<std::string> CoveredNasaNames() {
  std::set<std::string> covered;
  for (const auto& m : dbtest::ReadSpeciesMap())
    for (std::string n : m.nasaNames) {
      std::erase(n, '*');
      covered.insert(n);
    }
  return covered;
}

TEST_F(ShippedDatabase, HoldsEveryCeaSpeciesOfTheReferenceCases) {
  const std::set<std::string> covered = CoveredNasaNames();
  int cases = 0;
  for (const auto& f :
       std::filesystem::directory_iterator(std::string(KVIL_TEST_DATA_DIR) + "/reference")) {
    if (f.path().extension() != ".json") continue;
    ++cases;
    std::ifstream in(f.path());
    std::stringstream ss;
    ss << in.rdbuf();
    const auto states = CeaAmounts(ss.str());
    EXPECT_FALSE(states.empty()) << f.path();
    for (const auto& amounts : states) {
      double total = 0;
      for (const auto& [n, v] : amounts) total += v;
      for (const auto& [n, v] : amounts) {
        if (v / total < 1e-5) continue;
        std::string name = n;
        std::erase(name, '*');
        EXPECT_TRUE(covered.count(name))
            << f.path().filename() << ": " << n << " at mole fraction " << v / total;
      }
    }
  }
  EXPECT_GE(cases, 5);
}

TEST_F(ShippedDatabase, HoldsEveryCeaSpeciesOfCommonPropellantSystems) {
  // CEA's species of mole fraction >= 1e-5 in rocket chamber, throat and exit states of
  // 22 propellant, explosive and pyrotechnic systems (tools/dbbuild/cea_survey.py).
  const std::set<std::string> covered = CoveredNasaNames();
  std::ifstream in(std::string(KVIL_SOURCE_DIR) + "/tests/db/cea_survey_species.txt");
  ASSERT_TRUE(in.good());
  int systems = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos) << line;
    ++systems;
    std::istringstream names(line.substr(colon + 1));
    for (std::string n; names >> n;)
      EXPECT_TRUE(covered.count(n)) << line.substr(0, colon) << ": " << n;
  }
  EXPECT_GE(systems, 20);
}

}  // namespace
}  // namespace kvil
