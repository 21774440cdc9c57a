// The BMP reader on the BMP Suite files: every file loads, is refused or raises a check, never
// anything worse; natively the pixels are compared with independent decoders (Pillow, and
// ImageMagick where Pillow declines); and a mutation loop over real files must end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/exception.h"
#include "imaging/bmp_copy.h"
#include "imaging/byte_reader.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "platform/files.h"
#include "tests/support/damage_sweep.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Outcome { kLoaded, kEmpty, kCheck };

const char* OutcomeName(Outcome o) {
  return o == Outcome::kLoaded ? "loaded" : o == Outcome::kEmpty ? "empty" : "check";
}

// The BMP Suite files we hold, from the folder's index (x/ holds no BMPs of our kind).
std::vector<std::string> CorpusFiles() {
  std::string index;
  EXPECT_TRUE(ReadWholeFile(test::DataPath("bmp/INDEX.txt"), index));
  std::vector<std::string> files;
  std::istringstream lines(index);
  std::string line;
  while (std::getline(lines, line)) {
    std::string name = line.substr(0, line.find('\t'));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0 &&
        name.rfind("x/", 0) != 0) {
      files.push_back(name);
    }
  }
  return files;
}

Bytes FileBytes(const std::string& name) {
  std::string s = test::ReadBytes(test::DataPath("bmp/" + name));
  return Bytes(s.begin(), s.end());
}

bool IsBitmapCheck(const Exception& e) {
  if (e.Kind() != kToolkitCheckKind) return false;
  for (const char* text : {kUnsupportedBitmapFormat, kBitmapWidthMustBePositive,
                           kBitmapHeightMustBePositive, kNoMemory}) {
    if (e.Message().rfind(std::string(text) + " (", 0) == 0) return true;
  }
  return false;
}

// Reads a block of bytes in place: the mutation loop loads hundreds of thousands of files, and
// copying each into a memory stream first would double what the sanitizers must track.
class ViewStream : public TDataStream {
 public:
  ViewStream(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(static_cast<std::int64_t>(size)) {}
  std::uint32_t Read(void* buffer, std::uint32_t count) override {
    std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(count, size_ - position_));
    if (n) std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(n));
    position_ += n;
    return static_cast<std::uint32_t>(n);
  }
  std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override {
    std::int64_t base = from == TSeekFrom::sfBeginning ? 0
                        : from == TSeekFrom::sfCurrent ? position_
                                                       : size_;
    if (base + offset < 0) return -1;
    position_ = base + offset;
    return position_;
  }
  std::int64_t Size() override { return size_; }
  void SetSize(std::int64_t) override {}

 private:
  const std::uint8_t* data_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

Outcome LoadBytes(const std::uint8_t* data, std::size_t size, TRasterBitmap& bmp) {
  auto stream = std::make_unique<ViewStream>(data, size);
  try {
    bmp.LoadFromStream(*stream);
  } catch (const Exception& e) {
    EXPECT_TRUE(IsBitmapCheck(e)) << e.Message();
    EXPECT_TRUE(bmp.IsEmpty());
    return Outcome::kCheck;
  }
  if (bmp.IsEmpty()) {
    EXPECT_EQ(stream->Position(), 0) << "a refused file puts the stream back";
    EXPECT_EQ(bmp.Header(), nullptr);
    return Outcome::kEmpty;
  }
  return Outcome::kLoaded;
}

// The file as the row copy writes it, or nothing when the copy declines the file.
bool RowCopied(const Bytes& bytes, Bytes& copied) {
  ViewStream in(bytes.data(), bytes.size());
  BmpRowCopy copy;
  if (!copy.Open(in)) {
    EXPECT_EQ(in.Position(), 0) << "a declined file leaves the stream where it was";
    return false;
  }
  auto out = CreateMemoryStream();
  EXPECT_EQ(copy.CopyTo(*out), BmpRowCopy::Result::kCopied);
  const std::uint8_t* p = out->Memory();
  copied = p ? Bytes(p, p + out->Size()) : Bytes();
  return true;
}

