#include "imaging/raster_bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/byte_reader.h"

namespace vistrel {
namespace {

constexpr std::uint32_t kAll = 0xFFFFFFFFu;

std::uint32_t HeaderU32(const TRasterBitmap& bmp, int offset) {
  return LoadU32LE(bmp.Header() + offset);
}
std::uint16_t HeaderU16(const TRasterBitmap& bmp, int offset) {
  return LoadU16LE(bmp.Header() + offset);
}

// Pixel x of image row y of a 24-bit bitmap as 0xRRGGBB.
std::uint32_t Rgb24At(TRasterBitmap& bmp, int x, int y) {
  const std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
  return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}
void SetRgb24(TRasterBitmap& bmp, int x, int y, std::uint32_t rgb) {
  std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
  p[0] = static_cast<std::uint8_t>(rgb);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb >> 16);
}

// A 24-bit bitmap of one row holding the given colours.
TRasterBitmap Row24(const std::vector<std::uint32_t>& colors) {
  TRasterBitmap bmp =
      TRasterBitmap::CreateDibBitmap(static_cast<int>(colors.size()), 1, TRasterFormat::rf24Bit);
  for (std::size_t x = 0; x < colors.size(); ++x) SetRgb24(bmp, static_cast<int>(x), 0, colors[x]);
  return bmp;
}

TEST(RasterBitmap, DibBitmapHeaderAndRows) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(3, 2, TRasterFormat::rf24Bit);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
  EXPECT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDib);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf24Bit);
  ASSERT_NE(bmp.Header(), nullptr);
  EXPECT_EQ(HeaderU32(bmp, 0), 40u);
  EXPECT_EQ(HeaderU32(bmp, 4), 3u);
  EXPECT_EQ(HeaderU32(bmp, 8), 2u) << "positive: bottom-up";
  EXPECT_EQ(HeaderU16(bmp, 12), 1u);
  EXPECT_EQ(HeaderU16(bmp, 14), 24u);
  for (int offset = 16; offset < 1064; offset += 4) ASSERT_EQ(HeaderU32(bmp, offset), 0u) << offset;
  EXPECT_EQ(bmp.ScanLineSize(), 12u) << "9 bytes padded to 4";
  EXPECT_EQ(bmp.PixelMemorySize(), 24u);
  EXPECT_EQ(bmp.ScanLine(1), bmp.PixelMemory()) << "the bottom row is stored first";
  EXPECT_EQ(bmp.ScanLine(0), bmp.PixelMemory() + 12);
  EXPECT_EQ(bmp.ScanLine(2), nullptr);
  EXPECT_EQ(bmp.ScanLine(-1), nullptr);
  for (std::uint32_t i = 0; i < bmp.PixelMemorySize(); ++i) ASSERT_EQ(bmp.PixelMemory()[i], 0);
}

TEST(RasterBitmap, RowSizesOfEveryDepth) {
  struct Case {
    TRasterFormat format;
    int width;
    std::uint32_t row;
  } cases[] = {{TRasterFormat::rf1Bit, 33, 8}, {TRasterFormat::rf4Bit, 9, 8},
               {TRasterFormat::rf8Bit, 5, 8},  {TRasterFormat::rf15Bit, 3, 8},
               {TRasterFormat::rf16Bit, 2, 4}, {TRasterFormat::rf24Bit, 5, 16},
               {TRasterFormat::rf32Bit, 3, 12}};
  for (const Case& c : cases) {
    TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(c.width, 3, c.format);
    EXPECT_EQ(bmp.ScanLineSize(), c.row) << static_cast<int>(c.format);
    EXPECT_EQ(bmp.PixelMemorySize(), c.row * 3);
    EXPECT_EQ(bmp.GetFormat(), c.format);
  }
}

