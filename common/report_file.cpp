#include "common/report_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/binio.h"

namespace kvil {

void ReportFile::Fail() {
  if (!failed_ && error_.empty()) error_ = errno != 0 ? std::strerror(errno) : "write error";
  failed_ = true;
}

bool ReportFile::Open(const std::string& path) {
  Close();
  path_ = path;
  if (inMemory_) {
    openInMemory_ = true;
    return true;
  }
  // A report that is there must be a regular file: opening a FIFO would block the run.
  std::error_code ec;
  std::string reason;
  if (std::filesystem::exists(path, ec) && !IsRegularFile(path, &reason)) {
    if (!failed_) error_ = reason;
    failed_ = true;
    return false;
  }
  errno = 0;
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) Fail();
  return file_ != nullptr;
}

void ReportFile::Close() {
  openInMemory_ = false;
  if (file_) {
    errno = 0;
    if (std::fclose(file_) != 0) Fail();
    file_ = nullptr;
  }
}

void ReportFile::Write(const std::string& text) {
  if (openInMemory_) {
    text_ += text;
    return;
  }
  if (!file_) {
    Fail();
    return;
  }
  errno = 0;
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) Fail();
}

void ReportFile::Line(const std::string& text) {
  Write(text);
  if (openInMemory_) text_ += "\r\n";
  errno = 0;
  if (file_ && std::fwrite("\r\n", 1, 2, file_) != 2) Fail();
}

void ReportFile::Flush() {
  errno = 0;
  if (file_ && std::fflush(file_) != 0) Fail();
}

}  // namespace kvil
