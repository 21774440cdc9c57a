// The memory one picture may cost a reader, and the running sum a reader keeps of it before it
// allocates anything large.
#pragma once

#include <cstdint>

#include "imaging/checked_math.h"

namespace vistrel {

// 768 MiB for everything a reader holds at once for one picture: bitmap, planes, row and packed
// buffers, decoder state. The program is a 32-bit process with 2 GiB of address space, part of
// it taken by the program, its libraries and the window; the largest free block in such a
// process is typically a little over 1 GiB, so a picture must stay well below that. The worst
// real 48-megapixel photograph costs about 640 MiB here: a 16-bit CMYK PSD with an alpha
// channel (5 planes of 96 MB each) plus its 24-bit bitmap (144 MB). A progressive 4:4:4 JPEG of
// that size costs about 460 MiB (coefficients, bitmap and the file itself).
constexpr std::uint64_t kPictureMemoryBudget = std::uint64_t{768} << 20;

// Every reader adds what it will allocate for a picture, then asks Fits() once before the first
// large allocation. An overflow anywhere in the sums can only make it refuse.
class TMemoryBudget {
 public:
  TMemoryBudget& Add(std::uint64_t bytes) {
    if (!CheckedAdd(total_, bytes, total_)) overflow_ = true;
    return *this;
  }
  TMemoryBudget& Add(std::uint64_t count, std::uint64_t size) {
    std::uint64_t bytes = 0;
    if (!CheckedMul(count, size, bytes)) overflow_ = true;
    return Add(bytes);
  }
  // Marks the sum as unbounded, for a size that could not even be computed.
  TMemoryBudget& Refuse() {
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
inline TMemoryBudget& AddBitmap(TMemoryBudget& budget, std::uint32_t width, std::uint32_t height,
                                std::uint32_t bits) {
  std::uint32_t row = 0;
  if (!DibRowSize(width, bits, row)) return budget.Refuse();
  return budget.Add(row, height).Add(1064);
}

}  // namespace vistrel