TEST(RasterBitmap, Format16BitHasMasksAndTheFixedTable) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(2, 2, TRasterFormat::rf16Bit);
  EXPECT_EQ(HeaderU32(bmp, 16), 3u) << "BI_BITFIELDS";
  const std::uint32_t expected[18] = {0xF800,   0x07E0,   0x001F,   0x000000, 0x800000, 0x008000,
                                      0x808000, 0x000080, 0x800080, 0x008080, 0x808080, 0xC0C0C0,
                                      0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF};
  for (int i = 0; i < 18; ++i) EXPECT_EQ(bmp.PaletteEntry(i), expected[i]) << i;
  for (int i = 18; i < 256; ++i) ASSERT_EQ(bmp.PaletteEntry(i), 0u) << i;
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf16Bit);

  TRasterBitmap none = TRasterBitmap::CreateDibBitmap(2, 2, TRasterFormat::rfCustom);
  EXPECT_EQ(none.GetFormat(), TRasterFormat::rf16Bit) << "no bit count: the default format";
  EXPECT_EQ(TRasterBitmap::CreateDibBitmap(2, 2, TRasterFormat::rfDevice).GetFormat(),
            TRasterFormat::rf16Bit);
}

TEST(RasterBitmap, EmptyAndOversizedBitmaps) {
  TRasterBitmap empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Header(), nullptr);
  EXPECT_EQ(empty.PaletteEntry(0), kAll);
  EXPECT_EQ(empty.GetFormat(), TRasterFormat::rfDevice);
  TRasterBitmap no_width = TRasterBitmap::CreateDibBitmap(0, 5, TRasterFormat::rf8Bit);
  EXPECT_TRUE(no_width.IsEmpty());
  EXPECT_EQ(no_width.Height(), 5);
  EXPECT_EQ(no_width.Header(), nullptr);
  no_width.SetWidth(3);  // now it has a size: made in the format asked for at creation
  EXPECT_EQ(no_width.GetFormat(), TRasterFormat::rf8Bit);
  EXPECT_EQ(no_width.PixelMemorySize(), 20u);
  TRasterBitmap no_height = TRasterBitmap::CreateDeviceBitmap(4, 0);
  no_height.SetHeight(2);
  EXPECT_EQ(no_height.HandleKind(), TBitmapHandleKind::hkDevice);
  no_height.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(no_height.PixelMemorySize(), 24u);
  EXPECT_TRUE(TRasterBitmap::CreateDibBitmap(-4, 5, TRasterFormat::rf8Bit).IsEmpty());
  EXPECT_TRUE(TRasterBitmap::CreateDeviceBitmap(5, -1).IsEmpty());
  EXPECT_THROW(TRasterBitmap::CreateDibBitmap(60000, 60000, TRasterFormat::rf32Bit),
               std::bad_alloc);

  // A device bitmap of that size costs nothing until it becomes a DIB.
  TRasterBitmap device = TRasterBitmap::CreateDeviceBitmap(60000, 60000);
  EXPECT_FALSE(device.IsEmpty());
  EXPECT_THROW(device.SetFormat(TRasterFormat::rf24Bit), std::bad_alloc);
}

TEST(RasterBitmap, DeviceBitmapHasNoHeaderAndConvertsAsBlack) {
  TRasterBitmap bmp = TRasterBitmap::CreateDeviceBitmap(5, 3);
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDevice);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rfDevice);
  EXPECT_EQ(bmp.Header(), nullptr);
  EXPECT_EQ(bmp.PixelMemory(), nullptr);
  EXPECT_EQ(bmp.ScanLine(0), nullptr);
  EXPECT_EQ(bmp.ScanLineSize(), 0u);
  EXPECT_EQ(bmp.PaletteEntry(0), kAll) << "no header";
  bmp.SetPaletteEntry(0, 0x123456);  // no pixel memory: nothing

  bmp.SetFormat(TRasterFormat::rf8Bit);
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDib);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf8Bit);
  for (std::uint32_t i = 0; i < bmp.PixelMemorySize(); ++i) ASSERT_EQ(bmp.PixelMemory()[i], 0);
  EXPECT_EQ(bmp.PaletteEntry(0), 0u) << "index 0 of the default table is black";

  TRasterBitmap rgb = TRasterBitmap::CreateDeviceBitmap(5, 3);
  rgb.SetFormat(TRasterFormat::rf32Bit);
  EXPECT_EQ(rgb.PixelMemorySize(), 60u);
  for (std::uint32_t i = 0; i < rgb.PixelMemorySize(); ++i) ASSERT_EQ(rgb.PixelMemory()[i], 0);
}

