// Photoshop files: the merged (composite) image, raw or PackBits-compressed, in bitmap, grey,
// indexed, RGB, CMYK, multichannel, duotone and Lab mode, through the colour converter into a
// 1-, 8-, 24- or 32-bit bitmap.
#pragma once

#include <cstdint>

#include "imaging/image_reader.h"

namespace vistrel {

class TPSDGraphic : public TImageReader {
 public:
  TPSDGraphic() = default;

  // False when fewer than 27 bytes remain; otherwise whether the header starts with "8BPS" in
  // either letter case and has version 1. The position is restored either way.
  static bool CanLoadStream(TDataStream& stream);

  // Reads the header, skips the colour mode data, image resources and layer information and
  // reads the compression code. False unless the file starts with exactly "8BPS".
  bool ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) override;

  // Decodes the composite image into Bitmap. Colour modes outside the table leave the bitmap as
  // created; pixel data that ends early leaves zero bytes. Raises message 1 ("PSD or PDD") for a
  // file that is not a PSD, whose row-length table or packed rows run past the end of the file,
  // or whose size the rest of the file could never fill; 16 for a sample depth outside 1..16;
  // 17 when the channels are fewer than the colour mode needs.
  void LoadFromStream(TDataStream& stream);
};

}  // namespace vistrel
