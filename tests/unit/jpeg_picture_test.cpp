#include "imaging/jpeg_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace vistrel {
namespace {

std::string JpegPath(const std::string& name) {
  return test::DataPath("jpeg/" + name);
}

void LoadBytes(TJpegPicture& picture, const std::string& bytes) {
  auto stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  picture.LoadFromStream(*stream);
}

// An EXIF block holding only the orientation tag.
std::string Exif(std::uint32_t orientation) {
  return test::ExifBlock(false, {test::ExifEntry{0x0112, 3, 1, orientation}});
}

// Offsets of the markers of a JPEG file, found by walking its segments and scans (a byte
// search would stop inside segment payloads).
struct Markers {
  std::size_t frame = 0;           // SOFn
  std::vector<std::size_t> scans;  // SOS
  std::size_t end = 0;             // EOI
};

Markers FindMarkers(const std::string& b) {
  auto at = [&b](std::size_t i) { return static_cast<std::uint8_t>(b.at(i)); };
  Markers m;
  std::size_t i = 2;
  while (i + 1 < b.size() && at(i) == 0xFF) {
    std::uint8_t code = at(i + 1);
    if (code == 0xD9) {
      m.end = i;
      return m;
    }
    std::size_t length = std::size_t{at(i + 2)} << 8 | at(i + 3);
    if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) m.frame = i;
    std::size_t next = i + 2 + length;
    if (code == 0xDA) {
      m.scans.push_back(i);
      while (next + 1 < b.size() &&
             !(at(next) == 0xFF && at(next + 1) != 0 && (at(next + 1) & 0xF8) != 0xD0)) {
        ++next;
      }
    }
    i = next;
  }
  throw std::runtime_error("no end of image");
}

// Declares another size (and, when given, one sampling byte for every component) in the frame.
std::string WithFrame(std::string b, unsigned width, unsigned height, int sampling = -1) {
  std::size_t f = FindMarkers(b).frame;
  b[f + 5] = static_cast<char>(height >> 8), b[f + 6] = static_cast<char>(height);
  b[f + 7] = static_cast<char>(width >> 8), b[f + 8] = static_cast<char>(width);
  for (int c = 0; sampling >= 0 && c < static_cast<std::uint8_t>(b[f + 9]); ++c)
    b[f + 11 + 3 * c] = static_cast<char>(sampling);
  return b;
}

// The file with its last scan repeated until it has `scans` scans.
std::string WithScans(const std::string& b, std::size_t scans) {
  Markers m = FindMarkers(b);
  std::string last = b.substr(m.scans.back(), m.end - m.scans.back());
  std::string out = b.substr(0, m.end);
  for (std::size_t n = m.scans.size(); n < scans; ++n) out += last;
  return out + b.substr(m.end);
}

TEST(JpegPicture, HeaderIsReadAtLoad) {
  TJpegPicture picture;
  int changes = 0;
  picture.SetOnChange([&changes](TJpegPicture&) { ++changes; });
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("libjpeg-turbo/testorig.jpg")));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picture.Width(), 227);
  EXPECT_EQ(picture.Height(), 149);
  EXPECT_FALSE(picture.IsProgressive());
  EXPECT_FALSE(picture.IsGrayscale());
  picture.SetScaleShift(2);
  EXPECT_EQ(picture.Width(), 57) << "libjpeg rounds scaled sizes up";
  EXPECT_EQ(picture.Height(), 38);
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("wuffs/peacock.progressive.jpeg")));
  EXPECT_TRUE(picture.IsProgressive());
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("pillow/hopper_gray.jpg")));
  EXPECT_TRUE(picture.IsGrayscale());
  picture.Clear();
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.Bitmap(), nullptr);
  picture.SetScaleShift(0);

  // The bytes from the stream's position on.
  std::string bytes = test::ReadBytes(JpegPath("wuffs/hat.jpeg"));
  auto stream = CreateMemoryStream();
  std::string prefixed = "junk" + bytes;
  stream->Assign(prefixed.data(), prefixed.size());
  stream->SetPosition(4);
  picture.LoadFromStream(*stream);
  EXPECT_EQ(picture.Width(), 90);
  EXPECT_EQ(picture.Height(), 112);
}

TEST(JpegPicture, WhatIsNoJpegLeavesThePictureEmpty) {
  std::string dir = test::FreshDir("jpeg_not_pictures");
  test::WriteBytes(dir + "empty.jpg", "");
  test::WriteBytes(dir + "text.jpg", "This is not a picture.\r\n");
  test::WriteBytes(dir + "marker_only.jpg", "\xFF\xD8");
  std::string good = test::ReadBytes(JpegPath("wuffs/hippopotamus.jpeg"));
  test::WriteBytes(dir + "cut_in_header.jpg", good.substr(0, FindMarkers(good).scans[0]));
  for (std::string path :
       {dir + "empty.jpg", dir + "text.jpg", dir + "marker_only.jpg", dir + "cut_in_header.jpg",
        dir + "missing.jpg", JpegPath("libjpeg-turbo/monkey12.jpg") /* 12-bit samples */}) {
    TJpegPicture picture;
    EXPECT_FALSE(picture.LoadFromFile(path)) << path;
    EXPECT_TRUE(picture.IsEmpty()) << path;
    EXPECT_EQ(picture.Bitmap(), nullptr) << path;
  }
}

