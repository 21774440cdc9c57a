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
#include "imaging/png_reader.h"
#include "imaging/screen_render.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

struct CountRows : TRowSink {
  int rows = 0;
  void PutRow(const std::uint8_t*) override { ++rows; }
};

TEST(RenderImageFile, StreamedRowsEqualTheWholePictureResampled) {
  const ScreenSize screen{23, 17};
  for (const char* file :
       {"png/pngsuite/basn2c08.png", "png/pngsuite/basn6a08.png", "png/pngsuite/basn3p04.png",
        "png/pngsuite/basn0g16.png", "png/pngsuite/basn0g01.png", "png/pngsuite/basn4a08.png",
        "png/pngsuite/basi2c08.png", "png/pngsuite/f04n2c08.png",
        // BMP rows come bottom-up (top-down in pal8topdown), as a picture mirrored top to
        // bottom that the renderer turns back; some are decoded whole (bit fields, 4 and 16
        // bits).
        "bmp/good/pal8.bmp", "bmp/good/pal8topdown.bmp", "bmp/good/pal8os2.bmp",
        "bmp/good/pal8w126.bmp", "bmp/good/rgb24.bmp", "bmp/good/rgb32.bmp", "bmp/good/rgb32bf.bmp",
        "bmp/good/pal4.bmp", "bmp/good/rgb16.bmp"}) {
    for (char style : {'3', '4', '5'}) {
      SCOPED_TRACE(std::string(file) + " style " + style);
      const std::string path = test::DataPath(file);
      TRasterBitmap whole = DecodeImageFile(path);
      ResampleGeometry g;
      ASSERT_TRUE(ScreenGeometry(style, whole.Width(), whole.Height(), screen, g));
      TRasterBitmap expected = RenderBitmapForScreen(whole, g);
      TRasterBitmap rendered = RenderImageFile(path, style, screen);
      ASSERT_EQ(rendered.Width(), expected.Width());
      ASSERT_EQ(rendered.Height(), expected.Height());
      ASSERT_EQ(rendered.PixelMemorySize(), expected.PixelMemorySize());
      EXPECT_EQ(0, std::memcmp(rendered.PixelMemory(), expected.PixelMemory(),
                               expected.PixelMemorySize()));
    }
  }
}

TEST(RenderImageFile, APngWithoutInterlacingIsNeverHeldWhole) {
  for (const char* file : {"png/pngsuite/basn2c08.png", "png/pngsuite/basi2c08.png"}) {
    SCOPED_TRACE(file);
    CountRows sink;
    TBitmapRowFeed feed(sink, 32);
    TPNGGraphic reader;
    reader.RowFeed = &feed;
    std::unique_ptr<TDataStream> stream = OpenReadFileStream(test::DataPath(file));
    reader.LoadFromStream(*stream);
    ASSERT_TRUE(reader.Bitmap);
    const bool interlaced = reader.ImageProperties.Interlaced;
    EXPECT_EQ(reader.Bitmap->Height(), interlaced ? 32 : 1);
    EXPECT_EQ(sink.rows, interlaced ? 0 : 32) << "each row handed over once";
  }
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
}

}  // namespace
}  // namespace vistrel
