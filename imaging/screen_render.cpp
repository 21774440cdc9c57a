#include "imaging/screen_render.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/color_profile.h"
#include "imaging/memory_budget.h"

namespace vistrel {

namespace {

// a * b / c rounded to the nearest, at least 1; the operands are below 2^31.
std::int32_t ScaledSide(std::int64_t a, std::int64_t b, std::int64_t c) {
  return static_cast<std::int32_t>(std::max<std::int64_t>((2 * a * b + c) / (2 * c), 1));
}

}  // namespace

bool RendersForScreen(char style_letter) {
  return style_letter == '3' || style_letter == '4' || style_letter == '5';
}

bool ScreenGeometry(char style_letter, std::int32_t picture_width, std::int32_t picture_height,
                    ScreenSize screen, ResampleGeometry& g) {
  if (!RendersForScreen(style_letter) || !screen.Known() || screen.width > kMaxScreenSide ||
      screen.height > kMaxScreenSide || picture_width <= 0 || picture_height <= 0)
    return false;
  const std::int64_t w = picture_width, h = picture_height;
  const std::int64_t sw = screen.width, sh = screen.height;
  const bool wider = w * sh >= h * sw;  // than the screen, or as wide
  g = ResampleGeometry();
  if (style_letter == '3') {
    g.scaled_width = screen.width;
    g.scaled_height = screen.height;
  } else if ((style_letter == '4') == wider) {
    g.scaled_width = screen.width;
    g.scaled_height = ScaledSide(h, sw, w);
  } else {
    g.scaled_width = ScaledSide(w, sh, h);
    g.scaled_height = screen.height;
  }
  g.width = g.scaled_width;
  g.height = g.scaled_height;
  if (style_letter == '5') {
    g.width = std::min(g.scaled_width, screen.width);
    g.height = std::min(g.scaled_height, screen.height);
    g.left = (g.scaled_width - g.width) / 2;
    g.top = (g.scaled_height - g.height) / 2;
  }
  return true;
}

ResampleGeometry StoredGeometry(const ResampleGeometry& u, TExifOrientation orientation) {
  // Where the kept rectangle lies when the picture is mirrored across or down.
  const std::int32_t mirrored_left = u.scaled_width - u.left - u.width;
  const std::int32_t mirrored_top = u.scaled_height - u.top - u.height;
  ResampleGeometry s = u;
  switch (orientation) {
    case TExifOrientation::kMirrorHorizontal: s.left = mirrored_left; break;
    case TExifOrientation::kRotate180:
      s.left = mirrored_left;
      s.top = mirrored_top;
      break;
    case TExifOrientation::kMirrorVertical: s.top = mirrored_top; break;
    default: break;
  }
  if (!SwapsSides(orientation)) return s;
  s.scaled_width = u.scaled_height;
  s.scaled_height = u.scaled_width;
  s.width = u.height;
  s.height = u.width;
  // Stored columns run along the upright rows, stored rows along the upright columns; each
  // turn or mirror decides which of them runs backwards.
  const bool columns_backwards = orientation == TExifOrientation::kRotate90CounterClockwise ||
                                 orientation == TExifOrientation::kTransverse;
  const bool rows_backwards = orientation == TExifOrientation::kRotate90Clockwise ||
                              orientation == TExifOrientation::kTransverse;
  s.left = columns_backwards ? mirrored_top : u.top;
  s.top = rows_backwards ? mirrored_left : u.left;
  return s;
}

// Writes the resampled rows into the bitmap, grey widened to blue, green, red.
class TScreenRenderer::Output : public TRowSink {
 public:
  Output(std::int32_t width, std::int32_t height, int channels)
      : bitmap_(TRasterBitmap::CreateDibBitmap(width, height, TRasterFormat::rf24Bit)),
        channels_(channels) {}

  void PutRow(const std::uint8_t* row) override {
    std::uint8_t* target = bitmap_.ScanLine(next_row_++);
    if (target == nullptr) return;
    const auto width = static_cast<std::size_t>(bitmap_.Width());
    if (channels_ == 3) {
      std::memcpy(target, row, width * 3);
      return;
    }
    for (std::size_t x = 0; x < width; ++x, target += 3) {
      const std::uint8_t* p = row + x * static_cast<std::size_t>(channels_);
      if (channels_ < 3) {
        target[0] = target[1] = target[2] = p[0];
      } else {
        std::memcpy(target, p, 3);
      }
    }
  }

