#include "imaging/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/bounded_input.h"
#include "imaging/byte_reader.h"
#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"
#include "imaging/screen_render.h"
#include "imaging/stream_decoders.h"

namespace vistrel {

namespace {

constexpr std::uint32_t kHeaderSize = 6;
constexpr std::uint32_t kScreenDescriptorSize = 7;
constexpr std::uint32_t kImageDescriptorSize = 9;  // after the introducer
constexpr std::int64_t kMinimumFileSize = 23;

// The most pixels one byte of LZW data can yield: a code of w bits names a string of at most
// 2^w bytes, and 2^w / w peaks at 4096 / 12 per bit for the 12-bit codes. A header that claims
// more pixels than the whole file could produce describes a damaged file, not a picture.
constexpr std::uint64_t kLzwMaxBytesPerByte = 2731;

// Data sub-blocks up to and including the zero length byte, or to the end of the stream.
void SkipSubBlocks(BoundedInput& input) {
  for (std::uint8_t length = input.U8(); input.Ok() && length != 0; length = input.U8()) {
    input.Skip(length);
  }
}

// Reads forward past extensions to the next image descriptor or trailer.
std::uint8_t SkipExtensionsIn(BoundedInput& input) {
  for (;;) {
    const std::uint8_t introducer = input.U8();
    if (!input.Ok()) return kGifTrailer;
    if (introducer == kGifImageIntroducer || introducer == kGifTrailer) return introducer;
    if (introducer != kGifExtensionIntroducer) continue;  // stray bytes are passed over
    // Every extension, known label or not, is a label and a sequence of sub-blocks; its data is
    // never scanned for introducers, which it may well contain.
    input.U8();  // the label
    if (!input.Ok()) return kGifTrailer;
    SkipSubBlocks(input);
  }
}

// The image's data sub-blocks, joined, up to the zero length byte or the end of the stream;
// only the bytes that arrive are given: zeros would decode as pixels.
class SubBlocks : public ByteSource {
 public:
  explicit SubBlocks(BoundedInput& input) : input_(input) {}

  std::size_t Read(std::uint8_t* out, std::size_t count) override {
    std::size_t done = 0;
    while (done < count && !ended_) {
      if (left_ == 0) {
        left_ = input_.U8();
        if (!input_.Ok() || left_ == 0) {
          ended_ = true;
          break;
        }
      }
      const std::size_t want = std::min<std::size_t>(count - done, left_);
      const std::size_t got = input_.ReadAvailable(out + done, want);
      done += got;
      left_ -= static_cast<std::uint32_t>(got);
      if (got < want) ended_ = true;
    }
    return done;
  }

 private:
  BoundedInput& input_;
  std::uint32_t left_ = 0;  // of the current sub-block
  bool ended_ = false;
};

// The bitmap's rows in the order the image stores them: top to bottom, or the four passes of
// an interlaced image.
class GifRows : public RowTarget {
 public:
  GifRows(TRasterBitmap& bitmap, std::uint32_t height, bool interlaced)
      : bitmap_(bitmap), height_(height), interlaced_(interlaced) {}

  std::uint8_t* NextRow() override { return bitmap_.ScanLine(static_cast<std::int32_t>(Next())); }
  void Skip(std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) Next();
  }

 private:
  std::uint32_t Next() {
    static constexpr std::uint32_t kPassStart[4] = {0, 4, 2, 1};
    static constexpr std::uint32_t kPassStep[4] = {8, 8, 4, 2};
    if (!interlaced_) return y_++;
    while (y_ >= height_ && pass_ < 3) y_ = kPassStart[++pass_];
    const std::uint32_t y = y_;
    y_ += kPassStep[pass_];
    return y;
  }

  TRasterBitmap& bitmap_;
  std::uint32_t height_;
  bool interlaced_;
  int pass_ = 0;
  std::uint32_t y_ = 0;
};

// Rows top to bottom into the one row of a streaming bitmap: a row is finished when the next is
// asked for, and goes to the feed then.
class FedRows : public RowTarget {
 public:
  FedRows(TRasterBitmap& bitmap, TBitmapRowFeed& feed) : bitmap_(bitmap), feed_(feed) {}

