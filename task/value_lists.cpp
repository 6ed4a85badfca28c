#include "task/value_lists.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "common/interaction.h"
#include "common/numparse.h"
#include "task/formula.h"

namespace kvil {

namespace {

constexpr double kMinAreaRatio = 1.0001;
constexpr float kNegligibleAmount = 1e-21f;  // stands for an amount given as 0
constexpr float kEmptyAmount = -1.0f;
constexpr double kMinListedAmount = 1e-22;

bool IsAmountChar(char c) {
  return c == ' ' || c == '+' || c == ',' || c == '-' || c == '.' || (c >= '0' && c <= '9') ||
         c == 'E' || c == 'e';
}

// ParseNumber for a value kept as a 32-bit float: a number beyond the range of the
// float (it would be kept as infinity) is no number either.
bool ParseFloatNumber(const std::string& text, double& v, Interaction& ui) {
  if (!ParseNumber(text, v, ui)) return false;
  if (std::isfinite(static_cast<float>(v))) return true;
  ui.Error("Invalid number: " + text);
  return false;
}

const char* const kSlotNames[] = {"", "first parameter", "second parameter",
                                  "expansion parameter"};

std::string NumberText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

std::string RowText(int row) { return "Source component " + std::to_string(row) + ": "; }

std::string NegativeAmountText(int row, const std::string& token) {
  return RowText(row) + "the amount " + token +
         " is negative.\nAmounts are mass parts of 0 or more.";
}

// The first token of an amount text that reads as a negative number; empty if none.
std::string NegativeAmountOf(const std::string& text) {
  std::string token;
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    const char ch = pos < text.size() ? text[pos] : ' ';
    if (static_cast<unsigned char>(ch) > ' ') {
      token += ch;
      continue;
    }
    const std::optional<double> v = token.empty() ? std::nullopt : TryParseNumber(token);
    if (v && *v < 0) return token;
    token.clear();
  }
  return {};
}

// A step text that reads as 0: it makes no range.
bool StepTextIsZero(const std::string& text) {
  if (!IsMoreThanBlank(text)) return false;
  const std::optional<double> v = TryParseNumber(text);
  return v && *v == 0;
}

// True when the values from `start` advance towards `end` by `step` (or stay there).
bool StepLeadsToEnd(double start, double end, double step) {
  return step != 0 && (end - start) / step >= 0;
}

}  // namespace

bool IsMoreThanBlank(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ') return true;
  return false;
}

bool ParseValueList(Task& task, const std::string& text, int slot, int code, Interaction& ui) {
  ParameterSlot& s = task.slots[slot];
  s.values.Fill(kEmptyValue);
  int count = 0;
  std::string token;
  auto complete = [&]() {
    if (token.empty()) return true;
    double v = 0;
    if (!ParseFloatNumber(token, v, ui)) {
      ui.Warn("Here is an ERROR: " + token + " !");
      return false;
    }
    // p, T, V, S, and the expansion pressure and volume, are positive.
    const bool positive = (code >= kParamP && code <= kParamS) ||
                          (slot == 3 && (code == kParamPa || code == kParamVa));
    if (positive && v <= 0) {
      ui.Warn("Given parameter must have positive value!");
      return false;
    }
    if (++count > kMaxListValues) {
      ui.Warn("Too many parameters in the list !");
      return false;
    }
    s.values[count] = static_cast<float>(v);
    token.clear();
    return true;
  };
  for (char c : text) {
    if (c == ' ') {
      if (!complete()) return false;
    } else if (static_cast<unsigned char>(c) > ' ') {
      token += c;
    }
  }
  if (!complete()) return false;
  s.count = count;
  return true;
}

std::string RangeProblem(const Task& task, int slot) {
  const ParameterSlot& s = task.slots[slot];
  if (s.count != 2) return {};
  const std::string head = std::string("The step of the ") + kSlotNames[slot];
  if (s.step == 0) {
    if (!StepTextIsZero(s.stepText)) return {};
    return head + " is 0: it makes no range.\nClear the step to take the two values as a list.";
  }
  if (StepLeadsToEnd(s.values[1], s.values[2], s.step)) return {};
  return head + ", " + NumberText(s.step) + ", does not lead from " + NumberText(s.values[1]) +
         " to " + NumberText(s.values[2]) + ".";
}

