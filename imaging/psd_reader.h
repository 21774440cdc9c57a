// Photoshop files: the merged (composite) image, raw or PackBits-compressed, in bitmap, grey,
// indexed, RGB, CMYK, multichannel, duotone and Lab mode, through the colour converter into a
// 1-, 8-, 24- or 32-bit bitmap.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/bounded_input.h"
#include "imaging/color_profile.h"
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

  // Decodes the composite image into Bitmap; pixel data that ends early leaves zero bytes.
  // Raises message 1 ("PSD or PDD") for a file that is not a PSD, whose row-length table or
  // packed rows run past the end of the file, or whose size the rest of the file could never
  // fill; 16 for a sample depth outside 1..16; 17 when the channels are fewer than the colour
  // mode needs; 4 for a colour mode or depth it cannot show (modes 5, 6 and above 9, grey at 2
  // or 4 bits, colour at other than 8 or 16 bits), a picture beyond the memory budget, or one
  // that memory cannot be found for.
  void LoadFromStream(TDataStream& stream);

 private:
  // The loader's steps.
  void LoadImage(TDataStream& stream);
  void ConfigureConverter();
  void CheckSizes(std::uint64_t data_bytes);
  void ReadColorData(BoundedInput& input);
  // The image resources, of which the ICC profile (resource 1039) is used.
  void ReadResources(BoundedInput& input);
  std::vector<std::int64_t> ReadRowTable(BoundedInput& input);
  void DecodeRows(TDataStream& stream, const std::vector<std::int64_t>& row_starts);

  TRasterFormat format_ = TRasterFormat::rfDevice;
  std::uint64_t rowBytes_ = 0;  // one channel's row
  std::uint64_t plane_ = 0;     // one channel's rows
  std::int64_t dataStart_ = 0;  // where the row table or the raw rows begin
  bool profile_fits_ = false;   // the memory budget has room for a colour profile
  // Bitmap holds one row, handed to RowFeed as each is finished.
  bool streaming_ = false;
  // From the profile to sRGB: the rows of RGB and CMYK pictures, the colour table of grey and
  // indexed ones.
  std::unique_ptr<ColorTransform> color_;
};

}  // namespace vistrel
