#include "imaging/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"
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

bool ReadExact(TDataStream& stream, void* buffer, std::uint32_t count) {
  return stream.Read(buffer, count) == count;
}

bool ReadByte(TDataStream& stream, std::uint8_t& value) {
  return ReadExact(stream, &value, 1);
}

// Moves forward by count bytes, but never past the end of the stream (a memory stream would
// grow): the walks then meet the end and stop.
void SkipBytes(TDataStream& stream, std::uint32_t count) {
  const std::int64_t position = stream.Position();
  const std::int64_t size = stream.Size();
  if (position < 0 || position >= size) return;
  stream.SetPosition(std::min<std::int64_t>(position + count, size));
}

// Data sub-blocks up to and including the zero length byte, or to the end of the stream.
void SkipSubBlocks(TDataStream& stream) {
  std::uint8_t length = 0;
  while (ReadByte(stream, length) && length != 0) SkipBytes(stream, length);
}

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
void ReadColorTable(TDataStream& stream, TRasterBitmap& bitmap, std::uint32_t entries) {
  std::uint8_t table[256 * 3];
  const std::uint32_t got = stream.Read(table, entries * 3);
  for (std::uint32_t i = 0; i < got / 3; ++i) {
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
  const bool matches = ReadExact(stream, header, kHeaderSize) && IsGifSignature(header);
  stream.SetPosition(start);
  return matches;
}

std::uint8_t TGIFGraphic::SkipExtensions(TDataStream& stream) {
  for (;;) {
    std::uint8_t introducer = 0;
    if (!ReadByte(stream, introducer)) return kGifTrailer;
    if (introducer == kGifImageIntroducer || introducer == kGifTrailer) return introducer;
    if (introducer != kGifExtensionIntroducer) continue;  // stray bytes are passed over
    // Every extension, known label or not, is a label and a sequence of sub-blocks; its data is
    // never scanned for introducers, which it may well contain.
    std::uint8_t label = 0;
    if (!ReadByte(stream, label)) return kGifTrailer;
    SkipSubBlocks(stream);
  }
}

bool TGIFGraphic::ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) {
  TImageReader::ReadImageProperties(stream, imageIndex);
  TImageProperties& p = ImageProperties;
  std::uint8_t header[kHeaderSize];
  if (!ReadExact(stream, header, kHeaderSize) || !IsGifSignature(header)) return false;
  const bool digits = header[3] >= '0' && header[3] <= '9' && header[4] >= '0' && header[4] <= '9';
  p.Version = digits ? static_cast<std::uint32_t>((header[3] - '0') * 10 + (header[4] - '0')) : 0;
  p.ColorScheme = TColorScheme::Indexed;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.Compression = TCompressionScheme::csLZW;

  std::uint8_t screen[kScreenDescriptorSize];
  if (!ReadExact(stream, screen, kScreenDescriptorSize)) return false;
  const std::uint8_t screenFlags = screen[4];
  if (screenFlags & 0x80) {
    p.BitsPerSample = static_cast<std::uint8_t>((screenFlags & 7) + 1);
    SkipBytes(stream, TableEntries(screenFlags) * 3);
  }

  std::uint8_t descriptor[kImageDescriptorSize];
  if (SkipExtensions(stream) == kGifImageIntroducer &&
      ReadExact(stream, descriptor, kImageDescriptorSize)) {
    const std::uint16_t width = LoadU16LE(descriptor + 4);
    const std::uint16_t height = LoadU16LE(descriptor + 6);
    p.Width = width != 0 ? width : LoadU16LE(screen);
    p.Height = height != 0 ? height : LoadU16LE(screen + 2);
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
  BeginLoad(stream, kFormatNameGif);
  const std::uint32_t width = ImageProperties.Width;
  const std::uint32_t height = ImageProperties.Height;
  const std::uint64_t pixels = std::uint64_t{width} * height;  // both below 2^16
  const std::int64_t fileBytes = std::max<std::int64_t>(stream.Size() - StartPosition, 0);
  if (pixels > kLzwMaxBytesPerByte * static_cast<std::uint64_t>(fileBytes)) {
    RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNameGif});
  }
  // The bitmap, the unpacked pixels and the packed data, which is never more than the file.
  TMemoryBudget budget;
  AddBitmap(budget, width, height, 8).Add(pixels).Add(static_cast<std::uint64_t>(fileBytes));
  if (!budget.Fits()) RaiseGraphicErrorFmt(kMsgUnsupportedFormat, {kFormatNameGif});

  stream.SetPosition(StartPosition);
  std::uint8_t header[kHeaderSize];
  ReadExact(stream, header, kHeaderSize);
  Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDeviceBitmap(
      static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)));
  Bitmap->SetFormat(TRasterFormat::rf8Bit);

  std::uint8_t screen[kScreenDescriptorSize];
  ReadExact(stream, screen, kScreenDescriptorSize);  // the property reader saw it whole
  std::uint8_t background = 0;
  if (screen[4] & 0x80) {
    background = screen[5];
    ReadColorTable(stream, *Bitmap, TableEntries(screen[4]));
  }
  if (SkipExtensions(stream) == kGifTrailer) return;
  std::uint8_t descriptor[kImageDescriptorSize];
  if (!ReadExact(stream, descriptor, kImageDescriptorSize)) return;
  if (descriptor[8] & 0x80) ReadColorTable(stream, *Bitmap, TableEntries(descriptor[8]));
  if (pixels == 0) return;

  std::uint8_t codeSize = 0;
  const bool hasData = ReadByte(stream, codeSize);
  // The decoder's tables hold 12-bit codes: a larger start size could never decode, and the
  // picture would be nothing but background.
  if (hasData && codeSize > kMaxLzwStartCodeSize) {
    Bitmap.reset();
    RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNameGif});
  }

  // Rows the data does not reach keep the colour the screen shows where no image is.
  std::vector<std::uint8_t> unpacked(static_cast<std::size_t>(pixels), background);
  if (hasData) {
    // The first walk sizes the buffer; it stops at the end of the stream, so the total is at
    // most the bytes left plus one block.
    const std::int64_t dataStart = stream.Position();
    std::uint64_t packedSize = 0;
    std::uint8_t length = 0;
    while (ReadByte(stream, length) && length != 0) {
      packedSize += length;
      SkipBytes(stream, length);
    }
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(packedSize));
    stream.SetPosition(dataStart);
    std::uint64_t filled = 0;
    while (filled < packedSize && ReadByte(stream, length) && length != 0) {
      const std::uint32_t want =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(length, packedSize - filled));
      const std::uint32_t got = stream.Read(packed.data() + filled, want);
      filled += got;
      if (got < want) break;
    }
    // Only the bytes that arrived are decoded: zeros past a cut would decode as pixels.
    TLzwDecoder decoder(codeSize);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = unpacked.data();
    decoder.Unpack(source, dest, static_cast<std::int32_t>(filled),
                   static_cast<std::int32_t>(pixels));
  }

  const std::uint8_t* row = unpacked.data();
  auto copyRow = [&](std::uint32_t y) {
    std::memcpy(Bitmap->ScanLine(static_cast<std::int32_t>(y)), row, width);
    row += width;
  };
  if (!ImageProperties.Interlaced) {
    for (std::uint32_t y = 0; y < height; ++y) copyRow(y);
    return;
  }
  static constexpr std::uint32_t kPassStart[4] = {0, 4, 2, 1};
  static constexpr std::uint32_t kPassStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (std::uint32_t y = kPassStart[pass]; y < height; y += kPassStep[pass]) copyRow(y);
  }
}

}  // namespace vistrel
