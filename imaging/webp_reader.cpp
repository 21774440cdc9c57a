#include "imaging/webp_reader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/bounded_input.h"
#include "imaging/byte_reader.h"
#include "imaging/memory_budget.h"
#include "imaging/screen_render.h"

namespace vistrel {

namespace {

constexpr std::size_t kRiffHeaderSize = 12;  // "RIFF", size, "WEBP"
constexpr std::int64_t kMinimumFileSize = 20;
constexpr std::size_t kVp8xHeaderEnd = 30;  // "VP8X", its size, flags, reserved, canvas size
constexpr std::uint8_t kVp8xAlpha = 0x10;
constexpr std::uint8_t kVp8xAnimation = 0x02;
constexpr int kFormatLossy = 1;

// A lossy frame codes at least its luma and chroma modes per 16 x 16 macroblock, with fixed
// probabilities that cost well over one bit together (about 1.7); a frame whose data could not
// even code half a bit per macroblock is a lying header, refused before anything is allocated.
constexpr std::uint64_t kMinMacroblocksPerByte = 16;

// What libwebp holds besides the output while it decodes: rows of macroblocks or pixels per
// column, and for lossless data or an alpha plane a 32-bit copy of the picture with its
// transform images (about 5 bytes a pixel).
constexpr std::uint64_t kDecoderBytesPerColumn = 512;
constexpr std::uint64_t kDecoderBytesPerPixel = 5;

std::uint32_t LoadU24LE(const std::uint8_t* bytes) {
  return bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16;
}

bool IsWebPHeader(const std::uint8_t* bytes) {
  return std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0;
}

bool LossyDataTooShort(std::uint32_t width, std::uint32_t height, std::uint64_t bytes) {
  const std::uint64_t macroblocks =
      (std::uint64_t{width} + 15) / 16 * ((std::uint64_t{height} + 15) / 16);
  return macroblocks > bytes * kMinMacroblocksPerByte;
}

// The data is given to the incremental decoder in steps (each at least kMinStep bytes), so that
// rows reach a row feed while the rest is decoded. A lossy picture's rows come a macroblock row
// at a time, and the more steps, the less resampling is left when the parsing ends (160 took
// 0.54 s on a 24-megapixel picture, 64 0.57 s, 24 0.64 s). Lossless data is decoded again from
// a checkpoint up to 8 rows back each time it runs out, so it takes fewer, larger steps.
constexpr std::size_t kLossySteps = 160;
constexpr std::size_t kLosslessSteps = 16;
constexpr std::size_t kMinStep = 4 * 1024;

struct IDecoderDeleter {
  void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

// The frame iterator, released on every way out.
class FrameIterator {
 public:
  FrameIterator() { std::memset(&iter_, 0, sizeof(iter_)); }
  ~FrameIterator() { WebPDemuxReleaseIterator(&iter_); }
  FrameIterator(const FrameIterator&) = delete;
  FrameIterator& operator=(const FrameIterator&) = delete;
  WebPIterator* operator->() { return &iter_; }
  WebPIterator* get() { return &iter_; }

