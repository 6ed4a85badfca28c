// A small JSON reader for the reference cases of the tests: objects, arrays, strings
// (simple escapes), numbers, true/false/null.  Throws std::runtime_error on bad input.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvil::json {

struct Value {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool b = false;
  double num = 0;
  std::string str;
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;  // in file order

  const Value* Find(const std::string& key) const {
    for (const auto& m : members)
      if (m.first == key) return &m.second;
    return nullptr;
  }
  const Value& operator[](const std::string& key) const {
    const Value* v = Find(key);
    if (!v) throw std::runtime_error("missing key " + key);
    return *v;
  }
};

class Reader {
 public:
  explicit Reader(const std::string& text) : t_(text) {}
  Value Parse() {
    Value v = ParseValue();
    Skip();
    if (p_ != t_.size()) throw std::runtime_error("trailing text");
    return v;
  }

 private:
  void Skip() {
    while (p_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[p_]))) ++p_;
  }
  char Peek() {
    Skip();
    if (p_ >= t_.size()) throw std::runtime_error("unexpected end");
    return t_[p_];
  }
  void Expect(char c) {
    if (Peek() != c) throw std::runtime_error(std::string("expected ") + c);
    ++p_;
  }
  std::string ParseString() {
    Expect('"');
    std::string s;
    while (p_ < t_.size() && t_[p_] != '"') {
      char c = t_[p_++];
      if (c == '\\' && p_ < t_.size()) {
        char e = t_[p_++];
        switch (e) {
          case 'n':
            s += '\n';
            break;
          case 't':
            s += '\t';
            break;
          case 'r':
            s += '\r';
            break;
          case 'u':
            s += '?';
            p_ += 4;
            break;
          default:
            s += e;
        }
      } else {
        s += c;
      }
    }
    Expect('"');
    return s;
  }
  Value ParseValue() {
    Value v;
    char c = Peek();
    if (c == '{') {
      ++p_;
      v.kind = Value::Object;
      if (Peek() == '}') {
        ++p_;
        return v;
      }
      for (;;) {
        std::string key = ParseString();
        Expect(':');
        v.members.emplace_back(key, ParseValue());
        if (Peek() == ',') {
          ++p_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      ++p_;
      v.kind = Value::Array;
      if (Peek() == ']') {
        ++p_;
        return v;
      }
      for (;;) {
        v.items.push_back(ParseValue());
        if (Peek() == ',') {
          ++p_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Value::String;
      v.str = ParseString();
      return v;
    }
    if (t_.compare(p_, 4, "true") == 0) {
      p_ += 4;
      v.kind = Value::Bool;
      v.b = true;
      return v;
    }
    if (t_.compare(p_, 5, "false") == 0) {
      p_ += 5;
      v.kind = Value::Bool;
      return v;
    }
    if (t_.compare(p_, 4, "null") == 0) {
      p_ += 4;
      return v;
    }
    char* end = nullptr;
    v.num = std::strtod(t_.c_str() + p_, &end);
    if (end == t_.c_str() + p_) throw std::runtime_error("bad value");
    p_ = static_cast<std::size_t>(end - t_.c_str());
    v.kind = Value::Number;
    return v;
  }

  const std::string& t_;
  std::size_t p_ = 0;
};

inline Value Parse(const std::string& text) {
  return Reader(text).Parse();
}

}  // namespace kvil::json
