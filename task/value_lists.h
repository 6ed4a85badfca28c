// Reading the value lists of the parameters and the amount lists of the components,
// and checking that the components' lists form variants of the source composition.
//
// Parameter slots n: 1 first parameter, 2 second parameter, 3 adiabatic expansion.
// A slot holds up to 10 values (32-bit floats; empty slots 1e31) and a step; a list of
// exactly two values with a non-zero step is the range from the first to the second.
// A component holds up to 10 mass parts (empty slots -1) and a step, accepted only with
// exactly two amounts (start and end).  Variant k of the composition takes the k-th
// amount of every component (see ComputeElementBalance).
//
// Every number is read with ParseNumber (common/numparse.h): a text that is not a
// number shows "Invalid number: " + text and the value is treated as unusable; the
// operation then fails with its own message as listed at each function.
#pragma once

#include <string>

#include "task/task.h"

namespace kvil {

class Interaction;
class SpeciesCompositions;

// Fills task.slots[slot].values/count from `text` for parameter code `code`.  Returns
// false on failure: warning "Here is an ERROR: " + token + " !" for a token that is not
// a number, "Given parameter must have positive value!" for a value <= 0 of p, T, V or
// S (codes 1..4) or of the expansion pressure or volume (slot 3, codes 7 and 8), "Too
// many parameters in the list !" for an 11th value.  On failure
// the values are left as far as they were filled and the count keeps its earlier
// value.  An empty or blank text gives count 0.  The value text itself is not stored.
bool ParseValueList(Task& task, const std::string& text, int slot, int code, Interaction& ui);

// Sets task.slots[slot].step from `text` (0 for an empty or blank text).  Returns false
// with the warning "Here is an ERROR: " + text + " !" when the text is not a number
// (the step is then 0).  The step text itself is not stored.
bool ParseStep(Task& task, const std::string& text, int slot, Interaction& ui);

// What the value field of slot `slot` does when it is left: stores `text` as the slot's
// value text and parses it with the code of the slot's parameter (no parsing for code
// 0).  After a list is accepted, a count other than 2 empties the step text and clears
// the step; for the expansion slot with Fa/Fthroat every value must be at least 1.0001
// (error "F(a)/F(throat) value must be more than 1.0001").  Returns false when the
// field must keep the focus.
bool AcceptValueList(Task& task, int slot, const std::string& text, Interaction& ui);

// The expansion slot with code 9 (Fa/Fthroat): true when every value is at least
// 1.0001, else the error "F(a)/F(throat) value must be more than 1.0001" and false.
bool CheckAreaRatioValues(const Task& task, Interaction& ui);

// Fills the amounts of component `row` from its stored amount text.  Amounts of 0 are
// stored as 1e-21 so that the component keeps its place in the variants.  Returns false
// with a plain message box: "   VarProc ERROR (1). Try again !     " for a character
// other than blank, '+', ',', '-', '.', digits, 'E', 'e'; "   VarProc ERROR(2). Try
// again !     " for a token that is not a number; "     Too many parameters in the list
// !    " for an 11th amount; and with the error "Source component N: the amount -5 is
// negative." ... for a negative amount.
bool ParseAmountList(Task& task, int row, Interaction& ui);

// What makes component row `row` no component, as a message that names the row
// ("Source component 3: ..."); empty when the row is a component or has no formula.
// Refused: a formula with a blank inside ("CH4 O2": two formulas in one row), an
// element without atoms ("C0"), a negative amount in the amount text, a step with one
// amount or more than two, a step of 0 typed for two amounts, a step that leads away
// from the end of the range.  Pure: nothing is shown or changed.
std::string ComponentProblem(const Task& task, int row);
// ComponentProblem for rows 1..20: shows the first problem as an error and returns
// false; true when every row is a component or empty.  The run and Info call it.
bool ComponentsUsable(const Task& task, Interaction& ui);

// The formula part of ComponentProblem for row `row`: a blank inside, an element
// without atoms.
std::string ComponentFormulaProblem(int row, const std::string& formula);

// What makes the range of parameter slot `slot` no range, as a message naming the
// parameter; empty when the slot is a list or a sound range.  Refused, for two values
// with a step: a step text that reads as 0 ("it makes no range"), a step that leads
// away from the second value (1 to 20 with step -1, 20 to 1 with step 1).
std::string RangeProblem(const Task& task, int slot);

// True when a token of the amount text reads as a negative number.
bool HasNegativeAmount(const std::string& amountText);

// Number of amounts of component `row` above 1e-22.
int AmountCount(const Task& task, int row);

// Sets the variant flags of the task.  Returns false with the warning "   Number of
// parameters in the list does not match !  L=" + L + " k=" + k when two components
// list different numbers (> 1) of amounts without a step.
bool CheckVariants(Task& task, Interaction& ui);

// ParseAmountList for rows 1..20 (stopping at the first failure), CheckVariants, then
// the element balance of variant 1.  Returns false when an amount list or the variant
// check failed (the balance shows its own messages and does not make it fail).
bool ParseAllAmounts(Task& task, const SpeciesCompositions& compositions, Interaction& ui);

// Before the component grid is read: every row whose amounts (above 1e-22) are not
// exactly two loses its step (step 0, step text empty).
void ClearStepsWithoutRange(Task& task);

enum class CellResult {
  Ok,
  Rejected,          // message shown; the cell keeps the focus
  AmountNeedsFocus,  // message shown; the Amount cell of the row gets the focus
};

// The Step cell of component `row` is left with `text`.  A blank cell clears the step.
// Otherwise the row must have exactly two amounts (else the error " Column "Amount"
// must contain 2 parameters !", the step text is emptied, AmountNeedsFocus), the
// text must be a number (else the error "    ERROR. Try again    !", Rejected), and the
// step must lead from the first amount to the second (else the ComponentProblem
// message, Rejected; a step of 0 makes no range either).
CellResult ComponentStepCell(Task& task, int row, const std::string& text, Interaction& ui);

// The Enthalpy cell of component `row` is left with `text` (kJ/kg).  A blank cell gives
// 0.  A text that is not a number shows the error " ERROR. Try again! " and leaves the
// enthalpy unchanged (Rejected).
CellResult ComponentEnthalpyCell(Task& task, int row, const std::string& text, Interaction& ui);

// True when `text` holds a character other than blanks and control characters.
bool IsMoreThanBlank(const std::string& text);

}  // namespace kvil
