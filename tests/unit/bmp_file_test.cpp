// The BMP reader and writer on files built byte by byte here from the file format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/exception.h"
#include "imaging/bmp_copy.h"
#include "imaging/byte_reader.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}

// The three colour masks of a bit-field picture, as the table behind the header holds them.
Bytes Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  Bytes b;
  Put32(b, red);
  Put32(b, green);
  Put32(b, blue);
  return b;
}

struct Info {
  std::int32_t width = 4;
  std::int32_t height = 3;
  std::uint16_t planes = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t size_image = 0;
  std::uint32_t clr_used = 0;
};

Info InfoOf(std::uint16_t bits, std::uint32_t compression, std::int32_t width = 4,
            std::int32_t height = 3) {
  return Info{width, height, 1, bits, compression};
}

Bytes InfoHeader(const Info& i) {
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(i.width));
  Put32(b, static_cast<std::uint32_t>(i.height));
  Put16(b, i.planes);
  Put16(b, i.bits);
  Put32(b, i.compression);
  Put32(b, i.size_image);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, i.clr_used);
  Put32(b, 0);
  return b;
}

Bytes FileHeader(std::uint32_t file_size, std::uint32_t offset) {
  Bytes b = {'B', 'M'};
  Put32(b, file_size);
  Put32(b, 0);
  Put32(b, offset);
  return b;
}

// A pattern that differs in every byte, so misplaced rows show.
Bytes Pattern(std::size_t count, unsigned seed) {
  Bytes b(count);
  for (std::size_t i = 0; i < count; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 13 + i / 7);
  return b;
}

// File header + info header + table + pixels with bfOffBits and bfSize as a writer would set them.
Bytes BmpFile(const Info& info, const Bytes& table, const Bytes& pixels) {
  std::uint32_t offset = 54 + static_cast<std::uint32_t>(table.size());
  Bytes b = FileHeader(offset + static_cast<std::uint32_t>(pixels.size()), offset);
  Append(b, InfoHeader(info));
  Append(b, table);
  Append(b, pixels);
  return b;
}

std::unique_ptr<MemoryStream> StreamOf(const Bytes& bytes) {
  auto stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  return stream;
}

Bytes Saved(TRasterBitmap& bmp) {
  auto out = CreateMemoryStream();
  bmp.SaveToStream(*out);
  const std::uint8_t* p = out->Memory();
  return p ? Bytes(p, p + out->Size()) : Bytes();
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t count) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

Bytes PixelsOf(TRasterBitmap& bmp) {
  return Bytes(bmp.PixelMemory(), bmp.PixelMemory() + bmp.PixelMemorySize());
}

TRasterBitmap Load(const Bytes& bytes) {
  TRasterBitmap bmp;
  bmp.LoadFromStream(*StreamOf(bytes));
  return bmp;
}

TEST(BmpFile, TwentyFourBitRoundTripsByteForByte) {
  Info info;
  info.width = 5;  // 15 bytes, padded to 16
  info.size_image = 48;
  Bytes pixels = Pattern(16 * 3, 1);
  Bytes file = BmpFile(info, {}, pixels);
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.Width(), 5);
  EXPECT_EQ(bmp.Height(), 3);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf24Bit);
  EXPECT_EQ(PixelsOf(bmp), pixels);
  EXPECT_EQ(bmp.ScanLine(0), bmp.PixelMemory() + 32) << "bottom-up: the top row is stored last";
  EXPECT_EQ(Saved(bmp), file) << "offset 54, size 54 + pixels, header as read";

  // The helper's file from the test support (written independently of ours) agrees.
  std::string other = test::Bmp24(7, 2, 99);
  Bytes other_bytes(other.begin(), other.end());
  TRasterBitmap other_bmp = Load(other_bytes);
  EXPECT_EQ(Saved(other_bmp), other_bytes);
}

