// Known answers for the colour converter, worked out by hand from the conversion formulas.
#include "imaging/color_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/exception.h"
#include "imaging/raster_bitmap.h"
#include "tests/support/standard_lab.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Opt = TConversionOption;

// The message number an operation raises, 0 when it raises nothing.
template <typename F>
int MessageOf(F&& operation) {
  try {
    operation();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), kGraphicErrorKind);
    return static_cast<int>(e.Code());
  }
  return 0;
}

// 16-bit samples in the machine's order and in most-significant-first order.
Bytes Native16(std::initializer_list<std::uint16_t> values) {
  Bytes out;
  for (std::uint16_t v : values) {
    std::uint8_t b[2];
    std::memcpy(b, &v, 2);
    out.push_back(b[0]);
    out.push_back(b[1]);
  }
  return out;
}

Bytes BigEndian16(std::initializer_list<std::uint16_t> values) {
  Bytes out;
  for (std::uint16_t v : values) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

std::vector<std::uint16_t> ReadNative16(const Bytes& bytes) {
  std::vector<std::uint16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

// The row the converter writes over a zeroed target of `size` bytes.
Bytes Converted(TColorConverter& c, const Bytes& src, std::uint8_t mask, int count,
                std::size_t size) {
  Bytes dst(size, 0);
  c.ConvertRow(src.data(), mask, count, dst.data());
  return dst;
}

TColorConverter Configured(TColorScheme from, TColorScheme to, int source_bits, int target_bits) {
  TColorConverter converter;
  converter.SetSourceScheme(from);
  converter.SetTargetScheme(to);
  converter.SetSourceBits(source_bits);
  converter.SetTargetBits(target_bits);
  return converter;
}

TEST(ColorConverterSettings, RefusedValuesRaiseAndKeepTheOldSetting) {
  TColorConverter c;
  EXPECT_EQ(MessageOf([&] { c.SetSourceBits(0); }), 16);
  EXPECT_EQ(MessageOf([&] { c.SetTargetBits(17); }), 16);
  EXPECT_EQ(MessageOf([&] { c.SetSourceSamples(0); }), 17);
  EXPECT_EQ(MessageOf([&] { c.SetTargetSamples(5); }), 17);
  EXPECT_EQ(c.SourceBits(), 8);
  EXPECT_EQ(c.TargetBits(), 8);
  EXPECT_EQ(c.SourceSamples(), 3);
  EXPECT_EQ(c.TargetSamples(), 3);
  // Depths the message text does not list are still accepted.
  EXPECT_EQ(MessageOf([&] { c.SetSourceBits(3); }), 0);
  EXPECT_EQ(MessageOf([&] { c.SetTargetBits(16); }), 0);
  EXPECT_EQ(MessageOf([&] { c.SetTargetSamples(4); }), 0);
}

TEST(ColorConverterSettings, OnlyADifferentValueMarksChanged) {
  TColorConverter c;
  std::uint8_t src[3] = {1, 2, 3};
  std::uint8_t dst[3] = {};
  c.ConvertRow(src, 0xFF, 1, dst);
  EXPECT_FALSE(c.Changed());
  c.SetSourceBits(8);
  c.SetTargetScheme(TColorScheme::BGR);
  c.SetSourceSamples(3);
  EXPECT_FALSE(c.Changed());
  c.SetTargetScheme(TColorScheme::RGB);
  EXPECT_TRUE(c.Changed());
  c.ConvertRow(src, 0xFF, 1, dst);
  EXPECT_FALSE(c.Changed());
  EXPECT_EQ(Bytes(dst, dst + 3), (Bytes{1, 2, 3}));
}

TEST(ColorConverterSettings, PixelFormatFollowsSamplesAndDepth) {
  struct Case {
    int samples, bits;
    TRasterFormat format;
  };
  const Case cases[] = {
      {1, 1, TRasterFormat::rf1Bit},   {1, 2, TRasterFormat::rf4Bit},
      {1, 4, TRasterFormat::rf4Bit},   {1, 5, TRasterFormat::rfCustom},
      {1, 7, TRasterFormat::rfCustom}, {1, 8, TRasterFormat::rf8Bit},
      {1, 16, TRasterFormat::rf8Bit},  {2, 8, TRasterFormat::rfCustom},
      {3, 1, TRasterFormat::rf15Bit},  {3, 5, TRasterFormat::rf15Bit},
      {3, 6, TRasterFormat::rf24Bit},  {3, 8, TRasterFormat::rf24Bit},
      {3, 16, TRasterFormat::rf24Bit}, {4, 7, TRasterFormat::rfCustom},
      {4, 8, TRasterFormat::rf32Bit},  {4, 16, TRasterFormat::rf32Bit},
  };
  for (const Case& k : cases) {
    TColorConverter c;
    c.SetTargetSamples(k.samples);
    c.SetTargetBits(k.bits);
    EXPECT_EQ(c.PixelFormatFor(true), k.format) << k.samples << " x " << k.bits;
    // The source side keeps its defaults: three 8-bit samples.
    EXPECT_EQ(c.PixelFormatFor(false), TRasterFormat::rf24Bit);
  }
}

TEST(ColorConverterChoice, IndexedAndColourDoNotMix) {
  std::uint8_t src[8] = {};
  std::uint8_t dst[8] = {};
  struct Case {
    TColorScheme from, to;
    int message;
  };
  const Case cases[] = {
      {TColorScheme::Gray, TColorScheme::BGR, 14},
      {TColorScheme::RGB, TColorScheme::Indexed, 14},
      {TColorScheme::Indexed, TColorScheme::RGBA, 14},
      {TColorScheme::Gray, TColorScheme::GrayAlpha, 14},
      {TColorScheme::GrayAlpha, TColorScheme::Indexed, 0},
      {TColorScheme::Indexed, TColorScheme::Gray, 0},
      {TColorScheme::Unknown, TColorScheme::BGR, 15},
      {TColorScheme::RGB, TColorScheme::CMYK, 15},
      {TColorScheme::CMYK, TColorScheme::Unknown, 15},
  };
  for (const Case& k : cases) {
    TColorConverter c = Configured(k.from, k.to, 8, 8);
    EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), k.message)
        << static_cast<int>(k.from) << " -> " << static_cast<int>(k.to);
  }
}

