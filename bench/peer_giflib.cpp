// peer-giflib IN.gif OUT.bmp: giflib decodes the first image's indices into a buffer filled with
// the background index (what vistrel shows where the data stops short), and the colour table in
// force maps them to BGR as the BMP is written.
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "bmp_out.h"

namespace {

bool SkipExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  while (block) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(argv[1], &error);
  if (!gif) return 2;
  GifRecordType record = UNDEFINED_RECORD_TYPE;
  do {
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) break;
    if (record == EXTENSION_RECORD_TYPE && !SkipExtension(gif)) break;
  } while (record != IMAGE_DESC_RECORD_TYPE && record != TERMINATE_RECORD_TYPE);
  if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) {
    std::fprintf(stderr, "peer-giflib: no image (%s)\n", GifErrorString(gif->Error));
    DGifCloseFile(gif, &error);
    return 4;
  }
  const std::uint32_t width = gif->Image.Width ? gif->Image.Width : gif->SWidth;
  const std::uint32_t height = gif->Image.Height ? gif->Image.Height : gif->SHeight;
  const ColorMapObject* colors = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
  const std::uint8_t background =
      gif->SColorMap ? static_cast<std::uint8_t>(gif->SBackGroundColor) : 0;
  std::unique_ptr<std::uint8_t[]> indices(new std::uint8_t[std::size_t{width} * height]);
  std::memset(indices.get(), background, std::size_t{width} * height);

  auto decode_row = [&](std::uint32_t y) {
    return DGifGetLine(gif, indices.get() + std::size_t{width} * y, static_cast<int>(width)) ==
           GIF_OK;
  };
  bool ok = true;
  if (gif->Image.Interlace) {
    static constexpr std::uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr std::uint32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4 && ok; ++pass)
      for (std::uint32_t y = kStart[pass]; y < height && ok; y += kStep[pass]) ok = decode_row(y);
  } else {
    for (std::uint32_t y = 0; y < height && ok; ++y) ok = decode_row(y);
  }
  // A cut picture keeps what arrived, as vistrel does.
  std::uint8_t table[256][3] = {};
  for (int i = 0; colors && i < colors->ColorCount && i < 256; ++i) {
    table[i][0] = colors->Colors[i].Blue;
    table[i][1] = colors->Colors[i].Green;
    table[i][2] = colors->Colors[i].Red;
  }
  DGifCloseFile(gif, &error);
  const bool written =
      bench::WriteBmp24(argv[2], width, height, [&](std::uint32_t y, std::uint8_t* out) {
        const std::uint8_t* in = indices.get() + std::size_t{width} * y;
        for (std::uint32_t x = 0; x < width; ++x, out += 3) std::memcpy(out, table[in[x]], 3);
      });
  return written ? 0 : 5;
}
