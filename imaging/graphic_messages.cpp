#include "imaging/graphic_messages.h"

#include "common/exception.h"

namespace vistrel {

namespace {

constexpr char kText1[] = "Cannot load image. Invalid or unexpected %s image format.";
constexpr char kText2[] = "Invalid color format in %s file.";
constexpr char kText3[] = "Stream read error in %s file.";
constexpr char kText4[] = "Cannot load image. Unsupported %s image format.";
constexpr char kText5[] = "Cannot load image. %s not supported for %s files.";
constexpr char kText6[] = "Cannot load image. CRC error found in %s file.";
constexpr char kText7[] = "Cannot load image. Compression error found in %s file.";
constexpr char kText8[] = "Cannot load image. Extra compressed data found in %s file.";
constexpr char kText9[] = "Cannot load image. Palette in %s file is invalid.";
constexpr char kText10[] = "Cannot load PNG image. Unexpected but critical chunk detected.";
constexpr char kText11[] = "The compression scheme is";
constexpr char kText12[] = "Image formats other than RGB and RGBA are";
constexpr char kText13[] = "File versions other than 3 or 4 are";
constexpr char kText14[] =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
constexpr char kText15[] = "Color conversion failed. Could not find a proper method.";
constexpr char kText16[] = "Color depth is invalid. Bits per sample must be 1,2,4,8 or 16.";
constexpr char kText17[] = "Sample count per pixel does not correspond to the given color scheme.";
constexpr char kText18[] = "Subsampling value is invalid. Allowed are 1,2 and 4.";
constexpr char kText19[] = "Vertical subsampling value must be <= horizontal subsampling value.";
constexpr char kText20[] = "LZ77 decompression error.";

constexpr const char* kTexts[kGraphicMessageCount] = {
    kText1,  kText2,  kText3,  kText4,  kText5,  kText6,  kText7,  kText8,  kText9,  kText10,
    kText11, kText12, kText13, kText14, kText15, kText16, kText17, kText18, kText19, kText20,
};

}  // namespace

const char* GraphicMessageText(int n) {
  if (n < 1 || n > kGraphicMessageCount) return "";
  return kTexts[n - 1];
}

std::string FormatGraphicMessage(int n, std::initializer_list<std::string> args) {
  const std::string text = GraphicMessageText(n);
  std::string out;
  auto arg = args.begin();
  std::size_t from = 0;
  for (;;) {
    std::size_t at = text.find("%s", from);
    if (at == std::string::npos) break;
    out.append(text, from, at - from);
    if (arg != args.end()) out += *arg++;
    from = at + 2;
  }
  out.append(text, from, std::string::npos);
  return out;
}

void RaiseGraphicError(int n) {
  throw Exception(GraphicMessageText(n), kGraphicErrorKind, static_cast<std::uint32_t>(n));
}

void RaiseGraphicErrorFmt(int n, std::initializer_list<std::string> args) {
  throw Exception(FormatGraphicMessage(n, args), kGraphicErrorKind, static_cast<std::uint32_t>(n));
}

}  // namespace vistrel
