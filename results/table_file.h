// The results table file (task name + ".rst"): one ResultsRecord of 8-byte
// little-endian doubles per calculated point of the last run, no header.
//
// Record: kind (0 point, 1 throat, 2 expansion), nEl, nEl element indices, nEl element
// amounts (mol/kg), nC, nC pairs (mass fraction, component number), 23 parameters,
// nS, nS pairs (database record number, amount mol/kg).  Integers are stored as
// doubles.  Parameters: p (MPa; 0 on throat and expansion points, whose pressure is in
// slot 23), T (K), V (m3/kg), S (kJ/(kg*K)), H, U (kJ/kg), Cp (kJ/(kg*K)), M (mol/kg),
// Vg (m3/kg), Rg (kJ/(kg*K)), Z, a (m/s), k, k", Cp", Cv" (kJ/(kg*K)), Lt, Lt" (W/(m*K)),
// Mu (N*s/m2), FP (kJ/kg), Cov (dm3/kg; 0 with the ideal-gas EOS), Wa (m/s), Pa (MPa).
//
// Extension (task name + ".rsx").  Figures a record has beyond the 23 parameters (the
// detonation's) are kept in a companion file, so that the .rst keeps its layout for
// every reader: a flat sequence of 8-byte little-endian doubles, per extended record
// its zero-based index in the .rst, a count m, and m pairs (column code, value).  Codes
// are those of kResultsExtensionNames (1-based).  The file exists only when a run wrote
// such a record; emptying or moving the results table (core/file_commands.h) takes it
// along.  A damaged extension (counts that cannot be followed, an index beyond the
// table) is read as far as it is whole.
//
// Failures: the writer returns false and leaves the file as it was; the reader returns
// a status and never throws.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kvil {

class ResultsTableFile;
struct CalcWorkspace;
struct Task;

inline constexpr int kResultsParameterCount = 23;
// Names of the 23 parameters, as the analysis lists and the CSV header show them.
extern const char* const kResultsParameterNames[kResultsParameterCount];

// Columns of the extension, by code 1..kResultsExtensionCount (index code - 1): the
// initial density and the detonation figures of core/detonation.h.
inline constexpr int kResultsExtensionCount = 23;
extern const char* const kResultsExtensionNames[kResultsExtensionCount];
enum ResultsExtensionColumn : int {
  kExtRho0 = 1, kExtD, kExtPCJ, kExtTCJ, kExtRhoCJ, kExtUCJ, kExtCCJ, kExtKCJ,
  kExtE22, kExtE4, kExtE72, kExtGurney22, kExtGurney4, kExtGurney72, kExtVCJ,
  kExtJwlA, kExtJwlB, kExtJwlC, kExtJwlR1, kExtJwlR2, kExtJwlOmega, kExtJwlE0,
  kExtJwlDeviation,
};

struct ResultsRecord {
  int kind = 0;
  std::vector<std::pair<int, double>> elements;    // element index, amount
  std::vector<std::pair<double, int>> components;  // mass fraction, component number
  std::vector<double> parameters;                  // 23 values
  std::vector<std::pair<int, double>> species;     // record number, amount
  std::vector<std::pair<int, double>> extension;   // column code, value (from the .rsx)
};

// Appends the record of the current point to the results table `path`: kind from
// ws.state.rowKind, elements from task.elements, mass fractions of the current variant
// of every component with a formula, the 23 parameters from ws.results and the
// ws.state.report* values the report left, and for every entry of the task's species
// list its database record number and its run amount (0 for a species not in the run).
// `componentCount` is the caller's count of components with a formula; the record
// always carries the count of the pairs it actually holds, so that it stays readable.
// The record is written in one piece; on a failed write the file is cut back to its
// previous size, so that no partial record is ever left.  False on failure.  A record
// holding a value that is not a finite number is not written (true is returned: the
// file is intact); the run refuses such a point before it gets here.
// While `table` is open on `path` (the run keeps it open from its first point to its
// last), the record goes through that handle instead of an open and close per point; it
// is flushed after every record, so readers see whole records only.
bool AppendResultsRecord(const Task& task, CalcWorkspace& ws, ResultsTableFile& table,
                         const std::string& path, int componentCount);

// Appends the extension columns (code, value) of the record AppendResultsRecord wrote
// last in this run (ws.state.resultsRecords counts them) to `extensionPath` (the
// task's ".rsx").  Values that are not finite numbers are left out.  False when the file
// cannot be written (nothing of the entry is left then).
bool AppendResultsExtension(const CalcWorkspace& ws, ResultsTableFile& table,
                            const std::string& extensionPath,
                            const std::vector<std::pair<int, double>>& columns);

