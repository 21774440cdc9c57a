#include "imaging/stream_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/graphic_messages.h"

namespace vistrel {

namespace {

std::uint32_t CountOrZero(std::int32_t n) {
  return n > 0 ? static_cast<std::uint32_t>(n) : 0;
}

}  // namespace

void TPackBitsDecoder::Unpack(const std::uint8_t*& source, std::uint8_t*& dest,
                              std::int32_t packedSize, std::int32_t unpackedSize) {
  const std::uint8_t* in = source;
  std::uint8_t* out = dest;
  std::uint32_t in_left = CountOrZero(packedSize);
  std::uint32_t out_left = CountOrZero(unpackedSize);
  while (out_left > 0 && in_left > 0) {
    const auto header = static_cast<std::int8_t>(*in++);
    --in_left;
    if (header >= 0) {
      std::uint32_t n = std::min({static_cast<std::uint32_t>(header) + 1, out_left, in_left});
      std::memcpy(out, in, n);
      in += n;
      out += n;
      in_left -= n;
      out_left -= n;
    } else if (header != -128) {
      if (in_left == 0) break;  // a repeat header without its data byte
      std::uint32_t n = std::min(static_cast<std::uint32_t>(1 - header), out_left);
      std::memset(out, *in, n);
      ++in;
      --in_left;
      out += n;
      out_left -= n;
    }
  }
}

namespace {

constexpr std::uint32_t kLzwTableSize = 4096;
constexpr std::uint32_t kNoCode = 4096;
constexpr std::uint32_t kMaxCodeSize = 12;

// The n (at most 12) bits that start bit_pos bits into data, least significant bit first. The
// caller guarantees that they lie inside the bytes it has taken so far.
std::uint32_t BitsAt(const std::uint8_t* data, std::uint64_t bit_pos, std::uint32_t n) {
  std::size_t index = static_cast<std::size_t>(bit_pos >> 3);
  std::uint32_t got = 8 - static_cast<std::uint32_t>(bit_pos & 7);
  std::uint32_t value = static_cast<std::uint32_t>(data[index]) >> (bit_pos & 7);
  while (got < n) {
    value |= static_cast<std::uint32_t>(data[++index]) << got;
    got += 8;
  }
  return value & ((1u << n) - 1);
}

}  // namespace

namespace {

// One block taken as a single row.
class BlockTarget : public RowTarget {
 public:
  explicit BlockTarget(std::uint8_t* block) : block_(block) {}
  std::uint8_t* NextRow() override { return block_; }