 private:
  WebPIterator iter_;
};

// Where a lossy picture's first partition and the table of the others' sizes end: the first
// step reaches that far. libwebp's incremental decoder moves the partitions' readers at each
// later step, and does so with null pointers while it has a frame header but no partitions
// yet. 0 without a lossy frame in the first chunks.
std::size_t FirstPartitionEnd(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kChunkHeader = 8, kKeyFrameHeader = 10, kPartitionTable = 7 * 3;
  std::size_t at = 12;  // after "RIFF", its size and "WEBP"
  for (int chunks = 0; chunks < 64 && size >= kChunkHeader && at <= size - kChunkHeader; ++chunks) {
    const std::uint32_t payload = LoadU24LE(data + at + 4) | std::uint32_t{data[at + 7]} << 24;
    if (std::memcmp(data + at, "VP8 ", 4) == 0) {
      if (size - at - kChunkHeader < 3) return size;
      const std::uint32_t first_part = (LoadU24LE(data + at + kChunkHeader) >> 5) & 0x7FFFF;
      const std::uint64_t end =
          std::uint64_t{at} + kChunkHeader + kKeyFrameHeader + first_part + kPartitionTable;
      return end > size ? size : static_cast<std::size_t>(end);
    }
    const std::uint64_t next = std::uint64_t{at} + kChunkHeader + payload + (payload & 1);
    if (next > size) return 0;
    at = static_cast<std::size_t>(next);
  }
  return 0;
}

// Gives the data to libwebp's incremental decoder a step at a time and hands each row it has
// finished to the feed, top to bottom, while it decodes the next ones. The rows land where
// WebPDecode puts them (top row in the bitmap's lowest memory row), so RowFeed reads row y of
// the picture as the bitmap's row height - 1 - y.
VP8StatusCode DecodeFeeding(const std::uint8_t* data, std::size_t size, std::size_t steps,
                            WebPDecoderConfig& config, TRasterBitmap& bitmap,
                            TBitmapRowFeed& feed) {
  std::unique_ptr<WebPIDecoder, IDecoderDeleter> decoder(WebPIDecode(nullptr, 0, &config));
  if (!decoder) return VP8_STATUS_OUT_OF_MEMORY;
  const std::int32_t height = bitmap.Height();
  const std::size_t step = std::max(size / steps, kMinStep);
  const std::size_t first_step = std::max(step, FirstPartitionEnd(data, size));
  std::int32_t fed = 0;
  VP8StatusCode status = VP8_STATUS_SUSPENDED;
  for (std::size_t given = 0; given < size && status == VP8_STATUS_SUSPENDED;) {
    given = std::min(size, given == 0 ? first_step : given + step);
    // The decoder reads the caller's bytes in place: each call names more of the same buffer.
    status = WebPIUpdate(decoder.get(), data, given);
    int last_y = 0;
    if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED) break;
    if (!WebPIDecGetRGB(decoder.get(), &last_y, nullptr, nullptr, nullptr)) continue;
    for (; fed < std::min(last_y, height); ++fed) feed.Feed(bitmap, height - 1 - fed);
  }
  // Data that ends before the picture does is damaged, as WebPDecode finds it.
  return status == VP8_STATUS_SUSPENDED ? VP8_STATUS_NOT_ENOUGH_DATA : status;
}

}  // namespace

void TWebPGraphic::Raise(int message) const {
  RaiseGraphicErrorFmt(message, {kFormatNameWebp});
}

bool TWebPGraphic::CanLoadStream(TDataStream& stream) {
  const std::int64_t position = stream.Position();
  bool matches = false;
  if (stream.Size() - position >= kMinimumFileSize) {
    std::uint8_t bytes[kRiffHeaderSize] = {};
    matches = stream.Read(bytes, kRiffHeaderSize) == kRiffHeaderSize && IsWebPHeader(bytes);
  }
  stream.SetPosition(position);
  return matches;
}

bool TWebPGraphic::ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) {
  TImageReader::ReadImageProperties(stream, imageIndex);
  animated_ = false;
  format_ = 0;
  riff_bytes_ = 0;
  // The headers libwebp needs lie at the start, except behind a large metadata chunk (an ICC
  // profile before the image data); the canvas of the VP8X chunk then stands for the picture.
  BoundedInput input(stream);
  std::vector<std::uint8_t> head(
      static_cast<std::size_t>(std::min<std::uint64_t>(input.Left(), BoundedInput::kBufferSize)));
  const std::size_t got = input.ReadAvailable(head.data(), head.size());
  if (got < kMinimumFileSize || !IsWebPHeader(head.data())) return false;

  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(head.data(), got, &features);
  std::uint32_t width = 0, height = 0;
  bool alpha = false;
  if (status == VP8_STATUS_OK) {
    width = static_cast<std::uint32_t>(features.width);
    height = static_cast<std::uint32_t>(features.height);
    alpha = features.has_alpha != 0;
    animated_ = features.has_animation != 0;
    format_ = features.format;
  } else if (status == VP8_STATUS_NOT_ENOUGH_DATA && got >= kVp8xHeaderEnd &&
             std::memcmp(head.data() + kRiffHeaderSize, "VP8X", 4) == 0) {
    const std::uint8_t flags = head[20];
    width = 1 + LoadU24LE(head.data() + 24);
    height = 1 + LoadU24LE(head.data() + 27);
    alpha = (flags & kVp8xAlpha) != 0;
    animated_ = (flags & kVp8xAnimation) != 0;
  } else {
    return false;
  }
  // The RIFF size counts what follows its own field.
  riff_bytes_ = std::uint64_t{LoadU32LE(head.data() + 4)} + 8;

  TImageProperties& p = ImageProperties;
  p.Width = width;
  p.Height = height;
  p.HasAlpha = alpha;
  p.ColorScheme = alpha ? TColorScheme::RGBA : TColorScheme::RGB;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = alpha ? 4 : 3;
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  return width != 0 && height != 0;
}

