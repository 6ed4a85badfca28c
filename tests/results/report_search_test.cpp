#include "results/report_search.h"

#include <gtest/gtest.h>

#include "common/interaction.h"

namespace kvil {
namespace {

TEST(ReportSearchTest, FindsFromTheLineAfterTheTopOneWithoutWrapping) {
  const std::vector<std::string> lines{"T = 3000 K", "CO2  0.1", "H2O  0.2", "CO2  0.3"};
  RecordingInteraction ui;
  EXPECT_EQ(SearchReport(lines, 0, "CO2", ui), 1);
  EXPECT_EQ(SearchReport(lines, 1, "CO2", ui), 3);
  EXPECT_TRUE(ui.messages.empty());
  // From the last match on, nothing below holds it: no wrap to the top.
  EXPECT_EQ(SearchReport(lines, 3, "CO2", ui), -1);
  EXPECT_EQ(SearchReport(lines, 0, "co2", ui), -1);  // case-sensitive
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "\"CO2\" not found");
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
}

TEST(ReportSearchTest, AnEmptyOrBlankTextIsMissing) {
  RecordingInteraction ui;
  EXPECT_EQ(SearchReport({"a"}, -1, " ", ui), -1);
  EXPECT_EQ(SearchReport({"a"}, -1, "", ui), -1);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "Text to find is missing !");
  EXPECT_EQ(ui.messages[1].kind, MessageKind::Plain);
  EXPECT_TRUE(SearchTextUsable("  x"));
  EXPECT_FALSE(SearchTextUsable(" "));
}

}  // namespace
}  // namespace kvil
