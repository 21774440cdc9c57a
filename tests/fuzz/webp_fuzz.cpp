// Feeds the input to the WebP reader as a file: the signature test, the property reader and the
// loader (libwebp and its demuxer underneath), and the rows streamed into the screen renderer. A
// damaged file must end in one of the reader's messages; anything else (a crash, a sanitizer
// report, another exception) is a finding.
#include <cstdint>
#include <memory>

#include "imaging/webp_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<vistrel::MemoryStream> stream = vistrel::fuzz::StreamOf(data, size);
  (void)vistrel::TWebPGraphic::CanLoadStream(*stream);
  vistrel::TWebPGraphic reader;
  (void)reader.ReadImageProperties(*stream, 0);
  // Message 1 for what is not WebP or is cut short, 4 beyond the budget, 7 for damaged data.
  vistrel::TRasterBitmap* bitmap = vistrel::fuzz::LoadPicture(reader, data, size, {1, 4, 7});
  if (bitmap) vistrel::fuzz::ReadEveryRow(*bitmap);
  // The rows streamed through libwebp's incremental decoder into the screen renderer.
  vistrel::fuzz::RenderStreamed<vistrel::TWebPGraphic>(data, size, {1, 4, 7});
  return 0;
}
