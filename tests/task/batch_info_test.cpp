// kvil-batch --info, run as a program: table on standard output, one line per message
// on standard error, exit status by outcome.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>

#include "core/file_commands.h"
#include "task/elemental_table.h"
#include "task_fixture.h"

namespace kvil {
namespace {

using testing::TaskTest;

const std::string kBatch = std::string(KVIL_BINARY_DIR) + "/kvil-batch";

class BatchInfoTest : public TaskTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kBatch)) GTEST_SKIP() << "kvil-batch not built";
  }
  // Runs kvil-batch in the test directory; returns its exit status.
  int Run(const std::string& args) {
    const std::string cmd =
        "cd '" + dir.string() + "' && '" + kBatch + "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(BatchInfoTest, PrintsTheElementalTable) {
  std::string content;
  ASSERT_TRUE(
      ReadWholeFile(std::string(KVIL_TEST_DATA_DIR) + "/reference/ch4-air-hp.dat", content));
  WriteText("ch4.dat", content);
  ASSERT_EQ(Run("--info ch4.dat"), 0);
  EXPECT_EQ(ReadText("err.txt"), "");

  ASSERT_EQ(ReadTaskFile(session, Path("ch4.dat")), ReadTaskResult::Ok);
  EXPECT_EQ(ReadText("out.txt"),
            ElementalTableText(BuildElementalTable(session.task, session.database, session.ui)));
  EXPECT_NE(ReadText("out.txt").find("              N   "), std::string::npos);
}

TEST_F(BatchInfoTest, MessagesAndExitStatus) {
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("--info"), 2);
  EXPECT_EQ(Run("--info missing.dat"), 2);
  EXPECT_EQ(ReadText("err.txt"),
            "error: Cannot open the task datafile missing.dat: No such file or directory\n");

  // A damaged datafile is a file that cannot be read: status 2, as in a run.
  WriteText("bad.dat", "garbage\r\n");
  EXPECT_EQ(Run("--info bad.dat"), 2);
  EXPECT_EQ(ReadText("out.txt"), "");
  EXPECT_EQ(ReadText("err.txt"), "error:     Datafile read error !    \n");

  // A 123-byte kvil.cfg is reported once, naming it and the copy kept of it, and
  // replaced; the task still prints.
  WriteText("kvil.cfg", std::string(123, 'x'));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(std::string(KVIL_TEST_DATA_DIR) + "/reference/h2o2-tp.dat", content));
  WriteText("h2o2.dat", content);
  EXPECT_EQ(Run("--info h2o2.dat"), 0);
  EXPECT_EQ(ReadText("err.txt"),
            "error:  Configuration file read error !  kvil.cfg: it holds 123 bytes, a record "
            "needs 124. It is kept as kvil.cfg.damaged; kvil.cfg now holds the defaults.\n");
  EXPECT_EQ(std::filesystem::file_size(Path("kvil.cfg")), 124u);
  EXPECT_EQ(ReadText("kvil.cfg.damaged"), std::string(123, 'x'));

  // A task without elements is refused with the run's message.
  WriteText("empty.dat", "");
  EXPECT_EQ(Run("--info empty.dat"), 1);
  EXPECT_EQ(ReadText("err.txt"), "information: Elements or their amount are not specified.\n");
}

}  // namespace
}  // namespace kvil