TEST(ColorConverterChoice, NoRoutineIsRememberedUntilASettingChanges) {
  std::uint8_t src[4] = {};
  std::uint8_t dst[4] = {};
  TColorConverter c = Configured(TColorScheme::Gray, TColorScheme::Gray, 16, 4);
  EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), 15);
  EXPECT_FALSE(c.Changed());
  EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), 15);
  c.SetTargetBits(8);
  EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), 0);
  // A refused pair stays refused on the next row as well.
  c.SetTargetScheme(TColorScheme::BGR);
  EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), 14);
  EXPECT_EQ(MessageOf([&] { c.ConvertRow(src, 0xFF, 1, dst); }), 14);
}

TEST(ColorConverterChoice, ColourRoutinesNeedByteSizedSamples) {
  std::uint8_t src[16] = {};
  std::uint8_t dst[16] = {};
  for (int bits : {1, 4, 12}) {
    TColorConverter source = Configured(TColorScheme::RGB, TColorScheme::BGR, bits, 8);
    EXPECT_EQ(MessageOf([&] { source.ConvertRow(src, 0xFF, 1, dst); }), 15) << bits;
    TColorConverter target = Configured(TColorScheme::CMYK, TColorScheme::BGR, 8, bits);
    EXPECT_EQ(MessageOf([&] { target.ConvertRow(src, 0xFF, 1, dst); }), 15) << bits;
  }
  TColorConverter grey = Configured(TColorScheme::Gray, TColorScheme::Gray, 12, 16);
  EXPECT_EQ(MessageOf([&] { grey.ConvertRow(src, 0xFF, 1, dst); }), 15);
}

TEST(ColorConverterChoice, PlanarRowsMustBringEveryPlane) {
  std::uint8_t r[1] = {}, g[1] = {}, b[1] = {};
  std::uint8_t dst[4] = {};
  TColorConverter rgba = Configured(TColorScheme::RGBA, TColorScheme::BGRA, 8, 8);
  EXPECT_EQ(MessageOf([&] { rgba.ConvertRow({r, g, b}, 0xFF, 1, dst); }), 15);
  TColorConverter cmyk = Configured(TColorScheme::CMYK, TColorScheme::BGR, 8, 8);
  EXPECT_EQ(MessageOf([&] { cmyk.ConvertRow({r, g, b}, 0xFF, 1, dst); }), 15);
  EXPECT_EQ(MessageOf([&] { cmyk.ConvertRow(SourceRows(), 0xFF, 1, dst); }), 15);
  // Without a target alpha the source's alpha plane is not needed.
  TColorConverter rgba_to_bgr = Configured(TColorScheme::RGBA, TColorScheme::BGR, 8, 8);
  EXPECT_EQ(MessageOf([&] { rgba_to_bgr.ConvertRow({r, g, b}, 0xFF, 1, dst); }), 0);
}

TEST(ColorConverterChoice, AlphaFlagsFollowTheSchemes) {
  std::uint8_t src[8] = {};
  std::uint8_t dst[8] = {};
  TColorConverter c = Configured(TColorScheme::RGBA, TColorScheme::BGR, 8, 8);
  c.TargetOptions.Include(Opt::HasAlphaChannel);
  c.ConvertRow(src, 0xFF, 1, dst);
  EXPECT_TRUE(c.SourceOptions.Contains(Opt::HasAlphaChannel));
  EXPECT_FALSE(c.TargetOptions.Contains(Opt::HasAlphaChannel));
}

TEST(ColorConverterMask, SelectedPixelsTakeConsecutiveSourcePixels) {
  TColorConverter c;  // RGB to BGR, 8 bits
  const Bytes src = {10, 11, 12, 20, 21, 22};
  Bytes dst(8 * 3, 0xEE);
  c.ConvertRow(src.data(), 0x88, 8, dst.data());
  Bytes expected(8 * 3, 0xEE);
  expected[0] = 12, expected[1] = 11, expected[2] = 10;
  expected[12] = 22, expected[13] = 21, expected[14] = 20;
  EXPECT_EQ(dst, expected);
}

