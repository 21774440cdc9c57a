// Pixel formats of TRasterBitmap. Readers pass the values as numbers, so they are fixed.
#pragma once

#include <cstdint>

namespace vistrel {

enum class TRasterFormat : std::uint8_t {
  rfDevice = 0,  // platform bitmap in the screen's format; no pixel memory of its own
  rf1Bit = 1,
  rf4Bit = 2,
  rf8Bit = 3,
  rf15Bit = 4,  // 16 bits, BI_RGB 5-5-5
  rf16Bit = 5,  // 16 bits, BI_BITFIELDS 5-6-5
  rf24Bit = 6,  // blue, green, red
  rf32Bit = 7,  // blue, green, red, unused
  rfCustom = 8,
};

// 0 for rfDevice and rfCustom.
constexpr int BitsForFormat(TRasterFormat format) {
  switch (format) {
    case TRasterFormat::rf1Bit: return 1;
    case TRasterFormat::rf4Bit: return 4;
    case TRasterFormat::rf8Bit: return 8;
    case TRasterFormat::rf15Bit:
    case TRasterFormat::rf16Bit: return 16;
    case TRasterFormat::rf24Bit: return 24;
    case TRasterFormat::rf32Bit: return 32;
    default: return 0;
  }
}

// The first format with that bit count, so 16 gives rf15Bit; no match gives rfCustom.
constexpr TRasterFormat FormatForBits(int bits) {
  switch (bits) {
    case 1: return TRasterFormat::rf1Bit;
    case 4: return TRasterFormat::rf4Bit;
    case 8: return TRasterFormat::rf8Bit;
    case 16: return TRasterFormat::rf15Bit;
    case 24: return TRasterFormat::rf24Bit;
    case 32: return TRasterFormat::rf32Bit;
    default: return TRasterFormat::rfCustom;
  }
}

}  // namespace vistrel
