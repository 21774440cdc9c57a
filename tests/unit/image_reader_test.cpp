#include "imaging/image_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/png_reader.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
  std::unique_ptr<TMemoryStream> stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  return stream;
}

TEST(ImageReader, BaseAnswersFalseAndLeavesAResetRecord) {
  TImageReader reader;
  reader.ImageProperties.Width = 7;
  reader.ImageProperties.Flags.Include(TImageFlag::GammaInUse);
  reader.ImageProperties.ReservedCardinals.assign(3, 1);
  reader.ImageProperties.ColorScheme = TColorScheme::CMYK;
  auto stream = StreamOf("anything at all");
  EXPECT_FALSE(reader.ReadImageProperties(*stream, 0));
  const TImageProperties& p = reader.ImageProperties;
  EXPECT_EQ(p.Width, 0u);
  EXPECT_EQ(p.Flags.Bits(), 0);
  EXPECT_TRUE(p.ReservedCardinals.empty());
  EXPECT_EQ(p.ColorScheme, TColorScheme::Unknown);
  EXPECT_EQ(p.Gamma, 1.0f);
  EXPECT_FALSE(TImageReader::CanLoadStream(*stream));
  EXPECT_EQ(reader.Bitmap, nullptr) << "no bitmap before a loader runs";
}

TEST(ImageReader, ByteOrderHelpers) {
  std::uint16_t shorts[3] = {0x1234, 0xFF00, 0x0001};
  TImageReader::SwapShorts(shorts, 2);
  EXPECT_EQ(shorts[0], 0x3412);
  EXPECT_EQ(shorts[1], 0x00FF);
  EXPECT_EQ(shorts[2], 0x0001) << "only n words are swapped";
  std::uint32_t longs[2] = {0x11223344, 0xA0B0C0D0};
  TImageReader::SwapLongs(longs, 2);
  EXPECT_EQ(longs[0], 0x44332211u);
  EXPECT_EQ(longs[1], 0xD0C0B0A0u);
  EXPECT_EQ(TImageReader::SwapLong(0x01020304), 0x04030201u);
}

TEST(ImageReader, SignatureTestRestoresThePositionAndNeedsNineBytes) {
  const std::string png = test::ReadBytes(test::DataPath("png/pngsuite/basn0g01.png"));
  auto stream = StreamOf("xy" + png);
  stream->SetPosition(2);
  EXPECT_TRUE(TPNGGraphic::CanLoadStream(*stream));
  EXPECT_EQ(stream->Position(), 2);
  stream->SetPosition(3);
  EXPECT_FALSE(TPNGGraphic::CanLoadStream(*stream));
  EXPECT_EQ(stream->Position(), 3);

  // The signature alone is 8 bytes: with nothing after it the test still answers false.
  const std::string signature(kPngSignature.begin(), kPngSignature.end());
  auto shortStream = StreamOf(signature);
  EXPECT_FALSE(TPNGGraphic::CanLoadStream(*shortStream));
  auto nine = StreamOf(signature + "x");
  EXPECT_TRUE(TPNGGraphic::CanLoadStream(*nine));
  EXPECT_EQ(nine->Position(), 0);
}

TEST(ImageReader, CanLoadFileAsksTheReadersOwnTest) {
  EXPECT_TRUE(CanLoadFile<TPNGGraphic>(test::DataPath("png/pngsuite/basn0g01.png")));
  EXPECT_FALSE(CanLoadFile<TImageReader>(test::DataPath("png/pngsuite/basn0g01.png")));
  EXPECT_FALSE(CanLoadFile<TPNGGraphic>(test::DataPath("png/pngsuite/xs2n0g01.png")));
  EXPECT_FALSE(CanLoadFile<TPNGGraphic>(test::DataPath("png/no such file.png")));
}

TEST(ImageReader, LoaderRaisesMessageOneWithTheFormatName) {
  TPNGGraphic reader;
  auto stream = StreamOf(std::string(64, 'x'));
  try {
    reader.LoadFromStream(*stream);
    FAIL() << "nothing raised";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected PNG image format.");
    EXPECT_EQ(e.Code(), 1u);
    EXPECT_EQ(e.Kind(), kGraphicErrorKind);
  }
  EXPECT_EQ(reader.Stream, stream.get());
}

TEST(ImageReader, StartPositionIsWhereTheImageBegins) {
  const std::string png = test::ReadBytes(test::DataPath("png/pngsuite/basn0g08.png"));
  auto stream = StreamOf("0123456789" + png);
  stream->SetPosition(10);
  TPNGGraphic reader;
  reader.LoadFromStream(*stream);
  EXPECT_EQ(reader.StartPosition, 10);
  ASSERT_NE(reader.Bitmap, nullptr);
  EXPECT_EQ(reader.Bitmap->Width(), 32);
}

}  // namespace
}  // namespace vistrel
