// JPEG pictures rendered for a screen: decoded at a DCT scale where the picture is large enough,
// their rows resampled as they come.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/jpeg_picture.h"
#include "imaging/screen_render.h"
#include "tests/support/test_support.h"
#include "tests/unit/pillow_resize.h"

namespace vistrel {
namespace {

TEST(JpegRender, SmallestDctScaleThatCoversTheTarget) {
  const struct {
    std::int32_t width, height, target_width, target_height;
    int shift;
  } cases[] = {
      {6000, 4000, 1920, 1080, 1},  // 3000 x 2000; a quarter, 1500 wide, is too narrow
      {6000, 4000, 640, 480, 3},    // 750 x 500
      {8000, 6000, 1000, 750, 3},   // exactly an eighth
      {3839, 4000, 1920, 1080, 0},  // not twice as wide
      {6000, 2159, 1920, 1080, 0},  // not twice as high
      {1920, 1080, 1920, 1080, 0}, {100, 100, 200, 200, 0},  // enlarged
  };
  for (const auto& c : cases) {
    const ResampleGeometry g{c.target_width, c.target_height, 0, 0,
                             c.target_width, c.target_height};
    EXPECT_EQ(ScreenScaleShift(c.width, c.height, g), c.shift)
        << c.width << "x" << c.height << " for " << c.target_width << "x" << c.target_height;
  }
}

TEST(JpegRender, OwnPixelsWhereTheStyleKeepsThem) {
  const std::string path = test::DataPath("jpeg/pillow/flower.jpg");
  TJpegPicture picture;
  TRasterBitmap own = picture.DecodeFile(path);
  for (char style : {'1', '2'}) {
    TRasterBitmap kept = picture.RenderFile(path, style, ScreenSize{200, 150});
    ASSERT_EQ(kept.PixelMemorySize(), own.PixelMemorySize());
    EXPECT_EQ(0, std::memcmp(kept.PixelMemory(), own.PixelMemory(), own.PixelMemorySize()));
  }
  EXPECT_EQ(picture.RenderFile(path, '3', ScreenSize{}).Width(), 480) << "no screen known";
  EXPECT_TRUE(
      picture.RenderFile(test::DataPath("jpeg/oiio/LICENSE.txt"), '3', ScreenSize{9, 9}).IsEmpty());
}

// Rows streamed from the decoder give the same screen as the whole decoded bitmap resampled.
TEST(JpegRender, StreamingEqualsTheWholeBitmapResampled) {
  const std::string path = test::DataPath("jpeg/pillow/flower.jpg");  // 480 x 360
  TJpegPicture picture;
  TRasterBitmap whole = picture.DecodeFile(path);
  ResampleGeometry g;
  ASSERT_TRUE(ScreenGeometry('5', 480, 360, ScreenSize{300, 170}, g));  // too small to scale
  TRasterBitmap expected = RenderBitmapForScreen(whole, g);
  TRasterBitmap streamed = picture.RenderFile(path, '5', ScreenSize{300, 170});
  ASSERT_EQ(streamed.Width(), 300);
  ASSERT_EQ(streamed.Height(), 170);
  ASSERT_EQ(streamed.PixelMemorySize(), expected.PixelMemorySize());
  EXPECT_EQ(
      0, std::memcmp(streamed.PixelMemory(), expected.PixelMemory(), expected.PixelMemorySize()));
}

#ifndef _WIN32

constexpr int kPillowTolerance = 1;  // as the resampler's own reference test

// libjpeg-turbo's djpeg decodes at the scale, Pillow resizes (and turns) its output.
std::string DjpegScaled(const std::string& path, int denominator) {
  const std::string out = test::FreshDir("jpeg_render") + "scaled.pnm";
  const std::string command = "/usr/bin/djpeg -scale 1/" + std::to_string(denominator) +
                              " -pnm -outfile '" + out + "' '" + path + "'";
  return std::system(command.c_str()) == 0 ? out : std::string();
}

TEST(JpegRenderReference, DctScaledDecodeMatchesDjpegThenPillow) {
  const struct {
    const char* file;
    char style;
    ScreenSize screen;
    int denominator;
    const char* prepare;  // for Pillow, after the scaled decode
    int channels;
  } cases[] = {
      {"jpeg/pillow/flower.jpg", '3', {200, 150}, 2, "im = im.convert('RGB')", 3},
      {"jpeg/pillow/flower.jpg", '5', {110, 43}, 4, "im = im.convert('RGB')", 3},
      {"jpeg/pillow/hopper_gray.jpg", '3', {30, 30}, 4, "im = im.convert('L')", 1},
      {"jpeg/pillow/flower2.jpg", '4', {37, 90}, 8, "im = im.convert('RGB')", 3},
      // The file says to turn it a quarter clockwise: Pillow's exif_transpose turns it back.
      {"jpeg/pillow/hopper_orientation_6.jpg",
       '4',
       {50, 30},
       4,
       "im = im.convert('RGB').transpose(Image.Transpose.ROTATE_270)",
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " style " + c.style);
    const std::string path = test::DataPath(c.file);
    TJpegPicture picture;
    TRasterBitmap screen = picture.RenderFile(path, c.style, c.screen);
    ASSERT_FALSE(picture.DecodeFailed());
    const std::string scaled = DjpegScaled(path, c.denominator);
    ASSERT_FALSE(scaled.empty());
    // The geometry comes from the whole picture's size, as the applier takes it.
    const test::PillowPicture whole =
        test::PillowResize(path, std::string(c.prepare), ResampleGeometry{1, 1, 0, 0, 1, 1});
    ResampleGeometry g;
    ASSERT_TRUE(ScreenGeometry(c.style, whole.width, whole.height, c.screen, g));
    const test::PillowPicture reference = test::PillowResize(scaled, c.prepare, g);
    EXPECT_LE(test::MaxDifference(screen, reference.resized, c.channels), kPillowTolerance);
  }
}

// CMYK: djpeg writes no CMYK picture, so Pillow decodes at the scale too (its draft mode) and
// turns the inks into colours with the same formula as the reader.
TEST(JpegRenderReference, CmykMatchesPillowDraft) {
  const std::string path = test::DataPath("jpeg/pillow/pil_sample_cmyk.jpg");  // 100 x 100
  TJpegPicture picture;
  TRasterBitmap screen = picture.RenderFile(path, '3', ScreenSize{24, 24});
  const test::PillowPicture reference = test::PillowResize(
      path, "im.draft('CMYK', (25, 25)); assert im.size == (25, 25); im = im.convert('RGB')",
      ResampleGeometry{24, 24, 0, 0, 24, 24});
  EXPECT_LE(test::MaxDifference(screen, reference.resized, 3), kPillowTolerance);
}

// A colour profile on the screen's path (converted on the resampler's thread) against Pillow's
// ImageCms to sRGB, then its resize: within the 3 levels of the whole picture's colours. (Applied
// after resampling instead, this vivid picture's colours outside sRGB would mix before they are
// clipped: 29 levels off.)
TEST(JpegRenderReference, ProfileAppliedAfterResamplingMatchesPillow) {
  const std::string path = test::DataPath("icc/hibiscus-adobergb.jpg");  // 312 x 442
  const char* to_srgb =
      "import io\n"
      "from PIL import ImageCms\n"
      "im = ImageCms.profileToProfile(im, ImageCms.ImageCmsProfile(io.BytesIO("
      "im.info['icc_profile'])), ImageCms.createProfile('sRGB'), renderingIntent=1, "
      "outputMode='RGB')";
  // Too small for a DCT scale at these sizes.
  for (const auto& c :
       {std::make_pair('3', ScreenSize{200, 300}), std::make_pair('4', ScreenSize{250, 250}),
        std::make_pair('5', ScreenSize{300, 200})}) {
    SCOPED_TRACE(c.first);
    TJpegPicture picture;
    TRasterBitmap screen = picture.RenderFile(path, c.first, c.second);
    ResampleGeometry g;
    ASSERT_TRUE(ScreenGeometry(c.first, 312, 442, c.second, g));
    ASSERT_EQ(ScreenScaleShift(312, 442, g), 0);
    const test::PillowPicture reference = test::PillowResize(path, to_srgb, g);
    EXPECT_LE(test::MaxDifference(screen, reference.resized, 3), 3);
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace vistrel
