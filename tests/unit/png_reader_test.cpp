#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#ifdef VISTREL_HAVE_LIBPNG
#include <png.h>

#include <csetjmp>
#endif

#include "common/exception.h"
#include "imaging/color_converter.h"
#include "imaging/data_stream.h"
#include "imaging/png_reader.h"
#include "imaging/raster_bitmap.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

// ---- Building PNG files in the test ------------------------------------------------------------

std::string U32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  std::string body = type + data;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  return U32(static_cast<std::uint32_t>(data.size())) + body + U32(static_cast<std::uint32_t>(crc));
}

std::string Ihdr(std::uint32_t width, std::uint32_t height, int depth, int color_type,
                 int interlace = 0, int compression = 0) {
  std::string data = U32(width) + U32(height);
  data += {static_cast<char>(depth), static_cast<char>(color_type), static_cast<char>(compression),
           0, static_cast<char>(interlace)};
  return Chunk("IHDR", data);
}

std::string Zlib(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  EXPECT_EQ(
      compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9),
      Z_OK);
  out.resize(size);
  return out;
}

std::string Png(const std::vector<std::string>& chunks) {
  std::string out(kPngSignature.begin(), kPngSignature.end());
  for (const std::string& chunk : chunks) out += chunk;
  return out;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

const std::string kIend = Chunk("IEND", "");

// ---- Loading and looking at the result ---------------------------------------------------------

struct Outcome {
  bool loaded = false;
  std::uint32_t code = 0;
  std::string message;
};

Outcome Load(TPNGGraphic& reader, const std::string& bytes) {
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  Outcome outcome;
  try {
    reader.LoadFromStream(*stream);
    outcome.loaded = true;
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), kGraphicErrorKind) << e.what();
    outcome.code = e.Code();
    outcome.message = e.Message();
  }
  return outcome;
}

std::uint32_t Index(TRasterBitmap& bitmap, int x, int y) {
  const std::uint8_t* row = bitmap.ScanLine(y);
  switch (bitmap.GetFormat()) {
    case TRasterFormat::rf1Bit: return (row[x / 8] >> (7 - x % 8)) & 1;
    case TRasterFormat::rf4Bit: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
    case TRasterFormat::rf8Bit: return row[x];
    default: ADD_FAILURE() << "not an indexed bitmap"; return 0;
  }
}

// Blue, green, red (and the fourth byte for 32 bits) of a colour bitmap's pixel.
std::vector<int> Bgr(TRasterBitmap& bitmap, int x, int y) {
  const int bytes = bitmap.GetFormat() == TRasterFormat::rf32Bit ? 4 : 3;
  const std::uint8_t* p = bitmap.ScanLine(y) + x * bytes;
  return std::vector<int>(p, p + bytes);
}

// The colour an indexed pixel shows, 0x00RRGGBB.
std::uint32_t Shown(TRasterBitmap& bitmap, int x, int y) {
  return bitmap.PaletteEntry(static_cast<int>(Index(bitmap, x, y)));
}

std::string DataFile(const std::string& name) {
  return test::ReadBytes(test::DataPath(name));
}

std::vector<std::string> PngFiles(const std::string& folder) {
  std::vector<std::string> names;
  const std::filesystem::path root(test::DataPath(folder));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().extension() == ".png")
      names.push_back(folder + "/" + entry.path().lexically_relative(root).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsBrokenSuiteFile(const std::string& name) {
  return name.rfind("png/pngsuite/x", 0) == 0;
}

// ---- Broken files of PngSuite: the message for each fault --------------------------------------

TEST(PngSuite, BrokenFilesRaiseTheMessageForTheirFault) {
  const std::map<std::string, std::uint32_t> expected = {
      {"xc1n0g08.png", 2},  // colour type 1
      {"xc9n2c08.png", 2},  // colour type 9
      {"xcrn0g04.png", 1},  // CR bytes added: the signature no longer matches
      {"xcsn0g01.png", 6},  // IDAT CRC
      {"xd0n2c08.png", 2},  // bit depth 0
      {"xd3n2c08.png", 2},  // bit depth 3
      {"xd9n2c08.png", 2},  // bit depth 99
      {"xdtn0g01.png", 1},  // no IDAT at all
      {"xhdn0g08.png", 6},  // IHDR CRC
      {"xlfn0g04.png", 1},  // LF bytes added
      {"xs1n0g01.png", 1}, {"xs2n0g01.png", 1}, {"xs4n0g01.png", 1}, {"xs7n0g01.png", 1},
  };
  std::size_t seen = 0;
  for (const std::string& name : PngFiles("png/pngsuite")) {
    if (!IsBrokenSuiteFile(name)) continue;
    ++seen;
    const std::string file = name.substr(std::string("png/pngsuite/").size());
    ASSERT_TRUE(expected.count(file)) << "no expectation for " << file;
    TPNGGraphic reader;
    Outcome outcome = Load(reader, DataFile(name));
    EXPECT_FALSE(outcome.loaded) << file;
    EXPECT_EQ(outcome.code, expected.at(file)) << file << ": " << outcome.message;
  }
  EXPECT_EQ(seen, expected.size());

  TPNGGraphic reader;
  EXPECT_EQ(Load(reader, DataFile("png/pngsuite/xcsn0g01.png")).message,
            "Cannot load image. CRC error found in PNG file.");
  EXPECT_EQ(Load(reader, DataFile("png/pngsuite/xd3n2c08.png")).message,
            "Invalid color format in PNG file.");
}

// ---- Every valid file against libpng (native build) --------------------------------------------

// An 8-bit value as shown on a display of gamma 2.2 for a file of the given gamma.
int Corrected(int value, double gamma) {
  if (gamma <= 0) return value;
  return static_cast<int>(std::lround(std::pow(value / 255.0, 1.0 / (gamma * 2.2)) * 255.0));
}

#ifdef VISTREL_HAVE_LIBPNG

// The gamma the reader applies: the last gAMA chunk before the first IDAT; 0 for none.
double FileGamma(const std::string& bytes) {
  double gamma = 0;
  std::size_t pos = 8;
  while (pos + 8 <= bytes.size()) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + pos;
    std::uint32_t length = (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    std::string type = bytes.substr(pos + 4, 4);
    if (type == "IDAT" || type == "IEND") break;
    if (type == "gAMA" && length >= 4 && pos + 12 <= bytes.size()) {
      const auto* d = p + 8;
      gamma = ((std::uint32_t{d[0]} << 24) | (d[1] << 16) | (d[2] << 8) | d[3]) / 100000.0;
      if (gamma == 0) gamma = 1.0;  // the converter's stand-in for a gamma of 0
    }
    pos += 12 + std::size_t{length};
  }
  return gamma;
}

bool Near(std::uint32_t rgb, int r, int g, int b, int tolerance) {
  return std::abs(static_cast<int>((rgb >> 16) & 0xFF) - r) <= tolerance &&
         std::abs(static_cast<int>((rgb >> 8) & 0xFF) - g) <= tolerance &&
         std::abs(static_cast<int>(rgb & 0xFF) - b) <= tolerance;
}

// libpng's samples without any transformation but unpacking: one value per sample, 16-bit ones
// whole.
struct Reference {
  std::uint32_t width = 0, height = 0;
  int depth = 0, color_type = 0, channels = 0;
  std::vector<std::uint8_t> raw;
  std::vector<png_bytep> rows;
  std::vector<png_color> palette;

  int Sample(std::uint32_t x, std::uint32_t y, int c) const {
    const png_bytep row = rows[y];
    if (depth == 16) {
      const png_bytep p = row + (std::size_t{x} * channels + c) * 2;
      return (p[0] << 8) | p[1];
    }
    return row[std::size_t{x} * channels + c];
  }
};

struct MemorySource {
  const std::string* bytes;
  std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->bytes->size() - source->pos) png_error(png, "read past the end");
  std::copy_n(source->bytes->data() + source->pos, count, out);
  source->pos += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Everything that outlives a longjmp lives in *ref, reached through a pointer.
bool DecodeWithLibpng(const std::string& bytes, Reference* ref) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  MemorySource source{&bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, ReadFromMemory);
  png_read_info(png, info);
  ref->width = png_get_image_width(png, info);
  ref->height = png_get_image_height(png, info);
  ref->depth = png_get_bit_depth(png, info);
  ref->color_type = png_get_color_type(png, info);
  png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  ref->channels = png_get_channels(png, info);
  const std::size_t row_bytes = png_get_rowbytes(png, info);
  ref->raw.assign(row_bytes * ref->height, 0);
  ref->rows.resize(ref->height);
  for (std::uint32_t y = 0; y < ref->height; ++y) ref->rows[y] = ref->raw.data() + y * row_bytes;
  png_read_image(png, ref->rows.data());
  png_colorp palette = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &palette, &count)) ref->palette.assign(palette, palette + count);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

