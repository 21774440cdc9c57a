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
  std::uint32_t inLeft = CountOrZero(packedSize);
  std::uint32_t outLeft = CountOrZero(unpackedSize);
  while (outLeft > 0 && inLeft > 0) {
    const auto header = static_cast<std::int8_t>(*in++);
    --inLeft;
    if (header >= 0) {
      std::uint32_t n = std::min({static_cast<std::uint32_t>(header) + 1, outLeft, inLeft});
      std::memcpy(out, in, n);
      in += n;
      out += n;
      inLeft -= n;
      outLeft -= n;
    } else if (header != -128) {
      if (inLeft == 0) break;  // a repeat header without its data byte
      std::uint32_t n = std::min(static_cast<std::uint32_t>(1 - header), outLeft);
      std::memset(out, *in, n);
      ++in;
      --inLeft;
      out += n;
      outLeft -= n;
    }
  }
}

namespace {

constexpr std::uint32_t kLzwTableSize = 4096;
constexpr std::uint32_t kNoCode = 4096;
constexpr std::uint32_t kMaxCodeSize = 12;

// The n (at most 12) bits that start bitPos bits into data, least significant bit first. The
// caller guarantees that they lie inside the bytes it has taken so far.
std::uint32_t BitsAt(const std::uint8_t* data, std::uint64_t bitPos, std::uint32_t n) {
  std::size_t index = static_cast<std::size_t>(bitPos >> 3);
  std::uint32_t got = 8 - static_cast<std::uint32_t>(bitPos & 7);
  std::uint32_t value = static_cast<std::uint32_t>(data[index]) >> (bitPos & 7);
  while (got < n) {
    value |= static_cast<std::uint32_t>(data[++index]) << got;
    got += 8;
  }
  return value & ((1u << n) - 1);
}

}  // namespace

namespace {

// One block taken as a single row.
class TBlockTarget : public TRowTarget {
 public:
  explicit TBlockTarget(std::uint8_t* block) : block_(block) {}
  std::uint8_t* NextRow() override { return block_; }

