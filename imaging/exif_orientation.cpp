#include "imaging/exif_orientation.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "imaging/byte_reader.h"

namespace vistrel {

namespace {

constexpr std::uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t kTiffHeaderSize = 8;
constexpr std::size_t kIfdEntrySize = 12;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
// Square tiles of a quarter turn: one tile's source and target rows stay in the cache.
constexpr std::int32_t kTurnTile = 64;

// The fields of a TIFF block in its own byte order; every offset was checked by the caller.
struct TiffFields {
  const std::uint8_t* tiff;
  bool big_endian;
  std::uint16_t U16(std::size_t at) const {
    return big_endian ? LoadU16BE(tiff + at) : LoadU16LE(tiff + at);
  }
  std::uint32_t U32(std::size_t at) const {
    return big_endian ? LoadU32BE(tiff + at) : LoadU32LE(tiff + at);
  }
};

template <std::size_t kPixel>
void MirrorRow(std::uint8_t* row, std::int32_t width) {
  std::uint8_t* left = row;
  std::uint8_t* right = row + (static_cast<std::size_t>(width) - 1) * kPixel;
  for (; left < right; left += kPixel, right -= kPixel)
    std::swap_ranges(left, left + kPixel, right);
}

template <std::size_t kPixel>
void MirrorRows(TRasterBitmap& bitmap) {
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    MirrorRow<kPixel>(bitmap.ScanLine(y), bitmap.Width());
}

void SwapRows(TRasterBitmap& bitmap, std::size_t row_bytes) {
  for (std::int32_t top = 0, bottom = bitmap.Height() - 1; top < bottom; ++top, --bottom) {
    std::uint8_t* a = bitmap.ScanLine(top);
    std::swap_ranges(a, a + row_bytes, bitmap.ScanLine(bottom));
  }
}

// Target pixel (x, y) of the turned picture, whose width is the source's height, comes from
// source pixel (sx, sy).
template <std::size_t kPixel>
void Turn(TRasterBitmap& source, TRasterBitmap& target, TExifOrientation orientation) {
  const std::int32_t w = source.Width(), h = source.Height();
  std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(h));
  for (std::int32_t y = 0; y < h; ++y) rows[static_cast<std::size_t>(y)] = source.ScanLine(y);
  const bool flip_x = orientation == TExifOrientation::kRotate90Clockwise ||
                      orientation == TExifOrientation::kTransverse;
  const bool flip_y = orientation == TExifOrientation::kTransverse ||
                      orientation == TExifOrientation::kRotate90CounterClockwise;
  for (std::int32_t ty = 0; ty < w; ty += kTurnTile) {
    for (std::int32_t tx = 0; tx < h; tx += kTurnTile) {
      for (std::int32_t y = ty; y < std::min(ty + kTurnTile, w); ++y) {
        std::uint8_t* out = target.ScanLine(y) + static_cast<std::size_t>(tx) * kPixel;
        const std::size_t sx = static_cast<std::size_t>(flip_y ? w - 1 - y : y) * kPixel;
        for (std::int32_t x = tx; x < std::min(tx + kTurnTile, h); ++x, out += kPixel) {
          const std::uint8_t* in = rows[static_cast<std::size_t>(flip_x ? h - 1 - x : x)] + sx;
          std::memcpy(out, in, kPixel);
        }
      }
    }
  }
}

template <std::size_t kPixel>
void Orient(TRasterBitmap& bitmap, TExifOrientation orientation) {
  switch (orientation) {
    case TExifOrientation::kMirrorHorizontal: MirrorRows<kPixel>(bitmap); return;
    case TExifOrientation::kMirrorVertical:
      SwapRows(bitmap, static_cast<std::size_t>(bitmap.Width()) * kPixel);
      return;
    case TExifOrientation::kRotate180:
      SwapRows(bitmap, static_cast<std::size_t>(bitmap.Width()) * kPixel);
      MirrorRows<kPixel>(bitmap);
      return;
    case TExifOrientation::kTranspose:
    case TExifOrientation::kRotate90Clockwise:
    case TExifOrientation::kTransverse:
    case TExifOrientation::kRotate90CounterClockwise: break;
    default: return;
  }
  TRasterBitmap turned =
      TRasterBitmap::CreateForRows(bitmap.Height(), bitmap.Width(), bitmap.GetFormat());
  if (kPixel == 1) {
    for (int i = 0; i < 256; ++i) turned.SetPaletteEntry(i, bitmap.PaletteEntry(i));
  }
  Turn<kPixel>(bitmap, turned, orientation);
  bitmap = std::move(turned);
}

}  // namespace

TExifOrientation ParseExifOrientation(const std::uint8_t* data, std::size_t size) {
  constexpr TExifOrientation kNone = TExifOrientation::kNormal;
  if (data == nullptr || size < sizeof kExifSignature + kTiffHeaderSize ||
      std::memcmp(data, kExifSignature, sizeof kExifSignature) != 0)
    return kNone;
  const std::size_t n = size - sizeof kExifSignature;
  TiffFields f{data + sizeof kExifSignature, false};
  if (f.tiff[0] == 'M' && f.tiff[1] == 'M') {
    f.big_endian = true;
  } else if (f.tiff[0] != 'I' || f.tiff[1] != 'I') {
    return kNone;
  }
  if (f.U16(2) != 42) return kNone;
  // IFD0 lies after the header and wholly inside the block, its link to the next IFD included.
  const std::uint32_t ifd = f.U32(4);
  if (ifd < kTiffHeaderSize || ifd > n || n - ifd < 2) return kNone;
  const std::size_t entries = f.U16(ifd);
  if (entries * kIfdEntrySize + 6 > n - ifd) return kNone;
  const std::size_t end = ifd + 2 + entries * kIfdEntrySize + 4;
  // A link back into IFD0 (or the header) is a loop, and one past the block a cut-off file:
  // either way the block is broken.
  const std::uint64_t next = f.U32(end - 4);
  if (next != 0 && (next < kTiffHeaderSize || next + 2 > n || (next < end && next + 2 > ifd)))
    return kNone;
  for (std::size_t i = 0; i < entries; ++i) {
    const std::size_t entry = ifd + 2 + i * kIfdEntrySize;
    if (f.U16(entry) != kOrientationTag) continue;
    const std::uint16_t value = f.U16(entry + 8);
    if (f.U16(entry + 2) != kShortType || f.U32(entry + 4) != 1 || value < 1 || value > 8)
      return kNone;
    return static_cast<TExifOrientation>(value);
  }
  return kNone;
}

bool OrientBitmap(TRasterBitmap& bitmap, TExifOrientation orientation) {
  if (orientation == TExifOrientation::kNormal || bitmap.IsEmpty()) return true;
  if (bitmap.HandleKind() != TBitmapHandleKind::hkDib) return false;
  switch (BitsForFormat(bitmap.GetFormat())) {
    case 8: Orient<1>(bitmap, orientation); return true;
    case 16: Orient<2>(bitmap, orientation); return true;
    case 24: Orient<3>(bitmap, orientation); return true;
    case 32: Orient<4>(bitmap, orientation); return true;
    default: return false;
  }
}

}  // namespace vistrel
