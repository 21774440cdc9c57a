// peer-spng IN.png OUT.bmp: libspng decodes to RGB, then the picture is written as a 24-bit BMP.
#include <spng.h>

#include <cstdio>
#include <memory>

#include "bmp_out.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 2;
  spng_ctx* ctx = spng_ctx_new(0);
  spng_ihdr ihdr{};
  std::size_t size = 0;
  int rc = spng_set_png_file(ctx, in);
  if (!rc) rc = spng_get_ihdr(ctx, &ihdr);
  if (!rc) rc = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
  // No zero fill: the decoder writes every byte.
  std::unique_ptr<std::uint8_t[]> pixels(rc ? nullptr : new std::uint8_t[size]);
  if (!rc) rc = spng_decode_image(ctx, pixels.get(), size, SPNG_FMT_RGB8, SPNG_DECODE_TRNS);
  spng_ctx_free(ctx);
  std::fclose(in);
  if (rc) {
    std::fprintf(stderr, "peer-spng: %s\n", spng_strerror(rc));
    return 4;
  }
  return bench::WriteBmp24FromRgb(argv[2], pixels.get(), ihdr.width, ihdr.height, 3) ? 0 : 5;
}
