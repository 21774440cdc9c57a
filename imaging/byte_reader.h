// Bounded reads of little- and big-endian fields from a block of bytes. A read that would run
// past the end consumes nothing, yields 0 and marks the reader failed for good, so a parser can
// read a whole record and test Ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vistrel {

inline std::uint16_t LoadU16LE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32LE(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::uint16_t LoadU16BE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t LoadU32BE(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}
inline void StoreU16LE(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32LE(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(const std::vector<std::uint8_t>& bytes)
      : ByteReader(bytes.data(), bytes.size()) {}

  bool Ok() const { return ok_; }
  std::size_t Size() const { return size_; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return size_ - pos_; }

  // Moves to an absolute position within the block (the end included).
  bool Seek(std::size_t position) {
    if (position > size_) return Fail();
    pos_ = position;
    return true;
  }
  bool Skip(std::size_t count) {
    if (count > Remaining()) return Fail();
    pos_ += count;
    return true;
  }
  // The next count bytes in place, or nullptr.
  const std::uint8_t* Take(std::size_t count) {
    if (count > Remaining()) {
      Fail();
      return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
  }
  bool Bytes(void* out, std::size_t count) {
    const std::uint8_t* p = Take(count);
    if (!p) return false;
    if (count) std::memcpy(out, p, count);
    return true;
  }

  std::uint8_t U8() {
    const std::uint8_t* p = Take(1);
    return p ? *p : 0;
  }
  std::uint16_t U16LE() {
    const std::uint8_t* p = Take(2);
    return p ? LoadU16LE(p) : 0;
  }
  std::uint32_t U32LE() {
    const std::uint8_t* p = Take(4);
    return p ? LoadU32LE(p) : 0;
  }
  std::uint16_t U16BE() {
    const std::uint8_t* p = Take(2);
    return p ? LoadU16BE(p) : 0;
  }
  std::uint32_t U32BE() {
    const std::uint8_t* p = Take(4);
    return p ? LoadU32BE(p) : 0;
  }
  std::int16_t I16LE() { return static_cast<std::int16_t>(U16LE()); }
  std::int32_t I32LE() { return static_cast<std::int32_t>(U32LE()); }
  std::int16_t I16BE() { return static_cast<std::int16_t>(U16BE()); }
  std::int32_t I32BE() { return static_cast<std::int32_t>(U32BE()); }

 private:
  bool Fail() {
    ok_ = false;
    return false;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace vistrel
