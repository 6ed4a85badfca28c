#include "results/report_file.h"

namespace kvil {

bool ReportFile::Open(const std::string& path) {
  Close();
  path_ = path;
  if (inMemory_) {
    openInMemory_ = true;
    return true;
  }
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) failed_ = true;
  return file_ != nullptr;
}

void ReportFile::Close() {
  openInMemory_ = false;
  if (file_) {
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
}

void ReportFile::Write(const std::string& text) {
  if (openInMemory_) {
    text_ += text;
    return;
  }
  if (!file_) {
    failed_ = true;
    return;
  }
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size())
    failed_ = true;
}

void ReportFile::Line(const std::string& text) {
  Write(text);
  if (openInMemory_) text_ += "\r\n";
  if (file_ && std::fwrite("\r\n", 1, 2, file_) != 2) failed_ = true;
}

void ReportFile::Flush() {
  if (file_ && std::fflush(file_) != 0) failed_ = true;
}

}  // namespace kvil
