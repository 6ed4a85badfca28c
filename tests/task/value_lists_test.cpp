#include "task/value_lists.h"

#include <gtest/gtest.h>

#include "task/spec_fields.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

class ValueListTest : public TaskTest {
 protected:
  ParameterSlot& Slot(int n) { return session.task.slots[n]; }
};

TEST_F(ValueListTest, ListsAndRanges) {
  ASSERT_TRUE(ParseValueList(session.task, "100 200  300", 1, kParamP, ui));
  EXPECT_EQ(Slot(1).count, 3);
  EXPECT_FLOAT_EQ(Slot(1).values[3], 300);
  EXPECT_FLOAT_EQ(Slot(1).values[4], kEmptyValue);
  ASSERT_TRUE(ParseValueList(session.task, "1,5", 2, kParamT, ui));
  EXPECT_FLOAT_EQ(Slot(2).values[1], 1.5f);
  ASSERT_TRUE(ParseValueList(session.task, "", 3, kParamPa, ui));
  EXPECT_EQ(Slot(3).count, 0);
  // H and U may be zero or negative, p, T, V, S may not.
  EXPECT_TRUE(ParseValueList(session.task, "0 -10", 2, kParamH, ui));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(ParseValueList(session.task, "0 10", 2, kParamT, ui));
  EXPECT_EQ(ui.Texts().back(), "Given parameter must have positive value!");
  EXPECT_EQ(Slot(2).count, 2);  // keeps the earlier count
}

TEST_F(ValueListTest, ValueListFailures) {
  EXPECT_FALSE(ParseValueList(session.task, "1 2 3 4 5 6 7 8 9 10 11", 1, kParamP, ui));
  EXPECT_EQ(ui.Texts().back(), "Too many parameters in the list !");
  EXPECT_EQ(ui.messages.back().kind, MessageKind::Warning);
  ui.Clear();
  EXPECT_FALSE(ParseValueList(session.task, "100 1,5,7", 1, kParamP, ui));
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{"Invalid number: 1,5,7", "Here is an ERROR: 1,5,7 !"}));
  // A number a 32-bit value cannot hold is no number: it would be kept as infinity.
  ui.Clear();
  EXPECT_FALSE(ParseValueList(session.task, "100 1e39", 1, kParamH, ui));
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{"Invalid number: 1e39", "Here is an ERROR: 1e39 !"}));
  ui.Clear();
  EXPECT_FALSE(ParseStep(session.task, "-1e400", 1, ui));
  EXPECT_EQ(ui.Texts().back(), "Here is an ERROR: -1e400 !");
}

TEST_F(ValueListTest, StepsAndAcceptedLists) {
  EXPECT_TRUE(ParseStep(session.task, " ", 1, ui));
  EXPECT_FLOAT_EQ(Slot(1).step, 0);
  EXPECT_TRUE(ParseStep(session.task, "100", 1, ui));
  EXPECT_FLOAT_EQ(Slot(1).step, 100);
  EXPECT_FALSE(ParseStep(session.task, "1x", 1, ui));
  EXPECT_EQ(ui.Texts().back(), "Here is an ERROR: 1x !");
  EXPECT_FLOAT_EQ(Slot(1).step, 0);

  // A range keeps its step; a list of another length loses it.
  Slot(1).stepText = "100";
  Slot(1).step = 100;
  ASSERT_TRUE(AcceptValueList(session.task, 1, "100 1000", ui));
  EXPECT_FLOAT_EQ(Slot(1).step, 100);
  ASSERT_TRUE(AcceptValueList(session.task, 1, "100 200 300", ui));
  EXPECT_FLOAT_EQ(Slot(1).step, 0);
  EXPECT_EQ(Slot(1).stepText, "");
  EXPECT_EQ(Slot(1).valueText, "100 200 300");
}

TEST_F(ValueListTest, AreaRatioMustExceedOne) {
  session.task.expansionCode = kParamAreaRatio;
  EXPECT_TRUE(AcceptValueList(session.task, 3, "1.0001 5", ui));
  EXPECT_FALSE(AcceptValueList(session.task, 3, "10 1", ui));
  EXPECT_EQ(ui.Texts().back(), "F(a)/F(throat) value must be more than 1.0001");
  EXPECT_EQ(ui.messages.back().kind, MessageKind::Error);
}

class AmountTest : public TaskTest {
 protected:
  bool Amounts(int row, const std::string& text) {
    session.task.components[row].amountText = text;
    return ParseAmountList(session.task, row, ui);
  }
  float A(int row, int j) const { return session.task.components[row].amounts[j]; }
};

