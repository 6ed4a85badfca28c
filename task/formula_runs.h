// Chemical typography of a formula or species name, without drawing: the text split
// into runs drawn in the normal font, as subscripts (atom counts after an element or a
// closing parenthesis) or as superscripts (charge signs).
//
// The rules: a letter or ")" sets the after-symbol flag, " ", "(", "," and ";" clear
// it.  A run of digits is a subscript while the flag is set, normal otherwise; a "." or
// "," between the digits of a subscript, with the digits after it, belongs to that
// subscript ("C7.075": "C", subscript "7.075").  A "+"
// or "-" after ")", "+", "-", a digit or a letter (not at the start) is a superscript.
// A run of letters is one normal run; every other character is a run of its own.  Runs
// of digits or letters are cut to 16 characters; the rest of such a run is skipped.
#pragma once

#include <string>
#include <vector>

namespace kvil {

enum class FormulaRunKind { Normal, Subscript, Superscript };

struct FormulaRun {
  std::string text;
  FormulaRunKind kind = FormulaRunKind::Normal;
  bool operator==(const FormulaRun&) const = default;
};

inline constexpr std::size_t kMaxFormulaRun = 16;

std::vector<FormulaRun> SplitFormulaRuns(const std::string& text);

}  // namespace kvil