TEST(RasterBitmap, DefaultColourTablesOfIndexedConversions) {
  TRasterBitmap mono = TRasterBitmap::CreateDeviceBitmap(1, 1);
  mono.SetFormat(TRasterFormat::rf1Bit);
  EXPECT_EQ(mono.PaletteEntry(0), 0x000000u);
  EXPECT_EQ(mono.PaletteEntry(1), 0xFFFFFFu);

  TRasterBitmap vga = TRasterBitmap::CreateDeviceBitmap(1, 1);
  vga.SetFormat(TRasterFormat::rf4Bit);
  const std::uint32_t sixteen[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(vga.PaletteEntry(i), sixteen[i]) << i;

  TRasterBitmap full = TRasterBitmap::CreateDeviceBitmap(1, 1);
  full.SetFormat(TRasterFormat::rf8Bit);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(full.PaletteEntry(i), sixteen[i]) << i;
  EXPECT_EQ(full.PaletteEntry(16), 0x000000u) << "cube starts at black";
  EXPECT_EQ(full.PaletteEntry(16 + 36 + 2 * 6 + 3), 0x336699u);
  EXPECT_EQ(full.PaletteEntry(231), 0xFFFFFFu) << "cube ends at white";
  EXPECT_EQ(full.PaletteEntry(232), 0x0A0A0Au) << "grey ramp";
  EXPECT_EQ(full.PaletteEntry(255), 0xF5F5F5u);
}

TEST(RasterBitmap, TrueColourToIndexedTakesTheNearestEntry) {
  TRasterBitmap bmp =
      Row24({0x000000, 0xFF0000, 0xFFFFFF, 0x336699, 0x0A0A0A, 0xC8C8C8, 0x800001, 0x0E0E0E});
  bmp.SetFormat(TRasterFormat::rf8Bit);
  ASSERT_EQ(bmp.GetFormat(), TRasterFormat::rf8Bit);
  const std::uint8_t* row = bmp.ScanLine(0);
  EXPECT_EQ(row[0], 0);
  EXPECT_EQ(row[1], 9);
  EXPECT_EQ(row[2], 15) << "the first white";
  EXPECT_EQ(row[3], 16 + 36 + 12 + 3);
  EXPECT_EQ(row[4], 232);
  EXPECT_EQ(row[5], 16 + 4 * 36 + 4 * 6 + 4) << "(204,204,204): cube and ramp tie, lower wins";
  EXPECT_EQ(row[6], 1);
  EXPECT_EQ(row[7], 232) << "(14,14,14) is nearer 10 than 20";

  TRasterBitmap mono = Row24({0xC8C8C8, 0x646464, 0x0000FF, 0xFFFF00});
  mono.SetFormat(TRasterFormat::rf1Bit);
  EXPECT_EQ(mono.ScanLine(0)[0], 0x90) << "white, black, black, white from the left";

  TRasterBitmap four = Row24({0xFF00FF, 0x00FFFF, 0x7F7F7F});
  four.SetFormat(TRasterFormat::rf4Bit);
  EXPECT_EQ(four.ScanLine(0)[0], 0xDE);
  EXPECT_EQ(four.ScanLine(0)[1] >> 4, 7);
}

TEST(RasterBitmap, IndexedToTrueColourUsesTheTable) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(3, 2, TRasterFormat::rf8Bit);
  bmp.SetPaletteEntry(0, 0x102030);
  bmp.SetPaletteEntry(7, 0xA0B0C0);
  bmp.SetPaletteEntry(255, 0xFFEEDD);
  bmp.ScanLine(0)[0] = 7;
  bmp.ScanLine(0)[1] = 255;
  bmp.ScanLine(1)[2] = 7;
  bmp.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(Rgb24At(bmp, 0, 0), 0xA0B0C0u);
  EXPECT_EQ(Rgb24At(bmp, 1, 0), 0xFFEEDDu);
  EXPECT_EQ(Rgb24At(bmp, 2, 0), 0x102030u);
  EXPECT_EQ(Rgb24At(bmp, 0, 1), 0x102030u);
  EXPECT_EQ(Rgb24At(bmp, 2, 1), 0xA0B0C0u);
}

