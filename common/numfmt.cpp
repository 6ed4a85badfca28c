#include "common/numfmt.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kvil {

namespace {

// "%.*f" of a finite value into buf: to_chars renders exactly as printf does.
int FixedChars(char* buf, int size, double value, int decimals) {
  const auto r = std::to_chars(buf, buf + size, value, std::chars_format::fixed, decimals);
  if (r.ec == std::errc()) return static_cast<int>(r.ptr - buf);
  return std::snprintf(buf, size, "%.*f", decimals, value);
}

constexpr int kBufSize = 512;

// The digits of |value| with `decimals` decimals, split at the point, optional trailing
// zeros of the fraction dropped down to `fracZeros`.
struct FixedDigits {
  char buf[kBufSize];
  const char* intBegin;
  int intLen;
  const char* fracBegin;
  int fracLen;
};

void SplitFixed(FixedDigits& d, double absValue, int decimals, int fracZeros) {
  const int len = std::min(FixedChars(d.buf, kBufSize, absValue, decimals), kBufSize - 1);
  int dot = 0;
  while (dot < len && d.buf[dot] != '.') ++dot;
  d.intBegin = d.buf;
  d.intLen = dot;
  d.fracBegin = dot < len ? d.buf + dot + 1 : d.buf + len;
  d.fracLen = dot < len ? len - dot - 1 : 0;
  while (d.fracLen > fracZeros && d.fracBegin[d.fracLen - 1] == '0') --d.fracLen;
}

}  // namespace

NumberPicture::NumberPicture(std::string_view p) {
  size_t i = 0;
  const size_t n = p.size();
  auto isPlace = [](char c) { return c == '0' || c == '#'; };
  // Literal prefix up to the first placeholder or point.
  while (i < n && !isPlace(p[i]) && p[i] != '.' && p[i] != ',') prefix_ += p[i++];
  // Integer placeholders.
  while (i < n && (isPlace(p[i]) || p[i] == ',')) {
    if (p[i] == ',') {
      thousands_ = true;
    } else {
      ++intPlaces_;
      if (p[i] == '0') ++intZeros_;
    }
    ++i;
  }
  if (i < n && p[i] == '.') {
    ++i;
    while (i < n && isPlace(p[i])) {
      ++fracPlaces_;
      if (p[i] == '0') ++fracZeros_;
      ++i;
    }
  }
  // Literal text, then an optional exponent.
  while (i < n) {
    const char c = p[i];
    if ((c == 'e' || c == 'E') && i + 1 < n && (p[i + 1] == '+' || p[i + 1] == '-')) {
      scientific_ = true;
      expChar_ = c;
      expAlwaysSign_ = p[i + 1] == '+';
      i += 2;
      while (i < n && isPlace(p[i])) {
        if (p[i] == '0') ++expDigits_;
        ++i;
      }
      suffix_.append(p.substr(i));
      break;
    }
    middle_ += c;
    ++i;
  }
  if (expDigits_ == 0 && scientific_) expDigits_ = 1;
}

