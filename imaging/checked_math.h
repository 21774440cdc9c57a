// Overflow-checked arithmetic for sizes taken from files. Every reader computes widths, row
// sizes, chunk lengths and table sizes through these before it allocates or indexes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace vistrel {

// Largest pixel memory a reader may allocate for one picture (1 GiB): more than any wallpaper
// needs, and small enough that a lying header cannot exhaust a 32-bit address space.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 30;

template <typename T>
inline bool CheckedMul(T a, T b, T& out) {
  static_assert(std::numeric_limits<T>::is_integer && !std::numeric_limits<T>::is_signed);
  if (a != 0 && b > std::numeric_limits<T>::max() / a) return false;
  out = a * b;
  return true;
}

template <typename T>
inline bool CheckedAdd(T a, T b, T& out) {
  static_assert(std::numeric_limits<T>::is_integer && !std::numeric_limits<T>::is_signed);
  if (b > std::numeric_limits<T>::max() - a) return false;
  out = a + b;
  return true;
}

// Bytes of one DIB row: (width * bits + 31) / 32 * 4; false when it does not fit 32 bits.
inline bool DibRowSize(std::uint32_t width, std::uint32_t bits, std::uint32_t& out) {
  std::uint64_t row = (std::uint64_t{width} * bits + 31) / 32 * 4;
  if (row > std::numeric_limits<std::uint32_t>::max()) return false;
  out = static_cast<std::uint32_t>(row);
  return true;
}

}  // namespace vistrel