int Reduce(int value, int depth) {
  return depth == 16 ? value * 255 / 65535 : value;
}

// Compares the decoded bitmap with libpng's samples mapped to the bitmap's target: indices and
// colour table for grey and indexed images, BGR(A) bytes for colour; gamma-corrected values may
// differ by 1. Returns a description of the first difference, or "".
std::string Compare(TRasterBitmap& bitmap, const Reference& ref, double gamma) {
  const int tolerance = gamma > 0 ? 1 : 0;
  const int d = ref.depth;
  if (bitmap.Width() != static_cast<int>(ref.width) ||
      bitmap.Height() != static_cast<int>(ref.height))
    return "size differs";
  TRasterFormat format;
  switch (ref.color_type) {
    case 0:
    case 3:
      format = d == 1   ? TRasterFormat::rf1Bit
               : d <= 4 ? TRasterFormat::rf4Bit
                        : TRasterFormat::rf8Bit;
      break;
    case 4: format = TRasterFormat::rf8Bit; break;
    case 2: format = TRasterFormat::rf24Bit; break;
    default: format = TRasterFormat::rf32Bit; break;
  }
  if (bitmap.GetFormat() != format) return "format differs";
  const bool indexed = ref.color_type == 0 || ref.color_type == 3 || ref.color_type == 4;
  if (indexed) {
    // The colour table: a grey ramp over the target depth, or PLTE at the mapped indices.
    const int target_bits = BitsForFormat(format);
    const int entries = 1 << target_bits;
    if (ref.color_type == 3) {
      for (std::size_t k = 0; k < ref.palette.size() && k < (1u << d); ++k) {
        const int at = d == 2 ? static_cast<int>(k) * 5 : static_cast<int>(k);
        const png_color& c = ref.palette[k];
        if (!Near(bitmap.PaletteEntry(at), Corrected(c.red, gamma), Corrected(c.green, gamma),
                  Corrected(c.blue, gamma), tolerance))
          return "palette entry " + std::to_string(at);
      }
    } else {
      for (int i = 0; i < entries; ++i) {
        const int grey = Corrected(i * (255 / (entries - 1)), gamma);
        if (!Near(bitmap.PaletteEntry(i), grey, grey, grey, tolerance))
          return "grey entry " + std::to_string(i);
      }
    }
  }
  for (std::uint32_t y = 0; y < ref.height; ++y) {
    for (std::uint32_t x = 0; x < ref.width; ++x) {
      const std::string at = " at " + std::to_string(x) + "," + std::to_string(y);
      const int ix = static_cast<int>(x), iy = static_cast<int>(y);
      if (indexed) {
        int value = ref.Sample(x, y, 0);
        int expected = d == 16 ? Reduce(value, 16) : d == 2 ? value * 5 : value;
        if (static_cast<int>(Index(bitmap, ix, iy)) != expected)
          return "index " + std::to_string(Index(bitmap, ix, iy)) + " for " +
                 std::to_string(expected) + at;
        continue;
      }
      std::vector<int> bgr = Bgr(bitmap, ix, iy);
      for (int c = 0; c < 3; ++c) {
        int expected = Corrected(Reduce(ref.Sample(x, y, c), d), gamma);
        if (std::abs(bgr[2 - c] - expected) > tolerance)
          return "channel " + std::to_string(c) + " " + std::to_string(bgr[2 - c]) + " for " +
                 std::to_string(expected) + at;
      }
      if (ref.color_type == 6 && bgr[3] != Reduce(ref.Sample(x, y, 3), d)) return "alpha" + at;
    }
  }
  return "";
}

