#include "imaging/png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "imaging/bounded_input.h"
#include "imaging/byte_reader.h"
#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"
#include "imaging/row_pipe.h"
#include "imaging/screen_render.h"

namespace vistrel {

namespace {

constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;
// An iCCP chunk's keyword: 1 to 79 bytes and their zero.
constexpr std::size_t kMaxKeywordBytes = 80;

// Deflate turns one byte into at most about 1032; an image that needs more data than its file
// could hold at that ratio is a lying header, refused before anything is allocated for it.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

struct Adam7Pass {
  std::uint32_t row_start, column_start, row_step, column_step;
  std::uint8_t mask;
};

constexpr Adam7Pass kAdam7[7] = {
    {0, 0, 8, 8, 0x80}, {0, 4, 8, 8, 0x08}, {4, 0, 8, 4, 0x88}, {0, 2, 4, 4, 0x22},
    {2, 0, 4, 2, 0xAA}, {0, 1, 2, 2, 0x55}, {1, 0, 2, 1, 0xFF},
};

// Fields beyond the chunk's data read as 0.
std::uint32_t FieldU32(const TByteArray& data, std::size_t offset) {
  std::uint8_t bytes[4] = {};
  for (std::size_t i = 0; i < 4 && offset + i < data.size(); ++i) bytes[i] = data[offset + i];
  return LoadU32BE(bytes);
}
std::uint16_t FieldU16(const TByteArray& data, std::size_t offset) {
  std::uint8_t bytes[2] = {};
  for (std::size_t i = 0; i < 2 && offset + i < data.size(); ++i) bytes[i] = data[offset + i];
  return LoadU16BE(bytes);
}
std::uint8_t FieldU8(const TByteArray& data, std::size_t offset) {
  return offset < data.size() ? data[offset] : 0;
}

PngHeader ParseHeader(const TByteArray& data) {
  PngHeader header;
  header.width = FieldU32(data, 0);
  header.height = FieldU32(data, 4);
  header.bit_depth = FieldU8(data, 8);
  header.color_type = FieldU8(data, 9);
  header.compression = FieldU8(data, 10);
  header.filter = FieldU8(data, 11);
  header.interlace = FieldU8(data, 12);
  return header;
}

// Bits per pixel in the file and in the bitmap for a supported colour type and depth; false for
// the others (refused with message 2 when the image is configured).
bool PixelBits(std::uint8_t color_type, std::uint8_t depth, std::uint32_t& file_bits,
               std::uint32_t& bitmap_bits) {
  auto one_of = [depth](std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), depth) != allowed.end();
  };
  switch (color_type) {
    case 0:
      if (!one_of({1, 2, 4, 8, 16})) return false;
      file_bits = depth;
      bitmap_bits = depth == 2 ? 4 : depth == 16 ? 8 : depth;
      return true;
    case 2:
      if (!one_of({8, 16})) return false;
      file_bits = 3u * depth;
      bitmap_bits = 24;
      return true;
    case 3:
      if (!one_of({1, 2, 4, 8})) return false;
      file_bits = depth;
      bitmap_bits = depth == 2 ? 4 : depth;
      return true;
    case 4:
      if (!one_of({8, 16})) return false;
      file_bits = 2u * depth;
      bitmap_bits = 8;
      return true;
    case 6:
      if (!one_of({8, 16})) return false;
      file_bits = 4u * depth;
      bitmap_bits = 32;
      return true;
    default: return false;
  }
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

// A 16-bit sample reduced to 8 bits, or a smaller one's low byte.
std::uint32_t ReducedSample(std::uint16_t value, std::uint8_t depth) {
  return depth == 16 ? value * 255u / 65535u : value & 0xFFu;
}

// Points the reader at an input for as long as the input lives.
class InputScope {
 public:
  InputScope(BoundedInput*& slot, BoundedInput& input) : slot_(slot) { slot_ = &input; }
  ~InputScope() { slot_ = nullptr; }
  InputScope(const InputScope&) = delete;
  InputScope& operator=(const InputScope&) = delete;

 private:
  BoundedInput*& slot_;
};

// The converter for one colour type: its schemes, samples per pixel (as many on both sides)
// and depths.
void SetUpConverter(TColorConverter& c, TColorScheme source, TColorScheme target, int samples,
                    int source_bits, int target_bits) {
  c.SetSourceScheme(source);
  c.SetTargetScheme(target);
  c.SetSourceSamples(samples);
  c.SetTargetSamples(samples);
  c.SetSourceBits(source_bits);
  c.SetTargetBits(target_bits);
}

}  // namespace

