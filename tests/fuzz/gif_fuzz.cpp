// Loads the bytes as a GIF from a memory stream. Every outcome must be a
// picture of the size the properties name, an empty one, or message 1; rows are
// read back so a bitmap too small for its size shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>

#include "imaging/gif_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  TGIFGraphic gif;
  try {
    gif.LoadFromStream(*fuzz::StreamOf(data, size));
  } catch (const Exception& e) {
    fuzz::RequireReaderMessage(e, {kMsgInvalidImage, kMsgUnsupportedFormat});
    return 0;
  }
  TRasterBitmap& bmp = *gif.Bitmap;
  if (bmp.IsEmpty()) return 0;
  if (static_cast<std::uint32_t>(bmp.Width()) != gif.ImageProperties.Width ||
      static_cast<std::uint32_t>(bmp.Height()) != gif.ImageProperties.Height) {
    std::abort();
  }
  if (bmp.GetFormat() != TRasterFormat::rf8Bit) std::abort();
  fuzz::ReadEveryRow(bmp);
  return 0;
}
