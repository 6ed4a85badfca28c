#include "task/settings.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/binio.h"
#include "common/interaction.h"
#include "task/datafile.h"
#include "task/settings_fields.h"
#include "task/task_view.h"

namespace kvil {

namespace {

constexpr int kFirstChooserEntries = 7;   // p, T, V, S, H, U, Template
constexpr int kSecondChooserEntries = 6;  // p, T, V, S, H, U

void SetDefaultOptions(std::array<std::uint8_t, 64>& options) {
  options.fill(0);
  options[kOptEos] = 1;
  options[kOptConcUnit] = 1;
  options[kOptSound] = 1;
}

// Reads the first record of a settings file.  Returns 0 when read, 1 when the file
// does not open, 2 when it is shorter than one record or holds a value the settings
// page would refuse (the record is then left as it was); `why` says what is wrong.
int ReadSettingsRecord(const std::string& path, SettingsRecord& record, std::string& why) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, &why)) return 1;
  if (bytes.size() < static_cast<std::size_t>(kSettingsRecordSize)) {
    why = "it holds " + std::to_string(bytes.size()) + " bytes, a record needs " +
          std::to_string(kSettingsRecordSize);
    return 2;
  }
  const SettingsRecord read = DecodeSettingsFile(bytes);
  why = SettingsRecordProblem(read);
  if (!why.empty()) return 2;
  record = read;
  return 0;
}

// The read error of a damaged file that stays as it is.
std::string KeptFileReadError(const std::string& path, const std::string& why) {
  return std::string(kConfigurationReadError) + "\n" + path + ": " + why +
         ".\nThe defaults are used; the file is left as it is.";
}

// kvil.cfg is damaged: it is kept beside itself as kvil.cfg.damaged and rewritten with
// the defaults, as the program has always rewritten it; one message names both files.
void ReplaceDamagedConfiguration(Settings& settings, Interaction& ui, const std::string& path,
                                 const std::string& why) {
  const std::string kept = path + kDamagedSuffix;
  std::string text = std::string(kConfigurationReadError) + "\n" + path + ": " + why + ".";
  std::error_code ec;
  std::filesystem::rename(path, kept, ec);
  if (ec) {
    text += "\nIt cannot be kept as " + kept + " (" + ec.message() +
            "), so it is left as it is; the defaults are used.";
    ui.Error(text);
    settings.reportedDamage = path;
    return;
  }
  const auto bytes = EncodeSettings(settings.record);
  std::string error;
  if (WriteFileAtomically(path, bytes.data(), bytes.size(), &error))
    text += "\nIt is kept as " + kept + "; " + path + " now holds the defaults.";
  else
    text += "\nIt is kept as " + kept + "; the defaults are used. " + error;
  ui.Error(text);
}

// Shows the record on the settings page and takes its parameter choices.
void ShowSettings(Task& task, Settings& settings, Interaction& ui, TaskView& view) {
  settings.cutoff = settings.record.cutoff;
  view.SettingsChanged(settings.record);
  ApplyParameterChoosers(task, ui, settings.record.firstChooser, settings.record.secondChooser);
  ApplyOptionsToControls(task.options, view);
}

}  // namespace

void SetDefaultSettings(SettingsRecord& record) {
  record = SettingsRecord{};
  SetDefaultOptions(record.options);
}

std::array<std::uint8_t, kSettingsRecordSize> EncodeSettings(const SettingsRecord& r) {
  std::array<std::uint8_t, kSettingsRecordSize> b{};
  std::copy(r.options.begin(), r.options.end(), b.begin());
  PutLE<double>(b.data(), 64, r.cutoff);
  const float floats[] = {r.impulseP, r.impulseH, r.impulsePa, r.powderP,  r.powderU,
                          r.heatV,    r.heatU,    r.ambientP,  r.freezingT};
  for (int i = 0; i < 9; ++i) PutLE<float>(b.data(), 72 + 4 * i, floats[i]);
  PutLE<std::int32_t>(b.data(), 108, r.highlightColor);
  PutLE<std::int32_t>(b.data(), 112, r.highlightTextColor);
  PutLE<std::int32_t>(b.data(), 116, r.firstChooser);
  PutLE<std::int32_t>(b.data(), 120, r.secondChooser);
  return b;
}

