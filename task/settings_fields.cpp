#include "task/settings_fields.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/constants.h"
#include "common/interaction.h"
#include "common/numfmt.h"
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
    case SettingsField::DetonationP0:
      return &SettingsRecord::detonationP0;
    case SettingsField::DetonationT0:
      return &SettingsRecord::detonationT0;
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
  return DetonationDensitiesValid(record);
}

std::string DetonationDensitiesText(const SettingsRecord& record) {
  std::string text;
  const int n = std::clamp(int(record.detonationCount), 0, kMaxDetonationDensities);
  for (int i = 0; i < n; ++i) {
    if (i > 0) text += ' ';
    const float d = record.detonationDensities[i];
    text += d == 0 ? std::string("gas") : FormatPicture(d, "0.####");
  }
  return text;
}

bool AcceptDetonationDensities(SettingsRecord& record, const std::string& text, Interaction& ui) {
  std::array<float, kMaxDetonationDensities> values{};
  int count = 0;
  std::istringstream items(text);
  std::string item;
  while (items >> item) {
    if (count == kMaxDetonationDensities) {
      ui.Error("Give 1 to 10 initial densities.");
      return false;
    }
    std::string lower = item;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "gas") {
      values[count++] = 0;
      continue;
    }
    const std::optional<double> v = TryParseNumber(item);
    if (!v || !std::isfinite(*v) || std::fabs(*v) > FLT_MAX) {
      ui.Error("Wrong number: " + item);
      return false;
    }
    if (!(static_cast<float>(*v) > 0)) {
      ui.Error("This parameter must have the positive value.");
      return false;
    }
    if (*v > kMaxInitialDensity) {
      ui.Error("The initial density must not exceed " + FormatPicture(kMaxInitialDensity, "0.##") +
               " g/cm3.");
      return false;
    }
    values[count++] = static_cast<float>(*v);
  }
  if (count == 0) {
    ui.Error("Give 1 to 10 initial densities.");
    return false;
  }
  record.detonationCount = count;
  record.detonationDensities = values;
  return true;
}

bool DetonationDensitiesValid(const SettingsRecord& record) {
  if (record.detonationCount < 1 || record.detonationCount > kMaxDetonationDensities) return false;
  for (int i = 0; i < record.detonationCount; ++i) {
    const float d = record.detonationDensities[i];
    if (!std::isfinite(d) || d < 0 || d > kMaxInitialDensity) return false;
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
  if (!DetonationDensitiesValid(record))
    return "the initial densities of the detonation are not 1 to 10 densities of 0 (gas) to " +
           FormatPicture(kMaxInitialDensity, "0.##") + " g/cm3";
  return {};
}

}  // namespace kvil
