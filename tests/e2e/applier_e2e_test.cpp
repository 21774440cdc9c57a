// vistrel.exe with one argument, as the agent starts it, observed from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// clang-format off
// jpeglib.h needs FILE and size_t declared before it.
#include <cstdio>
#include <jpeglib.h>
#include <zlib.h>
// clang-format on

#include "common/apply_result.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {
namespace {

using Names = std::vector<std::string>;

DWORD Code(ApplyResult result) {
  return static_cast<DWORD>(result);
}

// Programs started while it lives see the variable the agent sets for its appliers.
class AgentEnvironment {
 public:
  AgentEnvironment() { SetEnvironmentVariableA(kAgentApplyVariable, kAgentApplyValue); }
  ~AgentEnvironment() { SetEnvironmentVariableA(kAgentApplyVariable, nullptr); }
  AgentEnvironment(const AgentEnvironment&) = delete;
  AgentEnvironment& operator=(const AgentEnvironment&) = delete;
};

// Waits for the process to end, closing every box it shows on the way; their texts go to boxes.
DWORD WaitClosingBoxes(Process& process, std::string& boxes) {
  WaitFor(
      [&] {
        boxes += TakeMessageBoxText(process.Id(), 100);
        return process.Wait(0) != STILL_ACTIVE;
      },
      60000);
  return process.Wait(0);
}

// The temporary files a write left in dir.
Names TemporaryFiles(const std::string& dir) {
  Names found;
  for (const std::string& name : test::FileNamesIn(dir))
    if (name.size() >= 5 && name.compare(name.size() - 5, 5, ".tmp~") == 0) found.push_back(name);
  return found;
}

// The two style values under the desktop key, both checked and both shown.
testing::AssertionResult DesktopStyleIs(const std::string& style, const std::string& tile) {
  const std::string got_style = ReadDesktopValue("WallpaperStyle");
  const std::string got_tile = ReadDesktopValue("TileWallpaper");
  if (got_style == style && got_tile == tile) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "WallpaperStyle \"" << got_style << "\" (want \"" << style << "\"), TileWallpaper \""
         << got_tile << "\" (want \"" << tile << "\")";
}

void WriteDesktopStyle(const std::string& style, const std::string& tile) {
  WriteDesktopValue("WallpaperStyle", style);
  WriteDesktopValue("TileWallpaper", tile);
}

class ApplierE2E : public testing::Test {
 protected:
  void SetUp() override {
    WriteDesktopStyle("before-style", "before-tile");
    WriteDesktopValue("Wallpaper", "before.bmp");
  }

  // Runs vistrel.exe from its own folder with the given raw argument text.
  DWORD Apply(const std::string& dir, const std::string& argument) {
    return RunToEnd("\"" + dir + "vistrel.exe\" " + argument);
  }

  // A fresh folder with vistrel.exe and the pictures a.bmp and b.bmp.
  std::string DirWithPictures(const std::string& name, const std::string& a, const std::string& b) {
    std::string dir = FreshProgramDir(name, {"vistrel.exe"});
    test::WriteBytes(dir + "a.bmp", a);
    test::WriteBytes(dir + "b.bmp", b);
    return dir;
  }

  // What a refused run must leave as it was: the old wallpaper file (and no temporary beside it)
  // and the desktop values SetUp wrote.
  void ExpectNothingChanged(const std::string& dir) {
    EXPECT_EQ(FileBytes(dir + "vistrel_wlp.bmp"), "previous wallpaper");
    EXPECT_EQ(TemporaryFiles(dir), Names{});
    EXPECT_TRUE(DesktopStyleIs("before-style", "before-tile"));
    EXPECT_EQ(ReadDesktopValue("Wallpaper"), "before.bmp");
  }