TEST(JpegPicture, DeclaredSizesBeyondTheLimitsAreRefusedBeforeDecoding) {
  for (const char* bomb : {"oiio/bomb-65500x65500.jpg", "oiio/bomb-progressive-65500x65500.jpg"}) {
    TJpegPicture picture;
    EXPECT_FALSE(picture.LoadFromFile(JpegPath(bomb))) << bomb;
    EXPECT_EQ(picture.Bitmap(), nullptr) << bomb;
  }
  std::string baseline = test::ReadBytes(JpegPath("wuffs/peacock.default.jpeg"));
  std::string progressive = test::ReadBytes(JpegPath("wuffs/peacock.progressive.jpeg"));
  // Bytes after the end of the image count as data the scans could have used: enough for the
  // frames below to pass the data test, so that only the memory budget decides.
  const std::string pad(2u << 20, '\0');
  TJpegPicture picture;
  // 2 KB of data for 16384 x 16384 (4 million blocks): refused however little memory it took.
  LoadBytes(picture, WithFrame(baseline, 16384, 16384));
  EXPECT_TRUE(picture.IsEmpty()) << "the data cannot hold the blocks";
  LoadBytes(picture, WithFrame(baseline, 4000, 3000));
  EXPECT_TRUE(picture.IsEmpty()) << "still a hundred times too little";
  LoadBytes(picture, WithFrame(baseline, 800, 600));
  EXPECT_FALSE(picture.IsEmpty()) << "a plausible amount";
  // A 48-megapixel photograph fits the budget, one scan or several at 4:4:4.
  LoadBytes(picture, WithFrame(baseline, 8000, 6000) + pad);
  EXPECT_EQ(picture.Width(), 8000);
  LoadBytes(picture, WithFrame(progressive, 8000, 6000, 0x11) + pad);
  EXPECT_EQ(picture.Height(), 6000);
  // 20000 x 20000 at 24 bits is 1.2 GB of bitmap alone.
  LoadBytes(picture, WithFrame(baseline, 20000, 20000) + pad);
  EXPECT_TRUE(picture.IsEmpty());
  LoadBytes(picture, WithFrame(baseline, 12000, 12000) + pad);
  EXPECT_FALSE(picture.IsEmpty()) << "432 MB of bitmap";
  // Several scans: libjpeg keeps 2 bytes per sample of every component.
  LoadBytes(picture, WithFrame(progressive, 12000, 12000) + pad);
  EXPECT_FALSE(picture.IsEmpty()) << "4:2:0: 432 MB of coefficients besides 432 MB of bitmap";
  LoadBytes(picture, WithFrame(progressive, 12000, 12000, 0x11) + pad);
  EXPECT_TRUE(picture.IsEmpty()) << "4:4:4: 864 MB of coefficients besides the bitmap";
  // A quarter turn holds the bitmap twice; a half turn works in place.
  const std::string large = WithFrame(baseline, 16000, 12000) + pad;  // 576 MB of bitmap
  LoadBytes(picture, large);
  EXPECT_EQ(picture.Width(), 16000);
  LoadBytes(picture, test::WithApp1(large, Exif(3)));
  EXPECT_EQ(picture.Width(), 16000);
  LoadBytes(picture, test::WithApp1(large, Exif(6)));
  EXPECT_TRUE(picture.IsEmpty()) << "two bitmaps of 576 MB";
}

TEST(JpegPicture, TheFirstExifSegmentTurnsThePictureUpright) {
  const std::string plain = test::ReadBytes(JpegPath("libjpeg-turbo/testorig.jpg"));  // 227 x 149
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/", 29) + "<x:xmpmeta/>";
  TJpegPicture reference;
  LoadBytes(reference, plain);
  ASSERT_NE(reference.Bitmap(), nullptr);
  TRasterBitmap& stored = *reference.Bitmap();
  // WithApp1 puts its segment first.
  const struct {
    const char* name;
    std::string file;
    bool turned;
  } cases[] = {
      {"tag 1", test::WithApp1(plain, Exif(1)), false},
      {"broken block",
       test::WithApp1(plain, test::ExifBlock(true, {test::ExifEntry{0x0112, 3, 1, 6}}, 8)), false},
      {"XMP before EXIF", test::WithApp1(test::WithApp1(plain, Exif(6)), xmp), true},
      {"first EXIF says 1", test::WithApp1(test::WithApp1(plain, Exif(6)), Exif(1)), false},
      {"first EXIF says 6", test::WithApp1(test::WithApp1(plain, Exif(1)), Exif(6)), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TJpegPicture picture;
    LoadBytes(picture, c.file);
    EXPECT_EQ(picture.Width(), c.turned ? 149 : 227) << "the upright size before decoding";
    EXPECT_EQ(picture.Height(), c.turned ? 227 : 149);
    TRasterBitmap* bitmap = picture.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), picture.Width());
    EXPECT_FALSE(picture.DecodeFailed());
    if (c.turned) {
      // A quarter turn clockwise: the stored bottom-left pixel comes to the top-left.
      EXPECT_EQ(0, std::memcmp(bitmap->ScanLine(0), stored.ScanLine(148), 3));
    } else {
      ASSERT_EQ(bitmap->PixelMemorySize(), stored.PixelMemorySize());
      EXPECT_EQ(0,
                std::memcmp(bitmap->PixelMemory(), stored.PixelMemory(), stored.PixelMemorySize()))
          << "the stored picture, byte for byte";
    }
  }
}

