#include "imaging/psd_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
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

constexpr std::uint32_t kHeaderSize = 26;
constexpr std::int64_t kMinimumFileSize = 27;
constexpr std::uint32_t kMaxPaletteBytes = 768;
constexpr std::uint16_t kIccProfileResource = 1039;

// PackBits turns 2 bytes into at most 128, so no file can hold a picture more than 64 times the
// size of the bytes after its header; a header claiming more describes a damaged file.
constexpr std::uint64_t kPackBitsMaxRatio = 64;

enum PsdMode : std::uint16_t {
  kModeBitmap = 0,
  kModeGrayscale = 1,
  kModeIndexed = 2,
  kModeRgb = 3,
  kModeCmyk = 4,
  kModeMultichannel = 7,
  kModeDuotone = 8,
  kModeLab = 9,
};

// Up to count bytes of a row; what the file does not hold is zero.
void ReadRow(BoundedInput& input, std::uint8_t* row, std::size_t count) {
  const std::size_t got = input.ReadAvailable(row, count);
  std::memset(row + got, 0, count - got);
}

int PlanesFor(TColorScheme scheme) {
  switch (scheme) {
    case TColorScheme::RGB:
    case TColorScheme::CIELab: return 3;
    case TColorScheme::RGBA:
    case TColorScheme::CMYK: return 4;
    default: return 1;
  }
}

[[noreturn]] void RaiseDamaged() {
  RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNamePsd});
}

// A picture this reader cannot show (a colour mode or depth it has no conversion for, or one
// beyond the memory budget): a blank bitmap in its place would become the wallpaper.
[[noreturn]] void RaiseUnsupported() {
  RaiseGraphicErrorFmt(kMsgUnsupportedFormat, {kFormatNamePsd});
}

// The depths whose rows this reader can turn into a picture.
bool CanShow(TColorScheme scheme, int bits) {
  switch (scheme) {
    case TColorScheme::Gray:
    case TColorScheme::Indexed: return bits == 1 || bits == 8 || bits == 16;
    case TColorScheme::RGB:
    case TColorScheme::RGBA:
    case TColorScheme::CMYK:
    case TColorScheme::CIELab: return bits == 8 || bits == 16;
    default: return false;
  }
}

}  // namespace

bool TPSDGraphic::CanLoadStream(TDataStream& stream) {
  const std::int64_t start = stream.Position();
  if (stream.Size() - start < kMinimumFileSize) return false;
  std::uint8_t header[kHeaderSize];
  bool matches = stream.Read(header, kHeaderSize) == kHeaderSize;
  if (matches) {
    for (int i = 0; i < 4; ++i) {
      const std::uint8_t c = header[i];
      const std::uint8_t upper = c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 32) : c;
      matches = matches && upper == static_cast<std::uint8_t>("8BPS"[i]);
    }
    matches = matches && LoadU16BE(header + 4) == 1;
  }
  stream.SetPosition(start);
  return matches;
}

bool TPSDGraphic::ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) {
  TImageReader::ReadImageProperties(stream, imageIndex);
  TImageProperties& p = ImageProperties;
  BoundedInput input(stream);
  std::uint8_t header[kHeaderSize];
  if (!input.Read(header, kHeaderSize) || std::memcmp(header, "8BPS", 4) != 0) return false;
  const std::uint16_t channels = LoadU16BE(header + 12);
  const std::uint16_t depth = LoadU16BE(header + 22);
  const std::uint16_t mode = LoadU16BE(header + 24);
  p.Flags.Include(TImageFlag::BigEndianData);
  // The one-byte fields take the low byte of the file's 16-bit values.
  p.BitsPerSample = static_cast<std::uint8_t>(depth);
  p.ChannelCount = static_cast<std::uint8_t>(channels);
  p.SamplesPerPixel = static_cast<std::uint8_t>(channels < 5 ? channels : 4);
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  switch (mode) {
    case kModeBitmap:
      p.ColorScheme = TColorScheme::Gray;
      p.Flags.Include(TImageFlag::ZeroIsWhite);
      break;
    case kModeGrayscale:
    case kModeDuotone: p.ColorScheme = TColorScheme::Gray; break;
    case kModeIndexed: p.ColorScheme = TColorScheme::Indexed; break;
    case kModeRgb:
    case kModeMultichannel:
      p.ColorScheme = channels == 3 ? TColorScheme::RGB : TColorScheme::RGBA;
      break;
    case kModeCmyk: p.ColorScheme = TColorScheme::CMYK; break;
    case kModeLab: p.ColorScheme = TColorScheme::CIELab; break;
    default: p.ColorScheme = TColorScheme::Unknown; break;
  }
  p.Height = LoadU32BE(header + 14);
  p.Width = LoadU32BE(header + 18);

  for (int section = 0; section < 3; ++section) input.Skip(input.U32BE());
  p.Compression = input.U16BE() == 1 ? TCompressionScheme::csPackBits : TCompressionScheme::csNone;
  return true;
}

