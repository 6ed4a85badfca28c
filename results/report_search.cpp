#include "results/report_search.h"

#include "common/interaction.h"

namespace kvil {

bool SearchTextUsable(const std::string& text) { return text > std::string(" "); }

int SearchReport(const std::vector<std::string>& lines, int topLine, const std::string& text,
                 Interaction& ui) {
  if (!SearchTextUsable(text)) {
    ui.Message(MessageKind::Plain, kTextToFindMissing);
    return -1;
  }
  for (int i = topLine < 0 ? 0 : topLine + 1; i < static_cast<int>(lines.size()); ++i)
    if (lines[i].find(text) != std::string::npos) return i;
  ui.Info("\"" + text + "\" not found");
  return -1;
}

}  // namespace kvil
