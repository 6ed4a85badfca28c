// Finding the species database directory at start-up.
//
// The directory is remembered in the path file "kvil.pth" of the working directory:
// a text file whose first line is the directory, normally with a trailing separator
// ('\' as written by the Windows program, or '/').  The search, before any dialog:
//   1. the directory of kvil.pth (relative paths are taken from the working directory;
//      without a usable kvil.pth: the working directory itself);
//   2. the database shipped with the program, relative to the executable:
//      <exe dir>/db (build tree) and <exe dir>/../share/kvil/db (installed).
// When none opens, the caller asks the user for a directory (a dialog loop in the
// windows) and stores the choice with WritePathFile.  kvil.pth is only written for a
// directory the user chose; finding the shipped database leaves it alone.
#pragma once

#include <string>
#include <vector>

#include "thermo/species_db.h"

namespace kvil {

inline constexpr const char* kPathFileName = "kvil.pth";

enum class DatabaseSource { None, PathFile, WorkingDirectory, Shipped };

struct DatabaseLocation {
  bool found = false;
  DatabaseSource source = DatabaseSource::None;
  std::string directory;  // the directory opened (as tried), empty when not found
};

// Path of the path file in the working directory ("" = current directory); a file
// named kvil.pth in any letter case is found.
std::string PathFilePath(const std::string& workingDir);

// First line of the path file without its line end; "" when it cannot be read.
std::string ReadPathFile(const std::string& workingDir);

// A directory line of the path file made usable: '\' read as '/' (except on Windows),
// a trailing separator removed, a relative path taken from the working directory.
// "" stays "" (working directory).
std::string ResolveDatabaseDirectory(const std::string& line, const std::string& workingDir);

// The directories of the shipped database for an executable path, in search order.
std::vector<std::string> ShippedDatabaseDirectories(const std::string& executablePath);

// Runs the search above and opens the first database found into `db`.  `found` false:
// nothing opened, the caller shows the directory dialog.
DatabaseLocation LocateSpeciesDatabase(SpeciesDatabase& db, const std::string& workingDir,
                                       const std::string& executablePath);

// Rewrites the path file with `directory` (a trailing separator added) as its only
// line, atomically.  False with the reason in `error` on failure.
bool WritePathFile(const std::string& workingDir, const std::string& directory,
                   std::string* error = nullptr);

// The user picked `chosenFile` in the directory dialog: opens the database of its
// directory and, when that succeeds, rewrites the path file with that directory.
// False when the directory holds no database (nothing changes; the dialog is shown
// again).  True when the database is open; if the path file could not be written,
// `error` then says why (the choice is simply not remembered).
bool AcceptChosenDatabase(SpeciesDatabase& db, const std::string& workingDir,
                          const std::string& chosenFile, std::string* error = nullptr);

// The directory with one trailing separator ('/' unless it already ends in '\' or '/').
std::string WithTrailingSeparator(const std::string& directory);

// Path of the running executable ("" when it cannot be found).
std::string CurrentExecutablePath();

}  // namespace kvil
