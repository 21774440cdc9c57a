#include "imaging/webp_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/logic/image_files.h"
#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"
#include "tests/unit/reader_load.h"

namespace vistrel {
namespace {}  // namespace
}  // namespace vistrel

// libwebp's CPU probe (src/dsp/cpu.h), a global of the library: its decoders choose their SIMD
// variants by it, again whenever it changes.
using VP8CpuProbe = int (*)(int feature);
extern "C" VP8CpuProbe VP8GetCPUInfo;

namespace vistrel {
namespace {

const char kInvalidWebP[] = "Cannot load image. Invalid or unexpected WebP image format.";

int Message(const std::string& bytes) {
  TWebPGraphic reader;
  return test::LoadMessage(reader, bytes, kInvalidWebP);
}

// The bitmap's pixels top row first as RGBA, alpha 255 for a 24-bit bitmap.
std::string Rgba(TRasterBitmap& bitmap) {
  const bool bgra = bitmap.GetFormat() == TRasterFormat::rf32Bit;
  std::string out;
  out.reserve(std::size_t{4} * bitmap.Width() * bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += bgra ? 4 : 3) {
      out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]),
              static_cast<char>(bgra ? p[3] : 255)};
    }
  }
  return out;
}

std::uint32_t Crc(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

struct Reference {
  std::string name;
  int width = 0, height = 0;
  std::uint32_t crc = 0;
};

// tests/data/webp/reference.txt: dwebp's pixels, and Pillow's for an animation's first frame
// (tests/data/webp/reference.py).
std::vector<Reference> References() {
  std::ifstream in(test::DataPath("webp/reference.txt"));
  std::vector<Reference> refs;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Reference r;
    fields >> r.name >> r.width >> r.height >> std::hex >> r.crc;
    refs.push_back(r);
  }
  return refs;
}

#ifndef _WIN32
// dwebp's RGBA for the file, or an empty string when it fails.
std::string Dwebp(const std::string& path) {
  const std::string out = test::FreshDir("webp_reference") + "out.pam";
  const std::string command = "/usr/bin/dwebp -quiet -pam '" + path + "' -o '" + out + "'";
  if (std::system(command.c_str()) != 0) return std::string();
  const std::string pam = test::ReadBytes(out);
  const std::size_t end = pam.find("ENDHDR\n");
  return end == std::string::npos ? std::string() : pam.substr(end + 7);
}
#endif

// Decodes every reference picture through the applier's table and checks its size and the CRC of
// its pixels; `more` sees each picture's RGBA for further checks.
void CheckReferencePictures(
    const std::function<void(const std::string& path, const std::string& rgba)>& more = {}) {
  const std::vector<Reference> refs = References();
  ASSERT_EQ(refs.size(), 80u);
  for (const Reference& ref : refs) {
    SCOPED_TRACE(ref.name);
    const std::string path = test::DataPath("webp/" + ref.name);
    TRasterBitmap bitmap = DecodeImageFile(path);
    ASSERT_EQ(bitmap.Width(), ref.width);
    ASSERT_EQ(bitmap.Height(), ref.height);
    const std::string rgba = Rgba(bitmap);
    EXPECT_EQ(Crc(rgba), ref.crc);
    if (more) more(path, rgba);
  }
}

// Every picture of the corpus, pixel for pixel: the decoder is libwebp itself, natively the very
// library dwebp uses and under Windows our cross-built copy (SSE2 and SSE4.1 variants chosen at
// run time), so nothing but an exact match is right.
TEST(WebPReference, EveryPictureMatchesTheReferenceDecoderExactly) {
  CheckReferencePictures([](const std::string& path, const std::string& ours) {
#ifndef _WIN32
    if (path.find("/anim_") != std::string::npos) return;  // dwebp declines animations
    const std::string theirs = Dwebp(path);
    ASSERT_EQ(theirs.size(), ours.size());
    EXPECT_EQ(Crc(theirs), Crc(ours));
    const std::size_t differs =
        std::mismatch(ours.begin(), ours.end(), theirs.begin()).first - ours.begin();
    EXPECT_EQ(differs, ours.size()) << "first difference at byte " << differs;
#else
    (void)path;
    (void)ours;
#endif
  });
}

// A CPU without SSE2 (which Windows 7 allows) gets libwebp's plain C code: the same pixels.
TEST(WebPReference, WithoutSimdThePicturesAreTheSame) {
  struct PlainCode {
    VP8CpuProbe saved = VP8GetCPUInfo;
    PlainCode() {
      VP8GetCPUInfo = [](int) { return 0; };
    }
    ~PlainCode() { VP8GetCPUInfo = saved; }
  } plain_code;
  CheckReferencePictures();
}

struct FormatCase {
  const char* name;
  TRasterFormat format;
};

