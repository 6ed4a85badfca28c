#include "app/batch_interaction.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/binio.h"
#include "core/point_log.h"

namespace kvil {

std::string BatchMessageLine(MessageKind kind, const std::string& text) {
  return MessageLine(kind, text);
}

Answer BatchInteraction::Message(MessageKind kind, const std::string& text, Buttons buttons) {
  ++counts_[static_cast<int>(kind)];
  std::fprintf(out_, "%s\n", BatchMessageLine(kind, text).c_str());
  std::fflush(out_);
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (buttons != Buttons::YesNoCancel && defaultAnswer_ == Answer::Cancel) return Answer::No;
  return defaultAnswer_ == Answer::Ok ? Answer::Yes : defaultAnswer_;
}

bool TaskDatafileReadable(Interaction& ui, const std::string& path) {
  // A directory, a FIFO or a device is refused before it is opened: opening a FIFO
  // would wait for a writer.
  std::string reason;
  std::FILE* f = nullptr;
  if (IsRegularFile(path, &reason)) {
    f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) reason = std::strerror(errno);
  }
  if (f == nullptr) {
    ui.Message(MessageKind::Error, "Cannot open the task datafile " + path + ": " + reason,
               Buttons::Ok);
    return false;
  }
  std::fclose(f);
  return true;
}

}  // namespace kvil
