#include "imaging/gif_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifdef VISTREL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"
#include "tests/unit/reader_load.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Building GIF files in the test ------------------------------------------------------------

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

// LZW data that codes every pixel as a literal, with a clear code before the code width would
// grow, so any decoder reads it back exactly.
std::string LzwLiterals(const Bytes& pixels, int code_size) {
  const unsigned clear = 1u << code_size;
  const unsigned width = static_cast<unsigned>(code_size) + 1;
  const std::size_t group = clear - 2;
  std::string out;
  std::uint32_t acc = 0;
  unsigned bits = 0;
  auto emit = [&](unsigned code) {
    acc |= code << bits;
    bits += width;
    while (bits >= 8) {
      out += static_cast<char>(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  };
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % group == 0) emit(clear);
    emit(pixels[i]);
  }
  emit(clear + 1);
  if (bits > 0) out += static_cast<char>(acc & 0xFF);
  return out;
}

std::string SubBlocks(const std::string& data) {
  std::string out;
  for (std::size_t at = 0; at < data.size(); at += 255) {
    std::string block = data.substr(at, 255);
    out += static_cast<char>(block.size());
    out += block;
  }
  return out + '\0';
}

std::string Table(int entries, int seed) {
  std::string out;
  for (int i = 0; i < entries; ++i) {
    out += static_cast<char>(i + seed);
    out += static_cast<char>(2 * i + seed);
    out += static_cast<char>(255 - i);
  }
  return out;
}

struct GifFile {
  std::string signature = "GIF89a";
  unsigned screen_width = 0, screen_height = 0;
  int global_entries = 4;  // 0: no global table
  int background = 0;
  std::string before_image;  // extension blocks
  unsigned width = 0, height = 0;
  int local_entries = 0;
  bool interlaced = false;
  int code_size = 2;
  Bytes pixels;  // in stream order
};

int SizeCode(int entries) {
  int code = 0;
  while ((2 << code) < entries) ++code;
  return code;
}

std::string MakeGif(const GifFile& s) {
  std::string out = s.signature;
  Put16(out, s.screen_width);
  Put16(out, s.screen_height);
  out += static_cast<char>(s.global_entries ? 0x80 | SizeCode(s.global_entries) : 0);
  out += static_cast<char>(s.background);
  out += '\0';
  if (s.global_entries) out += Table(2 << SizeCode(s.global_entries), 10);
  out += s.before_image;
  out += ',';
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, s.width);
  Put16(out, s.height);
  int flags = s.interlaced ? 0x40 : 0;
  if (s.local_entries) flags |= 0x80 | SizeCode(s.local_entries);
  out += static_cast<char>(flags);
  if (s.local_entries) out += Table(2 << SizeCode(s.local_entries), 100);
  out += static_cast<char>(s.code_size);
  out += SubBlocks(LzwLiterals(s.pixels, s.code_size));
  return out + ';';
}

// ---- Loading -----------------------------------------------------------------------------------

struct Loaded {
  std::unique_ptr<TGIFGraphic> reader = std::make_unique<TGIFGraphic>();
  int message = 0;  // 0 when it loaded

  TRasterBitmap& Bitmap() { return *reader->Bitmap; }
  Bytes Row(int y) {
    const std::uint8_t* line = Bitmap().ScanLine(y);
    return Bytes(line, line + Bitmap().Width());
  }
};

Loaded Load(const std::string& bytes) {
  Loaded out;
  out.message = test::LoadMessage(*out.reader, bytes,
                                  "Cannot load image. Invalid or unexpected GIF image format.");
  return out;
}

GifFile GifOf(unsigned width, unsigned height, Bytes pixels, unsigned screen_width = 0,
              unsigned screen_height = 0) {
  GifFile s;
  s.width = width;
  s.height = height;
  s.pixels = std::move(pixels);
  s.screen_width = screen_width;
  s.screen_height = screen_height;
  return s;
}

