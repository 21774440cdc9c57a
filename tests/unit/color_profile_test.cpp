#include "imaging/color_profile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imaging/jpeg_picture.h"
#include "imaging/png_reader.h"
#include "imaging/psd_reader.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string IccPath(const std::string& name) {
  return test::DataPath("icc/" + name);
}

// ---- Files taken apart and put together again ---------------------------------------------------

std::string Big16(std::size_t v) {
  return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)};
}
std::string Big32(std::size_t v) {
  return Big16(v >> 16) + Big16(v & 0xFFFF);
}

// The JPEG file without its APP2 segments; profile gets their ICC payloads joined in order.
std::string WithoutApp2(const std::string& jpeg, std::string* profile = nullptr) {
  std::string out = jpeg.substr(0, 2);
  std::size_t i = 2;
  while (i + 4 <= jpeg.size() && static_cast<std::uint8_t>(jpeg[i + 1]) != 0xDA) {
    const std::size_t length =
        static_cast<std::uint8_t>(jpeg[i + 2]) << 8 | static_cast<std::uint8_t>(jpeg[i + 3]);
    if (static_cast<std::uint8_t>(jpeg[i + 1]) == 0xE2) {
      if (profile) *profile += jpeg.substr(i + 4 + 14, length - 2 - 14);
    } else {
      out += jpeg.substr(i, 2 + length);
    }
    i += 2 + length;
  }
  return out + jpeg.substr(i);
}

// APP2 ICC segments (number, count, part of the profile) placed after the start marker.
struct Segment {
  int number, count;
  std::string data;
};
std::string WithApp2(const std::string& jpeg, const std::vector<Segment>& segments) {
  std::string markers;
  for (const Segment& s : segments) {
    markers += "\xFF\xE2" + Big16(2 + 14 + s.data.size()) + std::string("ICC_PROFILE", 12) +
               static_cast<char>(s.number) + static_cast<char>(s.count) + s.data;
  }
  return jpeg.substr(0, 2) + markers + jpeg.substr(2);
}

// The profile in pieces of at most `piece` bytes, numbered in order.
std::vector<Segment> Split(const std::string& profile, std::size_t piece) {
  std::vector<Segment> out;
  const int count = static_cast<int>((profile.size() + piece - 1) / piece);
  for (int i = 0; i < count; ++i) out.push_back({i + 1, count, profile.substr(i * piece, piece)});
  return out;
}

std::string AdobeProfile() {
  std::string profile;
  WithoutApp2(test::ReadBytes(IccPath("hibiscus-adobergb.jpg")), &profile);
  return profile;
}

// The PNG file with its iCCP chunk's data replaced (none: the chunk left out).
std::string WithIccp(const std::string& png, const std::string* data) {
  std::string out = png.substr(0, 8);
  for (std::size_t i = 8; i + 12 <= png.size();) {
    const std::size_t length = std::uint32_t{static_cast<std::uint8_t>(png[i])} << 24 |
                               std::uint32_t{static_cast<std::uint8_t>(png[i + 1])} << 16 |
                               std::uint32_t{static_cast<std::uint8_t>(png[i + 2])} << 8 |
                               static_cast<std::uint8_t>(png[i + 3]);
    const std::string type = png.substr(i + 4, 4);
    std::string chunk = png.substr(i + 4, 4 + length);
    if (type == "iCCP") chunk = data ? "iCCP" + *data : "";
    if (!chunk.empty()) {
      const auto* p = reinterpret_cast<const Bytef*>(chunk.data());
      out += Big32(chunk.size() - 4) + chunk + Big32(crc32(0, p, static_cast<uInt>(chunk.size())));
    }
    i += 12 + length;
  }
  return out;
}

std::string Deflated(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
           static_cast<uLong>(data.size()));
  out.resize(size);
  return out;
}

