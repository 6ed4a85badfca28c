#include "thermo/species_db.h"

#include <filesystem>

#include "common/binio.h"

namespace kvil {

namespace {
bool InFile(const std::vector<std::uint8_t>& bytes, int record, int size) {
  return record >= 0 &&
         (static_cast<std::size_t>(record) + 1) * static_cast<std::size_t>(size) <= bytes.size();
}
}  // namespace

bool SpeciesDatabase::Open(const std::string& directory) {
  namespace fs = std::filesystem;
  std::vector<std::uint8_t> s, p, q;
  fs::path dir(directory);
  std::error_code ec;
  // An empty directory names the working directory.
  if (!directory.empty() && !fs::is_directory(dir, ec)) {
    openError_ = directory + ": not a directory";
    return false;
  }
  const struct {
    const char* name;
    std::vector<std::uint8_t>& bytes;
  } files[] = {{kSpeciesFileName, s}, {kPropertyFileName, p}, {kPolynomialFileName, q}};
  for (const auto& file : files) {
    const std::string path = (dir / file.name).string();
    std::string reason;
    if (!ReadWholeFile(path, file.bytes, &reason)) {
      openError_ = path + ": " + reason;
      return false;
    }
  }
  openError_.clear();
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
int SpeciesDatabase::PropertyCount() const {
  return static_cast<int>(properties_.size() / kPropertyRecordSize);
}
int SpeciesDatabase::PolynomialCount() const {
  return static_cast<int>(polynomials_.size() / kPolynomialRecordSize);
}

bool SpeciesDatabase::ReadSpecies(int record, SpeciesRecord& out) const {
  if (!InFile(species_, record, kSpeciesRecordSize)) return false;
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

int SpeciesDatabase::Atoms(std::int32_t record, int index) const {
  SpeciesRecord rec;
  if (!ReadSpecies(record, rec)) return 0;
  int atoms = 0;
  for (std::size_t s = 0; s < rec.element.size(); ++s)
    if (rec.element[s] == index) atoms += rec.count[s];
  return atoms;
}

bool SpeciesDatabase::ReadProperty(int record, PropertyRecord& out) const {
  if (!InFile(properties_, record, kPropertyRecordSize)) return false;
  const std::uint8_t* r =
      properties_.data() + static_cast<std::size_t>(record) * kPropertyRecordSize;
  out.at92 = GetLE<float>(r, 92);
  out.at96 = GetLE<float>(r, 96);
  out.at100 = GetLE<float>(r, 100);
  return true;
}

bool SpeciesDatabase::ReadPolynomial(int record, PolynomialRecord& out) const {
  if (!InFile(polynomials_, record, kPolynomialRecordSize)) return false;
  const std::uint8_t* r =
      polynomials_.data() + static_cast<std::size_t>(record) * kPolynomialRecordSize;
  out.tmin = GetLE<float>(r, 0);
  out.tmax = GetLE<float>(r, 4);
  for (int i = 0; i < 7; ++i) out.phi[i] = GetLE<float>(r, 8 + 4 * i);
  return true;
}

bool IsIonCode(int kindCode) {
  const int z = kindCode / 10, last = kindCode % 10;
  return z >= 1 && z <= 4 && (last == 3 || last == 4);
}

bool IsKnownKindCode(int kindCode) {
  return kindCode == 1 || kindCode == 2 || kindCode == 5 || kindCode == 6 || IsIonCode(kindCode);
}

int PhaseOfKindCode(int kindCode) {
  return IsIonCode(kindCode) ? 2 : kindCode;
}

std::string SpeciesDisplayName(const std::string& storedName) {
  std::string name = storedName;
  if (name.find("(g)") != std::string::npos) {
    name.erase(name.size() - 3);
  } else if (name.find("(+g)") != std::string::npos || name.find("(-g)") != std::string::npos) {
    name.erase(name.size() - 2, 1);
  }
  return name;
}

}  // namespace kvil
