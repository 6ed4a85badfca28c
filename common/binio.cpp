#include "common/binio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace kvil {

std::string GetShortString(const std::uint8_t* bytes, std::size_t offset, int capacity) {
  int len = std::min<int>(bytes[offset], capacity);
  return std::string(reinterpret_cast<const char*>(bytes + offset + 1), len);
}

void PutShortString(std::uint8_t* bytes, std::size_t offset, int capacity,
                    const std::string& text) {
  int len = std::min<int>(static_cast<int>(text.size()), capacity);
  bytes[offset] = static_cast<std::uint8_t>(len);
  std::memset(bytes + offset + 1, 0, capacity);
  std::memcpy(bytes + offset + 1, text.data(), len);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* error) {
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path temp = target;
  temp += ".tmp~";
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    std::error_code ec;
    fs::remove(temp, ec);
    return false;
  };
  std::FILE* f = std::fopen(temp.string().c_str(), "wb");
  if (!f) return fail("Cannot create " + temp.string() + ": " + std::strerror(errno));
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return fail("Cannot write " + temp.string() + ": " + std::strerror(errno));
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) return fail("Cannot replace " + path + ": " + ec.message());
  return true;
}

}  // namespace kvil