void NumberPicture::Append(std::string& out, double value) const {
  if (std::isnan(value)) {
    out += "NAN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  const bool negative = value < 0;
  const double a = std::fabs(value);
  FixedDigits d;
  int exponent = 0;
  if (scientific_) {
    double m = 0.0;
    if (a != 0 && intPlaces_ <= 1) {
      // One digit before the point: the shortest way is the library's own scientific
      // form, correctly rounded, "d.ddddde-xx".
      const auto r = std::to_chars(d.buf, d.buf + kBufSize - 1, a, std::chars_format::scientific,
                                   fracPlaces_);
      const char* e = d.buf;
      while (e < r.ptr && *e != 'e') ++e;
      d.intBegin = d.buf;
      d.intLen = 1;
      d.fracBegin = d.buf + 2;
      d.fracLen = d.buf[1] == '.' ? static_cast<int>(e - d.buf) - 2 : 0;
      while (d.fracLen > fracZeros_ && d.fracBegin[d.fracLen - 1] == '0') --d.fracLen;
      std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
    } else if (a != 0) {
      // Mantissa with intPlaces integer digits; rounding may carry to the next power.
      const int digitsBefore = intPlaces_ > 0 ? intPlaces_ : 1;
      exponent = static_cast<int>(std::floor(std::log10(a))) - (digitsBefore - 1);
      m = a / std::pow(10.0, exponent);
      SplitFixed(d, m, fracPlaces_, fracPlaces_);
      int significant = d.intLen;
      for (int k = 0; k < d.intLen && d.intBegin[k] == '0'; ++k) --significant;
      if (significant != digitsBefore) {
        exponent += significant > digitsBefore ? 1 : -1;
        m = a / std::pow(10.0, exponent);
        SplitFixed(d, m, fracPlaces_, fracZeros_);
      } else {
        while (d.fracLen > fracZeros_ && d.fracBegin[d.fracLen - 1] == '0') --d.fracLen;
      }
    } else {
      SplitFixed(d, m, fracPlaces_, fracZeros_);
    }
  } else {
    SplitFixed(d, a, fracPlaces_, fracZeros_);
  }
  // Integer part: a lone leading zero goes when no '0' placeholder asks for it; zeros
  // pad it up to the number of '0' placeholders.
  if (d.intLen == 1 && d.intBegin[0] == '0' && intZeros_ == 0) d.intLen = 0;
  const int pad = std::max(0, intZeros_ - d.intLen);
  bool zero = true;
  for (int k = 0; k < d.intLen && zero; ++k) zero = d.intBegin[k] == '0';
  for (int k = 0; k < d.fracLen && zero; ++k) zero = d.fracBegin[k] == '0';

  out += prefix_;
  if (negative && !zero) out += '-';
  if (d.intLen == 0 && pad == 0 && d.fracLen == 0) {
    out += '0';
  } else {
    if (thousands_ && !scientific_) {
      const int len = d.intLen + pad;
      for (int k = 0; k < len; ++k) {
        out += k < pad ? '0' : d.intBegin[k - pad];
        const int after = len - k - 1;  // digits still to come
        if (after > 0 && after % 3 == 0) out += ',';
      }
    } else {
      out.append(pad, '0');
      out.append(d.intBegin, d.intLen);
    }
  }
  if (d.fracLen > 0) {
    out += '.';
    out.append(d.fracBegin, d.fracLen);
  }
  out += middle_;
  if (scientific_) {
    out += expChar_;
    if (exponent < 0) out += '-';
    else if (expAlwaysSign_) out += '+';
    char ebuf[16];
    const auto r = std::to_chars(ebuf, ebuf + sizeof ebuf, std::abs(exponent));
    const int len = static_cast<int>(r.ptr - ebuf);
    if (len < expDigits_) out.append(expDigits_ - len, '0');
    out.append(ebuf, len);
  }
  out += suffix_;
}

std::string FormatPicture(double value, const std::string& pattern) {
  return NumberPicture(pattern).Format(value);
}

std::string Sci(double value, int width) {
  int significant = width - 8;
  if (significant < 2) significant = 2;
  if (significant > 18) significant = 18;
  if (std::isnan(value) || std::isinf(value)) return PadLeft(std::isnan(value) ? "NAN" : "INF", width);
  // d.ddddE+xx, then the exponent rewritten with four digits.
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                               std::chars_format::scientific, significant - 1);
  const char* e = buf;
  while (e < r.ptr && *e != 'e') ++e;
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
  std::string out;
  out.reserve(std::max(width, 24));
  const int length = static_cast<int>(e - buf) + 7;
  if (length < width) out.append(width - length, ' ');
  out += value < 0 ? '-' : ' ';
  out.append(buf, e - buf);
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  char ebuf[16];
  const auto er = std::to_chars(ebuf, ebuf + sizeof ebuf, std::abs(exponent));
  const int elen = static_cast<int>(er.ptr - ebuf);
  if (elen < 4) out.append(4 - elen, '0');
  out.append(ebuf, elen);
  return out;
}

std::string Fixed(double value, int width, int decimals) {
  if (std::isnan(value) || std::isinf(value) || std::fabs(value) >= 1e36) return Sci(value, width);
  char buf[128];
  const int len = std::min(FixedChars(buf, sizeof buf, value, decimals), int(sizeof buf) - 1);
  const char* s = buf;
  int n = len;
  // "-0.000" is written without its sign.
  if (buf[0] == '-') {
    bool allZero = true;
    for (int k = 1; k < len && allZero; ++k) allZero = buf[k] == '0' || buf[k] == '.';
    if (allZero) ++s, --n;
  }
  std::string out;
  if (n < width) out.append(width - n, ' ');
  out.append(s, n);
  return out;
}

std::string FormatExp23(double value) { return Sci(value, 23); }

std::string PadLeft(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  std::string out(width - text.size(), ' ');
  out += text;
  return out;
}

std::string PadRight(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  std::string out = text;
  out.append(width - text.size(), ' ');
  return out;
}

std::string IntText(long long value) { return std::to_string(value); }

}  // namespace kvil
