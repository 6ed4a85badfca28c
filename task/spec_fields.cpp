#include "task/spec_fields.h"

#include <cmath>
#include <cstdio>

#include "common/interaction.h"
#include "task/formula.h"
#include "task/task.h"
#include "task/value_lists.h"

namespace kvil {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// Up to seven significant digits, no trailing zeros: how the grid shows a stored float.
std::string FormatStored(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7g", value);
  return buf;
}

bool SameElements(const Task& task) {
  if (task.elementCount != task.referenceElementCount) return false;
  for (int i = 1; i <= task.elementCount && i <= kMaxSystemElements; ++i)
    if (task.elements[i].index != task.referenceElements[i]) return false;
  return true;
}

}  // namespace

std::vector<std::string> UnitNames(int code, bool expansionSlot) {
  if (expansionSlot) {
    if (code == kParamPa) return {"MPa", "atm"};
    if (code == kParamVa) return {"cub. m/kg", "cub. dm/kg"};
    return {};
  }
  switch (code) {
    case kParamP: return {"MPa", "atm"};
    case kParamT: return {"K", "C"};
    case kParamV: return {"cub. m/kg", "cub. dm/kg"};
    case kParamS: return {"kJ/kg*K", "kcal/kg*K"};
    case kParamH:
    case kParamU: return {"kJ/kg", "kcal/kg"};
    default: return {};
  }
}

int UnitCodeFor(int code, int entry) { return entry == 1 ? 2 * code : 2 * code - 1; }

int UnitEntryOf(const Task& task, int code) {
  if (code < 1 || code > 8) return 0;
  return task.unitCodes[code] == 2 * code ? 1 : 0;
}

void AcceptUnit(Task& task, int code, int entry) {
  if (code < 1 || code > 8) return;
  task.unitCodes[code] = static_cast<std::uint8_t>(UnitCodeFor(code, entry));
}

int SlotCode(const Task& task, int slot) {
  return slot == 1 ? task.firstCode : slot == 2 ? task.secondCode : task.expansionCode;
}

bool AcceptStepField(Task& task, int slot, const std::string& text, Interaction& ui) {
  task.slots[slot].stepText = text;
  if (!ParseStep(task, text, slot, ui)) return false;
  const std::string problem = RangeProblem(task, slot);
  if (problem.empty()) return true;
  ui.Warn(problem);
  return false;
}

void AcceptComment(Task& task, const std::string& text) { task.comment = text.substr(0, 80); }

void AcceptExpansionChooser(Task& task, int entry) {
  task.expansionCode = entry >= 0 && entry <= 2 ? entry + kParamPa : kParamNone;
}

int ExpansionChooserEntry(const Task& task) {
  return task.expansionCode >= kParamPa && task.expansionCode <= kParamAreaRatio
             ? task.expansionCode - kParamPa
             : -1;
}

void RememberReferenceElements(Task& task) {
  task.referenceElementCount = task.elementCount;
  for (int i = 1; i <= kMaxSystemElements; ++i)
    task.referenceElements[i] = i <= task.elementCount ? task.elements[i].index : 0;
}

GridLeaveResult AcceptComponentGrid(Task& task, const SpeciesCompositions& compositions,
                                    Interaction& ui, std::array<ComponentCells, 20>& cells) {
  // 1. The amount lists of every row.
  for (int row = 1; row <= kMaxComponents; ++row) {
    ComponentCells& c = cells[row - 1];
    task.components[row].amountText = c.amount.substr(0, 80);
    if (!ParseAmountList(task, row, ui)) return {false, row, GridColumn::Amount};
    if (AmountCount(task, row) != 2) {
      task.components[row].stepText.clear();
      task.components[row].step = 0;
      c.step.clear();
    }
  }
  // 2. Row by row: formula, step, enthalpy.
  for (int row = 1; row <= kMaxComponents; ++row) {
    ComponentCells& c = cells[row - 1];
    std::string formula = Trim(c.formula);
    task.components[row].formula = formula.empty() ? " " : formula;
    std::string parsed = formula;
    if (!ParseFormula(task, row, parsed, ui)) {
      ui.Error("Invalid formula: " + formula);
      task.components[row].formula = " ";
      return {false, row, GridColumn::Formula};
    }
    // Two formulas in one cell, or an element without atoms, are no component.
    const std::string problem = ComponentFormulaProblem(row, formula);
    if (!problem.empty()) {
      ui.Error(problem);
      task.components[row].formula = " ";
      return {false, row, GridColumn::Formula};
    }
    if (!ParseAllAmounts(task, compositions, ui)) return {false, row, GridColumn::Amount};
    if (!SameElements(task)) task.elementSetChanged = true;

    switch (ComponentStepCell(task, row, c.step, ui)) {
      case CellResult::Ok: break;
      case CellResult::Rejected: return {false, row, GridColumn::Step};
      case CellResult::AmountNeedsFocus:
        c.step.clear();
        return {false, row, GridColumn::Amount};
    }
    if (ComponentEnthalpyCell(task, row, c.enthalpy, ui) != CellResult::Ok)
      return {false, row, GridColumn::Enthalpy};
  }
  return {};
}

std::array<ComponentCells, 20> ComponentGridCells(const Task& task) {
  std::array<ComponentCells, 20> cells;
  for (int row = 1; row <= kMaxComponents; ++row) {
    const SourceComponent& c = task.components[row];
    ComponentCells& out = cells[row - 1];
    out.formula = Trim(c.formula);
    out.amount = c.amountText;
    out.step = c.stepText;
    const bool used = !out.formula.empty() || IsMoreThanBlank(c.amountText);
    out.enthalpy = used || c.enthalpy != 0 ? FormatStored(c.enthalpy) : std::string();
  }
  return cells;
}

std::string FormatThreeDecimals(double value) { return FormatDecimals(value, 3); }

std::string FormatDecimals(double value, int decimals) {
  char buf[400];
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::abs(value) < 1e300 / scale ? std::round(value * scale) / scale : value;
  std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace kvil
