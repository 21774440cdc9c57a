// The colour layout codes shared by the image readers and the colour converter, and the numbered
// message table through which every image-format failure is raised.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace vistrel {

// Stored in one byte of the image properties; 8 is reserved and never produced or accepted.
enum class TColorScheme : std::uint8_t {
  Unknown = 0,
  Indexed = 1,
  Gray = 2,
  GrayAlpha = 3,
  RGB = 4,
  RGBA = 5,
  BGR = 6,
  BGRA = 7,
  CMYK = 9,
  CIELab = 10,
  YCbCr = 11,
  PhotoYCC = 12,
};

// Message numbers; each is also the error code of the exception that carries it.
constexpr int kMsgInvalidImage = 1;           // argument: format name
constexpr int kMsgInvalidColorFormat = 2;     // argument: format name
constexpr int kMsgStreamReadError = 3;        // argument: format name
constexpr int kMsgUnsupportedFormat = 4;      // argument: format name
constexpr int kMsgNotSupported = 5;           // arguments: feature text, format name
constexpr int kMsgCrcError = 6;               // argument: format name
constexpr int kMsgCompressionError = 7;       // argument: format name
constexpr int kMsgExtraCompressedData = 8;    // argument: format name
constexpr int kMsgInvalidPalette = 9;         // argument: format name
constexpr int kMsgUnknownCriticalChunk = 10;  // no argument
constexpr int kMsgCompressionScheme = 11;     // first argument of message 5
constexpr int kMsgRgbRgbaOnly = 12;
constexpr int kMsgPsdVersion = 13;
constexpr int kMsgIndexedMismatch = 14;
constexpr int kMsgNoConversionMethod = 15;
constexpr int kMsgInvalidColorDepth = 16;
constexpr int kMsgInvalidSampleCount = 17;
constexpr int kMsgInvalidSubsampling = 18;
constexpr int kMsgVerticalSubsampling = 19;
constexpr int kMsgLz77Error = 20;
constexpr int kGraphicMessageCount = 20;

// The names that fill the format placeholders.
constexpr char kFormatNameGif[] = "GIF";
constexpr char kFormatNamePng[] = "PNG";
constexpr char kFormatNamePsd[] = "PSD or PDD";
constexpr char kFormatNameWebp[] = "WebP";

// The text of message n as the table holds it, placeholders unfilled; "" for numbers outside
// 1..20.
const char* GraphicMessageText(int n);

// Raises Exception(kind 34, code n) with message n unchanged.
[[noreturn]] void RaiseGraphicError(int n);

// Raises message n after filling its "%s" placeholders from args, in order. A placeholder
// without an argument becomes empty; arguments are inserted as they are, never scanned again.
[[noreturn]] void RaiseGraphicErrorFmt(int n, std::initializer_list<std::string> args);

// The text RaiseGraphicErrorFmt would carry.
std::string FormatGraphicMessage(int n, std::initializer_list<std::string> args);

}  // namespace vistrel