Bytes Ramp(std::size_t n, int modulo) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i % modulo);
  return out;
}

TEST(GifReader, DecodesRowsAndTakesTheColourTable) {
  GifFile s = GifOf(3, 2, {0, 1, 2, 3, 2, 1}, 3, 2);
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  EXPECT_EQ(g.Bitmap().GetFormat(), TRasterFormat::rf8Bit);
  EXPECT_EQ(g.Row(0), (Bytes{0, 1, 2}));
  EXPECT_EQ(g.Row(1), (Bytes{3, 2, 1}));
  // Entry i of the table written above is (10 + i, 10 + 2i, 255 - i).
  EXPECT_EQ(g.Bitmap().PaletteEntry(3), 0x0D10FCu);
  const TImageProperties& p = g.reader->ImageProperties;
  EXPECT_EQ(p.Version, 89u);
  EXPECT_EQ(p.BitsPerSample, 2);
  EXPECT_EQ(p.ColorScheme, TColorScheme::Indexed);
  EXPECT_EQ(p.Compression, TCompressionScheme::csLZW);
}

TEST(GifReader, SignatureIgnoresLetterCase) {
  GifFile s;
  s.signature = "gif87a";
  s.width = s.height = 1;
  s.pixels = {2};
  const std::string bytes = MakeGif(s) + std::string(20, '\0');
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  EXPECT_TRUE(TGIFGraphic::CanLoadStream(*stream));
  EXPECT_EQ(stream->Position(), 0);
  Loaded g = Load(bytes);
  ASSERT_EQ(g.message, 0);
  EXPECT_EQ(g.reader->ImageProperties.Version, 87u);
  EXPECT_EQ(g.Row(0), Bytes{2});
}

TEST(GifReader, RefusesWhatIsNotAGif) {
  EXPECT_EQ(Load("GIX89a" + std::string(40, '\0')).message, 1);
  EXPECT_EQ(Load("GIF8").message, 1);
  // A header without a whole screen descriptor is not a picture either.
  EXPECT_EQ(Load("GIF89a\x01\x00\x01").message, 1);
  // Too short for the signature test, which leaves the position alone.
  const std::string short_gif = "GIF89a" + std::string(16, '\0');
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(short_gif.data(), short_gif.size());
  EXPECT_FALSE(TGIFGraphic::CanLoadStream(*stream));
  EXPECT_EQ(stream->Position(), 0);
}

TEST(GifReader, ZeroImageSizeTakesTheScreenSize) {
  GifFile s = GifOf(0, 2, {1, 1, 1, 1, 2, 2, 2, 2}, 4, 2);
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  EXPECT_EQ(g.Bitmap().Width(), 4);
  EXPECT_EQ(g.Row(1), (Bytes{2, 2, 2, 2}));
}

TEST(GifReader, LocalTableOverwritesTheFirstEntries) {
  GifFile s;
  s.global_entries = 256;
  s.code_size = 8;
  s.local_entries = 4;
  s.width = s.height = 1;
  s.pixels = {3};
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  // Local entry i: (100 + i, 100 + 2i, 255 - i); global entry i: (10 + i, 10 + 2i, 255 - i).
  EXPECT_EQ(g.Bitmap().PaletteEntry(0), 0x6464FFu);
  EXPECT_EQ(g.Bitmap().PaletteEntry(3), 0x676AFCu);
  EXPECT_EQ(g.Bitmap().PaletteEntry(4), 0x0E12FBu);
  EXPECT_EQ(g.Bitmap().PaletteEntry(255), 0x090800u);
  EXPECT_TRUE(g.reader->ImageProperties.LocalColorTable);
  EXPECT_EQ(g.reader->ImageProperties.BitsPerSample, 2);
}

