// The common base of the PNG, GIF and PSD readers: the image properties a header yields, the
// colour converter, the stream being read and the bitmap that receives the pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imaging/color_converter.h"
#include "imaging/data_stream.h"
#include "imaging/graphic_messages.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {

class TBitmapRowFeed;

using TCardinalArray = std::vector<std::uint32_t>;
using TByteArray = std::vector<std::uint8_t>;

// Values are bit numbers inside a ImageFlags byte; bits 0 and 3 are never set.
enum class TImageFlag : std::uint8_t {
  BigEndianData = 1,  // multi-byte samples are stored most significant byte first
  ZeroIsWhite = 2,    // PSD bitmap mode: a 0 bit is white
  GammaInUse = 4,     // PNG: a gAMA chunk was applied to the converter
};

// A set of TImageFlag, one byte.
class ImageFlags {
 public:
  constexpr ImageFlags() = default;
  constexpr bool Contains(TImageFlag flag) const { return (bits_ & Bit(flag)) != 0; }
  constexpr void Include(TImageFlag flag) { bits_ |= Bit(flag); }
  constexpr void Exclude(TImageFlag flag) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(flag)); }
  constexpr std::uint8_t Bits() const { return bits_; }

 private:
  static constexpr std::uint8_t Bit(TImageFlag flag) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(flag));
  }
  std::uint8_t bits_ = 0;
};

enum class TCompressionScheme : std::uint8_t {
  csUnknown = 0,
  csNone = 1,
  csPackBits = 3,
  csLZW = 4,
  csDeflate = 9,
};

struct TImageProperties {
  std::uint32_t Version = 0;  // GIF: 87 or 89
  ImageFlags Flags;
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  TColorScheme ColorScheme = TColorScheme::Unknown;
  std::uint8_t BitsPerSample = 0;
  std::uint8_t SamplesPerPixel = 0;
  std::uint8_t BitsPerPixel = 0;  // BitsPerSample * SamplesPerPixel, modulo 256
  TCompressionScheme Compression = TCompressionScheme::csUnknown;
  float Gamma = 0.0f;  // 1.0 after a reset
  // Kept for the record's shape: no reader of this system fills them; a reset releases them.
  TCardinalArray ReservedCardinals;
  TByteArray ReservedBytes;
  bool Interlaced = false;
  bool HasAlpha = false;
  TByteArray MoreReservedBytes;
  bool LocalColorTable = false;   // GIF: the first image has its own colour table
  std::uint8_t ChannelCount = 0;  // PSD
  std::uint8_t FilterMode = 0;    // PNG: filter method of IHDR
};

class TImageReader {
 public:
  TImageReader() = default;
  TImageReader(const TImageReader&) = delete;
  TImageReader& operator=(const TImageReader&) = delete;
  virtual ~TImageReader() = default;

  // Class-level signature test; each reader hides it with its own, which restores the stream
  // position whatever it answers. The base answers false.
  static bool CanLoadStream(TDataStream& stream);

  // Resets ImageProperties (every field 0, Gamma 1.0, the arrays released) and answers false.
  // Readers call this first, then parse their header from the current position and answer
  // whether the signature matched. imageIndex is ignored by every reader of this system.
  virtual bool ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex);

  // Configured and fed row by row by the PNG and PSD loaders.
  TColorConverter ColorConverter;
  TImageProperties ImageProperties;
  // Where the image begins in the stream, remembered by the loader before it parses anything.
  std::int64_t StartPosition = 0;
  TDataStream* Stream = nullptr;  // not owned; set by the GIF and PNG loaders
  // Null until a loader creates it; the applier takes the picture from here.
  std::unique_ptr<TRasterBitmap> Bitmap;
  // Set before a load by a caller that takes the picture a row at a time (not owned). A reader
  // that can stream (PNG and GIF without interlacing, PSD, still WebP) makes a Bitmap of one row,
  // the colour table and the format, and hands each finished row to it, top to bottom, as row 0 of
  // Bitmap; any other fills Bitmap as usual and the caller feeds it afterwards.
  TBitmapRowFeed* RowFeed = nullptr;

 protected:
  // Loader steps shared by the readers: remembers where the image starts and reads the
  // properties, raising message 1 with format_name when they are not this reader's.
  void BeginLoad(TDataStream& stream, const char* format_name);

  // Runs a loader's body. An allocation that fails inside it ends the load with message 4 for
  // format_name, the half-made bitmap dropped: std::bad_alloc never leaves a reader.
  template <class Body>
  void GuardMemory(const char* format_name, Body body) {
    try {
      body();
    } catch (const std::bad_alloc&) {
      Bitmap.reset();
      RaiseGraphicErrorFmt(kMsgUnsupportedFormat, {format_name});
    }
  }
};

// Class-level: opens the file, asks Reader::CanLoadStream and closes it again. A file that
// cannot be opened reads as empty, so every signature test answers false.
template <class Reader>
bool CanLoadFile(const std::string& file_name) {
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(file_name);
  return Reader::CanLoadStream(*stream);
}

}  // namespace vistrel
