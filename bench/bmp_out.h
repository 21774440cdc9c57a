// Shared by the peer programs: writes the same kind of file vistrel-convert writes (24-bit BMP,
// bottom-up, BGR, rows padded to 4 bytes), one row at a time so the writer adds no second picture
// to the peer's peak memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace bench {

inline void PutU16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  PutU16(p, v & 0xffff);
  PutU16(p + 2, v >> 16);
}

inline std::size_t BmpStride(std::uint32_t width) {
  return (std::size_t{width} * 3 + 3) & ~std::size_t{3};
}

inline void FillBmpHeader(std::uint8_t* header, std::uint32_t width, std::uint32_t height) {
  const std::uint32_t image_size = static_cast<std::uint32_t>(BmpStride(width) * height);
  for (int i = 0; i < 54; ++i) header[i] = 0;
  header[0] = 'B';
  header[1] = 'M';
  PutU32(header + 2, 54 + image_size);
  PutU32(header + 10, 54);
  PutU32(header + 14, 40);
  PutU32(header + 18, width);
  PutU32(header + 22, height);
  PutU16(header + 26, 1);
  PutU16(header + 28, 24);
  PutU32(header + 34, image_size);
}

// bgr_row(y, out) fills out with the BGR bytes of picture row y (0 = top).
template <typename RowFn>
bool WriteBmp24(const char* path, std::uint32_t width, std::uint32_t height, RowFn bgr_row) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  std::uint8_t header[54];
  FillBmpHeader(header, width, height);
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  std::vector<std::uint8_t> row(BmpStride(width), 0);
  for (std::uint32_t y = height; ok && y-- > 0;) {
    bgr_row(y, row.data());
    ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
  }
  return std::fclose(file) == 0 && ok;
}

// For decoders that hand back top-down RGB rows with `channels` bytes per pixel (1, 3 or 4).
inline bool WriteBmp24FromRgb(const char* path, const std::uint8_t* pixels, std::uint32_t width,
                              std::uint32_t height, int channels) {
  const std::size_t in_stride = std::size_t{width} * channels;
  return WriteBmp24(path, width, height, [&](std::uint32_t y, std::uint8_t* out) {
    const std::uint8_t* in = pixels + in_stride * y;
    if (channels == 1) {
      for (std::uint32_t x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      return;
    }
    for (std::uint32_t x = 0; x < width; ++x, in += channels, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  });
}

}  // namespace bench
