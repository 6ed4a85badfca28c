#include "components/catalog.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <sys/stat.h>

namespace kvilcb {
namespace {

// Only regular files are read: a directory or a FIFO named like a table would read as
// nothing, or block waiting for a writer.
bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Join(const std::string& directory, const char* file) {
  if (directory.empty()) return file;
  return directory.back() == '/' ? directory + file : directory + "/" + file;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Reads a number in the C locale; the whole field must be the number.
bool ReadNumber(const std::string& field, double& value) {
  const std::string text = Trim(field);
  if (text.empty()) return false;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> value;
  return in && in.peek() == std::char_traits<char>::eof() && std::isfinite(value);
}

bool ReadOrigin(const std::string& field, bool& user) {
  const std::string origin = Trim(field);
  if (origin == "shipped")
    user = false;
  else if (origin == "user")
    user = true;
  else
    return false;
  return true;
}

bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
}

std::string Where(const char* file, int line) {
  return std::string(file) + ", line " + std::to_string(line) + ": ";
}

// Reads the lines of a table; false when it cannot be opened or has no header.
bool ReadTable(const std::string& path, const char* file, const std::string& header,
               std::vector<std::string>& lines, std::vector<std::string>& messages) {
  std::ifstream in;
  if (IsRegularFile(path)) in.open(path, std::ios::binary);
  if (!in.is_open() || !in) {
    messages.push_back(std::string(file) + ": cannot be opened");
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
  if (lines.empty() || lines[0] != header) {
    messages.push_back(Where(file, 1) + "the header row is missing or damaged");
    return false;
  }
  return true;
}

const std::string kClassHeader = "class\tdescription\torigin";
const std::string kComponentHeader =
    "class\tname\tsynonyms\tformula\tenthalpy kJ/kg\tdensity g/cm3\tsource\torigin";


// Writes `text` to `path` through a temporary file renamed over it.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& message) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      message = path + ": cannot be written";
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    message = path + ": cannot be replaced";
    return false;
  }
  return true;
}

// Size and FNV-1a hash of a file's bytes, as written in the first line of an index.
bool Signature(const std::string& path, std::string& signature) {
  if (!IsRegularFile(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::uint64_t hash = 1469598103934665603ull, size = 0;
  char buffer[8192];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    size += static_cast<std::uint64_t>(in.gcount());
  }
  char text[80];
  std::snprintf(text, sizeof text, "size %llu fnv1a %016llx", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(hash));
  signature = text;
  return true;
}

// Symbols the program's element table knows (the electron excepted).
bool KnownSymbol(const std::string& symbol) {
  static const char* const kSymbols =
      " H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge"
      " As Se Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm"
      " Sm Eu Gd Tb Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th"
      " Pa U Np Pu Am Cm Bk Cf Es Fm Md No Lr D T ";
  return std::string(kSymbols).find(" " + symbol + " ") != std::string::npos;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return Fold(haystack).find(needle) != std::string::npos;
}

}  // namespace

std::string NumberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (result.ec != std::errc()) return "nan";
  return std::string(buffer, result.ptr);
}

