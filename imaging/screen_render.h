// A picture rendered at the screen's own size for the styles that scale it (Stretch, Fit,
// Fill), so the wallpaper file holds the screen's pixels and Windows shows them one to one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/exif_orientation.h"
#include "imaging/raster_bitmap.h"
#include "imaging/resampler.h"
#include "imaging/row_pipe.h"

namespace vistrel {

class ColorTransform;

// A monitor's size in physical pixels; 0 x 0 when it is not known.
struct ScreenSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool Known() const { return width > 0 && height > 0; }
  bool operator==(const ScreenSize& other) const {
    return width == other.width && height == other.height;
  }
  bool operator!=(const ScreenSize& other) const { return !(*this == other); }
};

// Larger sides are no screen anyone has; such a size is taken as unknown.
constexpr std::int32_t kMaxScreenSide = 16384;

// Whether the style letter scales the picture: 3 Stretch, 4 Fit, 5 Fill.
bool RendersForScreen(char style_letter);

// What the style makes of an upright picture of that size on that screen: Stretch exactly the
// screen; Fit the largest size inside it with the picture's shape; Fill the smallest size with
// that shape that covers it, of which the centre, the screen's size, is kept. False (keep the
// picture's own pixels) for the other letters, an unknown screen or an empty picture.
bool ScreenGeometry(char style_letter, std::int32_t picture_width, std::int32_t picture_height,
                    ScreenSize screen, ResampleGeometry& geometry);

// The same part of the picture in its stored rows, for a picture that the orientation turns
// upright afterwards: resampling commutes with turns and mirrors, so the small result is turned
// instead of the picture.
ResampleGeometry StoredGeometry(const ResampleGeometry& upright, TExifOrientation orientation);

// Takes a picture's rows as stored (1 channel grey or 3 channels blue, green, red) and makes
// the upright rf24Bit screen bitmap. Only the rows under the resampler's kernel are held, and
// a few batches of rows on their way to it: the resampler takes them on a second thread, so it
// runs beside the decoder.
class TScreenRenderer : public TRowSink {
 public:
  // upright: the geometry for the picture once it is turned by orientation. color (3 channels
  // only; not owned, and it must outlive the renderer): a colour profile's transform applied to
  // each row before it is resampled, on the resampler's thread. Throws std::bad_alloc for sizes
  // out of range or beyond the memory budget.
  TScreenRenderer(std::int32_t stored_width, std::int32_t stored_height,
                  TExifOrientation orientation, const ResampleGeometry& upright, int channels,
                  const ColorTransform* color = nullptr);
  TScreenRenderer(const TScreenRenderer&) = delete;
  TScreenRenderer& operator=(const TScreenRenderer&) = delete;
  ~TScreenRenderer() override;

  // What rendering costs besides the rows a reader holds: the resampler and the bitmap twice
  // (a quarter turn makes a second one). UINT64_MAX for sizes out of range.
  static std::uint64_t MemoryNeeded(std::int32_t stored_width, std::int32_t stored_height,
                                    TExifOrientation orientation, const ResampleGeometry& upright,
                                    int channels);

  std::uint8_t* NextRow() override;
  void PutRow(const std::uint8_t* row) override;
  std::int32_t RowsTaken() const { return rows_taken_; }

  // The screen bitmap. Rows a decode never delivered count as black, as in a bitmap that a
  // decode stopped filling.
  TRasterBitmap Finish();

 private:
  class Output;
  class ColorStage;

  TExifOrientation orientation_;
  std::int32_t stored_width_;
  std::int32_t stored_height_;
  int channels_;
  std::unique_ptr<Output> output_;
  std::unique_ptr<TLanczosResampler> resampler_;
  std::unique_ptr<ColorStage> color_stage_;  // before the resampler, with a profile
  std::unique_ptr<TRowPipe> pipe_;           // in front of the resampler, until Finish
  std::int32_t rows_taken_ = 0;
};

// Bitmap rows of any format as blue, green, red rows for a sink: indexed pixels through the
// colour table, which is read with the first row, a fourth byte (alpha, which Windows does not
// show in a wallpaper) dropped.
class TBitmapRowFeed {
 public:
  TBitmapRowFeed(TRowSink& sink, std::int32_t width);
  // Row y of the bitmap, of the width given; rows that are not there count as black.
  void Feed(TRasterBitmap& bitmap, std::int32_t y);

 private:
  TRowSink& sink_;  // not owned
  std::vector<std::uint8_t> row_;
  std::uint32_t palette_[256] = {};
  bool palette_read_ = false;
};

// A decoded bitmap of any format resampled as ScreenGeometry says; the picture is upright.
TRasterBitmap RenderBitmapForScreen(TRasterBitmap& picture, const ResampleGeometry& geometry);

}  // namespace vistrel
