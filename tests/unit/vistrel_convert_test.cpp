// vistrel-convert run as a user would run it (native build only).
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
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

}  // namespace
}  // namespace vistrel

#endif  // _WIN32