void TPNGGraphic::Raise(int message) const {
  if (message == kMsgUnknownCriticalChunk) RaiseGraphicError(message);
  RaiseGraphicErrorFmt(message, {kFormatNamePng});
}

bool TPNGGraphic::CanLoadStream(TDataStream& stream) {
  const std::int64_t position = stream.Position();
  bool matches = false;
  if (stream.Size() - position >= 9) {
    std::array<std::uint8_t, 8> bytes = {};
    matches = stream.Read(bytes.data(), 8) == 8 && bytes == kPngSignature;
  }
  stream.SetPosition(position);
  return matches;
}

bool TPNGGraphic::ReadChunkHeader() {
  std::uint8_t header[8];
  if (stream_ended_ || !input_->Read(header, 8)) {
    // Out of stream before IEND: every loop stops here as at IEND.
    stream_ended_ = true;
    ChunkLength = 0;
    ChunkType = {'I', 'E', 'N', 'D'};
    ChunkCrc = 0;
    return false;
  }
  ChunkLength = LoadU32BE(header);
  std::memcpy(ChunkType.data(), header + 4, 4);
  ChunkCrc = static_cast<std::uint32_t>(crc32(0, ChunkType.data(), 4));
  if (ChunkLength > kMaxChunkLength) Raise(kMsgCrcError);
  return true;
}

void TPNGGraphic::ReadChunkData() {
  if (stream_ended_) {
    ChunkData.clear();
    return;
  }
  // A chunk the stream cannot hold is damage (its CRC cannot be right), never an allocation.
  if (std::uint64_t{ChunkLength} + 4 > input_->Left()) Raise(kMsgCrcError);
  ChunkData.resize(ChunkLength);
  if (ChunkLength > 0 && !input_->Read(ChunkData.data(), ChunkLength)) Raise(kMsgCrcError);
  std::uint8_t stored[4];
  if (!input_->Read(stored, 4)) Raise(kMsgCrcError);
  // zlib answers 0 for a null buffer, so an empty chunk must not reach it.
  if (ChunkLength > 0)
    ChunkCrc = static_cast<std::uint32_t>(crc32(ChunkCrc, ChunkData.data(), ChunkLength));
  if (ChunkCrc != LoadU32BE(stored)) Raise(kMsgCrcError);
}

// An ancillary chunk that was passed over unchecked before it was used: one the stream cannot
// hold is left to be skipped (false), and a wrong CRC makes it unused, not an error.
bool TPNGGraphic::ReadChunkDataQuietly() {
  if (stream_ended_ || std::uint64_t{ChunkLength} + 4 > input_->Left()) return false;
  ChunkData.resize(ChunkLength);
  std::uint8_t stored[4];
  if ((ChunkLength > 0 && !input_->Read(ChunkData.data(), ChunkLength)) || !input_->Read(stored, 4))
    return false;
  std::uint32_t crc = ChunkCrc;
  if (ChunkLength > 0) crc = static_cast<std::uint32_t>(crc32(crc, ChunkData.data(), ChunkLength));
  if (crc == LoadU32BE(stored)) return true;
  ChunkData.clear();
  return true;  // consumed; an empty chunk makes no profile
}

bool TPNGGraphic::IsChunk(const char* name) const {
  for (int i = 0; i < 4; ++i)
    if ((ChunkType[i] & 0xDF) != (static_cast<std::uint8_t>(name[i]) & 0xDF)) return false;
  return true;
}

void TPNGGraphic::SkipChunk() {
  if (!stream_ended_) input_->Skip(std::uint64_t{ChunkLength} + 4);
}