  // Applies dir + name with the style letter, expecting exit code 0; the wallpaper file after.
  std::string AppliedWallpaper(const std::string& dir, char letter, const std::string& name) {
    EXPECT_EQ(Apply(dir, "\"" + std::string(1, letter) + dir + name + "\""), 0u) << name;
    return FileBytes(dir + "vistrel_wlp.bmp");
  }
};

TEST_F(ApplierE2E, StretchWritesTheWallpaperFileAndStyleValues) {
  std::string dir = FreshProgramDir("apply_stretch", {"vistrel.exe"});
  std::string picture = test::Bmp24(37, 21, 5);
  test::WriteBytes(dir + "Sea Side.BMP", picture);

  // Stretched, the picture is made at the screen's size.
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GT(screen.width, 0u);
  EXPECT_TRUE(IsBmp24(AppliedWallpaper(dir, '3', "Sea Side.BMP"), screen.width, screen.height));
  EXPECT_TRUE(DesktopStyleIs("2", "0"));
  std::string wallpaper = ReadDesktopValue("Wallpaper");
  EXPECT_NE(wallpaper.find("vistrel_wlp.bmp"), std::string::npos) << wallpaper;
  EXPECT_EQ(TemporaryFiles(dir), Names{});
}

TEST_F(ApplierE2E, TileAndOtherLetters) {
  std::string dir = DirWithPictures("apply_tile", test::Bmp24(4, 4, 1), test::Bmp24(6, 2, 2));

  EXPECT_EQ(Apply(dir, "\"2" + dir + "a.bmp\""), 0u);
  EXPECT_TRUE(DesktopStyleIs("0", "1"));

  // Any letter but 1 to 3 sets the picture and leaves both style values alone.
  WriteDesktopStyle("kept-style", "kept-tile");
  EXPECT_EQ(AppliedWallpaper(dir, '0', "b.bmp"), test::Bmp24(6, 2, 2));
  EXPECT_TRUE(DesktopStyleIs("kept-style", "kept-tile"));
}

TEST_F(ApplierE2E, FitAndFillSetTheirStyleValues) {
  std::string dir = DirWithPictures("apply_fit_fill", test::Bmp24(8, 3, 4), test::Bmp24(3, 8, 6));

  // Fit: as wide as the screen (the picture is the wider), the height in proportion; Fill: the
  // screen covered, its middle kept.
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GE(8 * screen.height, 3 * screen.width);
  EXPECT_TRUE(
      IsBmp24(AppliedWallpaper(dir, '4', "a.bmp"), screen.width, (2 * 3 * screen.width + 8) / 16));
  EXPECT_TRUE(DesktopStyleIs("6", "0"));

  WriteDesktopValue("TileWallpaper", "1");
  EXPECT_TRUE(IsBmp24(AppliedWallpaper(dir, '5', "b.bmp"), screen.width, screen.height));
  EXPECT_TRUE(DesktopStyleIs("10", "0"));
}

TEST_F(ApplierE2E, NothingChangesForMissingDamagedOrMisquotedFiles) {
  std::string dir = FreshProgramDir("apply_nothing", {"vistrel.exe"});
  test::WriteBytes(dir + "good.bmp", test::Bmp24(3, 3, 3));
  test::WriteBytes(dir + "damaged.bmp", test::Bmp24(3, 3, 3).substr(0, 30));
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");

  const std::pair<std::string, ApplyResult> cases[] = {
      {"\"1" + dir + "missing.bmp\"", ApplyResult::kApplyExitNoSuchFile},
      {"\"1" + dir + "damaged.bmp\"", ApplyResult::kApplyExitCannotShow},
      // The quotes inside the argument stay in the path.
      {"3\"" + dir + "good.bmp\"", ApplyResult::kApplyExitNoSuchFile},
      {"\"2" + dir + "\"", ApplyResult::kApplyExitNoSuchFile},  // a folder is not a picture
      {"\"3\"", ApplyResult::kApplyExitNoSuchFile},             // a lone letter: empty path
      {"\"1" + dir + "good.tiff\"", ApplyResult::kApplyExitUnsupported},
  };
  test::WriteBytes(dir + "good.tiff", test::Bmp24(3, 3, 3));
  for (const auto& [argument, result] : cases) {
    EXPECT_EQ(Apply(dir, argument), Code(result)) << argument;
    EXPECT_EQ(FileBytes(dir + "vistrel_wlp.bmp"), "previous wallpaper") << argument;
    EXPECT_TRUE(DesktopStyleIs("before-style", "before-tile")) << argument;
    EXPECT_EQ(ReadDesktopValue("Wallpaper"), "before.bmp") << argument;
  }
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

// Pixel rows of the wallpaper file: everything after the 54-byte headers of a 24-bit BMP.
std::string BmpPixels(const std::string& bmp) {
  return bmp.size() > 54 ? bmp.substr(54) : "";
}

TEST_F(ApplierE2E, JpegFilesOfEachExtensionSpellingBecomeTheWallpaper) {
  std::string dir = FreshProgramDir("apply_jpeg", {"vistrel.exe"});
  std::string jpeg = test::ReadBytes(test::DataPath("jpeg/wuffs/mona-lisa.21x32.q90.jpeg"));
  for (const char* name : {"mona.jpg", "mona.jpeg", "MONA.JPG"}) {
    DeleteFileA((dir + "vistrel_wlp.bmp").c_str());
    WriteDesktopValue("WallpaperStyle", "x");
    test::WriteBytes(dir + name, jpeg);
    std::string bmp = AppliedWallpaper(dir, '1', name);
    ASSERT_GT(bmp.size(), 54u) << name;
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bmp[18]), 21u) << "width";
    EXPECT_EQ(static_cast<unsigned char>(bmp[22]), 32u) << "height";
    EXPECT_TRUE(DesktopStyleIs("0", "0")) << name;
  }
}

