// peer-libpng IN.png OUT.bmp: libpng's simplified API decodes straight into the BMP pixel array
// (BGR, bottom-up by a negative row stride, rows padded to 4 bytes), which is then written whole.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "bmp_out.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, argv[1])) {
    std::fprintf(stderr, "peer-libpng: %s\n", image.message);
    return 4;
  }
  image.format = PNG_FORMAT_BGR;
  const std::size_t stride = bench::BmpStride(image.width);
  const std::size_t size = 54 + stride * image.height;
  std::unique_ptr<std::uint8_t[]> file(new std::uint8_t[size]);
  bench::FillBmpHeader(file.get(), image.width, image.height);
  for (std::uint32_t y = 0; y < image.height; ++y)  // the padding bytes libpng does not write
    std::memset(file.get() + 54 + stride * y + image.width * 3, 0, stride - image.width * 3);
  const png_color white = {255, 255, 255};  // alpha is composed onto white
  if (!png_image_finish_read(&image, &white, file.get() + 54, -static_cast<png_int_32>(stride),
                             nullptr)) {
    std::fprintf(stderr, "peer-libpng: %s\n", image.message);
    return 4;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 5;
  const bool ok = std::fwrite(file.get(), 1, size, out) == size;
  return std::fclose(out) == 0 && ok ? 0 : 5;
}