TEST(BmpFile, ShortPaletteIsReadAndSavedAsAFullTable) {
  Info info;
  info.bits = 8;
  info.clr_used = 16;
  Bytes table = Pattern(64, 7);
  Bytes pixels = Pattern(4 * 3, 3);
  for (auto& p : pixels) p &= 15;
  Bytes file = BmpFile(info, table, pixels);
  ASSERT_EQ(LoadU32LE(&file[10]), 54u + 64u);
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.PaletteEntry(3), LoadU32LE(&table[12]));
  EXPECT_EQ(bmp.PaletteEntry(16), 0u);
  EXPECT_EQ(PixelsOf(bmp), pixels) << "the 64 bytes were taken as the table, not as pixels";

  Bytes saved = Saved(bmp);
  ASSERT_EQ(saved.size(), 1078u + 12u);
  EXPECT_EQ(LoadU32LE(&saved[10]), 1078u);
  EXPECT_EQ(LoadU32LE(&saved[2]), 1090u);
  EXPECT_EQ(LoadU32LE(&saved[14 + 32]), 16u) << "biClrUsed unchanged";
  EXPECT_EQ(Slice(saved, 54, 64), table);
  EXPECT_EQ(Slice(saved, 118, 960), Bytes(960, 0));
  EXPECT_EQ(Slice(saved, 1078, 12), pixels);
}

TEST(BmpFile, BareDibAtAnyStreamPosition) {
  Info info = InfoOf(4, 0, 7, 3);
  Bytes dib = InfoHeader(info);
  Bytes table = Pattern(64, 5);
  Bytes pixels = Pattern(4 * 3, 9);
  Append(dib, table);
  Append(dib, pixels);
  Bytes stream_bytes = {'x', 'y', 'z'};
  Append(stream_bytes, dib);
  auto stream = StreamOf(stream_bytes);
  stream->SetPosition(3);
  TRasterBitmap bmp;
  bmp.LoadFromStream(*stream);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf4Bit);
  EXPECT_EQ(bmp.PaletteEntry(15), LoadU32LE(&table[60]));
  EXPECT_EQ(PixelsOf(bmp), pixels);
  EXPECT_EQ(stream->Position(), static_cast<std::int64_t>(stream_bytes.size()));
}

TEST(BmpFile, CoreHeaderIsWidenedAndSavedWithAnInfoHeader) {
  Bytes file = FileHeader(0, 14 + 12 + 768);
  Put32(file, 12);
  Put16(file, 3);  // width
  Put16(file, 2);  // height
  Put16(file, 1);
  Put16(file, 8);
  Bytes triples = Pattern(768, 11);
  Append(file, triples);
  Bytes pixels = Pattern(8, 2);
  Append(file, pixels);
  StoreU32LE(&file[2], static_cast<std::uint32_t>(file.size()));

  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
  EXPECT_EQ(LoadU32LE(bmp.Header()), 40u);
  for (int i = 0; i < 256; ++i) {
    std::uint32_t expected =
        triples[3 * i] | (triples[3 * i + 1] << 8) | (triples[3 * i + 2] << 16);
    ASSERT_EQ(bmp.PaletteEntry(i), expected) << i;
  }
  Bytes saved = Saved(bmp);
  ASSERT_EQ(saved.size(), 1078u + 8u);
  EXPECT_EQ(LoadU32LE(&saved[10]), 1078u);
  EXPECT_EQ(LoadU32LE(&saved[14]), 40u);
  EXPECT_EQ(LoadU32LE(&saved[18]), 3u);
  EXPECT_EQ(LoadU32LE(&saved[22]), 2u);
  EXPECT_EQ(LoadU16LE(&saved[28]), 8u);
  EXPECT_EQ(saved[54 + 4 * 9 + 3], 0) << "the fourth byte of a widened entry is 0";
  EXPECT_EQ(Slice(saved, 1078, 8), pixels);

  // A core file with a short table: the offset tells how many 3-byte entries there are.
  Bytes short_table = FileHeader(0, 14 + 12 + 6);
  Append(short_table, Slice(file, 14, 12));
  Append(short_table, {1, 2, 3, 4, 5, 6});
  Append(short_table, pixels);
  TRasterBitmap small = Load(short_table);
  ASSERT_FALSE(small.IsEmpty());
  EXPECT_EQ(small.PaletteEntry(1), 0x060504u);
  EXPECT_EQ(small.PaletteEntry(2), 0u);
  EXPECT_EQ(PixelsOf(small), pixels);

  // ... and one that is not a whole number of entries is refused.
  StoreU32LE(&short_table[10], 14 + 12 + 5);
  EXPECT_TRUE(Load(short_table).IsEmpty());
}

