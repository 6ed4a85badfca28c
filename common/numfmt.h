// Number renderings used in every text the program writes for the user.
//
// One implementation each, used everywhere:
//  - FormatPicture: picture patterns such as "0.###", "0.#####e-00", "#,##0.###",
//    "0.###e+00".  '0' is a mandatory digit, '#' an optional one (trailing zeros of
//    the fraction are dropped, and the point with them), ',' in the integer part asks
//    for thousands separators, "e-00"/"e+00" (or "E-00"/"E+00") give a scientific
//    form whose exponent has at least as many digits as zeros follow the sign; with
//    "-" the sign is written only for negative exponents, with "+" always.  Any other
//    character is copied literally.  The decimal separator is '.'.
//  - Fixed(v, w, d): fixed point with exactly d decimals, right-aligned in w, never
//    truncated; magnitudes of 1e36 and above fall back to Sci(v, w).
//  - Sci(v, w): one sign position (blank or '-'), one digit, '.', w-9 digits, 'E',
//    exponent sign, four exponent digits; w-8 significant digits (at least 2, at most
//    18).  Sci(v, 12) is " 1.235E+0003".
//  - FormatExp23(v): the 23-character exponent form of the task datafile and of the
//    virial EOS report lines (= Sci(v, 23), 15 significant digits).
//  - PadLeft / PadRight: right- or left-align a text in a field, never truncating.
//
// A picture used for many numbers is parsed once into a NumberPicture, whose Append
// writes a number to the end of a text without temporary strings.
#pragma once

#include <string>
#include <string_view>

namespace kvil {

class NumberPicture {
 public:
  explicit NumberPicture(std::string_view pattern);
  void Append(std::string& out, double value) const;
  std::string Format(double value) const {
    std::string out;
    Append(out, value);
    return out;
  }

 private:
  int intZeros_ = 0;        // '0' placeholders before the point
  int intPlaces_ = 0;       // '0' and '#' placeholders before the point
  bool thousands_ = false;  // ',' among the integer placeholders
  int fracZeros_ = 0;       // '0' placeholders after the point
  int fracPlaces_ = 0;      // '0' and '#' placeholders after the point
  bool scientific_ = false;
  char expChar_ = 'e';
  bool expAlwaysSign_ = false;
  int expDigits_ = 0;
  std::string prefix_, middle_, suffix_;  // literal text around the number
};

std::string FormatPicture(double value, const std::string& pattern);
std::string Fixed(double value, int width, int decimals);
std::string Sci(double value, int width);
std::string FormatExp23(double value);
std::string PadLeft(const std::string& text, int width);
std::string PadRight(const std::string& text, int width);
// Decimal integer, no padding.
std::string IntText(long long value);

}  // namespace kvil
