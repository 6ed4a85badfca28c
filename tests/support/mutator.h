// The seeded mutations of the reader fuzz tests: texts and binary records damaged the
// way a disk, an editor or a truncated copy damages them.  Deterministic for a seed on
// every platform.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/binio.h"

namespace kvil::testing_fuzz {

// Bytes a mutation writes over a number: texts that are not numbers, and numbers
// beyond what the fields hold.
inline const char* const kNastyNumbers[] = {
    "1e400", "-1e400", "nan", "inf", "1e-400", "-0", "1e39", "3e38",
    "-1",    "0",      "1,5,7", "", "99999999999999999999", "0x10", "1e", "+"};
inline const char kNastyBytes[] = {' ', '\r', '\n', '\0', '-', '.',
                                   ',', 'e', '9', '*', '\x7f', '\xff'};

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  // A number in 0..n-1 (n > 0), the same on every platform.
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }

  std::string Text(std::string s) {
    const std::size_t rounds = 1 + Below(4);
    for (std::size_t r = 0; r < rounds; ++r) {
      const std::size_t at = s.empty() ? 0 : Below(s.size());
      switch (Below(7)) {
        case 0:  // one byte changed
          if (!s.empty()) s[at] = kNastyBytes[Below(sizeof kNastyBytes)];
          break;
        case 1: {  // a number replaced
          const std::size_t start = s.find_first_of("0123456789", at);
          if (start == std::string::npos) break;
          const std::size_t end = s.find_first_of(" \r\n", start);
          s.replace(start, (end == std::string::npos ? s.size() : end) - start,
                    kNastyNumbers[Below(std::size(kNastyNumbers))]);
          break;
        }
        case 2:  // a range cut out
          s.erase(at, Below(64));
          break;
        case 3:  // bytes inserted
          s.insert(at, std::string(1 + Below(3), kNastyBytes[Below(sizeof kNastyBytes)]));
          break;
        case 4: {  // a line repeated
          const std::size_t begin = s.rfind('\n', at);
          const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
          const std::size_t end = s.find('\n', at);
          s.insert(from, s.substr(from, (end == std::string::npos ? s.size() : end + 1) - from));
          break;
        }
        case 5: {  // a whole line replaced by a number
          const std::size_t begin = s.rfind('\n', at);
          const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
          const std::size_t end = s.find_first_of("\r\n", from);
          s.replace(from, (end == std::string::npos ? s.size() : end) - from,
                    kNastyNumbers[Below(std::size(kNastyNumbers))]);
          break;
        }
        default:  // cut short
          s.resize(at);
          break;
      }
    }
    return s;
  }

  std::vector<std::uint8_t> Binary(std::vector<std::uint8_t> b) {
    const std::size_t rounds = 1 + Below(3);
    for (std::size_t r = 0; r < rounds; ++r) {
      switch (Below(4)) {
        case 0:
          if (!b.empty()) b[Below(b.size())] = static_cast<std::uint8_t>(rng_());
          break;
        case 1: {  // a 32-bit field set to a value at the edge of the floats
          if (b.size() < 4) break;
          const float edges[] = {NAN, INFINITY, -INFINITY, -1.0f, 0.0f, FLT_MIN / 4, FLT_MAX};
          PutLE<float>(b.data(), Below(b.size() / 4) * 4, edges[Below(std::size(edges))]);
          break;
        }
        case 2:
          b.resize(Below(b.size() + 1));
          break;
        default:
          b.insert(b.begin() + Below(b.size() + 1), 1 + Below(8),
                   static_cast<std::uint8_t>(rng_()));
          break;
      }
    }
    return b;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace kvil::testing_fuzz
