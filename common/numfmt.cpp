#include "common/numfmt.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>

namespace kvil {

namespace {

// Powers of ten that are exact doubles.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// |value| * 10^shift rounded to the nearest integer, ties to even, as the exact decimal
// value of the double would round (as printf and to_chars round it).  The product is
// formed in double precision (one rounding, two when |shift| > 22): false when it lies
// so near a half that those roundings could decide the direction, or is too large to
// hold its integer exactly; the caller then formats the slow way.  A few hundred
// instructions less per number than to_chars, and the report writes a hundred numbers
// for a point.
bool RoundedScaled(double a, int shift, std::uint64_t& q) {
  double s;
  if (shift >= 0 && shift <= 22) {
    s = a * kPow10[shift];
  } else if (shift < 0 && shift >= -22) {
    s = a / kPow10[-shift];
  } else if (shift > 22 && shift <= 44) {
    s = a * kPow10[22] * kPow10[shift - 22];
  } else {
    return false;
  }
  if (!(s < 4.0e15)) return false;
  const double whole = std::floor(s);
  const double frac = s - whole;  // exact
  // The computed product is within 1.5 units in the last place of the exact one.
  const double guard = 4.0 * (std::nextafter(s, HUGE_VAL) - s);
  if (std::fabs(frac - 0.5) <= guard) return false;
  q = static_cast<std::uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
  return true;
}

// Decimal digits of q into buf, at least minDigits of them (leading zeros); their count.
int IntegerDigits(std::uint64_t q, int minDigits, char* buf) {
  char tmp[24];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + q % 10);
    q /= 10;
  } while (q != 0);
  while (n < minDigits) tmp[n++] = '0';
  for (int i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
  return n;
}

// "%.*f" of a finite value into buf: to_chars renders exactly as printf does.
int FixedChars(char* buf, int size, double value, int decimals) {
  std::uint64_t q;
  if (decimals >= 0 && decimals <= 15 && size >= 40 && std::fabs(value) < 1e15 &&
      RoundedScaled(std::fabs(value), decimals, q)) {
    int len = 0;
    if (std::signbit(value)) buf[len++] = '-';
    char digits[24];
    const int n = IntegerDigits(q, decimals + 1, digits);
    const int intLen = n - decimals;
    for (int i = 0; i < intLen; ++i) buf[len++] = digits[i];
    if (decimals > 0) {
      buf[len++] = '.';
      for (int i = intLen; i < n; ++i) buf[len++] = digits[i];
    }
    return len;
  }
  const auto r = std::to_chars(buf, buf + size, value, std::chars_format::fixed, decimals);
  if (r.ec == std::errc()) return static_cast<int>(r.ptr - buf);
  return std::snprintf(buf, size, "%.*f", decimals, value);
}

// The scientific form of a > 0 with one digit before the point and `decimals` after it,
// rounded as to_chars rounds: the digits (decimals + 1 of them) and the exponent.
// False when the fast way cannot decide (see RoundedScaled).
bool ScientificDigits(double a, int decimals, char* digits, int& exponent) {
  if (!(a > 0) || decimals < 0 || decimals > 15 || !std::isfinite(a)) return false;
  int e = static_cast<int>(std::floor(std::log10(a)));
  std::uint64_t q;
  const std::uint64_t low = static_cast<std::uint64_t>(kPow10[decimals]);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!RoundedScaled(a, decimals - e, q)) return false;
    if (q < low) {
      --e;  // log10 came out a little high
      continue;
    }
    if (q >= 10 * low) {
      // Either log10 came out a little low, or the rounding carried to the next power
      // (9.999996 -> 10.00000): both are the next exponent, whose digits are formed anew.
      ++e;
      continue;
    }
    IntegerDigits(q, decimals + 1, digits);
    exponent = e;
    return true;
  }
  return false;
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
    if (a != 0 && intPlaces_ <= 1 && ScientificDigits(a, fracPlaces_, d.buf, exponent)) {
      d.intBegin = d.buf;
      d.intLen = 1;
      d.fracBegin = d.buf + 1;
      d.fracLen = fracPlaces_;
      while (d.fracLen > fracZeros_ && d.fracBegin[d.fracLen - 1] == '0') --d.fracLen;
    } else if (a != 0 && intPlaces_ <= 1) {
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
  int exponent = 0;
  const char* e;
  char digits[24];
  if (ScientificDigits(std::fabs(value), significant - 1, digits, exponent)) {
    buf[0] = digits[0];
    buf[1] = '.';
    for (int i = 1; i < significant; ++i) buf[i + 1] = digits[i];
    e = buf + significant + 1;
  } else {
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, significant - 1);
    e = buf;
    while (e < r.ptr && *e != 'e') ++e;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
  }
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
