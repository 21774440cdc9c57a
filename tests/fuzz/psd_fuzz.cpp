// Loads the bytes as a PSD from a memory stream. Every outcome must be a
// picture, or one of the reader's messages (1, or 14 to 17 from the colour
// converter); the loaded rows are read back so a bitmap too small for its size
// shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>

#include "imaging/psd_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  TPSDGraphic psd;
  TRasterBitmap* loaded =
      fuzz::LoadPicture(psd, data, size, {kMsgInvalidImage, kMsgUnsupportedFormat, 14, 15, 16, 17});
  if (loaded != nullptr) fuzz::ReadEveryRow(*loaded);
  // The rows handed to the screen renderer one at a time.
  fuzz::RenderStreamed<TPSDGraphic>(data, size,
                                    {kMsgInvalidImage, kMsgUnsupportedFormat, 14, 15, 16, 17});
  return 0;
}
