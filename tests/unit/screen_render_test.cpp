#include "imaging/screen_render.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_support.h"
#include "tests/unit/pillow_resize.h"

namespace vistrel {
namespace {

bool SameGeometry(const ResampleGeometry& a, const ResampleGeometry& b) {
  return a.scaled_width == b.scaled_width && a.scaled_height == b.scaled_height &&
         a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(ScreenGeometry, EachStyleOnTheScreen) {
  const ScreenSize hd{1920, 1080};
  const struct {
    const char* name;
    char style;
    std::int32_t width, height;
    ScreenSize screen;
    ResampleGeometry expected;
  } cases[] = {
      {"stretch", '3', 6000, 4000, hd, {1920, 1080, 0, 0, 1920, 1080}},
      {"fit, narrower than the screen", '4', 6000, 4000, hd, {1620, 1080, 0, 0, 1620, 1080}},
      {"fit, wider", '4', 4000, 1000, hd, {1920, 480, 0, 0, 1920, 480}},
      {"fit enlarges", '4', 800, 600, hd, {1440, 1080, 0, 0, 1440, 1080}},
      {"fit, a hair of a picture", '4', 1, 100000, hd, {1, 1080, 0, 0, 1, 1080}},
      {"fill, the middle rows", '5', 6000, 4000, hd, {1920, 1280, 0, 100, 1920, 1080}},
      {"fill, the middle columns", '5', 4000, 1000, hd, {4320, 1080, 1200, 0, 1920, 1080}},
      {"fill, the screen's shape", '5', 3840, 2160, hd, {1920, 1080, 0, 0, 1920, 1080}},
      {"fill, an odd margin", '5', 300, 225, ScreenSize{100, 52}, {100, 75, 0, 11, 100, 52}},
  };
  for (const auto& c : cases) {
    ResampleGeometry g;
    ASSERT_TRUE(ScreenGeometry(c.style, c.width, c.height, c.screen, g)) << c.name;
    EXPECT_TRUE(SameGeometry(g, c.expected))
        << c.name << ": " << g.scaled_width << "x" << g.scaled_height << " +" << g.left << "+"
        << g.top << " " << g.width << "x" << g.height;
  }
}

TEST(ScreenGeometry, OwnPixelsWhereNothingIsScaled) {
  ResampleGeometry g;
  for (char style : {'1', '2', '0', '6', 'x'})
    EXPECT_FALSE(ScreenGeometry(style, 6000, 4000, ScreenSize{1920, 1080}, g)) << style;
  const ScreenSize screens[] = {{0, 0}, {1920, 0}, {-1920, 1080}, {kMaxScreenSide + 1, 1080}};
  for (const ScreenSize& screen : screens)
    EXPECT_FALSE(ScreenGeometry('3', 6000, 4000, screen, g))
        << screen.width << "x" << screen.height;
  EXPECT_FALSE(ScreenGeometry('3', 0, 4000, ScreenSize{1920, 1080}, g));
}

TEST(ScreenRenderer, RowsThatNeverCameAreBlack) {
  // A white picture whose decode stopped halfway: the bottom of the screen comes out black.
  TScreenRenderer renderer(64, 64, TExifOrientation::kNormal, ResampleGeometry{8, 8, 0, 0, 8, 8},
                           1);
  const std::string white(64, '\xFF');
  for (int y = 0; y < 32; ++y) renderer.PutRow(reinterpret_cast<const std::uint8_t*>(white.data()));
  TRasterBitmap bitmap = renderer.Finish();
  ASSERT_EQ(bitmap.Width(), 8);
  ASSERT_EQ(bitmap.GetFormat(), TRasterFormat::rf24Bit);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 255);
  EXPECT_EQ(bitmap.ScanLine(0)[2], 255) << "grey widened to blue, green, red";
  EXPECT_EQ(bitmap.ScanLine(7)[1], 0);
}

#ifndef _WIN32

// Pillow's exif_transpose for each orientation.
const char* const kTranspose[] = {
    "",          "",           "FLIP_LEFT_RIGHT", "ROTATE_180", "FLIP_TOP_BOTTOM",
    "TRANSPOSE", "ROTATE_270", "TRANSVERSE",      "ROTATE_90",
};

// The stored rows are resampled and the small result turned: the same as turning the picture
// first, also where the kept part of a Fill sits one pixel off the middle.
TEST(ScreenRendererReference, EveryOrientationMatchesPillow) {
  const std::string path = test::DataPath("jpeg/pillow/flower2.jpg");
  const test::PillowPicture stored =
      test::PillowResize(path, "im = im.convert('RGB')", ResampleGeometry{1, 1, 0, 0, 1, 1});
  ASSERT_EQ(stored.source.size(), std::size_t{300} * 225 * 3);
  std::string bgr = stored.source;
  for (std::size_t i = 0; i < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    const auto orientation = static_cast<TExifOrientation>(o);
    const bool swaps = SwapsSides(orientation);
    ResampleGeometry g;
    ASSERT_TRUE(ScreenGeometry('5', swaps ? 225 : 300, swaps ? 300 : 225, ScreenSize{100, 52}, g));
    TScreenRenderer renderer(300, 225, orientation, g, 3);
    for (int y = 0; y < 225; ++y)
      renderer.PutRow(reinterpret_cast<const std::uint8_t*>(bgr.data()) + y * 300 * 3);
    TRasterBitmap bitmap = renderer.Finish();
    std::string prepare = "im = im.convert('RGB')";
    if (o > 1) prepare += std::string(".transpose(Image.Transpose.") + kTranspose[o] + ")";
    const test::PillowPicture upright = test::PillowResize(path, prepare, g);
    EXPECT_LE(test::MaxDifference(bitmap, upright.resized, 3), 1);
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace vistrel