TEST(ColorConverterMask, MaskBitWrapsAfterEightPixels) {
  TColorConverter c = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 8, 8);
  const Bytes src = {1, 2, 3, 4};
  // The bit runs 0x80 ... 0x01 and starts again: pixels 0, 7, 8 and 15 are selected.
  EXPECT_EQ(Converted(c, src, 0x81, 16, 18),
            (Bytes{1, 0, 0, 0, 0, 0, 0, 2, 3, 0, 0, 0, 0, 0, 0, 4, 0, 0}));
}

TEST(ColorConverterPacked, TwoBitValuesSpreadOverFourBits) {
  TColorConverter c = Configured(TColorScheme::Gray, TColorScheme::Gray, 2, 4);
  const Bytes src = {0x1B};  // 0, 1, 2, 3
  EXPECT_EQ(Converted(c, src, 0xFF, 4, 2), (Bytes{0x05, 0xAF}));
}

TEST(ColorConverterPacked, DepthChangesScaleTheFields) {
  // 4 to 1 bit: only 15 reaches 1.
  TColorConverter down = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 4, 1);
  Bytes dst(1, 0);
  down.ConvertRow(Bytes{0xF7, 0x0F}.data(), 0xFF, 4, dst.data());
  EXPECT_EQ(dst[0], 0x90);
  // 1 to 8 bits: 0 and 255.
  TColorConverter up = Configured(TColorScheme::Gray, TColorScheme::Gray, 1, 8);
  Bytes wide(3, 7);
  up.ConvertRow(Bytes{0xA0}.data(), 0xFF, 3, wide.data());
  EXPECT_EQ(wide, (Bytes{255, 0, 255}));
  // 3 to 2 bits: v * 3 / 7, fields crossing byte borders. 7,0,5,2,6 = 111 000 101 010 110.
  TColorConverter odd = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 3, 2);
  // 3, 0, 2, 0, 2 = 11 00 10 00 | 10 000000
  EXPECT_EQ(Converted(odd, Bytes{0xE2, 0xAC}, 0xFF, 5, 2), (Bytes{0xC8, 0x80}));
}

TEST(ColorConverterPacked, SkippedFieldsKeepTheirBits) {
  TColorConverter c = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 1, 1);
  Bytes dst = {0xFF};
  // Pixels 0, 2, 4, 6 from the source bits 0, 1, 0, 1.
  c.ConvertRow(Bytes{0x50}.data(), 0xAA, 8, dst.data());
  EXPECT_EQ(dst[0], 0x77);
  // Equal depths with every pixel selected copy whole bytes: 3 four-bit pixels are 2 bytes.
  TColorConverter copy = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 4, 4);
  Bytes out = {0, 0, 0x99};
  copy.ConvertRow(Bytes{0x12, 0x34, 0x56}.data(), 0xFF, 3, out.data());
  EXPECT_EQ(out, (Bytes{0x12, 0x34, 0x99}));
}

TEST(ColorConverterIndexed16, ReductionReadsTheConfiguredByteOrder) {
  const Bytes big = BigEndian16({0x0000, 0xFFFF, 0x8000});
  TColorConverter c = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 16, 8);
  Bytes dst(3, 0);
  c.ConvertRow(big.data(), 0xFF, 3, dst.data());
  // Read as stored, 0x8000 is 0x0080 on a little-endian machine: 128 * 255 / 65535 = 0.
  EXPECT_EQ(dst, (Bytes{0, 255, 0}));
  c.SourceOptions.Include(Opt::SwapSampleBytes);
  c.ConvertRow(big.data(), 0xFF, 3, dst.data());
  EXPECT_EQ(dst, (Bytes{0, 255, 127}));

  c.SetTargetBits(4);
  // 0, 15, 32768 * 15 / 65535 = 7.
  EXPECT_EQ(Converted(c, big, 0xFF, 3, 2), (Bytes{0x0F, 0x70}));
}

TEST(ColorConverterIndexed16, ExpansionAndCopy) {
  TColorConverter up = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 3, 16);
  Bytes dst(4, 0);
  up.ConvertRow(Bytes{0x3C}.data(), 0xFF, 2, dst.data());  // 001 111
  // 1 * 65535 / 7 = 9362 = 0x2492; 7 -> 65535.
  EXPECT_EQ(ReadNative16(dst), (std::vector<std::uint16_t>{0x2492, 0xFFFF}));
  up.SourceOptions.Include(Opt::SwapSampleBytes);
  up.ConvertRow(Bytes{0x3C}.data(), 0xFF, 2, dst.data());
  EXPECT_EQ(dst, (Bytes{0x24, 0x92, 0xFF, 0xFF}));

  TColorConverter copy = Configured(TColorScheme::Indexed, TColorScheme::Indexed, 16, 16);
  const Bytes src = {0x12, 0x34, 0x56, 0x78};
  Bytes out(4, 0);
  copy.ConvertRow(src.data(), 0xFF, 2, out.data());
  EXPECT_EQ(out, src);
  copy.SourceOptions.Include(Opt::SwapSampleBytes);
  copy.ConvertRow(src.data(), 0xFF, 2, out.data());
  EXPECT_EQ(out, (Bytes{0x34, 0x12, 0x78, 0x56}));
  Bytes masked(6, 0xEE);
  copy.ConvertRow(src.data(), 0x40, 3, masked.data());
  EXPECT_EQ(masked, (Bytes{0xEE, 0xEE, 0x34, 0x12, 0xEE, 0xEE}));
}