TEST(GifReader, ExtensionsBeforeTheImageChangeNothing) {
  GifFile s = GifOf(3, 3, Ramp(9, 4));
  Loaded plain = Load(MakeGif(s));
  std::string extensions;
  extensions += std::string("!\xF9\x04\x01\x00\x00\x02", 7) + '\0';  // graphic control
  extensions += "!\xFE" + SubBlocks("a comment ,;!");                // comment
  extensions += "!\xFF" + SubBlocks("NETSCAPE2.0");                  // application
  extensions += std::string("!\x01\x0C", 3) + std::string(12, 'p') + SubBlocks("text");
  extensions += "!\x77" + SubBlocks("any");  // unknown label: its sub-blocks are skipped
  extensions += "junk";                      // stray bytes before the descriptor are passed over
  s.before_image = extensions;
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  ASSERT_EQ(plain.message, 0);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(g.Row(y), plain.Row(y));
  EXPECT_EQ(g.Row(2), (Bytes{2, 3, 0}));
}

TEST(GifReader, EveryExtensionIsSkippedAsSubBlocksWhateverItsLabel) {
  GifFile s = GifOf(3, 2, Ramp(6, 4));
  Loaded plain = Load(MakeGif(s));
  ASSERT_EQ(plain.message, 0);
  // Introducer bytes inside the data of unknown labels (and of a label that is itself one):
  // none of them may end the walk or be read as a descriptor.
  const char* payloads[] = {";", ",", "ab;cd", "x,\x01\x02\x03\x04\x05\x06\x07\x08\x09", "!\x2C;"};
  const std::uint8_t labels[] = {0x00, 0x02, 0x2C, 0x3B, 0x77, 0xFA};
  for (std::uint8_t label : labels) {
    for (const char* payload : payloads) {
      SCOPED_TRACE(std::to_string(label) + " " + payload);
      s.before_image = std::string("!") + static_cast<char>(label) + SubBlocks(payload);
      Loaded g = Load(MakeGif(s));
      ASSERT_EQ(g.message, 0);
      ASSERT_EQ(g.Bitmap().Width(), 3);
      ASSERT_EQ(g.Bitmap().Height(), 2);
      for (int y = 0; y < 2; ++y) EXPECT_EQ(g.Row(y), plain.Row(y));
      TGIFGraphic props;
      std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
      const std::string bytes = MakeGif(s);
      stream->Assign(bytes.data(), bytes.size());
      ASSERT_TRUE(props.ReadImageProperties(*stream, 0));
      EXPECT_EQ(props.ImageProperties.Width, 3u);
    }
  }
}

TEST(GifReader, StartCodeSizeAboveElevenIsRefused) {
  GifFile s = GifOf(2, 2, Ramp(4, 4));
  for (int code_size : {11, 12, 13, 255}) {
    SCOPED_TRACE(code_size);
    std::string bytes = MakeGif(s);
    // The code size byte follows the descriptor (no local table): patch it in place.
    const std::size_t at = bytes.size() - SubBlocks(LzwLiterals(s.pixels, 2)).size() - 2;
    ASSERT_EQ(bytes[at], 2);
    bytes[at] = static_cast<char>(code_size);
    Loaded g = Load(bytes);
    if (code_size == 11) {
      EXPECT_EQ(g.message, 0) << "decodable, if not sensible";
    } else {
      EXPECT_EQ(g.message, 1);
      EXPECT_EQ(g.reader->Bitmap, nullptr) << "no blank picture left behind";
    }
  }
}

TEST(GifReader, PicturesBeyondTheMemoryBudgetAreRefused) {
  // 60000 x 20000 with data enough for LZW to make it: its bitmap alone would take 1.2 GB.
  // Refused with message 4 before it exists.
  GifFile s = GifOf(60000, 20000, Ramp(4, 4));
  std::string bytes = MakeGif(s);
  bytes.insert(bytes.size() - 1, std::string(450000, '\0'));
  Loaded g = Load(bytes);
  EXPECT_EQ(g.message, 4);
  EXPECT_EQ(g.reader->Bitmap, nullptr);
}