void CompareFolderWithLibpng(const std::string& folder, std::size_t minimum) {
  std::size_t compared = 0;
  for (const std::string& name : PngFiles(folder)) {
    if (IsBrokenSuiteFile(name) || name.find("/crashers/") != std::string::npos) continue;
    const std::string bytes = DataFile(name);
    Reference ref;
    ASSERT_TRUE(DecodeWithLibpng(bytes, &ref)) << name << ": libpng refuses a valid file";
    TPNGGraphic reader;
    Outcome outcome = Load(reader, bytes);
    ASSERT_TRUE(outcome.loaded) << name << ": " << outcome.message;
    EXPECT_EQ(Compare(*reader.Bitmap, ref, FileGamma(bytes)), "") << name;
    ++compared;
  }
  EXPECT_GE(compared, minimum);
}

TEST(PngSuite, ValidFilesDecodeAsLibpngDecodesThem) {
  CompareFolderWithLibpng("png/pngsuite", 161);
}

TEST(PngSuite, LibpngTestImagesDecodeAsLibpngDecodesThem) {
  CompareFolderWithLibpng("png/png-libpng", 150);
}

#endif  // VISTREL_HAVE_LIBPNG

TEST(PngSuite, EveryValidFileLoadsWithItsProperties) {
  std::size_t loaded = 0;
  for (const std::string& name : PngFiles("png/pngsuite")) {
    if (IsBrokenSuiteFile(name)) continue;
    const std::string bytes = DataFile(name);
    TPNGGraphic reader;
    Outcome outcome = Load(reader, bytes);
    ASSERT_TRUE(outcome.loaded) << name << ": " << outcome.message;
    // The IHDR fields, read straight from the file.
    const auto* h = reinterpret_cast<const std::uint8_t*>(bytes.data()) + 16;
    const std::uint32_t width = (std::uint32_t{h[0]} << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
    EXPECT_EQ(reader.ImageProperties.Width, width) << name;
    EXPECT_EQ(reader.ImageProperties.BitsPerSample, h[8]) << name;
    EXPECT_EQ(reader.ImageProperties.Interlaced, h[12] != 0) << name;
    EXPECT_EQ(reader.Bitmap->Width(), static_cast<int>(width)) << name;
    ++loaded;
  }
  EXPECT_EQ(loaded, 161u);
}

TEST(PngLibpngCorpus, CrashersAndBadPalettesFailCleanlyOrDecode) {
  const std::set<std::uint32_t> png_messages = {1, 2, 4, 5, 6, 7, 8, 9, 10};
  std::size_t count = 0;
  for (const std::string& name : PngFiles("png/png-libpng/testpngs")) {
    TPNGGraphic reader;
    Outcome outcome = Load(reader, DataFile(name));
    if (!outcome.loaded) {
      EXPECT_TRUE(png_messages.count(outcome.code)) << name << ": " << outcome.message;
    }
    ++count;
  }
  EXPECT_GT(count, 100u);
  // Chunks that claim more bytes than the file has are damage, not an allocation: an IDAT that
  // must be read is a CRC error; an ancillary chunk is only passed over, to the end of the
  // file, before any image data.
  TPNGGraphic reader;
  EXPECT_EQ(Load(reader, DataFile("png/png-libpng/testpngs/crashers/huge_IDAT.png")).code, 6u);
  EXPECT_EQ(Load(reader, DataFile("png/png-libpng/testpngs/crashers/huge_iCCP_chunk.png")).code,
            1u);
  EXPECT_EQ(Load(reader, DataFile("png/png-libpng/testpngs/crashers/badadler.png")).code, 7u);
  EXPECT_TRUE(
      Load(reader, DataFile("png/png-libpng/testpngs/crashers/empty_ancillary_chunks.png")).loaded);
}

// ---- Properties ------------------------------------------------------------------------------

TEST(PngProperties, HeaderFieldsAndGammaAreRead) {
  TPNGGraphic reader;
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  const std::string bytes = DataFile("png/pngsuite/g25n2c08.png");
  stream->Assign(bytes.data(), bytes.size());
  ASSERT_TRUE(reader.ReadImageProperties(*stream, 0));
  const TImageProperties& p = reader.ImageProperties;
  EXPECT_EQ(p.ColorScheme, TColorScheme::RGB);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.BitsPerPixel, 24);
  EXPECT_EQ(p.Compression, TCompressionScheme::csDeflate);
  EXPECT_TRUE(p.Flags.Contains(TImageFlag::BigEndianData));
  EXPECT_FALSE(p.HasAlpha);
  EXPECT_NEAR(p.Gamma, 2.5, 1e-6);

  const std::string ga = DataFile("png/pngsuite/basi4a16.png");
  stream->Assign(ga.data(), ga.size());
  ASSERT_TRUE(reader.ReadImageProperties(*stream, 0));
  EXPECT_EQ(reader.ImageProperties.ColorScheme, TColorScheme::GrayAlpha);
  EXPECT_EQ(reader.ImageProperties.SamplesPerPixel, 1) << "grey with alpha keeps one sample";
  EXPECT_TRUE(reader.ImageProperties.HasAlpha);
  EXPECT_TRUE(reader.ImageProperties.Interlaced);

  // Colour type 2 at depth 99: 3 x 99 kept in one byte.
  const std::string odd = DataFile("png/pngsuite/xd9n2c08.png");
  stream->Assign(odd.data(), odd.size());
  ASSERT_TRUE(reader.ReadImageProperties(*stream, 0));
  EXPECT_EQ(reader.ImageProperties.BitsPerPixel, (3 * 99) % 256);
}