bool TPNGGraphic::ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) {
  TImageReader::ReadImageProperties(stream, imageIndex);
  Stream = &stream;
  BoundedInput input(stream);
  InputScope scope(input_, input);
  stream_ended_ = false;
  std::array<std::uint8_t, 8> signature = {};
  if (!input.Read(signature.data(), 8) || signature != kPngSignature) return false;
  if (!ReadChunkHeader() || !IsChunk("IHDR")) return false;
  TImageProperties& p = ImageProperties;
  p.Flags.Include(TImageFlag::BigEndianData);
  ReadChunkData();
  const PngHeader header = ParseHeader(ChunkData);
  if (header.width == 0 || header.height == 0) return false;

  p.Width = header.width;
  p.Height = header.height;
  p.Compression =
      header.compression == 0 ? TCompressionScheme::csDeflate : TCompressionScheme::csUnknown;
  p.BitsPerSample = header.bit_depth;
  p.SamplesPerPixel = 1;
  switch (header.color_type) {
    case 0: p.ColorScheme = TColorScheme::Gray; break;
    case 2:
      p.ColorScheme = TColorScheme::RGB;
      p.SamplesPerPixel = 3;
      break;
    case 3: p.ColorScheme = TColorScheme::Indexed; break;
    case 4: p.ColorScheme = TColorScheme::GrayAlpha; break;
    case 6:
      p.ColorScheme = TColorScheme::RGBA;
      p.SamplesPerPixel = 4;
      break;
    default: p.ColorScheme = TColorScheme::Unknown; break;
  }
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  p.FilterMode = header.filter;
  p.Interlaced = header.interlace != 0;
  p.HasAlpha = p.ColorScheme == TColorScheme::GrayAlpha || p.ColorScheme == TColorScheme::RGBA ||
               p.ColorScheme == TColorScheme::BGRA;

  for (;;) {
    ReadChunkHeader();
    if (IsChunk("gAMA")) {
      ReadChunkData();
      p.Gamma = static_cast<float>(FieldU32(ChunkData, 0) / 100000.0);
      return true;
    }
    SkipChunk();
    if (IsChunk("IEND")) return true;
  }
}

void TPNGGraphic::CheckImageSize() {
  const TImageProperties& p = ImageProperties;
  const std::uint32_t limit = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
  if (p.Width > limit || p.Height > limit) Raise(kMsgInvalidImage);
  std::uint32_t file_bits = 0, bitmap_bits = 0;
  // Refused with message 2 once the image is configured; its bitmap never gets pixel memory.
  if (!PixelBits(header_.color_type, header_.bit_depth, file_bits, bitmap_bits)) return;

  // The chunks after IHDR, passed over once: the image data they hold and the largest chunk
  // the loader will read whole. The walk stops at IEND or at the end of the stream.
  bool has_profile = false;
  const std::int64_t resume = input_->Position();
  const std::int64_t size = input_->Size();
  std::uint64_t idat_bytes = 0;
  std::uint64_t largest_chunk = 0;
  for (std::int64_t at = resume; at + 8 <= size;) {
    std::uint8_t header[8];
    if (!input_->Seek(at) || !input_->Read(header, 8)) break;
    const std::uint32_t length = LoadU32BE(header);
    ChunkType = {header[4], header[5], header[6], header[7]};
    // What the file holds of this chunk, at most.
    const std::uint64_t held =
        std::min<std::uint64_t>(length, static_cast<std::uint64_t>(size - at - 8));
    if (IsChunk("IDAT")) idat_bytes += held;
    if (IsChunk("iCCP")) has_profile = true;
    largest_chunk = std::max(largest_chunk, held);
    if (IsChunk("IEND")) break;
    at += 12 + static_cast<std::int64_t>(length);
  }
  input_->Seek(resume);

  // The filtered rows the image needs, interlaced passes counted as whole rows (they never
  // need more), against what deflate can make of the image data.
  const std::uint64_t row_bytes = (std::uint64_t{p.Width} * file_bits + 7) / 8;
  std::uint64_t raw_bytes = 0;
  if (!CheckedMul<std::uint64_t>(p.Height, row_bytes + 1, raw_bytes) ||
      raw_bytes / kMaxDeflateRatio > idat_bytes)
    Raise(kMsgInvalidImage);

  // The bitmap, the two row buffers, the largest chunk read whole and inflate's state and
  // window.
  constexpr std::uint64_t kInflateBytes = 64 * 1024;
  MemoryBudget budget;
  AddBitmap(budget, p.Width, p.Height, bitmap_bits)
      .Add(2, row_bytes + 1)
      .Add(largest_chunk)
      .Add(kInflateBytes);
  // Streamed rows on their way to the second thread, and its two rows.
  if (RowFeed != nullptr && row_bytes < kMaxChunkLength)
    budget.Add(TRowPipe::MemoryNeeded(static_cast<std::size_t>(row_bytes) + 1))
        .Add(2, row_bytes + 1);
  if (!budget.Fits()) Raise(kMsgUnsupportedFormat);
  // A colour profile takes its inflated bytes, its transform and one row of an interlaced
  // pass; without room for them it is not used.
  MemoryBudget with_profile = budget;
  profile_fits_ =
      has_profile &&
      AddColorProfile(with_profile, kMaxIccProfileBytes).Add(std::uint64_t{p.Width} * 4).Fits();
}

