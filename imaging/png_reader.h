// PNG files: signature, chunks with their CRC, the five row filters, Adam7 interlacing, and every
// row through the colour converter into a 1-, 4-, 8-, 24- or 32-bit bitmap.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/bounded_input.h"
#include "imaging/color_profile.h"
#include "imaging/image_reader.h"
#include "imaging/stream_decoders.h"

namespace vistrel {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 0x50, 0x4E, 0x47,
                                                       0x0D, 0x0A, 0x1A, 0x0A};

// The IHDR record in host order.
struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t bit_depth = 0;
  std::uint8_t color_type = 0;
  std::uint8_t compression = 0;
  std::uint8_t filter = 0;
  std::uint8_t interlace = 0;
};

class TPNGGraphic : public TImageReader {
 public:
  TPNGGraphic() = default;

  // False when fewer than 9 bytes remain; otherwise whether the next 8 bytes are the
  // signature. The position is restored either way.
  static bool CanLoadStream(TDataStream& stream);

  // Parses the signature, IHDR and, when one comes before IEND, the gAMA chunk. Raises message 6
  // for a CRC mismatch or a chunk it reads that runs past the end of the stream; chunks it only
  // passes over need no CRC, and the end of the stream ends the walk as IEND does.
  bool ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) override;

  // Decodes the image that starts at the stream's position into Bitmap; raises the numbered
  // messages on damage: 1 for a size its image data could never fill, 9 for an indexed image
  // without a palette, 4 for a picture beyond the memory budget or one that memory cannot be
  // found for. A Bitmap left from an earlier load keeps its size; what does not fit is clipped.
  void LoadFromStream(TDataStream& stream);

  // The IHDR record of the last load.
  const PngHeader& Header() const { return header_; }

  // What the last load took from tRNS and bKGD. Neither changes the picture, except that the
  // fill colour shows where the image data ran out.
  TByteArray PaletteAlpha;  // tRNS of an indexed image: 256 entries, 255 beyond the chunk
  std::uint32_t TransparencyKey = 0x1FFFFFFF;
  std::uint32_t FillColor = 0xFFFFFF;  // 0x00BBGGRR

 private:
  bool ReadChunkHeader();
  void ReadChunkData();
  bool ReadChunkDataQuietly();
  bool IsChunk(const char* name) const;
  void SkipChunk();
  int ConfigureDepth(std::uint8_t color_type, std::uint8_t bit_depth);
  void DecodeImage();
  bool DecodeRows(std::vector<std::uint8_t>& current, std::vector<std::uint8_t>& previous,
                  std::uint32_t row_size, std::uint32_t first_row, std::uint32_t row_step,
                  std::uint8_t mask);
  void Unfilter(std::uint8_t* row, const std::uint8_t* previous, std::uint32_t row_size) const;
  class RowStage;
  // A picture that streams: rows inflated here, the rest done on a second thread.
  void StreamRows(std::uint32_t row_size);
  // An unfiltered row (its filter byte first) into the streamed row of Bitmap.
  void ConvertStreamedRow(const std::uint8_t* row);
  bool FillBuffer(std::uint8_t* buffer, std::uint32_t count);
  void ReadBackground();
  void ReadTransparency();
  void ReadColorProfile();
  // The profile's colours for pixels the converter has just put into a row: the pass's columns
  // of an interlaced image, else the whole row.
  void ConvertRowColors(std::uint8_t* row, std::uint8_t mask);
  void ResolveGrayOrIndexedFill();
  // The loader's steps.
  void LoadImage(TDataStream& stream);
  void ReadHeaderAgain();
  void CheckImageSize();
  void ResetLoadState();
  void ReadChunks();
  // A bitmap this load made is made again in the format, its pixels left for the rows to set.
  void SetBitmapFormat(TRasterFormat format);
  void FillRows(std::uint32_t first, std::uint32_t end);
  // The streamed row in Bitmap holds its pixels (or the fill colour) for good.
  void RowDone();
  void FillRowsNotReached();
  [[noreturn]] void Raise(int message) const;

  std::unique_ptr<TDeflateDecoder> Decoder;  // only while loading
  std::int32_t IdatLeft = 0;
  TByteArray ChunkData;
  const std::uint8_t* ReadPointer = nullptr;
  std::uint32_t ChunkLength = 0;
  std::array<std::uint8_t, 4> ChunkType = {};
  std::uint32_t ChunkCrc = 0;
  int BytesPerPixel = 1;  // filter distance

  PngHeader header_;
  bool depth_configured_ = false;  // ConfigureDepth ran during this load
  bool image_decoded_ = false;     // the IDAT sequence of this load has been read
  bool stream_ended_ = false;      // a chunk header could not be read: treated as IEND
  // bKGD of a grey or indexed image: a level or an index that becomes FillColor once the
  // bitmap's colour table exists.
  bool has_gray_or_index_background_ = false;
  std::uint16_t background_level_ = 0;
  std::uint32_t converted_width_ = 0;  // pixels per row that fit the bitmap
  BoundedInput* input_ = nullptr;      // while a load or a property read runs
  bool fresh_bitmap_ = false;          // this load made Bitmap
  std::vector<bool> row_ready_;        // rows of a fresh bitmap that hold pixels or the fill
  // From iCCP to sRGB. Grey and indexed images convert their colour table, the others their
  // rows.
  std::unique_ptr<ColorTransform> color_;
  bool profile_fits_ = false;              // the memory budget has room for a profile
  std::vector<std::uint8_t> pass_pixels_;  // an interlaced pass's pixels of one row
  bool streaming_ = false;  // Bitmap holds one row at a time, each handed to RowFeed when done
};

}  // namespace vistrel
