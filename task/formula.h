// Chemical formulas of the source components and the element balance of the system.
//
//  - ParseFormula turns a formula text such as "C2H5NO3", "NH4ClO4" or "C1,5H3" into
//    element tokens (element table index, coefficient) in the task's ComponentTokens.
//    A symbol is one upper-case letter optionally followed by one lower-case letter;
//    a number (',' or '.' as decimal point) belongs to the symbol written before it.
//    Parentheses, charges, the electron and numbers before the first symbol are
//    refused; so is a formula of more than 20 element tokens.
//  - ComputeElementBalance forms, for one variant of the source composition, the
//    elements of the system with their amounts (mol/kg), the mass parts of the
//    components, their sum and the mixture enthalpy (kJ/kg).
//
// Failures are returned as `false`; the messages the user must see are shown through
// the Interaction where the failure is detected.
#pragma once

#include <string>

#include "task/task.h"

namespace kvil {

class Interaction;

// Parses `formula` for component row `row` (1..20).  White space and control
// characters are removed from `formula` in place.  An empty text is accepted and
// leaves the row untouched.  On success tokens 1..n of task.tokens[row] are replaced
// (tokens above n are left as they were: consumers must clear the row first, as
// ComputeElementBalance does).  Returns false when the formula cannot be parsed;
// messages: warning "Unknown element: " + symbol for an unknown two-letter symbol,
// warning "Too many elements in formula: " + formula for more than 20 element tokens,
// warning "Number before the first element in formula: " + formula, and the error
// "Invalid number: " + text of ParseNumber.  Other failures (unknown one-letter symbol,
// the electron, a character other than a letter, digit, ',' or '.') are silent.
bool ParseFormula(Task& task, int row, std::string& formula, Interaction& ui);

// True when `formula` holds a blank or a control character between its first and last
// other character ("CH4 O2"): two formulas in one row, not one formula.
bool FormulaHasInnerBlank(const std::string& formula);

// The element of `formula` whose count reads as 0 ("C" in "C0" or "C0H4"): an element
// without atoms; empty when there is none.  The text is not otherwise checked.
std::string FormulaElementWithoutAtoms(const std::string& formula);

// Looks `symbol` up in the element table and appends a token (index, coefficient 1)
// to `scratch` at position count + 1, incrementing `count`.  The electron "e" is
// refused.  Returns false when the symbol is not found or refused; the caller must
// ensure count < 20.
bool FindElement(const std::string& symbol, FormulaTokens& scratch, int& count);

// Element balance of variant `variant` (1, 2, ...).  Fills task.elements,
// task.elementCount, task.massFractions, task.massSum and task.mixtureEnthalpy, and
// returns true with the mixture enthalpy (kJ/kg) in *enthalpy when given.
// Returns false when a formula fails (elementCount = -1; also for a formula with a
// blank inside, see FormulaHasInnerBlank, which ParseFormula itself accepts; the text
// is then left as it is), when a stepped amount has
// passed its end value or no amounts remain (the variants are exhausted; no message),
// when more than 20 distinct elements occur (error "Number of elements is too big." ...
// elementCount = -1), when all element amounts are zero (warning "Concentrations of
// all elements equals 0 !", elementCount = 0), or when the fixed concentrations bind as
// much of an element as the system holds (error " Fixed values are incorrect !"; the
// fixed entries are discarded).  The fixed-concentration check reads the composition of
// the species of task.species from `compositions` (the species database).
bool ComputeElementBalance(Task& task, const SpeciesCompositions& compositions, Interaction& ui,
                           int variant, float* enthalpy = nullptr);

}  // namespace kvil
