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
// extension columns after the components, and after them the rocket figures of the
// expansion points (rocket_figures.h), items kFigureItemBase + 1 .. kFigureItemBase +
// kFigureCount.
//
// Table rows.  A row comes from one record: the record gives a row when it gives the
// argument, and each function cell holds that record's value when the record gives it
// (see FillResultsTable), else stays empty.  The expansion quantities (Wa, Pa and the
// rocket figures) belong to the throat and expansion records; when the argument is a
// quantity of the chamber point and a function is an expansion quantity, each row is
// a chamber point and its expansion cells come from that point's own expansion
// records.  Texts are those of FormatConcentration; numbers are read back with the
// engine's number reader, so a table reads the same whatever the locale.
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
inline constexpr int kMaxTableRows = 100000;      // data rows of a table

// The rocket figures offered in the "Parameter" list, after the components: the
// specific impulse in vacuum and at the ambient pressure, the characteristic velocity,
// the vacuum thrust coefficient, the area ratio and the Mach number of a throat or
// expansion point.
inline constexpr int kFigureCount = 6;
inline constexpr int kFigureItemBase = 1000;
extern const char* const kFigureNames[kFigureCount];

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
// extension columns and the rocket figures, each after three blanks.
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
// The list and row (1-based) of an item; row 0 for an item of neither list.
std::pair<AnalysisKind, int> ListRowOfItem(const AnalysisLayout& layout, int item);

// Marks of the function list kept by item, across both kinds of list, so that
// parameters and species can be marked together and a change of the list's kind
// keeps them.  Toggles `item` (whose row text is `rowText`): ignored when the text is
// blank; an eleventh mark is refused with "Only 10 items are available".  The items
// stay in list order (the "Parameter" list's rows, then the "Concentration" list's).
// Returns true when the marks changed.
bool ToggleMarkedItem(std::vector<int>& items, const AnalysisLayout& layout, int item,
                      const std::string& rowText, Interaction& ui);

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
  double ambientP = 0.1;  // MPa, for the impulse at the ambient pressure
};

// Builds the choice from the lists: argument row `xRow` of kind `xKind` with its text,
// the marked rows of the function list of kind `yKind` with their texts.  More than ten
// marks: "Only first 10 items will be plotted !" and the first ten are taken.
TableChoice MakeTableChoice(const AnalysisLayout& layout, AnalysisKind xKind, int xRow,
                            const std::string& xText, AnalysisKind yKind,
                            const std::vector<bool>& marks,
                            const std::vector<std::string>& yTexts, bool dominant,
                            Interaction& ui);
// The same from marked items (ToggleMarkedItem) and their titles.
TableChoice MakeTableChoice(const AnalysisLayout& layout, int argumentItem,
                            const std::string& xText, const std::vector<int>& items,
                            const std::vector<std::string>& titles, bool dominant,
                            Interaction& ui);

// A filled table: titles of columns 0..c and the data rows, each c + 1 cells.
struct ResultsTable {
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
  // Per column 0..c: the column holds species amounts (mol/kg).  May be empty (a table
  // made elsewhere): nothing is known then.
  std::vector<bool> amounts;
  int FunctionCount() const { return titles.empty() ? 0 : int(titles.size()) - 1; }
};

// Fills the table from the records of a run, in this order:
//  - a record gives a row when it gives the argument: an element or a species always,
//    a component when its fraction is positive, parameters 1..21 on equilibrium (and
//    chamber) points only, Wa, Pa and the rocket figures when positive (throat and
//    expansion points);
//  - a function cell: an element always; a species, and parameters 1..21, on
//    equilibrium points, or with an expansion quantity as argument on throat and
//    expansion points; Wa, Pa and the figures when positive; a component fraction
//    under the species rule, written with " a" after it (a text, which the plot
//    refuses);
//  - with an argument of the chamber point (not Wa, Pa or a figure) and an expansion
//    quantity among the functions, a row per chamber point that has throat or
//    expansion records: the chamber quantities from the chamber record, the expansion
//    quantities from its expansion records (its throat record when it has none).
//    When chamber points have several expansion points, each expansion function
//    becomes one column per expansion point, its title followed by " [j]" (at most 10
//    columns in all: "Only first 10 items will be plotted !");
//  - equal consecutive component fractions as argument keep only the later row (a
//    record that gives none of the functions does not replace the row);
//  - at most 300 rows ("Only first 300 will be displayed" when records remain);
//  - the rows without a value in the first function column of p, Wa or Pa are
//    removed; the rest are sorted by the argument, ascending (stable).
// With no function: "No data for the function" and an empty table.  Records that give
// no row at all: "No point of the results gives the argument with these functions."
// and an empty table.
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

// Saved tables have files of their own: "Table files (*.tab)".
inline constexpr const char* kTableFileExtension = ".tab";
inline constexpr const char* kTableFileFilter = "Table files (*.tab)";

// The file a table chosen as `chosen` is saved into: ".tab" appended when the name has
// no extension.  A file of a task (its report ".txt", results table ".rst", datafile
// ".dat", species list ".tdf") or of the program (".cfg", ".bas") is never written:
// the path is returned empty and `refusal` says why.
std::string TableSavePath(const std::string& chosen, std::string* refusal);

}  // namespace kvil