TEST(BmpFile, UnsupportedHeaderSizesLeaveTheStreamAtItsStart) {
  for (std::uint32_t size : {108u, 124u, 64u, 16u, 0u}) {
    Info info;
    Bytes file = BmpFile(info, {}, Pattern(48, 1));
    StoreU32LE(&file[14], size);
    Bytes with_prefix = {'p', 'q'};
    Append(with_prefix, file);
    auto stream = StreamOf(with_prefix);
    stream->SetPosition(2);
    TRasterBitmap bmp = TRasterBitmap::CreateDeviceBitmap(10, 10);
    bmp.LoadFromStream(*stream);
    EXPECT_TRUE(bmp.IsEmpty()) << size;
    EXPECT_EQ(bmp.Header(), nullptr);
    EXPECT_EQ(stream->Position(), 2) << size;
    EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(with_prefix.size()));
  }
}

TEST(BmpFile, NegativeHeightIsTopDownAndStaysSo) {
  Info info;
  info.height = -3;
  Bytes pixels = Pattern(36, 4);
  Bytes file = BmpFile(info, {}, pixels);
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.Height(), 3);
  EXPECT_EQ(bmp.ScanLine(0), bmp.PixelMemory());
  EXPECT_EQ(bmp.ScanLine(2), bmp.PixelMemory() + 24);
  Bytes saved = Saved(bmp);
  EXPECT_EQ(static_cast<std::int32_t>(LoadU32LE(&saved[22])), -3);
  EXPECT_EQ(saved, file);
  bmp.SetFormat(TRasterFormat::rf32Bit);  // converted pictures are bottom-up again
  EXPECT_EQ(bmp.ScanLine(2), bmp.PixelMemory());
  EXPECT_EQ(bmp.ScanLine(0)[0], pixels[0]);
}

TEST(BmpFile, BitfieldsSixteenBitSavesWithTheMaskBytes) {
  Info info = InfoOf(16, 3);
  Bytes masks = Masks(0xF800, 0x07E0, 0x001F);
  Bytes pixels = Pattern(8 * 3, 6);
  Bytes file = BmpFile(info, masks, pixels);
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf16Bit);
  Bytes saved = Saved(bmp);
  ASSERT_EQ(saved.size(), 128u + 24u);
  EXPECT_EQ(LoadU32LE(&saved[10]), 128u) << "54 + 74";
  EXPECT_EQ(LoadU32LE(&saved[2]), 152u);
  EXPECT_EQ(Slice(saved, 54, 12), masks);
  EXPECT_EQ(Slice(saved, 66, 62), Bytes(62, 0));
  EXPECT_EQ(Slice(saved, 128, 24), pixels);

  TRasterBitmap again = Load(saved);
  ASSERT_FALSE(again.IsEmpty());
  EXPECT_EQ(again.GetFormat(), TRasterFormat::rf16Bit);
  EXPECT_EQ(PixelsOf(again), pixels);
  EXPECT_EQ(again.PaletteEntry(1), 0x07E0u);
}

TEST(BmpFile, SixteenBitMasksAreFoundBehindALargerGap) {
  // 12 mask bytes, then an unused palette: the masks are read, the rest skipped.
  Info info = InfoOf(16, 3);
  Bytes table = Masks(0x7C00, 0x03E0, 0x001F);
  Append(table, Pattern(1024, 8));
  Bytes pixels = Pattern(24, 1);
  Bytes file = BmpFile(info, table, pixels);
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.PaletteEntry(0), 0x7C00u);
  EXPECT_EQ(bmp.PaletteEntry(3), 0u);
  EXPECT_EQ(PixelsOf(bmp), pixels);

  // An offset behind the end of the file: the pixels come from its tail, and the memory stream
  // is not grown by skipping there.
  StoreU32LE(&file[10], 5000);
  auto stream = StreamOf(file);
  TRasterBitmap tail;
  tail.LoadFromStream(*stream);
  ASSERT_FALSE(tail.IsEmpty());
  EXPECT_EQ(PixelsOf(tail), pixels);
  EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(file.size()));
}