TEST(GifReader, InterlacedRowsGoBackInPlace) {
  GifFile s;
  s.width = 2;
  s.height = 5;
  s.interlaced = true;
  s.global_entries = 8;
  s.code_size = 3;
  // Stream order: rows 0, 4, 2, 1, 3, each filled with its place in the stream.
  s.pixels = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  EXPECT_TRUE(g.reader->ImageProperties.Interlaced);
  EXPECT_EQ(g.Row(0), (Bytes{0, 0}));
  EXPECT_EQ(g.Row(4), (Bytes{1, 1}));
  EXPECT_EQ(g.Row(2), (Bytes{2, 2}));
  EXPECT_EQ(g.Row(1), (Bytes{3, 3}));
  EXPECT_EQ(g.Row(3), (Bytes{4, 4}));
}

TEST(GifReader, RowsTheDataMissesShowTheBackground) {
  GifFile s;
  s.width = 2;
  s.height = 3;
  s.background = 3;
  s.pixels = {1, 2};  // one row of data for three rows
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  EXPECT_EQ(g.Row(0), (Bytes{1, 2}));
  EXPECT_EQ(g.Row(1), (Bytes{3, 3}));
  EXPECT_EQ(g.Row(2), (Bytes{3, 3}));

  // The same image cut inside its data: the bytes that arrived are decoded, nothing else.
  s.pixels = {1, 2, 0, 1, 2, 0};
  std::string cut = MakeGif(s);
  cut.resize(cut.size() - 4);
  Loaded c = Load(cut);
  ASSERT_EQ(c.message, 0);
  EXPECT_EQ(c.Row(0), (Bytes{1, 2}));
  EXPECT_EQ(c.Row(2), (Bytes{3, 3}));

  // A start code size the decoder cannot take is refused, not shown as background.
  s.code_size = 12;
  std::string big = MakeGif(s);
  Loaded b = Load(big);
  EXPECT_EQ(b.message, 1);
  EXPECT_EQ(b.reader->Bitmap, nullptr);
}

TEST(GifReader, TrailerBeforeAnyImageLeavesAnEmptyBitmap) {
  std::string bytes = "GIF89a";
  Put16(bytes, 8);
  Put16(bytes, 8);
  bytes += std::string("\x80\x00\x00", 3) + Table(2, 0) + "!\xFE" + SubBlocks("x") + ";";
  Loaded g = Load(bytes + std::string(10, '\0'));
  ASSERT_EQ(g.message, 0);
  EXPECT_TRUE(g.Bitmap().IsEmpty());
  EXPECT_EQ(g.reader->ImageProperties.Width, 0u);
  // A file that simply ends before any descriptor is treated the same way.
  Loaded e = Load(bytes.substr(0, bytes.size() - 1));
  ASSERT_EQ(e.message, 0);
  EXPECT_TRUE(e.Bitmap().IsEmpty());
}

TEST(GifReader, RefusesSizesTheDataCouldNeverFill) {
  GifFile s = GifOf(65535, 65535, {1, 2, 3});
  EXPECT_EQ(Load(MakeGif(s)).message, 1);
  // The largest picture a byte of LZW data can describe is far below that, but a modest image
  // with short data is only incomplete.
  s.width = 300;
  s.height = 200;
  Loaded g = Load(MakeGif(s));
  ASSERT_EQ(g.message, 0);
  EXPECT_EQ(g.Bitmap().Width(), 300);
}

#ifdef VISTREL_HAVE_GIFLIB

// The first image as giflib decodes it: indices in display order and the colour map in force.
struct GiflibImage {
  bool complete = false;
  int width = 0, height = 0, screen_width = 0, screen_height = 0;
  int rows_read = 0;  // rows of the stream order giflib delivered
  bool interlaced = false;
  std::vector<Bytes> stream_rows;
  std::vector<std::uint32_t> colors;  // 0x00RRGGBB for the map's entries
  std::vector<std::uint32_t> global_colors;
  bool local = false;
};