TEST(PngProperties, WrongSignatureOrZeroSizeAnswersFalse) {
  TPNGGraphic reader;
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  const std::string zero_width = Png({Ihdr(0, 4, 8, 0), kIend});
  stream->Assign(zero_width.data(), zero_width.size());
  EXPECT_FALSE(reader.ReadImageProperties(*stream, 0));
  const std::string not_ihdr = Png({Chunk("gAMA", U32(45455)), Ihdr(1, 1, 8, 0), kIend});
  stream->Assign(not_ihdr.data(), not_ihdr.size());
  EXPECT_FALSE(reader.ReadImageProperties(*stream, 0));
  EXPECT_EQ(Load(reader, zero_width).code, 1u);
  // An empty IHDR with a right CRC is a header without a size, not a CRC error.
  TPNGGraphic fresh;
  EXPECT_EQ(Load(fresh, Png({Chunk("IHDR", ""), kIend})).code, 1u);
}

// ---- Filters, depths and interlacing, with known answers ---------------------------------------

// A 2-row 8-bit grey image: row 0 plain, row 1 stored with the given filter type.
Outcome LoadFiltered(TPNGGraphic& reader, const std::string& above, int filter,
                     const std::string& filtered) {
  const std::string raw = std::string(1, '\0') + above + static_cast<char>(filter) + filtered;
  const auto width = static_cast<std::uint32_t>(above.size());
  return Load(reader, Png({Ihdr(width, 2, 8, 0), Chunk("IDAT", Zlib(raw)), kIend}));
}

std::vector<int> GreyRow(TRasterBitmap& bitmap, int y) {
  std::vector<int> out;
  for (int x = 0; x < bitmap.Width(); ++x) out.push_back(static_cast<int>(Index(bitmap, x, y)));
  return out;
}

TEST(PngFilters, EachFilterTypeUndoesAsDefined) {
  TPNGGraphic reader;
  const std::string above = Bytes({10, 20, 30, 40});
  const std::string filtered = Bytes({1, 2, 3, 250});
  struct Case {
    int filter;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {0, {1, 2, 3, 250}},   {1, {1, 3, 6, 0}},  // Sub: left neighbour, wrapping at 256
      {2, {11, 22, 33, 34}},                     // Up
      {3, {6, 15, 25, 26}},                      // Average: floor((left + above) / 2)
      {5, {1, 2, 3, 250}},                       // unknown types leave the row as it is
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadFiltered(reader, above, c.filter, filtered).loaded);
    EXPECT_EQ(GreyRow(*reader.Bitmap, 0), (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(GreyRow(*reader.Bitmap, 1), c.expected) << "filter " << c.filter;
    reader.Bitmap.reset();
  }
}

TEST(PngFilters, PaethPicksLeftAboveOrUpperLeftWithTiesInThatOrder) {
  TPNGGraphic reader;
  // Pixel 0 takes above (nothing left), 1 left, 2 above, 3 upper left.
  ASSERT_TRUE(LoadFiltered(reader, Bytes({50, 50, 100, 70}), 4, Bytes({10, 20, 30, 40})).loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{60, 80, 130, 140}));
  reader.Bitmap.reset();
  // Pixel 1: left 110, above 80, upper left 100: above and upper left tie, above wins.
  ASSERT_TRUE(LoadFiltered(reader, Bytes({100, 80}), 4, Bytes({10, 5})).loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{110, 85}));
}

