// The Interaction of kvil-batch: every message goes to standard error as one line,
// "<kind>: <text>" (kind in lower case, line breaks inside the text written as
// blanks); questions are answered with a configurable default (Yes); progress and
// pending input are ignored.
#pragma once

#include <cstdio>

#include "common/interaction.h"

namespace kvil {

// Exit status of kvil-batch: the work was done; a message refused it; bad usage or an
// unreadable file.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

class BatchInteraction : public Interaction {
 public:
  explicit BatchInteraction(std::FILE* out = stderr, Answer defaultAnswer = Answer::Yes)
      : out_(out), defaultAnswer_(defaultAnswer) {}

  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override;
  void ShowProgress(bool) override {}
  void SetProgressLabels(const ProgressLabels&) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingInput() override {}
  bool ShowsProgressLabels() const override { return false; }

  void SetDefaultAnswer(Answer answer) { defaultAnswer_ = answer; }
  // Number of messages of each kind written so far.
  int Count(MessageKind kind) const { return counts_[static_cast<int>(kind)]; }

 private:
  std::FILE* out_;
  Answer defaultAnswer_;
  int counts_[5] = {0, 0, 0, 0, 0};
};

// True when the task datafile can be opened for reading; otherwise shows
// "Cannot open the task datafile <path>: <reason>" as an error.
bool TaskDatafileReadable(Interaction& ui, const std::string& path);

// The one-line form of a message: "<kind>: <text>" with '\n' and '\r' as blanks.
std::string BatchMessageLine(MessageKind kind, const std::string& text);

}  // namespace kvil