TEST(JpegPicture, DecodeThatMakesNoRowGivesNoPicture) {
  // Without its quantisation tables the decode stops before the first row: the zero-filled
  // bitmap must not be handed out as the picture.
  std::string whole = test::ReadBytes(JpegPath("libjpeg-turbo/testorig.jpg"));
  std::string stripped = whole.substr(0, 2);
  for (std::size_t i = 2; i + 3 < whole.size();) {
    const auto code = static_cast<std::uint8_t>(whole[i + 1]);
    const std::size_t length = std::size_t{static_cast<std::uint8_t>(whole[i + 2])} << 8 |
                               static_cast<std::uint8_t>(whole[i + 3]);
    if (code == 0xDA) {
      stripped += whole.substr(i);
      break;
    }
    if (code != 0xDB) stripped += whole.substr(i, 2 + length);
    i += 2 + length;
  }
  ASSERT_LT(stripped.size(), whole.size());
  TJpegPicture picture;
  LoadBytes(picture, stripped);
  ASSERT_FALSE(picture.IsEmpty()) << "the header reads";
  EXPECT_EQ(picture.Bitmap(), nullptr);
  EXPECT_TRUE(picture.DecodeFailed());
  EXPECT_EQ(picture.Bitmap(), nullptr) << "and stays so without decoding again";
}

TEST(JpegPicture, MarkerInsideTheImageDataIsAFailedDecode) {
  // The entropy-coded data cut in the middle and the end-of-image marker put right after it:
  // libjpeg meets the marker where it wants data.
  std::string whole = test::ReadBytes(JpegPath("libjpeg-turbo/testorig.jpg"));
  Markers m = FindMarkers(whole);
  ASSERT_EQ(m.scans.size(), 1u);
  const std::size_t cut = m.scans[0] + (m.end - m.scans[0]) / 2;
  std::string early = whole.substr(0, cut);
  if (static_cast<std::uint8_t>(early.back()) == 0xFF) early.pop_back();
  early += "\xFF\xD9";
  TJpegPicture picture;
  LoadBytes(picture, early);
  ASSERT_NE(picture.Bitmap(), nullptr) << "the rows before the cut are a picture";
  EXPECT_TRUE(picture.DecodeFailed());
  TJpegPicture full;
  LoadBytes(full, whole);
  ASSERT_NE(full.Bitmap(), nullptr);
  EXPECT_FALSE(full.DecodeFailed());
}

TEST(JpegPicture, ScansBeyondTheLimitEndTheDecode) {
  std::string progressive = test::ReadBytes(JpegPath("wuffs/peacock.progressive.jpeg"));
  for (bool show : {false, true}) {
    SCOPED_TRACE(show);
    TJpegPicture picture;
    picture.SetShowProgressive(show);
    // The repeated refinement scans are bogus progression that libjpeg warns about (and may
    // meet a marker in), but the limit lets all of them through to the end.
    LoadBytes(picture, WithScans(progressive, kMaxJpegScans));
    ASSERT_NE(picture.Bitmap(), nullptr);
    EXPECT_EQ(picture.Bitmap()->Width(), 100);
    LoadBytes(picture, WithScans(progressive, kMaxJpegScans + 1));
    if (show) {
      // Passes were shown before the limit: the picture as far as it got.
      ASSERT_NE(picture.Bitmap(), nullptr);
      EXPECT_EQ(picture.Bitmap()->Width(), 100);
    } else {
      // All scans are read before the first row: no row was made, so no picture.
      EXPECT_EQ(picture.Bitmap(), nullptr);
    }
    EXPECT_TRUE(picture.DecodeFailed());
  }
}

