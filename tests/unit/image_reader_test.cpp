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

std::unique_ptr<MemoryStream> StreamOf(const std::string& bytes) {
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
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
  auto short_stream = StreamOf(signature);
  EXPECT_FALSE(TPNGGraphic::CanLoadStream(*short_stream));
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
