// GIF files (87a and 89a): the first image, with the global and local colour tables, into an
// 8-bit palette bitmap. Extensions, transparency, offsets and further frames are passed over.
#pragma once

#include <cstdint>

#include "imaging/bounded_input.h"
#include "imaging/image_reader.h"

namespace vistrel {

constexpr std::uint8_t kGifImageIntroducer = 0x2C;      // ','
constexpr std::uint8_t kGifExtensionIntroducer = 0x21;  // '!'
constexpr std::uint8_t kGifTrailer = 0x3B;              // ';'

class TGIFGraphic : public TImageReader {
 public:
  TGIFGraphic() = default;

  // False when fewer than 23 bytes remain; otherwise whether the next 3 bytes spell "GIF" in
  // either letter case. The position is restored either way.
  static bool CanLoadStream(TDataStream& stream);

  // Reads the header, the screen descriptor and the first image descriptor, if any. False when
  // the signature does not match or the screen descriptor is incomplete.
  bool ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) override;

  // Decodes the first image into Bitmap, an rf8Bit bitmap of the image's size. Rows the image
  // data does not reach show the screen's background index (0 without a global colour table).
  // Raises message 1 ("GIF") for a file that is not a GIF, whose size its data could never fill
  // or whose LZW start code size is above 11; message 4 for a picture beyond the memory budget
  // or one that memory cannot be found for.
  void LoadFromStream(TDataStream& stream);

  // Reads forward past extensions to the next image descriptor or trailer and answers the byte
  // that stopped it (0x2C or 0x3B); the end of the stream counts as the trailer.
  static std::uint8_t SkipExtensions(TDataStream& stream);

 private:
  // The loader's steps.
  void LoadImage(TDataStream& stream);
  bool ReadProperties(BoundedInput& input);
  void CheckBudget(std::int64_t stream_size);
  void ReadColorTables(BoundedInput& input);
  void DecodeRows(BoundedInput& input);

  std::uint8_t screen_[7] = {};  // the logical screen descriptor
  std::uint8_t background_ = 0;
  bool has_image_ = false;  // an image descriptor was read whole
  // Bitmap holds one row, handed to RowFeed as each is finished (not for interlaced images).
  bool streaming_ = false;
};

}  // namespace vistrel
