// The calculation task: everything the user enters on the equilibrium page and the
// option part of the settings page.
//
// The program holds exactly one Task.  The main window edits it, the run reads it, the
// datafile reader and writer (task/datafile.h) store it.  Widths and types follow the
// stored form: task values and amounts are 32-bit floats, options are bytes.
// Arrays are 1-based (common/array1.h); TaskOptions positions are 0..63 as numbered.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/array1.h"
#include "common/constants.h"
#include "task/species_list.h"

namespace kvil {

// Parameter codes.  First parameter 1..7 (7 = Template), second 1..6, expansion 0 or
// 7 (Pa), 8 (Va), 9 (Fa/Fthroat).
enum ParameterCode : int {
  kParamNone = 0,
  kParamP = 1,
  kParamT = 2,
  kParamV = 3,
  kParamS = 4,
  kParamH = 5,
  kParamU = 6,
  kParamTemplate = 7,  // as first parameter
  kParamPa = 7,        // as expansion parameter
  kParamVa = 8,
  kParamAreaRatio = 9,
};

// Positions of TaskOptions with a meaning (others are carried unchanged).
enum OptionPos : int {
  kOptEos = 11,               // 1 ideal gas, 2 virial, 3 Kelmost, 4 BKW
  kOptBkwSet = 12,            // BKW parameter set: 0 BKWR, 1 BKW-TNT (thermo/bkw.h)
  kOptConcUnit = 14,          // 1 mol/kg, 2 mole fractions, 3 mass fractions
  kOptOutputUnits = 19,       // 0 SI, 1 technical
  kOptDominant = 20,          // 0 full composition, 1 dominant species only
  kOptPrintIdealGas = 21,
  kOptIons = 22,
  kOptThroat = 23,
  kOptSound = 24,
  kOptFrozen = 25,
  kOptCheckSum = 26,
  kOptFixedCount = 32,
  kOptTemplateDetonation = 59,  // template: detonation (core/detonation.h)
  kOptBrief = 60,             // 0 full report, 1 brief
  kOptTemplateHeat = 61,
  kOptTemplatePowder = 62,
  kOptTemplateImpulse = 63,
};

using TaskOptions = std::array<std::uint8_t, 64>;

// Sentinel of an empty parameter value slot: the 32-bit float nearest to 1e31.
inline constexpr float kEmptyValue = 1e31f;

// One value list (first, second or expansion parameter).
struct ParameterSlot {
  std::string valueText = " ";       // as typed, at most 80 characters
  Array1<float, kMaxListValues> values;  // parsed values; empty slots hold kEmptyValue
  int count = 0;                     // 0..10
  std::string stepText;              // as typed in the step field
  float step = 0;                    // 0 = no step
};

struct SourceComponent {
  std::string formula = " ";         // a single blank (or empty) = no component
  std::string amountText;            // at most 80 characters
  Array1<float, kMaxListValues> amounts;  // mass parts; empty slots negative (-1)
  std::string stepText;              // the Step cell as typed
  float step = 0;                    // 0 = amount not stepped
  float enthalpy = 0;                // kJ/kg
};

// Element tokens of one parsed formula: element index (0 = none) and coefficient.
struct FormulaTokens {
  Array1<int, kMaxFormulaTokens> index;
  Array1<float, kMaxFormulaTokens> coef;
};

struct FixedConcentration {
  std::string name;  // display name of the species, at most 20 characters
  float value = 0;   // mol/kg
};

struct SystemElement {
  int index = 0;      // element table index 1..106
  float amount = 0;   // mol/kg
};

struct Task {
  std::string name = "NoName";  // datafile name without directory and extension
  std::string comment;          // "Task name:" field, at most 80 characters

  int firstCode = kParamP;      // ParameterCodes
  int secondCode = kParamT;
  int expansionCode = kParamNone;
  Array1<std::uint8_t, 8> unitCodes;  // entry c: 2c-1 (first unit) or 2c (second unit)
  // Slots 1 first, 2 second, 3 expansion parameter.
  Array1<ParameterSlot, 3> slots;

  Array1<SourceComponent, kMaxComponents> components;
  Array1<FormulaTokens, kMaxComponents> tokens;  // ComponentTokens

  TaskOptions options{};

  Array1<FixedConcentration, kMaxFixedConcentrations> fixed;
  int fixedCount = 0;  // mirrors options[kOptFixedCount]

  SpeciesList species;

  // Results of the last element balance.
  Array1<SystemElement, kMaxSystemElements> elements;  // SystemElements
  int elementCount = 0;                                // ElementCount (-1 after a bad formula)
  Array1<float, kMaxComponents> massFractions;         // w[i] of the current variant
  float massSum = 0;                                   // W, sum of mass parts
  float mixtureEnthalpy = 0;                           // kJ/kg, of the current variant

  // Variant flags (set by CheckVariants).
  bool singleValueComponent = false;
  bool variableComposition = false;
  bool steppedComposition = false;

  // Reference element set for detecting changes (main window), and the flag.
  Array1<int, kMaxSystemElements> referenceElements;
  int referenceElementCount = 0;
  bool elementSetChanged = false;

  int Eos() const { return options[kOptEos]; }
  bool Option(int pos) const { return options[pos] != 0; }
};

}  // namespace kvil
