#include "common/binio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
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

namespace {

// The file in large blocks (one read for a file of known size), not byte by byte.
template <class Container>
bool ReadAll(const std::string& path, Container& out) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::size_t have = 0;
  std::size_t want = 1 << 16;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0) want = static_cast<std::size_t>(size) + 1;  // + 1: the end seen at once
    std::rewind(f);
  }
  for (;;) {
    out.resize(have + want);
    const std::size_t got = std::fread(out.data() + have, 1, want, f);
    have += got;
    if (got < want) break;
    want = std::max<std::size_t>(want, 1 << 16);
  }
  const bool ok = !std::ferror(f);
  std::fclose(f);
  out.resize(have);
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  return ReadAll(path, out);
}

bool ReadWholeFile(const std::string& path, std::string& out) { return ReadAll(path, out); }

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