// An 8-bit raw RGB Photoshop file of a colour ramp, with these image resources.
std::string RgbPsd(const std::string& resources) {
  constexpr int kSide = 16;
  std::string out = "8BPS" + Big16(1) + std::string(6, '\0') + Big16(3) + Big32(kSide) +
                    Big32(kSide) + Big16(8) + Big16(3) + Big32(0) + Big32(resources.size()) +
                    resources + Big32(0) + Big16(0);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < kSide * kSide; ++i) out += static_cast<char>((i * (c + 3) + 40 * c) & 0xFF);
  return out;
}
std::string Resource(int id, const std::string& data) {
  return "8BIM" + Big16(id) + std::string(2, '\0') + Big32(data.size()) + data +
         std::string(data.size() % 2, '\0');
}

// ---- Decoding ---------------------------------------------------------------------------------

enum class Format { kJpeg, kPng, kPsd };

std::unique_ptr<TRasterBitmap> Decode(const std::string& bytes, Format format) {
  auto stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  if (format == Format::kJpeg) {
    TJpegPicture picture;
    picture.LoadFromStream(*stream);
    TRasterBitmap* bitmap = picture.Bitmap();
    return bitmap ? std::make_unique<TRasterBitmap>(std::move(*bitmap)) : nullptr;
  }
  std::unique_ptr<TImageReader> reader;
  if (format == Format::kPng) {
    auto png = std::make_unique<TPNGGraphic>();
    png->LoadFromStream(*stream);
    reader = std::move(png);
  } else {
    auto psd = std::make_unique<TPSDGraphic>();
    psd->LoadFromStream(*stream);
    reader = std::move(psd);
  }
  return std::move(reader->Bitmap);
}

// Byte for byte: size, format, colour table and pixels.
::testing::AssertionResult SameBitmap(TRasterBitmap* a, TRasterBitmap* b) {
  if (!a || !b) return ::testing::AssertionFailure() << "no bitmap";
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->GetFormat() != b->GetFormat() ||
      a->PixelMemorySize() != b->PixelMemorySize())
    return ::testing::AssertionFailure() << "different shape";
  for (int i = 0; i < 256; ++i)
    if (a->PaletteEntry(i) != b->PaletteEntry(i))
      return ::testing::AssertionFailure() << "colour table entry " << i;
  if (std::memcmp(a->PixelMemory(), b->PixelMemory(), a->PixelMemorySize()) != 0)
    return ::testing::AssertionFailure() << "different pixels";
  return ::testing::AssertionSuccess();
}

// ---- The profile itself -----------------------------------------------------------------------