TEST(ColorConverterGray, SixteenBitGreyAndDroppedAlpha) {
  TColorConverter down = Configured(TColorScheme::Gray, TColorScheme::Gray, 16, 8);
  down.SourceOptions.Include(Opt::SwapSampleBytes);
  EXPECT_EQ(Converted(down, BigEndian16({0x0101, 0x8000, 0xFFFF}), 0xFF, 3, 3),
            (Bytes{1, 127, 255}));

  TColorConverter up = Configured(TColorScheme::Gray, TColorScheme::Gray, 8, 16);
  Bytes wide(4, 0);
  up.ConvertRow(Bytes{0x12, 0xFF}.data(), 0xFF, 2, wide.data());
  EXPECT_EQ(ReadNative16(wide), (std::vector<std::uint16_t>{0x1212, 0xFFFF}));

  TColorConverter same = Configured(TColorScheme::Gray, TColorScheme::Gray, 16, 16);
  same.SourceOptions.Include(Opt::SwapSampleBytes);
  EXPECT_EQ(Converted(same, Bytes{0xAB, 0xCD}, 0xFF, 1, 2), (Bytes{0xCD, 0xAB}));

  TColorConverter alpha = Configured(TColorScheme::GrayAlpha, TColorScheme::Indexed, 8, 8);
  Bytes grey(3, 0xEE);
  alpha.ConvertRow(Bytes{10, 200, 20, 201}.data(), 0xA0, 3, grey.data());
  EXPECT_EQ(grey, (Bytes{10, 0xEE, 20}));

  TColorConverter alpha16 = Configured(TColorScheme::GrayAlpha, TColorScheme::Gray, 16, 8);
  alpha16.SourceOptions.Include(Opt::SwapSampleBytes);
  EXPECT_EQ(Converted(alpha16, BigEndian16({0xFFFF, 0x0000, 0x8000, 0xFFFF}), 0xFF, 2, 2),
            (Bytes{255, 127}));
}

