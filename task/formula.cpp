#include "task/formula.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/interaction.h"
#include "common/numparse.h"
#include "task/elements.h"

namespace kvil {

namespace {

bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool IsLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == ',' || c == '.';
}

// A stepped amount has passed its end when it lies beyond it by more than this (mass
// parts).
constexpr double kStepEndTolerance = 5e-21;
constexpr double kMinMassSum = 1e-10;        // mass parts: below this there is no system
constexpr double kMinElementAmount = 1e-22;  // mol/kg: an element amount counted as present

}  // namespace

bool FormulaHasInnerBlank(const std::string& formula) {
  std::size_t first = 0, last = formula.size();
  while (first < last && static_cast<unsigned char>(formula[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(formula[last - 1]) <= ' ') --last;
  for (std::size_t i = first; i < last; ++i)
    if (static_cast<unsigned char>(formula[i]) <= ' ') return true;
  return false;
}

std::string FormulaElementWithoutAtoms(const std::string& formula) {
  std::string symbol, number;
  auto zero = [&]() {
    if (symbol.empty() || number.empty()) return false;
    std::string text = number;
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) text[comma] = '.';
    const std::optional<double> v = TryParseNumber(text);
    return v && *v == 0;
  };
  for (char c : formula) {
    if (IsUpper(c)) {
      if (zero()) return symbol;
      symbol = c;
      number.clear();
    } else if (IsLower(c)) {
      if (number.empty()) symbol += c;
    } else if (IsNumberChar(c)) {
      number += c;
    }
  }
  return zero() ? symbol : std::string();
}

bool FindElement(const std::string& symbol, FormulaTokens& scratch, int& count) {
  if (symbol == "e") return false;  // the electron cannot be written in a formula
  int index = ElementIndexOf(symbol);
  if (index == 0 || count >= kMaxFormulaTokens) return false;
  ++count;
  scratch.index[count] = index;
  return true;
}

bool ParseFormula(Task& task, int row, std::string& formula, Interaction& ui) {
  std::string text;
  for (char c : formula)
    if (static_cast<unsigned char>(c) > ' ') text += c;
  formula = text;
  if (text.empty()) return true;

  FormulaTokens scratch;
  scratch.coef.Fill(1.0f);
  int n = 0;
  std::string symbol, number;

  auto tooMany = [&]() {
    ui.Warn("Too many elements in formula: " + text);
    return false;
  };
  // Looks up the symbol buffer (one or two characters); a failed two-letter look-up
  // names the symbol, a failed one-letter look-up is silent.
  auto lookUp = [&](bool named) {
    if (n >= kMaxFormulaTokens && ElementIndexOf(symbol) != 0 && symbol != "e") return tooMany();
    if (!FindElement(symbol, scratch, n)) {
      if (named) ui.Warn("Unknown element: " + symbol);
      return false;
    }
    return true;
  };
  // Assigns a pending number to the last token; a text that is not a number makes the
  // formula unusable.
  auto takeNumber = [&]() {
    if (number.empty() || n < 1) return true;
    double value = 0;
    if (!ParseNumber(number, value, ui)) return false;
    scratch.coef[n] = static_cast<float>(value);
    number.clear();
    return true;
  };

  for (char c : text) {
    if (IsUpper(c) || IsLower(c)) {
      if (symbol.empty()) {
        // A lower-case letter cannot start a symbol, nor follow a number.
        if (IsLower(c) && !number.empty()) return false;
        symbol = c;
      } else if (IsLower(c)) {
        if (!number.empty()) return false;  // "C2l": the number splits the symbol
        symbol += c;
        if (!lookUp(true)) return false;
        symbol.clear();
      } else {
        if (!lookUp(false)) return false;
        symbol = c;
      }
      if (!takeNumber()) return false;
    } else if (IsNumberChar(c)) {
      if (symbol.empty() && n == 0) {
        ui.Warn("Number before the first element in formula: " + text);
        return false;
      }
      number += c;
    } else {
      return false;
    }
  }
  if (!symbol.empty() && !lookUp(false)) return false;
  if (!takeNumber()) return false;
  if (n == 0) return false;

  for (int j = 1; j <= n; ++j) {
    task.tokens[row].index[j] = scratch.index[j];
    task.tokens[row].coef[j] = scratch.coef[j];
  }
  return true;
}

namespace {

// Mass part of component `i` in variant `k`; false when its stepped amount has passed
// the end of its range.
bool VariantAmount(const SourceComponent& c, int k, float& w) {
  w = 0;
  if (c.step != 0) {
    w = static_cast<float>(static_cast<double>(k - 1) * c.step + c.amounts[1]);
    if (c.step > 0 && w - kStepEndTolerance > c.amounts[2]) return false;
    if (c.step < 0 && w + kStepEndTolerance < c.amounts[2]) return false;
    return true;
  }
  int from = k <= kMaxListValues ? k : kMaxListValues;
  for (int j = from; j >= 1; --j) {
    if (c.amounts[j] >= 0) {
      w = c.amounts[j];
      break;
    }
  }
  return true;
}

// The fixed amounts must leave some of every element to the other species.
bool CheckFixedConcentrations(Task& task, const SpeciesCompositions& compositions,
                              Interaction& ui) {
  if (task.fixedCount <= 0) return true;
  Array1<double, kMaxSystemElements> bound;
  bound.Fill(0.0);
  const int fixedCount = std::min(task.fixedCount, kMaxFixedConcentrations);
  for (int g = 1; g <= task.species.total && g <= kMaxCandidateSpecies; ++g) {
    const SpeciesListEntry& species = task.species.items[g];
    for (int f = 1; f <= fixedCount; ++f) {
      if (task.fixed[f].name != species.displayName) continue;
      for (int e = 1; e <= task.elementCount; ++e) {
        int atoms = compositions.Atoms(species.entry.record, task.elements[e].index);
        if (atoms == 0) continue;
        bound[e] += static_cast<double>(atoms) * task.fixed[f].value;
        if (bound[e] >= task.elements[e].amount) {
          ui.Error(" Fixed values are incorrect !");
          task.fixedCount = 0;
          task.options[kOptFixedCount] = 0;
          for (auto& fc : task.fixed) fc = FixedConcentration{};
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace

bool ComputeElementBalance(Task& task, const SpeciesCompositions& compositions, Interaction& ui,
                           int variant, float* enthalpy) {
  task.massSum = 0;

  // Formulas.  Rows without a formula keep no tokens, so that stale tokens of an
  // earlier formula can never contribute elements.
  for (int i = 1; i <= kMaxComponents; ++i) {
    task.tokens[i].index.Fill(0);
    std::string& formula = task.components[i].formula;
    if (formula == " " || formula.empty()) continue;
    // Two formulas in one row are no formula: the text stays as it is.
    if (FormulaHasInnerBlank(formula) || !ParseFormula(task, i, formula, ui)) {
      task.elementCount = -1;
      return false;
    }
  }

  // Mass parts of the variant.
  task.massFractions.Fill(0.0f);
  for (int i = 1; i <= kMaxComponents; ++i) {
    float w = 0;
    if (!VariantAmount(task.components[i], variant, w)) return false;
    task.massFractions[i] = w;
  }
  double sum = 0;
  for (int i = 1; i <= kMaxComponents; ++i) sum += task.massFractions[i];
  const float W = static_cast<float>(sum);
  task.massSum = W;

  for (auto& e : task.elements) e = SystemElement{};
  if (W < kMinMassSum) return false;

  // Elements in order of first appearance, amounts in mol/kg.
  Array1<double, kMaxSystemElements> amount;
  amount.Fill(0.0);
  int count = 0;
  double hm = 0;
  for (int i = 1; i <= kMaxComponents; ++i) {
    const float w = task.massFractions[i];
    if (w == 0) continue;
    hm += static_cast<double>(task.components[i].enthalpy) * w / W;
    const FormulaTokens& row = task.tokens[i];
    double molarMass = 0;
    for (int j = 1; j <= kMaxFormulaTokens; ++j)
      if (row.index[j] != 0)
        molarMass += static_cast<double>(row.coef[j]) * ElementMass(row.index[j]);
    for (int j = 1; j <= kMaxFormulaTokens; ++j) {
      if (row.index[j] == 0) continue;
      int e = 1;
      while (e <= count && task.elements[e].index != row.index[j]) ++e;
      if (e > count) {
        if (count == kMaxSystemElements) {
          ui.Error("Number of elements is too big.\nMaximum number of elements is " +
                   std::to_string(kMaxSystemElements) + ".");
          for (auto& el : task.elements) el = SystemElement{};
          task.elementCount = -1;
          return false;
        }
        e = ++count;
        task.elements[e].index = row.index[j];
      }
      if (molarMass > 0) amount[e] += 1000.0 * row.coef[j] * w / (molarMass * W);
    }
  }
  int nonZero = 0;
  for (int e = 1; e <= count; ++e) {
    task.elements[e].amount = static_cast<float>(amount[e]);
    if (task.elements[e].amount > kMinElementAmount) ++nonZero;
  }
  if (nonZero == 0) {
    ui.Warn("Concentrations of all elements equals 0 !");
    task.elementCount = 0;
    return false;
  }
  task.elementCount = count;
  task.mixtureEnthalpy = static_cast<float>(hm);

  if (!CheckFixedConcentrations(task, compositions, ui)) return false;
  if (enthalpy) *enthalpy = task.mixtureEnthalpy;
  return true;
}

}  // namespace kvil