int TPNGGraphic::ConfigureDepth(std::uint8_t color_type, std::uint8_t bit_depth) {
  std::uint32_t file_bits = 0, bitmap_bits = 0;
  if (!PixelBits(color_type, bit_depth, file_bits, bitmap_bits)) Raise(kMsgInvalidColorFormat);
  TColorConverter& c = ColorConverter;
  const int d = bit_depth;
  switch (color_type) {
    case 0:
      SetUpConverter(c, TColorScheme::Gray, TColorScheme::Gray, 1, d, d == 2 ? 4 : d == 16 ? 8 : d);
      SetBitmapFormat(c.PixelFormatFor(true));
      c.BuildGrayPalette(*Bitmap, false);
      return (d + 7) / 8;
    case 2:
      SetUpConverter(c, TColorScheme::RGB, TColorScheme::BGR, 3, d, 8);
      SetBitmapFormat(TRasterFormat::rf24Bit);
      return 3 * d / 8;
    case 3:
      SetUpConverter(c, TColorScheme::Indexed, TColorScheme::Indexed, 1, d, d == 2 ? 4 : d);
      SetBitmapFormat(c.PixelFormatFor(true));
      return 1;
    case 4:
      SetUpConverter(c, TColorScheme::GrayAlpha, TColorScheme::Indexed, 1, d, 8);
      SetBitmapFormat(TRasterFormat::rf8Bit);
      c.BuildGrayPalette(*Bitmap, false);
      return 2 * d / 8;
    default:  // 6, the only other type PixelBits accepts
      SetUpConverter(c, TColorScheme::RGBA, TColorScheme::BGRA, 4, d, 8);
      SetBitmapFormat(TRasterFormat::rf32Bit);
      return 4 * d / 8;
  }
}

void TPNGGraphic::LoadFromStream(TDataStream& stream) {
  GuardMemory(kFormatNamePng, [&] { LoadImage(stream); });
}

void TPNGGraphic::LoadImage(TDataStream& stream) {
  // The decoder and the chunk buffer go on every way out of here.
  struct Cleanup {
    TPNGGraphic& reader;
    ~Cleanup() {
      reader.Decoder.reset();
      TByteArray().swap(reader.ChunkData);
    }
  } cleanup{*this};
  Decoder.reset();
  Stream = &stream;
  BeginLoad(stream, kFormatNamePng);
  BoundedInput input(stream);
  InputScope scope(input_, input);
  ReadHeaderAgain();
  CheckImageSize();
  ResetLoadState();
  if (ImageProperties.Compression != TCompressionScheme::csDeflate)
    RaiseGraphicErrorFmt(kMsgNotSupported,
                         {GraphicMessageText(kMsgCompressionScheme), kFormatNamePng});
  Decoder = std::make_unique<TDeflateDecoder>(Z_PARTIAL_FLUSH, false);
  Decoder->PrepareUnpack();
  ReadChunks();  // the image is decoded at its IDAT chunks
  // A file without image data is no picture, not a blank one.
  if (!image_decoded_) Raise(kMsgInvalidImage);
  std::unique_ptr<TDeflateDecoder> decoder = std::move(Decoder);
  decoder->FinishUnpack();
}

// The header again, now for the loader; the sizes are checked before anything is allocated.
void TPNGGraphic::ReadHeaderAgain() {
  stream_ended_ = false;
  input_->Seek(StartPosition + 8);
  ReadChunkHeader();
  ChunkData.clear();
  ReadChunkData();
  header_ = ParseHeader(ChunkData);
}

void TPNGGraphic::ResetLoadState() {
  fresh_bitmap_ = !Bitmap;
  // Adam7 passes come back to every row, so an interlaced picture is held whole.
  streaming_ = fresh_bitmap_ && RowFeed != nullptr && !ImageProperties.Interlaced;
  if (!Bitmap) {
    Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDeviceBitmap(
        static_cast<std::int32_t>(ImageProperties.Width),
        streaming_ ? 1 : static_cast<std::int32_t>(ImageProperties.Height)));
  }
  FillColor = 0xFFFFFF;
  TransparencyKey = 0x1FFFFFFF;
  PaletteAlpha.clear();
  depth_configured_ = false;
  image_decoded_ = false;
  color_.reset();
  has_gray_or_index_background_ = false;
  background_level_ = 0;
  IdatLeft = 0;
  ReadPointer = nullptr;
  ColorConverter.SourceOptions = {TConversionOption::SwapSampleBytes};
  // Gamma is switched on by this image's own gAMA chunk only.
  ColorConverter.TargetOptions.Exclude(TConversionOption::UseGammaTable);
}