TEST(ColorProfile, IccSegmentsJoinInNumberOrderOrNotAtAll) {
  const std::string profile = AdobeProfile();
  ASSERT_EQ(profile.size(), 580u);
  constexpr int kForeign = -1;  // an APP2 segment of another kind
  struct Case {
    const char* what;
    int count;               // the count every segment gives
    std::vector<int> order;  // the segments' numbers in file order
    bool joins;
  } cases[] = {
      {"in order", 3, {1, 2, 3}, true},     {"any order", 3, {3, 1, 2}, true},
      {"one segment", 1, {1}, true},        {"foreign APP2 between", 2, {2, kForeign, 1}, true},
      {"one missing", 3, {1, 3}, false},    {"number twice", 3, {1, 2, 2, 3}, false},
      {"number zero", 2, {0, 1, 2}, false}, {"beyond the count", 3, {1, 2, 3, 4}, false},
      {"count zero", 0, {1}, false},        {"none", 1, {kForeign}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t piece = (profile.size() + std::max(c.count, 1) - 1) / std::max(c.count, 1);
    std::vector<std::string> payloads;
    for (int n : c.order) {
      const std::size_t from =
          std::min(static_cast<std::size_t>(std::max(n - 1, 0)) * piece, profile.size());
      payloads.push_back(n == kForeign
                             ? std::string("MPF\0other", 9)
                             : std::string("ICC_PROFILE", 12) + static_cast<char>(n) +
                                   static_cast<char>(c.count) + profile.substr(from, piece));
    }
    std::vector<SegmentPayload> segments;
    for (const std::string& p : payloads)
      segments.push_back({reinterpret_cast<const std::uint8_t*>(p.data()), p.size()});
    const Bytes joined = JoinIccSegments(segments);
    EXPECT_EQ(std::string(joined.begin(), joined.end()), c.joins ? profile : "");
  }
  // Parts that add up to more than a profile may hold (more than JPEG segments can carry).
  std::vector<std::string> parts;
  std::vector<SegmentPayload> segments;
  for (int i = 1; i <= 255; ++i)
    parts.push_back(std::string("ICC_PROFILE", 12) + static_cast<char>(i) + '\xFF' +
                    std::string(66000, 'x'));
  for (const std::string& p : parts)
    segments.push_back({reinterpret_cast<const std::uint8_t*>(p.data()), p.size()});
  EXPECT_TRUE(JoinIccSegments(segments).empty());
}

TEST(ColorProfile, ProfilesThatCannotServeAreRefused) {
  const std::string adobe = AdobeProfile();
  std::string gray;
  WithoutApp2(test::ReadBytes(IccPath("hibiscus-gray.jpg")), &gray);
  auto bytes = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  std::string wrong_size = adobe;
  wrong_size[3] = 1;  // the header's size no longer the profile's
  struct Case {
    const char* what;
    Bytes profile;
    PixelLayout layout;
    std::uint64_t memory;
    bool usable;
  } cases[] = {
      {"Adobe RGB for BGR rows", bytes(adobe), PixelLayout::kBgr, kColorTransformMemory, true},
      {"Adobe RGB for BGRA rows", bytes(adobe), PixelLayout::kBgra, kColorTransformMemory, true},
      {"grey for grey", bytes(gray), PixelLayout::kGray, kColorTransformMemory, true},
      {"empty", {}, PixelLayout::kBgr, kColorTransformMemory, false},
      {"not a profile", Bytes(600, 0x41), PixelLayout::kBgr, kColorTransformMemory, false},
      {"cut short", bytes(adobe.substr(0, 300)), PixelLayout::kBgr, kColorTransformMemory, false},
      {"size field wrong", bytes(wrong_size), PixelLayout::kBgr, kColorTransformMemory, false},
      {"RGB profile for CMYK", bytes(adobe), PixelLayout::kCmyk, kColorTransformMemory, false},
      {"RGB profile for grey", bytes(adobe), PixelLayout::kGray, kColorTransformMemory, false},
      {"grey profile for RGB", bytes(gray), PixelLayout::kBgr, kColorTransformMemory, false},
      {"more memory than allowed", bytes(adobe), PixelLayout::kBgr, 4096, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<ColorTransform> transform =
        ColorTransform::Create(c.profile, c.layout, c.memory);
    EXPECT_EQ(transform != nullptr, c.usable);
    if (transform) {
      EXPECT_GT(transform->PeakMemory(), 4096u);
      EXPECT_LE(transform->PeakMemory(), c.memory);
    }
  }
}

TEST(ColorProfile, AlphaIsLeftAsItIs) {
  const std::string adobe = AdobeProfile();
  auto transform = ColorTransform::Create(Bytes(adobe.begin(), adobe.end()), PixelLayout::kBgra);
  ASSERT_NE(transform, nullptr);
  std::uint8_t pixels[] = {10, 200, 30, 0, 10, 200, 30, 77, 255, 255, 255, 255};
  transform->Convert(pixels, pixels, 3);
  EXPECT_EQ(pixels[3], 0);
  EXPECT_EQ(pixels[7], 77);
  EXPECT_EQ(pixels[11], 255);
  EXPECT_NE(pixels[1], 200);  // Adobe RGB's green is more saturated than sRGB's can be
}

// Damaged copies of a real profile: lcms2 takes or refuses each, and what it takes converts.
TEST(ColorProfile, DamagedProfilesAreTakenOrRefusedCleanly) {
  test::DamageSweep sweep;
  sweep.one_flip_per_byte = true;
  test::SweepDamage(AdobeProfile(), sweep, [](const std::string& bytes, const test::Damage&) {
    auto transform = ColorTransform::Create(Bytes(bytes.begin(), bytes.end()), PixelLayout::kBgra);
    std::uint8_t pixels[] = {0, 0, 0, 9, 255, 255, 255, 9, 10, 200, 30, 9};
    if (transform) transform->Convert(pixels, pixels, 3);
    EXPECT_EQ(pixels[3] + pixels[7] + pixels[11], 27);
  });
}

// ---- In the readers ----------------------------------------------------------------------------

// Every way a JPEG's profile can be spread or broken: a set that joins is the whole profile,
// anything else leaves the picture as stored, byte for byte.
TEST(ColorProfileInReaders, JpegSegmentsInAnyOrderOrIgnored) {
  const std::string file = test::ReadBytes(IccPath("hibiscus-adobergb.jpg"));
  std::string profile;
  const std::string bare = WithoutApp2(file, &profile);
  auto with_profile = Decode(file, Format::kJpeg);
  auto as_stored = Decode(bare, Format::kJpeg);
  ASSERT_FALSE(SameBitmap(with_profile.get(), as_stored.get()));

  std::vector<Segment> parts = Split(profile, 200);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_TRUE(
      SameBitmap(Decode(WithApp2(bare, {parts[2], parts[0], parts[1]}), Format::kJpeg).get(),
                 with_profile.get()));
  std::vector<Segment> duplicate = {parts[0], parts[1], parts[1]};
  std::vector<Segment> miscounted = parts;
  miscounted[1].count = 4;
  std::string cut = profile.substr(0, 400);
  std::string gray;
  WithoutApp2(test::ReadBytes(IccPath("hibiscus-gray.jpg")), &gray);
  const std::vector<std::vector<Segment>> ignored = {
      {parts[0], parts[2]}, duplicate, miscounted, {{1, 1, cut}}, {{1, 1, std::string(580, 'x')}},
      {{1, 1, gray}}};
  for (std::size_t i = 0; i < ignored.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(
        SameBitmap(Decode(WithApp2(bare, ignored[i]), Format::kJpeg).get(), as_stored.get()));
  }
}

// A profile of sRGB itself, as most cameras and editors embed, changes nothing: the corpus files
// with one decode as without it.
TEST(ColorProfileInReaders, SrgbProfilesLeaveThePictureAsStored) {
  for (const char* name : {"jpeg/pillow/flower2.jpg", "jpeg/pillow/pil_sample_rgb.jpg"}) {
    SCOPED_TRACE(name);
    const std::string file = test::ReadBytes(test::DataPath(name));
    std::string profile;
    const std::string bare = WithoutApp2(file, &profile);
    ASSERT_GT(profile.size(), 500u);
    EXPECT_TRUE(SameBitmap(Decode(file, Format::kJpeg).get(), Decode(bare, Format::kJpeg).get()));
  }
}

TEST(ColorProfileInReaders, BrokenPngProfilesAreIgnored) {
  const std::string file = test::ReadBytes(IccPath("peacock-adobergb.png"));
  const std::string adobe = AdobeProfile();
  auto as_stored = Decode(WithIccp(file, nullptr), Format::kPng);
  ASSERT_FALSE(SameBitmap(Decode(file, Format::kPng).get(), as_stored.get()));
  const std::string name("icc", 4);
  const std::string damaged[] = {
      name + std::string(1, '\0') + Deflated(adobe).substr(0, 100),        // the stream cut off
      name + std::string(1, '\1') + Deflated(adobe),                       // not deflate
      std::string(1, '\0') + std::string(1, '\0') + Deflated(adobe),       // no keyword
      name + std::string(1, '\0') + "\x78\x9C" + std::string(40, '\xFF'),  // not a zlib stream
      name + std::string(1, '\0') + Deflated(adobe + std::string(kMaxIccProfileBytes, '\0')),
      name + std::string(1, '\0') + Deflated(adobe.substr(0, 300)),
  };
  for (std::size_t i = 0; i < std::size(damaged); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(
        SameBitmap(Decode(WithIccp(file, &damaged[i]), Format::kPng).get(), as_stored.get()));
  }
  // A chunk whose CRC is wrong was never checked before it was used: still no error.
  std::string bad_crc = file;
  const std::size_t at = bad_crc.find("iCCP");
  ASSERT_NE(at, std::string::npos);
  const std::size_t length =
      static_cast<std::uint8_t>(bad_crc[at - 2]) << 8 | static_cast<std::uint8_t>(bad_crc[at - 1]);
  bad_crc[at + 4 + length] ^= 0x55;
  EXPECT_TRUE(SameBitmap(Decode(bad_crc, Format::kPng).get(), as_stored.get()));
  // The same chunk as the file's, made here, is used.
  const std::string remade = name + std::string(1, '\0') + Deflated(adobe);
  EXPECT_TRUE(SameBitmap(Decode(WithIccp(file, &remade), Format::kPng).get(),
                         Decode(file, Format::kPng).get()));
}

TEST(ColorProfileInReaders, PsdResource1039) {
  const std::string adobe = AdobeProfile();
  auto as_stored = Decode(RgbPsd(""), Format::kPsd);
  auto converted = Decode(RgbPsd(Resource(1005, "xyz") + Resource(1039, adobe)), Format::kPsd);
  ASSERT_NE(as_stored, nullptr);
  EXPECT_FALSE(SameBitmap(converted.get(), as_stored.get()));
  std::string overlong = Resource(1039, adobe);
  overlong[8] = '\x7F';  // a size beyond the section
  for (const std::string& resources : {overlong, Resource(1039, adobe.substr(0, 200)),
                                       Resource(1038, adobe), std::string("8BIM\x04\x0F", 6)}) {
    EXPECT_TRUE(SameBitmap(Decode(RgbPsd(resources), Format::kPsd).get(), as_stored.get()));
  }
}

#ifndef _WIN32
Format FormatOf(const std::string& name) {
  const std::string ext = name.substr(name.rfind('.'));
  return ext == ".jpg" ? Format::kJpeg : ext == ".png" ? Format::kPng : Format::kPsd;
}

// Pixel (x, y) as red, green, blue, alpha (255 without alpha), through the colour table.
void PixelAt(TRasterBitmap& b, int x, int y, int out[4]) {
  const std::uint8_t* row = b.ScanLine(y);
  std::uint32_t rgb = 0;
  out[3] = 255;
  switch (b.GetFormat()) {
    case TRasterFormat::rf1Bit: rgb = b.PaletteEntry((row[x / 8] >> (7 - x % 8)) & 1); break;
    case TRasterFormat::rf4Bit: rgb = b.PaletteEntry((row[x / 2] >> (x % 2 ? 0 : 4)) & 15); break;
    case TRasterFormat::rf8Bit: rgb = b.PaletteEntry(row[x]); break;
    case TRasterFormat::rf24Bit:
      rgb = row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
      break;
    default: rgb = row[4 * x + 2] << 16 | row[4 * x + 1] << 8 | row[4 * x]; out[3] = row[4 * x + 3];
  }
  out[0] = rgb >> 16 & 0xFF, out[1] = rgb >> 8 & 0xFF, out[2] = rgb & 0xFF;
}

// Pillow's ImageCms rendering of the file into sRGB (relative colorimetric, lcms2's own sRGB),
// red, green, blue per pixel, then the alpha plane when the picture has one.
struct Rendering {
  int width = 0, height = 0;
  bool alpha = false;
  std::string pixels;
};

Rendering PillowSrgb(const std::string& path) {
  const std::string out = test::FreshDir("icc_reference") + "out.raw";
  const std::string command =
      "/usr/bin/python3 -c \"import io, sys; from PIL import Image, ImageCms; "
      "im = Image.open(sys.argv[1]); icc = im.info['icc_profile']; "
      "alpha = im.getchannel('A').tobytes() if im.mode == 'RGBA' else b''; "
      "src = im.convert('RGB') if im.mode in ('P', 'RGBA') else im; "
      "rgb = ImageCms.profileToProfile(src, ImageCms.ImageCmsProfile(io.BytesIO(icc)), "
      "ImageCms.createProfile('sRGB'), renderingIntent=1, outputMode='RGB'); "
      "open(sys.argv[2], 'wb').write(rgb.tobytes() + alpha); "
      "print(im.size[0], im.size[1], int(len(alpha) > 0))\" '" +
      path + "' '" + out + "' 2>/dev/null";
  Rendering r;
  int alpha = 0;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr || std::fscanf(pipe, "%d %d %d", &r.width, &r.height, &alpha) != 3)
    r.width = 0;
  if (pipe != nullptr) pclose(pipe);
  r.alpha = alpha != 0;
  if (r.width > 0) r.pixels = test::ReadBytes(out);
  return r;
}

TEST(ColorProfileReference, ColoursMatchPillowImageCms) {
  // Within 3 levels: both render through lcms2, from decoders that round differently (16-bit
  // samples, the inverse DCT) and from 8-bit rows where Pillow may keep more.
  constexpr int kTolerance = 3;
  const std::string dir = test::FreshDir("icc_made");
  // A CMYK JPEG (Adobe's inverted components) with a real press profile in 9 segments, taken
  // from a corpus PSD; an RGB Photoshop file with the Adobe RGB profile as resource 1039.
  std::string swop;
  {
    auto stream = CreateMemoryStream();
    std::string psd = test::ReadBytes(test::DataPath("psd/oiio/pattern2-8-cmyk.psd"));
    const std::size_t at = psd.find(std::string("8BIM\x04\x0F", 6));
    ASSERT_NE(at, std::string::npos);
    const std::size_t size = std::uint32_t{static_cast<std::uint8_t>(psd[at + 8])} << 24 |
                             std::uint32_t{static_cast<std::uint8_t>(psd[at + 9])} << 16 |
                             std::uint32_t{static_cast<std::uint8_t>(psd[at + 10])} << 8 |
                             static_cast<std::uint8_t>(psd[at + 11]);
    swop = psd.substr(at + 12, size);
  }
  const std::string cmyk_jpeg = dir + "cmyk-swop.jpg";
  test::WriteBytes(cmyk_jpeg,
                   WithApp2(test::ReadBytes(test::DataPath("jpeg/pillow/pil_sample_cmyk.jpg")),
                            Split(swop, 65000)));
  const std::string rgb_psd = dir + "rgb-adobe.psd";
  test::WriteBytes(rgb_psd, RgbPsd(Resource(1039, AdobeProfile())));
  const std::string files[] = {
      IccPath("hibiscus-adobergb.jpg"),
      IccPath("hibiscus-gray.jpg"),
      IccPath("peacock-adobergb.png"),
      IccPath("peacock-adobergb-rgba.png"),
      IccPath("peacock-adobergb-indexed.png"),
      IccPath("peacock-adobergb-interlaced16.png"),
      IccPath("peacock-gray.png"),
      cmyk_jpeg,
      rgb_psd,
      test::DataPath("psd/oiio/pattern2-8-cmyk.psd"),
      test::DataPath("psd/oiio/pattern2-8-grayscale.psd"),
  };
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const Rendering ref = PillowSrgb(path);
    ASSERT_GT(ref.width, 0) << "Pillow cannot render it";
    const std::size_t pixels = static_cast<std::size_t>(ref.width) * ref.height;
    ASSERT_EQ(ref.pixels.size(), pixels * (ref.alpha ? 4 : 3));
    auto ours = Decode(test::ReadBytes(path), FormatOf(path));
    ASSERT_NE(ours, nullptr);
    ASSERT_EQ(ours->Width(), ref.width);
    ASSERT_EQ(ours->Height(), ref.height);
    int worst = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
      int got[4];
      PixelAt(*ours, static_cast<int>(i % ref.width), static_cast<int>(i / ref.width), got);
      for (int c = 0; c < 3; ++c)
        worst =
            std::max(worst, std::abs(got[c] - static_cast<std::uint8_t>(ref.pixels[3 * i + c])));
      if (ref.alpha) {
        ASSERT_EQ(got[3], static_cast<std::uint8_t>(ref.pixels[3 * pixels + i]));
      }
    }
    EXPECT_LE(worst, kTolerance);
  }
}
#endif

}  // namespace
}  // namespace vistrel
