#include "task/formula.h"

#include <gtest/gtest.h>

#include "task/elements.h"
#include "task/value_lists.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

TEST(ElementTable, IndicesSymbolsAndMasses) {
  EXPECT_STREQ(ElementSymbol(1), "H");
  EXPECT_FLOAT_EQ(ElementMass(1), 1.00794f);
  EXPECT_STREQ(ElementSymbol(13), "Al");
  EXPECT_FLOAT_EQ(ElementMass(17), 35.4527f);
  EXPECT_STREQ(ElementSymbol(103), "Lr");
  EXPECT_STREQ(ElementSymbol(104), "e");
  EXPECT_STREQ(ElementSymbol(105), "D");
  EXPECT_FLOAT_EQ(ElementMass(106), 3.0160496f);
  EXPECT_EQ(ElementIndexOf("Co"), 27);
  EXPECT_EQ(ElementIndexOf("CO"), 0);
  EXPECT_STREQ(ElementSymbol(0), "");
  EXPECT_STREQ(ElementSymbol(107), "");
  // Every symbol is found at its own index.
  for (int i = 1; i <= kElementTableSize; ++i) EXPECT_EQ(ElementIndexOf(ElementSymbol(i)), i);
}

class FormulaTest : public TaskTest {
 protected:
  bool Parse(std::string formula) {
    last = formula;
    session.task.tokens[1].index.Fill(0);
    bool ok = ParseFormula(session.task, 1, last, ui);
    return ok;
  }
  int Index(int j) const { return session.task.tokens[1].index[j]; }
  float Coef(int j) const { return session.task.tokens[1].coef[j]; }
  std::string last;
};

TEST_F(FormulaTest, TokensFollowTheirSymbols) {
  ASSERT_TRUE(Parse("H2O"));
  EXPECT_EQ(Index(1), 1);
  EXPECT_FLOAT_EQ(Coef(1), 2);
  EXPECT_EQ(Index(2), 8);
  EXPECT_FLOAT_EQ(Coef(2), 1);
  EXPECT_EQ(Index(3), 0);

  ASSERT_TRUE(Parse("Al2O3"));
  EXPECT_EQ(Index(1), 13);
  EXPECT_FLOAT_EQ(Coef(1), 2);
  EXPECT_FLOAT_EQ(Coef(2), 3);

  ASSERT_TRUE(Parse("NaCl"));
  EXPECT_EQ(Index(1), 11);
  EXPECT_EQ(Index(2), 17);
  ASSERT_TRUE(Parse("Cl2"));
  EXPECT_EQ(Index(1), 17);
  EXPECT_FLOAT_EQ(Coef(1), 2);

  ASSERT_TRUE(Parse("CH3CH2OH"));  // repeated elements stay separate tokens
  EXPECT_EQ(Index(6), 1);
  EXPECT_EQ(Index(7), 0);

  ASSERT_TRUE(Parse("C1,5H3"));
  EXPECT_FLOAT_EQ(Coef(1), 1.5f);
  ASSERT_TRUE(Parse("C7.075H10.65O0.223N0.063"));
  EXPECT_FLOAT_EQ(Coef(4), 0.063f);
  ASSERT_TRUE(Parse("D2O"));
  EXPECT_EQ(Index(1), 105);
  ASSERT_TRUE(Parse("CO"));
  EXPECT_EQ(Index(2), 8);
  ASSERT_TRUE(Parse("Co"));
  EXPECT_EQ(Index(1), 27);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FormulaTest, WhiteSpaceIsRemovedFromTheText) {
  ASSERT_TRUE(Parse("C 2 H 6\t"));
  EXPECT_EQ(last, "C2H6");
  EXPECT_FLOAT_EQ(Coef(2), 6);
  // An empty formula is accepted and leaves the row as it was.
  session.task.tokens[1].index[1] = 6;
  std::string blank = "   ";
  EXPECT_TRUE(ParseFormula(session.task, 1, blank, ui));
  EXPECT_EQ(blank, "");
  EXPECT_EQ(Index(1), 6);
}