  TRasterBitmap& Bitmap() { return bitmap_; }

 private:
  TRasterBitmap bitmap_;
  int channels_;
  std::int32_t next_row_ = 0;
};

// The profile's conversion of each row on its way to the resampler, on the pipe's thread.
class TScreenRenderer::ColorStage : public TRowSink {
 public:
  ColorStage(const ColorTransform& color, TRowSink& out, std::size_t row_bytes)
      : color_(color), out_(out), row_(row_bytes) {}
  void PutRow(const std::uint8_t* row) override {
    color_.Convert(row, row_.data(), static_cast<std::uint32_t>(row_.size() / 3));
    out_.PutRow(row_.data());
  }

 private:
  const ColorTransform& color_;  // not owned
  TRowSink& out_;                // not owned
  std::vector<std::uint8_t> row_;
};

std::uint64_t TScreenRenderer::MemoryNeeded(std::int32_t stored_width, std::int32_t stored_height,
                                            TExifOrientation orientation,
                                            const ResampleGeometry& upright, int channels) {
  const ResampleGeometry g = StoredGeometry(upright, orientation);
  const std::uint64_t resampler =
      TLanczosResampler::MemoryNeeded(stored_width, stored_height, g, channels);
  if (resampler == UINT64_MAX) return UINT64_MAX;
  MemoryBudget budget;
  const std::uint64_t row_bytes = std::uint64_t{static_cast<std::uint32_t>(stored_width)} *
                                  static_cast<std::uint32_t>(channels);
  budget.Add(resampler)
      .Add(std::uint64_t{static_cast<std::uint32_t>(stored_width)}, 4)
      .Add(TRowPipe::MemoryNeeded(static_cast<std::size_t>(row_bytes)))
      .Add(row_bytes);  // the colour stage's row
  AddBitmap(budget, static_cast<std::uint32_t>(g.width), static_cast<std::uint32_t>(g.height), 24);
  AddBitmap(budget, static_cast<std::uint32_t>(g.width), static_cast<std::uint32_t>(g.height), 24);
  return budget.Fits() ? budget.Total() : UINT64_MAX;
}

TScreenRenderer::TScreenRenderer(std::int32_t stored_width, std::int32_t stored_height,
                                 TExifOrientation orientation, const ResampleGeometry& upright,
                                 int channels, const ColorTransform* color)
    : orientation_(orientation),
      stored_width_(stored_width),
      stored_height_(stored_height),
      channels_(channels) {
  if (MemoryNeeded(stored_width, stored_height, orientation, upright, channels) == UINT64_MAX)
    throw std::bad_alloc();
  const ResampleGeometry g = StoredGeometry(upright, orientation);
  output_ = std::make_unique<Output>(g.width, g.height, channels);
  // Pillow's order on the upright picture: across it first, which is down the stored rows
  // when they are turned a quarter. The 8-bit step between the passes keeps the order visible.
  resampler_ = std::make_unique<TLanczosResampler>(stored_width, stored_height, g, channels,
                                                   *output_, SwapsSides(orientation));
  const std::size_t row_bytes =
      static_cast<std::size_t>(stored_width) * static_cast<std::size_t>(channels);
  TRowSink* first = resampler_.get();
  if (color && channels == 3) {
    color_stage_ = std::make_unique<ColorStage>(*color, *resampler_, row_bytes);
    first = color_stage_.get();
  }
  pipe_ = std::make_unique<TRowPipe>(*first, row_bytes);
}

// The pipe goes first: its worker may still be giving rows to the resampler.
TScreenRenderer::~TScreenRenderer() {
  pipe_.reset();
}

std::uint8_t* TScreenRenderer::NextRow() {
  return rows_taken_ < stored_height_ ? pipe_->NextRow() : nullptr;
}

void TScreenRenderer::PutRow(const std::uint8_t* row) {
  if (rows_taken_ >= stored_height_) return;
  ++rows_taken_;
  pipe_->PutRow(row);
}

TRasterBitmap TScreenRenderer::Finish() {
  pipe_->Close();
  if (resampler_->RowsTaken() < stored_height_) {
    std::vector<std::uint8_t> black(
        static_cast<std::size_t>(stored_width_) * static_cast<std::size_t>(channels_), 0);
    while (resampler_->RowsTaken() < stored_height_) resampler_->PutRow(black.data());
  }
  pipe_.reset();
  color_stage_.reset();
  resampler_.reset();
  TRasterBitmap bitmap = std::move(output_->Bitmap());
  output_.reset();
  OrientBitmap(bitmap, orientation_);
  return bitmap;
}

TBitmapRowFeed::TBitmapRowFeed(TRowSink& sink, std::int32_t width)
    : sink_(sink), row_(static_cast<std::size_t>(width) * 3) {}

void TBitmapRowFeed::Feed(TRasterBitmap& bitmap, std::int32_t y) {
  const std::uint8_t* in = bitmap.ScanLine(y);
  const int bits = in ? BitsForFormat(bitmap.GetFormat()) : 0;
  const std::size_t width =
      std::min(row_.size() / 3, static_cast<std::size_t>(std::max(bitmap.Width(), 0)));
  if (bits <= 8 && bits > 0 && !palette_read_) {
    for (int i = 0; i < 256; ++i) palette_[i] = bitmap.PaletteEntry(i);
    palette_read_ = true;
  }
  // Built where the sink takes it without a copy, if it offers a place.
  std::uint8_t* row = sink_.NextRow();
  if (row == nullptr) row = row_.data();
  // What the bitmap does not cover is black.
  std::fill(row + (bits > 0 ? width * 3 : 0), row + row_.size(), 0);
  std::uint8_t* out = row;
  if (bits == 24) {
    std::memcpy(out, in, width * 3);
  }
  for (std::size_t x = 0; x < width && bits > 0 && bits != 24; ++x, out += 3) {
    if (bits == 32) {
      std::memcpy(out, in + x * static_cast<std::size_t>(bits / 8), 3);
      continue;
    }
    if (bits == 16) {  // 5-5-5 or 5-6-5, each part widened to 8 bits
      const unsigned v = in[2 * x] | unsigned{in[2 * x + 1]} << 8;
      const bool six = bitmap.GetFormat() == TRasterFormat::rf16Bit;
      const unsigned g = six ? (v >> 5) & 63 : (v >> 5) & 31;
      out[0] = static_cast<std::uint8_t>((v & 31) * 255 / 31);
      out[1] = static_cast<std::uint8_t>(six ? g * 255 / 63 : g * 255 / 31);
      out[2] = static_cast<std::uint8_t>(((v >> (six ? 11 : 10)) & 31) * 255 / 31);
      continue;
    }
    // 1, 4 or 8 bits: the leftmost pixel in the high bits.
    const std::size_t bit = x * static_cast<std::size_t>(bits);
    const unsigned index =
        (in[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & ((1u << bits) - 1);
    const std::uint32_t rgb = palette_[index];
    out[0] = static_cast<std::uint8_t>(rgb);
    out[1] = static_cast<std::uint8_t>(rgb >> 8);
    out[2] = static_cast<std::uint8_t>(rgb >> 16);
  }
  sink_.PutRow(row);
}

TRasterBitmap RenderBitmapForScreen(TRasterBitmap& picture, const ResampleGeometry& geometry) {
  if (picture.IsEmpty()) return TRasterBitmap();
  if (BitsForFormat(picture.GetFormat()) == 0) picture.SetFormat(TRasterFormat::rf24Bit);
  const std::int32_t width = picture.Width(), height = picture.Height();
  TScreenRenderer renderer(width, height, TExifOrientation::kNormal, geometry, 3);
  TBitmapRowFeed feed(renderer, width);
  for (std::int32_t y = 0; y < height; ++y) feed.Feed(picture, y);
  return renderer.Finish();
}

}  // namespace vistrel
