// The species database: three files of fixed-size little-endian records in one
// directory ("Demo_1a.bas" species, "Demo_2a.bas" properties, "Demo_3a.bas"
// polynomials), addressed by zero-based record number.
//
// (Record layouts and the operations on the database are completed by the species
// database module.)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kvil {

inline constexpr int kSpeciesRecordSize = 49;
inline constexpr int kPropertyRecordSize = 144;
inline constexpr int kPolynomialRecordSize = 37;

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
  float tmin = 0, tmax = 0;        // K
  std::array<float, 7> phi{};      // J/(mol*K)
};

class SpeciesDatabase {
 public:
  // OpenSpeciesDatabase: opens the three files of the directory; true only when all
  // three open.
  bool Open(const std::string& directory);
  bool IsOpen() const { return open_; }
  const std::string& Directory() const { return directory_; }

  int SpeciesCount() const;
  bool ReadSpecies(int record, SpeciesRecord& out) const;
  bool ReadProperty(int record, PropertyRecord& out) const;
  bool ReadPolynomial(int record, PolynomialRecord& out) const;

 private:
  bool open_ = false;
  std::string directory_;
  std::vector<std::uint8_t> species_, properties_, polynomials_;
};

}  // namespace kvil
