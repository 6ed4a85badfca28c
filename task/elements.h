// The built-in table of chemical elements.
//
// 106 entries, indexed 1..106: the chemical elements 1 H .. 103 Lr in order of atomic
// number, then 104 the electron "e", 105 deuterium "D" and 106 tritium "T".  The index
// is the element's identity everywhere in the program (formula tokens, the species
// database's element codes, the element list of the system, the report).  Atomic
// masses are in g/mol and stored as 32-bit floats.
#pragma once

#include <string_view>

#include "common/constants.h"

namespace kvil {

inline constexpr int kElectronIndex = 104;

struct ElementInfo {
  const char* symbol;  // one or two characters, case-sensitive
  float mass;          // g/mol
};

// Entry `index` (1..106).  Out-of-range indices give an entry with an empty symbol and
// mass 0, so that a damaged index never reads outside the table.
const ElementInfo& Element(int index);
inline const char* ElementSymbol(int index) {
  return Element(index).symbol;
}
inline float ElementMass(int index) {
  return Element(index).mass;
}

// Exact, case-sensitive look-up of a symbol among the 106 entries (the electron
// included); 0 when the symbol is not in the table.
int ElementIndexOf(std::string_view symbol);

}  // namespace kvil
