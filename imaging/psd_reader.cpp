#include "imaging/psd_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"
#include "imaging/stream_decoders.h"

namespace vistrel {

namespace {

constexpr std::uint32_t kHeaderSize = 26;
constexpr std::int64_t kMinimumFileSize = 27;
constexpr std::uint32_t kMaxPaletteBytes = 768;

// PackBits turns 2 bytes into at most 128, so no file can hold a picture more than 64 times the
// size of the bytes after its header; a header claiming more describes a damaged file.
constexpr std::uint64_t kPackBitsMaxRatio = 64;

enum TPsdMode : std::uint16_t {
  kModeBitmap = 0,
  kModeGrayscale = 1,
  kModeIndexed = 2,
  kModeRgb = 3,
  kModeCmyk = 4,
  kModeMultichannel = 7,
  kModeDuotone = 8,
  kModeLab = 9,
};

bool ReadExact(TDataStream& stream, void* buffer, std::uint32_t count) {
  return stream.Read(buffer, count) == count;
}

// A 4-byte big-endian length; 0 when the stream has ended.
std::uint32_t ReadLength(TDataStream& stream) {
  std::uint8_t bytes[4];
  return ReadExact(stream, bytes, 4) ? LoadU32BE(bytes) : 0;
}

// Never past the end of the stream, which a memory stream would grow to reach.
void SkipBytes(TDataStream& stream, std::uint64_t count) {
  const std::int64_t position = stream.Position();
  const std::int64_t size = stream.Size();
  if (position < 0 || position >= size) return;
  const std::uint64_t left = static_cast<std::uint64_t>(size - position);
  stream.SetPosition(position + static_cast<std::int64_t>(std::min(count, left)));
}

std::uint64_t BytesLeft(TDataStream& stream) {
  const std::int64_t left = stream.Size() - stream.Position();
  return left > 0 ? static_cast<std::uint64_t>(left) : 0;
}

// Reads up to count bytes into buffer (which holds count zero bytes), stopping at the end of the
// stream; what is missing stays zero.
void ReadAvailable(TDataStream& stream, std::uint8_t* buffer, std::uint64_t count) {
  while (count > 0) {
    const std::uint32_t chunk =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 1u << 30));
    const std::uint32_t got = stream.Read(buffer, chunk);
    if (got == 0) return;
    buffer += got;
    count -= got;
  }
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
  bool matches = ReadExact(stream, header, kHeaderSize);
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
  std::uint8_t header[kHeaderSize];
  if (!ReadExact(stream, header, kHeaderSize) || std::memcmp(header, "8BPS", 4) != 0) {
    return false;
  }
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

  for (int section = 0; section < 3; ++section) SkipBytes(stream, ReadLength(stream));
  std::uint8_t compression[2] = {};
  ReadExact(stream, compression, 2);
  p.Compression =
      LoadU16BE(compression) == 1 ? TCompressionScheme::csPackBits : TCompressionScheme::csNone;
  return true;
}

void TPSDGraphic::LoadFromStream(TDataStream& stream) {
  GuardMemory(kFormatNamePsd, [&] { LoadImage(stream); });
}