TEST(RasterBitmap, IndexedIntoALargerTableKeepsIndicesAndColours) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(10, 1, TRasterFormat::rf1Bit);
  bmp.SetPaletteEntry(0, 0x123456);
  bmp.SetPaletteEntry(1, 0x654321);
  bmp.ScanLine(0)[0] = 0xA5;  // 1010 0101
  bmp.ScanLine(0)[1] = 0x40;  // 01
  bmp.SetFormat(TRasterFormat::rf8Bit);
  EXPECT_EQ(bmp.PaletteEntry(0), 0x123456u);
  EXPECT_EQ(bmp.PaletteEntry(1), 0x654321u);
  EXPECT_EQ(bmp.PaletteEntry(2), 0x008000u) << "the rest of the default table";
  const std::uint8_t expected[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
  EXPECT_EQ(std::memcmp(bmp.ScanLine(0), expected, 10), 0);

  // 256 entries do not fit into 16: the default table, each pixel by its colour. 0x123456 is
  // nearest navy (4), 0x654321 nearest olive (3).
  bmp.SetFormat(TRasterFormat::rf4Bit);
  EXPECT_EQ(bmp.PaletteEntry(0), 0u);
  const std::uint8_t packed[5] = {0x34, 0x34, 0x43, 0x43, 0x43};
  EXPECT_EQ(std::memcmp(bmp.ScanLine(0), packed, 5), 0);
}

TEST(RasterBitmap, SixteenBitEncodingsAndBack) {
  TRasterBitmap a = Row24({0xFF8000, 0x000000, 0xFFFFFF});
  a.SetFormat(TRasterFormat::rf15Bit);
  ASSERT_EQ(a.GetFormat(), TRasterFormat::rf15Bit);
  EXPECT_EQ(LoadU32LE(a.Header() + 16), 0u) << "BI_RGB";
  EXPECT_EQ(LoadU16LE(a.ScanLine(0)), 0x7E00);
  EXPECT_EQ(LoadU16LE(a.ScanLine(0) + 4), 0x7FFF);

  TRasterBitmap b = Row24({0xFF8000, 0x000000, 0xFFFFFF});
  b.SetFormat(TRasterFormat::rf16Bit);
  ASSERT_EQ(b.GetFormat(), TRasterFormat::rf16Bit);
  EXPECT_EQ(LoadU16LE(b.ScanLine(0)), 0xFC00);
  EXPECT_EQ(LoadU16LE(b.ScanLine(0) + 4), 0xFFFF);

  a.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(Rgb24At(a, 0, 0), 0xFF8400u) << "5 bits of 16 scale to 132";
  EXPECT_EQ(Rgb24At(a, 2, 0), 0xFFFFFFu) << "full scale stays white";
  b.SetFormat(TRasterFormat::rf32Bit);
  const std::uint8_t* p = b.ScanLine(0);
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(p[1], 130) << "6 bits of 32 scale to 130";
  EXPECT_EQ(p[0], 0);
}

TEST(RasterBitmap, SetFormatBetweenTheSixteenBitFormatsConvertsNothing) {
  TRasterBitmap bmp = Row24({0xFF8000});
  bmp.SetFormat(TRasterFormat::rf15Bit);
  bmp.SetFormat(TRasterFormat::rf16Bit);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf15Bit);
  EXPECT_EQ(LoadU16LE(bmp.ScanLine(0)), 0x7E00);
  EXPECT_EQ(LoadU32LE(bmp.Header() + 16), 0u);

  // The other way round as well: 5-6-5 stays 5-6-5.
  TRasterBitmap other = TRasterBitmap::CreateDibBitmap(1, 1, TRasterFormat::rf16Bit);
  other.SetFormat(TRasterFormat::rf15Bit);
  EXPECT_EQ(other.GetFormat(), TRasterFormat::rf16Bit);
}

TEST(RasterBitmap, DeviceRoundTripKeepsColours) {
  TRasterBitmap bmp = Row24({0x123456, 0xFEDCBA});
  bmp.SetFormat(TRasterFormat::rfDevice);
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDevice);
  EXPECT_EQ(bmp.Header(), nullptr);
  bmp.SetFormat(TRasterFormat::rf32Bit);
  const std::uint8_t* p = bmp.ScanLine(0);
  EXPECT_EQ(LoadU32LE(p), 0x123456u);
  EXPECT_EQ(LoadU32LE(p + 4), 0xFEDCBAu);
}