TEST(JpegPicture, BitmapDecodesOnceIntoBottomUpRows) {
  TJpegPicture picture;
  std::vector<ProgressRect> calls;
  int changes = 0;
  picture.SetProgressHook([&calls](TJpegPicture&, const ProgressRect& r) { calls.push_back(r); });
  picture.SetOnChange([&changes](TJpegPicture&) { ++changes; });
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("wuffs/mona-lisa.21x32.q90.jpeg")));
  TRasterBitmap* first = picture.Bitmap();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(picture.Bitmap(), first);
  ASSERT_EQ(calls.size(), 2u) << "one decode: a start and an end call";
  EXPECT_EQ(calls[0].right, 0);
  EXPECT_EQ(calls[1].right, 21);
  EXPECT_EQ(calls[1].bottom, 32);
  EXPECT_EQ(changes, 1) << "a colour decode builds no colour table";
  EXPECT_FALSE(picture.DecodeFailed());
  EXPECT_EQ(first->GetFormat(), TRasterFormat::rf24Bit);
  EXPECT_EQ(first->PixelMemory(), first->ScanLine(31)) << "the bottom row comes first";

  ASSERT_TRUE(picture.LoadFromFile(JpegPath("wuffs/bricks-gray.jpeg")));
  TRasterBitmap* gray = picture.Bitmap();
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(gray->GetFormat(), TRasterFormat::rf8Bit);
  EXPECT_EQ(changes, 3) << "the load and the grey colour table";
  int used = 0;
  for (int i = 0; i < 256; ++i) {
    std::uint32_t entry = gray->PaletteEntry(i);
    EXPECT_EQ(entry, (entry & 0xFF) * 0x010101u) << i;
    if (i >= 236) {
      EXPECT_EQ(entry, 0u) << i;
    }
  }
  for (int y = 0; y < gray->Height(); ++y)
    for (int x = 0; x < gray->Width(); ++x) used = std::max<int>(used, gray->ScanLine(y)[x] + 1);
  EXPECT_LE(used, 236);
  EXPECT_GT(used, 200) << "a photo uses most grey levels";
}

TEST(JpegPicture, SettingsReachTheDecoder) {
  TJpegPicture picture;
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("libjpeg-turbo/testorig.jpg")));
  picture.SetScaleShift(9);
  EXPECT_EQ(picture.ScaleShift(), 3);
  ASSERT_NE(picture.Bitmap(), nullptr);
  EXPECT_EQ(picture.Bitmap()->Width(), 29);
  EXPECT_EQ(picture.Bitmap()->Height(), 19);

  picture.SetScaleShift(0);
  picture.SetForceGray(true);
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("libjpeg-turbo/testorig.jpg")));
  ASSERT_NE(picture.Bitmap(), nullptr);
  EXPECT_EQ(picture.Bitmap()->GetFormat(), TRasterFormat::rf8Bit);
  EXPECT_EQ(picture.Bitmap()->PaletteEntry(100),
            (picture.Bitmap()->PaletteEntry(100) & 0xFF) * 0x010101u);

  picture.SetForceGray(false);
  picture.SetQuantizeTo8Bit(true);
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("libjpeg-turbo/testorig.jpg")));
  ASSERT_NE(picture.Bitmap(), nullptr);
  EXPECT_EQ(picture.Bitmap()->GetFormat(), TRasterFormat::rf8Bit);

  // Smoothing fills in the missing detail of a file that holds only its first scan.
  std::vector<std::uint8_t> rows[2];
  for (bool smooth : {false, true}) {
    TJpegPicture first_scan;
    first_scan.SetSmoothBlocks(smooth);
    ASSERT_TRUE(first_scan.LoadFromFile(
        JpegPath("wuffs/progressive-scans/peacock.progressive.scan000.jpeg")));
    TRasterBitmap* bitmap = first_scan.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    rows[smooth].assign(bitmap->PixelMemory(), bitmap->PixelMemory() + bitmap->PixelMemorySize());
  }
  EXPECT_NE(rows[0], rows[1]);
}

TEST(JpegPicture, CancelStopsOnlyAProgressiveDisplay) {
  for (bool show : {false, true}) {
    TJpegPicture picture;
    picture.SetShowProgressive(show);
    int scans_seen = 0;
    picture.SetMonitorHook([&scans_seen](TJpegPicture& p, const JpegProgress& progress) {
      scans_seen = std::max(scans_seen, progress.scan_number);
      p.SetCancelRequested(true);
    });
    ASSERT_TRUE(picture.LoadFromFile(JpegPath("wuffs/peacock.progressive.jpeg")));
    ASSERT_NE(picture.Bitmap(), nullptr);
    EXPECT_EQ(picture.DecodeFailed(), show);
    if (show) {
      EXPECT_LT(scans_seen, 10) << "stopped before the last scan";
    } else {
      EXPECT_EQ(scans_seen, 10);
    }
  }
}

