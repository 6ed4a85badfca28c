// The ingredient catalogue behind the component picker: classes and components read
// from two UTF-8 text tables, with sorted name indexes beside them.  No Qt.
//
// Files (tab-separated, one header row, lines ended by LF; a CR before the LF is
// ignored):
//   Class.dat    class, description, origin
//   Compons.dat  class, name, synonyms, formula, enthalpy kJ/kg, density g/cm3, source,
//                origin
//   Class.IDX, Compons.IDX  sorted name indexes (see WriteIndex): a signature line of
//                the table they index, then "name<TAB>line" sorted by folded name.
// `origin` is "shipped" for the entries that come with the program (read-only in the
// picker) and "user" for those the user added.  Synonyms are separated by ';'.
//
// A damaged row is reported as "<file>, line <n>: <what>" and skipped; every other row
// is kept.  Saving writes a temporary file beside the target and renames it over the
// target, so a failed save leaves the previous file whole.
#pragma once

#include <string>
#include <vector>

namespace kvilcb {

inline constexpr const char* kClassFile = "Class.dat";
inline constexpr const char* kComponentFile = "Compons.dat";
inline constexpr const char* kClassIndexFile = "Class.IDX";
inline constexpr const char* kComponentIndexFile = "Compons.IDX";
inline constexpr int kMaxFormulaLength = 255;

struct ClassEntry {
  std::string name;
  std::string description;
  bool user = false;  // added by the user (editable); shipped entries are read-only
  int line = 0;       // line in Class.dat, 0 for an entry not read from a file
};

struct Component {
  std::string className;
  std::string name;
  std::string synonyms;   // ';'-separated
  std::string formula;    // element symbols and numbers, no groups: "NH4ClO4", "CH1.95"
  double enthalpy = 0.0;  // specific enthalpy of formation at 298.15 K, kJ/kg
  double density = 0.0;   // g/cm3
  std::string source;     // where the numbers come from
  bool user = false;
  int line = 0;
};

struct Catalog {
  std::vector<ClassEntry> classes;
  std::vector<Component> components;
  // Damaged rows as read, written back unchanged at the end of their table on save so
  // that a repair by hand loses nothing.
  std::vector<std::string> damagedClassLines;
  std::vector<std::string> damagedComponentLines;
  // The user's tables exist but could not be read (LoadCatalogs): they are not saved
  // over.
  bool userTablesUnreadable = false;

  int FindClass(const std::string& name) const;      // index or -1
  int FindComponent(const std::string& name) const;  // index or -1 (names are unique)
};

// Reads Class.dat and Compons.dat of `directory` into `catalog` (replacing it).
// Damaged rows are skipped with a message each in `messages`.  Returns false when
// either table cannot be opened or lacks its header row (message added).
bool LoadCatalog(const std::string& directory, Catalog& catalog,
                 std::vector<std::string>& messages);

// The folder of the user's own classes and components: $XDG_DATA_HOME/kvil, or
// ~/.local/share/kvil when XDG_DATA_HOME is unset or not an absolute path.  Empty
// when HOME is not set either.
std::string UserDataDirectory();

// Reads the shipped tables of `shippedDirectory` and then the user's tables of
// `userDirectory` into one catalogue: the program's entries first, read-only whatever
// their origin says (the shipped files are never written), then the user's, which
// are editable.  A user folder without tables is no error (the user has none yet).
// A user entry whose name the shipped tables use, or that is damaged, is reported
// with the folder's path and kept in damaged*Lines for the next save.  Returns false
// when the shipped tables cannot be read; unreadable user tables are reported and
// left alone (userTablesUnreadable).
bool LoadCatalogs(const std::string& shippedDirectory, const std::string& userDirectory,
                  Catalog& catalog, std::vector<std::string>& messages);

// Writes the user's entries of `catalog` (user == true) with the damaged lines of the
// user's tables to `userDirectory`, created when missing, as SaveCatalog does.
bool SaveUserCatalog(const std::string& userDirectory, const Catalog& catalog,
                     std::string& message);

// Writes both tables atomically and rebuilds both indexes.  Returns false with a
// message when a file cannot be written; the previous files then stay as they were.
bool SaveCatalog(const std::string& directory, const Catalog& catalog, std::string& message);

// Checks a component before it is stored: a name without tabs or line breaks that no
// other component (other than `self`, an index or -1) uses, a known class, a formula
// CheckFormula accepts, an enthalpy and a positive density that a 32-bit float carries
// (the task keeps enthalpies so), and a source.
// Returns an empty string when the component is acceptable, else the reason.
std::string ValidateComponent(const Catalog& catalog, const Component& component, int self);

// A class name: not empty, no tab or line break, not used by another class.
std::string ValidateClass(const Catalog& catalog, const std::string& name, int self);

// A formula of element symbols (upper-case letter, optional lower-case letter), each
// of the program's element table (the electron excepted), each optionally followed by
// a number with '.' or ',' as decimal point; at most 20 symbols
// and 255 characters.  Returns an empty string when acceptable, else the reason.
std::string CheckFormula(const std::string& formula);

// Components of class `className` (all classes when empty) whose name, synonyms or
// formula contain every blank-separated word of `query`, ignoring case (ASCII).
// Exact name or synonym matches come first, then alphabetical by name.
std::vector<int> Search(const Catalog& catalog, const std::string& className,
                        const std::string& query);

// Index of a table: the signature of the table file (its size and a hash of its
// bytes) and its names sorted case-insensitively, each with its data line.
bool WriteIndex(const std::string& tablePath, const std::string& indexPath,
                const std::vector<std::pair<std::string, int>>& names, std::string& message);
// True when `indexPath` exists and carries the signature of `tablePath`.
bool IndexIsCurrent(const std::string& tablePath, const std::string& indexPath);
// Rebuilds Class.IDX and Compons.IDX from `catalog` when they are missing or stale.
// Returns false with a message when an index cannot be written.
bool RefreshIndexes(const std::string& directory, const Catalog& catalog, std::string& message);

// The shortest text of `value` that reads back to the same double ("-296.08",
// "-1e+300"): how the tables store enthalpies and densities.
std::string NumberText(double value);

// Lower-cases ASCII letters (names are compared this way).
std::string Fold(const std::string& text);

}  // namespace kvilcb