TEST(PngFilters, FilterDistanceIsTheWholePixel) {
  TPNGGraphic reader;
  // RGB 8-bit, 2 pixels, Sub: the second pixel adds the first pixel's same channel.
  const std::string raw = Bytes({1, 10, 20, 30, 1, 2, 3});
  ASSERT_TRUE(Load(reader, Png({Ihdr(2, 1, 8, 2), Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  EXPECT_EQ(Bgr(*reader.Bitmap, 1, 0), (std::vector<int>{33, 22, 11}));
}

TEST(PngDepths, TwoBitGreyBecomesFourBitWithLevelsTimesFive) {
  TPNGGraphic reader;
  const std::string raw = Bytes({0, 0x1B});  // levels 0, 1, 2, 3
  ASSERT_TRUE(Load(reader, Png({Ihdr(4, 1, 2, 0), Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  TRasterBitmap& bitmap = *reader.Bitmap;
  EXPECT_EQ(bitmap.GetFormat(), TRasterFormat::rf4Bit);
  EXPECT_EQ(GreyRow(bitmap, 0), (std::vector<int>{0, 5, 10, 15}));
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(bitmap.PaletteEntry(i), 0x111111u * static_cast<std::uint32_t>(i)) << i;
}

TEST(PngDepths, SixteenBitSamplesAreScaledDown) {
  TPNGGraphic reader;
  const std::string raw = Bytes({0, 0xFF, 0xFF, 0x80, 0x00, 0x01, 0x01});
  ASSERT_TRUE(Load(reader, Png({Ihdr(1, 1, 16, 2), Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  EXPECT_EQ(reader.Bitmap->GetFormat(), TRasterFormat::rf24Bit);
  // 65535, 32768, 257 -> 255, 127, 1 (v * 255 / 65535, truncated), stored blue first.
  EXPECT_EQ(Bgr(*reader.Bitmap, 0, 0), (std::vector<int>{1, 127, 255}));
}

TEST(PngInterlace, PassesWithoutColumnsAreSkipped) {
  // Width 1, height 8: passes 2, 4 and 6 start beyond the only column and carry no data.
  std::string raw;
  const int pass_rows[][4] = {{0, -1}, {4, -1}, {2, 6, -1}, {1, 3, 5, 7}};
  for (const auto& rows : pass_rows) {
    for (int y : rows) {
      if (y < 0) break;
      raw += Bytes({0, 10 * (y + 1)});
    }
  }
  TPNGGraphic reader;
  ASSERT_TRUE(Load(reader, Png({Ihdr(1, 8, 8, 0, 1), Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Index(*reader.Bitmap, 0, y), 10u * (y + 1)) << y;
}

TEST(PngInterlace, EachPassLandsOnItsColumnsAndStartsWithAZeroRowAbove) {
  // 8 x 8 grey, pixel value x + 8y + 1. Every row uses Up, so a pass that saw the previous
  // pass's last row instead of zeros would come out shifted.
  std::string raw;
  const int passes[7][4] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                            {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};  // row, column, steps
  for (const auto& pass : passes) {
    std::string above(8, '\0');
    for (int y = pass[0]; y < 8; y += pass[2]) {
      std::string row;
      for (int x = pass[1]; x < 8; x += pass[3]) row += static_cast<char>(x + 8 * y + 1);
      std::string filtered = row;
      for (std::size_t i = 0; i < row.size(); ++i)
        filtered[i] = static_cast<char>(row[i] - above[i]);
      raw += '\2' + filtered;
      above = row;
    }
  }
  TPNGGraphic reader;
  ASSERT_TRUE(Load(reader, Png({Ihdr(8, 8, 8, 0, 1), Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(Index(*reader.Bitmap, x, y), static_cast<std::uint32_t>(x + 8 * y + 1));
}

// ---- Chunks
// --------------------------------------------------------------------------------------

const std::string kGrey2x2 = Bytes({0, 1, 2, 0, 3, 4});

TEST(PngChunks, AncillaryUnknownChunksAreSkippedCriticalOnesRefused) {
  TPNGGraphic reader;
  const std::string idat = Chunk("IDAT", Zlib(kGrey2x2));
  EXPECT_TRUE(Load(reader, Png({Ihdr(2, 2, 8, 0), idat, Chunk("teSt", "xyz"), kIend})).loaded);
  Outcome critical = Load(reader, Png({Ihdr(2, 2, 8, 0), idat, Chunk("TEST", "xyz"), kIend}));
  EXPECT_EQ(critical.code, 10u);
  EXPECT_EQ(critical.message, "Cannot load PNG image. Unexpected but critical chunk detected.");
  EXPECT_EQ(Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("TEST", ""), idat, kIend})).code, 10u);
}

TEST(PngChunks, LetterCaseOfKnownChunkNamesIsIgnored) {
  TPNGGraphic reader;
  ASSERT_TRUE(
      Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("iDaT", Zlib(kGrey2x2)), Chunk("iend", "")}))
          .loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{3, 4}));
}

TEST(PngChunks, ImageDataMaySpreadOverManyChunksOfAnySize) {
  const std::string z = Zlib(kGrey2x2);
  std::vector<std::string> chunks = {Ihdr(2, 2, 8, 0), Chunk("IDAT", "")};
  for (char c : z) chunks.push_back(Chunk("IDAT", std::string(1, c)));
  chunks.push_back(kIend);
  TPNGGraphic reader;
  ASSERT_TRUE(Load(reader, Png(chunks)).loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 0), (std::vector<int>{1, 2}));
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{3, 4}));
}

TEST(PngChunks, GammaAfterTheImageDataSetsThePropertyButNotThePixels) {
  TPNGGraphic reader;
  const std::string raw = Bytes({0, 0, 100, 200});
  ASSERT_TRUE(Load(reader, Png({Ihdr(1, 1, 8, 2), Chunk("IDAT", Zlib(raw)),
                                Chunk("gAMA", U32(100000)), kIend}))
                  .loaded);
  EXPECT_EQ(Bgr(*reader.Bitmap, 0, 0), (std::vector<int>{200, 100, 0}));
  EXPECT_FLOAT_EQ(reader.ImageProperties.Gamma, 1.0f);
  // Before the data it corrects them.
  ASSERT_TRUE(Load(reader, Png({Ihdr(1, 1, 8, 2), Chunk("gAMA", U32(100000)),
                                Chunk("IDAT", Zlib(raw)), kIend}))
                  .loaded);
  EXPECT_TRUE(reader.ImageProperties.Flags.Contains(TImageFlag::GammaInUse));
  std::vector<int> bgr = Bgr(*reader.Bitmap, 0, 0);
  EXPECT_NEAR(bgr[1], Corrected(100, 1.0), 1);
  EXPECT_NEAR(bgr[0], Corrected(200, 1.0), 1);
}

TEST(PngChunks, PaletteBecomesTheColourTableAndMustHoldWholeEntries) {
  TPNGGraphic reader;
  const std::string plte = Chunk("PLTE", Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255}));
  const std::string raw = Bytes({0, 0x1B});  // 2-bit indices 0, 1, 2, 3
  ASSERT_TRUE(Load(reader, Png({Ihdr(4, 1, 2, 3), plte, Chunk("IDAT", Zlib(raw)), kIend})).loaded);
  TRasterBitmap& bitmap = *reader.Bitmap;
  EXPECT_EQ(bitmap.GetFormat(), TRasterFormat::rf4Bit);
  EXPECT_EQ(Shown(bitmap, 0, 0), 0xFF0000u);
  EXPECT_EQ(Shown(bitmap, 1, 0), 0x00FF00u);
  EXPECT_EQ(Shown(bitmap, 2, 0), 0x0000FFu);

  Outcome bad = Load(reader, Png({Ihdr(4, 1, 2, 3), Chunk("PLTE", std::string(10, '\1')),
                                  Chunk("IDAT", Zlib(raw)), kIend}));
  EXPECT_EQ(bad.code, 9u);
  EXPECT_EQ(bad.message, "Cannot load image. Palette in PNG file is invalid.");
}

TEST(PngChunks, CompressionMethodOtherThanZeroIsRefused) {
  TPNGGraphic reader;
  Outcome outcome =
      Load(reader, Png({Ihdr(2, 2, 8, 0, 0, 1), Chunk("IDAT", Zlib(kGrey2x2)), kIend}));
  EXPECT_EQ(outcome.code, 5u);
  EXPECT_EQ(outcome.message,
            "Cannot load image. The compression scheme is not supported for PNG files.");
  EXPECT_EQ(reader.ImageProperties.Compression, TCompressionScheme::csUnknown);
}

TEST(PngChunks, TransparencyIsKeptButDoesNotChangeThePicture) {
  TPNGGraphic reader;
  const std::string plte = Chunk("PLTE", Bytes({1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(Load(reader, Png({Ihdr(2, 1, 8, 3), plte, Chunk("tRNS", Bytes({0, 128})),
                                Chunk("IDAT", Zlib(Bytes({0, 0, 1}))), kIend}))
                  .loaded);
  ASSERT_EQ(reader.PaletteAlpha.size(), 256u);
  EXPECT_EQ(reader.PaletteAlpha[0], 0);
  EXPECT_EQ(reader.PaletteAlpha[1], 128);
  EXPECT_EQ(reader.PaletteAlpha[2], 255);
  EXPECT_EQ(Shown(*reader.Bitmap, 1, 0), 0x040506u);

  ASSERT_TRUE(
      Load(reader, Png({Ihdr(1, 1, 16, 2), Chunk("tRNS", Bytes({0xFF, 0xFF, 0, 0, 0x80, 0})),
                        Chunk("IDAT", Zlib(Bytes({0, 1, 2, 3, 4, 5, 6}))), kIend}))
          .loaded);
  EXPECT_EQ(reader.TransparencyKey, 0xFFu | (127u << 16));
}

// ---- Damage ------------------------------------------------------------------------------------

TEST(PngDamage, ByteChangedInsideImageDataIsACrcErrorBeforeDecompression) {
  std::string bytes = DataFile("png/pngsuite/basn0g08.png");
  const std::size_t idat = bytes.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  bytes[idat + 10] = static_cast<char>(bytes[idat + 10] ^ 0x40);
  TPNGGraphic reader;
  EXPECT_EQ(Load(reader, bytes).code, 6u);
  // Data that is no zlib stream but carries a right CRC reaches the decoder: message 7.
  EXPECT_EQ(Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", "garbage!"), kIend})).code, 7u);
}

TEST(PngDamage, ChunkLongerThanTheFileIsACrcErrorNotAnAllocation) {
  TPNGGraphic reader;
  const std::string good = Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2)), kIend});
  // An ancillary chunk claiming 4 GB is no chunk at all. One claiming 2^31 - 1 or 100 bytes is
  // only passed over, to the end of the file, which ends the walk before any image data.
  for (std::uint32_t length : {0x7FFFFFFFu, 0xFFFFFFF0u, 100u}) {
    std::string bytes = good;
    bytes.insert(33, U32(length) + "teXt" + "short");
    Outcome outcome = Load(reader, bytes);
    EXPECT_EQ(outcome.code, length == 0xFFFFFFF0u ? 6u : 1u) << length;
  }
  // IDAT cut short by the end of the file.
  std::string cut = good.substr(0, good.size() - 16);
  EXPECT_EQ(Load(reader, cut).code, 6u);
}

TEST(PngDamage, StreamEndingBeforeIendStopsAsAtIend) {
  TPNGGraphic reader;
  const std::string no_end = Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2))});
  ASSERT_TRUE(Load(reader, no_end).loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{3, 4}));
  ASSERT_TRUE(Load(reader, no_end + "\0\0\0").loaded) << "a partial chunk header ends it too";
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(no_end.data(), no_end.size());
  EXPECT_TRUE(reader.ReadImageProperties(*stream, 0)) << "the gAMA search stops as well";
}

TEST(PngDamage, ChunksOnlyPassedOverNeedNoCrc) {
  const std::string complete = Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2)), kIend});
  TPNGGraphic whole;
  ASSERT_TRUE(Load(whole, complete).loaded);
  // IEND without its CRC, or with part of it, decodes as the complete file does.
  for (std::size_t cut : {1u, 2u, 4u}) {
    SCOPED_TRACE(cut);
    TPNGGraphic reader;
    ASSERT_TRUE(Load(reader, complete.substr(0, complete.size() - cut)).loaded);
    for (int y = 0; y < 2; ++y) EXPECT_EQ(GreyRow(*reader.Bitmap, y), GreyRow(*whole.Bitmap, y));
    std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
    const std::string bytes = complete.substr(0, complete.size() - cut);
    stream->Assign(bytes.data(), bytes.size());
    EXPECT_TRUE(reader.ReadImageProperties(*stream, 0));
  }
  // An ancillary chunk after the image whose data the file cuts short is passed over as well.
  std::string tail =
      Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2)), Chunk("tEXt", "a\0bcdef")});
  TPNGGraphic cut_text;
  ASSERT_TRUE(Load(cut_text, tail.substr(0, tail.size() - 6)).loaded);
  EXPECT_EQ(GreyRow(*cut_text.Bitmap, 1), (std::vector<int>{3, 4}));
}