TEST_F(FormulaTest, RefusedFormulas) {
  EXPECT_FALSE(Parse("Ca(OH)2"));
  EXPECT_FALSE(Parse("X2"));
  EXPECT_FALSE(Parse("HE"));
  EXPECT_FALSE(Parse("e"));
  EXPECT_FALSE(Parse("He2e"));
  EXPECT_FALSE(Parse("H+"));
  EXPECT_FALSE(Parse("C2l"));  // a digit cannot split a symbol
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts()[0];

  EXPECT_FALSE(Parse("Xy2"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Unknown element: Xy");
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
}

TEST_F(FormulaTest, RefusedFormulasKeepTheRow) {
  ASSERT_TRUE(Parse("H2O"));
  std::string bad = "Ca(OH)2";
  EXPECT_FALSE(ParseFormula(session.task, 1, bad, ui));
  EXPECT_EQ(Index(1), 1);
  EXPECT_EQ(Index(2), 8);
}

TEST_F(FormulaTest, NumberBeforeTheFirstSymbolIsAParseError) {
  EXPECT_FALSE(Parse("2H"));
  EXPECT_TRUE(ui.Saw("Number before the first element in formula: 2H"));
}

TEST_F(FormulaTest, MoreThanTwentyTokensIsAParseError) {
  std::string twenty;
  for (int i = 0; i < 10; ++i) twenty += "CH";
  EXPECT_TRUE(Parse(twenty));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(Parse(twenty + "O"));
  EXPECT_TRUE(ui.Saw("Too many elements in formula: " + twenty + "O"));
  EXPECT_FALSE(Parse(twenty + "Cl"));
}

TEST_F(FormulaTest, UnreadableNumberMakesTheFormulaFail) {
  EXPECT_FALSE(Parse("C1,5,3H"));
  EXPECT_TRUE(ui.Saw("Invalid number: 1,5,3"));
  EXPECT_FALSE(Parse("H2.5.1"));
}

class BalanceTest : public TaskTest {
 protected:
  void ParseAmounts() {
    for (int r = 1; r <= kMaxComponents; ++r) ASSERT_TRUE(ParseAmountList(session.task, r, ui));
    ASSERT_TRUE(CheckVariants(session.task, ui));
  }
  float W(int i) const { return session.task.massFractions[i]; }
};

TEST_F(BalanceTest, HydrogenAndOxygen) {
  SetComponent(1, "H2", "1", 100);
  SetComponent(2, "O2", "8", -10);
  ParseAmounts();
  float h = 0;
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1, &h));
  const Task& t = session.task;
  EXPECT_FLOAT_EQ(t.massSum, 9);
  ASSERT_EQ(t.elementCount, 2);
  EXPECT_EQ(t.elements[1].index, 1);
  EXPECT_EQ(t.elements[2].index, 8);
  EXPECT_NEAR(t.elements[1].amount, 1000.0 * 2 * 1 / (2.01588 * 9), 1e-3);
  EXPECT_NEAR(t.elements[2].amount, 1000.0 * 2 * 8 / (31.9988 * 9), 1e-3);
  EXPECT_NEAR(h, (100.0 * 1 - 10.0 * 8) / 9, 1e-5);
  EXPECT_FLOAT_EQ(t.mixtureEnthalpy, h);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BalanceTest, SharedElementIsListedOnceWithTheSum) {
  SetComponent(1, "CH4", "16.043");
  SetComponent(2, "CO2", "44.01");
  ParseAmounts();
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  const Task& t = session.task;
  ASSERT_EQ(t.elementCount, 3);  // C, H, O in order of first appearance
  EXPECT_EQ(t.elements[1].index, 6);
  EXPECT_EQ(t.elements[2].index, 1);
  EXPECT_EQ(t.elements[3].index, 8);
  // One mole of each per 60.053 g: 2 mol C per 60.053 g.
  EXPECT_NEAR(t.elements[1].amount, 2000.0 / 60.053, 0.01);
}

TEST_F(BalanceTest, SteppedAmountRunsToItsEnd) {
  SetComponent(1, "H2O", "10 12");
  ParseAmounts();
  session.task.components[1].step = 1;
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, k)) << k;
    EXPECT_FLOAT_EQ(W(1), 9.0f + k);
  }
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 4));

  SetComponent(1, "H2O", "12 10");
  ParseAmounts();
  session.task.components[1].step = -1;
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, k));
    EXPECT_FLOAT_EQ(W(1), 13.0f - k);
  }
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 4));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BalanceTest, FractionalStepReachesItsEnd) {
  SetComponent(1, "H2O", "10 12");
  ParseAmounts();
  session.task.components[1].step = 0.1f;
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 21));
  EXPECT_FLOAT_EQ(W(1), 12.0f);
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 22));
}

