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
  // The text waits in pending_ until a flush or until it fills kPendingBytes (blocks of
  // a run are written a quarter of a second's worth at a time, FlushBlock).  Its pages
  // are touched here, not line by line (a page fault costs as much as a system call).
  if (pending_.capacity() < kPendingBytes) pending_.assign(kPendingBytes, ' ');
  pending_.clear();
  flushed_ = std::chrono::steady_clock::now();
  return file_ != nullptr;
}

void ReportFile::Close() {
  openInMemory_ = false;
  holdBlocks_ = false;
  if (file_) {
    WritePending();
    errno = 0;
    if (std::fclose(file_) != 0) Fail();
    file_ = nullptr;
  }
}

void ReportFile::Write(const std::string& text) {
  if (openInMemory_) {
    if (keepText_) text_ += text;
    return;
  }
  if (!file_) {
    Fail();
    return;
  }
  pending_ += text;
  if (pending_.size() >= kPendingBytes) WritePending();
}

void ReportFile::Line(const std::string& text) {
  Write(text);
  if (openInMemory_ && keepText_) text_ += "\r\n";
  if (file_) pending_ += "\r\n";
}

void ReportFile::WritePending() {
  if (!file_ || pending_.empty()) return;
  errno = 0;
  if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) Fail();
  pending_.clear();
}

void ReportFile::Flush() {
  flushed_ = std::chrono::steady_clock::now();
  WritePending();
  errno = 0;
  if (file_ && std::fflush(file_) != 0) Fail();
}

void ReportFile::FlushBlock() {
  if (!file_) return;
  if (!holdBlocks_ || std::chrono::steady_clock::now() - flushed_ >= kReportFlushInterval) Flush();
}

}  // namespace kvil
