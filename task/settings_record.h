// The settings that are not part of a task: one 124-byte SettingsRecord, stored in
// kvil.cfg in the working directory and, under names the user chooses, in template
// files (*.cfg, same format).  Layout (little-endian, packed):
//   0  64 bytes  option block (TaskOptions layout)
//  64  double    cut-off for printed concentrations, mol/kg
//  72  float x9  impulse p (MPa), impulse H (kJ/kg), impulse Pa (MPa), powder p (MPa),
//                powder U (kJ/kg), heat V (m3/kg), heat U (kJ/kg), ambient p (MPa),
//                freezing temperature (K)
// 108  int32 x4  highlight colour, highlight text colour (RGB), initial first and
//                second parameter chooser entries (0-based)
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kvil {

inline constexpr int kSettingsRecordSize = 124;

struct SettingsRecord {
  std::array<std::uint8_t, 64> options{};
  double cutoff = 1e-6;
  float impulseP = 4.0f;
  float impulseH = 0.0f;
  float impulsePa = 0.1f;
  float powderP = 300.0f;
  float powderU = 0.0f;
  float heatV = 0.01f;
  float heatU = 0.0f;
  float ambientP = 0.1f;
  float freezingT = 1500.0f;
  std::int32_t highlightColor = 0x00D77800;      // RGB as stored
  std::int32_t highlightTextColor = 0x00FFFFFF;
  std::int32_t firstChooser = 0;   // 0 p .. 5 U, 6 Template
  std::int32_t secondChooser = 1;  // 0 p .. 5 U
};

// The current settings of the program: the record, the name of the current
// configuration file and the 64-bit copy of the cut-off the report reads.
struct Settings {
  SettingsRecord record;
  std::string fileName = "kvil.cfg";  // current configuration file
  std::string directory;  // where kvil.cfg is looked up; "" = the working directory
  // A configuration file named on the command line (kvil-batch --cfg): read instead of
  // kvil.cfg at every reset, and never written.  Empty: kvil.cfg.
  std::string commandLineFile;
  // A damaged configuration file that was reported and left as it is (it could not be
  // replaced): read again at once, it is not reported a second time.
  std::string reportedDamage;
  double cutoff = 1e-6;
  // Every point of a value list solved from scratch instead of from the previous point
  // (kvil-batch --fresh-start, for comparisons and measurements).
  bool freshStart = false;
};

}  // namespace kvil
