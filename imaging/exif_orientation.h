// The EXIF orientation of a photo, and turning a decoded bitmap upright by it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/raster_bitmap.h"

namespace vistrel {

// EXIF orientation values: how the stored rows must be turned to be seen as the camera saw them.
enum class TExifOrientation : std::uint8_t {
  kNormal = 1,
  kMirrorHorizontal = 2,
  kRotate180 = 3,
  kMirrorVertical = 4,
  kTranspose = 5,
  kRotate90Clockwise = 6,
  kTransverse = 7,
  kRotate90CounterClockwise = 8,
};

// The bytes of an APP1 segment after its length field that a JPEG holds at most.
constexpr std::size_t kMaxJpegSegmentData = 0xFFFF - 2;

// The orientation tag of IFD0 in the payload of an APP1 segment ("Exif\0\0" and a TIFF block of
// either byte order). Anything but one well-formed SHORT of 1 to 8 gives kNormal: the EXIF data
// of photos is often damaged, and a damaged block must leave the picture as stored.
TExifOrientation ParseExifOrientation(const std::uint8_t* data, std::size_t size);

// The orientations that swap width and height.
inline bool SwapsSides(TExifOrientation orientation) {
  return static_cast<std::uint8_t>(orientation) >= 5;
}

// Turns the bitmap as the orientation says. Mirrors and the half turn work in place; the others
// need a second bitmap of the same size (the caller's memory budget must have counted it),
// which then replaces the first. Only whole-byte pixel formats are turned; false (bitmap
// unchanged) for any other. std::bad_alloc passes through.
bool OrientBitmap(TRasterBitmap& bitmap, TExifOrientation orientation);

}  // namespace vistrel