SettingsRecord DecodeSettings(const std::uint8_t* b) {
  SettingsRecord r;
  std::copy(b, b + 64, r.options.begin());
  r.cutoff = GetLE<double>(b, 64);
  float* floats[] = {&r.impulseP, &r.impulseH, &r.impulsePa, &r.powderP,  &r.powderU,
                     &r.heatV,    &r.heatU,    &r.ambientP,  &r.freezingT};
  for (int i = 0; i < 9; ++i) *floats[i] = GetLE<float>(b, 72 + 4 * i);
  r.highlightColor = GetLE<std::int32_t>(b, 108);
  r.highlightTextColor = GetLE<std::int32_t>(b, 112);
  r.firstChooser = GetLE<std::int32_t>(b, 116);
  r.secondChooser = GetLE<std::int32_t>(b, 120);
  return r;
}

namespace {

constexpr char kExtensionTag[4] = {'D', 'E', 'T', '1'};

bool DetonationValuesAreDefaults(const SettingsRecord& r) {
  const SettingsRecord d;
  return r.detonationCount == d.detonationCount && r.detonationDensities == d.detonationDensities &&
         r.detonationP0 == d.detonationP0 && r.detonationT0 == d.detonationT0;
}

}  // namespace

std::vector<std::uint8_t> EncodeSettingsFile(const SettingsRecord& r) {
  const auto head = EncodeSettings(r);
  std::vector<std::uint8_t> b(head.begin(), head.end());
  if (DetonationValuesAreDefaults(r)) return b;
  b.resize(kSettingsRecordSize + kSettingsExtensionSize, 0);
  std::uint8_t* e = b.data() + kSettingsRecordSize;
  std::copy(kExtensionTag, kExtensionTag + 4, e);
  PutLE<std::int32_t>(e, 4, r.detonationCount);
  for (int i = 0; i < kMaxDetonationDensities; ++i)
    PutLE<float>(e, 8 + 4 * i, i < r.detonationCount ? r.detonationDensities[i] : 0.0f);
  PutLE<float>(e, 48, r.detonationP0);
  PutLE<float>(e, 52, r.detonationT0);
  return b;
}

SettingsRecord DecodeSettingsFile(const std::vector<std::uint8_t>& bytes) {
  SettingsRecord r = DecodeSettings(bytes.data());
  if (bytes.size() < std::size_t(kSettingsRecordSize + kSettingsExtensionSize)) return r;
  const std::uint8_t* e = bytes.data() + kSettingsRecordSize;
  if (!std::equal(kExtensionTag, kExtensionTag + 4, e)) return r;
  r.detonationCount = GetLE<std::int32_t>(e, 4);
  for (int i = 0; i < kMaxDetonationDensities; ++i)
    r.detonationDensities[i] = GetLE<float>(e, 8 + 4 * i);
  r.detonationP0 = GetLE<float>(e, 48);
  r.detonationT0 = GetLE<float>(e, 52);
  return r;
}

std::string SettingsPath(const Settings& settings, const std::string& name) {
  std::filesystem::path p(name);
  if (p.is_absolute() || settings.directory.empty()) return name;
  return (std::filesystem::path(settings.directory) / p).string();
}

void ResetTask(Task& task) {
  const std::string name = task.name;
  task = Task{};
  task.name = name;
  task.firstCode = kParamP;
  task.secondCode = kParamT;
  task.expansionCode = kParamNone;
  for (int c = 1; c <= 8; ++c) task.unitCodes[c] = static_cast<std::uint8_t>(2 * c - 1);
  for (auto& c : task.components) {
    c.enthalpy = 0;
    c.formula = " ";
    c.step = 0;
    c.stepText.clear();
    c.amounts.Fill(-1.0f);
    c.amountText.clear();
  }
  for (auto& row : task.tokens) {
    row.index.Fill(0);
    row.coef.Fill(1.0f);
  }
  for (int n = 1; n <= 3; ++n) {
    ParameterSlot& s = task.slots[n];
    s.values.Fill(kEmptyValue);
    s.count = 0;
    s.step = 0;
    s.stepText.clear();
    s.valueText = " ";
  }
  task.slots[1].values[1] = 0;
  task.slots[2].values[1] = 0;
  task.comment.clear();
  SetDefaultOptions(task.options);
  task.fixedCount = 0;
  task.species = SpeciesList{};
}