TEST(ColorConverterRgb, AllFourDirectionsAtEightBits) {
  const Bytes src = {1, 2, 3, 4, 5, 6};
  struct Case {
    TColorScheme from, to;
    Bytes expected;
  };
  const Case cases[] = {
      {TColorScheme::RGB, TColorScheme::BGR, {3, 2, 1, 6, 5, 4}},
      {TColorScheme::RGB, TColorScheme::RGB, {1, 2, 3, 4, 5, 6}},
      {TColorScheme::BGR, TColorScheme::RGB, {3, 2, 1, 6, 5, 4}},
      {TColorScheme::BGR, TColorScheme::BGR, {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& k : cases) {
    TColorConverter c = Configured(k.from, k.to, 8, 8);
    Bytes dst(6, 0);
    c.ConvertRow(src.data(), 0xFF, 2, dst.data());
    EXPECT_EQ(dst, k.expected);
    // The same through the per-pixel path that a mask takes.
    Bytes masked(6, 0);
    c.ConvertRow(src.data(), 0xC0, 2, masked.data());
    EXPECT_EQ(masked, k.expected);
  }
}

TEST(ColorConverterRgb, AlphaRules) {
  const Bytes rgba = {1, 2, 3, 100, 4, 5, 6, 200};
  TColorConverter both = Configured(TColorScheme::RGBA, TColorScheme::BGRA, 8, 8);
  EXPECT_EQ(Converted(both, rgba, 0xFF, 2, 8), (Bytes{3, 2, 1, 100, 6, 5, 4, 200}));

  TColorConverter dropped = Configured(TColorScheme::RGBA, TColorScheme::BGR, 8, 8);
  EXPECT_EQ(Converted(dropped, rgba, 0xFF, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));

  TColorConverter kept = Configured(TColorScheme::BGR, TColorScheme::RGBA, 8, 8);
  Bytes four(8, 0x77);
  kept.ConvertRow(Bytes{1, 2, 3, 4, 5, 6}.data(), 0xFF, 2, four.data());
  EXPECT_EQ(four, (Bytes{3, 2, 1, 0x77, 6, 5, 4, 0x77}));

  // Alpha is depth-converted but never gamma-corrected.
  TColorConverter gamma = Configured(TColorScheme::RGBA, TColorScheme::BGRA, 16, 8);
  gamma.SourceOptions.Include(Opt::SwapSampleBytes);
  gamma.TargetOptions.Include(Opt::UseGammaTable);
  // 0x8000 -> 127 -> 186; 0x4040 -> 64 -> 136; 0xFFFF -> 255; alpha 0x8000 -> 127.
  EXPECT_EQ(Converted(gamma, BigEndian16({0x8000, 0x4040, 0xFFFF, 0x8000}), 0xFF, 1, 4),
            (Bytes{255, 136, 186, 127}));
}

TEST(ColorConverterRgb, PlanarSources) {
  const Bytes r = {1, 4}, g = {2, 5}, b = {3, 6}, a = {100, 200};
  TColorConverter c = Configured(TColorScheme::RGBA, TColorScheme::BGRA, 8, 8);
  Bytes dst(8, 0);
  c.ConvertRow({r.data(), g.data(), b.data(), a.data()}, 0xFF, 2, dst.data());
  EXPECT_EQ(dst, (Bytes{3, 2, 1, 100, 6, 5, 4, 200}));

  TColorConverter wide = Configured(TColorScheme::RGB, TColorScheme::BGR, 16, 8);
  wide.SourceOptions.Include(Opt::SwapSampleBytes);
  const Bytes r16 = BigEndian16({0xFFFF, 0x0101}), g16 = BigEndian16({0x8000, 0}),
              b16 = BigEndian16({0, 0x0202});
  Bytes out(6, 0);
  wide.ConvertRow({r16.data(), g16.data(), b16.data()}, 0xFF, 2, out.data());
  EXPECT_EQ(out, (Bytes{0, 127, 255, 2, 0, 1}));
}

TEST(ColorConverterRgb, SixteenBitSamples) {
  // 16 to 8: v * 255 / 65535, in both byte orders.
  TColorConverter down = Configured(TColorScheme::RGB, TColorScheme::BGR, 16, 8);
  Bytes dst(3, 0);
  down.ConvertRow(Native16({0xFFFF, 0x8000, 0x0101}).data(), 0xFF, 1, dst.data());
  EXPECT_EQ(dst, (Bytes{1, 127, 255}));
  down.SourceOptions.Include(Opt::SwapSampleBytes);
  down.ConvertRow(BigEndian16({0xFFFF, 0x8000, 0x0101}).data(), 0xFF, 1, dst.data());
  EXPECT_EQ(dst, (Bytes{1, 127, 255}));

  // 8 to 16: v * 65535 / 255.
  TColorConverter up = Configured(TColorScheme::RGB, TColorScheme::RGB, 8, 16);
  Bytes wide(6, 0);
  up.ConvertRow(Bytes{0, 0x80, 0xFF}.data(), 0xFF, 1, wide.data());
  EXPECT_EQ(ReadNative16(wide), (std::vector<std::uint16_t>{0, 0x8080, 0xFFFF}));

  // 16 to 16 exchanges the bytes once and keeps full precision.
  TColorConverter same = Configured(TColorScheme::BGRA, TColorScheme::RGBA, 16, 16);
  same.SourceOptions.Include(Opt::SwapSampleBytes);
  Bytes both(8, 0);
  same.ConvertRow(BigEndian16({0x1234, 0x5678, 0x9ABC, 0xDEF0}).data(), 0xFF, 1, both.data());
  EXPECT_EQ(ReadNative16(both), (std::vector<std::uint16_t>{0x9ABC, 0x5678, 0x1234, 0xDEF0}));
}

TEST(ColorConverterGamma, TableValues) {
  TColorConverter c;
  // Initial curve: (i / 255) ^ (1 / 2.2) * 255, rounded.
  EXPECT_EQ(c.GammaTable(0), 0);
  EXPECT_EQ(c.GammaTable(1), 21);
  EXPECT_EQ(c.GammaTable(16), 72);
  EXPECT_EQ(c.GammaTable(64), 136);
  EXPECT_EQ(c.GammaTable(128), 186);
  EXPECT_EQ(c.GammaTable(200), 228);
  EXPECT_EQ(c.GammaTable(255), 255);

  // Exponent 1 / (0.5 * 1) = 2: round(i * i / 255).
  c.SetGamma(0.5f, 1.0f);
  EXPECT_EQ(c.GammaTable(16), 1);
  EXPECT_EQ(c.GammaTable(100), 39);
  EXPECT_EQ(c.GammaTable(128), 64);
  EXPECT_EQ(c.GammaTable(255), 255);

  // Values not above 0 fall back to 1.0 and 2.2.
  c.SetGamma(0.0f, -3.0f);
  EXPECT_FLOAT_EQ(c.MainGamma(), 1.0f);
  EXPECT_FLOAT_EQ(c.DisplayGamma(), 2.2f);
  EXPECT_EQ(c.GammaTable(128), 186);

  // The table serves 8-bit levels at every depth: low depths do not shrink it.
  c.SetTargetBits(1);
  c.SetSourceBits(2);
  c.SetGamma(0.5f, 1.0f);
  EXPECT_EQ(c.GammaTable(128), 64);
  EXPECT_EQ(c.GammaTable(255), 255);
}

TEST(ColorConverterGamma, AppliedAtEightBitPrecision) {
  TColorConverter c = Configured(TColorScheme::RGB, TColorScheme::RGB, 8, 16);
  c.TargetOptions.Include(Opt::UseGammaTable);
  Bytes dst(6, 0);
  c.ConvertRow(Bytes{128, 64, 0}.data(), 0xFF, 1, dst.data());
  // 186 * 257 and 136 * 257.
  EXPECT_EQ(ReadNative16(dst), (std::vector<std::uint16_t>{47802, 34952, 0}));
  // Without the option the table is not used.
  c.TargetOptions.Exclude(Opt::UseGammaTable);
  c.ConvertRow(Bytes{128, 64, 0}.data(), 0xFF, 1, dst.data());
  EXPECT_EQ(ReadNative16(dst), (std::vector<std::uint16_t>{0x8080, 0x4040, 0}));
}

TEST(ColorConverterCmyk, EightAndSixteenBits) {
  TColorConverter c = Configured(TColorScheme::CMYK, TColorScheme::BGR, 8, 8);
  Bytes dst(6, 0);
  // (50, 200, 0, 100): 50*100/255 - 150 + 255 = 124; 200*100/255 - 300 + 255 = 33; 155. (0, 255,
  // 128, 0): 255, 0, 127.
  c.ConvertRow(Bytes{50, 200, 0, 100, 0, 255, 128, 0}.data(), 0xFF, 2, dst.data());
  EXPECT_EQ(dst, (Bytes{155, 33, 124, 127, 0, 255}));

  TColorConverter rgb = Configured(TColorScheme::CMYK, TColorScheme::RGBA, 8, 8);
  Bytes four(4, 0x77);
  const Bytes cy = {50}, ma = {200}, ye = {0}, bk = {100};
  rgb.ConvertRow({cy.data(), ma.data(), ye.data(), bk.data()}, 0xFF, 1, four.data());
  EXPECT_EQ(four, (Bytes{124, 33, 155, 0x77}));

  // 16 bits: (32768, 0, 65535, 16384): 8192 - 49152 + 65535 = 24575 -> 95; 49151 -> 191; 0.
  TColorConverter wide = Configured(TColorScheme::CMYK, TColorScheme::BGR, 16, 8);
  wide.SourceOptions.Include(Opt::SwapSampleBytes);
  EXPECT_EQ(Converted(wide, BigEndian16({0x8000, 0x0000, 0xFFFF, 0x4000}), 0xFF, 1, 3),
            (Bytes{0, 191, 95}));

  // A 16-bit target gets the 8-bit result expanded.
  TColorConverter up = Configured(TColorScheme::CMYK, TColorScheme::RGB, 8, 16);
  Bytes six(6, 0);
  up.ConvertRow(Bytes{50, 200, 0, 100}.data(), 0xFF, 1, six.data());
  EXPECT_EQ(ReadNative16(six), (std::vector<std::uint16_t>{124 * 257, 33 * 257, 155 * 257}));
}

// The standard formulas' colour, rounded to 8 bits.
Bytes StandardLab(double l, double a, double b) {
  double rgb[3];
  test::StandardLabToSrgb(l, a, b, rgb);
  Bytes out(3);
  for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(std::lround(rgb[c]));
  return out;
}

::testing::AssertionResult Within2(const Bytes& got, const Bytes& want) {
  for (std::size_t i = 0; i < got.size(); ++i)
    if (std::abs(int(got[i]) - int(want[i])) > 2)
      return ::testing::AssertionFailure()
             << "byte " << i << ": " << int(got[i]) << " vs " << int(want[i]);
  return ::testing::AssertionSuccess();
}

TEST(ColorConverterLab, StandardColoursAndSourceOptions) {
  TColorConverter c = Configured(TColorScheme::CIELab, TColorScheme::RGB, 8, 8);
  Bytes dst(12, 0);
  // White, mid-grey (L* 50 is about 119 on the display, not the 47 of linear light), a dark
  // colour in the linear part of the curve, and a saturated one outside the sRGB gamut.
  c.ConvertRow(Bytes{100, 0, 0, 50, 0, 0, 5, 0xF6, 20, 60, 80, 0x9C}.data(), 0xFF, 4, dst.data());
  EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 3), (Bytes{255, 255, 255}));
  EXPECT_NEAR(dst[3], 119, 1);
  EXPECT_EQ(dst[3], dst[4]);
  EXPECT_EQ(dst[4], dst[5]);
  Bytes want = StandardLab(100, 0, 0);
  for (const Bytes& part :
       {StandardLab(50, 0, 0), StandardLab(5, -10, 20), StandardLab(60, 80, -100)})
    want.insert(want.end(), part.begin(), part.end());
  EXPECT_TRUE(Within2(dst, want));

  // Stored L 153 / 2.55 = 60, a 148 - 128 = 20, b 98 - 128 = -30.
  TColorConverter shifted = Configured(TColorScheme::CIELab, TColorScheme::BGR, 8, 8);
  shifted.SourceOptions.Include(Opt::LightnessIn255);
  shifted.SourceOptions.Include(Opt::ChromaWithOffset);
  Bytes three(3, 0);
  shifted.ConvertRow(Bytes{153, 148, 98}.data(), 0xFF, 1, three.data());
  const Bytes rgb = StandardLab(60, 20, -30);
  EXPECT_TRUE(Within2(three, Bytes{rgb[2], rgb[1], rgb[0]}));
  const Bytes eight = three;

  // 16-bit samples are reduced first: v * 257 comes back as v.
  TColorConverter wide = Configured(TColorScheme::CIELab, TColorScheme::BGR, 16, 8);
  wide.SourceOptions = {Opt::LightnessIn255, Opt::ChromaWithOffset, Opt::SwapSampleBytes};
  const Bytes l = BigEndian16({153 * 257}), a = BigEndian16({148 * 257}),
              b = BigEndian16({98 * 257});
  wide.ConvertRow({l.data(), a.data(), b.data()}, 0xFF, 1, three.data());
  EXPECT_EQ(three, eight);
}

