#include "task/formula_runs.h"

#include <gtest/gtest.h>

namespace kvil {
namespace {

using K = FormulaRunKind;

std::string Shape(const std::string& text) {
  // "_" before a subscript run, "^" before a superscript, "|" between runs.
  std::string out;
  for (const FormulaRun& r : SplitFormulaRuns(text)) {
    if (!out.empty()) out += '|';
    if (r.kind == K::Subscript) out += '_';
    if (r.kind == K::Superscript) out += '^';
    out += r.text;
  }
  return out;
}

TEST(FormulaRunsTest, SubscriptsAfterSymbolsAndSuperscriptCharges) {
  EXPECT_EQ(Shape("H2O"), "H|_2|O");
  EXPECT_EQ(Shape("Ca(OH)2"), "Ca|(|OH|)|_2");
  EXPECT_EQ(Shape("2H2O"), "2|H|_2|O");          // a leading count is full size
  EXPECT_EQ(Shape("Ca2+"), "Ca|_2|^+");
  EXPECT_EQ(Shape("X(+)"), "X|(|+|)");            // a sign after "(" is full size
  EXPECT_EQ(Shape("C(c)"), "C|(|c|)");
  EXPECT_EQ(Shape("C 2"), "C| |2");               // a blank resets the rule
  EXPECT_EQ(Shape("-OH"), "-|OH");                // a leading minus is full size
  EXPECT_EQ(Shape("e-"), "e|^-");
  // The decimal point of a count sits on the subscript's baseline, with its digits.
  EXPECT_EQ(Shape("C7.075H10.65"), "C|_7.075|H|_10.65");
  EXPECT_EQ(Shape("C10H15,4O0,07"), "C|_10|H|_15,4|O|_0,07");
  EXPECT_EQ(Shape("Al2O3.5"), "Al|_2|O|_3.5");
  EXPECT_EQ(Shape("A, 2.5"), "A|,| |2|.|5");     // not after a subscript: as it was
  EXPECT_TRUE(SplitFormulaRuns("").empty());
}

TEST(FormulaRunsTest, LongRunsAreCutToSixteenCharacters) {
  const auto runs = SplitFormulaRuns("C12345678901234567890H");
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1].text, "1234567890123456");
  EXPECT_EQ(runs[1].kind, K::Subscript);
  EXPECT_EQ(runs[2].text, "H");
}

}  // namespace
}  // namespace kvil
