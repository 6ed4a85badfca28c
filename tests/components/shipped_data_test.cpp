// The shipped components database: every row is usable by the program, and every
// ingredient NASA's thermo.inp carries as a reactant is there with NASA's enthalpy.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/interaction.h"
#include "components/catalog.h"
#include "task/elements.h"
#include "task/formula.h"
#include "task/task.h"

namespace {

using Composition = std::map<std::string, double>;  // upper-case symbol -> mol per kg

struct NasaEntry {
  Composition composition;  // mol/kg
  double enthalpy = 0;      // kJ/kg at 298.15 K
  bool reactant = false;    // listed after the products
};

// Every entry of thermo.inp by name (the first of a repeated name): formula, molar
// mass and assigned enthalpy at 298.15 K from its second record.
std::map<std::string, NasaEntry> ReadThermoInp(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::map<std::string, NasaEntry> entries;
  std::size_t i = 0;
  while (i < lines.size() && lines[i].rfind("thermo", 0) != 0) ++i;
  i += 2;
  bool reactants = false;
  while (i + 1 < lines.size()) {
    const std::string& head = lines[i];
    if (head.rfind("END PRODUCTS", 0) == 0) {
      reactants = true;
      ++i;
      continue;
    }
    if (head.rfind("END", 0) == 0 || head.find_first_not_of(' ') == std::string::npos) {
      ++i;
      continue;
    }
    const std::string name = head.substr(0, head.find(' '));
    const std::string& data = lines[i + 1];
    const int intervals = std::stoi(data.substr(0, 2));
    const double molarMass = std::stod(data.substr(52, 13));
    NasaEntry entry;
    entry.reactant = reactants;
    entry.enthalpy = std::stod(data.substr(65, 15)) / molarMass;
    for (int k = 0; k < 5; ++k) {
      std::string symbol = data.substr(10 + 8 * k, 2);
      symbol.erase(symbol.find_last_not_of(' ') + 1);
      const double count = std::stod(data.substr(12 + 8 * k, 6));
      if (!symbol.empty() && count != 0) entry.composition[symbol] += count * 1000.0 / molarMass;
    }
    entries.emplace(name, entry);
    i += 2 + (intervals > 0 ? 3 * intervals : 1);
  }
  return entries;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool SameComposition(const Composition& a, const Composition& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [symbol, amount] : a) {
    const auto other = b.find(symbol);
    // NASA's molar masses and the program's element table differ slightly.
    if (other == b.end() || std::abs(other->second - amount) > 2e-3 * amount + 1e-3) return false;
  }
  return true;
}

// Rows that share their composition with a reactant of thermo.inp but are other
// substances: polymers, isomers, other phases.
const std::set<std::string> kOtherSubstances = {
    "PEG (polyethylene glycol)", "Polyvinyl alcohol", "Polyisobutylene", "Polystyrene",
    "Isopropyl nitrate", "Turpentine", "Quadricyclane", "Dimethyl ether (liquid)"};

TEST(ShippedComponents, EveryRowIsUsableAndNasaReactantsCarryNasaEnthalpies) {
  kvilcb::Catalog catalog;
  std::vector<std::string> messages;
  ASSERT_TRUE(kvilcb::LoadCatalog(KVIL_COMPONENTS_DATA_DIR, catalog, messages));
  EXPECT_TRUE(messages.empty()) << messages.front();
  EXPECT_GE(catalog.components.size(), 250u);
  EXPECT_TRUE(kvilcb::IndexIsCurrent(KVIL_COMPONENTS_DATA_DIR "/Compons.dat",
                                     KVIL_COMPONENTS_DATA_DIR "/Compons.IDX"));
  EXPECT_TRUE(kvilcb::IndexIsCurrent(KVIL_COMPONENTS_DATA_DIR "/Class.dat",
                                     KVIL_COMPONENTS_DATA_DIR "/Class.IDX"));

  const auto nasa = ReadThermoInp(KVIL_NASA_THERMO_INP);
  ASSERT_GT(nasa.size(), 1000u);
  std::set<std::string> names, cited, usedClasses;
  kvil::Task task;
  for (const auto& c : catalog.components) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.user);
    EXPECT_TRUE(names.insert(kvilcb::Fold(c.name)).second);
    usedClasses.insert(c.className);
    EXPECT_TRUE(std::isfinite(c.enthalpy));
    EXPECT_GT(c.density, 0.0);
    EXPECT_LT(c.density, 25.0);
    EXPECT_GE(c.source.size(), 4u);