bool CarriedByProgram(double value) {
  return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

std::string Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

int Catalog::FindClass(const std::string& name) const {
  for (int i = 0; i < static_cast<int>(classes.size()); ++i) {
    if (classes[i].name == name) return i;
  }
  return -1;
}

int Catalog::FindComponent(const std::string& name) const {
  const std::string folded = Fold(name);
  for (int i = 0; i < static_cast<int>(components.size()); ++i) {
    if (Fold(components[i].name) == folded) return i;
  }
  return -1;
}

std::string CheckFormula(const std::string& formula) {
  if (formula.empty()) return "the formula is empty";
  if (formula.size() > static_cast<std::size_t>(kMaxFormulaLength))
    return "the formula is longer than 255 characters";
  int symbols = 0;
  std::size_t i = 0;
  while (i < formula.size()) {
    const char c = formula[i];
    if (c >= 'A' && c <= 'Z') {
      ++symbols;
      const std::size_t start = i++;
      if (i < formula.size() && formula[i] >= 'a' && formula[i] <= 'z') ++i;
      const std::string symbol = formula.substr(start, i - start);
      if (!KnownSymbol(symbol)) return "unknown element " + symbol;
      std::size_t digits = 0, points = 0;
      while (i < formula.size() &&
             ((formula[i] >= '0' && formula[i] <= '9') || formula[i] == '.' || formula[i] == ',')) {
        if (formula[i] == '.' || formula[i] == ',')
          ++points;
        else
          ++digits;
        ++i;
      }
      if (points > 1 || (points == 1 && digits == 0))
        return "the formula holds an unreadable number";
    } else if (c >= '0' && c <= '9') {
      return "the formula begins with a number";
    } else {
      return std::string("the formula holds the character '") + c +
             "' (only element symbols and numbers)";
    }
  }
  if (symbols > 20) return "the formula has more than 20 element symbols";
  return {};
}

std::string ValidateClass(const Catalog& catalog, const std::string& name, int self) {
  if (Trim(name).empty()) return "the class has no name";
  if (HasControl(name)) return "the class name holds a tab or a line break";
  const int other = catalog.FindClass(name);
  if (other >= 0 && other != self) return "the class " + name + " exists already";
  return {};
}

std::string ValidateComponent(const Catalog& catalog, const Component& component, int self) {
  if (Trim(component.name).empty()) return "the component has no name";
  for (const std::string* text : {&component.name, &component.synonyms, &component.formula,
                                  &component.source, &component.className}) {
    if (HasControl(*text)) return "a field holds a tab or a line break";
  }
  const int other = catalog.FindComponent(component.name);
  if (other >= 0 && other != self) return "the name " + component.name + " is used already";
  if (catalog.FindClass(component.className) < 0) return "unknown class " + component.className;
  const std::string formula = CheckFormula(component.formula);
  if (!formula.empty()) return formula;
  if (!std::isfinite(component.enthalpy)) return "the enthalpy is not a number";
  // The task keeps an enthalpy as a 32-bit float: a larger one would become infinite.
  if (!CarriedByProgram(component.enthalpy))
    return "the enthalpy is beyond what the program can carry (at most 3.4e38 kJ/kg)";
  if (!std::isfinite(component.density) || component.density <= 0.0)
    return "the density must be positive";
  if (!CarriedByProgram(component.density) ||
      static_cast<float>(component.density) < std::numeric_limits<float>::min())
    return "the density is beyond what the program can carry";
  if (Trim(component.source).empty()) return "the source of the numbers is missing";
  return {};
}

namespace {

// Where a table is read from: the shipped folder (its entries keep the origin their
// rows give) or the user's data folder (every entry is the user's; messages name the
// folder).
enum class Source { Shipped, UserFolder };

// Appends the classes and components of `directory` to `catalog`, checked against what
// it holds already.  False when a table cannot be opened or lacks its header.
bool ReadCatalogInto(const std::string& directory, Source source, Catalog& catalog,
                     std::vector<std::string>& messages) {
  const std::string prefix = source == Source::UserFolder ? Join(directory, "") : std::string();
  const auto firstNew = messages.size();
  struct Prefix {
    std::vector<std::string>& messages;
    std::size_t from;
    const std::string& prefix;
    ~Prefix() {
      for (std::size_t i = from; i < messages.size(); ++i) messages[i] = prefix + messages[i];
    }
  } named{messages, firstNew, prefix};
  std::vector<std::string> lines;
  if (!ReadTable(Join(directory, kClassFile), kClassFile, kClassHeader, lines, messages))
    return false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (Trim(lines[i]).empty()) continue;
    const auto fields = SplitTabs(lines[i]);
    ClassEntry entry;
    if (fields.size() != 3) {
      messages.push_back(Where(kClassFile, number) + "3 fields expected, " +
                         std::to_string(fields.size()) + " found");
      catalog.damagedClassLines.push_back(lines[i]);
      continue;
    }
    entry.name = Trim(fields[0]);
    entry.description = fields[1];
    entry.line = number;
    std::string problem = ValidateClass(catalog, entry.name, -1);
    if (problem.empty() && !ReadOrigin(fields[2], entry.user))
      problem = "origin must be shipped or user";
    if (source == Source::UserFolder) entry.user = true;
    if (!problem.empty()) {
      messages.push_back(Where(kClassFile, number) + problem);
      catalog.damagedClassLines.push_back(lines[i]);
      continue;
    }
    catalog.classes.push_back(entry);
  }
  lines.clear();
  if (!ReadTable(Join(directory, kComponentFile), kComponentFile, kComponentHeader, lines,
                 messages))
    return false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (Trim(lines[i]).empty()) continue;
    const auto fields = SplitTabs(lines[i]);
    if (fields.size() != 8) {
      messages.push_back(Where(kComponentFile, number) + "8 fields expected, " +
                         std::to_string(fields.size()) + " found");
      catalog.damagedComponentLines.push_back(lines[i]);
      continue;
    }
    Component c;
    c.className = Trim(fields[0]);
    c.name = Trim(fields[1]);
    c.synonyms = Trim(fields[2]);
    c.formula = Trim(fields[3]);
    c.source = Trim(fields[6]);
    c.line = number;
    std::string problem;
    if (!ReadNumber(fields[4], c.enthalpy))
      problem = "unreadable enthalpy '" + fields[4] + "'";
    else if (!ReadNumber(fields[5], c.density))
      problem = "unreadable density '" + fields[5] + "'";
    else if (!ReadOrigin(fields[7], c.user))
      problem = "origin must be shipped or user";
    else
      problem = ValidateComponent(catalog, c, -1);
    if (source == Source::UserFolder) c.user = true;
    if (!problem.empty()) {
      messages.push_back(Where(kComponentFile, number) + problem);
      catalog.damagedComponentLines.push_back(lines[i]);
      continue;
    }
    catalog.components.push_back(c);
  }
  return true;
}

}  // namespace