TEST(ColorConverterChroma, TablesForBothSchemes) {
  std::uint8_t src[3] = {};
  std::uint8_t dst[3] = {};
  TColorConverter c = Configured(TColorScheme::YCbCr, TColorScheme::RGB, 8, 8);
  EXPECT_TRUE(c.CrToRed().empty());
  c.ConvertRow(src, 0xFF, 1, dst);
  ASSERT_EQ(c.CrToRed().size(), 256u);
  // kR = 1.402, kB = 1.772, kRG = 0.714136, kBG = 0.344136.
  EXPECT_EQ(c.CrToRed()[128], 0);
  EXPECT_EQ(c.CrToRed()[255], 178);
  EXPECT_EQ(c.CrToRed()[0], -179);
  EXPECT_EQ(c.CbToBlue()[255], 225);
  EXPECT_EQ(c.CbToBlue()[0], -227);
  EXPECT_EQ(c.CrToGreen()[255], -91);
  EXPECT_EQ(c.CrToGreen()[0], 91);
  EXPECT_EQ(c.CbToGreen()[255], -44);
  EXPECT_EQ(c.CbToGreen()[0], 44);

  c.SetSourceScheme(TColorScheme::PhotoYCC);
  c.ConvertRow(src, 0xFF, 1, dst);
  EXPECT_EQ(c.CrToRed()[137], 0);
  EXPECT_EQ(c.CbToBlue()[156], 0);
  EXPECT_EQ(c.CrToRed()[255], 165);
  EXPECT_EQ(c.CbToBlue()[255], 175);
  EXPECT_EQ(c.CbToBlue()[0], -276);
  EXPECT_EQ(c.CrToGreen()[0], 98);
  EXPECT_EQ(c.CbToGreen()[255], -34);
}

