#include "imaging/graphic_messages.h"

#include <gtest/gtest.h>

#include <string>

#include "common/exception.h"

namespace vistrel {
namespace {

// Runs f, which must raise, and hands back what it raised.
template <typename F>
Exception Raised(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e;
  }
  ADD_FAILURE() << "nothing was raised";
  return Exception("");
}

TEST(GraphicMessages, PlaceholderIsFilledAndNumberIsTheCode) {
  Exception e = Raised([] { RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNamePng}); });
  EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected PNG image format.");
  EXPECT_EQ(e.Kind(), 34);
  EXPECT_EQ(e.Code(), 1u);

  e = Raised([] { RaiseGraphicErrorFmt(kMsgInvalidImage, {kFormatNamePsd}); });
  EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected PSD or PDD image format.");
}

TEST(GraphicMessages, CompressionMessageTakesMessageElevenWhole) {
  Exception e = Raised([] {
    RaiseGraphicErrorFmt(kMsgNotSupported, {GraphicMessageText(kMsgCompressionScheme), "PNG"});
  });
  EXPECT_EQ(e.Message(),
            "Cannot load image. The compression scheme is not supported for PNG files.");
  EXPECT_EQ(e.Code(), 5u);
}

TEST(GraphicMessages, MessagesWithoutPlaceholderAreRaisedUnchanged) {
  Exception e = Raised([] { RaiseGraphicError(kMsgUnknownCriticalChunk); });
  EXPECT_EQ(e.Message(), "Cannot load PNG image. Unexpected but critical chunk detected.");
  EXPECT_EQ(e.Code(), 10u);
  EXPECT_EQ(e.Kind(), kGraphicErrorKind);

  e = Raised([] { RaiseGraphicError(kMsgLz77Error); });
  EXPECT_EQ(e.Message(), "LZ77 decompression error.");
  EXPECT_EQ(e.Code(), 20u);

  e = Raised([] { RaiseGraphicError(kMsgNoConversionMethod); });
  EXPECT_EQ(e.Message(), "Color conversion failed. Could not find a proper method.");
}

TEST(GraphicMessages, ArgumentsAreInsertedVerbatimAndMissingOnesAreEmpty) {
  EXPECT_EQ(FormatGraphicMessage(kMsgCrcError, {"%s%s"}),
            "Cannot load image. CRC error found in %s%s file.");
  EXPECT_EQ(FormatGraphicMessage(kMsgNotSupported, {"X"}),
            "Cannot load image. X not supported for  files.");
  EXPECT_EQ(FormatGraphicMessage(kMsgUnknownCriticalChunk, {"ignored"}),
            GraphicMessageText(kMsgUnknownCriticalChunk));
}

}  // namespace
}  // namespace vistrel
