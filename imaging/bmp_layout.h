// Field access on the 1064-byte DIB header block (BITMAPINFOHEADER followed by the colour
// table area), shared by the bitmap and its BMP reader and writer.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {
namespace dib {

constexpr std::uint32_t kSizeOffset = 0;
constexpr std::uint32_t kWidthOffset = 4;
constexpr std::uint32_t kHeightOffset = 8;
constexpr std::uint32_t kPlanesOffset = 12;
constexpr std::uint32_t kBitCountOffset = 14;
constexpr std::uint32_t kCompressionOffset = 16;
constexpr std::uint32_t kSizeImageOffset = 20;
constexpr std::uint32_t kClrUsedOffset = 32;
constexpr std::uint32_t kTableOffset = kInfoHeaderSize;

// BI_ALPHABITFIELDS: 32-bit masks with an alpha mask; the colour masks read like BI_BITFIELDS.
constexpr std::uint32_t kBiAlphaBitfields = 6;

inline std::int32_t Width(const std::uint8_t* h) {
  return static_cast<std::int32_t>(LoadU32LE(h + kWidthOffset));
}
inline std::int32_t Height(const std::uint8_t* h) {
  return static_cast<std::int32_t>(LoadU32LE(h + kHeightOffset));
}
inline std::uint16_t Planes(const std::uint8_t* h) {
  return LoadU16LE(h + kPlanesOffset);
}
inline std::uint16_t BitCount(const std::uint8_t* h) {
  return LoadU16LE(h + kBitCountOffset);
}
inline std::uint32_t Compression(const std::uint8_t* h) {
  return LoadU32LE(h + kCompressionOffset);
}
inline std::uint32_t TableEntry(const std::uint8_t* h, int index) {
  return LoadU32LE(h + kTableOffset + 4 * static_cast<std::uint32_t>(index));
}
inline void SetTableEntry(std::uint8_t* h, int index, std::uint32_t value) {
  StoreU32LE(h + kTableOffset + 4 * static_cast<std::uint32_t>(index), value);
}

// Image rows of a header: |biHeight| without overflow (2^31 for INT32_MIN).
inline std::uint32_t AbsHeight(const std::uint8_t* h) {
  std::int32_t height = Height(h);
  return height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
}

// A zeroed header block for a bottom-up DIB; with 5-6-5 masks and the 16-bit table when asked.
std::vector<std::uint8_t> MakeHeader(std::int32_t width, std::int32_t height, int bits,
                                     bool masks565);

}  // namespace dib
}  // namespace vistrel
