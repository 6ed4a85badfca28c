#include "common/interaction.h"

#include <algorithm>
#include <cstdio>

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

std::string PointProgressText(int point, int points, double secondsSoFar) {
  std::string text = "Point " + std::to_string(point);
  if (points <= 0 || point > points) return text;
  text += " of " + std::to_string(points);
  const int done = point - 1;
  if (done < 1 || !(secondsSoFar >= 0.5)) return text;
  const double left = secondsSoFar / done * (points - done);
  if (!(left < 1e7)) return text;
  long long s = static_cast<long long>(left + 0.5);
  char buffer[40];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", s / 60, s % 60);
  return text + ", about " + buffer + " left";
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
