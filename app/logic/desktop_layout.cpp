#include "app/logic/desktop_layout.h"

#include <cstring>
#include <memory>
#include <new>

#include "app/logic/image_files.h"
#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/gif_reader.h"
#include "imaging/jpeg_picture.h"
#include "imaging/png_reader.h"
#include "imaging/psd_reader.h"
#include "imaging/screen_render.h"
#include "imaging/webp_reader.h"

namespace vistrel {

namespace {

template <class Reader>
PictureSize ReaderSize(const std::string& path) {
  Reader reader;
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  if (!reader.ReadImageProperties(*stream, 0)) return {};
  const TImageProperties& p = reader.ImageProperties;
  if (p.Width > 0x7FFFFFFF || p.Height > 0x7FFFFFFF) return {};
  return {static_cast<std::int32_t>(p.Width), static_cast<std::int32_t>(p.Height)};
}

std::int32_t Int32At(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                   std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

// The file header and the first fields of the info header: a core header's sides are 16 bits,
// the others' 32, the height negative for rows stored top down.
PictureSize BmpSize(const std::string& path) {
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  std::uint8_t bytes[26] = {};
  if (stream->Read(bytes, sizeof bytes) != sizeof bytes || bytes[0] != 'B' || bytes[1] != 'M')
    return {};
  if (Int32At(bytes + 14) == 12) return {bytes[18] | bytes[19] << 8, bytes[20] | bytes[21] << 8};
  const std::int32_t width = Int32At(bytes + 18), height = Int32At(bytes + 22);
  if (width <= 0 || height == 0 || height == INT32_MIN) return {};
  return {width, height < 0 ? -height : height};
}

PictureSize JpegSize(const std::string& path) {
  TJpegPicture picture;
  if (!picture.LoadFromFile(path)) return {};
  return {picture.Width(), picture.Height()};  // upright, as its EXIF orientation turns it
}

// Rows of any format become the 24-bit rows the composition places.
class Bgr24Rows : public TRowSink {
 public:
  Bgr24Rows(std::int32_t width, std::int32_t height)
      : bitmap_(TRasterBitmap::CreateForRows(width, height, TRasterFormat::rf24Bit)) {}
  void PutRow(const std::uint8_t* row) override {
    std::memcpy(bitmap_.ScanLine(next_++), row, static_cast<std::size_t>(bitmap_.Width()) * 3);
  }
  TRasterBitmap Take() { return std::move(bitmap_); }

 private:
  TRasterBitmap bitmap_;
  std::int32_t next_ = 0;
};

TRasterBitmap AsBgr24(TRasterBitmap picture) {
  const TRasterFormat format = picture.GetFormat();
  if (picture.IsEmpty() || format == TRasterFormat::rf24Bit || format == TRasterFormat::rf32Bit)
    return picture;
  Bgr24Rows rows(picture.Width(), picture.Height());
  TBitmapRowFeed feed(rows, picture.Width());
  for (std::int32_t y = 0; y < picture.Height(); ++y) feed.Feed(picture, y);
  return rows.Take();
}

TRasterBitmap RenderFor(const DealtPicture& picture, const MonitorRect& area) {
  return AsBgr24(
      RenderImageFile(picture.path, picture.style_letter, ScreenSize{area.width, area.height}));
}

PictureSize HeaderSize(const std::string& path) {
  const std::string extension = ImageExtension(path);
  if (extension == ".bmp") return BmpSize(path);
  if (extension == ".jpg" || extension == ".jpeg") return JpegSize(path);
  if (extension == ".gif") return ReaderSize<TGIFGraphic>(path);
  if (extension == ".png") return ReaderSize<TPNGGraphic>(path);
  if (extension == ".psd") return ReaderSize<TPSDGraphic>(path);
  if (extension == ".webp") return ReaderSize<TWebPGraphic>(path);
  return {};
}

}  // namespace

PictureSize UprightPictureSize(const std::string& path) {
  try {
    return HeaderSize(path);
  } catch (const Exception&) {
    return {};  // a damaged header: the picture's own rendering tells of it
  } catch (const std::bad_alloc&) {
    return {};
  }
}

TRasterBitmap RenderDesktop(const std::vector<MonitorRect>& monitors, MonitorMode mode,
                            const std::vector<DealtPicture>& pictures, bool portrait_on_portrait,
                            DesktopWrap wrap) {
  const std::vector<MonitorRect> ordered = DealingOrder(monitors);
  if (ordered.empty() || pictures.empty()) return TRasterBitmap();
  if (mode == MonitorMode::kSpan) {
    DesktopCanvas canvas(ordered);
    const MonitorRect& bounds = canvas.Bounds();
    TRasterBitmap picture = RenderFor(pictures.front(), bounds);
    if (picture.IsEmpty()) return picture;
    for (const MonitorRect& m : ordered)
      canvas.Place(bounds, m, picture, pictures.front().style_letter);
    return canvas.Finish(wrap);
  }
  // A picture that cannot be shown leaves its monitors to the others, dealt anew; only the last
  // one's failure is the desktop's.
  std::vector<DealtPicture> pool = pictures;
  std::vector<PictureSize> sizes;
  for (const DealtPicture& p : pool)
    sizes.push_back(portrait_on_portrait ? UprightPictureSize(p.path) : PictureSize());
  for (;;) {
    const std::vector<std::size_t> assigned = AssignPictures(ordered, sizes, portrait_on_portrait);
    DesktopCanvas canvas(ordered);
    std::size_t failed = pool.size();
    for (std::size_t i = 0; i < ordered.size() && failed == pool.size(); ++i) {
      const DealtPicture& dealt = pool[assigned[i]];
      TRasterBitmap picture;
      try {
        picture = RenderFor(dealt, ordered[i]);
      } catch (const Exception&) {
        if (pool.size() == 1) throw;
      } catch (const std::bad_alloc&) {
        if (pool.size() == 1) throw;
      }
      if (picture.IsEmpty())
        failed = assigned[i];
      else
        canvas.Place(ordered[i], ordered[i], picture, dealt.style_letter);
    }
    if (failed == pool.size()) return canvas.Finish(wrap);
    if (pool.size() == 1) return TRasterBitmap();
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(failed));
    sizes.erase(sizes.begin() + static_cast<std::ptrdiff_t>(failed));
  }
}

DesktopStyleValues DesktopStyle(DesktopWrap wrap) {
  return wrap == DesktopWrap::kSpan ? DesktopStyleValues{"22", "0"} : DesktopStyleValues{"0", "1"};
}

}  // namespace vistrel