namespace {

// The step `step` of a component with two amounts: a step of 0, or one that leads away
// from the end, makes no range.
std::string ComponentStepProblem(int row, const SourceComponent& c, double step) {
  if (step == 0)
    return RowText(row) +
           "a step of 0 makes no range.\nClear the step to take the two amounts as a list.";
  if (StepLeadsToEnd(c.amounts[1], c.amounts[2], step)) return {};
  return RowText(row) + "the step " + NumberText(step) + " does not lead from " +
         NumberText(c.amounts[1]) + " to " + NumberText(c.amounts[2]) + ".";
}

}  // namespace

std::string ComponentFormulaProblem(int row, const std::string& formula) {
  if (FormulaHasInnerBlank(formula))
    return RowText(row) + "the formula \"" + formula +
           "\" holds a blank.\nGive each component a row of its own.";
  const std::string without = FormulaElementWithoutAtoms(formula);
  if (!without.empty())
    return RowText(row) + "the formula " + formula + " gives " + without + " no atoms.";
  return {};
}

std::string ComponentProblem(const Task& task, int row) {
  const SourceComponent& c = task.components[row];
  const std::string formula = ComponentFormulaProblem(row, c.formula);
  if (!formula.empty()) return formula;
  // The amounts as typed: a negative one is refused, not read as 0.
  const std::string negative = NegativeAmountOf(c.amountText);
  if (!negative.empty()) return NegativeAmountText(row, negative);
  // A step left on a row without amounts is dropped with it (ClearStepsWithoutRange).
  const int amounts = AmountCount(task, row);
  if (c.step != 0 && amounts != 2 && amounts > 0)
    return RowText(row) + "a step needs exactly two amounts, the start and the end.";
  if (c.step != 0 || (amounts == 2 && StepTextIsZero(c.stepText)))
    return ComponentStepProblem(row, c, c.step);
  return {};
}

bool ComponentsUsable(const Task& task, Interaction& ui) {
  for (int row = 1; row <= kMaxComponents; ++row) {
    const std::string problem = ComponentProblem(task, row);
    if (!problem.empty()) {
      ui.Error(problem);
      return false;
    }
  }
  return true;
}

bool ParseStep(Task& task, const std::string& text, int slot, Interaction& ui) {
  ParameterSlot& s = task.slots[slot];
  s.step = 0;
  if (!IsMoreThanBlank(text)) return true;
  double v = 0;
  if (!ParseFloatNumber(text, v, ui)) {
    ui.Warn("Here is an ERROR: " + text + " !");
    return false;
  }
  s.step = static_cast<float>(v);
  return true;
}

bool CheckAreaRatioValues(const Task& task, Interaction& ui) {
  if (task.expansionCode != kParamAreaRatio) return true;
  const ParameterSlot& s = task.slots[3];
  for (int j = 1; j <= s.count && j <= kMaxListValues; ++j) {
    if (s.values[j] < kMinAreaRatio) {
      ui.Error("F(a)/F(throat) value must be more than 1.0001");
      return false;
    }
  }
  return true;
}

bool AcceptValueList(Task& task, int slot, const std::string& text, Interaction& ui) {
  ParameterSlot& s = task.slots[slot];
  s.valueText = text.substr(0, kMaxTaskText);
  const int code = slot == 1 ? task.firstCode : slot == 2 ? task.secondCode : task.expansionCode;
  if (code <= 0) return true;
  if (!ParseValueList(task, s.valueText, slot, code, ui)) return false;
  if (s.count != 2) {
    s.stepText.clear();
    s.step = 0;
  }
  if (slot == 3 && !CheckAreaRatioValues(task, ui)) return false;
  return true;
}

