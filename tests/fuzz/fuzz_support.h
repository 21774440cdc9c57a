// What the readers' fuzz targets share: the input as a memory stream, the one exception a
// reader may end in, and a read of every row of the result.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <new>

#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "imaging/screen_render.h"

namespace vistrel::fuzz {

inline std::unique_ptr<MemoryStream> StreamOf(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(data, size);
  return stream;
}

// A finding unless the exception is the image formats' kind with one of the messages (any
// message when none are named).
inline void RequireReaderMessage(const Exception& e,
                                 std::initializer_list<std::uint32_t> codes = {}) {
  if (e.Kind() != kGraphicErrorKind) std::abort();
  if (codes.size() == 0) return;
  for (std::uint32_t code : codes)
    if (e.Code() == code) return;
  std::abort();
}

// Loads the input with the reader; the bitmap when a picture came out, nullptr when the load
// ended empty or in one of the messages (any other exception is a finding).
template <class Reader>
TRasterBitmap* LoadPicture(Reader& reader, const std::uint8_t* data, std::size_t size,
                           std::initializer_list<std::uint32_t> codes) {
  try {
    reader.LoadFromStream(*StreamOf(data, size));
  } catch (const Exception& e) {
    RequireReaderMessage(e, codes);
    return nullptr;
  }
  TRasterBitmap& bitmap = *reader.Bitmap;
  return bitmap.IsEmpty() ? nullptr : &bitmap;
}

// Reads every byte of every row, so a bitmap smaller than its size shows up under the sanitizers.
inline void ReadEveryRow(TRasterBitmap& bitmap) {
  volatile std::uint8_t sink = 0;
  const std::uint32_t row_size = bitmap.ScanLineSize();
  for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    if (row == nullptr) std::abort();
    for (std::uint32_t x = 0; x < row_size; ++x) sink = static_cast<std::uint8_t>(sink + row[x]);
  }
}

constexpr std::uint64_t kMaxStreamedPixels = std::uint64_t{1} << 22;

// Renders the input for a small screen as the applier renders a picture that streams: the rows
// the reader hands over while it decodes go to the screen renderer, which resamples them on
// another thread. It may end in the same messages; the result's rows are all read.
template <class Reader>
void RenderStreamed(const std::uint8_t* data, std::size_t size,
                    std::initializer_list<std::uint32_t> codes) {
  std::unique_ptr<MemoryStream> stream = StreamOf(data, size);
  try {
    Reader header;
    if (!header.ReadImageProperties(*stream, 0)) return;
    const std::uint32_t width = header.ImageProperties.Width;
    const std::uint32_t height = header.ImageProperties.Height;
    // A large seed is left to the whole load: a second pass over millions of pixels under the
    // sanitizers costs seconds an input, past the time limit on a busy machine.
    if (width > kMaxResampleSide || height > kMaxResampleSide ||
        std::uint64_t{width} * height > kMaxStreamedPixels)
      return;
    ResampleGeometry geometry;
    const auto w = static_cast<std::int32_t>(width), h = static_cast<std::int32_t>(height);
    if (!ScreenGeometry('3', w, h, ScreenSize{48, 32}, geometry) ||
        TScreenRenderer::MemoryNeeded(w, h, TExifOrientation::kNormal, geometry, 3) == UINT64_MAX)
      return;
    TScreenRenderer renderer(w, h, TExifOrientation::kNormal, geometry, 3);
    TBitmapRowFeed feed(renderer, w);
    Reader reader;
    reader.RowFeed = &feed;
    stream->SetPosition(0);
    reader.LoadFromStream(*stream);
    TRasterBitmap screen = renderer.Finish();
    if (!screen.IsEmpty()) ReadEveryRow(screen);
  } catch (const Exception& e) {
    RequireReaderMessage(e, codes);
  } catch (const std::bad_alloc&) {
    // Beyond the memory budget: the applier says so too.
  }
}

}  // namespace vistrel::fuzz