TEST(BmpFile, OtherBitfieldsAndCompressedIndexedPicturesSave) {
  Info info = InfoOf(32, 3);
  Bytes masks = Masks(0x0000FF00, 0x00FF0000, 0xFF000000);
  Bytes pixels = Pattern(16 * 3, 2);
  TRasterBitmap bmp = Load(BmpFile(info, masks, pixels));
  ASSERT_FALSE(bmp.IsEmpty());
  Bytes saved = Saved(bmp);
  EXPECT_EQ(LoadU32LE(&saved[10]), 128u);
  TRasterBitmap again = Load(saved);
  ASSERT_FALSE(again.IsEmpty()) << "our own 74 mask bytes read back";
  EXPECT_EQ(PixelsOf(again), pixels);
  EXPECT_EQ(again.PaletteEntry(2), 0xFF000000u);
  again.SetFormat(TRasterFormat::rf24Bit);
  EXPECT_EQ(again.ScanLine(2)[0], pixels[3]) << "blue from the top byte";
  EXPECT_EQ(again.ScanLine(2)[2], pixels[1]) << "red from the second";

  // An 8-bit picture with a compression value: the extra bytes would run past the table area.
  Info eight = InfoOf(8, 3);
  Bytes table = Pattern(1024, 3);
  Bytes indices = Pattern(12, 4);
  TRasterBitmap indexed = Load(BmpFile(eight, table, indices));
  ASSERT_FALSE(indexed.IsEmpty());
  Bytes out = Saved(indexed);
  EXPECT_EQ(LoadU32LE(&out[10]), 1078u);
  EXPECT_EQ(Slice(out, 1078, 12), indices);

  Info four = eight;
  four.bits = 4;
  TRasterBitmap nibbles = Load(BmpFile(four, Pattern(64, 3), indices));
  ASSERT_FALSE(nibbles.IsEmpty());
  EXPECT_EQ(LoadU32LE(&Saved(nibbles)[10]), 54u + 64u + 74u);
}

TEST(BmpFile, ShortFileIsReadFromItsTail) {
  Info info;  // 4 x 3, 24 bits: 36 pixel bytes
  Bytes pixels = Pattern(36, 5);
  Bytes file = BmpFile(info, {}, pixels);
  file.resize(file.size() - 8);  // bfSize still claims the full file
  TRasterBitmap bmp = Load(file);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(PixelsOf(bmp), Slice(file, file.size() - 36, 36));

  // Without a file header nothing says the file is short: refused.
  Bytes dib = Slice(file, 14, file.size() - 14);
  EXPECT_TRUE(Load(dib).IsEmpty());

  // The tail may reach back into the headers, but a file shorter than its pixel memory fails.
  info.height = 5;  // 60 pixel bytes in a 94-byte file
  Bytes tiny = BmpFile(info, {}, Pattern(40, 6));
  TRasterBitmap from_tail = Load(tiny);
  ASSERT_FALSE(from_tail.IsEmpty());
  EXPECT_EQ(PixelsOf(from_tail), Slice(tiny, 34, 60));
  StoreU32LE(&tiny[22], 8);  // 96 pixel bytes
  EXPECT_TRUE(Load(tiny).IsEmpty());
}

TEST(BmpFile, ImplausibleSizesAreRefusedBeforeAllocating) {
  Info info;
  info.width = 60000;
  info.height = 60000;
  for (std::uint16_t bits : {1, 8, 24, 32}) {
    info.bits = bits;
    Bytes file = BmpFile(info, bits <= 8 ? Pattern(4u << bits, 1) : Bytes(), Pattern(300, 2));
    auto stream = StreamOf(file);
    TRasterBitmap bmp;
    bmp.LoadFromStream(*stream);
    EXPECT_TRUE(bmp.IsEmpty()) << bits;
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(file.size())) << "no seek grew it";
  }
  // Sizes whose product overflows 32 and 64 bits.
  info.bits = 32;
  info.width = 0x7FFFFFFF;
  info.height = 0x7FFFFFFF;
  EXPECT_TRUE(Load(BmpFile(info, {}, Pattern(64, 1))).IsEmpty());
  info.height = INT32_MIN;
  info.width = 1;
  EXPECT_TRUE(Load(BmpFile(info, {}, Pattern(64, 1))).IsEmpty());
  info.height = 1;
  info.bits = 0xFFFF;
  EXPECT_TRUE(Load(BmpFile(info, {}, Pattern(64, 1))).IsEmpty());
  info.bits = 8;
  info.planes = 0xFFFF;
  EXPECT_FALSE(Load(BmpFile(info, Pattern(1024, 1), Pattern(4, 1))).IsEmpty())
      << "planes only choose the requested format";

  // RLE pixels beyond the memory budget are refused before anything of their size is made.
  Info rle = InfoOf(8, 1, 40000, 40000);
  EXPECT_TRUE(Load(BmpFile(rle, Pattern(1024, 1), {0, 1})).IsEmpty());
}