TEST(JpegPicture, HookExceptionsStayInside) {
  // Both hooks throw before the first row: the decode ends quietly, and as it made no row it
  // gives no picture rather than a blank one.
  TJpegPicture picture;
  picture.SetMonitorHook([](TJpegPicture&, const JpegProgress&) { throw std::runtime_error("x"); });
  ASSERT_TRUE(picture.LoadFromFile(JpegPath("wuffs/peacock.default.jpeg")));
  EXPECT_EQ(picture.Bitmap(), nullptr);
  EXPECT_TRUE(picture.DecodeFailed());

  TJpegPicture other;
  other.SetProgressHook([](TJpegPicture&, const ProgressRect&) { throw std::runtime_error("y"); });
  ASSERT_TRUE(other.LoadFromFile(JpegPath("wuffs/peacock.default.jpeg")));
  EXPECT_EQ(other.Bitmap(), nullptr);
  EXPECT_TRUE(other.DecodeFailed()) << "the decode never ran";

  // A hook that throws after rows were made leaves the picture as far as it got.
  TJpegPicture late;
  int calls = 0;
  late.SetProgressHook([&calls](TJpegPicture&, const ProgressRect&) {
    if (++calls == 2) throw std::runtime_error("z");
  });
  ASSERT_TRUE(late.LoadFromFile(JpegPath("wuffs/peacock.default.jpeg")));
  ASSERT_NE(late.Bitmap(), nullptr);
  EXPECT_EQ(late.Bitmap()->Width(), 100);
}

TEST(JpegPicture, CmykFilesBecomeColoursUnlessAHookWantsTheComponents) {
  for (const char* name : {"pillow/pil_sample_cmyk.jpg", "oiio/YCbCrK.jpg"}) {
    SCOPED_TRACE(name);
    TJpegPicture plain;
    ASSERT_TRUE(plain.LoadFromFile(JpegPath(name)));
    ASSERT_NE(plain.Bitmap(), nullptr);
    EXPECT_EQ(plain.Bitmap()->GetFormat(), TRasterFormat::rf24Bit);
    EXPECT_FALSE(plain.DecodeFailed());

    // Callers that set the hook still get the four components, for the hook to convert.
    TJpegPicture hooked;
    TRasterBitmap* seen = nullptr;
    hooked.SetCmykHook([&seen](TRasterBitmap& bitmap) { seen = &bitmap; });
    ASSERT_TRUE(hooked.LoadFromFile(JpegPath(name)));
    TRasterBitmap* bitmap = hooked.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(seen, bitmap);
    EXPECT_EQ(bitmap->GetFormat(), TRasterFormat::rf32Bit);
  }
  TJpegPicture quantized;
  quantized.SetCmykHook([](TRasterBitmap&) {});
  quantized.SetQuantizeTo8Bit(true);
  ASSERT_TRUE(quantized.LoadFromFile(JpegPath("oiio/YCbCrK.jpg")));
  ASSERT_NE(quantized.Bitmap(), nullptr);
  EXPECT_EQ(quantized.Bitmap()->GetFormat(), TRasterFormat::rf32Bit)
      << "no colour table holds CMYK";
}

TEST(JpegPicture, TruncatedDataDecodesAsFarAsItGoes) {
  std::string whole = test::ReadBytes(JpegPath("libjpeg-turbo/testorig.jpg"));
  TJpegPicture full;
  LoadBytes(full, whole);
  ASSERT_NE(full.Bitmap(), nullptr);
  EXPECT_FALSE(full.DecodeFailed());
  TJpegPicture cut;
  LoadBytes(cut, whole.substr(0, whole.size() - 2));
  ASSERT_NE(cut.Bitmap(), nullptr);
  EXPECT_TRUE(cut.DecodeFailed()) << "the end-of-image marker is missing";
  EXPECT_EQ(0, std::memcmp(cut.Bitmap()->PixelMemory(), full.Bitmap()->PixelMemory(),
                           full.Bitmap()->PixelMemorySize()))
      << "but every row was there";
  for (const char* name : {"wuffs/peacock.default.truncated.jpeg", "pillow/truncated_jpeg.jpg"}) {
    TJpegPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(JpegPath(name))) << name;
    ASSERT_NE(picture.Bitmap(), nullptr) << name;
    EXPECT_TRUE(picture.DecodeFailed()) << name;
    EXPECT_EQ(picture.Bitmap()->Width(), 100);
  }
}

// Every byte changed, and every length cut off: nothing may crash, hang or throw.
TEST(JpegPicture, DamagedFilesFailCleanly) {
  for (const char* name : {"wuffs/hippopotamus.jpeg", "wuffs/peacock.progressive.jpeg"}) {
    SCOPED_TRACE(name);
    test::DamageSweep sweep;
    sweep.one_flip_per_byte = true;
    test::SweepDamage(test::ReadBytes(JpegPath(name)), sweep,
                      [](const std::string& bytes, const test::Damage& damage) {
                        // Both ways of showing a progressive file, taken in turn.
                        const bool cut = damage.kind == test::Damage::Kind::kCut;
                        TJpegPicture picture;
                        picture.SetShowProgressive(damage.at % 2 == (cut ? 1u : 0u));
                        LoadBytes(picture, bytes);
                        TRasterBitmap* bitmap = picture.Bitmap();
                        if (bitmap != nullptr) {
                          ASSERT_EQ(bitmap->Width(), picture.Width()) << damage.Describe();
                        }
                      });
  }
}