bool LoadCatalog(const std::string& directory, Catalog& catalog,
                 std::vector<std::string>& messages) {
  catalog = Catalog{};
  return ReadCatalogInto(directory, Source::Shipped, catalog, messages);
}

std::string UserDataDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return Join(xdg, "kvil");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return Join(Join(home, ".local/share"), "kvil");
  return {};
}

bool LoadCatalogs(const std::string& shippedDirectory, const std::string& userDirectory,
                  Catalog& catalog, std::vector<std::string>& messages) {
  catalog = Catalog{};
  if (!ReadCatalogInto(shippedDirectory, Source::Shipped, catalog, messages)) return false;
  // The shipped tables are never written: their entries are read-only, and their
  // damaged rows stay in them.
  for (auto& c : catalog.classes) c.user = false;
  for (auto& c : catalog.components) c.user = false;
  catalog.damagedClassLines.clear();
  catalog.damagedComponentLines.clear();
  if (userDirectory.empty() || !IsRegularFile(Join(userDirectory, kClassFile))) return true;
  std::vector<std::string> userMessages;
  Catalog merged = catalog;
  if (!ReadCatalogInto(userDirectory, Source::UserFolder, merged, userMessages)) {
    // Unreadable user tables are reported; the shipped catalogue is still offered, and
    // nothing is saved over the user's files (no save is possible without their header).
    messages.insert(messages.end(), userMessages.begin(), userMessages.end());
    catalog.userTablesUnreadable = true;
    return true;
  }
  messages.insert(messages.end(), userMessages.begin(), userMessages.end());
  catalog = std::move(merged);
  return true;
}

bool SaveUserCatalog(const std::string& userDirectory, const Catalog& catalog,
                     std::string& message) {
  if (userDirectory.empty()) {
    message = "no folder for the user's data (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  if (catalog.userTablesUnreadable) {
    message = Join(userDirectory, kComponentFile) +
              " cannot be read; it is not written over (repair or remove it)";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(userDirectory, ec);
  if (ec) {
    message = userDirectory + ": cannot be created (" + ec.message() + ")";
    return false;
  }
  Catalog own;
  for (const auto& c : catalog.classes)
    if (c.user) own.classes.push_back(c);
  for (const auto& c : catalog.components)
    if (c.user) own.components.push_back(c);
  own.damagedClassLines = catalog.damagedClassLines;
  own.damagedComponentLines = catalog.damagedComponentLines;
  return SaveCatalog(userDirectory, own, message);
}

bool WriteIndex(const std::string& tablePath, const std::string& indexPath,
                const std::vector<std::pair<std::string, int>>& names, std::string& message) {
  std::string signature;
  if (!Signature(tablePath, signature)) {
    message = tablePath + ": cannot be read";
    return false;
  }
  auto sorted = names;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return Fold(a.first) < Fold(b.first); });
  std::string text = signature + "\n";
  for (const auto& [name, line] : sorted) text += name + "\t" + std::to_string(line) + "\n";
  return WriteAtomically(indexPath, text, message);
}