TEST(BmpFile, SparseRunLengthPicturesLoad) {
  // A valid picture that says almost nothing: one run in the middle, the rest skipped by delta
  // and end codes, and so left at colour 0.
  for (bool four : {false, true}) {
    SCOPED_TRACE(four ? "RLE4" : "RLE8");
    Info info;
    info.bits = four ? 4 : 8;
    info.compression = four ? 2 : 1;
    info.width = 3000;
    info.height = 2000;
    // Delta by (250, 255) four times to row 1020, column 1000; a run of 6 pixels; end of line;
    // end of bitmap.
    Bytes codes = {
        0,   2, 250, 255, 0,   2, 250, 255, 0, 2, 250,
        255, 0, 2,   250, 255, 0, 2,   0,   0, 6, static_cast<std::uint8_t>(four ? 0x35 : 0x35),
        0,   0, 0,   1};
    TRasterBitmap bmp = Load(BmpFile(info, Pattern(four ? 64 : 1024, 1), codes));
    ASSERT_FALSE(bmp.IsEmpty());
    ASSERT_EQ(bmp.Width(), 3000);
    ASSERT_EQ(bmp.Height(), 2000);
    // Rows are bottom-up in the file: file row 1020 is image row 2000 - 1 - 1020.
    const std::uint8_t* row = bmp.ScanLine(2000 - 1 - 1020);
    if (four) {
      EXPECT_EQ(Bytes(row + 500, row + 503), (Bytes{0x35, 0x35, 0x35}));
      EXPECT_EQ(row[499], 0);
      EXPECT_EQ(row[503], 0);
    } else {
      EXPECT_EQ(Bytes(row + 999, row + 1007), (Bytes{0, 0x35, 0x35, 0x35, 0x35, 0x35, 0x35, 0}));
    }
    const std::uint8_t* other = bmp.ScanLine(0);
    EXPECT_TRUE(
        std::all_of(other, other + bmp.ScanLineSize(), [](std::uint8_t v) { return v == 0; }));
  }
}

TEST(BmpFile, ColourAreaGapsAreComparedInBytes) {
  // An 8-bit picture whose pixels start 1020 to 1030 bytes after the info header: up to 1024
  // bytes fit the table area (entries beyond the gap stay 0); more must never be read into it.
  Info info = InfoOf(8, 0, 4, 2);
  const Bytes pixels = Pattern(8, 3);
  for (std::uint32_t gap = 1020; gap <= 1030; ++gap) {
    SCOPED_TRACE(gap);
    const Bytes table = Pattern(gap, 5);
    Bytes file = BmpFile(info, table, pixels);
    ASSERT_EQ(LoadU32LE(&file[10]), 54 + gap);
    TRasterBitmap bmp = Load(file);
    if (gap <= 1024) {
      ASSERT_FALSE(bmp.IsEmpty());
      EXPECT_EQ(PixelsOf(bmp), pixels);
      EXPECT_EQ(Bytes(bmp.Header() + 40, bmp.Header() + 40 + gap), table);
    } else {
      EXPECT_TRUE(bmp.IsEmpty());
    }
  }
  // 3-byte entries of a core header: 768 bytes (256 entries) fit, 771 do not.
  for (std::uint32_t gap : {765u, 768u, 771u}) {
    SCOPED_TRACE(gap);
    Bytes core = FileHeader(0, 14 + 12 + gap);
    Put32(core, 12);
    Put16(core, 4);
    Put16(core, 2);
    Put16(core, 1);
    Put16(core, 8);
    Append(core, Pattern(gap, 7));
    Append(core, pixels);
    StoreU32LE(&core[2], static_cast<std::uint32_t>(core.size()));
    EXPECT_EQ(Load(core).IsEmpty(), gap > 768);
  }
}

