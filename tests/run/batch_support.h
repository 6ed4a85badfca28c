// Running kvil-batch from the tests and reading what it writes.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kvil::batch_test {

struct BatchResult {
  int exitCode = -1;
  std::string errors;  // standard error
};

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

// Runs kvil-batch with `args` in `dir`.
inline BatchResult RunKvilBatch(const std::filesystem::path& dir, const std::string& args) {
  const std::string exe = std::string(KVIL_BINARY_DIR) + "/kvil-batch";
  const std::filesystem::path err = dir / "stderr.txt";
  const std::string cmd = "cd " + Quote(dir.string()) + " && " + Quote(exe) + " " + args + " 2> " +
                          Quote(err.string()) + " > /dev/null";
  const int status = std::system(cmd.c_str());
  BatchResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.errors = ReadText(err);
  return r;
}

// RFC 4180 rows.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

inline int Column(const std::vector<std::string>& header, const std::string& name) {
  for (std::size_t i = 0; i < header.size(); ++i)
    if (header[i] == name) return static_cast<int>(i);
  return -1;
}

}  // namespace kvil::batch_test
