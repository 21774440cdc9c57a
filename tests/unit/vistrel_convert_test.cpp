// vistrel-convert run as a user would run it (native build only).
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/raster_bitmap.h"
#include "imaging/screen_render.h"
#include "tests/support/test_support.h"
#include "tests/unit/pillow_resize.h"

namespace vistrel {
namespace {

int Convert(const std::string& arguments) {
  const std::string command =
      test::BuildDir() + "/app/vistrel-convert " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(VistrelConvert, OptionsItDoesNotTakeAreAUsageError) {
  const std::string in = test::DataPath("jpeg/pillow/flower.jpg");
  const std::string out = test::FreshDir("convert_usage") + "out.bmp";
  for (const char* options :
       {"--screen", "--screen 0x1080", "--screen 1920x", "--screen 1920x16385", "--screen 1920",
        "--screen 1920x1080x3", "--screen -1x5", "--style 4", "--screen 9x9 --style",
        "--screen 9x9 --style 44", "--size 9x9"}) {
    EXPECT_EQ(Convert(std::string(options) + " '" + in + "' '" + out + "'"), 1) << options;
  }
  EXPECT_EQ(Convert("'" + in + "'"), 1);
}

// The picture as the applier writes it for such a monitor, against Pillow's rendering; without
// a screen, the picture's own size.
TEST(VistrelConvert, ScreenOptionWritesWhatTheApplierWrites) {
  const std::string dir = test::FreshDir("convert_screen");
  const struct {
    const char* file;
    const char* options;
    char style;
    ScreenSize screen;
  } cases[] = {
      // Pictures without a gamma chunk, whose values the reader keeps.
      {"png/png-libpng/testpngs/rgb-8.png", "--screen 50x20", '3', {50, 20}},
      {"png/png-libpng/testpngs/rgb-8.png", "--screen 50x20 --style 5", '5', {50, 20}},
      {"png/png-libpng/testpngs/rgb-alpha-16.png", "--screen 100x90 --style 4", '4', {100, 90}},
      {"jpeg/pillow/flower.jpg", "--screen 300x200 --style 4", '4', {300, 200}},
      // WebP rows streamed from libwebp's incremental decoder, lossy and lossless.
      {"webp/libwebp-test-data/test.webp", "--screen 50x37 --style 5", '5', {50, 37}},
      {"webp/libwebp-test-data/near_lossless_75.webp", "--screen 70x90", '3', {70, 90}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.options);
    const std::string in = test::DataPath(c.file);
    ASSERT_EQ(Convert(std::string(c.options) + " '" + in + "' '" + dir + "out.bmp'"), 0);
    TRasterBitmap written;
    written.LoadFromFile(dir + "out.bmp");
    const test::PillowPicture whole =
        test::PillowResize(in, "im = im.convert('RGB')", ResampleGeometry{1, 1, 0, 0, 1, 1});
    ResampleGeometry g;
    ASSERT_TRUE(ScreenGeometry(c.style, whole.width, whole.height, c.screen, g));
    const test::PillowPicture reference = test::PillowResize(in, "im = im.convert('RGB')", g);
    // 16-bit samples are reduced by rounding where Pillow cuts, and a JPEG comes from our
    // libjpeg, not Pillow's: a level either way before resampling.
    EXPECT_LE(test::MaxDifference(written, reference.resized, 3), 2);
  }
  ASSERT_EQ(Convert("'" + test::DataPath("jpeg/pillow/flower.jpg") + "' '" + dir + "own.bmp'"), 0);
  TRasterBitmap own;
  own.LoadFromFile(dir + "own.bmp");
  EXPECT_EQ(own.Width(), 480);
  EXPECT_EQ(own.Height(), 360);
}

// What a shell gets from the tool: its standard output, or "exit N" when it fails.
std::string ConvertOutput(const std::string& arguments) {
  const std::string command =
      test::BuildDir() + "/app/vistrel-convert " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "no shell";
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0
             ? out
             : "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// A part of the desktop bitmap (x, y of the virtual screen's corner) against Pillow's samples
// of that size; the largest difference.
int PartDifference(TRasterBitmap& desktop, int left, int top, const test::PillowPicture& p) {
  TRasterBitmap part = TRasterBitmap::CreateDibBitmap(p.width, p.height, TRasterFormat::rf24Bit);
  for (int y = 0; y < p.height; ++y)
    std::memcpy(part.ScanLine(y), desktop.ScanLine(top + y) + left * 3,
                static_cast<std::size_t>(p.width) * 3);
  return test::MaxDifference(part, p.resized, 3);
}

// Pillow's rendering of a picture for an area by a style (Stretch, Fill), as the reference.
test::PillowPicture Reference(const std::string& path, char style, ScreenSize area) {
  const test::PillowPicture whole =
      test::PillowResize(path, "im = im.convert('RGB')", ResampleGeometry{1, 1, 0, 0, 1, 1});
  ResampleGeometry g;
  EXPECT_TRUE(ScreenGeometry(style, whole.width, whole.height, area, g));
  test::PillowPicture p = test::PillowResize(path, "im = im.convert('RGB')", g);
  p.width = g.width;
  p.height = g.height;
  return p;
}

// A portrait monitor left of a landscape primary, lower down: a picture on each (the portrait
// one dealt second, yet shown on the portrait monitor), one across both, and Windows 7's
// wrapped tiling; what no monitor shows is black.
TEST(VistrelConvert, MonitorsOptionComposesTheDesktop) {
  const std::string dir = test::FreshDir("convert_monitors");
  test::WriteBytes(dir + "wide.png", test::Png24(90, 50, 3));
  test::WriteBytes(dir + "tall.png", test::Png24(40, 70, 7));
  const std::string layout = "--monitors '-60,-10,60,100;0,0,160,90,P' ";
  const std::string pictures = "'3" + dir + "wide.png' '3" + dir + "tall.png' ";
  ASSERT_EQ(ConvertOutput(layout + "--mode 1 " + pictures + "'" + dir + "each.bmp'"),
            "WallpaperStyle=22\nTileWallpaper=0\n");
  ASSERT_EQ(ConvertOutput(layout + "--mode 1 --windows 7 " + pictures + "'" + dir + "w7.bmp'"),
            "WallpaperStyle=0\nTileWallpaper=1\n");
  ASSERT_EQ(ConvertOutput(layout + "--mode 2 '5" + dir + "wide.png' '" + dir + "span.bmp'"),
            "WallpaperStyle=22\nTileWallpaper=0\n");
  TRasterBitmap each, w7, span;
  each.LoadFromFile(dir + "each.bmp");
  w7.LoadFromFile(dir + "w7.bmp");
  span.LoadFromFile(dir + "span.bmp");
  ASSERT_EQ(each.Width(), 220);
  ASSERT_EQ(each.Height(), 100);
  EXPECT_LE(PartDifference(each, 0, 0, Reference(dir + "tall.png", '3', {60, 100})), 1);
  EXPECT_LE(PartDifference(each, 60, 10, Reference(dir + "wide.png", '3', {160, 90})), 1);
  // Filled across 220 x 100, each monitor shows its part of one rendering.
  const test::PillowPicture across = Reference(dir + "wide.png", '5', {220, 100});
  test::PillowPicture shown = across;
  for (int y = 0; y < 10; ++y)  // above the primary, right of the portrait monitor
    shown.resized.replace(static_cast<std::size_t>(y * 220 + 60) * 3, 160 * 3, 160 * 3, '\0');
  EXPECT_LE(PartDifference(span, 0, 0, shown), 1);
  // Black where no monitor is: right of the portrait monitor above the primary.
  int lit = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 60; x < 220; ++x) lit += each.ScanLine(y)[x * 3] | span.ScanLine(y)[x * 3];
  EXPECT_EQ(lit, 0);
  // Windows 7 draws tile pixel (u, v) at the primary's corner plus (u, v), wrapping: every
  // pixel lands where the spanning bitmap has it.
  int moved = 0;
  for (int v = 0; v < 100; ++v)
    for (int u = 0; u < 220; ++u)
      moved += std::memcmp(w7.ScanLine(v) + u * 3,
                           each.ScanLine((v + 10) % 100) + ((u + 60) % 220) * 3, 3) != 0;
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(ConvertOutput(layout + "--mode 3 " + pictures + "'" + dir + "x.bmp'"), "exit 1");
  EXPECT_EQ(ConvertOutput("--monitors '0,0,0,9,P' --mode 1 " + pictures + "'" + dir + "x.bmp'"),
            "exit 1");
  EXPECT_EQ(ConvertOutput(layout + "--mode 1 '3" + dir + "none.png' '" + dir + "x.bmp'"), "exit 2");
}

}  // namespace
}  // namespace vistrel

#endif  // _WIN32
