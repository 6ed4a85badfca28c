// The bundled example task must read without a message and be exactly what the
// datafile writer produces for it.  KVIL_WRITE_EXAMPLES=1 rewrites it from the task
// built here.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/file_commands.h"
#include "task/datafile.h"
#include "task/formula.h"
#include "task/value_lists.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

const std::string kExampleDir = std::string(KVIL_SOURCE_DIR) + "/examples";

class ExampleTest : public TaskTest {
 protected:
  // Ammonium perchlorate / aluminium / binder composite propellant: chamber pressures
  // 4, 7 and 10 MPa, the enthalpy of the mixture (H = 0), throat and expansion to
  // 0.1 MPa, no ions.
  void BuildExample() {
    Task& t = session.task;
    t.firstCode = kParamP;
    t.secondCode = kParamH;
    t.expansionCode = kParamPa;
    t.options[kOptThroat] = 1;
    t.options[kOptIons] = 0;
    ASSERT_TRUE(AcceptValueList(t, 1, "4 7 10", ui));
    ASSERT_TRUE(AcceptValueList(t, 2, "0", ui));
    ASSERT_TRUE(AcceptValueList(t, 3, "0.1", ui));
    SetComponent(1, "NH4ClO4", "68", -2517.4f);
    SetComponent(2, "Al", "18", 0);
    SetComponent(3, "C7.075H10.65O0.223N0.063", "14", 83.5f);
    ASSERT_TRUE(ParseAllAmounts(session.task, session.database, session.ui));
    t.comment = "Composite propellant: AP 68 %, Al 18 %, HTPB binder 14 %";
    ASSERT_TRUE(ui.messages.empty());
  }
};

TEST_F(ExampleTest, CompositePropellantIsWhatTheWriterProduces) {
  BuildExample();
  if (std::getenv("KVIL_WRITE_EXAMPLES")) {
    ASSERT_TRUE(WriteTaskFile(session, kExampleDir + "/propellant.dat"));
  }
  const std::string expected = DatafileText(session.task);
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(kExampleDir + "/propellant.dat", stored));
  EXPECT_EQ(stored, expected);

  WriteText("example.dat", stored);
  ASSERT_EQ(ReadTaskFile(session, Path("example.dat")), ReadTaskResult::Ok);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(session.task.elementCount, 6);  // N H Cl O Al C
  EXPECT_EQ(DatafileText(session.task), stored);
  EXPECT_TRUE(std::filesystem::exists(kExampleDir + "/propellant.tdf"));
}

}  // namespace
}  // namespace kvil