TEST(ColorConverterChroma, RowsAddTheTablesAndClamp) {
  // Y 100, Cb 255, Cr 0: R = 100 - 179 -> 0; G = 100 - 44 + 91 = 147; B = 100 + 225 -> 255.
  TColorConverter rgb = Configured(TColorScheme::YCbCr, TColorScheme::RGB, 8, 8);
  Bytes dst(3, 0);
  rgb.ConvertRow(Bytes{100, 255, 0}.data(), 0xFF, 1, dst.data());
  EXPECT_EQ(dst, (Bytes{0, 147, 255}));
  TColorConverter bgra = Configured(TColorScheme::YCbCr, TColorScheme::BGRA, 16, 8);
  bgra.SourceOptions.Include(Opt::SwapSampleBytes);
  Bytes four(4, 0x77);
  bgra.ConvertRow(BigEndian16({100 * 257, 0xFFFF, 0}).data(), 0xFF, 1, four.data());
  EXPECT_EQ(four, (Bytes{255, 147, 0, 0x77}));
  // PhotoYCC: Y 50, Cb 156, Cr 255: R = 50 + 165 = 215; G = 50 + 0 - round(0.714136 * 118) = 50 -
  // 84 -> 0; B = 50.
  TColorConverter photo = Configured(TColorScheme::PhotoYCC, TColorScheme::BGR, 8, 8);
  photo.ConvertRow(Bytes{50, 156, 255}.data(), 0xFF, 1, dst.data());
  EXPECT_EQ(dst, (Bytes{50, 0, 215}));
}

class ColorConverterPalette : public ::testing::Test {
 protected:
  TRasterBitmap bitmap = TRasterBitmap::CreateDibBitmap(1, 1, TRasterFormat::rf8Bit);
  TColorConverter c;

  std::vector<std::uint32_t> Entries(int count) const {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < count; ++i) out.push_back(bitmap.PaletteEntry(i));
    return out;
  }
};

TEST_F(ColorConverterPalette, EightBitLayouts) {
  c.SetSourceBits(8);
  c.SetTargetBits(8);
  c.BuildColorPalette(bitmap, Bytes{1, 2, 3, 4, 5, 6}.data(), 0, 2, true);
  EXPECT_EQ(Entries(2), (std::vector<std::uint32_t>{0x010203, 0x040506}));
  c.BuildColorPalette(bitmap, Bytes{1, 2, 3, 9, 4, 5, 6, 9}.data(), 1, 2, false);
  EXPECT_EQ(Entries(2), (std::vector<std::uint32_t>{0x030201, 0x060504}));
  const Bytes r = {0x10, 0x11}, g = {0x20, 0x21}, b = {0x30, 0x31};
  for (int layout : {2, 3}) {
    c.BuildColorPalette(bitmap, {r.data(), g.data(), b.data()}, layout, 2, false);
    EXPECT_EQ(Entries(2), (std::vector<std::uint32_t>{0x102030, 0x112131}));
  }
}