// The row copy writes byte for byte what loading and saving the file writes, and declines
// exactly the files that do not load or hold run-length data (those are decoded as before).
void ExpectRowCopyAgrees(const Bytes& bytes, Outcome outcome, TRasterBitmap& loaded) {
  Bytes copied;
  const bool copies = RowCopied(bytes, copied);
  if (outcome != Outcome::kLoaded) {
    EXPECT_FALSE(copies) << "copied a file the reader refuses (" << OutcomeName(outcome) << ")";
    return;
  }
  if (!copies) {
    const std::size_t info = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M' ? 14 : 0;
    ASSERT_GE(bytes.size(), info + 20);
    const std::uint32_t compression = LoadU32LE(bytes.data() + info + 16);
    EXPECT_TRUE(LoadU32LE(bytes.data() + info) == 40 && (compression == 1 || compression == 2))
        << "declined a plain file that loads";
    return;
  }
  auto saved = CreateMemoryStream();
  loaded.SaveToStream(*saved);
  ASSERT_EQ(copied.size(), static_cast<std::size_t>(saved->Size()));
  EXPECT_EQ(std::memcmp(copied.data(), saved->Memory(), copied.size()), 0);
}

// What our writer made of a loaded bitmap must load again to the same header and pixels.
void ExpectSaveRoundTrip(TRasterBitmap& bmp, const std::string& what) {
  auto out = CreateMemoryStream();
  bmp.SaveToStream(*out);
  ASSERT_GT(out->Size(), 54) << what;
  TRasterBitmap again;
  auto in = CreateMemoryStream();
  in->Assign(out->Memory(), static_cast<std::size_t>(out->Size()));
  again.LoadFromStream(*in);
  ASSERT_FALSE(again.IsEmpty()) << what;
  EXPECT_EQ(Bytes(again.Header(), again.Header() + 40), Bytes(bmp.Header(), bmp.Header() + 40))
      << what;
  ASSERT_EQ(again.PixelMemorySize(), bmp.PixelMemorySize()) << what;
  EXPECT_EQ(std::memcmp(again.PixelMemory(), bmp.PixelMemory(), bmp.PixelMemorySize()), 0) << what;
  std::uint32_t bits = LoadU16LE(bmp.Header() + 14);
  for (int i = 0; bits <= 8 && i < (1 << bits); ++i) {
    ASSERT_EQ(again.PaletteEntry(i), bmp.PaletteEntry(i)) << what << " entry " << i;
  }
}

// Outcomes that the format leaves no doubt about; everything else is only held to "no crash".
const std::map<std::string, Outcome>& ExpectedOutcomes() {
  static const std::map<std::string, Outcome> expected = {
      // Version 4 and 5 headers (108 and 124 bytes) are not read.
      {"good/pal8v4.bmp", Outcome::kEmpty},
      {"good/pal8v5.bmp", Outcome::kEmpty},
      {"bad/badwidth.bmp", Outcome::kCheck},
      {"bad/badheadersize.bmp", Outcome::kEmpty},
      {"bad/badbitcount.bmp", Outcome::kEmpty},
      {"bad/reallybig.bmp", Outcome::kEmpty},
      {"bad/shortfile.bmp", Outcome::kEmpty},  // shorter than its pixel memory: no tail to read
      {"bad/rletopdown.bmp", Outcome::kEmpty},
      {"bad/badpalettesize.bmp", Outcome::kLoaded},           // biClrUsed is not consulted
      {"questionable/pal8offs.bmp", Outcome::kEmpty},         // gap beyond the table area
      {"questionable/pal8oversizepal.bmp", Outcome::kEmpty},  // 300 entries
      {"questionable/rgb24largepal.bmp", Outcome::kEmpty},    // 300 entries
      {"questionable/pal2.bmp", Outcome::kLoaded},
      {"questionable/rgba64.bmp", Outcome::kLoaded},
  };
  return expected;
}

