// The configuration file "kvil.cfg" and template files (*.cfg): one 124-byte
// SettingsRecord each (layout in task/settings_record.h), and the reset of the task to
// its defaults.
//
// The configuration file is looked up in Settings::directory ("" = the working
// directory).  Files are replaced atomically: a failed write keeps the previous file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "task/settings_record.h"
#include "task/task.h"

namespace kvil {

class Interaction;
class TaskView;

inline constexpr const char* kConfigurationFileName = "kvil.cfg";
inline constexpr const char* kConfigurationReadError = " Configuration file read error ! ";
// A damaged kvil.cfg is kept under its name with this suffix before it is rewritten.
inline constexpr const char* kDamagedSuffix = ".damaged";

// Fills `record` with the defaults: options all 0 except 11 (ideal gas EOS), 14 (mol/kg)
// and 24 (sound velocity) = 1; cut-off 1e-6; impulse p 4 MPa, H 0, Pa 0.1 MPa; powder
// p 300 MPa, U 0; heat of combustion V 0.01 m3/kg, U 0; ambient 0.1 MPa; freezing
// 1500 K; fixed highlight colours; first chooser p, second T.
void SetDefaultSettings(SettingsRecord& record);

// The 124-byte little-endian form of the record, and back.
std::array<std::uint8_t, kSettingsRecordSize> EncodeSettings(const SettingsRecord& record);
SettingsRecord DecodeSettings(const std::uint8_t* bytes);

// The whole file of a record: the 124 bytes, followed by the extension of the detonation
// values (task/settings_record.h) when they differ from the defaults.
std::vector<std::uint8_t> EncodeSettingsFile(const SettingsRecord& record);
// The record of a file's bytes (at least 124): the extension read when the file holds it.
SettingsRecord DecodeSettingsFile(const std::vector<std::uint8_t>& bytes);

// Path of a configuration or template file name: relative names are taken in
// settings.directory.
std::string SettingsPath(const Settings& settings, const std::string& name);

// Returns the task to its defaults (the name stays): parameters p and T, no expansion,
// first units, empty components, options 11, 14, 24 set, no fixed concentrations, an
// empty species list.
void ResetTask(Task& task);

// ResetTask, then reads kvil.cfg: missing or unreadable -> defaults, no message;
// shorter than one record, or a record that fails SettingsRecordValid
// (task/settings_fields.h) -> defaults, the damaged file renamed to kvil.cfg.damaged
// (an older one replaced) and kvil.cfg rewritten with the default record; one error
// " Configuration file read error ! " + line break + what is wrong, naming both files.
// With settings.commandLineFile set, that file is read instead and never written: when
// it cannot be read or is damaged, the defaults and the read error naming it.
// Copies the record's options into the task, sets the parameter choices from the
// record and refreshes the view.
void ResetTaskAndReadConfiguration(Task& task, Settings& settings, SpeciesGrid& grid,
                                   Interaction& ui, TaskView& view);

// Reads the current configuration file (settings.fileName) into the record and the
// task options.  A file that does not open leaves the record as it is; a damaged one
// (short, or failing SettingsRecordValid) shows the read error with the file and what
// is wrong, and sets the defaults (the file is not rewritten).  Returns false when the
// file could not be read.
bool LoadSettingsFile(Task& task, Settings& settings, Interaction& ui, TaskView& view);

// Reads the first record of the settings file `path` without any message.  False when
// the file cannot be read, is shorter than one record or holds a value the settings
// page refuses; `problem` then says which ("No such file or directory", "it holds 12
// bytes, a record needs 124", ...) and `record` is unchanged.
bool ReadSettingsFile(const std::string& path, SettingsRecord& record, std::string& problem);

// Stores the task options and the parameter choices into the record and writes it to
// `name` (relative names in settings.directory).  Returns false with an error message
// naming the file when it cannot be written.
bool WriteSettingsFile(const Task& task, Settings& settings, Interaction& ui,
                       const std::string& name);

// The parameter choosers of the equilibrium page set from chooser entries (0-based;
// first 0 p .. 6 Template, second 0 p .. 5 U).  Entries out of range leave the codes
// unchanged.  "Template" clears the second and adiabatic parameters; equal choices
// show the error "Equilibrium must be specified by different parameters !" and clear
// the first parameter.
void ApplyParameterChoosers(Task& task, Interaction& ui, int firstEntry, int secondEntry);

}  // namespace kvil