TEST(PngDamage, IndexedImageWithoutPaletteIsRefused) {
  const std::string raw = Bytes({0, 0x1B});
  TPNGGraphic reader;
  Outcome none = Load(reader, Png({Ihdr(4, 1, 2, 3), Chunk("IDAT", Zlib(raw)), kIend}));
  EXPECT_EQ(none.code, 9u);
  EXPECT_EQ(none.message, "Cannot load image. Palette in PNG file is invalid.");
  TPNGGraphic empty;
  EXPECT_EQ(
      Load(empty, Png({Ihdr(4, 1, 2, 3), Chunk("PLTE", ""), Chunk("IDAT", Zlib(raw)), kIend})).code,
      9u);
  // A palette after the image data comes too late to colour it.
  TPNGGraphic late;
  EXPECT_EQ(Load(late, Png({Ihdr(4, 1, 2, 3), Chunk("IDAT", Zlib(raw)),
                            Chunk("PLTE", Bytes({1, 2, 3})), kIend}))
                .code,
            9u);
}

TEST(PngDamage, ImageDataMustJustifyThePictureAndThePictureTheBudget) {
  // 268,435,455 x 1 of 16-bit RGBA with 2.1 MB of image data, enough for deflate to make it:
  // a 1 GiB bitmap and two 2 GiB row buffers. Refused with message 4 before any of them exists.
  TPNGGraphic huge;
  const std::string idat = Chunk("IDAT", std::string(2100000, '\0'));
  Outcome refused = Load(huge, Png({Ihdr(268435455u, 1, 16, 6), idat, kIend}));
  EXPECT_EQ(refused.code, 4u);
  EXPECT_EQ(refused.message, "Cannot load image. Unsupported PNG image format.");
  EXPECT_EQ(huge.Bitmap, nullptr);
  // 20000 x 20000 grey fits the budget, but 10 bytes of image data cannot make 400 MB of rows,
  // however many other bytes the file carries.
  TPNGGraphic lying;
  Outcome lie = Load(lying, Png({Ihdr(20000, 20000, 8, 0), Chunk("tEXt", std::string(500000, 'x')),
                                 Chunk("IDAT", Zlib(kGrey2x2)), kIend}));
  EXPECT_EQ(lie.code, 1u);
}

