// The engine's only channel to the person using it.
//
// Every message box, question, progress update and "process pending input" of the
// engine goes through an Interaction.  The Qt windows implement it with real dialogs
// and a progress window; kvil-batch implements it on standard error with scripted
// answers; tests use RecordingInteraction, which records every call and answers
// questions from a script.  The engine never talks to a screen directly, so all of
// it runs headless.
//
// Message texts are passed exactly as the program shows them, leading and trailing
// blanks included; a line break inside a message is '\n'.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace kvil {

enum class MessageKind { Information, Warning, Error, Confirmation, Plain };
// YesNoDefaultNo: Yes and No with No as the default button (Enter and Escape both
// answer No), for a question whose Yes loses data.
enum class Buttons { Ok, YesNo, YesNoCancel, YesNoDefaultNo };
enum class Answer { Ok, Yes, No, Cancel };

// Lower-case name of a message kind ("information", "warning", "error",
// "confirmation", "plain"), as kvil-batch prints it.
const char* MessageKindName(MessageKind kind);

// The four labels of the progress window, set at the start of every solve.
struct ProgressLabels {
  std::string parameter1;     // e.g. "P =     4.00000 MPa"
  std::string parameter2;
  std::string parameterVariant;  // "Parameter variant No 3"
  std::string componentVariant;  // "Component variant No 1"
  int point = 0;                 // chamber point being computed, from 1
  int points = 0;                // chamber points of the run (0 when not known)
};

// "Point 12 of 5000, about 1:05 left" from the point being computed, the points of the
// run and the seconds since the run began (the time left is the average time of the
// points done so far times the points still to do, from half a second on); "Point
// 12 of 5000" before that, "Point 12" when the number of points is not known.
std::string PointProgressText(int point, int points, double secondsSoFar);

class Interaction {
 public:
  virtual ~Interaction() = default;

  // Shows a modal message box and returns the button pressed.  With Buttons::Ok the
  // answer is always Answer::Ok.
  virtual Answer Message(MessageKind kind, const std::string& text,
                         Buttons buttons = Buttons::Ok) = 0;

  // Progress window: shown and hidden by the run, labels and bar set by the solver.
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgressLabels(const ProgressLabels& labels) = 0;
  virtual void SetProgressPosition(int position) = 0;  // 0..100
  // False when SetProgressLabels shows nothing: the solver then does not form the
  // labels (formatting them cost more than a Newton iteration's linear solve).
  virtual bool ShowsProgressLabels() const { return true; }

  // Lets the user interface handle pending input (a STOP click, a repaint).  The
  // run calls it before every solve; a front end without input does nothing.
  virtual void ProcessPendingInput() = 0;

  // Convenience wrappers.
  void Info(const std::string& text) { Message(MessageKind::Information, text); }
  void Warn(const std::string& text) { Message(MessageKind::Warning, text); }
  void Error(const std::string& text) { Message(MessageKind::Error, text); }
  bool AskYesNo(MessageKind kind, const std::string& text) {
    return Message(kind, text, Buttons::YesNo) == Answer::Yes;
  }
  // The same, with No as the default answer.
  bool AskYesNoDefaultNo(MessageKind kind, const std::string& text) {
    return Message(kind, text, Buttons::YesNoDefaultNo) == Answer::Yes;
  }
};

// Test double: records every message and progress call; answers questions from a
// script (first in, first out), falling back to a default answer when the script is
// empty.  A hook may set a cancel flag or similar when ProcessPendingInput runs.
class RecordingInteraction : public Interaction {
 public:
  struct Record {
    MessageKind kind;
    std::string text;
    Buttons buttons;
    Answer answer;
  };

  explicit RecordingInteraction(Answer defaultAnswer = Answer::Yes)
      : defaultAnswer_(defaultAnswer) {}

  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override;
  void ShowProgress(bool visible) override { progressVisible = visible; ++showCalls; }
  void SetProgressLabels(const ProgressLabels& l) override { labels = l; ++labelCalls; }
  void SetProgressPosition(int position) override { progressPosition = position; }
  void ProcessPendingInput() override;

  // Queues answers for the next questions (Yes/No or Yes/No/Cancel boxes).
  void Script(std::initializer_list<Answer> answers) {
    for (Answer a : answers) script_.push_back(a);
  }
  // Called from ProcessPendingInput; return value ignored.
  void OnPendingInput(void (*hook)(void*), void* context) {
    hook_ = hook;
    hookContext_ = context;
  }

  // Texts of all messages so far, in order.
  std::vector<std::string> Texts() const;
  bool Saw(const std::string& text) const;
  void Clear() { messages.clear(); }

  std::vector<Record> messages;
  ProgressLabels labels;
  bool progressVisible = false;
  int progressPosition = 0;
  int showCalls = 0;
  int labelCalls = 0;
  int pendingInputCalls = 0;

 private:
  Answer defaultAnswer_;
  std::deque<Answer> script_;
  void (*hook_)(void*) = nullptr;
  void* hookContext_ = nullptr;
};

}  // namespace kvil
