// Feeds the input to the JPEG reader as a file and decodes it. The last byte, read as its
// difference from the end-of-image code, picks the settings, so an intact file decodes with the
// defaults and mutations of that byte reach the other decoder paths. The seeds with EXIF
// orientations bring the EXIF parser and every turn of the bitmap in. Nothing may escape: an
// exception, a crash or a sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "imaging/jpeg_picture.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Larger pictures are legal but make each run slow; their headers are still read.
constexpr std::uint64_t kMaxFuzzPixels = std::uint64_t{1} << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vistrel::TJpegPicture picture;
  picture.LoadFromStream(*vistrel::fuzz::StreamOf(data, size));
  if (picture.IsEmpty()) {
    if (picture.Bitmap() != nullptr) std::abort();
    return 0;
  }
  if (std::uint64_t(picture.Width()) * std::uint64_t(picture.Height()) > kMaxFuzzPixels) return 0;

  const std::uint8_t flags = data[size - 1] ^ 0xD9;
  picture.SetSmoothBlocks((flags & 1) == 0);
  picture.SetForceGray((flags & 2) != 0);
  picture.SetQuantizeTo8Bit((flags & 4) != 0);
  picture.SetShowProgressive((flags & 8) != 0);
  picture.SetFastDecode((flags & 16) != 0);
  picture.SetScaleShift(static_cast<std::uint8_t>(flags >> 5 & 3));
  if (flags & 128) picture.SetCmykHook([](vistrel::TRasterBitmap&) {});
  const std::int32_t width = picture.Width(), height = picture.Height();
  vistrel::TRasterBitmap* bitmap = picture.Bitmap();
  // The header read at load time is read again by the decode; only a decode that made no row
  // at all gives no bitmap, and it says it failed.
  if (bitmap == nullptr) {
    if (!picture.DecodeFailed() || picture.Bitmap() != nullptr) std::abort();
    return 0;
  }
  // The upright size known before decoding is the decoded bitmap's, turned or not.
  if (bitmap->Width() != width || bitmap->Height() != height) std::abort();
  vistrel::fuzz::ReadEveryRow(*bitmap);
  if (picture.Bitmap() != bitmap) std::abort();
  return 0;
}