TEST(RasterBitmap, SetWidthKeepsThePictureAtTheLeft) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(2, 2, TRasterFormat::rf24Bit);
  SetRgb24(bmp, 0, 0, 0x111111);
  SetRgb24(bmp, 1, 0, 0x222222);
  SetRgb24(bmp, 0, 1, 0x333333);
  SetRgb24(bmp, 1, 1, 0x444444);
  bmp.SetWidth(3);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf24Bit);
  EXPECT_EQ(LoadU32LE(bmp.Header() + 4), 3u);
  EXPECT_EQ(Rgb24At(bmp, 0, 0), 0x111111u);
  EXPECT_EQ(Rgb24At(bmp, 1, 0), 0x222222u);
  EXPECT_EQ(Rgb24At(bmp, 2, 0), 0u);
  EXPECT_EQ(Rgb24At(bmp, 1, 1), 0x444444u);
  bmp.SetWidth(1);
  EXPECT_EQ(Rgb24At(bmp, 0, 1), 0x333333u);
  bmp.SetWidth(-3);
  EXPECT_EQ(bmp.Width(), 1) << "negative widths are ignored";

  TRasterBitmap indexed = TRasterBitmap::CreateDibBitmap(3, 1, TRasterFormat::rf4Bit);
  indexed.SetPaletteEntry(5, 0xABCDEF);
  indexed.ScanLine(0)[0] = 0x50;
  indexed.SetWidth(5);
  EXPECT_EQ(indexed.GetFormat(), TRasterFormat::rf4Bit);
  EXPECT_EQ(indexed.PaletteEntry(5), 0xABCDEFu) << "same depth: the table stays";
  EXPECT_EQ(indexed.ScanLine(0)[0], 0x50);
}

TEST(RasterBitmap, SetHeightGoesThroughTheDeviceKind) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(2, 2, TRasterFormat::rf8Bit);
  bmp.SetPaletteEntry(5, 0xFF0000);
  bmp.ScanLine(0)[0] = 5;
  bmp.ScanLine(1)[1] = 5;
  bmp.SetHeight(3);
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDevice);
  EXPECT_EQ(bmp.Height(), 3);
  bmp.SetFormat(TRasterFormat::rf8Bit);
  EXPECT_EQ(bmp.PaletteEntry(9), 0xFF0000u) << "rebuilt with the default table";
  EXPECT_EQ(bmp.ScanLine(0)[0], 9) << "red found again by colour";
  EXPECT_EQ(bmp.ScanLine(1)[1], 9);
  EXPECT_EQ(bmp.ScanLine(2)[0], 0) << "the new row is black";
  bmp.SetHeight(1);
  bmp.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(Rgb24At(bmp, 0, 0), 0xFF0000u) << "the top row is kept";
}

TEST(RasterBitmap, PaletteEntries) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(1, 1, TRasterFormat::rf8Bit);
  bmp.SetPaletteEntry(200, 0x00ABCDEF);
  EXPECT_EQ(bmp.PaletteEntry(200), 0x00ABCDEFu);
  EXPECT_EQ(bmp.Header()[40 + 800], 0xEF) << "stored blue, green, red, 0";
  EXPECT_EQ(bmp.Header()[40 + 802], 0xAB);
  bmp.SetPaletteEntry(3, 0x8000000F);  // the toolkit's button face
  EXPECT_EQ(bmp.PaletteEntry(3), 0xD4D0C8u);
  EXPECT_EQ(bmp.PaletteEntry(256), kAll);
  EXPECT_EQ(bmp.PaletteEntry(-1), kAll);
  bmp.SetPaletteEntry(256, 1);
  bmp.SetPaletteEntry(-1, 1);
  EXPECT_EQ(bmp.PaletteEntry(255), 0u);
}