TEST(BmpFile, GapsThatDoNotFitTheTableAreaAreRefused) {
  Info info;
  info.bits = 24;
  Bytes pixels = Pattern(36, 1);
  Bytes file = BmpFile(info, Pattern(1024, 2), pixels);
  EXPECT_FALSE(Load(file).IsEmpty())
      << "1024 bytes: a 256-entry table that a 24-bit file may carry";
  Bytes larger = BmpFile(info, Pattern(1028, 2), pixels);
  EXPECT_TRUE(Load(larger).IsEmpty());
  // An offset pointing into the info header.
  StoreU32LE(&file[10], 30);
  EXPECT_TRUE(Load(file).IsEmpty());
  // An offset of 0 or below 14 means nothing: the pixels follow the (empty) table directly.
  Bytes plain = BmpFile(info, {}, pixels);
  StoreU32LE(&plain[10], 0);
  TRasterBitmap bmp = Load(plain);
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(PixelsOf(bmp), pixels);
}

void ExpectCheck(const Bytes& file, const std::string& text) {
  TRasterBitmap bmp = TRasterBitmap::CreateDeviceBitmap(3, 3);
  try {
    bmp.LoadFromStream(*StreamOf(file));
    ADD_FAILURE() << "no check for " << text;
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), kToolkitCheckKind);
    EXPECT_EQ(e.Message().rfind(text + " (", 0), 0u) << e.Message();
    EXPECT_NE(e.Message().find(", line "), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(bmp.IsEmpty());
}

TEST(BmpFile, HeaderChecksRaise) {
  Info info;
  info.width = 0;
  ExpectCheck(BmpFile(info, {}, Pattern(48, 1)), "Bitmap width must be > 0");
  info.width = -4;
  ExpectCheck(BmpFile(info, {}, Pattern(48, 1)), "Bitmap width must be > 0");
  info.width = 4;
  info.height = 0;
  ExpectCheck(BmpFile(info, {}, Pattern(48, 1)), "Bitmap height must be > 0");
  info.height = 3;
  info.bits = 0;
  ExpectCheck(BmpFile(info, {}, Pattern(48, 1)), "No memory");
  info.bits = 16;
  info.compression = 1;
  ExpectCheck(BmpFile(info, {}, Pattern(48, 1)), "Unsupported bitmap format");
  info.bits = 8;
  info.planes = 2;  // 16 bits by planes
  info.compression = 4;
  ExpectCheck(BmpFile(info, Pattern(1024, 1), Pattern(48, 1)), "Unsupported bitmap format");
}

