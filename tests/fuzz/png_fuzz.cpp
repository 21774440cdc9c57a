// Feeds the input to the PNG reader as a file: the signature test, the property reader and the
// loader, then the streamed render. A damaged file must end in one of the reader's messages;
// anything else (a crash, a sanitizer report, another exception) is a finding.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "imaging/png_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<vistrel::MemoryStream> stream = vistrel::fuzz::StreamOf(data, size);
  vistrel::TPNGGraphic reader;
  (void)vistrel::TPNGGraphic::CanLoadStream(*stream);
  try {
    (void)reader.ReadImageProperties(*stream, 0);
  } catch (const vistrel::Exception& e) {
    vistrel::fuzz::RequireReaderMessage(e);
  }
  stream->SetPosition(0);
  try {
    reader.LoadFromStream(*stream);
    // Every row of the result must be addressable.
    vistrel::TRasterBitmap& bitmap = *reader.Bitmap;
    volatile std::uint8_t sink = 0;
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
      const std::uint8_t* row = bitmap.ScanLine(y);
      if (row) sink = static_cast<std::uint8_t>(sink + row[bitmap.ScanLineSize() - 1]);
    }
  } catch (const vistrel::Exception& e) {
    vistrel::fuzz::RequireReaderMessage(e);
  }
  // The rows streamed into the screen renderer: unfiltered on a second thread, resampled on a
  // third.
  vistrel::fuzz::RenderStreamed<vistrel::TPNGGraphic>(data, size, {});
  return 0;
}
