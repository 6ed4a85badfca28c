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
// (task/species_list_file.h).  Opening and saving a task with both files are file
// commands (ReadTaskFile, WriteTaskFile of core/file_commands.h).
#pragma once

#include <string>
#include <vector>

#include "task/task.h"

namespace kvil {

class Interaction;
class TaskView;

// The message of every failure to read a datafile.
inline constexpr const char* kDatafileReadError = "    Datafile read error !    ";

// The datafile text of the task as it stands (no fixed-concentration collection).
std::string DatafileText(const Task& task);

// A datafile's content, checked for form before any of it enters the task.
struct RawDatafile {
  Array1<int, 8> units;  // the 8 unit codes of line 1
  TaskOptions options{};
  int codes[3] = {0, 0, 0};
  Array1<SystemElement, kMaxSystemElements> elements;
  Array1<float, kMaxComponents> enthalpies;
  std::vector<std::string> lines;  // all lines, [0] is line 1
  Array1<FixedConcentration, kMaxFixedConcentrations> fixed;
  int fixedCount = 0;
};

// Reads the content of a datafile (CR LF or LF lines, without a UTF-8 mark) into `raw`.
// False for a truncated file, a malformed or out-of-range item of line 1, more than 5
// fixed concentrations, a non-blank line past the last line of the format, or a letter
// other than the exponent's E in an amount line (a formula there: more than 20 formula
// lines shift the columns).
bool ParseDatafile(const std::string& content, RawDatafile& raw);

// Takes a datafile read by ParseDatafile into the task (its name stays) and computes
// the element balance of variant 1.  Parse errors inside the stored texts are reported
// by the parsers while reading continues.  Rows that are no components and ranges that
// make none (ComponentProblem, RangeProblem of task/value_lists.h) keep their texts as
// stored, unread, for the run, the grid and Info to refuse.
void ApplyDatafile(Task& task, const SpeciesCompositions& compositions, Interaction& ui,
                   const RawDatafile& raw);

// Rebuilds the fixed concentrations from the marked rows of `grid` that have a
// Fixed cell.  Returns false with the error "Too many constraints !" for a sixth entry
// (the first five remain) or "Invalid fixed concentration for " + Formula cell + "  : "
// + Fixed cell.  The count and option 32 always agree afterwards.
bool CollectFixedConcentrations(Task& task, const SpeciesGrid& grid, Interaction& ui,
                                TaskView& view);

// The option summary ("Ideal gas EOS; mol/kg; SI; PrFull; NoION; NoSound; NoFrozen;
// NoSumChk; ResFull" for the defaults but sound velocity off).
std::string OptionSummaryText(const TaskOptions& options);

// Shows the option summary and the template check boxes; returns the summary.
std::string BuildOptionSummary(const TaskOptions& options, TaskView& view);

// Sets the settings-page controls from the task options, then BuildOptionSummary.
void ApplyOptionsToControls(const TaskOptions& options, TaskView& view);

}  // namespace kvil