TEST(BmpFile, RunLengthEncodedPicturesAreDecoded) {
  Info info = InfoOf(8, 1, 5, 3);
  Bytes table = Pattern(1024, 1);
  // Bottom row: 3 x 7, absolute 4 5 (padded), end of line. Middle row: delta (2, 1) lands in the
  // top row at column 2: 9 9 9 9 runs past the edge and is cut. End of bitmap.
  Bytes codes = {3, 7, 0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 2, 1, 4, 9, 0, 1};
  info.size_image = static_cast<std::uint32_t>(codes.size());
  TRasterBitmap bmp = Load(BmpFile(info, table, codes));
  ASSERT_FALSE(bmp.IsEmpty());
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf8Bit);
  EXPECT_EQ(LoadU32LE(bmp.Header() + 16), 0u) << "now BI_RGB";
  EXPECT_EQ(LoadU32LE(bmp.Header() + 20), 24u);
  EXPECT_EQ(Bytes(bmp.ScanLine(2), bmp.ScanLine(2) + 5), (Bytes{7, 7, 7, 4, 5}));
  EXPECT_EQ(Bytes(bmp.ScanLine(1), bmp.ScanLine(1) + 5), (Bytes{0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(bmp.ScanLine(0), bmp.ScanLine(0) + 5), (Bytes{0, 0, 9, 9, 9}));
  Bytes saved = Saved(bmp);
  EXPECT_EQ(LoadU32LE(&saved[10]), 1078u);
  EXPECT_EQ(LoadU32LE(&saved[30]), 0u);
  EXPECT_EQ(saved.size(), 1078u + 24u);

  info.bits = 4;
  info.compression = 2;
  // 5 pixels alternating 1 and 2, end of line; absolute 3 pixels 0xAB 0xC-, end of bitmap.
  Bytes nibbles = {5, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1};
  TRasterBitmap four = Load(BmpFile(info, Pattern(64, 1), nibbles));
  ASSERT_FALSE(four.IsEmpty());
  EXPECT_EQ(four.GetFormat(), TRasterFormat::rf4Bit);
  EXPECT_EQ(Bytes(four.ScanLine(2), four.ScanLine(2) + 3), (Bytes{0x12, 0x12, 0x10}));
  EXPECT_EQ(Bytes(four.ScanLine(1), four.ScanLine(1) + 2), (Bytes{0xAB, 0xC0}));

  // Top-down RLE does not exist; nor does RLE at the wrong depth.
  info.height = -3;
  EXPECT_TRUE(Load(BmpFile(info, Pattern(64, 1), nibbles)).IsEmpty());
  info.height = 3;
  info.bits = 8;
  EXPECT_TRUE(Load(BmpFile(info, Pattern(1024, 1), nibbles)).IsEmpty());
}

// Accepts `budget` bytes, then refuses.
class FailingStream : public TDataStream {
 public:
  explicit FailingStream(std::uint32_t budget) : budget_(budget) {}
  std::uint32_t Read(void*, std::uint32_t) override { return 0; }
  std::uint32_t Write(const void* buffer, std::uint32_t count) override {
    std::uint32_t n = count <= budget_ ? count : budget_;
    budget_ -= n;
    return inner_.Write(buffer, n);
  }
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override {
    return inner_.Seek(offset, from);
  }
  std::int64_t Size() override { return inner_.Size(); }
  void SetSize(std::int64_t size) override { inner_.SetSize(size); }

 private:
  std::uint32_t budget_;
  MemoryStream inner_;
};

TEST(BmpFile, FailedWritePutsThePositionBack) {
  TRasterBitmap bmp = TRasterBitmap::CreateDibBitmap(4, 4, TRasterFormat::rf8Bit);
  const std::uint32_t total = 1078 + 16;
  for (std::uint32_t budget : {0u, 10u, 14u, 100u, 1078u, total - 1}) {
    FailingStream stream(budget + 5);
    stream.Write("12345", 5);
    bmp.SaveToStream(stream);
    EXPECT_EQ(stream.Position(), 5) << budget;
  }
  FailingStream enough(total + 5);
  enough.Write("12345", 5);
  bmp.SaveToStream(enough);
  EXPECT_EQ(enough.Position(), static_cast<std::int64_t>(total) + 5);
}

TEST(BmpFile, DeviceBitmapIsSavedInTheRequestedFormat) {
  TRasterBitmap bmp = TRasterBitmap::CreateDeviceBitmap(3, 2);
  Bytes saved = Saved(bmp);
  EXPECT_EQ(bmp.HandleKind(), TBitmapHandleKind::hkDib);
  EXPECT_EQ(bmp.GetFormat(), TRasterFormat::rf16Bit) << "no format asked for: the default";
  EXPECT_EQ(LoadU32LE(&saved[10]), 128u);
  EXPECT_EQ(saved.size(), 128u + 16u);

  TRasterBitmap empty;
  EXPECT_TRUE(Saved(empty).empty());
}

// The file as the row copy writes it to memory, or nothing when it declines the file.
Bytes RowCopy(const Bytes& file) {
  auto in = StreamOf(file);
  BmpRowCopy copy;
  if (!copy.Open(*in)) return Bytes();
  auto out = CreateMemoryStream();
  EXPECT_EQ(copy.CopyTo(*out), BmpRowCopy::Result::kCopied);
  const std::uint8_t* p = out->Memory();
  return p ? Bytes(p, p + out->Size()) : Bytes();
}

TEST(BmpRowCopy, WritesWhatLoadingAndSavingWrite) {
  // Rows longer than one piece, a short file read from its tail, a bare DIB, a core header, a
  // top-down picture and 16-bit masks behind a gap.
  Info wide;
  wide.width = 700;
  wide.height = 131;  // 2100-byte rows: 275100 bytes, more than one piece
  Bytes big = BmpFile(wide, {}, Pattern(2100 * 131, 3));
  ASSERT_GT(big.size(), std::size_t{BmpRowCopy::kPieceSize});
  Info info;
  Bytes short_file = BmpFile(info, {}, Pattern(36, 5));
  short_file.resize(short_file.size() - 8);
  Info top_down;
  top_down.height = -3;
  Info masks = InfoOf(16, 3);
  Bytes masked =
      BmpFile(masks, {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 9, 9}, Pattern(24, 7));
  StoreU32LE(&masked[10], 54 + 14);
  Bytes core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14 + 12 + 6, 0,    0,    0,    12,   0, 0, 0,
                2,   0,   1, 0, 1, 0, 1, 0, 0, 0, 0,           0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0};
  for (const Bytes& file : {big, short_file, Slice(big, 14, big.size() - 14),
                            BmpFile(top_down, {}, Pattern(36, 9)), masked, core}) {
    TRasterBitmap loaded = Load(file);
    ASSERT_FALSE(loaded.IsEmpty());
    EXPECT_EQ(RowCopy(file), Saved(loaded));
  }
}

