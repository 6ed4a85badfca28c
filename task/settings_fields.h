// The numeric fields of the settings page and their checks, in one place for every
// way a value reaches the SettingsRecord: the settings page calls AcceptSettingsField
// when the user leaves a field, and every record read from a file (kvil.cfg, a
// template, the configuration file named to kvil-batch) must pass SettingsRecordValid
// before it is used.  So a value the page would refuse never reaches a run from disk.
//
// The rules (CheckSettingsValue):
//  - every value is a finite number that fits its field: the cut-off a 64-bit float,
//    the other fields 32-bit floats;
//  - the cut-off is not negative (0 prints every concentration);
//  - the pressures and the volume of the templates (specific impulse p and Pa, powder
//    force p, heat of combustion V), the ambient pressure and the freezing point are
//    positive;
//  - the template enthalpy and energies (specific impulse H, powder force U, heat of
//    combustion U) may be zero or negative;
//  - the detonation template's initial pressure and temperature are positive; its
//    initial densities (a list of up to 10) are positive and at most kMaxInitialDensity
//    g/cm3, or "gas" (stored as 0) for the gaseous mixture at its ideal-gas density.
// Messages (error boxes, shown by AcceptSettingsField only): "Wrong number: " + text
// for a text that is not such a number; "This parameter must have the positive
// value." for a value the field does not take.
#pragma once

#include <string>

#include "task/settings_record.h"

namespace kvil {

class Interaction;

// The numeric fields of the record, in record order.
enum class SettingsField {
  Cutoff,     // cut-off for printed concentrations, mol/kg
  ImpulseP,   // specific impulse: chamber pressure, MPa
  ImpulseH,   // specific impulse: enthalpy, kJ/kg
  ImpulsePa,  // specific impulse: expansion pressure, MPa
  PowderP,    // powder force: pressure, MPa
  PowderU,    // powder force: internal energy, kJ/kg
  HeatV,      // heat of combustion: volume, m3/kg
  HeatU,      // heat of combustion: internal energy, kJ/kg
  AmbientP,   // ambient pressure of the specific impulse, MPa
  FreezingT,  // freezing temperature of "frozen" expansion, K
  DetonationP0,  // detonation: initial pressure, MPa
  DetonationT0,  // detonation: initial temperature of a gaseous mixture, K
};
inline constexpr int kSettingsFieldCount = 12;

enum class SettingsCheck {
  Ok,
  WrongNumber,  // not a number, or not one the field can hold
  NotPositive,  // a number the field does not take (see the rules above)
};

// The rule of `field` for `value`; no message.
SettingsCheck CheckSettingsValue(SettingsField field, double value);

// The field's value in the record (as a double), and the store of a checked value.
double SettingsFieldValue(const SettingsRecord& record, SettingsField field);
void SetSettingsFieldValue(SettingsRecord& record, SettingsField field, double value);

// A settings field is left with `text`: the text is read as the user's numbers are
// (ParseNumber, first ',' as the decimal point, without its own message), checked,
// and on success stored into the record.  On refusal the record keeps its value, the
// message above is shown and the caller gives the field the focus back, showing the
// record's value again.
SettingsCheck AcceptSettingsField(SettingsRecord& record, SettingsField field,
                                  const std::string& text, Interaction& ui);

// True when every numeric field of the record passes CheckSettingsValue and its
// initial densities pass DetonationDensitiesValid.  The option block, the colours and
// the chooser entries take any value (entries out of range leave the parameter choice
// as it is).
bool SettingsRecordValid(const SettingsRecord& record);

// What SettingsRecordValid refuses, for a message: "the ambient pressure holds nan,
// which the settings page refuses"; empty for a valid record.
std::string SettingsRecordProblem(const SettingsRecord& record);

// The initial densities of the detonation template as their field shows them: each
// formatted "0.####", "gas" for 0, separated by one blank.
std::string DetonationDensitiesText(const SettingsRecord& record);
// The field of the initial densities is left with `text`: up to 10 items separated by
// blanks, each a number as the user types numbers or "gas" (any letter case).  On
// success the record takes them.  Refused, with the record unchanged and an error box:
// "Wrong number: " + item for an item that is not a number; "This parameter must have
// the positive value." for a density not above 0; "The initial density must not exceed
// 5 g/cm3." above kMaxInitialDensity; "Give 1 to 10 initial densities." for an empty
// field or more than 10 items.
bool AcceptDetonationDensities(SettingsRecord& record, const std::string& text, Interaction& ui);
// The stored list holds 1..10 densities, each 0 (gas) or within (0, kMaxInitialDensity].
bool DetonationDensitiesValid(const SettingsRecord& record);

}  // namespace kvil
