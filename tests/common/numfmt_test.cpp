#include "common/numfmt.h"
#include "common/numparse.h"
#include "common/interaction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

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

// The report's numbers are rounded as printf rounds the exact value of the double, ties
// to even, whichever way the digits are formed: here against printf itself, on values
// spread over forty decades and on the halves between two roundings (exact ties, and
// the doubles next to them), where a product formed in double precision can round the
// wrong way.
TEST(FixedAndSci, RoundAsPrintfDoes) {
  auto printfFixed = [](double v, int d) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*f", d, v);
    std::string t = buf;
    if (t[0] == '-' && t.find_first_not_of("-0.") == std::string::npos) t.erase(0, 1);
    return t;
  };
  auto printfSci = [](double v, int w) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*e", w - 9, std::fabs(v));
    std::string t = buf;
    const auto e = t.find('e');
    const int exponent = std::stoi(t.substr(e + 1));
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "E%c%04d", exponent < 0 ? '-' : '+', std::abs(exponent));
    std::string out = std::string(v < 0 ? "-" : " ") + t.substr(0, e) + ebuf;
    if (static_cast<int>(out.size()) < w) out.insert(0, w - out.size(), ' ');
    return out;
  };
  auto printfPicture = [](double v) {  // "0.#####e-00"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5e", std::fabs(v));
    std::string t = buf;
    const auto e = t.find('e');
    std::string mantissa = t.substr(0, e);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    const int exponent = std::stoi(t.substr(e + 1));
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "e%s%02d", exponent < 0 ? "-" : "", std::abs(exponent));
    return std::string(v < 0 ? "-" : "") + mantissa + ebuf;
  };
  std::vector<double> values;
  std::mt19937_64 random(24);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> decade(-30, 12);
  for (int i = 0; i < 20000; ++i) {
    const double v = mantissa(random) * std::pow(10.0, decade(random));
    values.push_back(i % 3 == 0 ? -v : v);
  }
  for (double tie : {0.5, 2.5, 0.125, 0.375, 1.0625, 12345.5, 0.00015, 1.000005, 2.675, 9.9999995,
                     9.999995e-3, 99999.95, 6.6666650000000001}) {
    values.push_back(tie);
    values.push_back(std::nextafter(tie, 0.0));
    values.push_back(std::nextafter(tie, 1e300));
  }
  for (double v : values) {
    for (int d : {0, 1, 2, 3, 4, 5, 8, 9})
      ASSERT_EQ(Fixed(v, 0, d), printfFixed(v, d)) << v << " with " << d << " decimals";
    ASSERT_EQ(Sci(v, 12), printfSci(v, 12)) << v;
    ASSERT_EQ(Sci(v, 23), printfSci(v, 23)) << v;
    ASSERT_EQ(FormatPicture(v, "0.#####e-00"), printfPicture(v)) << v;
  }
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