TEST(BmpRowCopy, DeclinesRunLengthAndUnreadableFilesAndRaisesNothing) {
  Info info = InfoOf(8, 1);
  EXPECT_TRUE(RowCopy(BmpFile(info, Pattern(1024, 1), {0, 1})).empty()) << "run-length data";
  Info zero_width;
  zero_width.width = 0;  // the reader raises its check: left to it
  EXPECT_TRUE(RowCopy(BmpFile(zero_width, {}, {})).empty());
  Info plain;
  Bytes cut = BmpFile(plain, {}, Pattern(36, 2));
  StoreU32LE(&cut[2], 0);  // no size to read a tail from: the rows are missing
  cut.resize(cut.size() - 4);
  EXPECT_TRUE(RowCopy(cut).empty());
  EXPECT_TRUE(RowCopy(Bytes{'B', 'M'}).empty());
}

TEST(BmpRowCopy, ReadAndWriteFailuresAreTold) {
  Info info;
  info.width = 300;
  info.height = 300;  // 270000 bytes of rows: two pieces
  const Bytes file = BmpFile(info, {}, Pattern(270000, 4));
  for (std::uint32_t budget : {0u, 20u, 54u, 100000u, 270053u}) {
    auto in = StreamOf(file);
    BmpRowCopy copy;
    ASSERT_TRUE(copy.Open(*in));
    FailingStream out(budget);
    EXPECT_EQ(copy.CopyTo(out), BmpRowCopy::Result::kWriteFailed) << budget;
  }
  // The file shrinks between the headers and the rows.
  auto in = StreamOf(file);
  BmpRowCopy copy;
  ASSERT_TRUE(copy.Open(*in));
  in->SetSize(200000);
  auto out = CreateMemoryStream();
  EXPECT_EQ(copy.CopyTo(*out), BmpRowCopy::Result::kUnreadable);
}

class BmpFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::FreshDir("bmp_file"); }
  std::string dir_;
};

TEST_F(BmpFileOnDisk, MissingFileGivesAnEmptyBitmapAndNothingIsWritten) {
  TRasterBitmap bmp = TRasterBitmap::CreateDeviceBitmap(10, 10);
  bmp.LoadFromFile(dir_ + "missing.bmp");
  EXPECT_TRUE(bmp.IsEmpty());
  bmp.SaveToFile(dir_ + "out.bmp");
  EXPECT_FALSE(FileExists(dir_ + "out.bmp"));
}

TEST_F(BmpFileOnDisk, SaveToFileReplacesLongerContents) {
  std::string path = dir_ + "out.bmp";
  test::WriteBytes(path, std::string(5000, 'x'));
  std::string source = test::Bmp24(3, 3, 17);
  test::WriteBytes(dir_ + "in.bmp", source);
  TRasterBitmap bmp;
  bmp.LoadFromFile(dir_ + "in.bmp");
  ASSERT_FALSE(bmp.IsEmpty());
  bmp.SaveToFile(path);
  EXPECT_EQ(test::ReadBytes(path), source);
}

}  // namespace
}  // namespace vistrel
