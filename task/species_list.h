// The candidate species of the task (SpeciesList) and their grid rows.
//
// The list holds at most 259 candidates in display order (260 slots, 1-based).  Each
// entry is the 6-byte SpeciesEntry of the species list file (phase code, zero-based
// record number in the species database, selected flag) plus the display name and a
// row index.  The species database module (thermo/species_db.h) builds the list; the
// task datafile stores it.
//
// SpeciesGridRow is the view model of one row of the species grid (columns No., Mark,
// Phase, Formula, Fixed mol.); the species list page shows these texts, and
// CollectFixedConcentrations reads the Mark, Formula and Fixed cells back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/array1.h"
#include "common/constants.h"

namespace kvil {

struct SpeciesEntry {
  std::uint8_t phase = 0;      // phase code (1 condensed, 2 gas incl. ions, 5, 6)
  std::int32_t record = 0;     // zero-based record number in the species file
  std::uint8_t selected = 0;   // 1 = takes part ("*")
};

struct SpeciesListEntry {
  SpeciesEntry entry;
  std::string displayName;  // at most 20 characters
  std::int32_t rowIndex = 0;
};

struct SpeciesList {
  Array1<SpeciesListEntry, kSpeciesListCapacity> items;
  int total = 0;       // number of entries
  int selected = 0;    // number of selected entries
  bool rescanDatabase = false;  // RescanDatabase
};

struct SpeciesGridRow {
  std::string number;   // "  " + row number
  std::string mark;     // "  *" or empty
  std::string phase;    // "  c", "  g" or as left
  std::string formula;  // "  " + display name
  std::string fixed;    // fixed amount text or empty
};

// Rows 1..n of the species grid (the header row is not stored).
using SpeciesGrid = std::vector<SpeciesGridRow>;

// The composition of the species the list names, by their record numbers: what the
// element balance reads to check the fixed concentrations.  The species database
// (thermo/species_db.h) is the one there is.
class SpeciesCompositions {
 public:
  // Atoms of the element of element-table index `index` in the species of record
  // `record`; 0 for a record outside the database.
  virtual int Atoms(std::int32_t record, int index) const = 0;

 protected:
  ~SpeciesCompositions() = default;
};

}  // namespace kvil