TEST_F(ApplierE2E, DamagedJpegWithReadableHeaderStillBecomesTheWallpaper) {
  std::string dir = FreshProgramDir("apply_jpeg_damaged", {"vistrel.exe"});
  std::string whole = test::ReadBytes(test::DataPath("jpeg/wuffs/mona-lisa.21x32.q90.jpeg"));
  test::WriteBytes(dir + "whole.jpg", whole);
  test::WriteBytes(dir + "cut.jpg", whole.substr(0, whole.size() * 2 / 3));
  ASSERT_EQ(Apply(dir, "\"2" + dir + "whole.jpg\""), 0u);
  std::string complete = FileBytes(dir + "vistrel_wlp.bmp");
  DeleteFileA((dir + "vistrel_wlp.bmp").c_str());

  std::string partial = AppliedWallpaper(dir, '2', "cut.jpg");
  ASSERT_EQ(partial.size(), complete.size())
      << "the whole picture's size, decoded as far as it goes";
  EXPECT_NE(BmpPixels(partial), BmpPixels(complete)) << "the missing part is not the real picture";
  EXPECT_EQ(ReadDesktopValue("TileWallpaper"), "1");
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

TEST_F(ApplierE2E, PngIsTiled) {
  std::string dir = FreshProgramDir("apply_png", {"vistrel.exe"});
  test::WriteBytes(dir + "a.png", test::ReadBytes(test::DataPath("png/pngsuite/basn2c08.png")));
  std::string bmp = AppliedWallpaper(dir, '2', "a.png");
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(static_cast<unsigned char>(bmp[18]), 32u) << "width";
  EXPECT_TRUE(DesktopStyleIs("0", "1"));
}

// A reader's refusal reaches the top-level box; the program ends with the code for a picture it
// cannot show, and nothing changes.
TEST_F(ApplierE2E, BrokenPngShowsTheTopLevelBoxAndChangesNothing) {
  std::string dir = FreshProgramDir("apply_png_broken", {"vistrel.exe"});
  test::WriteBytes(dir + "crc.png", test::ReadBytes(test::DataPath("png/pngsuite/xcsn0g01.png")));
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");

  Process vistrel("\"" + dir + "vistrel.exe\" \"3" + dir + "crc.png\"");
  ASSERT_TRUE(vistrel.Started());
  std::string text = TakeMessageBoxText(vistrel.Id());
  EXPECT_NE(text.find("Exception Exception in module "), std::string::npos) << text;
  EXPECT_NE(text.find("vistrel.exe at "), std::string::npos) << text;
  EXPECT_NE(text.find("Cannot load image. CRC error found in PNG file."), std::string::npos)
      << text;
  EXPECT_EQ(vistrel.Wait(20000), Code(ApplyResult::kApplyExitCannotShow));
  ExpectNothingChanged(dir);
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

std::uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8 |
         static_cast<unsigned char>(b[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

TEST_F(ApplierE2E, GifAndPsdBecomeTheWallpaper) {
  std::string dir = FreshProgramDir("apply_gif_psd", {"vistrel.exe"});
  test::WriteBytes(dir + "b.gif", test::ReadBytes(test::DataPath("gif/wuffs/bricks-dither.gif")));
  test::WriteBytes(dir + "p.PSD", test::ReadBytes(test::DataPath("psd/oiio/pattern2-8-rgb.psd")));

  std::string gif = AppliedWallpaper(dir, '1', "b.gif");
  ASSERT_GT(gif.size(), 54u);
  EXPECT_EQ(Le32(gif, 18), 160u);
  EXPECT_EQ(Le32(gif, 22), 120u);

  std::string psd = AppliedWallpaper(dir, '1', "p.PSD");
  ASSERT_GT(psd.size(), 54u);
  EXPECT_EQ(Le32(psd, 18), 200u);
  EXPECT_EQ(Le32(psd, 22), 150u);
  const ScreenPixels screen = PrimaryScreen();
  EXPECT_TRUE(IsBmp24(AppliedWallpaper(dir, '3', "p.PSD"), screen.width, screen.height));
  EXPECT_EQ(ReadDesktopValue("WallpaperStyle"), "2");
}

TEST_F(ApplierE2E, RefusedPsdShowsTheReadersMessageAndChangesNothing) {
  std::string dir = FreshProgramDir("apply_psd_refused", {"vistrel.exe"});
  test::WriteBytes(dir + "deep.psd",
                   test::ReadBytes(test::DataPath("psd/oiio/pattern2-32-grayscale.psd")));
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");
  Process vistrel("\"" + dir + "vistrel.exe\" \"2" + dir + "deep.psd\"");
  std::string text = TakeMessageBoxText(vistrel.Id());
  EXPECT_NE(text.find("Color depth is invalid. Bits per sample must be 1,2,4,8 or 16."),
            std::string::npos)
      << text;
  EXPECT_EQ(vistrel.Wait(20000), Code(ApplyResult::kApplyExitCannotShow));
  EXPECT_EQ(FileBytes(dir + "vistrel_wlp.bmp"), "previous wallpaper");
  EXPECT_EQ(ReadDesktopValue("TileWallpaper"), "before-tile");
}

// Pictures the readers cannot show must not become a blank wallpaper: the reader's message is
// shown, the program ends with the code for a picture it cannot show, and the wallpaper, its file
// and the style values stay.
TEST_F(ApplierE2E, GifAndPsdWithoutAPictureShowTheReadersMessageAndChangeNothing) {
  std::string dir = FreshProgramDir("apply_no_picture", {"vistrel.exe"});
  // A 2 x 2 GIF whose LZW data starts with code size 12.
  std::string gif = std::string("GIF89a\x02\x00\x02\x00\x80\x00\x00", 13);
  gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
  gif += std::string(",\x00\x00\x00\x00\x02\x00\x02\x00\x00", 10);
  gif += std::string("\x0C\x03\x00\x10\x00\x00;", 7);
  test::WriteBytes(dir + "wide.gif", gif);
  // An RGB PSD turned into colour mode 5, which names no colour model.
  std::string psd = test::ReadBytes(test::DataPath("psd/oiio/pattern2-8-rgb.psd"));
  ASSERT_EQ(psd.substr(24, 2), std::string("\x00\x03", 2));
  psd[25] = 5;
  test::WriteBytes(dir + "mode5.psd", psd);
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");

  struct Case {
    const char* file;
    const char* message;
  } cases[] = {{"wide.gif", "Cannot load image. Invalid or unexpected GIF image format."},
               {"mode5.psd", "Cannot load image. Unsupported PSD or PDD image format."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Process vistrel("\"" + dir + "vistrel.exe\" \"2" + dir + c.file + "\"");
    ASSERT_TRUE(vistrel.Started());
    std::string text = TakeMessageBoxText(vistrel.Id());
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    EXPECT_EQ(vistrel.Wait(20000), Code(ApplyResult::kApplyExitCannotShow));
    ExpectNothingChanged(dir);
  }
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

// Started by the agent, the applier has nobody to show a box to: the exit code alone tells.
TEST_F(ApplierE2E, StartedByTheAgentItShowsNoBoxAndEndsWithTheCode) {
  std::string dir = FreshProgramDir("apply_agent_quiet", {"vistrel.exe"});
  test::WriteBytes(dir + "crc.png", test::ReadBytes(test::DataPath("png/pngsuite/xcsn0g01.png")));
  test::WriteBytes(dir + "deep.psd",
                   test::ReadBytes(test::DataPath("psd/oiio/pattern2-32-grayscale.psd")));
  test::WriteBytes(dir + "cut.bmp", test::Bmp24(3, 3, 3).substr(0, 30));
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");
  const std::pair<const char*, ApplyResult> cases[] = {
      {"crc.png", ApplyResult::kApplyExitCannotShow},
      {"deep.psd", ApplyResult::kApplyExitCannotShow},
      {"cut.bmp", ApplyResult::kApplyExitCannotShow},
      {"missing.png", ApplyResult::kApplyExitNoSuchFile},
  };
  AgentEnvironment agent;
  for (const auto& [file, result] : cases) {
    SCOPED_TRACE(file);
    Process vistrel("\"" + dir + "vistrel.exe\" \"3" + dir + file + "\"");
    ASSERT_TRUE(vistrel.Started());
    std::string boxes;
    EXPECT_EQ(WaitClosingBoxes(vistrel, boxes), Code(result));
    EXPECT_EQ(boxes, "");
    ExpectNothingChanged(dir);
  }
}

// The agent's appliers may overlap; they take turns, and the wallpaper file ends as one whole
// picture with no temporary file left beside it. Six starts 50 ms apart on three large pictures
// make the writes overlap here, whatever the machine's speed within reason.
TEST_F(ApplierE2E, AppliersStartedTogetherLeaveOneWholePicture) {
  std::string dir = FreshProgramDir("apply_together", {"vistrel.exe"});
  constexpr int kWidth = 6000, kHeight = 4000;
  constexpr unsigned kSeeds[] = {1, 2, 3};
  for (unsigned seed : kSeeds)
    test::WriteBytes(dir + std::to_string(seed) + ".png", test::Png24(kWidth, kHeight, seed));
  std::vector<std::unique_ptr<Process>> appliers;
  {
    AgentEnvironment agent;
    for (int i = 0; i < 6; ++i) {
      appliers.push_back(std::make_unique<Process>("\"" + dir + "vistrel.exe\" \"1" + dir +
                                                   std::to_string(kSeeds[i % 3]) + ".png\""));
      Sleep(50);
    }
  }
  for (std::unique_ptr<Process>& applier : appliers) {
    std::string boxes;
    EXPECT_EQ(WaitClosingBoxes(*applier, boxes), Code(ApplyResult::kApplyExitChanged));
    EXPECT_EQ(boxes, "");
  }
  const std::string wallpaper = FileBytes(dir + "vistrel_wlp.bmp");
  bool whole = false;
  for (unsigned seed : kSeeds) {
    const std::string picture = test::Bmp24(kWidth, kHeight, seed);
    whole =
        whole || (wallpaper.size() == picture.size() && BmpPixels(wallpaper) == BmpPixels(picture));
  }
  EXPECT_TRUE(whole) << "one applier's whole picture; " << wallpaper.size() << " bytes";
  EXPECT_EQ(TemporaryFiles(dir), Names{});
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

TEST_F(ApplierE2E, APhotoTurnedByItsExifBecomesAnUprightWallpaper) {
  std::string dir = FreshProgramDir("apply_jpeg_upright", {"vistrel.exe"});
  constexpr int kWidth = 64, kHeight = 32;
  test::WriteBytes(dir + "portrait.jpg",
                   test::WithApp1(SplitJpeg(kWidth, kHeight),
                                  test::ExifBlock(true, {test::ExifEntry{0x0112, 3, 1, 6}})));
  std::string bmp = AppliedWallpaper(dir, '1', "portrait.jpg");
  ASSERT_EQ(bmp.size(), 54u + kHeight * 3 * kWidth) << "24-bit rows of 96 bytes, no padding";
  ASSERT_EQ(Le32(bmp, 18), std::uint32_t{kHeight}) << "the sides swapped";
  ASSERT_EQ(Le32(bmp, 22), std::uint32_t{kWidth});
  // Turned a quarter clockwise, the stored top (dark) is the right half.
  int wrong = 0;
  for (int y = 0; y < kWidth; ++y)
    for (int x = 0; x < kHeight; ++x)
      for (int c = 0; c < 3; ++c) {
        const auto level = static_cast<unsigned char>(bmp[54 + (y * kHeight + x) * 3 + c]);
        wrong += (x < kHeight / 2) != (level > 128);
      }
  EXPECT_EQ(wrong, 0);
}

// Stretched, the upright photo is rendered at the screen's own size: Wine's display mode, read
// here as the applier reads it.
TEST_F(ApplierE2E, AStretchedPhotoIsRenderedUprightAtTheScreensSize) {
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GT(screen.width, 64u);
  std::string dir = FreshProgramDir("apply_jpeg_screen", {"vistrel.exe"});
  test::WriteBytes(dir + "portrait.jpg", PortraitPhoto());
  std::string bmp = AppliedWallpaper(dir, '3', "portrait.jpg");
  ASSERT_TRUE(IsBmp24(bmp, screen.width, screen.height));
  EXPECT_TRUE(DesktopStyleIs("2", "0"));
  EXPECT_TRUE(TurnedRight(bmp, screen));
}

// Windows 8 and later have the Span style; Wine says which Windows it plays.
bool SpanStyleExists() {
  using VersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto get_version = reinterpret_cast<VersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!get_version || get_version(&version) != 0) return true;
  return version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

// Whether the top-left pixel of a bottom-up 24-bit BMP of the screen's size is black.
bool CornerIsBlack(const std::string& bmp, const ScreenPixels& screen) {
  const std::size_t row = (screen.width * 3 + 3) / 4 * 4;
  const std::size_t at = 54 + row * (screen.height - 1);
  return bmp.size() >= at + 3 && (bmp[at] | bmp[at + 1] | bmp[at + 2]) == 0;
}

// Wine shows one monitor: a picture on each, or one across all, is that monitor's wallpaper.
TEST_F(ApplierE2E, APictureOnEachMonitorOrOneAcrossAllCoverTheOneMonitor) {
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GT(screen.width, 64u);
  const std::string dir =
      DirWithPictures("apply_monitors", test::Bmp24(37, 21, 5), test::Bmp24(8, 8, 9));
  const bool span = SpanStyleExists();
  const struct {
    const char* mode;
    const char* arguments;  // the folder goes before each name
    bool corner_black;
  } cases[] = {{"1", "3a.bmp|1b.bmp", false},
               {"1", "1b.bmp|3a.bmp", true},
               {"2", "1b.bmp|3a.bmp", true},
               {"2", "5a.bmp", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.arguments);
    test::WriteBytes(dir + "vistrel.ini", std::string("[Settings]\r\nMonitorMode=") + c.mode);
    std::string arguments, names = c.arguments;
    for (std::size_t start = 0; start < names.size();) {
      std::size_t end = names.find('|', start);
      if (end == std::string::npos) end = names.size();
      arguments +=
          " \"" + names.substr(start, 1) + dir + names.substr(start + 1, end - start - 1) + "\"";
      start = end + 1;
    }
    ASSERT_EQ(Apply(dir, arguments), 0u);
    const std::string bmp = FileBytes(dir + "vistrel_wlp.bmp");
    EXPECT_TRUE(IsBmp24(bmp, screen.width, screen.height));
    EXPECT_EQ(CornerIsBlack(bmp, screen), c.corner_black) << "the first picture is shown";
    EXPECT_TRUE(span ? DesktopStyleIs("22", "0") : DesktopStyleIs("0", "1"));
  }
}

TEST_F(ApplierE2E, ImportQualityIsSetToTheBestWhereMissingAndAUsersValueStays) {
  std::string dir = DirWithPictures("apply_quality", test::Bmp24(4, 4, 1), test::Bmp24(6, 2, 2));
  DeleteDesktopValue("JPEGImportQuality");
  EXPECT_EQ(Apply(dir, "\"0" + dir + "a.bmp\""), 0u);
  EXPECT_EQ(ReadDesktopDword("JPEGImportQuality"), "dword:100");

  WriteDesktopDword("JPEGImportQuality", 70);
  EXPECT_EQ(Apply(dir, "\"2" + dir + "b.bmp\""), 0u);
  EXPECT_EQ(ReadDesktopDword("JPEGImportQuality"), "dword:70");
}

}  // namespace
}  // namespace vistrel::e2e

namespace vistrel::e2e {
namespace {

// The CRC-32 of dwebp's pixels (top row first, RGBA) that tests/data/webp/reference.txt gives.
std::uint32_t WebPReferenceCrc(const std::string& name) {
  std::istringstream lines(test::ReadBytes(test::DataPath("webp/reference.txt")));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string file;
    int width = 0, height = 0;
    std::uint32_t crc = 0;
    fields >> file >> width >> height >> std::hex >> crc;
    if (file == name) return crc;
  }
  ADD_FAILURE() << name << " has no reference";
  return 0;
}

// The wallpaper file's pixels as RGBA, top row first (alpha 255 for 24 bits).
std::uint32_t WallpaperCrc(const std::string& bmp) {
  const std::uint32_t width = Le32(bmp, 18), height = Le32(bmp, 22);
  const std::uint32_t bytes = static_cast<unsigned char>(bmp[28]) / 8u;
  const std::uint32_t stride = (width * bytes + 3) & ~3u;
  std::string rgba;
  for (std::uint32_t y = height; y-- > 0;) {
    const char* p = bmp.data() + Le32(bmp, 10) + std::size_t{y} * stride;
    for (std::uint32_t x = 0; x < width; ++x, p += bytes)
      rgba += {p[2], p[1], p[0], bytes == 4 ? p[3] : '\xff'};
  }
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(rgba.data()), static_cast<uInt>(rgba.size())));
}

// Lossy, and lossy with alpha (which the wallpaper keeps, 32-bit, as a PNG's), decoded by the
// libwebp inside the shipped program exactly as dwebp decodes them; a file cut short is the
// reader's message and changes nothing.
TEST_F(ApplierE2E, WebPBecomesTheWallpaperPixelForPixel) {
  std::string dir = FreshProgramDir("apply_webp", {"vistrel.exe"});
  for (const char* name : {"test.webp", "lossy_alpha1.webp"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string("webp/libwebp-test-data/") + name;
    test::WriteBytes(dir + name, test::ReadBytes(test::DataPath(path)));
    // Centred, the picture keeps its own pixels.
    const std::string bmp = AppliedWallpaper(dir, '1', name);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(WallpaperCrc(bmp), WebPReferenceCrc(path.substr(5)));
    EXPECT_TRUE(DesktopStyleIs("0", "0"));
  }
  const ScreenPixels screen = PrimaryScreen();
  EXPECT_TRUE(IsBmp24(AppliedWallpaper(dir, '3', "test.webp"), screen.width, screen.height));
  const std::string whole = test::ReadBytes(test::DataPath("webp/libwebp-test-data/test.webp"));
  test::WriteBytes(dir + "cut.webp", whole.substr(0, whole.size() / 2));
  test::WriteBytes(dir + "vistrel_wlp.bmp", "previous wallpaper");
  WriteDesktopStyle("before-style", "before-tile");
  WriteDesktopValue("Wallpaper", "before.bmp");
  Process vistrel("\"" + dir + "vistrel.exe\" \"3" + dir + "cut.webp\"");
  ASSERT_TRUE(vistrel.Started());
  const std::string text = TakeMessageBoxText(vistrel.Id());
  EXPECT_NE(text.find("Cannot load image. Invalid or unexpected WebP image format."),
            std::string::npos)
      << text;
  EXPECT_EQ(vistrel.Wait(20000), Code(ApplyResult::kApplyExitCannotShow));
  ExpectNothingChanged(dir);
}

}  // namespace
}  // namespace vistrel::e2e
