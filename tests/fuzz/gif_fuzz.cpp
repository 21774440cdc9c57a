// Loads the bytes as a GIF from a memory stream. Every outcome must be a
// picture of the size the properties name, an empty one, or message 1; rows are
// read back so a bitmap too small for its size shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>

#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/gif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  auto in = CreateMemoryStream();
  in->Assign(data, size);
  TGIFGraphic gif;
  try {
    gif.LoadFromStream(*in);
  } catch (const Exception& e) {
    if (e.Kind() != kGraphicErrorKind ||
        (e.Code() != kMsgInvalidImage && e.Code() != kMsgUnsupportedFormat)) {
      std::abort();
    }
    return 0;
  }
  TRasterBitmap& bmp = *gif.Bitmap;
  if (bmp.IsEmpty()) return 0;
  if (static_cast<std::uint32_t>(bmp.Width()) != gif.ImageProperties.Width ||
      static_cast<std::uint32_t>(bmp.Height()) != gif.ImageProperties.Height) {
    std::abort();
  }
  if (bmp.GetFormat() != TRasterFormat::rf8Bit) std::abort();
  unsigned sum = 0;
  for (std::int32_t y = 0; y < bmp.Height(); ++y) {
    const std::uint8_t* row = bmp.ScanLine(y);
    for (std::int32_t x = 0; x < bmp.Width(); ++x) sum += row[x];
  }
  return static_cast<int>(sum & 0);
}
