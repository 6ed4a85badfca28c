#include "task/elements.h"

#include <array>

namespace kvil {

namespace {

constexpr std::array<ElementInfo, kElementTableSize> kTable = {{
    {"H", 1.00794f},    {"He", 4.002602f}, {"Li", 6.941f},     {"Be", 9.012182f},
    {"B", 10.811f},     {"C", 12.011f},    {"N", 14.00674f},   {"O", 15.9994f},
    {"F", 18.998404f},  {"Ne", 20.1797f},  {"Na", 22.989767f}, {"Mg", 24.305f},
    {"Al", 26.981539f}, {"Si", 28.0855f},  {"P", 30.97376f},   {"S", 32.066f},
    {"Cl", 35.4527f},   {"Ar", 39.948f},   {"K", 39.0983f},    {"Ca", 40.078f},
    {"Sc", 44.95591f},  {"Ti", 47.88f},    {"V", 50.9415f},    {"Cr", 51.9961f},
    {"Mn", 54.93805f},  {"Fe", 55.847f},   {"Co", 58.9332f},   {"Ni", 58.69f},
    {"Cu", 63.546f},    {"Zn", 65.39f},    {"Ga", 69.723f},    {"Ge", 72.61f},
    {"As", 74.92159f},  {"Se", 78.96f},    {"Br", 79.904f},    {"Kr", 83.8f},
    {"Rb", 85.4678f},   {"Sr", 87.62f},    {"Y", 88.90585f},   {"Zr", 91.224f},
    {"Nb", 92.90638f},  {"Mo", 95.94f},    {"Tc", 98.906f},    {"Ru", 101.07f},
    {"Rh", 102.9055f},  {"Pd", 106.42f},   {"Ag", 107.8682f},  {"Cd", 112.411f},
    {"In", 114.82f},    {"Sn", 118.71f},   {"Sb", 121.75f},    {"Te", 127.6f},
    {"I", 126.90447f},  {"Xe", 131.29f},   {"Cs", 132.90543f}, {"Ba", 137.327f},
    {"La", 138.9055f},  {"Ce", 140.115f},  {"Pr", 140.90765f}, {"Nd", 144.24f},
    {"Pm", 145.0f},     {"Sm", 150.36f},   {"Eu", 151.965f},   {"Gd", 157.25f},
    {"Tb", 158.92534f}, {"Dy", 162.5f},    {"Ho", 164.93031f}, {"Er", 167.26f},
    {"Tm", 168.9342f},  {"Yb", 173.04f},   {"Lu", 174.967f},   {"Hf", 178.49f},
    {"Ta", 180.9479f},  {"W", 183.85f},    {"Re", 186.207f},   {"Os", 190.2f},
    {"Ir", 192.22f},    {"Pt", 195.08f},   {"Au", 196.96654f}, {"Hg", 200.59f},
    {"Tl", 204.3833f},  {"Pb", 207.2f},    {"Bi", 208.98038f}, {"Po", 209.98f},
    {"At", 209.99f},    {"Rn", 222.02f},   {"Fr", 223.02f},    {"Ra", 226.0254f},
    {"Ac", 227.03f},    {"Th", 232.0381f}, {"Pa", 231.03587f}, {"U", 238.0289f},
    {"Np", 237.0482f},  {"Pu", 239.052f},  {"Am", 241.06f},    {"Cm", 244.06f},
    {"Bk", 249.08f},    {"Cf", 252.08f},   {"Es", 252.08f},    {"Fm", 257.1f},
    {"Md", 258.1f},     {"No", 259.1f},    {"Lr", 262.11f},    {"e", 0.00054858f},
    {"D", 2.0141f},     {"T", 3.0160496f},
}};

constexpr ElementInfo kNone = {"", 0.0f};

}  // namespace

const ElementInfo& Element(int index) {
  if (index < 1 || index > kElementTableSize) return kNone;
  return kTable[index - 1];
}

int ElementIndexOf(std::string_view symbol) {
  for (int i = 0; i < kElementTableSize; ++i)
    if (symbol == kTable[i].symbol) return i + 1;
  return 0;
}

}  // namespace kvil
