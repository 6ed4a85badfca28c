// Little-endian reading and writing of fixed-size records, and safe file replacement.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kvil {

// Reads a little-endian value of type T from bytes at offset (the machine is
// little-endian; the copy keeps alignment safe).
template <typename T>
T GetLE(const std::uint8_t* bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof(T));
  return value;
}

template <typename T>
void PutLE(std::uint8_t* bytes, std::size_t offset, T value) {
  std::memcpy(bytes + offset, &value, sizeof(T));
}

// Length-prefixed string of fixed capacity: one length byte, then `capacity` bytes.
std::string GetShortString(const std::uint8_t* bytes, std::size_t offset, int capacity);
void PutShortString(std::uint8_t* bytes, std::size_t offset, int capacity,
                    const std::string& text);

// Reads a whole file; false when it cannot be opened or read, and for anything that is
// not a regular file (a directory, a FIFO, a device), which is refused before it is
// opened and so can neither block nor be taken for a file of some huge size.  On
// failure `out` is empty and `error`, when given, says why ("Is a directory", "No such
// file or directory", "not a regular file", ...).
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                   std::string* error = nullptr);
bool ReadWholeFile(const std::string& path, std::string& out, std::string* error = nullptr);

// True when `path` names a regular file (symbolic links followed); otherwise false with
// the reason in `error`, as ReadWholeFile gives it.
bool IsRegularFile(const std::string& path, std::string* error = nullptr);

// Writes `data` to `path` through a temporary file beside it that is renamed into
// place, so that a failed write never destroys the previous file.  Returns false and
// leaves the previous file untouched on failure; `error` then says why.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* error = nullptr);
inline bool WriteFileAtomically(const std::string& path, const std::string& data,
                                std::string* error = nullptr) {
  return WriteFileAtomically(path, data.data(), data.size(), error);
}

}  // namespace kvil
