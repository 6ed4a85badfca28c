// kvil-batch's calculation mode: runs a task datafile exactly as the Run command does.
//
//   kvil-batch [--db DIR] [--cfg FILE] [--answer yes|no] [--csv FILE] [--json FILE] TASK.dat
//
// Reads the configuration (kvil.cfg of the working directory, or FILE), opens the
// species database (DIR, else as the program finds it: kvil.pth, then the database
// shipped beside the executable), reads the task and its species list file, and runs
// it: the report TASK.txt beside TASK.dat is appended to and the results table
// TASK.rst is written anew.  A missing or empty species list is built from the
// database with every candidate selected.  Messages go to standard error, one line
// each ("<kind>: <text>"); every question is answered by --answer (default yes).
// --csv FILE also writes the results table as CSV, --json FILE every point of the run
// as one JSON object a line (PointLogJson, core/point_log.h): the same numbers as the
// CSV, and the chamber points that failed with their messages.  With standard error on
// a terminal a progress line per point is shown.
//
//   kvil-batch --detonation LIST [--p0 MPa] [--t0 K] [--csv FILE] TASK.dat
//
// runs the task's components (amounts, enthalpies) with the task's equation of state as
// a detonation (core/detonation.h) at each initial density of LIST (g/cm3,
// comma-separated; "gas" is the ideal-gas density at p0, default 0.1 MPa, and t0,
// default 298.15 K) instead of the task's own calculation: one CJ point per density in
// the report and the results table, whose CSV then carries the detonation columns
// ("D, m/s", "pCJ, MPa", "TCJ, K", "rhoCJ, g/cm3", "uCJ, m/s", "cCJ, m/s", "kCJ",
// "E(2.2), kJ/kg", "E(4), kJ/kg", "E(7.2), kJ/kg", ...) after the 23 parameters.
//
// Exit status: 0 the run ran (even when some points failed), 1 a check refused the
// run or the run failed, 2 bad usage or a file that cannot be read or written.
#pragma once

#include <string>
#include <vector>

#include "common/interaction.h"
#include "results/table_file.h"

namespace kvil {

struct Session;

struct BatchOptions {
  std::string db, cfg, csv, json, datafile;
  bool freshStart = false;
  bool stats = false;
  Answer answer = Answer::Yes;
  // The CSV and JSON texts are made (BatchOutput) even when no file is named for them.
  bool keepTables = false;
  // Where the shipped species database is looked for ("" = beside this executable).
  std::string executable;
  // --detonation LIST [--p0 MPa] [--t0 K]: the detonation of the task's mixture at each
  // initial density of LIST instead of the task's own calculation ("" = none).
  std::string detonation;
  double p0 = 0.1, t0 = 298.15;
  bool p0Given = false, t0Given = false;
};

struct BatchOutput {
  bool commandRun = false;  // the Run command was reached
  bool ran = false;         // and ran
  std::string reportPath, tablePath;
  unsigned long long reportOffset = 0;  // size of the report before the run
  std::string csv, json;
  long long solves = 0, iterations = 0;
};

// The calculation mode's entry; argv[0] is the program.
int RunBatch(int argc, char** argv);

// The run of kvil-batch for parsed options: messages and questions go to `shown` (the
// questions answered as it answers them).  Returns the exit status.  The Python
// package runs a task datafile through this function.
int RunBatchTask(const BatchOptions& options, Interaction& shown, BatchOutput& out);

// The results table as CSV text (RFC 4180, lines ended by CR LF): the header "kind",
// the 23 parameter names, the names of the extension columns the records have
// (results/table_file.h, in code order), "[X]" per element X, "component N" per component and the
// display name of each species (`speciesNames` by database record number; a record
// without a name is shown as "#" + record), then one row per record with numbers of
// 17 significant digits.  Columns are the union over all records, in order of first
// appearance; a value a record lacks is left empty.
std::string ResultsTableCsv(const std::vector<ResultsRecord>& records,
                            const std::vector<std::pair<int, std::string>>& speciesNames);

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

}  // namespace kvil