void TWebPGraphic::LoadFromStream(TDataStream& stream) {
  GuardMemory(kFormatNameWebp, [&] { LoadImage(stream); });
}

void TWebPGraphic::LoadImage(TDataStream& stream) {
  Bitmap.reset();
  Stream = &stream;
  BeginLoad(stream, kFormatNameWebp);
  stream.SetPosition(StartPosition);
  BoundedInput input(stream);
  // libwebp decodes only a whole file; one cut short is refused before anything is made for it.
  if (riff_bytes_ > input.Left()) Raise(kMsgInvalidImage);
  CheckBudget(riff_bytes_);
  if (!animated_ && format_ == kFormatLossy &&
      LossyDataTooShort(ImageProperties.Width, ImageProperties.Height, riff_bytes_))
    Raise(kMsgInvalidImage);
  // Bytes after the RIFF chunk are not the picture's and stay unread.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(riff_bytes_));
  if (!input.Read(data.data(), data.size())) Raise(kMsgInvalidImage);
  if (animated_) {
    DecodeFirstFrame(data);
  } else {
    DecodeStill(data);
  }
}

void TWebPGraphic::CheckBudget(std::uint64_t file_bytes) const {
  const TImageProperties& p = ImageProperties;
  MemoryBudget budget;
  AddBitmap(budget, p.Width, p.Height, p.HasAlpha || animated_ ? 32 : 24)
      .Add(file_bytes)
      .Add(p.Width, kDecoderBytesPerColumn);
  // Lossy data without alpha is decoded a few rows at a time; anything else may need a copy of
  // the whole picture (a frame is never larger than its canvas).
  if (format_ != kFormatLossy || p.HasAlpha || animated_) {
    std::uint64_t pixels = 0;
    if (!CheckedMul<std::uint64_t>(p.Width, p.Height, pixels)) budget.Refuse();
    budget.Add(pixels, kDecoderBytesPerPixel);
  }
  if (!budget.Fits()) Raise(kMsgUnsupportedFormat);
}

void TWebPGraphic::DecodeStill(const std::vector<std::uint8_t>& data) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK)
    Raise(kMsgInvalidImage);
  // The headers read again must agree with what the budget was counted for.
  if (static_cast<std::uint32_t>(features.width) != ImageProperties.Width ||
      static_cast<std::uint32_t>(features.height) != ImageProperties.Height ||
      features.has_animation)
    Raise(kMsgInvalidImage);
  // An alpha chunk that the first bytes did not reach (behind a large profile) makes the
  // bitmap 32-bit after all, and is counted again.
  const bool alpha = features.has_alpha != 0;
  if (alpha && !ImageProperties.HasAlpha) {
    ImageProperties.HasAlpha = true;
    CheckBudget(riff_bytes_);
  }
  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateForRows(
      features.width, features.height, alpha ? TRasterFormat::rf32Bit : TRasterFormat::rf24Bit));
  const std::size_t feed_steps = RowFeed == nullptr                ? 0
                                 : features.format == kFormatLossy ? kLossySteps
                                                                   : kLosslessSteps;
  DecodeInto(data.data(), data.size(), 0, 0, ImageProperties.Width, ImageProperties.Height,
             feed_steps);
}