    // The program's own parser, without a message.
    kvil::RecordingInteraction ui;
    std::string formula = c.formula;
    for (int k = 1; k <= kvil::kMaxFormulaTokens; ++k) task.tokens[1].index[k] = 0;
    ASSERT_TRUE(kvil::ParseFormula(task, 1, formula, ui)) << c.formula;
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(formula, c.formula);
    Composition moles;
    double mass = 0;
    for (int k = 1; k <= kvil::kMaxFormulaTokens && task.tokens[1].index[k] != 0; ++k) {
      const int element = task.tokens[1].index[k];
      moles[Upper(kvil::ElementSymbol(element))] += task.tokens[1].coef[k];
      mass += task.tokens[1].coef[k] * kvil::ElementMass(element);
    }
    ASSERT_GT(mass, 0.0);
    for (auto& [symbol, amount] : moles) amount *= 1000.0 / mass;

    // A row citing a thermo.inp entry has its composition and its enthalpy.
    const std::string tag = "NASA thermo.inp \"";
    const bool citesNasa = c.source.find(tag) != std::string::npos;
    std::vector<const NasaEntry*> mixed;  // the thermo.inp entries a mixture row names
    // The names after the tag: "A", or "A" and "B".
    std::vector<std::string> citedNames;
    for (auto at = c.source.find(tag); at != std::string::npos; at = c.source.find(tag, at + 1)) {
      auto start = at + tag.size();
      for (;;) {
        const auto end = c.source.find('"', start);
        ASSERT_NE(end, std::string::npos) << c.source;
        citedNames.push_back(c.source.substr(start, end - start));
        if (c.source.compare(end + 1, 6, " and \"") != 0) break;
        start = end + 7;
      }
    }
    for (const std::string& name : citedNames) {
      const auto entry = nasa.find(name);
      ASSERT_NE(entry, nasa.end()) << name;
      cited.insert(name);
      if (c.source.find("by mass") != std::string::npos ||
          c.source.find("mixture") != std::string::npos) {
        mixed.push_back(&entry->second);
        continue;
      }
      EXPECT_TRUE(SameComposition(moles, entry->second.composition)) << name;
      EXPECT_NEAR(c.enthalpy, entry->second.enthalpy,
                  std::max(10.0, 0.01 * std::abs(entry->second.enthalpy)))
          << name;
    }

    // A mixture of two thermo.inp entries (peroxide strengths, blends) is their
    // mass-weighted sum in composition and in enthalpy.
    if (mixed.size() == 2) {
      const NasaEntry& a = *mixed[0];
      const NasaEntry& b = *mixed[1];
      std::set<std::string> symbols;
      const Composition* parts[] = {&moles, &a.composition, &b.composition};
      for (const Composition* m : parts)
        for (const auto& [symbol, amount] : *m) symbols.insert(symbol);
      auto at = [](const Composition& m, const std::string& symbol) {
        const auto it = m.find(symbol);
        return it == m.end() ? 0.0 : it->second;
      };
      double num = 0, den = 0;
      for (const auto& symbol : symbols) {
        const double d = at(a.composition, symbol) - at(b.composition, symbol);
        num += (at(moles, symbol) - at(b.composition, symbol)) * d;
        den += d * d;
      }
      const double w = num / den;  // mass fraction of the first entry
      EXPECT_GT(w, 0.0);
      EXPECT_LT(w, 1.0);
      for (const auto& symbol : symbols) {
        const double blend = w * at(a.composition, symbol) + (1 - w) * at(b.composition, symbol);
        EXPECT_NEAR(at(moles, symbol), blend, 2e-3 * blend + 1e-3) << symbol;
      }
      const double h = w * a.enthalpy + (1 - w) * b.enthalpy;
      EXPECT_NEAR(c.enthalpy, h, std::max(10.0, 0.01 * std::abs(h)));
    }

    // A row with the composition of a thermo.inp reactant is that reactant, cited
    // with NASA's value, unless it is another substance of the same composition.
    if (!citesNasa && !kOtherSubstances.count(c.name)) {
      for (const auto& [name, entry] : nasa) {
        EXPECT_FALSE(entry.reactant && SameComposition(moles, entry.composition))
            << "same composition as " << name << " but cites another source";
      }
    }
  }
  for (const auto& cls : catalog.classes) EXPECT_TRUE(usedClasses.count(cls.name)) << cls.name;

  // Every reactant of thermo.inp is in the database, but for gaseous forms of a
  // liquid and the further crystal forms of one substance (same enthalpy).
  const std::set<std::string> elsewhere = {"CLO3F",       "JP-10(g)",   "Jet-A(g)",  "NH4CLO4(II)",
                                           "NH4NO3(III)", "NH4NO3(II)", "NH4NO3(I)", "NH4NO3(L)"};
  for (const auto& [name, entry] : nasa) {
    if (entry.reactant && !elsewhere.count(name)) {
      EXPECT_TRUE(cited.count(name)) << name;
    }
  }
}

}  // namespace
