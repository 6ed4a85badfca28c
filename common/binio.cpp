#include "common/binio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
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

constexpr const char* kNotRegularFile = "not a regular file";

// The reason for a file that is there but is no regular file.
std::string NotRegularReason(mode_t mode) {
  return S_ISDIR(mode) ? std::strerror(EISDIR) : kNotRegularFile;
}

// The file in large blocks (one read for a file of known size), not byte by byte.
// Special files are refused before they are opened, and the opened file is checked
// again (it may have been replaced in between); it is opened without blocking, so that
// a FIFO put there meanwhile cannot hold the program.
template <class Container>
bool ReadAll(const std::string& path, Container& out, std::string* error) {
  out.clear();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    out.clear();
    return false;
  };
  if (!IsRegularFile(path, error)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::string why = NotRegularReason(st.st_mode);
    ::close(fd);
    return fail(why);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    return fail(why);
  }
  std::size_t have = 0;
  std::size_t want = 1 << 16;
  if (st.st_size > 0) want = static_cast<std::size_t>(st.st_size) + 1;  // + 1: the end seen at once
  bool ok = true;
  try {
    for (;;) {
      out.resize(have + want);
      const std::size_t got = std::fread(out.data() + have, 1, want, f);
      have += got;
      if (got < want) break;
      want = std::max<std::size_t>(want, 1 << 16);
    }
  } catch (const std::exception&) {  // std::bad_alloc, std::length_error
    ok = false;
  }
  const int readError = std::ferror(f) ? errno : 0;
  std::fclose(f);
  if (!ok) return fail("the file is too large to be read");
  if (readError != 0) return fail(std::strerror(readError));
  out.resize(have);
  return true;
}

}  // namespace

bool IsRegularFile(const std::string& path, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = NotRegularReason(st.st_mode);
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* error) {
  return ReadAll(path, out, error);
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string* error) {
  return ReadAll(path, out, error);
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