 private:
  std::uint8_t* block_;
};

class TBlockSource : public TByteSource {
 public:
  TBlockSource(const std::uint8_t* data, std::uint32_t size) : data_(data), left_(size) {}
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
  TBlockTarget block(dest);
  TBlockSource packed(source, CountOrZero(packedSize));
  UnpackRows(packed, block, CountOrZero(unpackedSize), 1);
}

std::uint64_t TLzwDecoder::UnpackRows(TByteSource& source, TRowTarget& rows, std::uint32_t rowSize,
                                      std::uint32_t rowCount) {
  if (StartCodeSize > kMaxLzwStartCodeSize || rowSize == 0 || rowCount == 0) return 0;
  const std::uint64_t total = std::uint64_t{rowSize} * rowCount;
  std::uint64_t outLeft = total;
  std::uint8_t* out = nullptr;  // inside the current row, up to rowEnd
  std::uint8_t* rowEnd = nullptr;

  std::array<std::uint16_t, kLzwTableSize> prefix{};
  std::array<std::uint8_t, kLzwTableSize> suffix{};
  std::array<std::uint16_t, kLzwTableSize> length{};  // of each entry's string
  std::array<std::uint8_t, kLzwTableSize> spill{};    // a string that crosses a row end

  const std::uint32_t clearCode = 1u << StartCodeSize;
  const std::uint32_t endCode = clearCode + 1;
  std::uint32_t codeSize = StartCodeSize + 1u;
  std::uint32_t codeMask = (1u << codeSize) - 1;
  // Reaches kLzwTableSize once entry 4095 is defined: nothing more is defined until a clear code.
  std::uint32_t nextFree = clearCode + 2;
  std::uint32_t previous = kNoCode;
  std::uint8_t firstByte = 0;
  for (std::uint32_t i = 0; i < clearCode; ++i) {
    prefix[i] = static_cast<std::uint16_t>(kNoCode);
    suffix[i] = static_cast<std::uint8_t>(i);
    length[i] = 1;
  }

  // Writes the string of code (then extra, when withExtra) and answers its first byte. Strings
  // that fit the current row are written in place from their end back to their start; one that
  // crosses a row end (or the end of the output) goes through spill.
  auto emit = [&](std::uint32_t code, bool withExtra, std::uint8_t extra) {
    const std::uint32_t n = length[code] + (withExtra ? 1u : 0u);
    if (out == rowEnd) {
      out = rows.NextRow();
      rowEnd = out + rowSize;
    }
    if (static_cast<std::uint32_t>(rowEnd - out) >= n) {
      std::uint8_t* p = out + n;
      if (withExtra) *--p = extra;
      while (code > clearCode) {
        *--p = suffix[code];
        code = prefix[code];
      }
      *--p = suffix[code];
      out += n;
      outLeft -= n;
      return suffix[code];
    }
    std::uint8_t* p = spill.data() + n;
    if (withExtra) *--p = extra;
    while (code > clearCode) {
      *--p = suffix[code];
      code = prefix[code];
    }
    *--p = suffix[code];
    for (std::uint32_t i = 0; i < n && outLeft > 0; ++i, --outLeft) {
      if (out == rowEnd) {
        out = rows.NextRow();
        rowEnd = out + rowSize;
      }
      *out++ = spill[i];
    }
    return suffix[code];
  };

  // Bits are read by position rather than shifted through a register: after an end or invalid
  // code the unread bits wait for the next byte, and a run of such codes would otherwise let
  // the backlog outgrow any register.
  // The bytes from the first one a code still needs (windowStart) to the last one taken.
  std::uint64_t bitPos = 0;
  std::uint64_t bitEnd = 0;
  std::vector<std::uint8_t> window;
  std::uint64_t windowStart = 0;
  auto take = [&](std::uint64_t index) {
    if (index < windowStart + window.size()) return true;
    const std::uint64_t passed = (bitPos >> 3) - windowStart;
    if (passed >= kLzwDropAfter) {
      window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(passed));
      windowStart += passed;
    }
    std::uint8_t piece[kLzwPiece];
    const std::size_t got = source.Read(piece, kLzwPiece);
    window.insert(window.end(), piece, piece + got);
    return got > 0;
  };
  for (std::uint64_t taken = 0; outLeft > 0 && take(taken); ++taken) {
    bitEnd += 8;
    while (bitEnd - bitPos >= codeSize && outLeft > 0) {
      std::uint32_t code = BitsAt(window.data(), bitPos - windowStart * 8, codeSize);
      bitPos += codeSize;
      if (code == endCode) break;
      if (code == clearCode) {
        codeSize = StartCodeSize + 1u;
        codeMask = (1u << codeSize) - 1;
        nextFree = clearCode + 2;
        previous = kNoCode;
        continue;
      }
      if (code > nextFree) break;
      if (previous == kNoCode) {
        if (code >= clearCode) continue;  // names no entry yet: yields nothing
        firstByte = emit(code, false, 0);
        previous = code;
        continue;
      }
      // The entry being defined is the previous string plus its own first byte.
      firstByte = code == nextFree ? emit(previous, true, firstByte) : emit(code, false, 0);
      if (nextFree < kLzwTableSize) {
        prefix[nextFree] = static_cast<std::uint16_t>(previous);
        suffix[nextFree] = firstByte;
        length[nextFree] = static_cast<std::uint16_t>(length[previous] + 1);
        if (nextFree == codeMask && codeSize < kMaxCodeSize) {
          ++codeSize;
          codeMask = (1u << codeSize) - 1;
        }
        ++nextFree;
      }
      previous = code;
    }
  }
  return total - outLeft;
}

TDeflateDecoder::TDeflateDecoder(int flushValue, bool resetEachCall)
    : stream_{}, flushValue_(flushValue), resetEachCall_(resetEachCall) {}

TDeflateDecoder::~TDeflateDecoder() {
  if (initialized_) inflateEnd(&stream_);
}

void TDeflateDecoder::PrepareUnpack() {
  if (initialized_) {  // a second set-up must not leak the first one's state
    inflateEnd(&stream_);
    initialized_ = false;
  }
  stream_ = z_stream{};
  inflateStatus_ = 0;
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
  if (resetEachCall_) inflateStatus_ = inflateReset(&stream_);
  if (inflateStatus_ != Z_OK) return;
  stream_.next_out = dest;
  stream_.avail_out = CountOrZero(unpackedSize);
  inflateStatus_ = inflate(&stream_, flushValue_);
  source = stream_.next_in;
  dest = stream_.next_out;
}

}  // namespace vistrel
