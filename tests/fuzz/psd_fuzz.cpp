// Loads the bytes as a PSD from a memory stream. Every outcome must be a
// picture, or one of the reader's messages (1, or 14 to 17 from the colour
// converter); the loaded rows are read back so a bitmap too small for its size
// shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>

#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/psd_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  auto in = CreateMemoryStream();
  in->Assign(data, size);
  TPSDGraphic psd;
  try {
    psd.LoadFromStream(*in);
  } catch (const Exception& e) {
    const std::uint32_t code = e.Code();
    if (e.Kind() != kGraphicErrorKind ||
        !(code == kMsgInvalidImage || code == kMsgUnsupportedFormat ||
          (code >= 14 && code <= 17))) {
      std::abort();
    }
    return 0;
  }
  TRasterBitmap& bmp = *psd.Bitmap;
  if (bmp.IsEmpty()) return 0;
  unsigned sum = 0;
  const std::uint32_t rowSize = bmp.ScanLineSize();
  for (std::int32_t y = 0; y < bmp.Height(); ++y) {
    const std::uint8_t* row = bmp.ScanLine(y);
    for (std::uint32_t x = 0; x < rowSize; ++x) sum += row[x];
  }
  return static_cast<int>(sum & 0);
}
