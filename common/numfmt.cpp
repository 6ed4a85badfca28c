#include "common/numfmt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kvil {

namespace {

// Splits a picture into the mantissa part and the exponent part.
struct Picture {
  int intZeros = 0;        // '0' placeholders before the point
  int intPlaces = 0;       // '0' and '#' placeholders before the point
  bool thousands = false;  // ',' among the integer placeholders
  int fracZeros = 0;       // '0' placeholders after the point
  int fracPlaces = 0;      // '0' and '#' placeholders after the point
  bool hasPoint = false;
  bool scientific = false;
  char expChar = 'e';
  bool expAlwaysSign = false;
  int expDigits = 0;
  std::string prefix, middle, suffix;  // literal text around the number
};

Picture ParsePicture(const std::string& p) {
  Picture pic;
  size_t i = 0;
  const size_t n = p.size();
  auto isPlace = [](char c) { return c == '0' || c == '#'; };
  // Literal prefix up to the first placeholder or point.
  while (i < n && !isPlace(p[i]) && p[i] != '.' && p[i] != ',') pic.prefix += p[i++];
  // Integer placeholders.
  while (i < n && (isPlace(p[i]) || p[i] == ',')) {
    if (p[i] == ',') pic.thousands = true;
    else {
      ++pic.intPlaces;
      if (p[i] == '0') ++pic.intZeros;
    }
    ++i;
  }
  if (i < n && p[i] == '.') {
    pic.hasPoint = true;
    ++i;
    while (i < n && isPlace(p[i])) {
      ++pic.fracPlaces;
      if (p[i] == '0') ++pic.fracZeros;
      ++i;
    }
  }
  // Literal text, then an optional exponent.
  while (i < n) {
    char c = p[i];
    if ((c == 'e' || c == 'E') && i + 1 < n && (p[i + 1] == '+' || p[i + 1] == '-')) {
      pic.scientific = true;
      pic.expChar = c;
      pic.expAlwaysSign = p[i + 1] == '+';
      i += 2;
      while (i < n && isPlace(p[i])) {
        if (p[i] == '0') ++pic.expDigits;
        ++i;
      }
      while (i < n) pic.suffix += p[i++];
      break;
    }
    pic.middle += c;
    ++i;
  }
  if (pic.expDigits == 0 && pic.scientific) pic.expDigits = 1;
  return pic;
}

std::string GroupThousands(const std::string& digits) {
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count > 0 && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return out;
}

// Renders |value| with `decimals` decimals, then trims optional trailing zeros.
// Returns integer digits and fraction digits separately.
void FixedParts(double absValue, const Picture& pic, std::string& intPart,
                std::string& fracPart) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", pic.fracPlaces, absValue);
  std::string s = buf;
  size_t dot = s.find('.');
  intPart = dot == std::string::npos ? s : s.substr(0, dot);
  fracPart = dot == std::string::npos ? "" : s.substr(dot + 1);
  while (static_cast<int>(fracPart.size()) > pic.fracZeros && !fracPart.empty() &&
         fracPart.back() == '0')
    fracPart.pop_back();
  // Integer part: drop a lone leading zero when no '0' placeholder asks for it,
  // pad with zeros up to the number of '0' placeholders.
  if (intPart == "0" && pic.intZeros == 0) intPart.clear();
  while (static_cast<int>(intPart.size()) < pic.intZeros) intPart.insert(intPart.begin(), '0');
}

}  // namespace

std::string FormatPicture(double value, const std::string& pattern) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  Picture pic = ParsePicture(pattern);
  bool negative = value < 0;
  double a = std::fabs(value);
  std::string intPart, fracPart, expText;
  if (pic.scientific) {
    int exponent = 0;
    if (a != 0) {
      // Mantissa with one integer digit; rounding may carry to 10.
      int digitsBefore = pic.intPlaces > 0 ? pic.intPlaces : 1;
      exponent = static_cast<int>(std::floor(std::log10(a))) - (digitsBefore - 1);
      double m = a / std::pow(10.0, exponent);
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.*f", pic.fracPlaces, m);
      if (std::atof(buf) >= std::pow(10.0, digitsBefore)) {
        ++exponent;
        m = a / std::pow(10.0, exponent);
      } else if (std::atof(buf) < std::pow(10.0, digitsBefore - 1)) {
        --exponent;
        m = a / std::pow(10.0, exponent);
      }
      FixedParts(m, pic, intPart, fracPart);
    } else {
      FixedParts(0.0, pic, intPart, fracPart);
    }
    if (intPart.empty() && fracPart.empty()) intPart = "0";
    char ebuf[32];
    std::snprintf(ebuf, sizeof ebuf, "%0*d", pic.expDigits, std::abs(exponent));
    expText = std::string(1, pic.expChar);
    if (exponent < 0) expText += '-';
    else if (pic.expAlwaysSign) expText += '+';
    expText += ebuf;
  } else {
    FixedParts(a, pic, intPart, fracPart);
    if (intPart.empty() && fracPart.empty()) intPart = "0";
    if (pic.thousands) intPart = GroupThousands(intPart);
  }
  bool zero = intPart.find_first_not_of("0,") == std::string::npos &&
              fracPart.find_first_not_of('0') == std::string::npos;
  std::string out = pic.prefix;
  if (negative && !zero) out += '-';
  out += intPart;
  if (!fracPart.empty()) out += '.' + fracPart;
  out += pic.middle;
  out += expText;
  out += pic.suffix;
  return out;
}

std::string Sci(double value, int width) {
  int significant = width - 8;
  if (significant < 2) significant = 2;
  if (significant > 18) significant = 18;
  if (std::isnan(value) || std::isinf(value)) return PadLeft(std::isnan(value) ? "NAN" : "INF", width);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*E", significant - 1, std::fabs(value));
  // buf: d.ddddE+xx  -> rewrite exponent with four digits
  std::string s = buf;
  size_t e = s.find('E');
  std::string mant = s.substr(0, e);
  int exponent = std::atoi(s.c_str() + e + 1);
  char ebuf[16];
  std::snprintf(ebuf, sizeof ebuf, "%c%04d", exponent < 0 ? '-' : '+', std::abs(exponent));
  std::string out = (value < 0 ? "-" : " ") + mant + "E" + ebuf;
  return PadLeft(out, width);
}

std::string Fixed(double value, int width, int decimals) {
  if (std::isnan(value) || std::isinf(value) || std::fabs(value) >= 1e36) return Sci(value, width);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s = buf;
  // "-0.000" is written without its sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return PadLeft(s, width);
}

std::string FormatExp23(double value) { return Sci(value, 23); }

std::string PadLeft(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  return std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  return text + std::string(width - text.size(), ' ');
}

std::string IntText(long long value) { return std::to_string(value); }

}  // namespace kvil