TEST(PngDamage, ShortChunksAreNeverReadPastTheirData) {
  TPNGGraphic reader;
  const std::string idat = Chunk("IDAT", Zlib(kGrey2x2));
  // IHDR of 9 bytes: depth 8 and the rest 0 (grey, deflate, not interlaced).
  std::string ihdr = Chunk("IHDR", U32(2) + U32(2) + Bytes({8}));
  EXPECT_TRUE(Load(reader, Png({ihdr, idat, kIend})).loaded);
  // IHDR of 8 bytes: depth 0.
  EXPECT_EQ(Load(reader, Png({Chunk("IHDR", U32(2) + U32(2)), idat, kIend})).code, 2u);
  // gAMA of 2 bytes: the missing ones read as 0.
  EXPECT_TRUE(
      Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("gAMA", Bytes({0, 1})), idat, kIend})).loaded);
  EXPECT_TRUE(reader.ImageProperties.Flags.Contains(TImageFlag::GammaInUse));
  EXPECT_NEAR(reader.ImageProperties.Gamma, 0x10000 / 100000.0, 1e-6);
  // bKGD of 3 bytes for colour: red 5, green and blue missing.
  EXPECT_TRUE(Load(reader, Png({Ihdr(1, 1, 8, 2), Chunk("bKGD", Bytes({0, 5, 0})),
                                Chunk("IDAT", Zlib(Bytes({0, 1, 2, 3}))), kIend}))
                  .loaded);
  EXPECT_EQ(reader.FillColor, 0x000005u);
}

TEST(PngDamage, ExtraDataAfterTheStreamOrAStreamEndingInsideARow) {
  TPNGGraphic reader;
  // Trailing bytes after the zlib stream in the same chunk.
  EXPECT_EQ(Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2) + "xx"), kIend})).code,
            8u);
  // A complete zlib stream one byte short of the last row.
  Outcome short_row =
      Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2.substr(0, 5))), kIend}));
  EXPECT_EQ(short_row.code, 8u);
  EXPECT_EQ(short_row.message, "Cannot load image. Extra compressed data found in PNG file.");
  // A second run of IDAT chunks after another chunk.
  const std::string z = Zlib(kGrey2x2);
  EXPECT_EQ(Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", z), Chunk("tEXt", "a\0b"),
                              Chunk("IDAT", z), kIend}))
                .code,
            8u);
  // IDAT chunks after the complete image directly are consumed unused.
  EXPECT_TRUE(
      Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", z), Chunk("IDAT", "zz"), kIend})).loaded);
}

// Compressed rows with a full flush after `flush_after` bytes of raw data, so a prefix of the
// output holds exactly those bytes.
std::string ZlibWithFlush(const std::string& raw, std::size_t flush_after, std::string* prefix) {
  z_stream z = {};
  EXPECT_EQ(deflateInit(&z, 9), Z_OK);
  std::string out(raw.size() * 2 + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  z.avail_in = static_cast<uInt>(flush_after);
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  *prefix = out.substr(0, out.size() - z.avail_out);
  z.avail_in = static_cast<uInt>(raw.size() - flush_after);
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

TEST(PngFill, RowsTheDataNeverReachedKeepTheFillColour) {
  // 3 x 4 grey; the data stops one and a half rows in.
  std::string raw;
  for (int y = 0; y < 4; ++y) raw += Bytes({0, 50 + y, 60 + y, 70 + y});
  std::string prefix;
  ZlibWithFlush(raw, 6, &prefix);
  TPNGGraphic reader;
  ASSERT_TRUE(Load(reader, Png({Ihdr(3, 4, 8, 0), Chunk("IDAT", prefix), kIend})).loaded);
  TRasterBitmap& bitmap = *reader.Bitmap;
  EXPECT_EQ(GreyRow(bitmap, 0), (std::vector<int>{50, 60, 70}));
  for (int y = 1; y < 4; ++y) EXPECT_EQ(GreyRow(bitmap, y), (std::vector<int>{255, 255, 255})) << y;

  // With a grey background level the fill is that level's grey.
  ASSERT_TRUE(Load(reader, Png({Ihdr(3, 4, 8, 0), Chunk("bKGD", Bytes({0, 0x40})),
                                Chunk("IDAT", prefix), kIend}))
                  .loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 2), (std::vector<int>{0x40, 0x40, 0x40}));
  EXPECT_EQ(reader.FillColor, 0x404040u);

  // 2-bit grey: level 2 shows as index 10 of the 4-bit bitmap, grey 170.
  reader.Bitmap.reset();
  ZlibWithFlush(Bytes({0, 0x1B, 0, 0x1B}), 2, &prefix);
  ASSERT_TRUE(Load(reader, Png({Ihdr(4, 2, 2, 0), Chunk("bKGD", Bytes({0, 2})),
                                Chunk("IDAT", prefix), kIend}))
                  .loaded);
  EXPECT_EQ(GreyRow(*reader.Bitmap, 0), (std::vector<int>{0, 5, 10, 15}));
  EXPECT_EQ(GreyRow(*reader.Bitmap, 1), (std::vector<int>{10, 10, 10, 10}));
  EXPECT_EQ(reader.FillColor, 0xAAAAAAu);
}

TEST(PngFill, BackgroundOfIndexedAndColourImages) {
  std::string raw;
  for (int y = 0; y < 3; ++y) raw += Bytes({0, 0, 1});
  std::string prefix;
  ZlibWithFlush(raw, 3, &prefix);
  TPNGGraphic reader;
  const std::string plte = Chunk("PLTE", Bytes({9, 9, 9, 200, 0, 0, 0, 0, 200}));
  ASSERT_TRUE(Load(reader, Png({Ihdr(2, 3, 8, 3), plte, Chunk("bKGD", Bytes({2})),
                                Chunk("IDAT", prefix), kIend}))
                  .loaded);
  EXPECT_EQ(reader.FillColor, 0xC80000u) << "entry 2 (blue), as 0x00BBGGRR";
  EXPECT_EQ(Index(*reader.Bitmap, 0, 2), 2u);
  EXPECT_EQ(Index(*reader.Bitmap, 1, 0), 1u);

  reader.Bitmap.reset();
  std::string rgb;
  for (int y = 0; y < 2; ++y) rgb += Bytes({0, 1, 2, 3});
  ZlibWithFlush(rgb, 4, &prefix);
  ASSERT_TRUE(Load(reader, Png({Ihdr(1, 2, 8, 2),
                                Chunk("bKGD", Bytes({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})),
                                Chunk("IDAT", prefix), kIend}))
                  .loaded);
  EXPECT_EQ(Bgr(*reader.Bitmap, 0, 1), (std::vector<int>{0xBC, 0x78, 0x34}));
  EXPECT_EQ(Bgr(*reader.Bitmap, 0, 0), (std::vector<int>{3, 2, 1}));
}

TEST(PngDamage, SizesTheFileCannotHoldAreRefusedBeforeAllocating) {
  TPNGGraphic reader;
  const std::string idat = Chunk("IDAT", Zlib(kGrey2x2));
  EXPECT_EQ(Load(reader, Png({Ihdr(20000, 20000, 8, 0), idat, kIend})).code, 1u);
  EXPECT_EQ(Load(reader, Png({Ihdr(0x80000000u, 1, 8, 0), idat, kIend})).code, 1u);
  EXPECT_EQ(Load(reader, Png({Ihdr(1, 0xFFFFFFFFu, 16, 6), idat, kIend})).code, 1u);
  EXPECT_EQ(reader.Bitmap, nullptr);
  // An unsupported colour type at a huge size is refused for its colour type, and its bitmap
  // never gets pixel memory.
  EXPECT_EQ(Load(reader, Png({Ihdr(60000, 60000, 8, 5), idat, kIend})).code, 2u);
}

TEST(PngReuse, SecondLoadKeepsTheBitmapSizeAndClips) {
  TPNGGraphic reader;
  ASSERT_TRUE(Load(reader, DataFile("png/pngsuite/basn0g08.png")).loaded);  // 32 x 32
  ASSERT_TRUE(Load(reader, Png({Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib(kGrey2x2)), kIend})).loaded);
  EXPECT_EQ(reader.Bitmap->Width(), 32);
  EXPECT_EQ(Index(*reader.Bitmap, 1, 1), 4u);
  reader.Bitmap = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDeviceBitmap(3, 5));
  ASSERT_TRUE(Load(reader, DataFile("png/pngsuite/basn2c08.png")).loaded);
  EXPECT_EQ(reader.Bitmap->Width(), 3);
  EXPECT_EQ(reader.Bitmap->Height(), 5);
  EXPECT_EQ(reader.ImageProperties.Width, 32u) << "the properties are the new file's";
  EXPECT_EQ(reader.Bitmap->GetFormat(), TRasterFormat::rf24Bit);
}

