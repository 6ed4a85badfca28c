#include "common/interaction.h"

#include <algorithm>

namespace kvil {

const char* MessageKindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information: return "information";
    case MessageKind::Warning: return "warning";
    case MessageKind::Error: return "error";
    case MessageKind::Confirmation: return "confirmation";
    case MessageKind::Plain: return "plain";
  }
  return "message";
}

Answer RecordingInteraction::Message(MessageKind kind, const std::string& text,
                                     Buttons buttons) {
  Answer answer = Answer::Ok;
  if (buttons != Buttons::Ok) {
    if (!script_.empty()) {
      answer = script_.front();
      script_.pop_front();
    } else {
      answer = defaultAnswer_;
    }
    if (buttons != Buttons::YesNoCancel && answer == Answer::Cancel) answer = Answer::No;
  }
  messages.push_back({kind, text, buttons, answer});
  return answer;
}

void RecordingInteraction::ProcessPendingInput() {
  ++pendingInputCalls;
  if (hook_) hook_(hookContext_);
}

std::vector<std::string> RecordingInteraction::Texts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

bool RecordingInteraction::Saw(const std::string& text) const {
  return std::any_of(messages.begin(), messages.end(),
                     [&](const Record& r) { return r.text == text; });
}

}  // namespace kvil