TEST(BmpCorpus, EveryFileLoadsIsRefusedOrRaisesACheck) {
  std::vector<std::string> files = CorpusFiles();
  ASSERT_GE(files.size(), 90u);
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    Bytes bytes = FileBytes(name);
    ASSERT_FALSE(bytes.empty());
    TRasterBitmap bmp;
    Outcome outcome = LoadBytes(bytes.data(), bytes.size(), bmp);
    auto expected = ExpectedOutcomes().find(name);
    if (expected != ExpectedOutcomes().end()) {
      EXPECT_EQ(OutcomeName(outcome), std::string(OutcomeName(expected->second)));
    } else if (name.rfind("good/", 0) == 0) {
      EXPECT_EQ(OutcomeName(outcome), std::string("loaded"));
    }
    if (outcome == Outcome::kLoaded) {
      // Saving changes the bitmap (a device bitmap becomes a DIB): a fresh load is compared.
      TRasterBitmap fresh;
      LoadBytes(bytes.data(), bytes.size(), fresh);
      ExpectRowCopyAgrees(bytes, outcome, fresh);
    } else {
      TRasterBitmap none;
      ExpectRowCopyAgrees(bytes, outcome, none);
    }
    if (outcome != Outcome::kLoaded) continue;

    // The file stream gives the same as reading from memory.
    TRasterBitmap from_file = TRasterBitmap::CreateDeviceBitmap(10, 10);
    from_file.LoadFromFile(test::DataPath("bmp/" + name));
    ASSERT_EQ(from_file.PixelMemorySize(), bmp.PixelMemorySize());
    EXPECT_EQ(std::memcmp(from_file.PixelMemory(), bmp.PixelMemory(), bmp.PixelMemorySize()), 0);
    EXPECT_EQ(Bytes(from_file.Header(), from_file.Header() + 1064),
              Bytes(bmp.Header(), bmp.Header() + 1064));

    ExpectSaveRoundTrip(bmp, name);
    for (TRasterFormat format : {TRasterFormat::rf1Bit, TRasterFormat::rf8Bit,
                                 TRasterFormat::rf16Bit, TRasterFormat::rf32Bit}) {
      TRasterBitmap copy;
      LoadBytes(bytes.data(), bytes.size(), copy);
      TRasterFormat before = copy.GetFormat();
      copy.SetFormat(format);
      // Between the two 16-bit formats nothing is converted.
      bool stays = before == TRasterFormat::rf15Bit && format == TRasterFormat::rf16Bit;
      EXPECT_EQ(copy.GetFormat(), stays ? before : format);
    }
  }
}

#ifndef _WIN32

// Decodes every named file with Pillow into "<mode> <width> <height> <decoder>\n" and the pixels:
// for P a 768-byte RGB palette and one index per pixel, for RGB three bytes per pixel; "NONE 0 0"
// when no decoder reads it. ImageMagick decodes what Pillow declines, and the run-length files:
// this Pillow (9.4) misplaces RLE4 pixels, as the suite's own reference renderings show.
constexpr char kReferenceScript[] = R"PY(
import subprocess, sys
from PIL import Image
out_dir = sys.argv[1]
for i, path in enumerate(sys.argv[2:]):
    data = b"NONE 0 0 none\n"
    head = open(path, "rb").read(34)
    rle = len(head) == 34 and head[14] == 40 and head[30] in (1, 2)
    try:
        if rle:
            raise ValueError("run-length data: ImageMagick")
        im = Image.open(path)
        im.load()
        if im.mode == "P":
            pal = bytes(im.getpalette()[:768])
            pal += bytes(768 - len(pal))
            data = b"P %d %d pil\n" % im.size + pal + im.tobytes()
        else:
            data = b"RGB %d %d pil\n" % im.size + im.convert("RGB").tobytes()
    except Exception:
        try:
            size = subprocess.run(["/usr/bin/convert-im6.q16", path, "-format", "%w %h", "info:"],
                                  capture_output=True, check=True).stdout.split()
            rgb = subprocess.run(["/usr/bin/convert-im6.q16", path, "-depth", "8", "rgb:-"],
                                 capture_output=True, check=True).stdout
            data = b"RGB %s %s %s\n" % (size[0], size[1], b"im-rle" if rle else b"im") + rgb
        except Exception:
            pass
    with open("%s/%d.ref" % (out_dir, i), "wb") as f:
        f.write(data)
)PY";

struct Reference {
  std::string mode;
  std::string decoder;  // pil, im-rle (run-length files) or im (what Pillow declines)
  int width = 0;
  int height = 0;
  Bytes palette;  // P only
  Bytes pixels;
};