bool ReadWithGiflib(const std::string& path, GiflibImage& out) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return false;
  out.screen_width = gif->SWidth;
  out.screen_height = gif->SHeight;
  auto colors = [](const ColorMapObject* map) {
    std::vector<std::uint32_t> c;
    for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
      const GifColorType& e = map->Colors[i];
      c.push_back((std::uint32_t{e.Red} << 16) | (std::uint32_t{e.Green} << 8) | e.Blue);
    }
    return c;
  };
  out.global_colors = colors(gif->SColorMap);
  bool found = false;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) break;
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) block = nullptr;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) break;
    found = true;
    out.width = gif->Image.Width;
    out.height = gif->Image.Height;
    out.interlaced = gif->Image.Interlace;
    out.local = gif->Image.ColorMap != nullptr;
    out.colors = colors(out.local ? gif->Image.ColorMap : gif->SColorMap);
    out.complete = true;
    for (int y = 0; y < out.height; ++y) {
      Bytes row(static_cast<std::size_t>(out.width));
      if (DGifGetLine(gif, row.data(), out.width) == GIF_ERROR) {
        out.complete = false;
        break;
      }
      out.stream_rows.push_back(row);
    }
    out.rows_read = static_cast<int>(out.stream_rows.size());
    break;
  }
  DGifCloseFile(gif, &error);
  return found;
}

std::vector<int> DisplayOrder(int height, bool interlaced) {
  std::vector<int> order;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
  }
  return order;
}

std::vector<std::string> CorpusGifs() {
  std::vector<std::string> out;
  const std::filesystem::path root = test::DataPath("gif");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.path().extension() == ".gif") out.push_back(entry.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Every corpus file: where giflib reads the first image, our indices and colours are the same;
// where giflib gives up part way, the rows it delivered agree; nothing crashes.
TEST(GifCorpus, FirstImageMatchesGiflib) {
  const std::vector<std::string> files = CorpusGifs();
  ASSERT_GE(files.size(), 80u);
  int compared = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string bytes = test::ReadBytes(path);
    Loaded ours = Load(bytes);
    GiflibImage ref;
    if (!ReadWithGiflib(path, ref)) continue;
    if (ref.width == 0 || ref.height == 0) continue;  // we take the screen's size there
    if (ours.message != 0) {
      // Only a size its data could never fill is refused.
      EXPECT_FALSE(ref.complete);
      continue;
    }
    ASSERT_EQ(ours.Bitmap().Width(), ref.width);
    ASSERT_EQ(ours.Bitmap().Height(), ref.height);
    const std::vector<int> order = DisplayOrder(ref.height, ref.interlaced);
    for (int i = 0; i < ref.rows_read; ++i) {
      ASSERT_EQ(ours.Row(order[static_cast<std::size_t>(i)]), ref.stream_rows[i]) << "row " << i;
    }
    for (std::size_t i = 0; i < ref.colors.size() && i < 256; ++i) {
      EXPECT_EQ(ours.Bitmap().PaletteEntry(static_cast<int>(i)), ref.colors[i]) << "entry " << i;
    }
    if (ref.local) {
      for (std::size_t i = ref.colors.size(); i < ref.global_colors.size(); ++i) {
        EXPECT_EQ(ours.Bitmap().PaletteEntry(static_cast<int>(i)), ref.global_colors[i]);
      }
    }
    if (ref.complete) ++compared;
  }
  EXPECT_GE(compared, 60);
}

#endif

// A byte-flip and truncation sweep over real files: every case ends in a picture or message 1.
TEST(GifCorpus, DamagedCopiesEndCleanly) {
  test::SweepDataFiles({"gif/wuffs/hippopotamus.interlaced.gif", "gif/pillow/hopper.gif",
                        "gif/oiio-images/gif_oiio_logo_with_alpha.gif"},
                       1200, {0, 1}, [](const std::string& bytes) { return Load(bytes).message; });
}

}  // namespace
}  // namespace vistrel
