// The table of the elemental composition window: for every variant of the source
// composition, the amounts of the elements (mol/kg), the mixture enthalpy (kJ/kg), the
// sum of the mass parts and the oxidizer/fuel ratio, as cell texts.
//
// Row 0 is the header ("Elements \ No", " 1", " 2", ...); rows 1..E the elements
// (" " + symbol), then " Enthalpy", " Sum of parts", " Oxidizer/Fuel" and " Oxygen
// balance" (percent, "0.##").  Column 0 holds
// the row captions, columns 1.. the variants.  Amounts are formatted "0.######" up to
// 0.001 and "0.###" above; enthalpy, sum and ratio "0.###"; each with a leading blank.
//
// Variant columns: a composition without variation has one column.  A listed
// composition ends after its last list position (at most 10 columns and an empty 11th);
// a stepped one runs until the element balance reports no further variant (at most 200
// columns and an empty 201st).
#pragma once

#include <string>
#include <vector>

namespace kvil {

class Interaction;
class SpeciesCompositions;
struct Task;

struct ElementalTable {
  // cells[row][column]; every row has the same number of columns.
  std::vector<std::vector<std::string>> cells;

  int Rows() const { return static_cast<int>(cells.size()); }
  int Columns() const { return cells.empty() ? 0 : static_cast<int>(cells[0].size()); }
};

// Builds the table from the task.  The element balance of the task is
// restored to its state before the call.  Messages of the element balance are shown for
// every variant; that of an element which cannot be classed as oxidizer or fuel only
// for the first.
ElementalTable BuildElementalTable(Task& task, const SpeciesCompositions& compositions,
                                   Interaction& ui);

// The saved form: an empty line, then each row on its own line, every cell
// right-aligned in 15 characters (longer texts whole); lines end with CR LF.
std::string ElementalTableText(const ElementalTable& table);

// Appends the saved form to `path` (created when missing).  False with the reason in
// `error` when the file cannot be written.
bool AppendElementalTable(const std::string& path, const ElementalTable& table,
                          std::string* error = nullptr);

}  // namespace kvil
