// WebP files through libwebp: lossy, lossless and with alpha, and the first frame of an
// animation on its canvas. An opaque picture becomes a 24-bit bitmap and one with alpha a 32-bit
// bitmap with straight alpha, as the PNG reader makes them of an RGB and an RGBA PNG.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/image_reader.h"

namespace vistrel {

class TWebPGraphic : public TImageReader {
 public:
  TWebPGraphic() = default;

  // False when fewer than 20 bytes remain (a RIFF header and one chunk header); otherwise
  // whether the next 12 bytes are "RIFF", a size and "WEBP". The position is restored either way.
  static bool CanLoadStream(TDataStream& stream);

  // Reads the headers at the stream's position: the picture's size (an animation's canvas),
  // whether it has alpha and is animated. False when they are not a WebP file's.
  bool ReadImageProperties(TDataStream& stream, std::uint32_t imageIndex) override;

  // Decodes the picture that starts at the stream's position into Bitmap (an animation's first
  // frame, at its offset on a transparent canvas). Raises message 1 ("WebP") for a file that is
  // not WebP, is cut short or whose size its data could never fill; 7 for damaged image data; 4
  // for a picture beyond the memory budget, a feature libwebp does not decode, or one that
  // memory cannot be found for.
  void LoadFromStream(TDataStream& stream);

 private:
  void LoadImage(TDataStream& stream);
  void CheckBudget(std::uint64_t file_bytes) const;
  void DecodeStill(const std::vector<std::uint8_t>& data);
  void DecodeFirstFrame(const std::vector<std::uint8_t>& data);
  // Decodes one VP8/VP8L bitstream (with its ALPH chunk) into the bitmap's rectangle at left,
  // top. feed_steps above 0 (a still picture filling the bitmap): the data goes to libwebp in
  // that many steps, each row to RowFeed as soon as it is decoded, and Bitmap keeps one row.
  void DecodeInto(const std::uint8_t* data, std::size_t size, std::uint32_t left, std::uint32_t top,
                  std::uint32_t width, std::uint32_t height, std::size_t feed_steps);
  [[noreturn]] void Raise(int message) const;

  bool animated_ = false;
  int format_ = 0;                // of the headers: 1 lossy, 2 lossless, 0 not known yet
  std::uint64_t riff_bytes_ = 0;  // the file as its RIFF header sizes it
};

}  // namespace vistrel