#ifndef _WIN32
// Reference decodes by programs independent of ours.
struct Reference {
  int status = -1;  // djpeg: 0 ok, 2 warnings, 1 failed
  int width = 0, height = 0, channels = 0;
  std::string pixels;  // top-down rows
};

Reference ReadPnm(const std::string& path, int status) {
  Reference r;
  r.status = status;
  std::string b;
  try {
    b = test::ReadBytes(path);
  } catch (const std::runtime_error&) {
    return r;
  }
  std::size_t pos = 2;
  auto number = [&b, &pos]() {
    while (pos < b.size() && std::isspace(static_cast<unsigned char>(b[pos]))) ++pos;
    int value = 0;
    while (pos < b.size() && std::isdigit(static_cast<unsigned char>(b[pos])))
      value = value * 10 + (b[pos++] - '0');
    return value;
  };
  if (b.size() < 2 || b[0] != 'P') return r;
  r.channels = b[1] == '6' ? 3 : 1;
  r.width = number();
  r.height = number();
  number();  // maximum value
  r.pixels = b.substr(pos + 1);
  return r;
}

Reference Djpeg(const std::string& options, const std::string& path) {
  std::string out = test::FreshDir("jpeg_reference") + "out.pnm";
  std::string command =
      "/usr/bin/djpeg " + options + " -pnm -outfile '" + out + "' '" + path + "' 2>/dev/null";
  int status = std::system(command.c_str());
  return ReadPnm(out, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// Runs a Pillow script on the file: `script` opens with the picture in `im` and leaves the raw
// bytes in `d`; the size comes back on its output.
Reference Pillow(const std::string& script, const std::string& path, int channels) {
  std::string out = test::FreshDir("jpeg_reference") + "out.raw";
  std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); " +
      script + "; open(sys.argv[2], 'wb').write(d); print(im.size[0], im.size[1])\" '" + path +
      "' '" + out + "'";
  Reference r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr || std::fscanf(pipe, "%d %d", &r.width, &r.height) != 2) r.width = 0;
  if (pipe != nullptr) r.status = pclose(pipe);
  r.channels = channels;
  r.pixels = test::ReadBytes(out);
  return r;
}

// Pillow stores the components of an Adobe CMYK file inverted (its "CMYK;I" raw mode), so the
// raw components are 255 minus its values.
Reference PillowCmyk(const std::string& path) {
  return Pillow("d = im.tobytes(); d = bytes(255 - v for v in d) if 'adobe' in im.info else d",
                path, 4);
}

// Pixel x of a row: colours as red, green, blue (8-bit pixels through their colour table), CMYK
// as the raw components.
void PixelOf(TRasterBitmap& bitmap, const std::uint8_t* row, int x, std::uint8_t got[4]) {
  switch (bitmap.GetFormat()) {
    case TRasterFormat::rf24Bit:
      got[0] = row[3 * x + 2], got[1] = row[3 * x + 1], got[2] = row[3 * x];
      break;
    case TRasterFormat::rf8Bit: {
      std::uint32_t entry = bitmap.PaletteEntry(row[x]);
      got[0] = entry >> 16 & 0xFF, got[1] = entry >> 8 & 0xFF, got[2] = entry & 0xFF;
      break;
    }
    default:
      for (int c = 0; c < 4; ++c) got[c] = row[4 * x + c];
  }
}

// Colour rows byte for byte in blue-green-red order, 8-bit pixels through their colour table,
// CMYK as the raw components.
::testing::AssertionResult SamePixels(TRasterBitmap& bitmap, const Reference& ref) {
  if (bitmap.Width() != ref.width || bitmap.Height() != ref.height)
    return ::testing::AssertionFailure() << "size " << bitmap.Width() << "x" << bitmap.Height()
                                         << ", reference " << ref.width << "x" << ref.height;
  if (ref.pixels.size() < std::size_t(ref.width) * ref.height * ref.channels)
    return ::testing::AssertionFailure() << "short reference";
  for (int y = 0; y < ref.height; ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < ref.width; ++x) {
      const auto* want = reinterpret_cast<const std::uint8_t*>(ref.pixels.data()) +
                         (std::size_t(y) * ref.width + x) * ref.channels;
      std::uint8_t got[4];
      PixelOf(bitmap, row, x, got);
      if (bitmap.GetFormat() == TRasterFormat::rf8Bit && ref.channels == 1 &&
          (got[0] != got[2] || got[1] != got[2]))
        return ::testing::AssertionFailure() << "colour in a grey table";
      for (int c = 0; c < ref.channels; ++c)
        if (got[c] != want[c])
          return ::testing::AssertionFailure()
                 << "pixel " << x << "," << y << " component " << c << ": " << int(got[c])
                 << ", reference " << int(want[c]);
    }
  }
  return ::testing::AssertionSuccess();
}