  std::uint8_t* NextRow() override {
    if (started_ > 0) feed_.Feed(bitmap_, 0);
    ++started_;
    return bitmap_.ScanLine(0);
  }
  // The rows asked for so far, the last of them not yet fed.
  std::uint64_t Started() const { return started_; }
  void FeedCurrent() { feed_.Feed(bitmap_, 0); }

 private:
  TRasterBitmap& bitmap_;
  TBitmapRowFeed& feed_;
  std::uint64_t started_ = 0;
};

bool IsGifSignature(const std::uint8_t* header) {
  auto upper = [](std::uint8_t c) -> std::uint8_t {
    return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
  };
  return upper(header[0]) == 'G' && upper(header[1]) == 'I' && upper(header[2]) == 'F';
}

std::uint32_t TableEntries(std::uint8_t flags) {
  return 2u << (flags & 7);
}

// Reads a colour table of red, green, blue triples into the bitmap's table from entry 0; a
// table cut short by the end of the stream sets the entries it holds.
void ReadColorTable(BoundedInput& input, TRasterBitmap& bitmap, std::uint32_t entries) {
  std::uint8_t table[256 * 3];
  const std::size_t got = input.ReadAvailable(table, entries * 3);
  for (std::size_t i = 0; i < got / 3; ++i) {
    const std::uint8_t* rgb = table + i * 3;
    bitmap.SetPaletteEntry(static_cast<int>(i),
                           (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2]);
  }
}

}  // namespace

bool TGIFGraphic::CanLoadStream(TDataStream& stream) {
  const std::int64_t start = stream.Position();
  if (stream.Size() - start < kMinimumFileSize) return false;
  std::uint8_t header[kHeaderSize];
  const bool matches = stream.Read(header, kHeaderSize) == kHeaderSize && IsGifSignature(header);
  stream.SetPosition(start);
  return matches;
}

std::uint8_t TGIFGraphic::SkipExtensions(TDataStream& stream) {
  BoundedInput input(stream);
  return SkipExtensionsIn(input);
}

bool TGIFGraphic::ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) {
  TImageReader::ReadImageProperties(stream, imageIndex);
  BoundedInput input(stream);
  return ReadProperties(input);
}

bool TGIFGraphic::ReadProperties(BoundedInput& input) {
  TImageProperties& p = ImageProperties;
  std::uint8_t header[kHeaderSize];
  if (!input.Read(header, kHeaderSize) || !IsGifSignature(header)) return false;
  const bool digits = header[3] >= '0' && header[3] <= '9' && header[4] >= '0' && header[4] <= '9';
  p.Version = digits ? static_cast<std::uint32_t>((header[3] - '0') * 10 + (header[4] - '0')) : 0;
  p.ColorScheme = TColorScheme::Indexed;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.Compression = TCompressionScheme::csLZW;

  if (!input.Read(screen_, kScreenDescriptorSize)) return false;
  const std::uint8_t screen_flags = screen_[4];
  if (screen_flags & 0x80) {
    p.BitsPerSample = static_cast<std::uint8_t>((screen_flags & 7) + 1);
    input.Skip(TableEntries(screen_flags) * 3);
  }

  std::uint8_t descriptor[kImageDescriptorSize];
  if (SkipExtensionsIn(input) == kGifImageIntroducer &&
      input.Read(descriptor, kImageDescriptorSize)) {
    const std::uint16_t width = LoadU16LE(descriptor + 4);
    const std::uint16_t height = LoadU16LE(descriptor + 6);
    p.Width = width != 0 ? width : LoadU16LE(screen_);
    p.Height = height != 0 ? height : LoadU16LE(screen_ + 2);
    const std::uint8_t flags = descriptor[8];
    p.LocalColorTable = (flags & 0x80) != 0;
    if (p.LocalColorTable) p.BitsPerSample = static_cast<std::uint8_t>((flags & 7) + 1);
    p.Interlaced = (flags & 0x40) != 0;
  }
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  return true;
}

void TGIFGraphic::LoadFromStream(TDataStream& stream) {
  GuardMemory(kFormatNameGif, [&] { LoadImage(stream); });
}

void TGIFGraphic::LoadImage(TDataStream& stream) {
  Stream = &stream;
  StartPosition = stream.Position();
  TImageReader::ReadImageProperties(stream, 0);
  {
    BoundedInput header(stream);
    if (!ReadProperties(header)) RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNameGif});
  }
  BoundedInput input(stream);
  CheckBudget(input.Size());
  ReadColorTables(input);
  if (ImageProperties.Width != 0 && ImageProperties.Height != 0) DecodeRows(input);
}