// Every chunk after IHDR up to IEND (or the end of the stream).
void TPNGGraphic::ReadChunks() {
  ReadChunkHeader();
  for (;;) {
    bool handled = true;
    if (IsChunk("IDAT")) {
      // IDAT chunks must follow each other; a second run is data beyond the image.
      if (image_decoded_) Raise(kMsgExtraCompressedData);
      DecodeImage();
      handled = false;  // the chunk after the last IDAT is taken as any other chunk
    } else if (IsChunk("PLTE")) {
      if (ChunkLength % 3 != 0) Raise(kMsgInvalidPalette);
      // An indexed image's palette has 1 to 256 entries.
      if (header_.color_type == 3 && ChunkLength == 0) Raise(kMsgInvalidPalette);
      ReadChunkData();
      if (header_.color_type == 3) {
        BytesPerPixel = ConfigureDepth(3, header_.bit_depth);
        depth_configured_ = true;
        const int entries = static_cast<int>(std::min<std::uint32_t>(ChunkLength / 3, 256));
        ColorConverter.BuildColorPalette(*Bitmap, SourceRows(ChunkData.data()), 0, entries, true);
        if (color_) color_->ConvertColorTable(*Bitmap);
      }
    } else if (IsChunk("gAMA")) {
      ReadChunkData();
      ColorConverter.SetGamma(static_cast<float>(FieldU32(ChunkData, 0) / 100000.0), 2.2f);
      if (!color_) {
        ColorConverter.TargetOptions.Include(TConversionOption::UseGammaTable);
        ImageProperties.Flags.Include(TImageFlag::GammaInUse);
      }
    } else if (IsChunk("bKGD")) {
      ReadChunkData();
      ReadBackground();
    } else if (IsChunk("tRNS")) {
      ReadChunkData();
      ReadTransparency();
    } else if (IsChunk("iCCP") && profile_fits_ && !color_ && !image_decoded_ &&
               ReadChunkDataQuietly()) {
      ReadColorProfile();
    } else {
      handled = false;
    }
    if (!handled) {
      SkipChunk();
      if (IsChunk("IEND")) return;
      if ((ChunkType[0] & 0x20) == 0) Raise(kMsgUnknownCriticalChunk);
    }
    ReadChunkHeader();
  }
}

void TPNGGraphic::ReadBackground() {
  const std::uint8_t depth = header_.bit_depth;
  switch (header_.color_type) {
    case 2:
    case 6:
      FillColor = ReducedSample(FieldU16(ChunkData, 0), depth) |
                  ReducedSample(FieldU16(ChunkData, 2), depth) << 8 |
                  ReducedSample(FieldU16(ChunkData, 4), depth) << 16;
      // The colour is in the image's colours, whose profile comes before it.
      if (color_) FillColor = color_->ConvertColorRef(FillColor);
      break;
    case 0:
    case 4:
      has_gray_or_index_background_ = true;
      background_level_ = FieldU16(ChunkData, 0);
      break;
    case 3:
      has_gray_or_index_background_ = true;
      background_level_ = FieldU8(ChunkData, 0);
      break;
    default: break;
  }
}

void TPNGGraphic::ReadTransparency() {
  const std::uint8_t depth = header_.bit_depth;
  switch (header_.color_type) {
    case 3:
      PaletteAlpha.assign(256, 255);
      std::copy_n(ChunkData.begin(), std::min<std::size_t>(ChunkData.size(), 256),
                  PaletteAlpha.begin());
      break;
    case 0: {
      std::uint32_t level = FieldU16(ChunkData, 0);
      TransparencyKey = depth == 16 ? level * 255u / 65535u : depth == 2 ? level * 5 : level;
      break;
    }
    case 2:
      TransparencyKey = ReducedSample(FieldU16(ChunkData, 0), depth) |
                        ReducedSample(FieldU16(ChunkData, 2), depth) << 8 |
                        ReducedSample(FieldU16(ChunkData, 4), depth) << 16;
      break;
    default: break;
  }
}

