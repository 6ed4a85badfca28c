// The species list file (task name + ".tdf"): the 6-byte SpeciesEntry records of the
// species list in list order, nothing else.  Record: byte 0 phase code, bytes 1..4
// zero-based record number in the species database (int32, little-endian), byte 5
// selected flag.
#pragma once

#include <string>
#include <vector>

#include "task/species_list.h"

namespace kvil {

inline constexpr int kSpeciesEntrySize = 6;

// Reads every whole record of the file; false when it cannot be opened.  A trailing
// partial record is ignored.
bool ReadSpeciesListFile(const std::string& path, std::vector<SpeciesEntry>& out);

// Writes entries 1..list.total of the list (atomically: a failed write keeps the old
// file).  False on failure, with the reason in `error`.
bool WriteSpeciesListFile(const std::string& path, const SpeciesList& list,
                          std::string* error = nullptr);

}  // namespace kvil
