#include "common/numparse.h"

#include <cctype>
#include <cstdlib>

#include "common/interaction.h"

namespace kvil {

std::optional<double> TryParseNumber(std::string_view text) {
  std::string s(text);
  size_t comma = s.find(',');
  if (comma != std::string::npos) s[comma] = '.';
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  size_t start = i;
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  size_t end = i;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i != n) return std::nullopt;
  std::string number = s.substr(start, end - start);
  return std::strtod(number.c_str(), nullptr);
}

bool ParseNumber(const std::string& text, double& value, Interaction& ui) {
  auto v = TryParseNumber(text);
  if (!v) {
    ui.Error("Invalid number: " + text);
    return false;
  }
  value = *v;
  return true;
}

}  // namespace kvil