TEST_F(AmountTest, AmountLists) {
  ASSERT_TRUE(Amounts(1, "60 0"));
  EXPECT_FLOAT_EQ(A(1, 1), 60);
  EXPECT_FLOAT_EQ(A(1, 2), 1e-21f);
  EXPECT_FLOAT_EQ(A(1, 3), -1);
  EXPECT_EQ(AmountCount(session.task, 1), 2);
  ASSERT_TRUE(Amounts(1, "1,5 2.5e1 0"));
  EXPECT_FLOAT_EQ(A(1, 1), 1.5f);
  EXPECT_FLOAT_EQ(A(1, 2), 25);
  EXPECT_FLOAT_EQ(A(1, 3), 1e-21f);
  ASSERT_TRUE(Amounts(1, ""));
  EXPECT_FLOAT_EQ(A(1, 1), -1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(AmountTest, AmountListFailuresArePlainMessages) {
  EXPECT_FALSE(Amounts(1, "50;50"));
  EXPECT_EQ(ui.messages.back().text, "   VarProc ERROR (1). Try again !     ");
  EXPECT_EQ(ui.messages.back().kind, MessageKind::Plain);
  EXPECT_FALSE(Amounts(1, "1 2 3 4 5 6 7 8 9 10 11"));
  EXPECT_EQ(ui.messages.back().text, "     Too many parameters in the list !    ");
  EXPECT_FALSE(Amounts(1, "1 2e"));
  EXPECT_EQ(ui.messages.back().text, "   VarProc ERROR(2). Try again !     ");
  EXPECT_FALSE(Amounts(1, "1 5e38"));
  EXPECT_EQ(ui.messages.back().text, "   VarProc ERROR(2). Try again !     ");
}

TEST_F(AmountTest, Variants) {
  ASSERT_TRUE(Amounts(1, "80 85 90"));
  ASSERT_TRUE(Amounts(2, "20 15"));
  EXPECT_FALSE(CheckVariants(session.task, ui));
  EXPECT_EQ(ui.Texts().back(), "   Number of parameters in the list does not match !  L=3 k=2");

  ASSERT_TRUE(Amounts(2, "20"));
  ASSERT_TRUE(CheckVariants(session.task, ui));
  EXPECT_TRUE(session.task.variableComposition);
  EXPECT_TRUE(session.task.singleValueComponent);
  EXPECT_FALSE(session.task.steppedComposition);

  // A stepped component does not count as a list.
  ASSERT_TRUE(Amounts(2, "10 20"));
  session.task.components[2].step = 5;
  ASSERT_TRUE(CheckVariants(session.task, ui));
  EXPECT_TRUE(session.task.steppedComposition);

  ASSERT_TRUE(Amounts(1, "100"));
  session.task.components[2].step = 0;
  ASSERT_TRUE(Amounts(2, ""));
  ASSERT_TRUE(CheckVariants(session.task, ui));
  EXPECT_FALSE(session.task.variableComposition);
}

TEST_F(AmountTest, StepAndEnthalpyCells) {
  ASSERT_TRUE(Amounts(1, "10"));
  EXPECT_EQ(ComponentStepCell(session.task, 1, "1", ui), CellResult::AmountNeedsFocus);
  EXPECT_EQ(ui.Texts().back(), " Column \"Amount\" must contain 2 parameters !");
  EXPECT_FLOAT_EQ(session.task.components[1].step, 0);

  ASSERT_TRUE(Amounts(1, "10 12"));
  EXPECT_EQ(ComponentStepCell(session.task, 1, "0,5", ui), CellResult::Ok);
  EXPECT_FLOAT_EQ(session.task.components[1].step, 0.5f);
  EXPECT_EQ(session.task.components[1].stepText, "0,5");
  EXPECT_EQ(ComponentStepCell(session.task, 1, "x", ui), CellResult::Rejected);
  EXPECT_EQ(ui.Texts().back(), "    ERROR. Try again    !");
  EXPECT_FLOAT_EQ(session.task.components[1].step, 0.5f);

  // A list of another length loses its step before the grid is read.
  ASSERT_TRUE(Amounts(1, "10 12 14"));
  ClearStepsWithoutRange(session.task);
  EXPECT_FLOAT_EQ(session.task.components[1].step, 0);
  EXPECT_EQ(session.task.components[1].stepText, "");

  EXPECT_EQ(ComponentEnthalpyCell(session.task, 1, "-4650,1", ui), CellResult::Ok);
  EXPECT_FLOAT_EQ(session.task.components[1].enthalpy, -4650.1f);
  EXPECT_EQ(ComponentEnthalpyCell(session.task, 1, "abc", ui), CellResult::Rejected);
  EXPECT_EQ(ui.Texts().back(), " ERROR. Try again! ");
  EXPECT_FLOAT_EQ(session.task.components[1].enthalpy, -4650.1f);
  EXPECT_EQ(ComponentEnthalpyCell(session.task, 1, " ", ui), CellResult::Ok);
  EXPECT_FLOAT_EQ(session.task.components[1].enthalpy, 0);
}

TEST_F(AmountTest, ComponentsAndRangesThatAreNoneAreRefusedWhenLeftNamingTheRow) {
  // The component grid: a formula without atoms, two formulas in one cell, a negative
  // amount; each refused with one message naming its row, the focus on its cell.
  struct Case {
    ComponentCells cells;
    GridColumn column;
    std::string message;
  };
  const Case cases[] = {
      {{"C0", "5", "", ""}, GridColumn::Formula,
       "Source component 3: the formula C0 gives C no atoms."},
      {{"CH4 O2", "5", "", ""}, GridColumn::Formula,
       "Source component 3: the formula \"CH4 O2\" holds a blank.\nGive each component a row "
       "of its own."},
      {{"N2", "10 -5", "", ""}, GridColumn::Amount,
       "Source component 3: the amount -5 is negative.\nAmounts are mass parts of 0 or more."},
      {{"N2", "10 20", "-1", ""}, GridColumn::Step,
       "Source component 3: the step -1 does not lead from 10 to 20."},
      {{"N2", "20 10", "1", ""}, GridColumn::Step,
       "Source component 3: the step 1 does not lead from 20 to 10."},
      {{"N2", "10 20", "0", ""}, GridColumn::Step,
       "Source component 3: a step of 0 makes no range.\nClear the step to take the two amounts "
       "as a list."}};
  for (const Case& c : cases) {
    std::array<ComponentCells, 20> cells;
    cells[0] = {"H2", "11.19", "", ""};
    cells[1] = {"O2", "88.81", "", ""};
    cells[2] = c.cells;
    ui.Clear();
    const GridLeaveResult r =
        AcceptComponentGrid(session.task, session.database, session.ui, cells);
    EXPECT_FALSE(r.ok) << c.message;
    EXPECT_EQ(r.row, 3);
    EXPECT_EQ(r.column, c.column) << c.message;
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{c.message});
  }
  // "C 2 H 6" is one formula only for the parser; a cell is one formula without blanks.
  std::array<ComponentCells, 20> cells;
  cells[0] = {"C2H6", "10 20", "5", ""};
  ui.Clear();
  EXPECT_TRUE(AcceptComponentGrid(session.task, session.database, session.ui, cells).ok)
      << (ui.messages.empty() ? "" : ui.Texts()[0]);
  EXPECT_EQ(ComponentProblem(session.task, 1), "");

  // A range of a parameter: the step field refuses a step of 0 and one leading away.
  ParameterSlot& slot = session.task.slots[1];
  session.task.firstCode = kParamP;
  ASSERT_TRUE(AcceptValueList(session.task, 1, "1 20", ui));
  ui.Clear();
  EXPECT_FALSE(AcceptStepField(session.task, 1, "-1", ui));
  EXPECT_FALSE(AcceptStepField(session.task, 1, "0", ui));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "The step of the first parameter, -1, does not lead from 1 to 20.",
                            "The step of the first parameter is 0: it makes no range.\nClear the "
                            "step to take the two values as a list."}));
  EXPECT_TRUE(AcceptStepField(session.task, 1, "1", ui));
  EXPECT_TRUE(AcceptStepField(session.task, 1, "", ui));  // no step: a list of two values
  ASSERT_TRUE(AcceptValueList(session.task, 1, "20 1", ui));
  EXPECT_TRUE(AcceptStepField(session.task, 1, "-1", ui));
  EXPECT_EQ(slot.step, -1.0f);

  // The expansion pressure and volume are positive, as p and V are.
  for (int code : {kParamPa, kParamVa}) {
    session.task.expansionCode = code;
    ui.Clear();
    EXPECT_FALSE(AcceptValueList(session.task, 3, "0.1 0", ui)) << code;
    EXPECT_FALSE(AcceptValueList(session.task, 3, "-1", ui)) << code;
    EXPECT_EQ(ui.Texts(), std::vector<std::string>(2, "Given parameter must have positive value!"));
  }
}

TEST_F(AmountTest, ParseAllAmountsStopsAtTheFirstBadList) {
  SetComponent(1, "H2", "1");
  SetComponent(2, "O2", "8;");
  SetComponent(3, "N2", "abc");
  EXPECT_FALSE(ParseAllAmounts(session.task, session.database, session.ui));
  EXPECT_EQ(ui.messages.size(), 1u);
  SetComponent(2, "O2", "8");
  SetComponent(3, "N2", "");
  ui.Clear();
  EXPECT_TRUE(ParseAllAmounts(session.task, session.database, session.ui));
  EXPECT_EQ(session.task.elementCount, 2);
}

}  // namespace
}  // namespace kvil
