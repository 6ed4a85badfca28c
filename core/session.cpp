#include "core/session.h"

#include <filesystem>

namespace kvil {

namespace {
std::string Companion(const std::string& datafilePath, const std::string& taskName,
                      const char* ext) {
  if (datafilePath.empty()) return taskName + ext;
  std::filesystem::path p(datafilePath);
  p.replace_extension(ext);
  return p.string();
}
}  // namespace

std::string Session::ReportPath() const { return Companion(datafilePath, task.name, ".txt"); }
std::string Session::TablePath() const { return Companion(datafilePath, task.name, ".rst"); }
std::string Session::TableExtensionPath() const {
  return Companion(datafilePath, task.name, ".rsx");
}
std::string Session::SpeciesListPath() const {
  return Companion(datafilePath, task.name, ".tdf");
}

}  // namespace kvil
