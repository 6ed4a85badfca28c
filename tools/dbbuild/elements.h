// Element symbols by atomic number (1..103), the element codes of the species database.
#pragma once

#include <string>

namespace kvil::dbbuild {

// Atomic number of a symbol compared without regard to case ("AL", "Al"), 0 if unknown.
int AtomicNumber(const std::string& symbol);

// Symbol in ordinary case ("Al") of atomic number z (1..103), "" otherwise.
std::string ElementSymbol(int z);

}  // namespace kvil::dbbuild