// Files whose EXIF orientation turns them; djpeg ignores it, so they are compared with Pillow.
const char* const kOrientedFiles[] = {
    "pillow/hopper_orientation_2.jpg", "pillow/hopper_orientation_3.jpg",
    "pillow/hopper_orientation_4.jpg", "pillow/hopper_orientation_5.jpg",
    "pillow/hopper_orientation_6.jpg", "pillow/hopper_orientation_7.jpg",
    "pillow/hopper_orientation_8.jpg", "pillow/orientation_rectangle.jpg",
};

TEST(JpegPictureReference, EveryFileDecodesLikeDjpeg) {
  int compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(JpegPath(""))) {
    std::string path = entry.path().string();
    if (entry.path().extension() != ".jpg" && entry.path().extension() != ".jpeg") continue;
    if (std::any_of(std::begin(kOrientedFiles), std::end(kOrientedFiles),
                    [&path](const std::string& name) {
                      return path.size() > name.size() &&
                             path.compare(path.size() - name.size(), name.size(), name) == 0;
                    }))
      continue;
    SCOPED_TRACE(path);
    TJpegPicture picture;
    // The raw components of CMYK files are compared here; their colours in the test below.
    picture.SetCmykHook([](TRasterBitmap&) {});
    bool loaded = picture.LoadFromFile(path);
    if (path.find("bomb-") != std::string::npos) {
      EXPECT_FALSE(loaded);  // djpeg would try to allocate gigabytes
      continue;
    }
    Reference plain = Djpeg("", path);
    if (!loaded) {
      // djpeg refuses it, or reads it only with warnings: the files refused for having next to
      // no image data (a cut-off file) become grey pictures there.
      EXPECT_NE(plain.status, 0) << "djpeg reads it";
      continue;
    }
    TRasterBitmap* bitmap = picture.Bitmap();
    if (plain.status == 1) {
      EXPECT_TRUE(picture.DecodeFailed());
      continue;
    }
    ASSERT_NE(bitmap, nullptr);
    Reference ref = bitmap->GetFormat() == TRasterFormat::rf8Bit    ? Djpeg("-colors 236", path)
                    : bitmap->GetFormat() == TRasterFormat::rf32Bit ? PillowCmyk(path)
                                                                    : plain;
    EXPECT_TRUE(SamePixels(*bitmap, ref));
    ++compared;
  }
  EXPECT_GE(compared, 45);
}

// Pillow's RGB for a CMYK file: it undoes the Adobe inversion itself and converts with
// (255 - C)(255 - K) / 255, the usual formula.
Reference PillowRgb(const std::string& path) {
  return Pillow("d = im.convert('RGB').tobytes()", path, 3);
}

TEST(JpegPictureReference, CmykColoursMatchPillow) {
  // Within 2 levels: the two decoders' rounding of the product and of the inverse DCT.
  constexpr int kTolerance = 2;
  for (const char* name : {"pillow/pil_sample_cmyk.jpg", "oiio/YCbCrK.jpg"}) {
    SCOPED_TRACE(name);
    TJpegPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(JpegPath(name)));
    TRasterBitmap* bitmap = picture.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(bitmap->GetFormat(), TRasterFormat::rf24Bit);
    Reference ref = PillowRgb(JpegPath(name));
    ASSERT_EQ(ref.status, 0);
    ASSERT_EQ(bitmap->Width(), ref.width);
    ASSERT_EQ(bitmap->Height(), ref.height);
    ASSERT_EQ(ref.pixels.size(), std::size_t(ref.width) * ref.height * 3);
    int worst = 0;
    for (int y = 0; y < ref.height; ++y) {
      const std::uint8_t* row = bitmap->ScanLine(y);
      for (int x = 0; x < ref.width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const int want =
              static_cast<std::uint8_t>(ref.pixels[(std::size_t(y) * ref.width + x) * 3 + c]);
          worst = std::max(worst, std::abs(row[3 * x + 2 - c] - want));
        }
      }
    }
    EXPECT_LE(worst, kTolerance);
  }
}

// Pillow's picture as a viewer shows it (ImageOps.exif_transpose) in mode: "RGB", "L", or raw
// CMYK components.
Reference PillowUpright(const std::string& path, const std::string& mode) {
  if (mode == "CMYK") {
    return Pillow(
        "from PIL import ImageOps; adobe = 'adobe' in im.info; im = ImageOps.exif_transpose(im); "
        "d = im.tobytes(); d = bytes(255 - v for v in d) if adobe else d",
        path, 4);
  }
  return Pillow("from PIL import ImageOps; im = ImageOps.exif_transpose(im); d = im.convert('" +
                    mode + "').tobytes()",
                path, mode == "L" ? 1 : 3);
}

