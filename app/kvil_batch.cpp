// kvil-batch: the engine's command-line front.
//
//   kvil-batch --info TASK.dat [--db DIR]
//       Reads kvil.cfg of the working directory (defaults when missing) and the task
//       datafile, and prints the elemental composition table of the task to standard
//       output exactly as the elemental composition window saves it.
//
// Every message of the engine goes to standard error as one line "<kind>: <text>".
// Exit status: 0 success, 1 when a message refused the work (or an internal error
// ended it), 2 for bad usage or a file that cannot be read (a damaged datafile or
// configuration file included).
#include <cstdio>
#include <cstring>
#include <string>

#include "app/batch_interaction.h"
#include "app/batch_run.h"
#include "core/file_commands.h"
#include "core/session.h"
#include "task/elemental_table.h"
#include "task/task_view.h"
#include "task/value_lists.h"

namespace {

using kvil::kExitOk;
using kvil::kExitRefused;
using kvil::kExitUsage;

void PrintUsage() {
  std::fprintf(stderr,
               "usage: kvil-batch --info TASK.dat [--db DIR]\n"
               "  --info TASK.dat  print the elemental composition table of the task\n"
               "  --db DIR         species database directory (optional for --info)\n");
}

int RunInfo(int argc, char** argv) {
  std::string datafile, dbDir;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
      dbDir = argv[++i];
    } else if (argv[i][0] != '-' && datafile.empty()) {
      datafile = argv[i];
    } else {
      PrintUsage();
      return kExitUsage;
    }
  }
  if (datafile.empty()) {
    PrintUsage();
    return kExitUsage;
  }

  kvil::BatchInteraction ui;
  kvil::NullTaskView view;
  kvil::Session session(ui, view);
  if (!dbDir.empty() && !session.database.Open(dbDir))
    ui.Message(kvil::MessageKind::Warning,
               "Species database not found in " + dbDir + " (" +
                   session.database.OpenError() + "); continuing without it.",
               kvil::Buttons::Ok);

  if (!kvil::TaskDatafileReadable(ui, datafile)) return kExitUsage;
  // A damaged datafile is a file that cannot be read, as in a run.
  switch (kvil::ReadTaskFile(session, datafile)) {
    case kvil::ReadTaskResult::CannotOpen:
    case kvil::ReadTaskResult::ReadError:
      return kExitUsage;
    case kvil::ReadTaskResult::Empty:
    case kvil::ReadTaskResult::Ok:
      break;
  }
  // A row that is no component is refused as the run refuses it.
  if (!kvil::ComponentsUsable(session.task, ui)) return kExitRefused;
  if (session.task.elementCount <= 0) {
    ui.Message(kvil::MessageKind::Information, "Elements or their amount are not specified.",
               kvil::Buttons::Ok);
    return kExitRefused;
  }
  const kvil::ElementalTable table =
      kvil::BuildElementalTable(session.task, session.database, session.ui);
  const std::string text = kvil::ElementalTableText(table);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? kExitOk : kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // The last resort: an exception nothing else caught is reported as one error line
  // and ends the program with a failure status.
  try {
    if (argc >= 2 && std::strcmp(argv[1], "--info") == 0) return RunInfo(argc, argv);
    // Anything else is a calculation run (app/batch_run.h).
    return kvil::RunBatch(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n",
                 kvil::BatchMessageLine(kvil::MessageKind::Error,
                                        std::string("Internal error: ") + e.what())
                     .c_str());
  } catch (...) {
    std::fprintf(stderr, "%s\n",
                 kvil::BatchMessageLine(kvil::MessageKind::Error,
                                        "Internal error: an unknown exception")
                     .c_str());
  }
  return kExitRefused;
}