bool IndexIsCurrent(const std::string& tablePath, const std::string& indexPath) {
  std::string signature;
  if (!Signature(tablePath, signature) || !IsRegularFile(indexPath)) return false;
  std::ifstream in(indexPath, std::ios::binary);
  std::string first;
  return in && std::getline(in, first) && first == signature;
}

bool RefreshIndexes(const std::string& directory, const Catalog& catalog, std::string& message) {
  const std::string classTable = Join(directory, kClassFile),
                    classIndex = Join(directory, kClassIndexFile);
  if (!IndexIsCurrent(classTable, classIndex)) {
    std::vector<std::pair<std::string, int>> names;
    for (const auto& c : catalog.classes) names.emplace_back(c.name, c.line);
    if (!WriteIndex(classTable, classIndex, names, message)) return false;
  }
  const std::string table = Join(directory, kComponentFile),
                    index = Join(directory, kComponentIndexFile);
  if (!IndexIsCurrent(table, index)) {
    std::vector<std::pair<std::string, int>> names;
    for (const auto& c : catalog.components) names.emplace_back(c.name, c.line);
    if (!WriteIndex(table, index, names, message)) return false;
  }
  return true;
}

bool SaveCatalog(const std::string& directory, const Catalog& catalog, std::string& message) {
  std::string classes = kClassHeader + "\n";
  for (const auto& c : catalog.classes) {
    classes += c.name + "\t" + c.description + "\t" + (c.user ? "user" : "shipped") + "\n";
  }
  std::string components = kComponentHeader + "\n";
  for (const auto& c : catalog.components) {
    components += c.className + "\t" + c.name + "\t" + c.synonyms + "\t" + c.formula + "\t" +
                  NumberText(c.enthalpy) + "\t" + NumberText(c.density) + "\t" + c.source +
                  "\t" + (c.user ? "user" : "shipped") + "\n";
  }
  for (const auto& line : catalog.damagedClassLines) classes += line + "\n";
  for (const auto& line : catalog.damagedComponentLines) components += line + "\n";
  if (!WriteAtomically(Join(directory, kClassFile), classes, message)) return false;
  if (!WriteAtomically(Join(directory, kComponentFile), components, message)) return false;
  // Lines of the rewritten tables: header on line 1, entries from line 2 in order.
  Catalog renumbered = catalog;
  for (std::size_t i = 0; i < renumbered.classes.size(); ++i)
    renumbered.classes[i].line = static_cast<int>(i) + 2;
  for (std::size_t i = 0; i < renumbered.components.size(); ++i)
    renumbered.components[i].line = static_cast<int>(i) + 2;
  return RefreshIndexes(directory, renumbered, message);
}

std::vector<int> Search(const Catalog& catalog, const std::string& className,
                        const std::string& query) {
  std::vector<std::string> words;
  {
    std::istringstream in(Fold(query));
    std::string word;
    while (in >> word) words.push_back(word);
  }
  const std::string whole = Fold(Trim(query));
  std::vector<std::pair<int, int>> found;  // (rank, index)
  for (int i = 0; i < static_cast<int>(catalog.components.size()); ++i) {
    const Component& c = catalog.components[i];
    if (!className.empty() && c.className != className) continue;
    const std::string haystack = c.name + " " + c.synonyms + " " + c.formula;
    bool all = true;
    for (const auto& w : words) all = all && Contains(haystack, w);
    if (!all) continue;
    int rank = 2;
    if (!whole.empty()) {
      if (Fold(c.name) == whole || Fold(c.formula) == whole) rank = 0;
      std::istringstream synonyms(c.synonyms);
      std::string synonym;
      while (rank > 0 && std::getline(synonyms, synonym, ';')) {
        if (Fold(Trim(synonym)) == whole) rank = 0;
      }
      if (rank > 0 && Fold(c.name).rfind(whole, 0) == 0) rank = 1;
    }
    found.emplace_back(rank, i);
  }
  std::stable_sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return Fold(catalog.components[a.second].name) < Fold(catalog.components[b.second].name);
  });
  std::vector<int> result;
  for (const auto& f : found) result.push_back(f.second);
  return result;
}

}  // namespace kvilcb