// iCCP: a keyword, its zero, the compression method (0, deflate) and the zlib stream of the
// profile. A profile that is damaged, too large or not for this image's colours is ignored.
void TPNGGraphic::ReadColorProfile() {
  const auto keyword_limit = ChunkData.begin() + std::min(ChunkData.size(), kMaxKeywordBytes);
  const auto keyword_end = std::find(ChunkData.begin(), keyword_limit, 0);
  if (keyword_end == keyword_limit || keyword_end == ChunkData.begin() ||
      ChunkData.end() - keyword_end < 2 || keyword_end[1] != 0)
    return;
  const std::uint8_t* packed = &keyword_end[2];
  const auto packed_size = static_cast<uInt>(ChunkData.end() - (keyword_end + 2));
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return;
  std::vector<std::uint8_t> profile;
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = packed_size;
  int status = Z_OK;
  // Grown a piece at a time: a small chunk may claim to inflate to anything.
  constexpr std::size_t kPiece = 64 * 1024;
  while (status == Z_OK && profile.size() < kMaxIccProfileBytes) {
    const std::size_t done = profile.size();
    const std::size_t piece = std::min<std::size_t>(kPiece, kMaxIccProfileBytes - done);
    profile.resize(done + piece);
    z.next_out = profile.data() + done;
    z.avail_out = static_cast<uInt>(piece);
    status = inflate(&z, Z_NO_FLUSH);
    profile.resize(done + piece - z.avail_out);
    if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // the data ends inside the stream
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END) return;
  const std::uint8_t type = header_.color_type;
  const PixelLayout layout = type == 0 || type == 4 ? PixelLayout::kGray
                             : type == 6            ? PixelLayout::kBgra
                                                    : PixelLayout::kBgr;
  color_ = ColorTransform::Create(profile, layout);
  if (color_) {
    // The profile describes the colours; gAMA only describes them less well.
    ColorConverter.TargetOptions.Exclude(TConversionOption::UseGammaTable);
    ImageProperties.Flags.Exclude(TImageFlag::GammaInUse);
  }
}

void TPNGGraphic::ConvertRowColors(std::uint8_t* row, std::uint8_t mask) {
  const std::uint32_t size = color_->Layout() == PixelLayout::kBgra ? 4 : 3;
  if (mask == 0xFF) {
    color_->Convert(row, row, converted_width_);
    return;
  }
  // The columns the pass set: those whose bit (from 0x80 down, eight columns a round) is in the
  // mask. The others are earlier passes' pixels, converted already, or the fill.
  pass_pixels_.resize(std::size_t{converted_width_} * size);
  std::uint32_t count = 0;
  for (std::uint32_t x = 0; x < converted_width_; ++x) {
    if (mask & (0x80u >> (x & 7)))
      std::memcpy(&pass_pixels_[std::size_t{count++} * size], row + std::size_t{x} * size, size);
  }
  color_->Convert(pass_pixels_.data(), pass_pixels_.data(), count);
  count = 0;
  for (std::uint32_t x = 0; x < converted_width_; ++x) {
    if (mask & (0x80u >> (x & 7)))
      std::memcpy(row + std::size_t{x} * size, &pass_pixels_[std::size_t{count++} * size], size);
  }
}

// A grey level or palette index from bKGD becomes the colour the bitmap shows for it: the entry
// of the colour table that the converter maps that value to.
void TPNGGraphic::ResolveGrayOrIndexedFill() {
  if (!has_gray_or_index_background_) return;
  const std::uint32_t depth = header_.bit_depth;
  const std::uint32_t level = background_level_;
  std::uint32_t index;
  if (depth == 16) {
    index = level * 255u / 65535u;
  } else {
    if (level >= (1u << depth)) return;  // names no value the image can hold
    index = depth == 2 ? level * 5 : level;
  }
  const std::uint32_t rgb = Bitmap->PaletteEntry(static_cast<int>(index));
  if (rgb == 0xFFFFFFFFu) return;
  FillColor = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

void TPNGGraphic::DecodeImage() {
  image_decoded_ = true;
  const std::uint32_t width = ImageProperties.Width;
  const std::uint32_t height = ImageProperties.Height;
  const std::uint32_t depth = header_.bit_depth;
  if (!Bitmap) {
    fresh_bitmap_ = true;
    streaming_ = false;
    Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDeviceBitmap(
        static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)));
  }
  if (!depth_configured_) {
    // Indices without a palette name no colours; inventing some would show a wrong picture.
    if (header_.color_type == 3) Raise(kMsgInvalidPalette);
    BytesPerPixel = ConfigureDepth(header_.color_type, header_.bit_depth);
    depth_configured_ = true;
    if (color_ && Bitmap->GetFormat() != TRasterFormat::rf24Bit &&
        Bitmap->GetFormat() != TRasterFormat::rf32Bit)
      color_->ConvertColorTable(*Bitmap);
  }

  const std::uint32_t samples =
      depth == 16 ? static_cast<std::uint32_t>(BytesPerPixel) / 2 : BytesPerPixel;

  ResolveGrayOrIndexedFill();
  Bitmap->Canvas().SetBrushColor(FillColor);
  // A bitmap of this load gets the fill colour only where no row reaches; an earlier one all
  // over, since the image may cover only part of it.
  row_ready_.assign(fresh_bitmap_ ? height : 0, false);
  if (!fresh_bitmap_) Bitmap->Canvas().FillRect(0, 0, Bitmap->Width(), Bitmap->Height());
  converted_width_ = std::min<std::uint32_t>(width, static_cast<std::uint32_t>(Bitmap->Width()));

  // Checked sizes: the width is below 2^31 and a pixel has at most 64 bits.
  const std::uint64_t row_bytes = (std::uint64_t{depth} * width + 7) / 8 * samples;
  if (row_bytes >= kMaxChunkLength) Raise(kMsgInvalidImage);
  const auto row_size = static_cast<std::uint32_t>(row_bytes);
  std::vector<std::uint8_t> current(row_size + 1u), previous(row_size + 1u);

  if (streaming_) {
    StreamRows(row_size);
  } else if (!ImageProperties.Interlaced) {
    DecodeRows(current, previous, row_size, 0, 1, 0xFF);
  } else {
    for (const Adam7Pass& pass : kAdam7) {
      if (pass.column_start >= width) continue;
      const std::uint64_t pass_width =
          (std::uint64_t{width} + pass.column_step - pass.column_start - 1) / pass.column_step;
      const auto pass_row = static_cast<std::uint32_t>((pass_width * depth + 7) / 8 * samples);
      if (!DecodeRows(current, previous, pass_row, pass.row_start, pass.row_step, pass.mask)) break;
    }
  }
  FillRowsNotReached();

  // IDAT chunks beyond the image are consumed unused.
  while (IsChunk("IDAT")) {
    ReadChunkData();
    ReadChunkHeader();
  }
}