// ---- Every byte changed, every length cut
// --------------------------------------------------------

TEST(PngMutation, EveryChangedByteAndEveryCutEndsInAPictureOrAMessage) {
  const std::set<std::uint32_t> png_messages = {1, 2, 4, 5, 6, 7, 8, 9, 10};
  std::size_t cases = 0, pictures = 0;
  std::map<std::uint32_t, std::size_t> messages;
  for (const char* name :
       {"png/pngsuite/basn0g01.png", "png/pngsuite/basi3p02.png", "png/pngsuite/basn6a08.png"}) {
    test::SweepDamage(DataFile(name), {},
                      [&](const std::string& bytes, const test::Damage& damage) {
                        TPNGGraphic reader;
                        Outcome outcome = Load(reader, bytes);
                        ++cases;
                        if (outcome.loaded) {
                          ++pictures;
                          EXPECT_NE(reader.Bitmap, nullptr) << name << " " << damage.Describe();
                        } else {
                          ++messages[outcome.code];
                          EXPECT_TRUE(png_messages.count(outcome.code))
                              << name << " " << damage.Describe() << ": " << outcome.message;
                        }
                      });
  }
  EXPECT_GT(pictures, 0u);
  EXPECT_GT(messages[6], 0u);
  EXPECT_GT(cases, 5000u);
}

// ---- The converter's part in PNG decoding ----------------------------------------------------

// One sample a pixel in and out, in the same scheme.
void SetSingleSample(TColorConverter& converter, TColorScheme scheme) {
  converter.SetSourceScheme(scheme);
  converter.SetTargetScheme(scheme);
  converter.SetSourceSamples(1);
  converter.SetTargetSamples(1);
}

TEST(PngConversion, MaskPlacesPassPixelsAtTheirColumns) {
  TColorConverter converter;
  SetSingleSample(converter, TColorScheme::Gray);
  const std::uint8_t source[2] = {11, 22};
  std::uint8_t target[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  converter.ConvertRow(SourceRows(source), 0x88, 8, target);
  EXPECT_EQ(std::vector<int>(target, target + 8), (std::vector<int>{11, 2, 3, 4, 22, 6, 7, 8}));
}

TEST(PngConversion, TwoBitToFourBitAndSixteenBitGreyToFourBit) {
  TColorConverter converter;
  SetSingleSample(converter, TColorScheme::Indexed);
  converter.SetSourceBits(2);
  converter.SetTargetBits(4);
  const std::uint8_t source[1] = {0x1B};
  std::uint8_t target[2] = {};
  converter.ConvertRow(SourceRows(source), 0xFF, 4, target);
  EXPECT_EQ(target[0], 0x05);
  EXPECT_EQ(target[1], 0xAF);

  converter.SetSourceScheme(TColorScheme::Gray);
  converter.SetTargetScheme(TColorScheme::Gray);
  converter.SetSourceBits(16);
  try {
    converter.ConvertRow(SourceRows(source), 0xFF, 1, target);
    FAIL() << "16-bit grey to 4 bits has no routine";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Code(), 15u);
  }
}

}  // namespace
}  // namespace vistrel
