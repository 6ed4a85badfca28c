#include "task/elemental_table.h"

#include <gtest/gtest.h>

#include "task/formula.h"
#include "task/oxidizer_fuel.h"
#include "task/value_lists.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

class ElementalTableTest : public TaskTest {
 protected:
  void Prepare() {
    for (int r = 1; r <= kMaxComponents; ++r) ASSERT_TRUE(ParseAmountList(session.task, r, ui));
    ASSERT_TRUE(CheckVariants(session.task, ui));
    ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  }
  std::string Cell(const ElementalTable& t, int r, int c) const { return t.cells[r][c]; }
};

TEST_F(ElementalTableTest, OxidizerFuelOfCHNO) {
  SetComponent(1, "C2H5NO3", "1");
  Prepare();
  const Task& t = session.task;
  const double c = t.elements[1].amount, h = t.elements[2].amount, o = t.elements[4].amount;
  const OxidizerFuel of = OxidizerFuelBalance(t, ui);
  EXPECT_NEAR(of.oxidizer / of.fuel, 2 * o / (4 * c + h), 1e-6);
  EXPECT_NEAR(of.oxygenBalance, 1.6 * (o - 2 * c - h / 2), 1e-4);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ElementalTableTest, UnclassedElementGivesRatioZero) {
  SetComponent(1, "P2O5", "1");
  SetComponent(2, "Se", "1");
  Prepare();
  const OxidizerFuel of = OxidizerFuelBalance(session.task, ui);
  EXPECT_EQ(of.oxidizer, 0);
  EXPECT_GT(of.oxygenBalance, 0);  // still computed from O
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Element P can not be used for calculation of Oxidyzer/Fuel ratio",
                            "Element Se can not be used for calculation of Oxidyzer/Fuel ratio"}));
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
}

TEST_F(ElementalTableTest, SingleCompositionTextAndAppend) {
  SetComponent(1, "H2", "1", 10);
  SetComponent(2, "O2", "8");
  Prepare();
  const ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  ASSERT_EQ(table.Rows(), 7);
  ASSERT_EQ(table.Columns(), 2);
  const std::string expected =
      "\r\n"
      "  Elements \\ No              1\r\n"
      "              H        110.236\r\n"
      "              O         55.558\r\n"
      "       Enthalpy          1.111\r\n"
      "   Sum of parts              9\r\n"
      "  Oxidizer/Fuel          1.008\r\n"
      " Oxygen balance            0.7\r\n";  // 1.6 (b_O - b_H / 2) = 0.704
  EXPECT_EQ(ElementalTableText(table), expected);

  ASSERT_TRUE(AppendElementalTable(Path("t.txt"), table));
  ASSERT_TRUE(AppendElementalTable(Path("t.txt"), table));
  EXPECT_EQ(ReadText("t.txt"), expected + expected);
}

TEST_F(ElementalTableTest, SmallAmountsAndFuelFreeSystems) {
  SetComponent(1, "O2", "1000");
  SetComponent(2, "Ar", "0.001");
  Prepare();
  const ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  EXPECT_EQ(Cell(table, 2, 1), " 0.000025");  // Ar: 0.025 mmol/kg
  EXPECT_EQ(Cell(table, 5, 1), " 0");         // no fuel
}

TEST_F(ElementalTableTest, ListVariantsEndAfterTheLastListPosition) {
  SetComponent(1, "NH4ClO4", "70 75 80");
  SetComponent(2, "Al", "20");
  Prepare();
  const ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  ASSERT_EQ(table.Columns(), 4);
  EXPECT_EQ(Cell(table, 0, 3), " 3");
  EXPECT_EQ(Cell(table, table.Rows() - 3, 3), " 100");
  // The task's balance is that of variant 1 again.
  EXPECT_FLOAT_EQ(session.task.massSum, 90);
}

TEST_F(ElementalTableTest, TenListPositionsLeaveAnEmptyEleventhColumn) {
  SetComponent(1, "H2O", "1 2 3 4 5 6 7 8 9 10");
  Prepare();
  const ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  ASSERT_EQ(table.Columns(), 12);
  EXPECT_EQ(Cell(table, 0, 10), " 10");
  for (int r = 0; r < table.Rows(); ++r) EXPECT_EQ(Cell(table, r, 11), "");
}

TEST_F(ElementalTableTest, SteppedVariantsRunToTheEndOfTheRange) {
  SetComponent(1, "H2O", "10 12");
  SetComponent(2, "CH4", "1");
  for (int r = 1; r <= 2; ++r) ASSERT_TRUE(ParseAmountList(session.task, r, ui));
  session.task.components[1].step = 0.5f;
  ASSERT_TRUE(CheckVariants(session.task, ui));
  ASSERT_TRUE(ComputeElementBalance(session.task, session.database, session.ui, 1));
  ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  ASSERT_EQ(table.Columns(), 6);  // 10, 10.5, 11, 11.5, 12
  EXPECT_EQ(Cell(table, table.Rows() - 3, 5), " 13");

  // A range of more than 200 steps stops at column 200 and an empty 201st.
  session.task.components[1].step = 0.001f;
  table = BuildElementalTable(session.task, session.database, session.ui);
  ASSERT_EQ(table.Columns(), 202);
  EXPECT_EQ(Cell(table, 0, 200), " 200");
  EXPECT_EQ(Cell(table, 0, 201), "");
}

}  // namespace
}  // namespace kvil

namespace kvil {
namespace {

TEST_F(ElementalTableTest, UnclassedElementIsReportedForTheFirstVariantOnly) {
  SetComponent(1, "P2O5", "10 20 30");
  SetComponent(2, "H2", "1");
  Prepare();
  const ElementalTable table = BuildElementalTable(session.task, session.database, session.ui);
  EXPECT_EQ(table.Columns(), 4);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Cell(table, table.Rows() - 2, 3), " 0");
}

}  // namespace
}  // namespace kvil