class BmpCorpusReference : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    files_ = CorpusFiles();
    std::string dir = test::FreshDir("bmp_reference");
    test::WriteBytes(dir + "decode.py", kReferenceScript);
    std::string command = "/usr/bin/python3 '" + dir + "decode.py' '" + dir + "'";
    for (const std::string& name : files_) command += " '" + test::DataPath("bmp/" + name) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      std::string data = test::ReadBytes(dir + std::to_string(i) + ".ref");
      Reference ref;
      std::size_t eol = data.find('\n');
      std::istringstream head(data.substr(0, eol));
      head >> ref.mode >> ref.width >> ref.height >> ref.decoder;
      Bytes rest(data.begin() + static_cast<std::ptrdiff_t>(eol + 1), data.end());
      if (ref.mode == "P") {
        ref.palette.assign(rest.begin(), rest.begin() + 768);
        ref.pixels.assign(rest.begin() + 768, rest.end());
      } else {
        ref.pixels = rest;
      }
      references_[files_[i]] = ref;
    }
  }

  static std::vector<std::string> files_;
  static std::map<std::string, Reference> references_;
};

std::vector<std::string> BmpCorpusReference::files_;
std::map<std::string, Reference> BmpCorpusReference::references_;

std::uint32_t IndexAt(const std::uint8_t* row, int x, int bits) {
  int bit = x * bits;
  return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// Compares our picture with the reference: indices and table where both are indexed, and the
// colours after our conversion to 24 bits in every case.
void CompareWithReference(const std::string& name, const Bytes& bytes, const Reference& ref) {
  SCOPED_TRACE(name);
  TRasterBitmap bmp;
  ASSERT_EQ(LoadBytes(bytes.data(), bytes.size(), bmp), Outcome::kLoaded);
  ASSERT_EQ(bmp.Width(), ref.width);
  ASSERT_EQ(bmp.Height(), ref.height);
  const int bits = LoadU16LE(bmp.Header() + 14);
  const std::size_t w = static_cast<std::size_t>(ref.width);
  Bytes expected_rgb = ref.pixels;
  if (ref.mode == "P") {
    ASSERT_EQ(ref.pixels.size(), w * static_cast<std::size_t>(ref.height));
    ASSERT_LE(bits, 8) << "the reference keeps a palette, so should we";
    std::set<std::uint32_t> used;
    int index_mismatches = 0;
    for (int y = 0; y < ref.height; ++y) {
      for (int x = 0; x < ref.width; ++x) {
        std::uint32_t ours = IndexAt(bmp.ScanLine(y), x, bits);
        std::uint32_t theirs =
            ref.pixels[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
        if (ours != theirs) ++index_mismatches;
        used.insert(theirs);
      }
    }
    EXPECT_EQ(index_mismatches, 0);
    for (std::uint32_t i : used) {
      std::uint32_t rgb = (std::uint32_t{ref.palette[3 * i]} << 16) |
                          (std::uint32_t{ref.palette[3 * i + 1]} << 8) | ref.palette[3 * i + 2];
      EXPECT_EQ(bmp.PaletteEntry(static_cast<int>(i)) & 0xFFFFFF, rgb) << "entry " << i;
    }
    expected_rgb.clear();
    for (std::uint8_t index : ref.pixels) {
      expected_rgb.insert(expected_rgb.end(), ref.palette.begin() + 3 * index,
                          ref.palette.begin() + 3 * index + 3);
    }
  }
  ASSERT_EQ(expected_rgb.size(), w * static_cast<std::size_t>(ref.height) * 3);
  // Channels narrower than 8 bits may be widened by truncation or by rounding: 1 apart.
  const int tolerance = bits == 16 ? 1 : 0;
  bmp.SetFormat(TRasterFormat::rf24Bit);
  int worst = 0;
  for (int y = 0; y < ref.height; ++y) {
    const std::uint8_t* row = bmp.ScanLine(y);
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint8_t* theirs = &expected_rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      for (int c = 0; c < 3; ++c) {
        int diff = std::abs(int{row[3 * x + 2 - static_cast<std::size_t>(c)]} - int{theirs[c]});
        worst = std::max(worst, diff);
      }
    }
  }
  EXPECT_LE(worst, tolerance);
}

TEST_F(BmpCorpusReference, GoodFilesMatchTheReferenceDecoder) {
  int compared = 0;
  int row_copies = 0;
  for (const std::string& name : files_) {
    if (name.rfind("good/", 0) != 0) continue;
    const Reference& ref = references_[name];
    auto expected = ExpectedOutcomes().find(name);
    if (expected != ExpectedOutcomes().end() && expected->second != Outcome::kLoaded) continue;
    ASSERT_NE(ref.mode, "NONE") << name << ": no reference decoder read it";
    CompareWithReference(name, FileBytes(name), ref);
    ++compared;
    // What the applier writes for a plain file without holding its rows.
    Bytes copied;
    if (RowCopied(FileBytes(name), copied)) {
      CompareWithReference(name + " (row copy)", copied, ref);
      ++row_copies;
    }
  }
  EXPECT_EQ(compared, 25) << "all but the two with version 4 and 5 headers";
  EXPECT_EQ(row_copies, 23) << "all but the two run-length files";
}

TEST_F(BmpCorpusReference, QuestionableFilesThatBothReadAgree) {
  // Where the files leave pixels undefined (RLE skips) both sides use index 0. Files that only
  // ImageMagick reads are those with 2- to 11-bit mask channels, whose widening to 8 bits no
  // format rule fixes (we scale; it differs by up to 127), so they are not compared.
  int compared = 0;
  for (const std::string& name : files_) {
    if (name.rfind("questionable/", 0) != 0) continue;
    const Reference& ref = references_[name];
    if (ref.decoder != "pil" && ref.decoder != "im-rle") continue;
    Bytes bytes = FileBytes(name);
    TRasterBitmap probe;
    if (LoadBytes(bytes.data(), bytes.size(), probe) != Outcome::kLoaded) continue;
    CompareWithReference(name, bytes, ref);
    ++compared;
  }
  EXPECT_EQ(compared, 9);
}

#endif  // _WIN32

// Every single-bit flip, 0 and 255 at every byte, then every truncation: each result must be a
// bitmap, an empty bitmap or a check, and whatever loads must save, reload and convert.
void MutateAndLoad(const std::string& name) {
  const Bytes original = FileBytes(name);
  ASSERT_FALSE(original.empty()) << name;
  std::map<Outcome, int> counts;
  // Header changes choose new paths through saving and conversion; pixel changes do not, so
  // those only load (which keeps the loop quick).
  auto run = [&](const std::string& bytes, const test::Damage& damage) {
    const bool header_changed = damage.kind == test::Damage::Kind::kCut || damage.at < 54;
    TRasterBitmap bmp;
    Outcome outcome =
        LoadBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), bmp);
    ++counts[outcome];
    if (!header_changed) return;
    if (bmp.PixelMemorySize() <= (std::size_t{16} << 20)) {
      ExpectRowCopyAgrees(Bytes(bytes.begin(), bytes.end()), outcome, bmp);
    }
    if (outcome != Outcome::kLoaded) return;
    // A changed size in a run-length header can make a valid sparse picture of hundreds of
    // megabytes; saving and converting those would only test the allocator.
    if (bmp.PixelMemorySize() > (std::size_t{16} << 20)) return;
    auto out = CreateMemoryStream();
    bmp.SaveToStream(*out);
    TRasterBitmap again;
    LoadBytes(out->Memory(), static_cast<std::size_t>(out->Size()), again);
    EXPECT_EQ(again.PixelMemorySize(), bmp.PixelMemorySize()) << damage.Describe();
    bmp.SetFormat(TRasterFormat::rf24Bit);
    bmp.SetFormat(TRasterFormat::rf4Bit);
  };
  test::SweepDamage(std::string(original.begin(), original.end()), {}, run);
  EXPECT_GT(counts[Outcome::kLoaded], 0) << name;
  EXPECT_GT(counts[Outcome::kEmpty], 0) << name;
}

TEST(BmpMutation, FlippedAndTruncatedFilesEndCleanly) {
  // A plain 40-byte header with a table, run-length data, and a 12-byte core header.
  for (const char* name : {"good/pal1.bmp", "good/pal4rle.bmp", "good/pal8os2.bmp"}) {
    SCOPED_TRACE(name);
    MutateAndLoad(name);
  }
}

}  // namespace
}  // namespace vistrel
