#include "task/settings_fields.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "common/interaction.h"
#include "common/numparse.h"

namespace kvil {

namespace {

bool IsEnergy(SettingsField f) {
  return f == SettingsField::ImpulseH || f == SettingsField::PowderU || f == SettingsField::HeatU;
}

// The member of a 32-bit field; the cut-off, a 64-bit field, is never asked for.
float SettingsRecord::*FloatField(SettingsField f) {
  switch (f) {
    case SettingsField::ImpulseP:
      return &SettingsRecord::impulseP;
    case SettingsField::ImpulseH:
      return &SettingsRecord::impulseH;
    case SettingsField::ImpulsePa:
      return &SettingsRecord::impulsePa;
    case SettingsField::PowderP:
      return &SettingsRecord::powderP;
    case SettingsField::PowderU:
      return &SettingsRecord::powderU;
    case SettingsField::HeatV:
      return &SettingsRecord::heatV;
    case SettingsField::HeatU:
      return &SettingsRecord::heatU;
    case SettingsField::AmbientP:
      return &SettingsRecord::ambientP;
    case SettingsField::FreezingT:
    case SettingsField::Cutoff:
      break;
  }
  return &SettingsRecord::freezingT;
}

}  // namespace

SettingsCheck CheckSettingsValue(SettingsField field, double value) {
  if (!std::isfinite(value)) return SettingsCheck::WrongNumber;
  if (field == SettingsField::Cutoff)
    return value < 0 ? SettingsCheck::NotPositive : SettingsCheck::Ok;
  if (std::fabs(value) > FLT_MAX) return SettingsCheck::WrongNumber;
  if (IsEnergy(field)) return SettingsCheck::Ok;
  // A positive value that a 32-bit float holds only as 0 is not positive either.
  return static_cast<float>(value) > 0 ? SettingsCheck::Ok : SettingsCheck::NotPositive;
}

double SettingsFieldValue(const SettingsRecord& record, SettingsField field) {
  if (field == SettingsField::Cutoff) return record.cutoff;
  return record.*FloatField(field);
}

void SetSettingsFieldValue(SettingsRecord& record, SettingsField field, double value) {
  if (field == SettingsField::Cutoff)
    record.cutoff = value;
  else
    record.*FloatField(field) = static_cast<float>(value);
}

SettingsCheck AcceptSettingsField(SettingsRecord& record, SettingsField field,
                                  const std::string& text, Interaction& ui) {
  const std::optional<double> v = TryParseNumber(text);
  const SettingsCheck check = v ? CheckSettingsValue(field, *v) : SettingsCheck::WrongNumber;
  switch (check) {
    case SettingsCheck::Ok:
      SetSettingsFieldValue(record, field, *v);
      break;
    case SettingsCheck::WrongNumber:
      ui.Error("Wrong number: " + text);
      break;
    case SettingsCheck::NotPositive:
      ui.Error("This parameter must have the positive value.");
      break;
  }
  return check;
}

bool SettingsRecordValid(const SettingsRecord& record) {
  for (int i = 0; i < kSettingsFieldCount; ++i) {
    const auto field = static_cast<SettingsField>(i);
    if (CheckSettingsValue(field, SettingsFieldValue(record, field)) != SettingsCheck::Ok)
      return false;
  }
  return true;
}

}  // namespace kvil

namespace kvil {

std::string SettingsRecordProblem(const SettingsRecord& record) {
  static const char* const kNames[kSettingsFieldCount] = {
      "the cut-off",
      "the chamber pressure of the specific impulse",
      "the enthalpy of the specific impulse",
      "the expansion pressure of the specific impulse",
      "the pressure of the powder force",
      "the energy of the powder force",
      "the volume of the heat of combustion",
      "the energy of the heat of combustion",
      "the ambient pressure",
      "the freezing point"};
  for (int i = 0; i < kSettingsFieldCount; ++i) {
    const auto field = static_cast<SettingsField>(i);
    const double value = SettingsFieldValue(record, field);
    if (CheckSettingsValue(field, value) == SettingsCheck::Ok) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return std::string(kNames[i]) + " holds " + text + ", which the settings page refuses";
  }
  return {};
}

}  // namespace kvil
