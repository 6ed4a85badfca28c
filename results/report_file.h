// The results report file (task name + ".txt"), open for appending during a run.
//
// Every writer of the report (the report writer, the solver's notes, the EOS lines,
// the run's heat-of-combustion line) writes through the one ReportFile of the
// Session.  Lines end with CR LF.  Flush() hands what was written so far to the system,
// so that a partly written report can be read while a long run goes on; the file stays
// open until Close().  A failed
// open, write or flush sets failed(); the run then ends with "Calculation failed !".
#pragma once

#include <cstdio>
#include <string>

namespace kvil {

class ReportFile {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile() { Close(); }

  // Opens `path` for appending (creating it when missing).
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();
  // Writes text without a line end.
  void Write(const std::string& text);
  // Writes text and CR LF.
  void Line(const std::string& text = std::string());
  void Flush();
  bool failed() const { return failed_; }
  void ClearFailure() {
    failed_ = false;
    error_.clear();
  }
  const std::string& path() const { return path_; }
  // Why the first failure since ClearFailure happened ("Permission denied"); empty
  // while nothing failed.
  const std::string& error() const { return error_; }

 private:
  void Fail();

  std::FILE* file_ = nullptr;
  std::string path_;
  bool failed_ = false;
  std::string error_;
};

}  // namespace kvil