void TPSDGraphic::LoadFromStream(TDataStream& stream) {
  GuardMemory(kFormatNamePsd, [&] { LoadImage(stream); });
}

void TPSDGraphic::LoadImage(TDataStream& stream) {
  BeginLoad(stream, kFormatNamePsd);
  // The property reader stopped where the pixel data begins.
  const std::int64_t left = stream.Size() - stream.Position();
  const std::uint64_t data_bytes = left > 0 ? static_cast<std::uint64_t>(left) : 0;
  ConfigureConverter();
  CheckSizes(data_bytes);
  BoundedInput input(stream);
  input.Seek(StartPosition + kHeaderSize);
  // Rows are finished one after the other, so a renderer can take each at once.
  streaming_ = RowFeed != nullptr;
  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateForRows(
      static_cast<std::int32_t>(ImageProperties.Width),
      streaming_ ? 1 : static_cast<std::int32_t>(ImageProperties.Height), format_));
  ReadColorData(input);
  ReadResources(input);
  input.Skip(std::uint64_t{input.U32BE()} + 2);  // layers; compression code known
  if (Bitmap->IsEmpty()) return;                 // no rows to fill
  const std::vector<std::int64_t> row_starts = ReadRowTable(input);
  DecodeRows(stream, row_starts);
}

void TPSDGraphic::ConfigureConverter() {
  const TImageProperties& p = ImageProperties;
  TColorConverter& c = ColorConverter;
  const int bits = p.BitsPerSample;
  c.SourceOptions = {TConversionOption::SwapSampleBytes};
  c.SetSourceBits(bits);
  c.SetTargetBits(bits == 16 ? 8 : bits);
  c.SetSourceSamples(p.SamplesPerPixel);
  c.SetTargetSamples(p.SamplesPerPixel);
  c.SetSourceScheme(p.ColorScheme);
  switch (p.ColorScheme) {
    case TColorScheme::Gray:
    case TColorScheme::Indexed:
      // Only the first channel becomes the picture: an extra (alpha) channel must not make the
      // bitmap two samples wide.
      c.SetTargetScheme(p.ColorScheme);
      c.SetTargetSamples(1);
      break;
    case TColorScheme::RGB: c.SetTargetScheme(TColorScheme::BGR); break;
    case TColorScheme::RGBA: c.SetTargetScheme(TColorScheme::BGRA); break;
    case TColorScheme::CMYK:
      c.SetTargetScheme(TColorScheme::BGR);
      c.SetTargetSamples(3);
      break;
    case TColorScheme::CIELab:
      // Three target samples like CMYK: an alpha channel must not make the bitmap 32-bit while
      // the rows are written 24-bit.
      c.SetTargetScheme(TColorScheme::BGR);
      c.SetTargetSamples(3);
      c.SourceOptions.Include(TConversionOption::LightnessIn255);
      c.SourceOptions.Include(TConversionOption::ChromaWithOffset);
      break;
    default: break;
  }
  format_ = c.PixelFormatFor(true);
}

void TPSDGraphic::CheckSizes(std::uint64_t data_bytes) {
  const TImageProperties& p = ImageProperties;
  const int bits = p.BitsPerSample;
  // Fewer channels than planes the mode reads would send the converter past the buffer.
  const int planes = PlanesFor(p.ColorScheme);
  if (p.ChannelCount < planes) RaiseGraphicError(kMsgInvalidSampleCount);
  if (!CanShow(p.ColorScheme, bits)) RaiseUnsupported();

  // Sizes come from the file: all of them are checked before anything is allocated.
  const std::uint32_t limit = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
  if (p.Width > limit || p.Height > limit) RaiseDamaged();
  rowBytes_ = (std::uint64_t{p.Width} * bits + 7) / 8;  // per channel
  std::uint64_t all_planes = 0;
  if (!CheckedMul<std::uint64_t>(rowBytes_, p.Height, plane_) ||
      !CheckedMul<std::uint64_t>(plane_, p.ChannelCount, all_planes) ||
      all_planes > kPackBitsMaxRatio * data_bytes) {
    RaiseDamaged();
  }
  const bool pack_bits = p.Compression == TCompressionScheme::csPackBits;
  // Everything the load holds at once: the bitmap; the row table (start of every packed row);
  // and one row and one input buffer for each plane read.
  MemoryBudget budget;
  const int format_bits = BitsForFormat(format_) != 0 ? BitsForFormat(format_) : 16;
  AddBitmap(budget, p.Width, p.Height, static_cast<std::uint32_t>(format_bits));
  if (pack_bits) budget.Add(std::uint64_t{p.Height} * p.ChannelCount + 1, sizeof(std::int64_t));
  budget.Add(static_cast<std::uint64_t>(planes), rowBytes_ + BoundedInput::kBufferSize);
  if (!budget.Fits()) RaiseUnsupported();
  // A colour profile takes its bytes, its transform and one row of CMYK pixels; without room
  // for them it is not used.
  MemoryBudget with_profile = budget;
  profile_fits_ =
      AddColorProfile(with_profile, kMaxIccProfileBytes).Add(std::uint64_t{p.Width} * 4).Fits();
}

