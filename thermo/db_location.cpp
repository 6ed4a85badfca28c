#include "thermo/db_location.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "common/binio.h"

namespace kvil {

namespace fs = std::filesystem;

namespace {
fs::path Dir(const std::string& workingDir) {
  return workingDir.empty() ? fs::path(".") : fs::path(workingDir);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool TryOpen(SpeciesDatabase& db, const std::string& dir, DatabaseSource source,
             DatabaseLocation& out) {
  if (!db.Open(dir)) return false;
  out.found = true;
  out.source = source;
  out.directory = dir;
  return true;
}
}  // namespace

std::string PathFilePath(const std::string& workingDir) {
  const fs::path dir = Dir(workingDir);
  const fs::path exact = dir / kPathFileName;
  std::error_code ec;
  if (fs::exists(exact, ec)) return exact.string();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (Lower(it->path().filename().string()) == kPathFileName) return it->path().string();
  }
  return exact.string();
}

std::string ReadPathFile(const std::string& workingDir) {
  std::string text;
  if (!ReadWholeFile(PathFilePath(workingDir), text)) return {};
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.erase(end);
  return text;
}

std::string ResolveDatabaseDirectory(const std::string& line, const std::string& workingDir) {
  std::string dir = line;
#ifndef _WIN32
  // Path files written on Windows separate with '\'.
  std::replace(dir.begin(), dir.end(), '\\', '/');
#endif
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  if (dir.empty()) return {};
  fs::path p(dir);
  if (p.is_relative() && !workingDir.empty()) p = fs::path(workingDir) / p;
  return p.string();
}

std::vector<std::string> ShippedDatabaseDirectories(const std::string& executablePath) {
  if (executablePath.empty()) return {};
  const fs::path exeDir = fs::path(executablePath).parent_path();
  return {(exeDir / "db").string(),
          (exeDir / ".." / "share" / "kvil" / "db").lexically_normal().string()};
}

DatabaseLocation LocateSpeciesDatabase(SpeciesDatabase& db, const std::string& workingDir,
                                       const std::string& executablePath) {
  DatabaseLocation loc;
  const std::string line = ReadPathFile(workingDir);
  const std::string fromFile = ResolveDatabaseDirectory(line, workingDir);
  if (!fromFile.empty()) {
    if (TryOpen(db, fromFile, DatabaseSource::PathFile, loc)) return loc;
  } else if (TryOpen(db, workingDir, DatabaseSource::WorkingDirectory, loc)) {
    return loc;
  }
  for (const std::string& dir : ShippedDatabaseDirectories(executablePath))
    if (TryOpen(db, dir, DatabaseSource::Shipped, loc)) return loc;
  return loc;
}

std::string WithTrailingSeparator(const std::string& directory) {
  if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) return directory;
  return directory + "/";
}

bool WritePathFile(const std::string& workingDir, const std::string& directory,
                   std::string* error) {
  const std::string line = WithTrailingSeparator(directory) + "\r\n";
  return WriteFileAtomically(PathFilePath(workingDir), line, error);
}

bool AcceptChosenDatabase(SpeciesDatabase& db, const std::string& workingDir,
                          const std::string& chosenFile, std::string* error) {
  if (error) error->clear();
  const std::string dir = fs::path(chosenFile).parent_path().string();
  if (!db.Open(dir)) return false;
  WritePathFile(workingDir, dir, error);
  return true;
}

std::string CurrentExecutablePath() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

}  // namespace kvil
