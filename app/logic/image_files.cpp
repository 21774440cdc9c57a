#include "app/logic/image_files.h"

#include <cstdlib>
#include <cstring>

#include "imaging/bmp_copy.h"
#include "imaging/byte_reader.h"
#include "imaging/checked_math.h"
#include "imaging/data_stream.h"
#include "imaging/gif_reader.h"
#include "imaging/jpeg_picture.h"
#include "imaging/png_reader.h"
#include "imaging/psd_reader.h"
#include "imaging/screen_render.h"
#include "imaging/webp_reader.h"

namespace vistrel {

namespace {

TRasterBitmap DecodeBmp(const std::string& path) {
  TRasterBitmap bitmap = TRasterBitmap::CreateDeviceBitmap(10, 10);
  bitmap.LoadFromFile(path);
  return bitmap;
}

// As LoadFromFile and Bitmap, without holding the file in memory.
TRasterBitmap DecodeJpeg(const std::string& path) {
  TJpegPicture picture;
  return picture.DecodeFile(path);
}

TRasterBitmap RenderJpeg(const std::string& path, char style_letter, ScreenSize screen) {
  TJpegPicture picture;
  return picture.RenderFile(path, style_letter, screen);
}

// The readers that raise on a damaged file: a read stream handed to LoadFromStream.
template <class Reader>
TRasterBitmap DecodeWithReader(const std::string& path) {
  Reader reader;
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  reader.LoadFromStream(*stream);
  return reader.Bitmap ? std::move(*reader.Bitmap) : TRasterBitmap();
}

// A BMP whose rows are stored plain, in 8 bits through its colour table or in 24 or 32 bits, is
// read a row at a time; bottom-up rows come in as a picture mirrored top to bottom, which the
// renderer turns back. Any other is decoded whole first.
TRasterBitmap RenderBmp(const std::string& path, char style_letter, ScreenSize screen) {
  std::unique_ptr<TDataStream> source = OpenReadFileStream(path);
  BmpRowCopy rows;
  ResampleGeometry geometry;
  if (rows.Open(*source) && rows.HeaderBlock().size() >= kHeaderBlockSize) {
    const std::uint8_t* h = rows.HeaderBlock().data();
    const auto width = static_cast<std::int32_t>(LoadU32LE(h + 4));
    const auto stored_height = static_cast<std::int32_t>(LoadU32LE(h + 8));
    const std::uint32_t bits = LoadU16LE(h + 14);
    const std::int32_t height = stored_height == INT32_MIN ? 0 : std::abs(stored_height);
    const TExifOrientation order =
        stored_height > 0 ? TExifOrientation::kMirrorVertical : TExifOrientation::kNormal;
    std::uint32_t row_size = 0;
    if ((bits == 8 || bits == 24 || bits == 32) && LoadU32LE(h + 16) == kBiRgb && width > 0 &&
        width <= kMaxResampleSide && height <= kMaxResampleSide &&
        DibRowSize(static_cast<std::uint32_t>(width), bits, row_size) &&
        ScreenGeometry(style_letter, width, height, screen, geometry) &&
        TScreenRenderer::MemoryNeeded(width, height, order, geometry, 3) != UINT64_MAX) {
      TScreenRenderer renderer(width, height, order, geometry, 3);
      std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3);
      const std::uint8_t* colors = h + kInfoHeaderSize;  // blue, green, red, 0
      const std::size_t pixel = bits / 8;
      const bool read = rows.ReadRows(row_size, [&](const std::uint8_t* row) {
        for (std::size_t x = 0; x < bgr.size() / 3; ++x)
          std::memcpy(&bgr[x * 3], pixel == 1 ? colors + 4 * row[x] : row + x * pixel, 3);
        renderer.PutRow(bgr.data());
      });
      // Rows that could no longer be read: the file changed underneath, no picture.
      return read ? renderer.Finish() : TRasterBitmap();
    }
  }
  source.reset();
  TRasterBitmap picture = DecodeBmp(path);
  if (!ScreenGeometry(style_letter, picture.Width(), picture.Height(), screen, geometry))
    return picture;
  return RenderBitmapForScreen(picture, geometry);
}

// A reader that can hand over its rows as it decodes them feeds the renderer straight away;
// one that holds its picture whole is rendered from it afterwards.
template <class Reader>
TRasterBitmap RenderWithReader(const std::string& path, char style_letter, ScreenSize screen) {
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  std::int32_t width = 0, height = 0;
  {
    Reader header;
    if (header.ReadImageProperties(*stream, 0) &&
        header.ImageProperties.Width <= static_cast<std::uint32_t>(kMaxResampleSide) &&
        header.ImageProperties.Height <= static_cast<std::uint32_t>(kMaxResampleSide)) {
      width = static_cast<std::int32_t>(header.ImageProperties.Width);
      height = static_cast<std::int32_t>(header.ImageProperties.Height);
    }
    stream->SetPosition(0);
  }
  ResampleGeometry geometry;
  if (!ScreenGeometry(style_letter, width, height, screen, geometry) ||
      TScreenRenderer::MemoryNeeded(width, height, TExifOrientation::kNormal, geometry, 3) ==
          UINT64_MAX) {
    // Not a picture this reader knows, or one too odd to stream: decoded whole, whose outcome
    // (an error message, say) is the reader's own.
    stream.reset();
    TRasterBitmap picture = DecodeWithReader<Reader>(path);
    if (!ScreenGeometry(style_letter, picture.Width(), picture.Height(), screen, geometry))
      return picture;
    return RenderBitmapForScreen(picture, geometry);
  }
  TScreenRenderer renderer(width, height, TExifOrientation::kNormal, geometry, 3);
  TBitmapRowFeed feed(renderer, width);
  Reader reader;
  reader.RowFeed = &feed;
  reader.LoadFromStream(*stream);
  if (!reader.Bitmap || reader.Bitmap->IsEmpty()) return TRasterBitmap();
  if (renderer.RowsTaken() == 0) {
    for (std::int32_t y = 0; y < height; ++y) feed.Feed(*reader.Bitmap, y);
  }
  return renderer.Finish();
}

struct ImageKind {
  const char* extension;
  TRasterBitmap (*decode)(const std::string& path);
  // Renders for a screen without decoding the whole picture first; null: decode, then render.
  TRasterBitmap (*render)(const std::string& path, char style_letter, ScreenSize screen);
};

// One row per reader; the first matching row decodes.
const ImageKind kImageKinds[] = {
    {".bmp", DecodeBmp, RenderBmp},
    {".jpg", DecodeJpeg, RenderJpeg},
    // The window offers and accepts .jpeg files, so they are applied like .jpg ones.
    {".jpeg", DecodeJpeg, RenderJpeg},
    {".gif", DecodeWithReader<TGIFGraphic>, RenderWithReader<TGIFGraphic>},
    {".png", DecodeWithReader<TPNGGraphic>, RenderWithReader<TPNGGraphic>},
    {".psd", DecodeWithReader<TPSDGraphic>, RenderWithReader<TPSDGraphic>},
    {".webp", DecodeWithReader<TWebPGraphic>, RenderWithReader<TWebPGraphic>},
};

const ImageKind* KindFor(const std::string& path) {
  std::string extension = ImageExtension(path);
  for (const ImageKind& kind : kImageKinds)
    if (extension == kind.extension) return &kind;
  return nullptr;
}

}  // namespace

std::string ImageExtension(const std::string& path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::string();
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::vector<std::string> ImageExtensions() {
  std::vector<std::string> extensions;
  for (const ImageKind& kind : kImageKinds) extensions.emplace_back(kind.extension);
  return extensions;
}

bool IsSupportedImage(const std::string& path) {
  return KindFor(path) != nullptr;
}

TRasterBitmap DecodeImageFile(const std::string& path) {
  const ImageKind* kind = KindFor(path);
  if (!kind) return TRasterBitmap();
  return kind->decode(path);
}

TRasterBitmap RenderImageFile(const std::string& path, char style_letter, ScreenSize screen) {
  const ImageKind* kind = KindFor(path);
  if (!kind) return TRasterBitmap();
  ResampleGeometry geometry;
  if (kind->render) {
    if (!RendersForScreen(style_letter) || !screen.Known()) return kind->decode(path);
    return kind->render(path, style_letter, screen);
  }
  TRasterBitmap picture = kind->decode(path);
  if (!ScreenGeometry(style_letter, picture.Width(), picture.Height(), screen, geometry))
    return picture;
  return RenderBitmapForScreen(picture, geometry);
}

}  // namespace vistrel
