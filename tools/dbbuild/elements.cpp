#include "tools/dbbuild/elements.h"

#include <cctype>

namespace kvil::dbbuild {
namespace {

const char* const kSymbols[] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si",
    "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu",
    "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru",
    "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr",
    "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",
    "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac",
    "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr"};
constexpr int kLast = 103;

bool SameIgnoringCase(const std::string& a, const char* b) {
  std::size_t n = a.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (b[i] == '\0') return false;
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return b[n] == '\0';
}

}  // namespace

int AtomicNumber(const std::string& symbol) {
  if (symbol.empty()) return 0;
  for (int z = 1; z <= kLast; ++z)
    if (SameIgnoringCase(symbol, kSymbols[z])) return z;
  return 0;
}

std::string ElementSymbol(int z) {
  return z >= 1 && z <= kLast ? kSymbols[z] : "";
}

}  // namespace kvil::dbbuild