// The message of a failed AppendResultsRecord: the table's path and the reason.
std::string ResultsTableWriteError(const ResultsTableFile& table, const std::string& path);

// Longest time the records of a run are held before they are written, and the size of
// the block that holds them (written when half full: a larger block gains nothing and
// leaves the cache to the records).
inline constexpr std::chrono::milliseconds kHeldRecordsInterval{250};
inline constexpr std::size_t kHeldRecordsBytes = 1 << 16;

// The results table held open for appending during a run.  Kept in memory
// (KeepInMemory), the records are not written to a file but to values() (one double
// per 8 bytes of the file, as ParseResultsTable reads them); Open then only starts
// appending, whatever the path.
class ResultsTableFile {
 public:
  ResultsTableFile() = default;
  ResultsTableFile(const ResultsTableFile&) = delete;
  ResultsTableFile& operator=(const ResultsTableFile&) = delete;
  ~ResultsTableFile() { Close(); }

  bool Open(const std::string& path);  // for appending, creating it when missing
  bool IsOpen() const { return file_ != nullptr || openInMemory_; }
  void Close();
  const std::string& path() const { return path_; }
  // Appends `bytes` in one piece and flushes; on failure the file is cut back to its
  // previous size.  False on failure.  While records are held (HoldRecords), they are
  // kept in memory and written together, whole, once kHeldRecordsInterval has passed
  // since the last write or they fill kHeldRecordsBytes, by Flush, and by Close; a failed write loses the records it
  // held and leaves the file as it was before them.
  bool Append(const void* bytes, size_t size);
  // A run holds its records: one write of the table every quarter of a second instead of
  // one per point (a system call that cost as much as the brief report of the point).
  void HoldRecords(bool hold);
  bool Holding() const { return hold_ && file_ != nullptr; }
  // Writes the records held; false when that failed (error() says why).
  bool Flush();
  // Why the last Open or Append failed ("Permission denied", "Is a directory").
  const std::string& error() const { return error_; }

  // Switches to (true) or from (false) a table kept in memory; the values are emptied.
  void KeepInMemory(bool inMemory) {
    Close();
    inMemory_ = inMemory;
    ClearValues();
  }
  bool InMemory() const { return inMemory_; }
  // Appends a record's values (in memory only).
  void AppendValues(const std::vector<double>& values) {
    values_.insert(values_.end(), values.begin(), values.end());
  }
  const std::vector<double>& values() const { return values_; }
  // The extension entries of the records kept in memory (as the .rsx holds them).
  void AppendExtensionValues(const std::vector<double>& values) {
    extensionValues_.insert(extensionValues_.end(), values.begin(), values.end());
  }
  const std::vector<double>& extensionValues() const { return extensionValues_; }
  void ClearValues() {
    values_.clear();
    extensionValues_.clear();
  }

 private:
  bool Write(const void* bytes, size_t size);

  std::FILE* file_ = nullptr;
  long end_ = -1;  // size of the file after the last append (-1: to be looked up)
  bool hold_ = false;
  std::vector<std::uint8_t> pending_;  // whole records held, not yet written: held_ bytes
  std::size_t held_ = 0;
  std::chrono::steady_clock::time_point written_;
  std::string path_;
  bool inMemory_ = false;
  bool openInMemory_ = false;
  std::vector<double> values_;  // the table kept in memory
  std::vector<double> extensionValues_;  // and its extension
  std::string error_;
};

enum class TableReadStatus {
  Ok,          // at least one record, all complete
  Empty,       // the file holds no record: no results exist
  Corrupted,   // a count cannot be followed, a value is not a finite number (the
               // writer never stores one), or the file ends inside a record
  Unreadable,  // the file is missing or cannot be read
};

// Reads the records of a results table file into `out`, at most `maxRecords` of them
// (0 = all), with the columns of its extension file (the path with ".rsx") when there is
// one.  On Corrupted, `out` holds the complete records before the damage.
TableReadStatus ReadResultsTable(const std::string& path, std::vector<ResultsRecord>& out,
                                 size_t maxRecords = 0);
// The extension columns of `values` (the .rsx as doubles) attached to the records they
// name.  Entries naming records that `out` does not hold are skipped.
void AttachResultsExtension(const std::vector<double>& values, std::vector<ResultsRecord>& out);
// The same from values already in memory (one double per 8 bytes of the file).
TableReadStatus ParseResultsTable(const std::vector<double>& values,
                                  std::vector<ResultsRecord>& out, size_t maxRecords = 0);

}  // namespace kvil
