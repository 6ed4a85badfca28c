// The task datafile (task name + ".dat", text, lines ended by CR LF) and the option
// vocabulary of the task.
//
// Layout of the datafile:
//   line 1      8 unit codes, 64 option bytes, 3 parameter codes (first, second,
//               adiabatic), 20 element amounts (mol/kg), 20 element indices, 20
//               component enthalpies (kJ/kg); each item followed by one blank, the line
//               by one more blank.  Integers in decimal, floating-point numbers in the
//               23-character exponent form (FormatExp23).
//   lines 2-4   value texts of the first, second and adiabatic parameter + one blank
//   lines 5-7   step texts of the three parameters
//   lines 8-27  formulas of components 1..20 (a single blank for an empty row)
//   lines 28-67 per component: amount text, then step text
//   line 68     comment
//   69 onward   per fixed concentration (count = option 32, at most 5): the species
//               name, then the value (FormatExp23)
// The reader accepts CR LF and LF and any decimal notation of the numbers of line 1.
//
// The companion species list file (task name + ".tdf") holds the species list
// (task/species_list_file.h).  Both files are replaced atomically: a failed write
// keeps the previous file.
#pragma once

#include <string>

#include "task/task.h"

namespace kvil {

struct Session;

// The message of every failure to read a datafile.
inline constexpr const char* kDatafileReadError = "    Datafile read error !    ";

// The datafile text of the task as it stands (no fixed-concentration collection).
std::string DatafileText(const Task& task);

// Collects the fixed concentrations from the species grid, then writes the datafile
// `path` and the species list file beside it (same name, extension ".tdf").  Returns
// false when a file cannot be written; the error names the file and the reason, and
// the previous files are left intact.
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

// Rebuilds the fixed concentrations from the marked rows of session.grid that have a
// Fixed cell.  Returns false with the error "Too many constraints !" for a sixth entry
// (the first five remain) or "Invalid fixed concentration for " + Formula cell + "  : "
// + Fixed cell.  The count and option 32 always agree afterwards.
bool CollectFixedConcentrations(Session& session);

// The option summary ("Ideal gas EOS; mol/kg; SI; PrFull; NoION; NoSound; NoFrozen;
// NoSumChk; ResFull" for the defaults but sound velocity off).
std::string OptionSummaryText(const TaskOptions& options);

// Shows the option summary and the template check boxes; returns the summary.
std::string BuildOptionSummary(Session& session);

// Sets the settings-page controls from the task options, then BuildOptionSummary.
void ApplyOptionsToControls(Session& session);

}  // namespace kvil
