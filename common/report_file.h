// The results report file (task name + ".txt"), open for appending during a run.
//
// Every writer of the report (the report writer, the solver's notes, the EOS lines,
// the run's heat-of-combustion line) writes through the one ReportFile of the
// Session.  Lines end with CR LF.  Flush() hands what was written so far to the system,
// so that a partly written report can be read while a long run goes on; the file stays
// open until Close().  A failed
// open, write or flush sets failed(); the run then ends with "Calculation failed !".
//
// Kept in memory (KeepInMemory), the report is not a file: Open only starts writing,
// whatever the path, and every line goes to a text the caller reads with text().  The
// Python package runs tasks so, without files.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace kvil {

inline constexpr std::chrono::milliseconds kReportFlushInterval{250};

class ReportFile {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile() { Close(); }

  // Opens `path` for appending (creating it when missing).
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr || openInMemory_; }
  void Close();
  // Writes text without a line end.
  void Write(const std::string& text);
  // Writes text and CR LF.
  void Line(const std::string& text = std::string());
  void Flush();
  // The end of a point block: Flush, at once, or while a run holds its blocks, when
  // kReportFlushInterval has passed since the last flush.  A reader of the file during
  // a run then sees the points up to a quarter of a second back; a flush per point cost
  // a system call, as much as the brief report of the point.
  void FlushBlock();
  // Set by a run for its duration (Close ends it).
  void HoldBlocks(bool hold) { holdBlocks_ = hold; }
  bool failed() const { return failed_; }
  void ClearFailure() {
    failed_ = false;
    error_.clear();
  }
  const std::string& path() const { return path_; }
  // Why the first failure since ClearFailure happened ("Permission denied"); empty
  // while nothing failed.
  const std::string& error() const { return error_; }

  // Switches to (true) or from (false) a report kept in memory; the text is emptied.
  // With keepText false the report is written nowhere: the lines are formed as for a
  // file and dropped (a caller that wants the results and not the report).
  void KeepInMemory(bool inMemory, bool keepText = true) {
    Close();
    inMemory_ = inMemory;
    keepText_ = keepText;
    text_.clear();
  }
  void KeepText(bool keepText) { keepText_ = keepText; }
  bool InMemory() const { return inMemory_; }
  const std::string& text() const { return text_; }
  void ClearText() { text_.clear(); }

 private:
  void Fail();

  void WritePending();
  static constexpr std::size_t kPendingBytes = 1 << 16;

  std::FILE* file_ = nullptr;
  std::string pending_;  // text written and not yet handed to the stream
  bool holdBlocks_ = false;
  std::chrono::steady_clock::time_point flushed_;
  bool inMemory_ = false;
  bool openInMemory_ = false;
  std::string text_;  // the report kept in memory
  bool keepText_ = true;
  std::string path_;
  bool failed_ = false;
  std::string error_;
};

}  // namespace kvil