// Opaque pictures come out as an RGB PNG does, those with alpha as an RGBA PNG: 32 bits with
// the alpha kept, not applied. An animation's canvas is transparent where its first frame does
// not reach.
TEST(WebPReader, PixelFormatFollowsAlpha) {
  const FormatCase cases[] = {
      {"libwebp-test-data/test.webp", TRasterFormat::rf24Bit},
      {"libwebp-test-data/lossless_vec_2_0.webp", TRasterFormat::rf24Bit},
      {"libwebp-test-data/lossy_alpha1.webp", TRasterFormat::rf32Bit},
      {"libwebp-test-data/lossless4.webp", TRasterFormat::rf32Bit},
      {"made/anim_offset.webp", TRasterFormat::rf32Bit},
      {"made/anim_opaque.webp", TRasterFormat::rf24Bit},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    TRasterBitmap bitmap = DecodeImageFile(test::DataPath(std::string("webp/") + c.name));
    EXPECT_EQ(bitmap.GetFormat(), c.format);
  }
  TRasterBitmap canvas = DecodeImageFile(test::DataPath("webp/made/anim_offset.webp"));
  EXPECT_EQ(canvas.ScanLine(5)[9 * 4 + 3], 0) << "outside the first frame";
}

TEST(WebPReader, SignatureAndProperties) {
  const std::string file = test::ReadBytes(test::DataPath("webp/made/icc_before_image.webp"));
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(file.data(), file.size());
  stream->SetPosition(0);
  EXPECT_TRUE(TWebPGraphic::CanLoadStream(*stream));
  EXPECT_EQ(stream->Position(), 0);
  // Its image headers lie behind a 70,000-byte profile: the VP8X chunk gives the size.
  TWebPGraphic reader;
  ASSERT_TRUE(reader.ReadImageProperties(*stream, 0));
  EXPECT_EQ(reader.ImageProperties.Width, 1000u);
  EXPECT_EQ(reader.ImageProperties.Height, 307u);
  EXPECT_TRUE(reader.ImageProperties.HasAlpha);
  EXPECT_EQ(reader.ImageProperties.ColorScheme, TColorScheme::RGBA);

  const std::string png = test::Png24(2, 2, 1);
  stream->Assign(png.data(), png.size());
  stream->SetPosition(0);
  EXPECT_FALSE(TWebPGraphic::CanLoadStream(*stream));
  stream->Assign(file.data(), 19);
  stream->SetPosition(0);
  EXPECT_FALSE(TWebPGraphic::CanLoadStream(*stream)) << "shorter than a RIFF and a chunk header";
  EXPECT_EQ(Message(png), 1);
}

// ---- Files built in the test -------------------------------------------------------------------

std::string Le32(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

std::string Riff(const std::string& chunks) {
  return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WEBP" + chunks;
}

std::string Chunk(const std::string& tag, const std::string& data) {
  std::string padded = data;
  if (padded.size() % 2) padded += '\0';
  return tag + Le32(static_cast<std::uint32_t>(data.size())) + padded;
}

// A lossy key frame's header for width x height, then filler that decodes as nothing sensible.
std::string Vp8(int width, int height, std::size_t filler) {
  const std::uint32_t partition = 8;
  const std::uint32_t tag = 0x10 | partition << 5;  // key frame, version 0, shown
  std::string data = {static_cast<char>(tag),
                      static_cast<char>(tag >> 8),
                      static_cast<char>(tag >> 16),
                      '\x9d',
                      '\x01',
                      '\x2a',
                      static_cast<char>(width),
                      static_cast<char>(width >> 8),
                      static_cast<char>(height),
                      static_cast<char>(height >> 8)};
  return Chunk("VP8 ", data + std::string(filler, '\x55'));
}

// A lossless header: signature, then width - 1 and height - 1 in 14 bits each, no alpha.
std::string Vp8l(int width, int height) {
  const std::uint32_t bits = (width - 1) | (height - 1) << 14;
  return Chunk("VP8L", "\x2f" + Le32(bits) + std::string(16, '\0'));
}

TEST(WebPReader, ClaimedSizesAreRefusedBeforeDecoding) {
  // 16383 x 16383 lossy in a 50-byte file: its data could not even code the macroblocks' modes.
  EXPECT_EQ(Message(Riff(Vp8(16383, 16383, 30))), 1);
  // Lossless at that size would need a second copy of the picture: beyond the memory budget.
  EXPECT_EQ(Message(Riff(Vp8l(16383, 16383))), 4);
  // An animation's canvas of 60000 x 60000.
  const std::string vp8x = std::string("\x02\0\0\0\x5f\xea\0\x5f\xea\0", 10);
  EXPECT_EQ(Message(Riff(Chunk("VP8X", vp8x) + Chunk("ANIM", std::string(6, '\0')))), 4);
  // A small lossy header whose first partition runs past its data is damaged image data.
  EXPECT_EQ(Message(Riff(Vp8(16, 16, 4))), 7);
}

TEST(WebPReader, CutShortIsRefusedAndTrailingBytesIgnored) {
  const std::string file = test::ReadBytes(test::DataPath("webp/libwebp-test-data/test.webp"));
  EXPECT_EQ(Message(file.substr(0, file.size() / 2)), 1);
  EXPECT_EQ(Message(file + "trailing bytes"), 0);
}

// Damaged copies of real files end in a picture or a message, never anything else.
TEST(WebPReader, DamagedFilesEndInAMessage) {
  test::SweepDataFiles(
      {"webp/libwebp-test-data/small_13x1.webp", "webp/libwebp-test-data/lossless_vec_1_1.webp",
       "webp/libwebp-test-data/lossy_alpha2.webp", "webp/made/anim_offset.webp"},
      300, {0, 1, 4, 7}, Message);
}

}  // namespace
}  // namespace vistrel
