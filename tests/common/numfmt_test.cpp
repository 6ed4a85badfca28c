#include "common/numfmt.h"
#include "common/numparse.h"
#include "common/interaction.h"

#include <gtest/gtest.h>

namespace kvil {
namespace {

TEST(FormatPicture, FixedPatternsDropOptionalZeros) {
  EXPECT_EQ(FormatPicture(1.5, "0.###"), "1.5");
  EXPECT_EQ(FormatPicture(2.0, "0.###"), "2");
  EXPECT_EQ(FormatPicture(0.00012345, "0.######"), "0.000123");
  EXPECT_EQ(FormatPicture(-4650.1, "0.###"), "-4650.1");
  EXPECT_EQ(FormatPicture(0.0004, "0.###"), "0");
  EXPECT_EQ(FormatPicture(-0.0004, "0.###"), "0");
  EXPECT_EQ(FormatPicture(1.5, "0.0##"), "1.5");
  EXPECT_EQ(FormatPicture(2.0, "0.0##"), "2.0");
  EXPECT_EQ(FormatPicture(1500.0, "0.#"), "1500");
  EXPECT_EQ(FormatPicture(1234567.891, "#,##0.###"), "1,234,567.891");
  EXPECT_EQ(FormatPicture(12.0, "#,##0.###"), "12");
  EXPECT_EQ(FormatPicture(0.5, "#,##0.###"), "0.5");
}

TEST(FormatPicture, ScientificPatterns) {
  EXPECT_EQ(FormatPicture(0.0, "0.#####e-00"), "0e00");
  EXPECT_EQ(FormatPicture(1.5e-7, "0.#####e-00"), "1.5e-07");
  EXPECT_EQ(FormatPicture(123456.0, "0.#####e-00"), "1.23456e05");
  EXPECT_EQ(FormatPicture(9.999999, "0.###e+00"), "1e+01");
  EXPECT_EQ(FormatPicture(-2.5e-3, "0.####e-00"), "-2.5e-03");
  EXPECT_EQ(FormatPicture(3.2e-5, "0.###e+00"), "3.2e-05");
}

TEST(FixedAndSci, FieldsAreExact) {
  EXPECT_EQ(Fixed(3.14159, 12, 5), "     3.14159");
  EXPECT_EQ(Fixed(-1.0, 8, 4), " -1.0000");
  EXPECT_EQ(Fixed(-0.00001, 8, 2), "    0.00");
  EXPECT_EQ(Fixed(123456789.0, 5, 1), "123456789.0");
  EXPECT_EQ(Sci(1234.5678, 12), " 1.235E+0003");
  EXPECT_EQ(Sci(-2e-5, 12), "-2.000E-0005");
  EXPECT_EQ(Sci(0.0, 12), " 0.000E+0000");
  EXPECT_EQ(FormatExp23(3.42833776731685), " 3.42833776731685E+0000");
  EXPECT_EQ(FormatExp23(-4650.1), "-4.65010000000000E+0003");
  EXPECT_EQ(FormatExp23(0.0), " 0.00000000000000E+0000");
  EXPECT_EQ(Fixed(1e40, 12, 3), Sci(1e40, 12));
}

TEST(ParseNumber, CommaAndFailures) {
  RecordingInteraction ui;
  double v = 0;
  EXPECT_TRUE(ParseNumber("1,5", v, ui));
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_FALSE(ParseNumber("1,5,7", v, ui));
  EXPECT_TRUE(ui.Saw("Invalid number: 1,5,7"));
  EXPECT_TRUE(ParseNumber("  -2.5E+3", v, ui));
  EXPECT_DOUBLE_EQ(v, -2500.0);
  EXPECT_FALSE(TryParseNumber("").has_value());
  EXPECT_FALSE(TryParseNumber("e5").has_value());
  EXPECT_FALSE(TryParseNumber("5e").has_value());
  EXPECT_FALSE(TryParseNumber("12abc").has_value());
  EXPECT_TRUE(TryParseNumber(".5").has_value());
}

}  // namespace
}  // namespace kvil