bool TPNGGraphic::DecodeRows(std::vector<std::uint8_t>& current,
                             std::vector<std::uint8_t>& previous, std::uint32_t row_size,
                             std::uint32_t first_row, std::uint32_t row_step, std::uint8_t mask) {
  std::fill(previous.begin(), previous.begin() + row_size + 1, 0);
  for (std::uint32_t y = first_row; y < ImageProperties.Height; y += row_step) {
    // Rows the image data never reached keep the fill colour.
    if (!FillBuffer(current.data(), row_size + 1)) return false;
    Unfilter(current.data(), previous.data(), row_size);
    std::uint8_t* target = Bitmap->ScanLine(streaming_ ? 0 : static_cast<std::int32_t>(y));
    if (!row_ready_.empty() && !row_ready_[y]) {
      // An interlaced pass that sets only some of the row's pixels: the others show the fill
      // colour until a later pass sets them.
      if (mask != 0xFF) FillRows(y, y + 1);
      row_ready_[y] = true;
    }
    if (target && converted_width_ > 0) {
      ColorConverter.ConvertRow(SourceRows(current.data() + 1), mask, converted_width_, target);
      if (color_ && (header_.color_type == 2 || header_.color_type == 6))
        ConvertRowColors(target, mask);
    }
    // The row is finished here.
    if (streaming_) RowDone();
    std::swap(current, previous);
  }
  return true;
}

// Unfilters, converts and hands over the rows of a streamed picture on the pipe's thread, each
// row as it was inflated.
class TPNGGraphic::RowStage : public TRowSink {
 public:
  RowStage(TPNGGraphic& reader, std::uint32_t row_size)
      : reader_(reader), row_size_(row_size), current_(row_size + 1u), previous_(row_size + 1u) {}

  void PutRow(const std::uint8_t* row) override {
    std::memcpy(current_.data(), row, current_.size());
    reader_.Unfilter(current_.data(), previous_.data(), row_size_);
    reader_.ConvertStreamedRow(current_.data());
    reader_.RowDone();
    std::swap(current_, previous_);
  }

 private:
  TPNGGraphic& reader_;  // not owned
  std::uint32_t row_size_;
  std::vector<std::uint8_t> current_;
  std::vector<std::uint8_t> previous_;
};

// While this thread inflates the next rows, the rows inflated go to a second one that does the
// rest: inflating is most of a PNG's time, and the resampler after it has a third.
void TPNGGraphic::StreamRows(std::uint32_t row_size) {
  RowStage stage(*this, row_size);
  TRowPipe pipe(stage, std::size_t{row_size} + 1);
  std::vector<std::uint8_t> own;  // when the pipe has no thread and offers no place
  for (std::uint32_t y = 0; y < ImageProperties.Height; ++y) {
    std::uint8_t* row = pipe.NextRow();
    if (row == nullptr) {
      own.resize(std::size_t{row_size} + 1);
      row = own.data();
    }
    // Rows the image data never reached keep the fill colour.
    if (!FillBuffer(row, row_size + 1)) break;
    pipe.PutRow(row);
    row_ready_[y] = true;
  }
  pipe.Close();
}

