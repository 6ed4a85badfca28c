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
//
// Extension.  The values of the detonation template have no room in the 124 bytes; they
// follow the record in the same file, where readers of the 124-byte record (which read
// the first record of the file) never look:
// 124  4 bytes   tag "DET1"
// 128  int32     number of initial densities, 1..10
// 132  float x10 initial densities, g/cm3 (0 = the gaseous mixture at its ideal-gas
//                density); entries past the number are 0
// 172  float     initial pressure, MPa
// 176  float     initial temperature of a gaseous mixture, K
// (180 bytes in all.)  A file of 124 bytes, or one without the tag, gives the defaults
// of these values; the extension is written only when they differ from the defaults, so
// that the settings of a user who never sets them keep their 124 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kvil {

inline constexpr int kSettingsRecordSize = 124;
inline constexpr int kSettingsExtensionSize = 56;  // bytes 124..179
inline constexpr int kMaxDetonationDensities = 10;

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
  // Detonation template (the extension): initial densities (g/cm3, 0 = gaseous),
  // initial pressure (MPa) and temperature of a gaseous mixture (K).
  std::int32_t detonationCount = 1;
  std::array<float, kMaxDetonationDensities> detonationDensities{1.8f};
  float detonationP0 = 0.1f;
  float detonationT0 = 298.15f;
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