TEST(RasterBitmap, CanvasFillsPixelMemoryInEveryFormat) {
  struct Case {
    TRasterFormat format;
    std::vector<std::uint8_t> pixel;  // the brush colour 0x0080FF (TColor: red 255, green 128)
  } cases[] = {
      {TRasterFormat::rf24Bit, {0x00, 0x80, 0xFF}},
      {TRasterFormat::rf32Bit, {0x00, 0x80, 0xFF, 0x00}},
      {TRasterFormat::rf15Bit, {0x00, 0x7E}},
      {TRasterFormat::rf16Bit, {0x00, 0xFC}},
  };
  for (const Case& c : cases) {
    TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(4, 3, c.format);
    bmp.Canvas().SetBrushColor(0x0080FF);
    bmp.Canvas().FillRect(1, 1, 3, 2);
    std::size_t bytes = c.pixel.size();
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) {
        bool inside = y == 1 && (x == 1 || x == 2);
        std::vector<std::uint8_t> got(bmp.ScanLine(y) + x * bytes,
                                      bmp.ScanLine(y) + (x + 1) * bytes);
        EXPECT_EQ(got, inside ? c.pixel : std::vector<std::uint8_t>(bytes, 0))
            << static_cast<int>(c.format) << " at " << x << "," << y;
      }
    }
  }
}

TEST(RasterBitmap, CanvasOnIndexedClippedAndDevice) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(10, 2, TRasterFormat::rf1Bit);
  bmp.SetPaletteEntry(1, 0xFFFFFF);
  bmp.Canvas().SetBrushColor(0xF0F0F0);
  bmp.Canvas().FillRect(-5, -5, 3, 1);  // columns 0..2 of the top row
  bmp.Canvas().FillRect(8, 1, 100, 100);
  EXPECT_EQ(bmp.ScanLine(0)[0], 0xE0);
  EXPECT_EQ(bmp.ScanLine(0)[1], 0x00);
  EXPECT_EQ(bmp.ScanLine(1)[0], 0x00);
  EXPECT_EQ(bmp.ScanLine(1)[1], 0xC0);
  bmp.Canvas().FillRect(3, 0, 3, 2);  // empty
  bmp.Canvas().FillRect(5, 2, 6, 0);  // upside down
  EXPECT_EQ(bmp.ScanLine(0)[0], 0xE0);

  TRasterBitmap eight = TRasterBitmap::CreateDibBitmap(2, 1, TRasterFormat::rf8Bit);
  eight.SetPaletteEntry(77, 0x00FF00);
  eight.Canvas().SetBrushColor(0x00FE00);
  eight.Canvas().FillRect(0, 0, 2, 1);
  EXPECT_EQ(eight.ScanLine(0)[0], 77);

  TRasterBitmap device = TRasterBitmap::CreateDeviceBitmap(3, 2);
  device.Canvas().SetBrushColor(0x8000000F);  // system colour: button face
  device.Canvas().FillRect(1, 0, 3, 1);
  device.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(Rgb24At(device, 0, 0), 0u);
  EXPECT_EQ(Rgb24At(device, 1, 0), 0xD4D0C8u);
  EXPECT_EQ(Rgb24At(device, 2, 0), 0xD4D0C8u);
  EXPECT_EQ(Rgb24At(device, 1, 1), 0u);
}

TEST(RasterBitmap, MoveAndClear) {
  TRasterBitmap a = Row24({0x010203, 0x040506});
  RasterCanvas& canvas = a.Canvas();
  TRasterBitmap b = std::move(a);
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move): moved-from is defined as empty
  EXPECT_EQ(a.Header(), nullptr);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(&b.Canvas(), &canvas) << "the canvas moves with the bitmap";
  canvas.SetBrushColor(0xFFFFFF);
  canvas.FillRect(0, 0, 1, 1);
  EXPECT_EQ(Rgb24At(b, 0, 0), 0xFFFFFFu) << "and paints the new owner";

  TRasterBitmap c;
  c = std::move(b);
  EXPECT_EQ(Rgb24At(c, 1, 0), 0x040506u);
  c.Clear();
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_EQ(c.Width(), 0);
  EXPECT_EQ(c.Header(), nullptr);
  EXPECT_EQ(c.PixelMemory(), nullptr);
  EXPECT_EQ(c.PixelMemorySize(), 0u);
  EXPECT_EQ(c.PaletteEntry(0), kAll);
  c.Canvas().FillRect(0, 0, 5, 5);  // on an empty bitmap: nothing, no crash
}

}  // namespace
}  // namespace vistrel
