#include "thermo/species_db.h"

#include <filesystem>

#include "common/binio.h"

namespace kvil {

bool SpeciesDatabase::Open(const std::string& directory) {
  namespace fs = std::filesystem;
  std::vector<std::uint8_t> s, p, q;
  fs::path dir(directory);
  if (!ReadWholeFile((dir / "Demo_1a.bas").string(), s) ||
      !ReadWholeFile((dir / "Demo_2a.bas").string(), p) ||
      !ReadWholeFile((dir / "Demo_3a.bas").string(), q))
    return false;
  species_ = std::move(s);
  properties_ = std::move(p);
  polynomials_ = std::move(q);
  directory_ = directory;
  open_ = true;
  return true;
}

int SpeciesDatabase::SpeciesCount() const {
  return static_cast<int>(species_.size() / kSpeciesRecordSize);
}

bool SpeciesDatabase::ReadSpecies(int record, SpeciesRecord& out) const {
  if (record < 0 || record >= SpeciesCount()) return false;
  const std::uint8_t* r = species_.data() + static_cast<std::size_t>(record) * kSpeciesRecordSize;
  for (int i = 0; i < 5; ++i) {
    out.element[i] = r[2 * i];
    out.count[i] = r[2 * i + 1];
  }
  out.kindCode = r[10];
  out.propertyRecord = GetLE<std::uint16_t>(r, 12);
  out.polynomialRef = GetLE<std::int32_t>(r, 14);
  out.name = GetShortString(r, 28, 20);
  return true;
}

bool SpeciesDatabase::ReadProperty(int record, PropertyRecord& out) const {
  if (record < 0 ||
      static_cast<std::size_t>(record + 1) * kPropertyRecordSize > properties_.size())
    return false;
  const std::uint8_t* r = properties_.data() + static_cast<std::size_t>(record) * kPropertyRecordSize;
  out.at92 = GetLE<float>(r, 92);
  out.at96 = GetLE<float>(r, 96);
  out.at100 = GetLE<float>(r, 100);
  return true;
}

bool SpeciesDatabase::ReadPolynomial(int record, PolynomialRecord& out) const {
  if (record < 0 ||
      static_cast<std::size_t>(record + 1) * kPolynomialRecordSize > polynomials_.size())
    return false;
  const std::uint8_t* r =
      polynomials_.data() + static_cast<std::size_t>(record) * kPolynomialRecordSize;
  out.tmin = GetLE<float>(r, 0);
  out.tmax = GetLE<float>(r, 4);
  for (int i = 0; i < 7; ++i) out.phi[i] = GetLE<float>(r, 8 + 4 * i);
  return true;
}

}  // namespace kvil
