// The memory one picture may cost a reader, and the running sum a reader keeps of it before it
// allocates anything large.
#pragma once

#include <cstdint>

#include "imaging/checked_math.h"

namespace vistrel {

// 1 GiB for everything a reader holds at once for one picture: bitmap, planes, row and packed
// buffers, decoder state. The program is a 32-bit process with 2 GiB of address space, part of
// it taken by the program, its libraries and the window, so a picture may have half of it, in
// a few separate blocks, and no more: a lying header can never ask for the rest. Real
// 48-megapixel (8000 x 6000) pictures fit: the largest, a 16-bit CMYK PSD with run-length data,
// holds four 96 MB planes, its 144 MB bitmap and roughly 300 MB of packed rows while it unpacks
// (about 830 MB); a 16-bit RGBA PNG takes 192 MB, a progressive 4:4:4 JPEG about 460 MB
// (coefficients, bitmap and the file). 768 MiB would refuse that PSD. A picture that passes
// the budget and still finds no memory ends in the reader's message all the same.
constexpr std::uint64_t kPictureMemoryBudget = std::uint64_t{1} << 30;

// Every reader adds what it will allocate for a picture, then asks Fits() once before the first
// large allocation. An overflow anywhere in the sums can only make it refuse.
class MemoryBudget {
 public:
  MemoryBudget& Add(std::uint64_t bytes) {
    if (!CheckedAdd(total_, bytes, total_)) overflow_ = true;
    return *this;
  }
  MemoryBudget& Add(std::uint64_t count, std::uint64_t size) {
    std::uint64_t bytes = 0;
    if (!CheckedMul(count, size, bytes)) overflow_ = true;
    return Add(bytes);
  }
  // Marks the sum as unbounded, for a size that could not even be computed.
  MemoryBudget& Refuse() {
    overflow_ = true;
    return *this;
  }
  bool Fits() const { return !overflow_ && total_ <= kPictureMemoryBudget; }
  std::uint64_t Total() const { return total_; }

 private:
  std::uint64_t total_ = 0;
  bool overflow_ = false;
};

// A DIB of width x height at bits per pixel, header block included, as TRasterBitmap makes it.
inline MemoryBudget& AddBitmap(MemoryBudget& budget, std::uint32_t width, std::uint32_t height,
                               std::uint32_t bits) {
  std::uint32_t row = 0;
  if (!DibRowSize(width, bits, row)) return budget.Refuse();
  return budget.Add(row, height).Add(1064);
}

}  // namespace vistrel
