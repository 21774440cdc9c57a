// Pictures rendered for a screen through the applier's extension table: rows streamed from the
// readers that can hand them over give exactly what the whole decoded picture gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "app/logic/image_files.h"
#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/gif_reader.h"
#include "imaging/png_reader.h"
#include "imaging/psd_reader.h"
#include "imaging/screen_render.h"
#include "imaging/webp_reader.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

struct CountRows : TRowSink {
  int rows = 0;
  void PutRow(const std::uint8_t*) override { ++rows; }
};

// The picture rendered through the extension table (streamed where the reader can) is the one
// decoded whole and then resampled.
void ExpectStreamEqualsWhole(const std::string& path, char style, ScreenSize screen) {
  TRasterBitmap whole = DecodeImageFile(path);
  ResampleGeometry g;
  ASSERT_TRUE(ScreenGeometry(style, whole.Width(), whole.Height(), screen, g));
  TRasterBitmap expected = RenderBitmapForScreen(whole, g);
  TRasterBitmap rendered = RenderImageFile(path, style, screen);
  ASSERT_EQ(rendered.Width(), expected.Width());
  ASSERT_EQ(rendered.Height(), expected.Height());
  ASSERT_EQ(rendered.PixelMemorySize(), expected.PixelMemorySize());
  EXPECT_EQ(
      0, std::memcmp(rendered.PixelMemory(), expected.PixelMemory(), expected.PixelMemorySize()));
}

TEST(RenderImageFile, StreamedRowsEqualTheWholePictureResampled) {
  const ScreenSize screen{23, 17};
  for (const char* file :
       {"png/pngsuite/basn2c08.png", "png/pngsuite/basn6a08.png", "png/pngsuite/basn3p04.png",
        "png/pngsuite/basn0g16.png", "png/pngsuite/basn0g01.png", "png/pngsuite/basn4a08.png",
        "png/pngsuite/basi2c08.png", "png/pngsuite/f04n2c08.png",
        // A profile's conversion on the thread that unfilters.
        "icc/peacock-adobergb.png", "icc/peacock-adobergb-rgba.png",
        // BMP rows come bottom-up (top-down in pal8topdown), as a picture mirrored top to
        // bottom that the renderer turns back; some are decoded whole (bit fields, 4 and 16
        // bits).
        "bmp/good/pal8.bmp", "bmp/good/pal8topdown.bmp", "bmp/good/pal8os2.bmp",
        "bmp/good/pal8w126.bmp", "bmp/good/rgb24.bmp", "bmp/good/rgb32.bmp", "bmp/good/rgb32bf.bmp",
        "bmp/good/pal4.bmp", "bmp/good/rgb16.bmp",
        // WebP: rows from libwebp's incremental decoder against its one-call decode; lossy,
        // lossless, alpha, and an animation, which is decoded whole.
        "webp/libwebp-test-data/test.webp", "webp/libwebp-test-data/lossless_vec_1_10.webp",
        // Given to libwebp in about a hundred and about ten steps.
        "webp/libwebp-test-data/lossy_extreme_probabilities.webp",
        "webp/libwebp-test-data/near_lossless_75.webp", "webp/libwebp-test-data/lossy_alpha1.webp",
        "webp/libwebp-test-data/alpha_filter_2.webp", "webp/made/anim_offset.webp",
        // PSD: raw and packed, 8 and 16 bits, grey, indexed, bitmap, CMYK, Lab.
        "psd/oiio/pattern2-8-rgb.psd", "psd/oiio-images/psd_rgb_16_rle.psd",
        "psd/oiio/pattern2-8-grayscale.psd", "psd/oiio/pattern2-8-indexed.psd",
        "psd/oiio-images/psd_bitmap.psd", "psd/oiio/pattern2-8-cmyk.psd",
        "psd/oiio/pattern2-16-lab.psd", "psd/pillow/hopper.psd",
        // GIF: rows fed as the next is begun; an interlaced one is decoded whole.
        "gif/pillow/hopper.gif", "gif/pillow/iss634.gif", "gif/wuffs/animated-red-blue.gif",
        "gif/pillow/missing_background.gif", "gif/oiio-images/gif_diagonal_interlaced.gif"}) {
    for (char style : {'3', '4', '5'}) {
      SCOPED_TRACE(std::string(file) + " style " + style);
      ExpectStreamEqualsWhole(test::DataPath(file), style, screen);
    }
  }
  // GIFs cut short (a PSD cut short is refused): what the data does not reach is filled as when
  // decoded whole.
  const std::string dir = test::FreshDir("render_cut");
  for (const char* file : {"gif/pillow/hopper.gif", "gif/pillow/iss634.gif"}) {
    const std::string bytes = test::ReadBytes(test::DataPath(file));
    const std::string name = std::string(file).substr(std::string(file).rfind('.'));
    for (std::size_t keep : {bytes.size() / 3, bytes.size() * 2 / 3, bytes.size() - 1}) {
      SCOPED_TRACE(std::string(file) + " cut to " + std::to_string(keep));
      test::WriteBytes(dir + "cut" + name, bytes.substr(0, keep));
      ExpectStreamEqualsWhole(dir + "cut" + name, '5', screen);
    }
  }
}