void TPSDGraphic::ReadColorData(BoundedInput& input) {
  TColorConverter& c = ColorConverter;
  const std::uint32_t color_data_length = input.U32BE();
  if (ImageProperties.ColorScheme == TColorScheme::Indexed) {
    // The table is three planes of red, green and blue; anything past 256 entries is skipped.
    std::uint8_t palette[kMaxPaletteBytes] = {};
    const std::uint32_t used = std::min(color_data_length, kMaxPaletteBytes);
    const std::size_t got = input.ReadAvailable(palette, used);
    const int count = static_cast<int>(used / 3);
    c.BuildColorPalette(*Bitmap, {palette, palette + count, palette + 2 * count}, 2, count, false);
    if (got == used) input.Skip(color_data_length - used);
    return;
  }
  input.Skip(color_data_length);
  if (ImageProperties.ColorScheme == TColorScheme::Gray) {
    c.BuildGrayPalette(*Bitmap, ImageProperties.Flags.Contains(TImageFlag::ZeroIsWhite));
  }
}

// Each resource: "8BIM" (or another writer's signature), its number, a name (a length byte and
// the text, padded to an even size), the data's size and the data (padded to even). Only what
// lies inside the section is read; the walk stops at anything that does not fit.
void TPSDGraphic::ReadResources(BoundedInput& input) {
  color_.reset();
  const std::uint32_t length = input.U32BE();
  const std::int64_t start = input.Position();
  const std::int64_t end =
      start + static_cast<std::int64_t>(std::min<std::uint64_t>(length, input.Left()));
  std::vector<std::uint8_t> profile;
  for (std::int64_t at = start; profile.empty() && end - at >= 12;) {
    std::uint8_t head[7];
    input.Seek(at);
    input.Read(head, sizeof head);
    const std::int64_t size_at = at + 6 + ((head[6] + 2) & ~1);
    if (end - size_at < 4) break;
    input.Seek(size_at);
    const std::uint32_t size = input.U32BE();
    const std::int64_t data_at = size_at + 4;
    if (size > end - data_at) break;
    if (profile_fits_ && std::memcmp(head, "8BIM", 4) == 0 &&
        LoadU16BE(head + 4) == kIccProfileResource && size > 0 && size <= kMaxIccProfileBytes) {
      profile.resize(size);
      input.Read(profile.data(), size);
    }
    at = data_at + size + (size & 1);
  }
  input.Seek(start);
  input.Skip(length);
  if (profile.empty()) return;
  switch (ImageProperties.ColorScheme) {
    case TColorScheme::Gray:
    case TColorScheme::Indexed: {
      const bool gray = ImageProperties.ColorScheme == TColorScheme::Gray;
      color_ = ColorTransform::Create(profile, gray ? PixelLayout::kGray : PixelLayout::kBgr);
      // The colour table is made already; the rows are its indices.
      if (color_) color_->ConvertColorTable(*Bitmap);
      break;
    }
    case TColorScheme::RGB: color_ = ColorTransform::Create(profile, PixelLayout::kBgr); break;
    case TColorScheme::RGBA: color_ = ColorTransform::Create(profile, PixelLayout::kBgra); break;
    case TColorScheme::CMYK: color_ = ColorTransform::Create(profile, PixelLayout::kCmyk); break;
    default: break;  // Lab is no device's colours
  }
}

