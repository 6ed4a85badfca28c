// The species database: three files of fixed-size little-endian records in one
// directory, addressed by zero-based record number:
//   "Demo_1a.bas"  49-byte SpeciesRecord    composition, kind, references, name
//   "Demo_2a.bas" 144-byte PropertyRecord   molecular parameters (bytes 92, 96, 100)
//   "Demo_3a.bas"  37-byte PolynomialRecord one temperature interval of a species
// The files are read once when the database is opened and are never written.
//
// Reading is checked: a record number outside a file gives false (never a read past
// the end); a trailing partial record is not a record.  Composition count bytes are
// atom counts 0..255 as stored, the same reading for the molar mass and for the
// composition of the run tables, so mass and element balance always agree.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "task/species_list.h"

namespace kvil {

inline constexpr int kSpeciesRecordSize = 49;
inline constexpr int kPropertyRecordSize = 144;
inline constexpr int kPolynomialRecordSize = 37;

inline constexpr const char* kSpeciesFileName = "Demo_1a.bas";
inline constexpr const char* kPropertyFileName = "Demo_2a.bas";
inline constexpr const char* kPolynomialFileName = "Demo_3a.bas";

struct SpeciesRecord {
  std::array<std::uint8_t, 5> element{};  // element code (atomic number), 0 = empty slot
  std::array<std::uint8_t, 5> count{};    // atom count
  std::uint8_t kindCode = 0;              // 1 condensed, 2 gas, 5, 6, 13..44 ions
  std::uint16_t propertyRecord = 0;       // zero-based
  std::int32_t polynomialRef = 0;         // 10 * first polynomial record + interval count
  std::string name;                       // stored name, at most 20 characters
};

struct PropertyRecord {
  float at92 = 0;   // gas: sigma (A); condensed: molar volume (cm3/mol)
  float at96 = 0;   // gas: epsilon/k (K)
  float at100 = 0;  // gas: dipole moment (debye)
};

struct PolynomialRecord {
  float tmin = 0, tmax = 0;    // K
  std::array<float, 7> phi{};  // J/(mol*K)
};

class SpeciesDatabase : public SpeciesCompositions {
 public:
  // OpenSpeciesDatabase: reads the three files of the directory; true only when all
  // three can be read (then replaces what was open before; on false nothing changes).
  bool Open(const std::string& directory);
  bool IsOpen() const { return open_; }
  // Why the last Open failed: the file and the reason ("db/Demo_2a.bas: Permission
  // denied"); empty after a successful Open.
  const std::string& OpenError() const { return openError_; }
  const std::string& Directory() const { return directory_; }

  int SpeciesCount() const;
  int PropertyCount() const;
  int PolynomialCount() const;
  // False when the record number is outside the file.
  bool ReadSpecies(int record, SpeciesRecord& out) const;
  bool ReadProperty(int record, PropertyRecord& out) const;
  bool ReadPolynomial(int record, PolynomialRecord& out) const;
  // Atoms of element `index` in species `record`, counted over its composition slots.
  int Atoms(std::int32_t record, int index) const override;

 private:
  bool open_ = false;
  std::string directory_;
  std::string openError_;
  std::vector<std::uint8_t> species_, properties_, polynomials_;
};

// Free-function form of SpeciesDatabase::Open.
inline bool OpenSpeciesDatabase(SpeciesDatabase& db, const std::string& directory) {
  return db.Open(directory);
}

// True for the kind codes a species may have: 1, 2, 5, 6, 13..43 and 14..44 by tens.
bool IsKnownKindCode(int kindCode);
// True for the ion codes 13, 14, 23, 24, 33, 34, 43, 44.
bool IsIonCode(int kindCode);
// Phase code of a kind code: 2 for ions, else the kind code itself.
int PhaseOfKindCode(int kindCode);
// Display name of a stored name: "CO2(g)" -> "CO2", "X(+g)" -> "X(+)", others whole.
std::string SpeciesDisplayName(const std::string& storedName);

}  // namespace kvil