TEST_F(BalanceTest, ShorterListKeepsItsLastValue) {
  SetComponent(1, "NH4ClO4", "80 85");
  SetComponent(2, "Al", "20");
  ParseAmounts();
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 3));
  EXPECT_FLOAT_EQ(W(1), 85);
  EXPECT_FLOAT_EQ(W(2), 20);
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 12));
  EXPECT_FLOAT_EQ(W(1), 85);
}

TEST_F(BalanceTest, Failures) {
  // Bad formula: element count -1, no message of the balance itself.
  SetComponent(1, "Ca(OH)2", "1");
  ParseAmounts();
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_EQ(session.task.elementCount, -1);
  EXPECT_TRUE(ui.messages.empty());

  // No amounts at all.
  SetComponent(1, "H2O", "");
  ParseAmounts();
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_TRUE(ui.messages.empty());

  // Zero coefficients only.
  SetComponent(1, "H0", "5");
  ParseAmounts();
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_EQ(session.task.elementCount, 0);
  EXPECT_TRUE(ui.Saw("Concentrations of all elements equals 0 !"));
}

TEST_F(BalanceTest, RowWithoutFormulaContributesNoElements) {
  SetComponent(1, "H2", "1");
  SetComponent(2, "NaCl", "1");
  ParseAmounts();
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  ASSERT_EQ(session.task.elementCount, 3);
  session.task.components[2].formula = " ";  // formula removed, amount left
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_EQ(session.task.elementCount, 1);
}

TEST_F(BalanceTest, MoreThanTwentyElementsIsRefused) {
  const char* formulas[] = {"HHeLiBeBCNOFNe", "NaMgAlSiPSClArKCa", "ScTi"};
  for (int i = 0; i < 3; ++i) SetComponent(i + 1, formulas[i], "1");
  ParseAmounts();
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_EQ(session.task.elementCount, -1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
}

// A species database of three species records (H2O, H2, O2) for the fixed-value check.
class FixedCheckTest : public BalanceTest {
 protected:
  void SetUp() override {
    OpenTinyDatabase({{"H2O", 2, 1, 2, 8, 1}, {"H2", 2, 1, 2, 0, 0}, {"O2", 2, 8, 2, 0, 0}});
    SpeciesList& list = session.task.species;
    const char* names[] = {"H2O", "H2", "O2"};
    for (int i = 1; i <= 3; ++i) {
      list.items[i].entry = {2, i - 1, 1};
      list.items[i].displayName = names[i - 1];
    }
    list.total = 3;
    SetComponent(1, "H2", "1");
    SetComponent(2, "O2", "8");
    ParseAmounts();
  }
  void Fix(int f, const std::string& name, float value) {
    session.task.fixed[f] = {name, value};
    session.task.fixedCount = f;
    session.task.options[kOptFixedCount] = f;
  }
};

TEST_F(FixedCheckTest, FixedAmountsBelowTheElementAmountsPass) {
  // H = 110.2 mol/kg, O = 55.55 mol/kg.
  Fix(1, "H2O", 50);
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  Fix(2, "O2", 2.5);  // O bound: 50 + 5 = 55 < 55.55
  EXPECT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_EQ(session.task.fixedCount, 2);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FixedCheckTest, FixedAmountsBindingAllOfAnElementAreDiscarded) {
  Fix(1, "H2O", 50);
  Fix(2, "O2", 3);  // O bound: 50 + 6 = 56 >= 55.55
  EXPECT_FALSE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  EXPECT_TRUE(ui.Saw(" Fixed values are incorrect !"));
  EXPECT_EQ(session.task.fixedCount, 0);
  EXPECT_EQ(session.task.options[kOptFixedCount], 0);
  // Names are matched exactly against the display names.
  ui.Clear();
  Fix(1, "h2o", 500);
  EXPECT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
}

}  // namespace
}  // namespace kvil