TEST_F(ColorConverterPalette, SixteenBitLayouts) {
  c.SourceOptions.Include(Opt::SwapSampleBytes);
  c.BuildColorPalette(bitmap, BigEndian16({0xFFFF, 0x8000, 0x0101}).data(), 4, 1, true);
  EXPECT_EQ(bitmap.PaletteEntry(0), 0xFF7F01u);
  c.BuildColorPalette(bitmap, BigEndian16({0xFFFF, 0x8000, 0x0101, 0x1234}).data(), 5, 1, false);
  EXPECT_EQ(bitmap.PaletteEntry(0), 0x017FFFu);
  const Bytes r = BigEndian16({0x0202}), g = BigEndian16({0xFFFF}), b = BigEndian16({0});
  for (int layout : {6, 7}) {
    c.BuildColorPalette(bitmap, {r.data(), g.data(), b.data()}, layout, 1, true);
    EXPECT_EQ(bitmap.PaletteEntry(0), 0x02FF00u);
  }
  EXPECT_EQ(MessageOf([&] { c.BuildColorPalette(bitmap, r.data(), 8, 1, true); }), 15);
  EXPECT_EQ(MessageOf([&] { c.BuildColorPalette(bitmap, r.data(), 2, 1, true); }), 15);
}

TEST_F(ColorConverterPalette, GammaAndLongLists) {
  c.TargetOptions.Include(Opt::UseGammaTable);
  c.BuildColorPalette(bitmap, Bytes{128, 64, 0}.data(), 0, 1, true);
  EXPECT_EQ(bitmap.PaletteEntry(0), 0xBA8800u);  // 186, 136, 0
  c.TargetOptions.Exclude(Opt::UseGammaTable);
  // More entries than the table holds: the first 256 are taken.
  Bytes many(300 * 3);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<std::uint8_t>(i / 3);
  c.BuildColorPalette(bitmap, many.data(), 0, 300, true);
  EXPECT_EQ(bitmap.PaletteEntry(255), 0xFFFFFFu);
  EXPECT_EQ(bitmap.PaletteEntry(7), 0x070707u);
}

TEST_F(ColorConverterPalette, SpreadsOverTheTargetDepth) {
  // Two-bit palette shown at four bits: entry i takes the colour of entry i * 3 / 15, so the pixel
  // values 0, 5, 10, 15 show entries 0 to 3.
  c.SetSourceBits(2);
  c.SetTargetBits(4);
  c.BuildColorPalette(bitmap, Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}.data(), 0, 4, true);
  const std::uint32_t e0 = 0x010101, e1 = 0x020202, e2 = 0x030303, e3 = 0x040404;
  EXPECT_EQ(Entries(16), (std::vector<std::uint32_t>{e0, e0, e0, e0, e0, e1, e1, e1, e1, e1, e2, e2,
                                                     e2, e2, e2, e3}));

  // Eight-bit palette shown at four bits: entry i takes entry i * 17.
  Bytes ramp(256 * 3);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i / 3);
  c.SetSourceBits(8);
  c.BuildColorPalette(bitmap, ramp.data(), 0, 256, true);
  EXPECT_EQ(bitmap.PaletteEntry(1), 0x111111u);
  EXPECT_EQ(bitmap.PaletteEntry(15), 0xFFFFFFu);
  EXPECT_EQ(bitmap.PaletteEntry(16),
            0x101010u);  // beyond the target depth: as built
}

TEST_F(ColorConverterPalette, GreyRamps) {
  c.SetTargetSamples(1);
  c.SetTargetBits(1);
  c.BuildGrayPalette(bitmap, false);
  EXPECT_EQ(Entries(2), (std::vector<std::uint32_t>{0x000000, 0xFFFFFF}));
  c.BuildGrayPalette(bitmap, true);
  EXPECT_EQ(Entries(2), (std::vector<std::uint32_t>{0xFFFFFF, 0x000000}));

  c.SetTargetBits(4);
  c.BuildGrayPalette(bitmap, false);
  EXPECT_EQ(bitmap.PaletteEntry(1), 0x111111u);
  EXPECT_EQ(bitmap.PaletteEntry(15), 0xFFFFFFu);

  // Three bits: step 255 div 7 = 36, so the ramp ends at 252.
  c.SetTargetBits(3);
  c.BuildGrayPalette(bitmap, true);
  EXPECT_EQ(bitmap.PaletteEntry(0), 0xFCFCFCu);
  EXPECT_EQ(bitmap.PaletteEntry(6), 0x242424u);

  // Depth is bits times samples, at most 8; gamma applies to every level.
  c.SetTargetBits(4);
  c.SetTargetSamples(3);
  c.TargetOptions.Include(Opt::UseGammaTable);
  c.BuildGrayPalette(bitmap, false);
  EXPECT_EQ(bitmap.PaletteEntry(128), 0xBABABAu);
  EXPECT_EQ(bitmap.PaletteEntry(255), 0xFFFFFFu);
}

}  // namespace
}  // namespace vistrel
