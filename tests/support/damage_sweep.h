// The damaged copies of a file that every format's tests feed to its reader: bits flipped and
// bytes set to 0 and 255 at each offset, and the file cut at each length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace vistrel::test {

struct DamageSweep {
  // Only the first `limit` bytes are damaged, and only the cuts shorter than that are made.
  std::size_t limit = std::numeric_limits<std::size_t>::max();
  // The masks xor-ed into each byte, one copy each.
  std::vector<std::uint8_t> flips = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
  // One change per byte instead of every change: the flip (1 << offset % 8) and, alternately,
  // 255 at even and 0 at odd offsets. For files too large for the whole sweep.
  bool one_flip_per_byte = false;
  bool cuts = true;
};

struct Damage {
  enum class Kind { kFlip, kSet, kCut };
  Kind kind;
  std::size_t at;      // the offset changed, or the length kept
  std::uint8_t value;  // the mask xor-ed in, or the byte set
  std::string Describe() const;
};

// Calls visit with each damaged copy of original; stops early once the running test has failed,
// so one fault does not repeat thousands of times.
void SweepDamage(const std::string& original, const DamageSweep& sweep,
                 const std::function<void(const std::string& bytes, const Damage& damage)>& visit);

}  // namespace vistrel::test