void TPNGGraphic::ConvertStreamedRow(const std::uint8_t* row) {
  std::uint8_t* target = Bitmap->ScanLine(0);
  if (target == nullptr || converted_width_ == 0) return;
  ColorConverter.ConvertRow(SourceRows(row + 1), 0xFF, converted_width_, target);
  if (color_ && (header_.color_type == 2 || header_.color_type == 6))
    ConvertRowColors(target, 0xFF);
}

void TPNGGraphic::SetBitmapFormat(TRasterFormat format) {
  if (fresh_bitmap_ && Bitmap->GetFormat() != format) {
    *Bitmap = TRasterBitmap::CreateForRows(Bitmap->Width(), Bitmap->Height(), format);
  } else {
    Bitmap->SetFormat(format);
  }
}

void TPNGGraphic::FillRows(std::uint32_t first, std::uint32_t end) {
  if (!streaming_) {
    Bitmap->Canvas().FillRect(0, static_cast<int>(first), Bitmap->Width(), static_cast<int>(end));
    return;
  }
  // Rows the data never reached, in order after the last one it did.
  Bitmap->Canvas().FillRect(0, 0, Bitmap->Width(), 1);
  for (std::uint32_t y = first; y < end; ++y) RowDone();
}

void TPNGGraphic::RowDone() {
  RowFeed->Feed(*Bitmap, 0);
}

void TPNGGraphic::FillRowsNotReached() {
  const auto height = static_cast<std::uint32_t>(row_ready_.size());
  for (std::uint32_t y = 0; y < height;) {
    if (row_ready_[y]) {
      ++y;
      continue;
    }
    std::uint32_t end = y + 1;
    while (end < height && !row_ready_[end]) ++end;
    FillRows(y, end);
    y = end;
  }
  row_ready_.clear();
}

bool TPNGGraphic::FillBuffer(std::uint8_t* buffer, std::uint32_t count) {
  std::uint8_t* dest = buffer;
  std::uint8_t* const end = buffer + count;
  for (;;) {
    while (IdatLeft == 0) {
      if (!IsChunk("IDAT")) return false;
      ReadChunkData();
      ReadPointer = ChunkData.data();
      IdatLeft = static_cast<std::int32_t>(ChunkLength);
      ReadChunkHeader();
    }
    Decoder->Unpack(ReadPointer, dest, IdatLeft, static_cast<std::int32_t>(end - dest));
    IdatLeft = static_cast<std::int32_t>(Decoder->InputLeft());
    const std::int32_t status = Decoder->InflateStatus();
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) Raise(kMsgCompressionError);
    if (dest == end) return true;
  }
  if (Decoder->OutputLeft() != 0 || Decoder->InputLeft() != 0) Raise(kMsgExtraCompressedData);
  return true;
}

void TPNGGraphic::Unfilter(std::uint8_t* row, const std::uint8_t* previous,
                           std::uint32_t row_size) const {
  const std::uint32_t bpp = static_cast<std::uint32_t>(std::max(BytesPerPixel, 1));
  std::uint8_t* x = row + 1;
  const std::uint8_t* b = previous + 1;
  switch (row[0]) {
    case 1:
      for (std::uint32_t i = bpp; i < row_size; ++i)
        x[i] = static_cast<std::uint8_t>(x[i] + x[i - bpp]);
      break;
    case 2:
      for (std::uint32_t i = 0; i < row_size; ++i) x[i] = static_cast<std::uint8_t>(x[i] + b[i]);
      break;
    case 3:
      for (std::uint32_t i = 0; i < row_size; ++i) {
        const unsigned left = i >= bpp ? x[i - bpp] : 0;
        x[i] = static_cast<std::uint8_t>(x[i] + ((left + b[i]) >> 1));
      }
      break;
    case 4:
      for (std::uint32_t i = 0; i < row_size; ++i) {
        const int left = i >= bpp ? x[i - bpp] : 0;
        const int upper_left = i >= bpp ? b[i - bpp] : 0;
        x[i] = static_cast<std::uint8_t>(x[i] + Paeth(left, b[i], upper_left));
      }
      break;
    default: break;  // 0, and unknown types, leave the row as it is
  }
}

}  // namespace vistrel