// The first frame as a player shows it before the second: at its offset on a canvas that starts
// transparent black, its pixels taken as they are (blending with a transparent canvas changes
// none that shows).
void TWebPGraphic::DecodeFirstFrame(const std::vector<std::uint8_t>& data) {
  const WebPData whole = {data.data(), data.size()};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&whole));
  if (!demux) Raise(kMsgInvalidImage);
  const std::uint32_t canvas_width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const std::uint32_t canvas_height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  if (canvas_width != ImageProperties.Width || canvas_height != ImageProperties.Height)
    Raise(kMsgInvalidImage);
  FrameIterator frame;
  if (!WebPDemuxGetFrame(demux.get(), 1, frame.get()) || !frame->complete) Raise(kMsgInvalidImage);
  const auto left = static_cast<std::uint32_t>(frame->x_offset);
  const auto top = static_cast<std::uint32_t>(frame->y_offset);
  const auto width = static_cast<std::uint32_t>(frame->width);
  const auto height = static_cast<std::uint32_t>(frame->height);
  if (frame->x_offset < 0 || frame->y_offset < 0 || width == 0 || height == 0 ||
      std::uint64_t{left} + width > canvas_width || std::uint64_t{top} + height > canvas_height)
    Raise(kMsgInvalidImage);

  WebPBitstreamFeatures features;
  if (WebPGetFeatures(frame->fragment.bytes, frame->fragment.size, &features) != VP8_STATUS_OK)
    Raise(kMsgInvalidImage);
  if (static_cast<std::uint32_t>(features.width) != width ||
      static_cast<std::uint32_t>(features.height) != height)
    Raise(kMsgInvalidImage);
  if (features.format == kFormatLossy && LossyDataTooShort(width, height, frame->fragment.size))
    Raise(kMsgInvalidImage);

  // An opaque frame that covers the whole canvas leaves nothing transparent.
  const bool covers = width == canvas_width && height == canvas_height;
  const bool alpha = ImageProperties.HasAlpha || features.has_alpha || !covers;
  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateForRows(
      static_cast<std::int32_t>(canvas_width), static_cast<std::int32_t>(canvas_height),
      alpha ? TRasterFormat::rf32Bit : TRasterFormat::rf24Bit));
  if (!covers) std::memset(Bitmap->PixelMemory(), 0, Bitmap->PixelMemorySize());
  DecodeInto(frame->fragment.bytes, frame->fragment.size, left, top, width, height, 0);
}

void TWebPGraphic::DecodeInto(const std::uint8_t* data, std::size_t size, std::uint32_t left,
                              std::uint32_t top, std::uint32_t width, std::uint32_t height,
                              std::size_t feed_steps) {
  const bool feed_rows = feed_steps > 0;
  TRasterBitmap& bitmap = *Bitmap;
  const bool bgra = bitmap.GetFormat() == TRasterFormat::rf32Bit;
  const std::uint32_t pixel_bytes = bgra ? 4 : 3;
  const std::uint32_t stride = bitmap.ScanLineSize();

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) Raise(kMsgUnsupportedFormat);
  // libwebp writes the rectangle top row first into the DIB's memory rows from the lowest one
  // up, and the rows are then swapped in place: no second copy of the picture is ever made.
  // (Its own flip option walks a negative stride through unsigned offsets, which overflow.)
  const std::uint32_t row_bytes = width * pixel_bytes;
  std::uint8_t* const first = bitmap.ScanLine(static_cast<std::int32_t>(top + height - 1)) +
                              std::size_t{left} * pixel_bytes;
  config.output.colorspace = bgra ? MODE_BGRA : MODE_BGR;
  // A lossy picture's rows are reconstructed, filtered and converted on libwebp's own worker
  // thread while it parses the next ones; the pixels are the same.
  config.options.use_threads = 1;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = first;
  config.output.u.RGBA.stride = static_cast<int>(stride);
  config.output.u.RGBA.size = std::size_t{stride} * (height - 1) + row_bytes;
  const VP8StatusCode status = feed_rows
                                   ? DecodeFeeding(data, size, feed_steps, config, bitmap, *RowFeed)
                                   : WebPDecode(data, size, &config);
  WebPFreeDecBuffer(&config.output);
  switch (status) {
    case VP8_STATUS_OK:
      if (feed_rows) {
        // Every row has been taken; as a streaming PNG does, one row is left of the bitmap.
        *Bitmap = TRasterBitmap::CreateForRows(Bitmap->Width(), 1, bitmap.GetFormat());
        return;
      }
      for (std::uint32_t low = 0, high = height - 1; low < high; ++low, --high) {
        std::swap_ranges(first + std::size_t{low} * stride,
                         first + std::size_t{low} * stride + row_bytes,
                         first + std::size_t{high} * stride);
      }
      return;
    case VP8_STATUS_OUT_OF_MEMORY:
    case VP8_STATUS_UNSUPPORTED_FEATURE: Bitmap.reset(); Raise(kMsgUnsupportedFormat);
    default: Bitmap.reset(); Raise(kMsgCompressionError);
  }
}

}  // namespace vistrel
