// peer-stb IN OUT.bmp: stb_image decodes any picture it knows (PNG, JPEG, GIF's first frame, PSD,
// BMP) to RGB, then the picture is written as a 24-bit BMP.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

#include <cstdio>

#include "bmp_out.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load(argv[1], &width, &height, &channels, 3);
  if (!pixels) {
    std::fprintf(stderr, "peer-stb: %s\n", stbi_failure_reason());
    return 4;
  }
  const bool ok = bench::WriteBmp24FromRgb(argv[2], pixels, static_cast<std::uint32_t>(width),
                                           static_cast<std::uint32_t>(height), 3);
  stbi_image_free(pixels);
  return ok ? 0 : 5;
}
