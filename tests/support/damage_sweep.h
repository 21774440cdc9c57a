// The damaged copies of a file that every format's tests feed to its reader: bits flipped and
// bytes set to 0 and 255 at each offset, and the file cut at each length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
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

// The lighter sweep for real files of tests/data: three flips into each of the first `limit`
// bytes, the two set values and the cuts, with each file's cases traced under its name. Every
// copy must end in one of `messages` (0: a picture) as message_of reports it.
void SweepDataFiles(std::initializer_list<const char*> names, std::size_t limit,
                    std::initializer_list<int> messages,
                    const std::function<int(const std::string& bytes)>& message_of);

}  // namespace vistrel::test
