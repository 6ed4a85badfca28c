#include "task/oxidizer_fuel.h"

#include <array>

#include "common/interaction.h"
#include "task/elements.h"
#include "task/task.h"

namespace kvil {

namespace {

enum class ElementClass : std::uint8_t { None, Inert, Oxidizer, Fuel };

struct Valence {
  ElementClass kind = ElementClass::None;
  int valence = 0;
};

// Classes and valences by element code (atomic number).
constexpr std::array<Valence, kElementTableSize + 1> MakeValenceTable() {
  std::array<Valence, kElementTableSize + 1> t{};
  for (int z : {2, 7, 10, 18, 36, 54, 86}) t[z] = {ElementClass::Inert, 0};
  const int oxidizers[][2] = {{8, 2}, {9, 1}, {17, 1}, {35, 1}, {53, 1}};
  for (const auto& o : oxidizers) t[o[0]] = {ElementClass::Oxidizer, o[1]};
  const int fuels[][2] = {
      {1, 1},  {3, 1},  {4, 2},  {5, 3},  {6, 4},  {11, 1}, {12, 2}, {13, 3}, {14, 4}, {16, 4},
      {19, 1}, {20, 2}, {21, 3}, {22, 4}, {23, 5}, {24, 3}, {25, 4}, {26, 3}, {27, 2}, {28, 2},
      {29, 2}, {30, 2}, {31, 3}, {32, 4}, {33, 3}, {37, 1}, {38, 2}, {39, 3}, {40, 4}, {41, 5},
      {42, 6}, {43, 7}, {44, 4}, {45, 3}, {46, 2}, {47, 1}, {48, 2}, {49, 3}, {50, 4}, {51, 3},
      {52, 4}, {55, 1}, {56, 2}, {57, 3}, {72, 4}, {73, 5}, {74, 6}, {75, 7}, {76, 4}, {77, 3},
      {78, 4}, {79, 3}, {80, 2}, {81, 1}, {82, 2}, {83, 3}, {84, 4}, {87, 1}, {88, 2}, {89, 3}};
  for (const auto& f : fuels) t[f[0]] = {ElementClass::Fuel, f[1]};
  return t;
}

constexpr auto kValences = MakeValenceTable();

}  // namespace

OxidizerFuel OxidizerFuelBalance(const Task& task, Interaction& ui) {
  double ox = 0, fu = 0, ob = 0, w = 1;
  for (int e = 1; e <= task.elementCount && e <= kMaxSystemElements; ++e) {
    const int code = task.elements[e].index;
    const Valence v = code >= 1 && code <= kElementTableSize ? kValences[code] : Valence{};
    const double b = task.elements[e].amount;
    switch (v.kind) {
      case ElementClass::Inert:
        break;
      case ElementClass::None:
        ui.Message(MessageKind::Information,
                   std::string("Element ") + ElementSymbol(code) +
                       " can not be used for calculation of Oxidyzer/Fuel ratio");
        w = 0;
        break;
      case ElementClass::Oxidizer:
        ox += v.valence * b;
        ob += v.valence * b / 2;
        break;
      case ElementClass::Fuel:
        fu += v.valence * b;
        ob -= v.valence * b / 2;
        break;
    }
  }
  OxidizerFuel result;
  result.oxidizer = static_cast<float>(ox * w);
  result.fuel = static_cast<float>(fu);
  result.oxygenBalance = static_cast<float>(1.6 * ob);
  return result;
}

}  // namespace kvil
