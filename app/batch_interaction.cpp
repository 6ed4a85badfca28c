#include "app/batch_interaction.h"

namespace kvil {

std::string BatchMessageLine(MessageKind kind, const std::string& text) {
  std::string line = std::string(MessageKindName(kind)) + ": ";
  for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
  return line;
}

Answer BatchInteraction::Message(MessageKind kind, const std::string& text, Buttons buttons) {
  ++counts_[static_cast<int>(kind)];
  std::fprintf(out_, "%s\n", BatchMessageLine(kind, text).c_str());
  std::fflush(out_);
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (buttons == Buttons::YesNo && defaultAnswer_ == Answer::Cancel) return Answer::No;
  return defaultAnswer_ == Answer::Ok ? Answer::Yes : defaultAnswer_;
}

}  // namespace kvil
