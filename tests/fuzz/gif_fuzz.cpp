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
  // The rows handed to the screen renderer as the next is begun.
  fuzz::RenderStreamed<TGIFGraphic>(data, size, {kMsgInvalidImage, kMsgUnsupportedFormat});
  TRasterBitmap* loaded =
      fuzz::LoadPicture(gif, data, size, {kMsgInvalidImage, kMsgUnsupportedFormat});
  if (loaded == nullptr) return 0;
  TRasterBitmap& bmp = *loaded;
  if (static_cast<std::uint32_t>(bmp.Width()) != gif.ImageProperties.Width ||
      static_cast<std::uint32_t>(bmp.Height()) != gif.ImageProperties.Height) {
    std::abort();
  }
  if (bmp.GetFormat() != TRasterFormat::rf8Bit) std::abort();
  fuzz::ReadEveryRow(bmp);
  return 0;
}
