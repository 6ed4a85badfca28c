// A small JSON reader for the reference cases of the tests (objects, arrays,
// strings, numbers, true/false/null).  Throws std::runtime_error on malformed text.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvil::testjson {

struct Value {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<Value> items;
  std::map<std::string, Value> fields;

  const Value& operator[](const std::string& key) const {
    auto it = fields.find(key);
    if (it == fields.end()) throw std::runtime_error("missing key " + key);
    return it->second;
  }
  const Value& operator[](std::size_t i) const { return items.at(i); }
  bool Has(const std::string& key) const { return fields.count(key) != 0; }
};

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}
  Value Parse() {
    Value v = ParseValue();
    Skip();
    if (i_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  const std::string& s_;
  std::size_t i_ = 0;

  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(i_));
  }
  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Eat(char c) {
    Skip();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  std::string ParseString() {
    if (!Eat('"')) Fail("string expected");
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\\') {
        if (i_ >= s_.size()) Fail("bad escape");
        char e = s_[i_++];
        switch (e) {
          case 'n':
            out += '\n';
            break;
          case 't':
            out += '\t';
            break;
          case 'r':
            out += '\r';
            break;
          case 'b':
            out += '\b';
            break;
          case 'f':
            out += '\f';
            break;
          case 'u': {
            if (i_ + 4 > s_.size()) Fail("bad escape");
            const long cp = std::strtol(s_.substr(i_, 4).c_str(), nullptr, 16);
            i_ += 4;
            out += cp < 128 ? static_cast<char>(cp) : '?';
            break;
          }
          default:
            out += e;
            break;
        }
      } else {
        out += c;
      }
    }
    if (i_ >= s_.size()) Fail("unterminated string");
    ++i_;
    return out;
  }
  Value ParseValue() {
    Skip();
    if (i_ >= s_.size()) Fail("value expected");
    Value v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Value::Object;
      if (Eat('}')) return v;
      do {
        Skip();
        std::string key = ParseString();
        if (!Eat(':')) Fail("':' expected");
        v.fields[key] = ParseValue();
      } while (Eat(','));
      if (!Eat('}')) Fail("'}' expected");
    } else if (c == '[') {
      ++i_;
      v.kind = Value::Array;
      if (Eat(']')) return v;
      do v.items.push_back(ParseValue());
      while (Eat(','));
      if (!Eat(']')) Fail("']' expected");
    } else if (c == '"') {
      v.kind = Value::String;
      v.text = ParseString();
    } else if (s_.compare(i_, 4, "true") == 0) {
      v.kind = Value::Bool, v.boolean = true, i_ += 4;
    } else if (s_.compare(i_, 5, "false") == 0) {
      v.kind = Value::Bool, i_ += 5;
    } else if (s_.compare(i_, 4, "null") == 0) {
      i_ += 4;
    } else {
      char* end = nullptr;
      v.kind = Value::Number;
      v.number = std::strtod(s_.c_str() + i_, &end);
      if (end == s_.c_str() + i_) Fail("number expected");
      i_ = static_cast<std::size_t>(end - s_.c_str());
    }
    return v;
  }
};

inline Value ParseJson(const std::string& text) {
  return Parser(text).Parse();
}

}  // namespace kvil::testjson
