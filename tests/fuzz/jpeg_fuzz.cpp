// Feeds the input to the JPEG reader as a file and decodes it. The last byte, read as its
// difference from the end-of-image code, picks the settings, so an intact file decodes with the
// defaults and mutations of that byte reach the other decoder paths. Nothing may escape: an
// exception, a crash or a sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "imaging/data_stream.h"
#include "imaging/jpeg_picture.h"

namespace {

// Larger pictures are legal but make each run slow; their headers are still read.
constexpr std::uint64_t kMaxFuzzPixels = std::uint64_t{1} << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<vistrel::MemoryStream> stream = vistrel::CreateMemoryStream();
  stream->Assign(data, size);
  vistrel::TJpegPicture picture;
  picture.LoadFromStream(*stream);
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
  if (bitmap->Width() != width || bitmap->Height() != height) std::abort();
  // Every row of the result must be addressable in full.
  volatile std::uint8_t sink = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = bitmap->ScanLine(y);
    if (row == nullptr) std::abort();
    sink = static_cast<std::uint8_t>(sink + row[0] + row[bitmap->ScanLineSize() - 1]);
  }
  if (picture.Bitmap() != bitmap) std::abort();
  return 0;
}
