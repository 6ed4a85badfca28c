// One-based fixed-capacity arrays.
//
// The engine's tables follow the calculation's own numbering: species k = 1..K,
// elements j = 1..E, unknowns 1..N, list values 1..10.  Every table of the
// calculation workspace, the task and the species list is therefore indexed from 1;
// index 0 does not exist.  Files on disk keep their zero-based record numbers.
//
// Array1<T, N> holds N elements addressed 1..N; Matrix1<T, R, C> holds R x C
// elements addressed (1..R, 1..C), stored row by row in one contiguous block.
// Out-of-range access is caught by an assertion in debug and sanitizer builds.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>

namespace kvil {

template <typename T, std::size_t N>
class Array1 {
 public:
  static constexpr std::size_t kCapacity = N;

  constexpr T& operator[](std::size_t i) {
    assert(i >= 1 && i <= N);
    return data_[i - 1];
  }
  constexpr const T& operator[](std::size_t i) const {
    assert(i >= 1 && i <= N);
    return data_[i - 1];
  }
  constexpr void Fill(const T& value) { data_.fill(value); }
  constexpr std::size_t size() const { return N; }
  T* begin() { return data_.data(); }
  T* end() { return data_.data() + N; }
  const T* begin() const { return data_.data(); }
  const T* end() const { return data_.data() + N; }
  // Zero-based raw access for bulk copies and linear-algebra kernels.
  T* raw() { return data_.data(); }
  const T* raw() const { return data_.data(); }
  friend bool operator==(const Array1&, const Array1&) = default;

 private:
  std::array<T, N> data_{};
};

template <typename T, std::size_t R, std::size_t C>
class Matrix1 {
 public:
  static constexpr std::size_t kRows = R;
  static constexpr std::size_t kCols = C;

  constexpr T& operator()(std::size_t r, std::size_t c) {
    assert(r >= 1 && r <= R && c >= 1 && c <= C);
    return data_[(r - 1) * C + (c - 1)];
  }
  constexpr const T& operator()(std::size_t r, std::size_t c) const {
    assert(r >= 1 && r <= R && c >= 1 && c <= C);
    return data_[(r - 1) * C + (c - 1)];
  }
  constexpr void Fill(const T& value) { data_.fill(value); }
  T* raw() { return data_.data(); }
  const T* raw() const { return data_.data(); }

 private:
  std::array<T, R * C> data_{};
};

}  // namespace kvil
