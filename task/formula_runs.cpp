#include "task/formula_runs.h"

namespace kvil {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

std::vector<FormulaRun> SplitFormulaRuns(const std::string& text) {
  std::vector<FormulaRun> runs;
  bool afterSymbol = false;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const char c = text[i];
    // The decimal point (or comma) of a subscript number belongs to the subscript: it
    // sits on the subscript's baseline.
    if ((c == '.' || c == ',') && i > 0 && IsDigit(text[i - 1]) && i + 1 < n &&
        IsDigit(text[i + 1]) && !runs.empty() && runs.back().kind == FormulaRunKind::Subscript) {
      std::size_t end = i + 1;
      while (end < n && IsDigit(text[end])) ++end;
      std::string& number = runs.back().text;
      number += text.substr(i, end - i);
      if (number.size() > kMaxFormulaRun) number.resize(kMaxFormulaRun);
      i = end;
      continue;
    }
    if (IsLetter(c) || c == ')') afterSymbol = true;
    if (c == ' ' || c == '(' || c == ',' || c == ';') afterSymbol = false;
    if (IsDigit(c) || IsLetter(c)) {
      const bool digits = IsDigit(c);
      std::size_t end = i;
      while (end < n && (digits ? IsDigit(text[end]) : IsLetter(text[end]))) ++end;
      std::string token = text.substr(i, std::min(end - i, kMaxFormulaRun));
      const FormulaRunKind kind =
          digits && afterSymbol ? FormulaRunKind::Subscript : FormulaRunKind::Normal;
      // Consecutive letters and digits alternate, so runs never merge here.
      runs.push_back({std::move(token), kind});
      i = end;
      continue;
    }
    if ((c == '+' || c == '-') && i > 0) {
      const char p = text[i - 1];
      if (p == ')' || p == '+' || p == '-' || IsDigit(p) || IsLetter(p)) {
        runs.push_back({std::string(1, c), FormulaRunKind::Superscript});
        ++i;
        continue;
      }
    }
    runs.push_back({std::string(1, c), FormulaRunKind::Normal});
    ++i;
  }
  return runs;
}

}  // namespace kvil