void TPSDGraphic::LoadImage(TDataStream& stream) {
  BeginLoad(stream, kFormatNamePsd);
  const TImageProperties& p = ImageProperties;
  // The property reader stopped where the pixel data begins.
  const std::uint64_t dataBytes = BytesLeft(stream);
  stream.SetPosition(StartPosition);
  std::uint8_t header[kHeaderSize];
  ReadExact(stream, header, kHeaderSize);

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
  // Fewer channels than planes the mode reads would send the converter past the buffer.
  const int planes = PlanesFor(p.ColorScheme);
  if (p.ChannelCount < planes) RaiseGraphicError(kMsgInvalidSampleCount);
  if (!CanShow(p.ColorScheme, bits)) RaiseUnsupported();

  // Sizes come from the file: all of them are checked before anything is allocated.
  const std::uint32_t limit = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
  if (p.Width > limit || p.Height > limit) RaiseDamaged();
  const std::uint64_t rowBytes = (std::uint64_t{p.Width} * bits + 7) / 8;  // per channel
  std::uint64_t plane = 0;
  std::uint64_t allPlanes = 0;
  if (!CheckedMul<std::uint64_t>(rowBytes, p.Height, plane) ||
      !CheckedMul<std::uint64_t>(plane, p.ChannelCount, allPlanes) ||
      allPlanes > kPackBitsMaxRatio * dataBytes) {
    RaiseDamaged();
  }
  const TRasterFormat format = c.PixelFormatFor(true);
  const bool grayOrIndexed =
      p.ColorScheme == TColorScheme::Gray || p.ColorScheme == TColorScheme::Indexed;
  const bool packBits = p.Compression == TCompressionScheme::csPackBits;
  const std::uint64_t tableEntries = std::uint64_t{p.Height} * p.ChannelCount;
  // Everything the load holds at once: the bitmap; the row-length table (file bytes and host
  // values) and the packed rows, never more than the file; and either one wide row (grey and
  // indexed) or every channel's plane (colour).
  TMemoryBudget budget;
  const int formatBits = BitsForFormat(format) != 0 ? BitsForFormat(format) : 16;
  AddBitmap(budget, p.Width, p.Height, static_cast<std::uint32_t>(formatBits));
  if (packBits) budget.Add(tableEntries, 2 + sizeof(std::uint32_t)).Add(dataBytes);
  budget.Add(grayOrIndexed ? rowBytes : allPlanes);
  if (!budget.Fits()) RaiseUnsupported();

  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDeviceBitmap(
      static_cast<std::int32_t>(p.Width), static_cast<std::int32_t>(p.Height)));
  Bitmap->SetFormat(format);

  const std::uint32_t colorDataLength = ReadLength(stream);
  if (p.ColorScheme == TColorScheme::Indexed) {
    // The table is three planes of red, green and blue; anything past 256 entries is skipped.
    std::uint8_t palette[kMaxPaletteBytes] = {};
    const std::uint32_t used = std::min(colorDataLength, kMaxPaletteBytes);
    const std::uint32_t got = stream.Read(palette, used);
    const int count = static_cast<int>(used / 3);
    c.BuildColorPalette(*Bitmap, {palette, palette + count, palette + 2 * count}, 2, count, false);
    if (got == used) SkipBytes(stream, colorDataLength - used);
  } else {
    SkipBytes(stream, colorDataLength);
    if (p.ColorScheme == TColorScheme::Gray) {
      c.BuildGrayPalette(*Bitmap, p.Flags.Contains(TImageFlag::ZeroIsWhite));
    }
  }
  SkipBytes(stream, ReadLength(stream));                     // image resources
  SkipBytes(stream, std::uint64_t{ReadLength(stream)} + 2);  // layers; compression code known

  if (Bitmap->IsEmpty()) return;  // no rows to fill

  const bool direct = grayOrIndexed;
  std::vector<std::uint32_t> rowLengths;
  if (packBits) {
    if (tableEntries * 2 > BytesLeft(stream)) RaiseDamaged();
    std::vector<std::uint8_t> table(static_cast<std::size_t>(tableEntries * 2));
    ReadAvailable(stream, table.data(), table.size());
    rowLengths.resize(static_cast<std::size_t>(tableEntries));
    for (std::size_t i = 0; i < rowLengths.size(); ++i) rowLengths[i] = LoadU16BE(&table[i * 2]);
  }
  // Packed rows are read whole, so their total must be in the file.
  auto readPacked = [&](std::size_t rows) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < rows; ++i) total += rowLengths[i];
    if (total > BytesLeft(stream) || total > static_cast<std::uint64_t>(limit)) RaiseDamaged();
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(total));
    ReadAvailable(stream, packed.data(), total);
    return packed;
  };
  TPackBitsDecoder decoder;
  const std::uint32_t width = p.Width;
  const std::uint32_t height = p.Height;

  if (direct) {
    // Straight into the scanlines from the first channel; 16-bit samples keep their high byte.
    std::vector<std::uint8_t> wide(bits == 16 ? static_cast<std::size_t>(rowBytes) : 0);
    std::vector<std::uint8_t> packed;
    if (packBits) packed = readPacked(height);
    const std::uint8_t* source = packed.data();
    for (std::uint32_t y = 0; y < height; ++y) {
      std::uint8_t* line = Bitmap->ScanLine(static_cast<std::int32_t>(y));
      std::uint8_t* row = bits == 16 ? wide.data() : line;
      if (bits == 16) std::fill(wide.begin(), wide.end(), 0);
      if (packBits) {
        std::uint8_t* dest = row;
        decoder.Unpack(source, dest, static_cast<std::int32_t>(rowLengths[y]),
                       static_cast<std::int32_t>(rowBytes));
        source += rowLengths[y];
      } else {
        ReadAvailable(stream, row, rowBytes);
      }
      if (bits == 16) {
        for (std::uint32_t x = 0; x < width; ++x) line[x] = wide[std::size_t{x} * 2];
      }
    }
    return;
  }

  // Colour: every channel's plane, then one converted row from the first three or four.
  const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(allPlanes));
  if (packBits) {
    std::vector<std::uint8_t> packed = readPacked(rowLengths.size());
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = buffer.data();
    decoder.Unpack(source, dest, static_cast<std::int32_t>(packed.size()),
                   static_cast<std::int32_t>(buffer.size()));
  } else {
    ReadAvailable(stream, buffer.data(), buffer.size());
  }
  if (p.ColorScheme == TColorScheme::CMYK) {
    // The file stores 255 for no ink; the converter wants the ink.
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(plane); ++i) {
      buffer[i] = static_cast<std::uint8_t>(255 - buffer[i]);
    }
  }
  const std::uint8_t* rows[TSourceRows::kMaxPlanes] = {};
  for (int i = 0; i < planes; ++i) rows[i] = buffer.data() + i * static_cast<std::size_t>(plane);
  const std::size_t step = std::size_t{width} * sampleBytes;
  for (std::uint32_t y = 0; y < height; ++y) {
    c.ConvertRow(TSourceRows(rows, planes), 0xFF, width,
                 Bitmap->ScanLine(static_cast<std::int32_t>(y)));
    for (int i = 0; i < planes; ++i) rows[i] += step;
  }
}

}  // namespace vistrel
