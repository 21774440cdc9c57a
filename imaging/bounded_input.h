// The one input every image reader reads its file through: buffered over the stream, never past
// the stream's end (a memory stream would grow to reach a seek beyond it), with fields read in
// either byte order. Several inputs may read one stream side by side (one per PSD channel). A read
// that cannot be met in full marks the input failed for good and yields zeros, so a parser can read
// a whole record and test Ok() once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/data_stream.h"

namespace vistrel {

class BoundedInput {
 public:
  // Reads from the stream's current position up to its size at this moment.
  explicit BoundedInput(TDataStream& stream);
  // Leaves the stream where the reading stopped, so its owner sees what was consumed.
  ~BoundedInput();
  BoundedInput(const BoundedInput&) = delete;
  BoundedInput& operator=(const BoundedInput&) = delete;

  bool Ok() const { return ok_; }
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const { return size_; }
  std::uint64_t Left() const { return static_cast<std::uint64_t>(size_ - position_); }

  // Moves to an absolute position, the end included; false (and failed) beyond it.
  bool Seek(std::int64_t position);
  // Moves forward by count bytes, stopping at the end; never fails.
  void Skip(std::uint64_t count);

  // Exactly count bytes, or false (and failed) with what there was consumed and zeros for the
  // rest, as a stream read that meets the end.
  bool Read(void* out, std::size_t count);
  // Up to count bytes, as many as the stream holds; how many came.
  std::size_t ReadAvailable(void* out, std::size_t count);

  std::uint8_t U8() {
    if (next_ < end_) {
      ++position_;
      return *next_++;
    }
    std::uint8_t value = 0;
    Read(&value, 1);
    return value;
  }
  std::uint16_t U16LE() { return LoadU16LE(Field<2>().data()); }
  std::uint32_t U32LE() { return LoadU32LE(Field<4>().data()); }
  std::uint16_t U16BE() { return LoadU16BE(Field<2>().data()); }
  std::uint32_t U32BE() { return LoadU32BE(Field<4>().data()); }

  // A view of the next count (at most kBufferSize) bytes, consumed; nullptr (and failed) when
  // the stream holds fewer.
  const std::uint8_t* Take(std::size_t count);

  static constexpr std::size_t kBufferSize = 64 * 1024;

 private:
  template <std::size_t N>
  std::array<std::uint8_t, N> Field() {
    std::array<std::uint8_t, N> bytes = {};
    Read(bytes.data(), N);
    return bytes;
  }
  // Refills the buffer from position_ with up to kBufferSize bytes; false when none came.
  bool Fill();
  std::uint32_t ReadAt(std::int64_t from, std::uint8_t* out, std::uint32_t count);

  TDataStream& stream_;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;   // of the next byte to be consumed
  std::int64_t buffer_at_ = 0;  // the position of buffer_[0]
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* next_ = nullptr;  // position_'s byte inside the buffer, when there
  const std::uint8_t* end_ = nullptr;
  bool ok_ = true;
};

}  // namespace vistrel
