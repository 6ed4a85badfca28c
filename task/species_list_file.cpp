#include "task/species_list_file.h"

#include <cstdint>

#include "common/binio.h"

namespace kvil {

bool ReadSpeciesListFile(const std::string& path, std::vector<SpeciesEntry>& out) {
  std::vector<std::uint8_t> bytes;
  out.clear();
  if (!ReadWholeFile(path, bytes)) return false;
  for (std::size_t off = 0; off + kSpeciesEntrySize <= bytes.size(); off += kSpeciesEntrySize) {
    SpeciesEntry e;
    e.phase = bytes[off];
    e.record = GetLE<std::int32_t>(bytes.data(), off + 1);
    e.selected = bytes[off + 5];
    out.push_back(e);
  }
  return true;
}

bool WriteSpeciesListFile(const std::string& path, const SpeciesList& list, std::string* error) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(list.total) * kSpeciesEntrySize);
  for (int i = 1; i <= list.total; ++i) {
    std::size_t off = static_cast<std::size_t>(i - 1) * kSpeciesEntrySize;
    const SpeciesEntry& e = list.items[i].entry;
    bytes[off] = e.phase;
    PutLE<std::int32_t>(bytes.data(), off + 1, e.record);
    bytes[off + 5] = e.selected;
  }
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

}  // namespace kvil
