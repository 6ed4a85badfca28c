// What the analysis page, the table view and the chart window compute, without a
// window: the list items offered from the first record of the results table file,
// the marks of the function list, the table of one argument and up to ten functions
// filled from all records, and the check that a table can be plotted.
//
// Item index.  The items of both lists share one 1-based index space, with the counts
// of the first record: 1..23 the result parameters, 24..23+nEl the elements,
// 24+nEl..23+nEl+nC the source components, then the nS species, then the columns of
// the table's extension (results/table_file.h) that its records have.  A row r of a
// "Concentration" list is item r + 23 + nEl + nC; the "Parameter" list shows the
// extension columns after the components.
//
// Table rows.  Every row of a table comes from exactly one record: the record gives
// a row when it gives the argument, and each function cell holds that record's value
// when the record gives it (see FillResultsTable), else stays empty.  Texts are those
// of FormatConcentration; numbers are read back with the engine's number reader, so a
// table reads the same whatever the locale.
//
// Messages go through the Interaction, exactly as the user sees them.
#pragma once

#include <string>
#include <vector>

#include "results/table_file.h"

namespace kvil {

class Interaction;
class SpeciesDatabase;
struct Task;

inline constexpr int kMaxAnalysisFunctions = 10;  // marked functions, table columns 1..10
inline constexpr int kMaxTableRows = 300;         // data rows of a table

enum class AnalysisKind { Parameter, Concentration };

// The counts and numbers the first record gives; held by the page for the table.
struct AnalysisLayout {
  int elementCount = 0;    // nEl
  int componentCount = 0;  // nC
  int speciesCount = 0;    // nS
  std::vector<int> elementIndices;    // nEl element table indices, as stored
  std::vector<int> componentNumbers;  // nC component numbers 1..20, as stored
  std::vector<int> speciesRecords;    // nS database record numbers, as stored
  std::vector<int> extensionCodes;    // extension columns of the table, ascending codes
};

enum class ListReadStatus { Ok, Empty, Corrupted };

// Reads only the first record of the results table file, with the columns of the
// table's extension: those of the first record with their values, those only later
// records have as not-a-number (so that the lists offer every column of the table).
// An unreadable file counts as empty when it does not exist and as corrupted otherwise.
ListReadStatus ReadFirstResultsRecord(const std::string& tablePath, ResultsRecord& first);

AnalysisLayout LayoutOfRecord(const ResultsRecord& first);

// Row texts (rows 1..n) of a "Parameter" list: the 23 parameter names, the elements
// ("   [Al]", "   [?]" for an index outside the table), the components (their
// formulas in `task`, by the stored component number, cut to 20 characters) and the
// extension columns, each after three blanks.
std::vector<std::string> ParameterListTexts(const AnalysisLayout& layout, const Task& task);

// Row texts of a "Concentration" list: the display names of the species read from the
// database at the stored record numbers, after `lead` ("   " for the argument list,
// " " for the function list).  A record the database does not hold shows "#" and its
// number.
std::vector<std::string> ConcentrationListTexts(const AnalysisLayout& layout,
                                                const SpeciesDatabase& database,
                                                const std::string& lead);

// Item index of list row `row` (1-based) of the given kind.
int ItemOfListRow(const AnalysisLayout& layout, AnalysisKind kind, int row);

// The marks of the function list (index 0 = row 1).  Toggles the mark of `row`
// (1-based) the way a space key or a click on the mark cell does: ignored when the
// row's item text is blank; an eleventh mark is refused with "Only 10 items are
// available".  Returns true when the marks changed.
bool ToggleFunctionMark(std::vector<bool>& marks, int row, const std::string& rowText,
                        Interaction& ui);
int MarkedCount(const std::vector<bool>& marks);

// The argument and the functions a table is asked for.
struct TableChoice {
  AnalysisLayout layout;
  int argumentItem = 0;
  std::string argumentTitle;
  std::vector<int> functionItems;  // in list order
  std::vector<std::string> functionTitles;
  bool dominant = false;  // FormatConcentration form: the task's dominant-composition option
};

// Builds the choice from the lists: argument row `xRow` of kind `xKind` with its text,
// the marked rows of the function list of kind `yKind` with their texts.  More than ten
// marks: "Only first 10 items will be plotted !" and the first ten are taken.
TableChoice MakeTableChoice(const AnalysisLayout& layout, AnalysisKind xKind, int xRow,
                            const std::string& xText, AnalysisKind yKind,
                            const std::vector<bool>& marks,
                            const std::vector<std::string>& yTexts, bool dominant,
                            Interaction& ui);

// A filled table: titles of columns 0..c and the data rows, each c + 1 cells.
struct ResultsTable {
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
  int FunctionCount() const { return titles.empty() ? 0 : int(titles.size()) - 1; }
};

// Fills the table from the records of a run, in this order:
//  - a record gives a row when it gives the argument: an element or a species always,
//    a component when its fraction is positive, parameters 1..21 on equilibrium (and
//    chamber) points only, Wa and Pa when positive;
//  - a function cell: an element always; a species, and parameters 1..21, on
//    equilibrium points, or with Wa or Pa as argument on throat and expansion points;
//    Wa and Pa when positive; a component fraction under the species rule, written
//    with " a" after it (a text, which the plot refuses);
//  - equal consecutive component fractions as argument keep only the later row (a
//    record that gives none of the functions does not replace the row);
//  - at most 300 rows ("Only first 300 will be displayed" when records remain);
//  - the rows without a value in the first function column of p, Wa or Pa are
//    removed; the rest are sorted by the argument, ascending (stable).
// With no function: "No data for the function" and an empty table.
ResultsTable FillResultsTable(const std::vector<ResultsRecord>& records,
                              const TableChoice& choice, Interaction& ui);

// Reads the records of `tablePath` and fills the table.  An empty file gives an empty
// table; a damaged or unreadable file is reported with "File of results is corrupted !"
// and the complete records before the damage are used.
ResultsTable FillResultsTableFromFile(const std::string& tablePath, const TableChoice& choice,
                                      Interaction& ui);

// Largest magnitude of a plotted value: the span of two such values, widened and
// rounded to the ticks, stays a finite double.
inline constexpr double kMaxPlotMagnitude = 1e300;

// True when every cell of the table reads as a finite number of magnitude up to
// kMaxPlotMagnitude.  Otherwise shows "No values in the table. Graph cannot be plotted
// !" (no data row) or "Invalid value in the table. Graph cannot be plotted !" and
// returns false.
bool CheckTableForPlot(const ResultsTable& table, Interaction& ui);

// The saved form of a table: an empty line, then the title row and the data rows,
// every cell right-aligned in 15 characters (longer texts in full), lines ended by
// CR LF.
std::string TableSaveText(const ResultsTable& table);

}  // namespace kvil