bool ParseAmountList(Task& task, int row, Interaction& ui) {
  SourceComponent& c = task.components[row];
  c.amounts.Fill(kEmptyAmount);
  const std::string& text = c.amountText;
  int count = 0;
  std::string token;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    const char ch = text[pos];
    if (!IsAmountChar(ch)) {
      ui.Message(MessageKind::Plain, "   VarProc ERROR (1). Try again !     ");
      return false;
    }
    if (ch != ' ') token += ch;
    if ((ch == ' ' || pos + 1 == text.size()) && !token.empty()) {
      double v = 0;
      if (!ParseFloatNumber(token, v, ui)) {
        ui.Message(MessageKind::Plain, "   VarProc ERROR(2). Try again !     ");
        return false;
      }
      if (v < 0) {
        ui.Error(NegativeAmountText(row, token));
        return false;
      }
      if (++count > kMaxListValues) {
        ui.Message(MessageKind::Plain, "     Too many parameters in the list !    ");
        return false;
      }
      c.amounts[count] = v <= 0 ? kNegligibleAmount : static_cast<float>(v);
      token.clear();
    }
  }
  return true;
}

bool HasNegativeAmount(const std::string& amountText) {
  return !NegativeAmountOf(amountText).empty();
}

int AmountCount(const Task& task, int row) {
  int k = 0;
  for (float a : task.components[row].amounts)
    if (a >= kMinListedAmount) ++k;
  return k;
}

bool CheckVariants(Task& task, Interaction& ui) {
  task.singleValueComponent = false;
  task.variableComposition = false;
  task.steppedComposition = false;
  int L = 0;
  for (int r = 1; r <= kMaxComponents; ++r) {
    const SourceComponent& c = task.components[r];
    const int k = c.step != 0 ? 0 : AmountCount(task, r);
    if (L == 0 && k > 1) {
      L = k;
    } else if (k > 1 && L > 1 && k != L && c.step == 0) {
      ui.Warn("   Number of parameters in the list does not match !  L=" + std::to_string(L) +
              " k=" + std::to_string(k));
      return false;
    }
    if (k > 1 || c.step != 0) {
      task.variableComposition = true;
      if (c.step != 0) task.steppedComposition = true;
    } else if (k == 1) {
      task.singleValueComponent = true;
    }
  }
  return true;
}

bool ParseAllAmounts(Task& task, const SpeciesCompositions& compositions, Interaction& ui) {
  for (int r = 1; r <= kMaxComponents; ++r)
    if (!ParseAmountList(task, r, ui)) return false;
  if (!CheckVariants(task, ui)) return false;
  ComputeElementBalance(task, compositions, ui, 1);
  return true;
}

void ClearStepsWithoutRange(Task& task) {
  for (int r = 1; r <= kMaxComponents; ++r) {
    int above = 0;
    for (float a : task.components[r].amounts)
      if (a > kMinListedAmount) ++above;
    if (above != 2) {
      task.components[r].step = 0;
      task.components[r].stepText.clear();
    }
  }
}

CellResult ComponentStepCell(Task& task, int row, const std::string& text, Interaction& ui) {
  SourceComponent& c = task.components[row];
  if (!IsMoreThanBlank(text)) {
    c.step = 0;
    c.stepText = text;
    return CellResult::Ok;
  }
  int above = 0;
  for (float a : c.amounts)
    if (a > kMinListedAmount) ++above;
  if (above != 2) {
    ui.Error(" Column \"Amount\" must contain 2 parameters !");
    c.step = 0;
    c.stepText.clear();
    return CellResult::AmountNeedsFocus;
  }
  double v = 0;
  if (!ParseFloatNumber(text, v, ui)) {
    ui.Error("    ERROR. Try again    !");
    return CellResult::Rejected;
  }
  const std::string problem = ComponentStepProblem(row, c, static_cast<float>(v));
  if (!problem.empty()) {
    ui.Error(problem);
    return CellResult::Rejected;
  }
  c.step = static_cast<float>(v);
  c.stepText = text;
  return CellResult::Ok;
}

CellResult ComponentEnthalpyCell(Task& task, int row, const std::string& text, Interaction& ui) {
  SourceComponent& c = task.components[row];
  if (!IsMoreThanBlank(text)) {
    c.enthalpy = 0;
    return CellResult::Ok;
  }
  double v = 0;
  if (!ParseFloatNumber(text, v, ui)) {
    ui.Error(" ERROR. Try again! ");
    return CellResult::Rejected;
  }
  c.enthalpy = static_cast<float>(v);
  return CellResult::Ok;
}

}  // namespace kvil