void ResetTaskAndReadConfiguration(Task& task, Settings& settings, SpeciesGrid& grid,
                                   Interaction& ui, TaskView& view) {
  ResetTask(task);
  grid.clear();
  // A file named on the command line is only read; kvil.cfg of the working directory
  // is rewritten with the defaults when it is damaged.
  const bool named = !settings.commandLineFile.empty();
  const std::string path =
      named ? settings.commandLineFile : SettingsPath(settings, kConfigurationFileName);
  std::string why;
  settings.reportedDamage.clear();
  switch (ReadSettingsRecord(path, settings.record, why)) {
    case 0:
      task.options = settings.record.options;
      break;
    case 1:
      SetDefaultSettings(settings.record);
      if (named) ui.Error(KeptFileReadError(path, why));
      break;
    default:
      SetDefaultSettings(settings.record);
      if (named) {
        ui.Error(KeptFileReadError(path, why));
        settings.reportedDamage = path;
      } else {
        ReplaceDamagedConfiguration(settings, ui, path, why);
      }
      break;
  }
  ShowSettings(task, settings, ui, view);
  task.fixedCount = 0;
  task.options[kOptFixedCount] = 0;
  view.ShowFixedIndicator(false);
  view.TaskChanged(task);
  ApplyOptionsToControls(task.options, view);
}

bool LoadSettingsFile(Task& task, Settings& settings, Interaction& ui, TaskView& view) {
  bool ok = true;
  const std::string path = SettingsPath(settings, settings.fileName);
  // Reported by the reset just before, the damage is not reported again; only once.
  const std::string reported = settings.reportedDamage;
  settings.reportedDamage.clear();
  std::string why;
  switch (ReadSettingsRecord(path, settings.record, why)) {
    case 0:
      // The number of fixed concentrations belongs to the task, not to the settings.
      task.options = settings.record.options;
      task.options[kOptFixedCount] = static_cast<std::uint8_t>(task.fixedCount);
      break;
    case 1:
      ok = false;
      break;
    default:
      if (path != reported) ui.Error(KeptFileReadError(path, why));
      SetDefaultSettings(settings.record);
      ok = false;
      break;
  }
  ShowSettings(task, settings, ui, view);
  return ok;
}

bool ReadSettingsFile(const std::string& path, SettingsRecord& record, std::string& problem) {
  return ReadSettingsRecord(path, record, problem) == 0;
}

bool WriteSettingsFile(const Task& task, Settings& settings, Interaction& ui,
                       const std::string& name) {
  SettingsRecord& record = settings.record;
  record.options = task.options;
  record.firstChooser =
      task.firstCode >= 1 && task.firstCode <= kFirstChooserEntries ? task.firstCode - 1 : -1;
  record.secondChooser =
      task.secondCode >= 1 && task.secondCode <= kSecondChooserEntries ? task.secondCode - 1 : -1;
  const auto bytes = EncodeSettingsFile(record);
  std::string error;
  if (!WriteFileAtomically(SettingsPath(settings, name), bytes.data(), bytes.size(),
                           &error)) {
    ui.Error(error);
    return false;
  }
  return true;
}

void ApplyParameterChoosers(Task& task, Interaction& ui, int firstEntry, int secondEntry) {
  if (secondEntry >= 0 && secondEntry < kSecondChooserEntries) task.secondCode = secondEntry + 1;
  if (firstEntry < 0 || firstEntry >= kFirstChooserEntries) return;
  task.firstCode = firstEntry + 1;
  if (task.firstCode == kParamTemplate) {
    task.secondCode = kParamNone;
    task.expansionCode = kParamNone;
    for (int n = 1; n <= 3; ++n) {
      task.slots[n].valueText.clear();
      task.slots[n].stepText.clear();
      task.slots[n].count = 0;
      task.slots[n].step = 0;
    }
  } else if (task.firstCode == task.secondCode) {
    ui.Error("Equilibrium must be specified by different parameters !");
    task.firstCode = kParamNone;
  }
}

}  // namespace kvil
