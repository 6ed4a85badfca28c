#include "task/elemental_table.h"

#include <algorithm>
#include <cstdio>

#include "common/interaction.h"
#include "common/numfmt.h"
#include "task/elements.h"
#include "task/formula.h"
#include "task/oxidizer_fuel.h"

namespace kvil {

namespace {

constexpr int kLastStepVariantColumn = 201;  // stays empty
constexpr int kLastListVariantColumn = 11;   // stays empty
constexpr int kListedComponents = 10;        // components that decide the list length
constexpr double kSmallAmount = 0.001;       // mol/kg: shown with more decimals
constexpr double kMinFuel = 1.0e-8;
constexpr int kCellWidth = 15;

// The balance outputs of the task, kept across the variants of the table.
struct BalanceState {
  Array1<SystemElement, kMaxSystemElements> elements;
  int elementCount;
  Array1<float, kMaxComponents> massFractions;
  float massSum;
  float mixtureEnthalpy;

  explicit BalanceState(const Task& t)
      : elements(t.elements),
        elementCount(t.elementCount),
        massFractions(t.massFractions),
        massSum(t.massSum),
        mixtureEnthalpy(t.mixtureEnthalpy) {}
  void RestoreTo(Task& t) const {
    t.elements = elements;
    t.elementCount = elementCount;
    t.massFractions = massFractions;
    t.massSum = massSum;
    t.mixtureEnthalpy = mixtureEnthalpy;
  }
};

// Swallows messages: the element set is the same in every variant, so a message about
// an element that cannot be classed is shown for the first column only.
class SilentInteraction : public Interaction {
 public:
  Answer Message(MessageKind, const std::string&, Buttons) override { return Answer::Ok; }
  void ShowProgress(bool) override {}
  void SetProgressLabels(const ProgressLabels&) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingInput() override {}
};

void AddColumn(ElementalTable& table) {
  for (auto& row : table.cells) row.emplace_back();
}
void RemoveLastColumn(ElementalTable& table) {
  for (auto& row : table.cells) row.pop_back();
}

}  // namespace

ElementalTable BuildElementalTable(Task& task, const SpeciesCompositions& compositions,
                                   Interaction& ui) {
  const BalanceState saved(task);
  const int E = task.elementCount > 0 ? std::min(task.elementCount, kMaxSystemElements) : 0;

  ElementalTable table;
  table.cells.assign(E + 5, std::vector<std::string>(2));
  table.cells[0][0] = "Elements \\ No";
  for (int e = 1; e <= E; ++e)
    table.cells[e][0] = std::string(" ") + ElementSymbol(task.elements[e].index);
  table.cells[E + 1][0] = " Enthalpy";
  table.cells[E + 2][0] = " Sum of parts";
  table.cells[E + 3][0] = " Oxidizer/Fuel";
  table.cells[E + 4][0] = " Oxygen balance";  // percent

  const bool variable = task.variableComposition;
  for (int v = 1;;) {
    for (int e = 1; e <= E; ++e) table.cells[e][v].clear();
    table.cells[0][v] = " " + IntText(v);
    if (!ComputeElementBalance(task, compositions, ui, v)) {
      if (variable) RemoveLastColumn(table);
      break;
    }
    for (int e = 1; e <= E && e <= task.elementCount; ++e) {
      const double b = task.elements[e].amount;
      table.cells[e][v] = " " + FormatPicture(b, b <= kSmallAmount ? "0.######" : "0.###");
    }
    table.cells[E + 1][v] = " " + FormatPicture(task.mixtureEnthalpy, "0.###");
    table.cells[E + 2][v] = " " + FormatPicture(task.massSum, "0.###");
    SilentInteraction silent;
    const OxidizerFuel of = OxidizerFuelBalance(task, v == 1 ? ui : silent);
    table.cells[E + 3][v] =
        of.fuel <= kMinFuel ? " 0" : " " + FormatPicture(of.oxidizer / of.fuel, "0.###");
    table.cells[E + 4][v] = " " + FormatPicture(of.oxygenBalance, "0.##");

    if (!variable) break;
    ++v;
    AddColumn(table);
    if (v == kLastStepVariantColumn) break;
    if (task.steppedComposition) continue;
    if (v == kLastListVariantColumn) break;
    bool more = false;
    for (int r = 1; r <= kListedComponents; ++r)
      if (task.components[r].amounts[v] > 0) more = true;
    if (!more) {
      RemoveLastColumn(table);
      break;
    }
  }
  saved.RestoreTo(task);
  return table;
}

std::string ElementalTableText(const ElementalTable& table) {
  std::string out = "\r\n";
  for (const auto& row : table.cells) {
    for (const std::string& cell : row) out += PadLeft(cell, kCellWidth);
    out += "\r\n";
  }
  return out;
}

bool AppendElementalTable(const std::string& path, const ElementalTable& table,
                          std::string* error) {
  const std::string text = ElementalTableText(table);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) {
    if (error) *error = "Cannot open " + path;
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok && error) *error = "Cannot write " + path;
  return ok;
}

}  // namespace kvil
