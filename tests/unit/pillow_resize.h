// Pillow as the reference for resampled pictures (native build only): a picture decoded and
// resized by Pillow, and the largest difference between its samples and ours.
#pragma once

#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/raster_bitmap.h"
#include "imaging/resampler.h"
#include "tests/support/test_support.h"

namespace vistrel::test {

// Samples as Pillow's tobytes gives them, with the picture's size.
struct PillowPicture {
  int width = 0;
  int height = 0;
  std::string source;   // the picture before resizing (prepare's result)
  std::string resized;  // after resizing and cropping
};

// Runs Pillow on the file: `prepare` turns `im` into the picture to resize (convert, transpose,
// an earlier step such as a DCT-scaled decode), which is resized with LANCZOS to the geometry's
// scaled size and cropped to its kept part. RGBA bands are resized each on their own.
inline PillowPicture PillowResize(const std::string& path, const std::string& prepare,
                                  const ResampleGeometry& g) {
  const std::string dir = FreshDir("pillow_resize");
  WriteBytes(dir + "resize.py",
             "import sys\n"
             "from PIL import Image, ImageOps\n"
             "im = Image.open(sys.argv[1])\n" +
                 prepare +
                 "\n"
                 "sw, sh, l, t, w, h = map(int, sys.argv[2:8])\n"
                 "if im.mode == 'RGBA':\n"
                 "    r = Image.merge('RGBA', [b.resize((sw, sh), Image.LANCZOS) for b in "
                 "im.split()])\n"
                 "else:\n"
                 "    r = im.resize((sw, sh), Image.LANCZOS)\n"
                 "r = r.crop((l, t, l + w, t + h))\n"
                 "open(sys.argv[8], 'wb').write(im.tobytes())\n"
                 "open(sys.argv[9], 'wb').write(r.tobytes())\n"
                 "print(im.size[0], im.size[1])\n");
  char args[128];
  std::snprintf(args, sizeof args, " %d %d %d %d %d %d ", g.scaled_width, g.scaled_height, g.left,
                g.top, g.width, g.height);
  const std::string command = "/usr/bin/python3 '" + dir + "resize.py' '" + path + "'" + args +
                              "'" + dir + "source.raw' '" + dir + "resized.raw'";
  PillowPicture p;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr || std::fscanf(pipe, "%d %d", &p.width, &p.height) != 2) p.width = 0;
  if (pipe != nullptr) pclose(pipe);
  p.source = ReadBytes(dir + "source.raw");
  p.resized = ReadBytes(dir + "resized.raw");
  return p;
}

// The largest difference between a 24-bit bitmap and Pillow's RGB (or L) samples of the same
// size; -1 when the sizes differ.
inline int MaxDifference(TRasterBitmap& bitmap, const std::string& pillow, int channels) {
  const auto width = static_cast<std::size_t>(bitmap.Width());
  const auto height = static_cast<std::size_t>(bitmap.Height());
  if (bitmap.GetFormat() != TRasterFormat::rf24Bit ||
      pillow.size() != width * height * static_cast<std::size_t>(channels))
    return -1;
  int worst = 0;
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = bitmap.ScanLine(static_cast<std::int32_t>(y));
    for (std::size_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int ours = row[x * 3 + static_cast<std::size_t>(2 - c)];  // blue, green, red
        const int theirs =
            static_cast<std::uint8_t>(pillow[(y * width + x) * static_cast<std::size_t>(channels) +
                                             static_cast<std::size_t>(channels == 1 ? 0 : c)]);
        worst = std::max(worst, std::abs(ours - theirs));
      }
    }
  }
  return worst;
}

}  // namespace vistrel::test

#endif  // _WIN32
