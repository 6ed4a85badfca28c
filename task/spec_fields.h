// The fields of the equilibrium specification page, without the page: the unit
// choosers' names and codes, the value, step and comment fields, and the component grid
// processed as a whole when it is left.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kvil {

class Interaction;
class SpeciesCompositions;
struct Task;

// The two unit names of a parameter code (first p..U, expansion Pa and Va); none for
// Template, Fa/Fthroat and no parameter.
std::vector<std::string> UnitNames(int code, bool expansionSlot = false);

// The unit code stored for parameter code `code` when the unit chooser shows `entry`
// (0 the first unit or none, 1 the second): 2c - 1 or 2c.
int UnitCodeFor(int code, int entry);
// The chooser entry the task's stored unit code selects for `code` (0 or 1).
int UnitEntryOf(const Task& task, int code);
// Stores the unit chosen for the parameter of `code` (nothing for codes outside 1..8).
void AcceptUnit(Task& task, int code, int entry);

// The parameter code of slot 1, 2 or 3 (the expansion slot).
int SlotCode(const Task& task, int slot);

// The step field of `slot` is left: the text is kept and read; with two values it must
// make a range (RangeProblem: not 0, leading from the first value to the second).
// False: the field keeps the focus (the warning has been shown).
bool AcceptStepField(Task& task, int slot, const std::string& text, Interaction& ui);

// The comment field is left: at most 80 characters are kept.
void AcceptComment(Task& task, const std::string& text);

// The expansion chooser: entries 0 Pa, 1 Va, 2 Fa/Fthroat, anything else none.
void AcceptExpansionChooser(Task& task, int entry);
int ExpansionChooserEntry(const Task& task);  // -1 for none

// The texts of one row of the component grid.
struct ComponentCells {
  std::string formula, amount, step, enthalpy;
};
enum class GridColumn { Formula = 1, Amount = 2, Step = 3, Enthalpy = 4 };

// Where the grid keeps the focus when its processing ended with an error.
struct GridLeaveResult {
  bool ok = true;
  int row = 0;  // 1..20
  GridColumn column = GridColumn::Formula;
};

// The component grid is left: rows 1..20 of `cells` are taken into the task, the amount
// lists first, then row by row the formula (with the element balance and the comparison
// with the reference element list), the step and the enthalpy.  Stops at the first
// refusal with its message ("Invalid formula: " + formula for a formula that does not
// parse; ComponentFormulaProblem's message, naming the row, for a formula with a blank
// inside or an element without atoms; ParseAmountList's for a negative amount).  `cells` receives what the task now holds where the processing changed a cell
// (a step dropped, a refused formula emptied).
GridLeaveResult AcceptComponentGrid(Task& task, const SpeciesCompositions& compositions,
                                    Interaction& ui, std::array<ComponentCells, 20>& cells);

// Entering the grid: the current element list becomes the reference.
void RememberReferenceElements(Task& task);

// The cell texts of the task's components.
std::array<ComponentCells, 20> ComponentGridCells(const Task& task);

// A number as the components library's enthalpy is shown: "0.###" (at most three
// decimals, no trailing zeros).
std::string FormatThreeDecimals(double value);
// The same with `decimals` places: "0.####" is FormatDecimals(v, 4).
std::string FormatDecimals(double value, int decimals);

}  // namespace kvil
