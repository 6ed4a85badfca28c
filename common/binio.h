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

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out);
bool ReadWholeFile(const std::string& path, std::string& out);

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