TEST(JpegPictureReference, OrientedFilesComeOutAsPillowShowsThem) {
  // Within 3 levels: Pillow's decode and ours differ only in rounding and, for the grey colour
  // table, in its 236 levels.
  constexpr int kTolerance = 3;
  struct Case {
    std::string path;
    std::string mode;
  };
  std::vector<Case> cases;
  for (const char* name : kOrientedFiles) cases.push_back({JpegPath(name), "RGB"});
  // The other formats the reader gives, turned in place and by a quarter: grey through its
  // colour table, and CMYK components for a hook.
  const std::string dir = test::FreshDir("jpeg_oriented");
  const std::pair<const char*, std::uint32_t> made[] = {{"wuffs/bricks-gray.jpeg", 8},
                                                        {"wuffs/bricks-gray.jpeg", 3},
                                                        {"pillow/pil_sample_cmyk.jpg", 5},
                                                        {"oiio/YCbCrK.jpg", 4}};
  for (const auto& [name, orientation] : made) {
    const std::string path =
        dir + std::to_string(orientation) + "_" + std::filesystem::path(name).filename().string();
    test::WriteBytes(path, test::WithApp1(test::ReadBytes(JpegPath(name)), Exif(orientation)));
    cases.push_back({path, std::string(name).find("gray") != std::string::npos ? "L" : "CMYK"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TJpegPicture picture;
    if (c.mode == "CMYK") picture.SetCmykHook([](TRasterBitmap&) {});
    ASSERT_TRUE(picture.LoadFromFile(c.path));
    const Reference ref = PillowUpright(c.path, c.mode);
    ASSERT_EQ(ref.status, 0);
    EXPECT_EQ(picture.Width(), ref.width) << "before decoding";
    EXPECT_EQ(picture.Height(), ref.height);
    TRasterBitmap* bitmap = picture.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(bitmap->Width(), ref.width);
    ASSERT_EQ(bitmap->Height(), ref.height);
    ASSERT_EQ(ref.pixels.size(), std::size_t(ref.width) * ref.height * ref.channels);
    int worst = 0;
    for (int y = 0; y < ref.height; ++y) {
      for (int x = 0; x < ref.width; ++x) {
        std::uint8_t got[4];
        PixelOf(*bitmap, bitmap->ScanLine(y), x, got);
        for (int k = 0; k < ref.channels; ++k) {
          const int want = static_cast<std::uint8_t>(
              ref.pixels[(std::size_t(y) * ref.width + x) * ref.channels + k]);
          worst = std::max(worst, std::abs(got[k] - want));
        }
      }
    }
    EXPECT_LE(worst, kTolerance);
  }
}

TEST(JpegPictureReference, SettingsMatchDjpegOptions) {
  enum : unsigned { kFast = 1, kGray = 2, kQuantize = 4, kShow = 8 };
  const std::string onepass = " -dct fast -onepass -dither ordered";
  struct Case {
    const char* file;
    unsigned settings;
    int shift;
    std::string options;
  } cases[] = {
      {"pillow/flower.jpg", kFast, 0, "-dct fast"},
      {"wuffs/bricks-gray.jpeg", kFast, 0, "-colors 236" + onepass},
      {"pillow/flower.jpg", kGray, 0, "-grayscale -colors 236"},
      {"pillow/flower.jpg", kQuantize, 0, "-colors 236"},
      {"pillow/flower.jpg", kQuantize | kFast, 0, "-colors 236" + onepass},
      {"pillow/app13-multiple.jpg", 0, 1, "-scale 1/2"},
      {"wuffs/hibiscus.regular.jpeg", 0, 2, "-scale 1/4"},
      {"wuffs/harvesters.jpeg", 0, 3, "-scale 1/8"},
      {"pillow/app13-multiple.jpg", kShow, 0, ""},
      {"wuffs/peacock.progressive.truncated.jpeg", kShow, 0, ""},
      {"pillow/app13-multiple.jpg", kShow | kQuantize, 0, "-colors 236"},
      {"wuffs/progressive-scans/peacock.progressive.scan004.jpeg", kShow | kGray, 0,
       "-grayscale -colors 236"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.options);
    TJpegPicture picture;
    picture.SetFastDecode(c.settings & kFast);
    picture.SetForceGray(c.settings & kGray);
    picture.SetQuantizeTo8Bit(c.settings & kQuantize);
    picture.SetShowProgressive(c.settings & kShow);
    picture.SetScaleShift(static_cast<std::uint8_t>(c.shift));
    ASSERT_TRUE(picture.LoadFromFile(JpegPath(c.file)));
    ASSERT_NE(picture.Bitmap(), nullptr);
    EXPECT_TRUE(SamePixels(*picture.Bitmap(), Djpeg(c.options, JpegPath(c.file))));
  }
}
#endif

}  // namespace
}  // namespace vistrel
