// The file side of the main window's commands: what New/Open, Save, SaveAs, Delete and
// Exit do to the task and its files, without any window.
//
// A task lives in four files of one base name: the datafile (.dat), the species list
// file (.tdf), the report (.txt) and the results table (.rst); a run that wrote further
// columns of the results table (a detonation) adds its extension (.rsx), which goes with
// the results table wherever that goes.  A task never saved is
// "NoName" and its files are "NoName.*" in the working directory.  The window asks the
// questions and shows the dialogs; these functions do the work and say whether it
// happened, so that a command that depends on an earlier step (Open after "save first")
// goes on only when that step really succeeded.
#pragma once

#include <string>

namespace kvil {

struct Session;
struct Task;

inline constexpr const char* kNoName = "NoName";
inline constexpr const char* kInformationSaved = "Information is saved.";

// "Calculation of Equilibrium Composition  (" + task name + ")".
std::string MainCaption(const std::string& taskName);

// The task name of a datafile path: its file name without directory and extension.
std::string TaskNameOfPath(const std::string& path);

// A name chosen in the datafile dialog: ".dat" appended when it has no extension.
std::string WithDatafileExtension(const std::string& path);

// True when leaving the task would lose something worth asking about: the species list
// holds species, or the first value of the first or second parameter is above 0 and
// below 1e30.
bool TaskWorthSaving(const Task& task);

// "Save datafile " + task name + ".dat".
std::string SaveFirstQuestion(const Task& task);

// What a datafile and its species list file would hold for the task as it stands,
// with the species grid's marks and fixed amounts: equal snapshots taken after an
// Open or a Save and later mean that nothing was changed in between.
std::string TaskSnapshot(const Session& session);

// Collects the fixed concentrations from the species grid, then writes the datafile
// `path` and the species list file beside it (same name, extension ".tdf").  Both files
// are replaced atomically.  Returns false when a file cannot be written; the error
// names the file and the reason, and the previous files are left intact.
bool WriteTaskFile(Session& session, const std::string& path);

enum class ReadTaskResult {
  Ok,          // the task was read
  Empty,       // the datafile is empty: a new task with the defaults
  CannotOpen,  // the datafile cannot be read: error kDatafileReadError, a line break,
               // the path and the reason; defaults
  ReadError,   // malformed content: error kDatafileReadError, defaults
};

// Reads the datafile `path` into session.task (after ResetTaskAndReadConfiguration),
// sets session.datafilePath and the task name (the file name without directory and
// extension), computes the element balance of variant 1, creates an empty species
// list file when none exists and loads the species list from it (LoadSpeciesList; only
// when the species database is open).
// Parse errors inside the stored texts are reported by the parsers while reading
// continues.  Rows that are no components and ranges that make none (ComponentProblem,
// RangeProblem of task/value_lists.h) keep their texts as stored, unread, for the run,
// the grid and Info to refuse.  A truncated file, a malformed or out-of-range item of
// line 1, more than 5 fixed concentrations, a non-blank line past the last line of the
// format, a letter other than the exponent's E in an amount line (a formula there: more
// than 20 formula lines shift the columns), or a species list file of more than 259
// entries give the error "    Datafile read error !    " and the task is reset to the
// defaults.  Anything that is not a regular file is refused as an unreadable one.
ReadTaskResult ReadTaskFile(Session& session, const std::string& path);

// The three default files "NoName.txt", "NoName.tdf" and "NoName.rst" of the working
// directory, created empty.  The report and the results table of the session before,
// when they hold something, are first kept as "NoName-previous.txt" and
// "NoName-previous.rst" (replacing older ones); `kept` then receives the sentence for
// the status line (empty when nothing was kept).  A file that cannot be kept is left
// as it is, not emptied, and the reason is shown.  False when a file cannot be created
// or kept.
bool BindDefaultFiles(Session& session, std::string* kept = nullptr);

// "NoName-previous": the base name under which the results of the last session are kept.
inline constexpr const char* kNoNamePrevious = "NoName-previous";

// Open (and New): the datafile `path` is created empty when missing (a new task), the
// results table and the report are created when missing, and the task is read.
struct OpenOutcome {
  bool ok = false;            // false: the datafile could not be created or read
  bool resultsExist = false;  // the report has text or the table has records
  std::string error;          // why, when !ok; empty when the reader has said it
};
OpenOutcome OpenTaskFile(Session& session, const std::string& path);

// Empties the report and the results table of the current task ("Overwrite it?" Yes).
bool EmptyResultFiles(Session& session, std::string* error = nullptr);

// Save of a NoName task under `path`: the task takes the name of the file, the datafile
// and species list file are written, and the results computed so far go with the task:
// "NoName.txt" and "NoName.rst" of `noNameDir` replace the task's .txt and .rst.  A
// rename across file systems falls back to copy and remove.  False, with the reason in
// `error`, when the datafile could not be written (nothing else is done then) or the
// results could not be carried over (the datafile is written; the NoName results stay).
bool SaveNoNameTaskAs(Session& session, const std::string& path, const std::string& noNameDir,
                      std::string* error);

// SaveAs: the task takes the name of `path`, is written there, and gets empty result
// files of its own (replacing existing ones).  False with the reason in `error`.
bool SaveTaskAs(Session& session, const std::string& path, std::string* error);

// Delete of the datafile `path` chosen in the dialog: the chosen file and, in its
// folder, the files of the same base name (exactly as chosen, letter case kept) with the
// extensions ".rst", ".txt", ".tdf" and ".dat" are deleted.  When the base name is the
// current task's, its four files are emptied instead.  Returns the base name deleted;
// `error` names a file that could not be removed.
std::string DeleteTaskFiles(Session& session, const std::string& path, std::string* error);
// "Information about " + name + " is deleted.".
std::string DeletedMessage(const std::string& name);

// The first window size: the design size (800 x 600) scaled to the screen the way the
// window is scaled when the screen is not 800 wide, kept inside the screen.
struct WindowSize {
  int width = 0;
  int height = 0;
};
WindowSize InitialWindowSize(int screenWidth, int screenHeight, int designWidth = 800,
                             int designHeight = 600);

}  // namespace kvil