 private:
  std::uint8_t* block_;
};

class BlockSource : public ByteSource {
 public:
  BlockSource(const std::uint8_t* data, std::uint32_t size) : data_(data), left_(size) {}
  std::size_t Read(std::uint8_t* out, std::size_t count) override {
    const std::size_t n = std::min<std::size_t>(count, left_);
    if (n) std::memcpy(out, data_, n);
    data_ += n;
    left_ -= n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t left_;
};

// Packed bytes are fetched in pieces of this size; the ones every code has passed are dropped
// once there are this many of them.
constexpr std::size_t kLzwPiece = 4096;
constexpr std::uint64_t kLzwDropAfter = 32768;

}  // namespace

void TLzwDecoder::Unpack(const std::uint8_t*& source, std::uint8_t*& dest, std::int32_t packedSize,
                         std::int32_t unpackedSize) {
  BlockTarget block(dest);
  BlockSource packed(source, CountOrZero(packedSize));
  UnpackRows(packed, block, CountOrZero(unpackedSize), 1);
}

std::uint64_t TLzwDecoder::UnpackRows(ByteSource& source, RowTarget& rows, std::uint32_t row_size,
                                      std::uint32_t row_count) {
  if (StartCodeSize > kMaxLzwStartCodeSize || row_size == 0 || row_count == 0) return 0;
  const std::uint64_t total = std::uint64_t{row_size} * row_count;
  std::uint64_t out_left = total;
  std::uint8_t* out = nullptr;  // inside the current row, up to row_end
  std::uint8_t* row_end = nullptr;

  std::array<std::uint16_t, kLzwTableSize> prefix{};
  std::array<std::uint8_t, kLzwTableSize> suffix{};
  std::array<std::uint16_t, kLzwTableSize> length{};  // of each entry's string
  std::array<std::uint8_t, kLzwTableSize> spill{};    // a string that crosses a row end

  const std::uint32_t clear_code = 1u << StartCodeSize;
  const std::uint32_t end_code = clear_code + 1;
  std::uint32_t code_size = StartCodeSize + 1u;
  std::uint32_t code_mask = (1u << code_size) - 1;
  // Reaches kLzwTableSize once entry 4095 is defined: nothing more is defined until a clear code.
  std::uint32_t next_free = clear_code + 2;
  std::uint32_t previous = kNoCode;
  std::uint8_t first_byte = 0;
  for (std::uint32_t i = 0; i < clear_code; ++i) {
    prefix[i] = static_cast<std::uint16_t>(kNoCode);
    suffix[i] = static_cast<std::uint8_t>(i);
    length[i] = 1;
  }

  // Writes the string of code (then extra, when with_extra) and answers its first byte. Strings
  // that fit the current row are written in place from their end back to their start; one that
  // crosses a row end (or the end of the output) goes through spill.
  auto emit = [&](std::uint32_t code, bool with_extra, std::uint8_t extra) {
    const std::uint32_t n = length[code] + (with_extra ? 1u : 0u);
    if (out == row_end) {
      out = rows.NextRow();
      row_end = out + row_size;
    }
    if (static_cast<std::uint32_t>(row_end - out) >= n) {
      std::uint8_t* p = out + n;
      if (with_extra) *--p = extra;
      while (code > clear_code) {
        *--p = suffix[code];
        code = prefix[code];
      }
      *--p = suffix[code];
      out += n;
      out_left -= n;
      return suffix[code];
    }
    std::uint8_t* p = spill.data() + n;
    if (with_extra) *--p = extra;
    while (code > clear_code) {
      *--p = suffix[code];
      code = prefix[code];
    }
    *--p = suffix[code];
    for (std::uint32_t i = 0; i < n && out_left > 0; ++i, --out_left) {
      if (out == row_end) {
        out = rows.NextRow();
        row_end = out + row_size;
      }
      *out++ = spill[i];
    }
    return suffix[code];
  };

  // Bits are read by position rather than shifted through a register: after an end or invalid
  // code the unread bits wait for the next byte, and a run of such codes would otherwise let
  // the backlog outgrow any register.
  // The bytes from the first one a code still needs (window_start) to the last one taken.
  std::uint64_t bit_pos = 0;
  std::uint64_t bit_end = 0;
  std::vector<std::uint8_t> window;
  std::uint64_t window_start = 0;
  auto take = [&](std::uint64_t index) {
    if (index < window_start + window.size()) return true;
    const std::uint64_t passed = (bit_pos >> 3) - window_start;
    if (passed >= kLzwDropAfter) {
      window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(passed));
      window_start += passed;
    }
    std::uint8_t piece[kLzwPiece];
    const std::size_t got = source.Read(piece, kLzwPiece);
    window.insert(window.end(), piece, piece + got);
    return got > 0;
  };
  for (std::uint64_t taken = 0; out_left > 0 && take(taken); ++taken) {
    bit_end += 8;
    while (bit_end - bit_pos >= code_size && out_left > 0) {
      std::uint32_t code = BitsAt(window.data(), bit_pos - window_start * 8, code_size);
      bit_pos += code_size;
      if (code == end_code) break;
      if (code == clear_code) {
        code_size = StartCodeSize + 1u;
        code_mask = (1u << code_size) - 1;
        next_free = clear_code + 2;
        previous = kNoCode;
        continue;
      }
      if (code > next_free) break;
      if (previous == kNoCode) {
        if (code >= clear_code) continue;  // names no entry yet: yields nothing
        first_byte = emit(code, false, 0);
        previous = code;
        continue;
      }
      // The entry being defined is the previous string plus its own first byte.
      first_byte = code == next_free ? emit(previous, true, first_byte) : emit(code, false, 0);
      if (next_free < kLzwTableSize) {
        prefix[next_free] = static_cast<std::uint16_t>(previous);
        suffix[next_free] = first_byte;
        length[next_free] = static_cast<std::uint16_t>(length[previous] + 1);
        if (next_free == code_mask && code_size < kMaxCodeSize) {
          ++code_size;
          code_mask = (1u << code_size) - 1;
        }
        ++next_free;
      }
      previous = code;
    }
  }
  return total - out_left;
}

TDeflateDecoder::TDeflateDecoder(int flush_value, bool reset_each_call)
    : stream_{}, flush_value_(flush_value), reset_each_call_(reset_each_call) {}

TDeflateDecoder::~TDeflateDecoder() {
  if (initialized_) inflateEnd(&stream_);
}

void TDeflateDecoder::PrepareUnpack() {
  if (initialized_) {  // a second set-up must not leak the first one's state
    inflateEnd(&stream_);
    initialized_ = false;
  }
  stream_ = z_stream{};
  inflate_status_ = 0;
  int result = inflateInit(&stream_);
  if (result < 0) RaiseGraphicError(kMsgLz77Error);
  initialized_ = true;
}

void TDeflateDecoder::FinishUnpack() {
  int result = inflateEnd(&stream_);
  initialized_ = false;
  if (result < 0) RaiseGraphicError(kMsgLz77Error);
}

void TDeflateDecoder::Unpack(const std::uint8_t*& source, std::uint8_t*& dest,
                             std::int32_t packedSize, std::int32_t unpackedSize) {
  stream_.next_in = const_cast<Bytef*>(source);
  stream_.avail_in = CountOrZero(packedSize);
  if (reset_each_call_) inflate_status_ = inflateReset(&stream_);
  if (inflate_status_ != Z_OK) return;
  stream_.next_out = dest;
  stream_.avail_out = CountOrZero(unpackedSize);
  inflate_status_ = inflate(&stream_, flush_value_);
  source = stream_.next_in;
  dest = stream_.next_out;
}

}  // namespace vistrel
