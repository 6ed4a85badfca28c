// The results table file (task name + ".rst"): one ResultsRecord of 8-byte
// little-endian doubles per calculated point of the last run, no header.
//
// Record: kind (0 point, 1 throat, 2 expansion), nEl, nEl element indices, nEl element
// amounts (mol/kg), nC, nC pairs (mass fraction, component number), 23 parameters,
// nS, nS pairs (database record number, amount mol/kg).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kvil {

struct Session;

inline constexpr int kResultsParameterCount = 23;
// Names of the 23 parameters, as the analysis lists and the CSV header show them.
extern const char* const kResultsParameterNames[kResultsParameterCount];

struct ResultsRecord {
  int kind = 0;
  std::vector<std::pair<int, double>> elements;      // element index, amount
  std::vector<std::pair<double, int>> components;    // mass fraction, component number
  std::vector<double> parameters;                    // 23 values
  std::vector<std::pair<int, double>> species;       // record number, amount
};

// Appends the record of the current point (kind from ws.state.rowKind).  False when the
// file cannot be written.
bool AppendResultsRecord(Session& session, int componentCount);

enum class TableReadStatus { Ok, Empty, Corrupted, Unreadable };

// Reads every record of a results table file.
TableReadStatus ReadResultsTable(const std::string& path, std::vector<ResultsRecord>& out);

}  // namespace kvil
