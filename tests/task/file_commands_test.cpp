// The file commands of the main window, without the window: Open of a new or existing
// task, Save of a NoName task carrying its results over, SaveAs, Delete.
#include "core/file_commands.h"

#include "task/task_fixture.h"

namespace kvil::testing {
namespace {

namespace fs = std::filesystem;

class FileCommandsTest : public TaskTest {};

TEST_F(FileCommandsTest, OpenOfAMissingNameMakesANewTaskWithItsResultFiles) {
  session.task.slots[1].valueText = "5";
  const OpenOutcome out = OpenTaskFile(session, Path("Fresh.dat"));
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_FALSE(out.resultsExist);
  EXPECT_EQ(session.task.name, "Fresh");
  EXPECT_EQ(MainCaption(session.task.name), "Calculation of Equilibrium Composition  (Fresh)");
  for (const char* f : {"Fresh.dat", "Fresh.rst", "Fresh.txt"})
    EXPECT_TRUE(fs::exists(Path(f))) << f;
  EXPECT_EQ(ReadText("Fresh.dat"), "");
  EXPECT_FALSE(TaskWorthSaving(session.task));

  // Results left from an earlier run are reported, and emptied only on request.
  WriteText("Fresh.txt", "report");
  EXPECT_TRUE(OpenTaskFile(session, Path("Fresh.dat")).resultsExist);
  EXPECT_EQ(ReadText("Fresh.txt"), "report");
  EXPECT_TRUE(EmptyResultFiles(session));
  EXPECT_EQ(ReadText("Fresh.txt"), "");
}

TEST_F(FileCommandsTest, SavingANoNameTaskCarriesItsResultsOver) {
  WriteText("NoName.txt", "the report so far");
  WriteText("NoName.rst", std::string(16, '\1'));
  WriteText("Rocket.txt", "an old report");
  SetComponent(1, "C2H5NO3", "100");
  session.task.slots[1].valueText = "4";
  std::string error;
  ASSERT_TRUE(SaveNoNameTaskAs(session, Path("Rocket.dat"), dir.string(), &error)) << error;
  EXPECT_EQ(session.task.name, "Rocket");
  EXPECT_EQ(session.datafilePath, Path("Rocket.dat"));
  EXPECT_TRUE(fs::exists(Path("Rocket.tdf")));
  EXPECT_NE(ReadText("Rocket.dat").find("C2H5NO3"), std::string::npos);
  EXPECT_EQ(ReadText("Rocket.txt"), "the report so far");
  EXPECT_EQ(ReadText("Rocket.rst").size(), 16u);
  EXPECT_FALSE(fs::exists(Path("NoName.txt")));
}

TEST_F(FileCommandsTest, AFailedSaveKeepsTheNameAndTheNoNameResults) {
  WriteText("NoName.txt", "the report so far");
  std::string error;
  EXPECT_FALSE(SaveNoNameTaskAs(session, Path("no/such/folder/X.dat"), dir.string(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(session.task.name, "NoName");
  EXPECT_EQ(ReadText("NoName.txt"), "the report so far");
}

TEST_F(FileCommandsTest, SaveAsGivesTheTaskEmptyResultFilesOfItsOwn) {
  WriteText("Old.txt", "old report");
  ASSERT_TRUE(OpenTaskFile(session, Path("Old.dat")).ok);
  WriteText("New.txt", "stale");
  std::string error;
  ASSERT_TRUE(SaveTaskAs(session, Path("New.dat"), &error)) << error;
  EXPECT_EQ(session.task.name, "New");
  EXPECT_EQ(ReadText("New.txt"), "");
  EXPECT_EQ(ReadText("Old.txt"), "old report");
}

TEST_F(FileCommandsTest, DeleteUsesTheChosenNameExactly) {
  for (const char* f : {"Foo.dat", "Foo.txt", "Foo.rst", "Foo.tdf", "foo.dat", "foo.txt"})
    WriteText(f, "x");
  std::string error;
  EXPECT_EQ(DeleteTaskFiles(session, Path("Foo.dat"), &error), "Foo");
  EXPECT_TRUE(error.empty()) << error;
  for (const char* f : {"Foo.dat", "Foo.txt", "Foo.rst", "Foo.tdf"})
    EXPECT_FALSE(fs::exists(Path(f))) << f;
  EXPECT_EQ(ReadText("foo.dat"), "x");
  EXPECT_EQ(ReadText("foo.txt"), "x");
  EXPECT_EQ(DeletedMessage("Foo"), "Information about Foo is deleted.");
}

TEST_F(FileCommandsTest, DeletingTheCurrentTaskEmptiesItsFiles) {
  ASSERT_TRUE(OpenTaskFile(session, Path("Cur.dat")).ok);
  WriteText("Cur.txt", "report");
  std::string error;
  DeleteTaskFiles(session, Path("Cur.dat"), &error);
  EXPECT_TRUE(fs::exists(Path("Cur.dat")));
  EXPECT_EQ(ReadText("Cur.txt"), "");
}

TEST(FileCommandsPureTest, NamesSizesAndTheSaveQuestion) {
  EXPECT_EQ(WithDatafileExtension("/a/b/task"), "/a/b/task.dat");
  EXPECT_EQ(WithDatafileExtension("/a/b.c/task.txt"), "/a/b.c/task.txt");
  EXPECT_EQ(TaskNameOfPath("/x/y/My Task.dat"), "My Task");
  const WindowSize same = InitialWindowSize(800, 600, 780, 560);
  EXPECT_EQ(same.width, 780);
  EXPECT_EQ(same.height, 560);
  const WindowSize wide = InitialWindowSize(1024, 768, 780, 560);
  EXPECT_EQ(wide.width, 1024 * 780 / 800);
  EXPECT_EQ(wide.height, 768 * 560 / 600);
  Task task;
  task.name = "Mix";
  EXPECT_EQ(SaveFirstQuestion(task), "Save datafile Mix.dat");
  task.slots[1].count = 1;
  task.slots[1].values[1] = 4;
  EXPECT_TRUE(TaskWorthSaving(task));
  task.slots[1].values[1] = 1e31f;
  EXPECT_FALSE(TaskWorthSaving(task));
}

}  // namespace
}  // namespace kvil::testing