void TGIFGraphic::CheckBudget(std::int64_t stream_size) {
  const std::uint64_t pixels = std::uint64_t{ImageProperties.Width} * ImageProperties.Height;
  const std::int64_t file_bytes = std::max<std::int64_t>(stream_size - StartPosition, 0);
  if (pixels > kLzwMaxBytesPerByte * static_cast<std::uint64_t>(file_bytes)) {
    RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNameGif});
  }
  // The bitmap and the packed data, which is never more than the file.
  MemoryBudget budget;
  AddBitmap(budget, ImageProperties.Width, ImageProperties.Height, 8)
      .Add(static_cast<std::uint64_t>(file_bytes));
  if (!budget.Fits()) RaiseGraphicErrorFmt(kMsgUnsupportedFormat, {kFormatNameGif});
}

// Makes the bitmap and reads the colour tables again, up to the first image's data.
void TGIFGraphic::ReadColorTables(BoundedInput& input) {
  input.Seek(StartPosition + kHeaderSize + kScreenDescriptorSize);
  streaming_ = RowFeed != nullptr && !ImageProperties.Interlaced;
  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateForRows(
      static_cast<std::int32_t>(ImageProperties.Width),
      streaming_ ? 1 : static_cast<std::int32_t>(ImageProperties.Height), TRasterFormat::rf8Bit));
  background_ = 0;
  has_image_ = false;
  if (screen_[4] & 0x80) {
    background_ = screen_[5];
    ReadColorTable(input, *Bitmap, TableEntries(screen_[4]));
  }
  if (SkipExtensionsIn(input) == kGifTrailer) return;
  std::uint8_t descriptor[kImageDescriptorSize];
  if (!input.Read(descriptor, kImageDescriptorSize)) return;
  if (descriptor[8] & 0x80) ReadColorTable(input, *Bitmap, TableEntries(descriptor[8]));
  has_image_ = true;
}

void TGIFGraphic::DecodeRows(BoundedInput& input) {
  const std::uint32_t width = ImageProperties.Width;
  const std::uint32_t height = ImageProperties.Height;
  GifRows rows(*Bitmap, height, ImageProperties.Interlaced);
  std::unique_ptr<FedRows> fed =
      streaming_ ? std::make_unique<FedRows>(*Bitmap, *RowFeed) : nullptr;
  std::uint64_t written = 0;
  const std::uint8_t code_size = has_image_ ? input.U8() : 0;
  if (has_image_ && input.Ok()) {
    // The decoder's tables hold 12-bit codes: a larger start size could never decode, and the
    // picture would be nothing but background.
    if (code_size > kMaxLzwStartCodeSize) {
      Bitmap.reset();
      RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNameGif});
    }
    SubBlocks packed(input);
    TLzwDecoder decoder(code_size);
    written = decoder.UnpackRows(packed, fed ? static_cast<RowTarget&>(*fed) : rows, width, height);
  }
  // What the data does not reach keeps the colour the screen shows where no image is (index 0
  // when there is no image at all).
  const std::uint8_t fill = has_image_ ? background_ : 0;
  const std::uint32_t column = static_cast<std::uint32_t>(written % width);
  std::uint64_t done = written / width;
  if (fed) {
    // The row being written is finished with the fill and fed, then each row after it.
    std::uint8_t* row = Bitmap->ScanLine(0);
    if (fed->Started() > done) {
      std::memset(row + column, fill, width - column);
      fed->FeedCurrent();
    } else if (fed->Started() > 0) {
      fed->FeedCurrent();  // written to its end, not fed yet
    }
    for (done = fed->Started(); done < height; ++done) {
      std::memset(row, fill, width);
      fed->FeedCurrent();
    }
    return;
  }
  GifRows rest(*Bitmap, height, ImageProperties.Interlaced);
  rest.Skip(done);
  if (done < height) {
    std::uint8_t* row = rest.NextRow();
    std::memset(row + column, fill, width - column);
    ++done;
  }
  for (; done < height; ++done) std::memset(rest.NextRow(), fill, width);
}

}  // namespace vistrel