// Each row handed over once, and one row left in the reader's bitmap; an interlaced PNG and an
// animated WebP are decoded whole and handed over by the caller.
template <class Reader>
void ExpectStreamed(const char* file, bool streams) {
  SCOPED_TRACE(file);
  Reader reader;
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(test::DataPath(file));
  ASSERT_TRUE(reader.ReadImageProperties(*stream, 0));
  stream->SetPosition(0);
  const auto height = static_cast<std::int32_t>(reader.ImageProperties.Height);
  CountRows sink;
  TBitmapRowFeed feed(sink, static_cast<std::int32_t>(reader.ImageProperties.Width));
  reader.RowFeed = &feed;
  reader.LoadFromStream(*stream);
  ASSERT_TRUE(reader.Bitmap);
  EXPECT_EQ(reader.Bitmap->Height(), streams ? 1 : height);
  EXPECT_EQ(sink.rows, streams ? height : 0);
}

TEST(RenderImageFile, StreamingReadersNeverHoldThePictureWhole) {
  ExpectStreamed<TPNGGraphic>("png/pngsuite/basn2c08.png", true);
  ExpectStreamed<TPNGGraphic>("png/pngsuite/basi2c08.png", false);
  ExpectStreamed<TWebPGraphic>("webp/libwebp-test-data/test.webp", true);
  ExpectStreamed<TWebPGraphic>("webp/libwebp-test-data/lossless_vec_1_10.webp", true);
  ExpectStreamed<TWebPGraphic>("webp/made/anim_opaque.webp", false);
  ExpectStreamed<TPSDGraphic>("psd/oiio/pattern2-8-rgb.psd", true);
  ExpectStreamed<TGIFGraphic>("gif/pillow/hopper.gif", true);
  ExpectStreamed<TGIFGraphic>("gif/oiio-images/gif_diagonal_interlaced.gif", false);
}

TEST(RenderImageFile, OwnPixelsWithoutAScreenOrForCenterAndTile) {
  const std::string path = test::DataPath("png/pngsuite/basn2c08.png");
  for (const auto& c :
       {std::make_pair('1', ScreenSize{23, 17}), std::make_pair('2', ScreenSize{23, 17}),
        std::make_pair('3', ScreenSize{})}) {
    TRasterBitmap own = DecodeImageFile(path);
    TRasterBitmap rendered = RenderImageFile(path, c.first, c.second);
    ASSERT_EQ(rendered.PixelMemorySize(), own.PixelMemorySize());
    EXPECT_EQ(0, std::memcmp(rendered.PixelMemory(), own.PixelMemory(), own.PixelMemorySize()));
  }
}

// Damaged files on the streaming paths: the screen's picture, no picture, or the reader's message
// (-1 for a screen bitmap of another size, which no case may give).
TEST(RenderImageFile, DamagedFilesEndInTheScreensPictureOrAMessage) {
  const std::string dir = test::FreshDir("render_damage");
  const ScreenSize screen{23, 17};
  auto outcome = [&](const std::string& extension, const std::string& bytes) {
    const std::string path = dir + "p" + extension;
    test::WriteBytes(path, bytes);
    try {
      TRasterBitmap bitmap = RenderImageFile(path, '5', screen);
      if (bitmap.IsEmpty()) return 0;
      return bitmap.Width() == 23 && bitmap.Height() == 17 ? 0 : -1;
    } catch (const Exception& e) {
      return static_cast<int>(e.Code());
    }
  };
  test::SweepDataFiles({"png/pngsuite/basn2c08.png", "png/pngsuite/basn3p02.png"}, 120,
                       {0, 1, 2, 4, 5, 6, 7, 8, 9, 10},
                       [&](const std::string& bytes) { return outcome(".png", bytes); });
  test::SweepDataFiles({"jpeg/pillow/flower2.jpg"}, 200, {0},
                       [&](const std::string& bytes) { return outcome(".jpg", bytes); });
  test::SweepDataFiles({"webp/libwebp-test-data/test.webp"}, 120, {0, 1, 4, 7},
                       [&](const std::string& bytes) { return outcome(".webp", bytes); });
}

}  // namespace
}  // namespace vistrel