// Where each channel's packed row starts, channel by channel, and one more entry for the end;
// nothing for raw data, whose rows lie at fixed places.
std::vector<std::int64_t> TPSDGraphic::ReadRowTable(BoundedInput& input) {
  const TImageProperties& p = ImageProperties;
  dataStart_ = input.Position();
  if (p.Compression != TCompressionScheme::csPackBits) return {};
  const std::size_t rows = std::size_t{p.Height} * p.ChannelCount;
  std::vector<std::int64_t> starts(rows + 1);
  if (rows * 2 > input.Left()) RaiseDamaged();
  std::int64_t at = input.Position() + static_cast<std::int64_t>(rows * 2);
  for (std::size_t i = 0; i < rows; ++i) {
    starts[i] = at;
    at += input.U16BE();
  }
  starts[rows] = at;
  // Packed rows are read whole, so they must all be in the file. Only the channels shown count:
  // one for grey and indexed pictures.
  const std::size_t shown = static_cast<std::size_t>((p.ColorScheme == TColorScheme::Gray ||
                                                              p.ColorScheme == TColorScheme::Indexed
                                                          ? 1
                                                          : p.ChannelCount)) *
                            p.Height;
  if (starts[shown] > input.Size() ||
      starts[shown] - starts[0] > std::numeric_limits<std::int32_t>::max())
    RaiseDamaged();
  return starts;
}

// Each row of each channel shown is unpacked (or read) next to the others and converted
// straight into the bitmap: no whole plane is ever held, and with a RowFeed no whole picture.
void TPSDGraphic::DecodeRows(TDataStream& stream, const std::vector<std::int64_t>& row_starts) {
  const TImageProperties& p = ImageProperties;
  const bool pack_bits = p.Compression == TCompressionScheme::csPackBits;
  const bool direct = p.ColorScheme == TColorScheme::Gray || p.ColorScheme == TColorScheme::Indexed;
  const int planes = direct ? 1 : PlanesFor(p.ColorScheme);
  const int bits = p.BitsPerSample;
  const std::uint32_t width = p.Width;
  const std::uint32_t height = p.Height;
  const auto row_size = static_cast<std::size_t>(rowBytes_);
  std::vector<std::unique_ptr<BoundedInput>> inputs;
  std::vector<std::uint8_t> row_data(static_cast<std::size_t>(planes) * row_size);
  const std::uint8_t* rows[SourceRows::kMaxPlanes] = {};
  for (int i = 0; i < planes; ++i) {
    inputs.push_back(std::make_unique<BoundedInput>(stream));
    const std::int64_t start = pack_bits
                                   ? row_starts[std::size_t{static_cast<unsigned>(i)} * height]
                                   : dataStart_ + static_cast<std::int64_t>(plane_) * i;
    inputs.back()->Seek(std::min(start, inputs.back()->Size()));
    rows[i] = row_data.data() + std::size_t{static_cast<unsigned>(i)} * row_size;
  }
  TPackBitsDecoder decoder;
  const bool cmyk = p.ColorScheme == TColorScheme::CMYK;
  // CMYK through a profile: the planes' ink, pixel by pixel (16-bit samples by their high byte).
  std::vector<std::uint8_t> inks(color_ && cmyk ? std::size_t{width} * 4 : 0);
  const std::size_t sample = bits == 16 ? 2 : 1;
  auto decode_row = [&](std::uint32_t y, std::uint8_t* line) {
    for (int i = 0; i < planes; ++i) {
      // 8-bit grey and indexed rows go straight into the scanline.
      std::uint8_t* row = direct && bits != 16
                              ? line
                              : row_data.data() + std::size_t{static_cast<unsigned>(i)} * row_size;
      if (!pack_bits) {
        ReadRow(*inputs[i], row, row_size);
        continue;
      }
      const std::size_t entry = std::size_t{static_cast<unsigned>(i)} * height + y;
      const auto length = static_cast<std::size_t>(row_starts[entry + 1] - row_starts[entry]);
      const std::uint8_t* source = inputs[i]->Take(length);
      std::memset(row, 0, row_size);  // what a short row leaves
      std::uint8_t* dest = row;
      decoder.Unpack(source, dest, source ? static_cast<std::int32_t>(length) : 0,
                     static_cast<std::int32_t>(row_size));
    }
    if (direct) {
      // 16-bit samples keep their high byte.
      if (bits == 16) {
        for (std::uint32_t x = 0; x < width; ++x) line[x] = row_data[std::size_t{x} * 2];
      }
      return;
    }
    if (cmyk) {
      // The file stores 255 for no ink; the converter wants the ink.
      for (std::uint8_t& v : row_data) v = static_cast<std::uint8_t>(255 - v);
    }
    if (color_ && cmyk) {
      for (std::uint32_t x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c) inks[std::size_t{x} * 4 + c] = rows[c][x * sample];
      if (line) color_->Convert(inks.data(), line, width);
      return;
    }
    ColorConverter.ConvertRow(SourceRows(rows, planes), 0xFF, width, line);
    if (color_ && line) color_->Convert(line, line, width);
  };
  for (std::uint32_t y = 0; y < height; ++y) {
    decode_row(y, Bitmap->ScanLine(streaming_ ? 0 : static_cast<std::int32_t>(y)));
    if (streaming_) RowFeed->Feed(*Bitmap, 0);
  }
}

}  // namespace vistrel
