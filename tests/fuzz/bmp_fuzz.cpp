// Loads the bytes as a BMP from a memory stream; whatever loads is saved, must load again to
// the same picture, and is converted to another format. The row copy the applier uses for plain
// files must decline what does not load and write exactly what saving writes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/bmp_copy.h"
#include "imaging/raster_bitmap.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vistrel;
  auto in = fuzz::StreamOf(data, size);
  BmpRowCopy copy;
  const bool copies = copy.Open(*in);
  if (in->Position() != 0) std::abort();
  TRasterBitmap bmp;
  try {
    bmp.LoadFromStream(*in);
  } catch (const Exception& e) {
    if (e.Kind() != kToolkitCheckKind || !bmp.IsEmpty() || copies) std::abort();
    return 0;
  }
  if (bmp.IsEmpty()) {
    if (in->Position() != 0 || bmp.Header() != nullptr || copies) std::abort();
    return 0;
  }
  if (copies) {
    auto copied = CreateMemoryStream();
    auto saved = CreateMemoryStream();
    bmp.SaveToStream(*saved);
    if (copy.CopyTo(*copied) != BmpRowCopy::Result::kCopied || copied->Size() != saved->Size() ||
        std::memcmp(copied->Memory(), saved->Memory(), static_cast<std::size_t>(saved->Size())) !=
            0) {
      std::abort();
    }
  }
  // A few bytes of run-length data may make a valid sparse picture of hundreds of megabytes;
  // saving and converting those tests only the allocator, slowly.
  if (bmp.PixelMemorySize() > (std::uint32_t{16} << 20)) return 0;
  auto out = CreateMemoryStream();
  bmp.SaveToStream(*out);
  TRasterBitmap again;
  again.LoadFromStream(*fuzz::StreamOf(out->Memory(), static_cast<std::size_t>(out->Size())));
  if (again.PixelMemorySize() != bmp.PixelMemorySize() ||
      std::memcmp(again.PixelMemory(), bmp.PixelMemory(), bmp.PixelMemorySize()) != 0 ||
      std::memcmp(again.Header(), bmp.Header(), 40) != 0) {
    std::abort();
  }
  bmp.SetFormat(size % 2 ? TRasterFormat::rf8Bit : TRasterFormat::rf24Bit);
  return 0;
}
