// Oxidizer/fuel ratio and oxygen balance of the system's elemental composition.
#pragma once

namespace kvil {

struct Task;
class Interaction;

struct OxidizerFuel {
  float oxidizer = 0;      // sum of valence x amount over oxidizer elements (0 when an element cannot be classed)
  float fuel = 0;          // sum over fuel elements
  float oxygenBalance = 0; // percent
};

// OxidizerFuelBalance over the task's element list; shows "Element X can not be used
// for calculation of Oxidyzer/Fuel ratio" for an element of no class.
OxidizerFuel OxidizerFuelBalance(const Task& task, Interaction& ui);

}  // namespace kvil
