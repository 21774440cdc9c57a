#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/logic/applier.h"
#include "common/exception.h"
#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"
#include "platform/files.h"
#include "tests/support/fake_services.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

// Logs "lock" (or "lock refused" when another applier is taken to hold it) and "unlock".
class FakeLock : public ApplierLock {
 public:
  explicit FakeLock(test::CallLog* log) : log_(log) {}
  bool Acquire(unsigned timeout_ms) override {
    waited_ms = timeout_ms;
    log_->push_back(free ? "lock" : "lock refused");
    return free;
  }
  void Release() override { log_->push_back("unlock"); }

  bool free = true;
  unsigned waited_ms = 0;

 private:
  test::CallLog* log_;  // not owning
};

// The system as the applier sees it, every call in one log.
struct FakeSystem {
  test::CallLog calls;
  test::FakeDesktop desktop{&calls};
  test::FakeRegistry registry{&calls};
  test::FakeMessageBoxes boxes{&calls};
  FakeLock lock{&calls};
  ApplierServices Services(bool quiet = false) { return {desktop, registry, boxes, lock, quiet}; }
};

using Calls = std::vector<std::string>;

TEST(Applier, StretchWritesTheBmpThenStyleThenWallpaper) {
  std::string dir = test::FreshDir("apply_stretch");
  std::string image = dir + "Beach.BMP", wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(image, test::Bmp24(5, 3, 1));
  FakeSystem system;
  EXPECT_EQ(ApplyWallpaper(image, '3', wallpaper, system.Services()),
            ApplyResult::kApplyExitChanged);
  EXPECT_EQ(system.calls,
            (Calls{"wait", "lock", "WallpaperStyle=2", "TileWallpaper=0",
                   "JPEGImportQuality=dword:100", "wallpaper " + wallpaper, "unlock", "arrow"}));
  EXPECT_EQ(system.lock.waited_ms, kApplierWaitMs);
  EXPECT_EQ(test::ReadBytes(wallpaper), test::Bmp24(5, 3, 1));
  EXPECT_EQ(test::FileNamesIn(dir), (Calls{"Beach.BMP", "vistrel_wlp.bmp"})) << "no temporary";
}

TEST(Applier, EachLetterWritesItsStyleAndOthersWriteNone) {
  std::string dir = test::FreshDir("apply_letters");
  std::string image = dir + "a.bmp", wallpaper = dir + "w.bmp";
  test::WriteBytes(image, test::Bmp24(2, 2, 9));
  const std::pair<char, Calls> cases[] = {
      {'1', {"WallpaperStyle=0", "TileWallpaper=0"}},
      {'2', {"WallpaperStyle=0", "TileWallpaper=1"}},
      {'3', {"WallpaperStyle=2", "TileWallpaper=0"}},
      {'4', {"WallpaperStyle=6", "TileWallpaper=0"}},
      {'5', {"WallpaperStyle=10", "TileWallpaper=0"}},
      {'0', {}},
      {'6', {}},
      {'x', {}},
  };
  for (const auto& [letter, values] : cases) {
    FakeSystem system;
    ApplyWallpaper(image, letter, wallpaper, system.Services());
    Calls expected{"wait", "lock"};
    expected.insert(expected.end(), values.begin(), values.end());
    expected.push_back("JPEGImportQuality=dword:100");
    expected.push_back("wallpaper " + wallpaper);
    expected.push_back("unlock");
    expected.push_back("arrow");
    EXPECT_EQ(system.calls, expected) << "letter " << letter;
  }
}

TEST(Applier, NothingHappensForMissingUnsupportedOrEmptyPictures) {
  std::string dir = test::FreshDir("apply_nothing");
  std::string wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(wallpaper, "previous");
  test::WriteBytes(dir + "photo.tiff", test::Bmp24(2, 2, 3));
  test::WriteBytes(dir + "broken.bmp", test::Bmp24(2, 2, 3).substr(0, 20));
  test::WriteBytes(dir + "sunset", test::Bmp24(2, 2, 3));
  const std::pair<std::string, ApplyResult> cases[] = {
      {dir + "missing.bmp", ApplyResult::kApplyExitNoSuchFile},
      {dir, ApplyResult::kApplyExitNoSuchFile},
      {dir + "photo.tiff", ApplyResult::kApplyExitUnsupported},
      {dir + "broken.bmp", ApplyResult::kApplyExitCannotShow},
      {dir + "sunset", ApplyResult::kApplyExitUnsupported},
      {"", ApplyResult::kApplyExitNoSuchFile},
  };
  for (const auto& [path, result] : cases) {
    FakeSystem system;
    EXPECT_EQ(ApplyWallpaper(path, '2', wallpaper, system.Services()), result) << path;
    for (const std::string& call : system.calls)
      EXPECT_TRUE(call == "wait" || call == "arrow" || call == "lock" || call == "unlock")
          << path << ": " << call;
    EXPECT_EQ(test::ReadBytes(wallpaper), "previous") << path;
  }
}

// A name longer than any file system takes: the system refuses the path for its length, and the
// user is told so rather than nothing, as for a missing file.
TEST(Applier, APathTheSystemRefusesForItsLengthIsReported) {
  const std::string path = test::FreshDir("apply_too_long") + std::string(300, 'n') + ".bmp";
  FakeSystem system;
  EXPECT_EQ(ApplyWallpaper(path, '1', path + ".wlp", system.Services()),
            ApplyResult::kApplyExitNoSuchFile);
  ASSERT_EQ(system.boxes.shown.size(), 1u);
  EXPECT_EQ(system.boxes.shown[0].text,
            "Cannot open " + path + ": the path is longer than this system accepts.");
  EXPECT_EQ(system.boxes.shown[0].caption, "Error");
  FakeSystem quiet;
  ApplyWallpaper(path, '1', path + ".wlp", quiet.Services(true));
  EXPECT_TRUE(quiet.boxes.shown.empty()) << "the agent's applier shows nothing";
}

TEST(Applier, RefusedWallpaperShowsTheBoxAndKeepsTheStyle) {
  std::string dir = test::FreshDir("apply_refused");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  FakeSystem system;
  system.desktop.wallpaper_ok = false;
  EXPECT_EQ(ApplyWallpaper(image, '2', dir + "w.bmp", system.Services()),
            ApplyResult::kApplyExitRefused);
  // The box comes after the lock is let go: it may stay open for long.
  EXPECT_EQ(system.calls,
            (Calls{"wait", "lock", "WallpaperStyle=0", "TileWallpaper=1",
                   "JPEGImportQuality=dword:100", "wallpaper " + dir + "w.bmp", "unlock",
                   "box Error: Unable to set " + image + " as a wallpaper.", "arrow"}));
  ASSERT_EQ(system.boxes.shown.size(), 1u);
  EXPECT_EQ(system.boxes.shown[0].owner, nullptr) << "a box without owner";
  EXPECT_EQ(system.boxes.shown[0].style, 0x10u) << "MB_ICONERROR alone";
}

TEST(Applier, AWallpaperFileThatCannotBeWrittenIsReportedAndChangesNothingElse) {
  std::string dir = test::FreshDir("apply_unwritable");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  // A folder where the wallpaper file should be: nothing can be renamed over it.
  std::string wallpaper = test::FreshDir("apply_unwritable_wlp.bmp");
  wallpaper.pop_back();
  FakeSystem system;
  EXPECT_EQ(ApplyWallpaper(image, '2', wallpaper, system.Services()),
            ApplyResult::kApplyExitCannotWrite);
  ASSERT_EQ(system.calls.size(), 5u) << "no registry value, no wallpaper call";
  EXPECT_EQ(system.calls[2], "unlock");
  const std::string box = system.calls[3];
  EXPECT_EQ(box.rfind("box Error: Cannot write \"" + wallpaper + "\": ", 0), 0u) << box;
  EXPECT_NE(box.find("The wallpaper was not changed."), std::string::npos) << box;
  // The system's reason sits between the name and the last line.
  EXPECT_GT(box.size(), std::string("box Error: Cannot write \"" + wallpaper +
                                    "\": \nThe wallpaper was not changed.")
                            .size());
  EXPECT_EQ(system.calls[4], "arrow");
}

TEST(Applier, MissingDesktopKeyStillSetsTheWallpaper) {
  std::string dir = test::FreshDir("apply_nokey");
  test::WriteBytes(dir + "a.bmp", test::Bmp24(3, 3, 4));
  FakeSystem system;
  system.registry.missing_keys.insert(kDesktopKey);
  ApplyWallpaper(dir + "a.bmp", '1', dir + "w.bmp", system.Services());
  EXPECT_EQ(system.calls, (Calls{"wait", "lock", "wallpaper " + dir + "w.bmp", "unlock", "arrow"}));
  EXPECT_TRUE(system.registry.dwords.empty()) << "the key is not made for the import quality";
}

// Windows stores the wallpaper again as a JPEG of this quality: 100 where the user chose none.
TEST(Applier, ImportQualityIsSetWhereMissingAndAUsersValueStays) {
  std::string dir = test::FreshDir("apply_quality");
  test::WriteBytes(dir + "a.bmp", test::Bmp24(3, 3, 4));
  const std::string path = test::FakeRegistry::Path(kDesktopKey, kJpegImportQualityValue);
  using Dwords = std::map<std::string, std::uint32_t>;
  using Texts = std::map<std::string, std::string>;
  const struct {
    const char* name;
    Dwords dwords_before, dwords_after;
    Texts texts_before;
  } cases[] = {
      {"missing", {}, {{path, 100}}, {}},
      {"the user's DWORD", {{path, 70}}, {{path, 70}}, {}},
      {"the user's text", {}, {}, {{path, "90"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem system;
    system.registry.dwords = c.dwords_before;
    system.registry.values = c.texts_before;
    EXPECT_EQ(ApplyWallpaper(dir + "a.bmp", '0', dir + "w.bmp", system.Services()),
              ApplyResult::kApplyExitChanged);
    EXPECT_EQ(system.registry.dwords, c.dwords_after);
    EXPECT_EQ(system.registry.values, c.texts_before);
  }
}

TEST(Applier, ScalingStylesGetThePrimaryScreensPixels) {
  const std::string dir = test::FreshDir("apply_screen");
  const std::string wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(dir + "p.png", test::Png24(100, 60, 3));
  test::WriteBytes(dir + "p.bmp", test::Bmp24(100, 60, 3));
  FakeSystem system;
  system.desktop.screen_width = 40;
  system.desktop.screen_height = 30;
  const struct {
    char letter;
    std::int32_t width, height;
  } cases[] = {{'1', 100, 60}, {'2', 100, 60}, {'3', 40, 30},
               {'4', 40, 24},  {'5', 40, 30},  {'0', 100, 60}};
  for (const char* file : {"p.png", "p.bmp"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(file) + " style " + c.letter);
      ASSERT_EQ(ApplyWallpaper(dir + file, c.letter, wallpaper, system.Services()),
                ApplyResult::kApplyExitChanged);
      TRasterBitmap written;
      written.LoadFromFile(wallpaper);
      EXPECT_EQ(written.Width(), c.width);
      EXPECT_EQ(written.Height(), c.height);
    }
  }
  // Centred, a BMP is still copied as it is.
  ApplyWallpaper(dir + "p.bmp", '1', wallpaper, system.Services());
  EXPECT_EQ(test::ReadBytes(wallpaper), test::Bmp24(100, 60, 3));
  // The screen's BMP, not the picture's: 40 x 30 pixels of 3 bytes and the two headers.
  ApplyWallpaper(dir + "p.bmp", '3', wallpaper, system.Services());
  EXPECT_EQ(test::ReadBytes(wallpaper).size(), 40u * 30 * 3 + 54);
}

// One colour throughout; the width a multiple of 4, so the rows have no padding.
std::string SolidBmp(int width, int height, std::uint32_t bgr) {
  std::string file = test::Bmp24(width, height, 0);
  for (std::size_t i = 54; i + 2 < file.size(); i += 3)
    for (int c = 0; c < 3; ++c) file[i + c] = static_cast<char>(bgr >> (8 * c));
  return file;
}

TEST(Applier, SeveralMonitorsGetOneBitmapOfTheVirtualScreen) {
  const std::string dir = test::FreshDir("apply_monitors");
  const std::string wallpaper = dir + "vistrel_wlp.bmp";
  constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00;
  test::WriteBytes(dir + "wide.bmp", SolidBmp(40, 20, kRed));
  test::WriteBytes(dir + "tall.bmp", SolidBmp(20, 40, kGreen));
  const std::vector<DealtPicture> pictures = {{'3', dir + "wide.bmp"}, {'3', dir + "tall.bmp"}};
  FakeSystem system;
  // A portrait monitor left of a landscape primary; the desktop is 60 x 40.
  system.desktop.monitors = {{0, 0, 40, 30, true}, {-20, 0, 20, 40, false}};
  auto pixel = [&](int x, int y) {
    TRasterBitmap written;
    written.LoadFromFile(wallpaper);
    const std::uint8_t* p = written.ScanLine(y) + x * 3;
    return std::uint32_t{p[0]} | p[1] << 8 | p[2] << 16;
  };
  auto size = [&] {
    TRasterBitmap written;
    written.LoadFromFile(wallpaper);
    return std::make_pair(written.Width(), written.Height());
  };
  const struct {
    bool span;
    MonitorMode mode;
    std::uint32_t left, primary;  // at the portrait monitor's and the primary's top corner
    const char *style, *tile;
  } cases[] = {
      {true, MonitorMode::kEachMonitor, kGreen, kRed, "22", "0"},
      {true, MonitorMode::kSpan, kRed, kRed, "22", "0"},
      // Windows 7 tiles from the primary's corner: the bitmap starts with the primary.
      {false, MonitorMode::kEachMonitor, kGreen, kRed, "0", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode) * 2 + c.span);
    system.desktop.span_style = c.span;
    ASSERT_EQ(ApplyPictures(pictures, {c.mode, true}, wallpaper, system.Services()),
              ApplyResult::kApplyExitChanged);
    EXPECT_EQ(size(), std::make_pair(60, 40));
    const int primary_x = c.span ? 20 : 0, left_x = c.span ? 0 : 40;
    EXPECT_EQ(pixel(left_x + 2, 2), c.left);
    EXPECT_EQ(pixel(primary_x + 2, 2), c.primary);
    EXPECT_EQ(pixel(primary_x + 2, 35), 0u) << "below the primary is no monitor";
    EXPECT_EQ(system.registry.values[test::FakeRegistry::Path(kDesktopKey, "WallpaperStyle")],
              c.style);
    EXPECT_EQ(system.registry.values[test::FakeRegistry::Path(kDesktopKey, "TileWallpaper")],
              c.tile);
  }

  // A picture that is gone leaves its monitor to the others; none left changes nothing.
  system.desktop.span_style = true;
  const std::vector<DealtPicture> one_gone = {{'3', dir + "gone.bmp"}, pictures[1]};
  ASSERT_EQ(
      ApplyPictures(one_gone, {MonitorMode::kEachMonitor, true}, wallpaper, system.Services()),
      ApplyResult::kApplyExitChanged);
  EXPECT_EQ(pixel(22, 2), kGreen);
  // So does one that cannot be shown; only when none can is the change refused.
  std::string broken = SolidBmp(20, 40, kRed);
  broken[18] = 0;  // width 0
  test::WriteBytes(dir + "broken.bmp", broken);
  const std::vector<DealtPicture> one_broken = {{'3', dir + "broken.bmp"}, pictures[0]};
  ASSERT_EQ(
      ApplyPictures(one_broken, {MonitorMode::kEachMonitor, true}, wallpaper, system.Services()),
      ApplyResult::kApplyExitChanged);
  EXPECT_EQ(pixel(2, 2), kRed) << "the portrait monitor";
  EXPECT_EQ(ApplyPictures({one_broken[0], one_broken[0]}, {MonitorMode::kEachMonitor, true},
                          wallpaper, system.Services(true)),
            ApplyResult::kApplyExitCannotShow);
  EXPECT_EQ(pixel(2, 2), kRed) << "unchanged";
  EXPECT_EQ(ApplyPictures({{'3', dir + "gone.bmp"}, {'3', dir + "x.txt"}},
                          {MonitorMode::kEachMonitor, true}, wallpaper, system.Services()),
            ApplyResult::kApplyExitNoSuchFile);
  // A system that tells no monitors lets Windows lay one picture out.
  system.desktop.monitors.clear();
  system.desktop.screen_width = 40;
  system.desktop.screen_height = 30;
  ASSERT_EQ(
      ApplyPictures(pictures, {MonitorMode::kEachMonitor, true}, wallpaper, system.Services()),
      ApplyResult::kApplyExitChanged);
  EXPECT_EQ(size(), std::make_pair(40, 30));
  EXPECT_EQ(system.registry.values[test::FakeRegistry::Path(kDesktopKey, "WallpaperStyle")], "2");
}

TEST(Applier, SecondApplicationReplacesTheFirst) {
  std::string dir = test::FreshDir("apply_twice");
  test::WriteBytes(dir + "one.bmp", test::Bmp24(8, 8, 1));
  test::WriteBytes(dir + "two.bmp", test::Bmp24(3, 2, 2));
  FakeSystem system;
  ApplyWallpaper(dir + "one.bmp", '1', dir + "w.bmp", system.Services());
  ApplyWallpaper(dir + "two.bmp", '1', dir + "w.bmp", system.Services());
  EXPECT_EQ(test::ReadBytes(dir + "w.bmp"), test::Bmp24(3, 2, 2));
}

// What each outcome gives, for the agent's applier (quiet: never a box) and for the user's.
TEST(Applier, EachOutcomeHasItsResultAndTheQuietApplierShowsNoBox) {
  std::string dir = test::FreshDir("apply_results");
  test::WriteBytes(dir + "good.bmp", test::Bmp24(3, 2, 5));
  test::WriteBytes(dir + "crc.png", test::ReadBytes(test::DataPath("png/pngsuite/xcsn0g01.png")));
  std::string folder = test::FreshDir("apply_results_wlp.bmp");  // cannot be replaced
  folder.pop_back();
  const std::string wallpaper = dir + "vistrel_wlp.bmp";
  struct Case {
    const char* name;
    std::string path, target;
    void (*prepare)(FakeSystem&);
    ApplyResult result;
    const char* user_box;  // how the user's box begins; null: none
    bool written;          // the wallpaper file was replaced
  };
  const Case cases[] = {
      {"changed", dir + "good.bmp", wallpaper, nullptr, ApplyResult::kApplyExitChanged, nullptr,
       true},
      {"missing", dir + "none.bmp", wallpaper, nullptr, ApplyResult::kApplyExitNoSuchFile, nullptr,
       false},
      {"damaged", dir + "crc.png", wallpaper, nullptr, ApplyResult::kApplyExitCannotShow, nullptr,
       false},
      {"unwritable", dir + "good.bmp", folder, nullptr, ApplyResult::kApplyExitCannotWrite,
       "Cannot write \"", false},
      {"refused", dir + "good.bmp", wallpaper,
       [](FakeSystem& s) { s.desktop.wallpaper_ok = false; }, ApplyResult::kApplyExitRefused,
       "Unable to set ", true},
      {"busy", dir + "good.bmp", wallpaper, [](FakeSystem& s) { s.lock.free = false; },
       ApplyResult::kApplyExitBusy, "Cannot apply \"", false},
  };
  for (const Case& c : cases) {
    for (bool quiet : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (quiet ? " (quiet)" : " (user)"));
      test::WriteBytes(wallpaper, "previous");
      FakeSystem system;
      if (c.prepare) c.prepare(system);
      if (!quiet && c.result == ApplyResult::kApplyExitCannotShow) {
        // The user's applier lets the reader's refusal through to the program's own report.
        EXPECT_THROW(ApplyWallpaper(c.path, '2', c.target, system.Services()), Exception);
      } else {
        EXPECT_EQ(ApplyWallpaper(c.path, '2', c.target, system.Services(quiet)), c.result);
      }
      const std::size_t boxes = system.boxes.shown.size();
      EXPECT_EQ(boxes, !quiet && c.user_box ? 1u : 0u);
      if (boxes == 1) {
        EXPECT_EQ(system.boxes.shown[0].text.rfind(c.user_box, 0), 0u)
            << system.boxes.shown[0].text;
      }
      EXPECT_EQ(test::ReadBytes(wallpaper) != "previous", c.written);
      EXPECT_EQ(std::count(system.calls.begin(), system.calls.end(), "lock"),
                std::count(system.calls.begin(), system.calls.end(), "unlock"))
          << "a lock held is let go on every path";
      if (!c.written) {
        EXPECT_TRUE(system.desktop.wallpapers.empty());
        EXPECT_TRUE(system.registry.changes.empty());
      }
    }
  }
}

// Names another writer may have beside the target: the fixed one of older copies and the ones
// this process's id would give.
std::vector<std::string> OtherWritersTemporaries(const std::string& target) {
  std::vector<std::string> names{target + ".tmp~"};
  for (int n = 0; n <= 8; ++n)
    names.push_back(target + "." + std::to_string(test::ProcessId()) + "-" + std::to_string(n) +
                    ".tmp~");
  return names;
}

TEST(Applier, WritesLeaveAnotherWritersTemporaryFilesAlone) {
  std::string dir = test::FreshDir("apply_other_temp");
  test::WriteBytes(dir + "a.bmp", test::Bmp24(4, 3, 7));
  const std::string wallpaper = dir + "w.bmp", list = dir + "list.txt";
  std::vector<std::string> planted = OtherWritersTemporaries(wallpaper);
  for (const std::string& name : OtherWritersTemporaries(list)) planted.push_back(name);
  for (const std::string& name : planted) test::WriteBytes(name, "another writer's");
  const auto before = test::FileNamesIn(dir);

  FakeSystem system;
  ApplyWallpaper(dir + "a.bmp", '1', wallpaper, system.Services());
  ApplyWallpaper(dir + "a.bmp", '1', wallpaper, system.Services());
  ASSERT_TRUE(ReplaceFileContents(list, "1a\r\n"));
  ASSERT_TRUE(ReplaceFileContents(list, "1b\r\n"));

  EXPECT_EQ(test::ReadBytes(wallpaper), test::Bmp24(4, 3, 7));
  EXPECT_EQ(test::ReadBytes(list), "1b\r\n");
  for (const std::string& name : planted) EXPECT_EQ(test::ReadBytes(name), "another writer's");
  auto after = test::FileNamesIn(dir);
  after.erase(std::remove(after.begin(), after.end(), "w.bmp"), after.end());
  after.erase(std::remove(after.begin(), after.end(), "list.txt"), after.end());
  EXPECT_EQ(after, before) << "nothing of ours left behind";

  // Two writers to one target at the same time.
  std::string first, second;
  auto one = CreateTemporaryFileStream(wallpaper, first);
  auto two = CreateTemporaryFileStream(wallpaper, second);
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(wallpaper, 0), 0u) << first << " beside the target";
  EXPECT_EQ(second.rfind(wallpaper, 0), 0u) << second;
  EXPECT_EQ(one->Write("1", 1), 1u);
  EXPECT_EQ(two->Write("22", 2), 2u);
  one.reset(), two.reset();
  EXPECT_EQ(test::ReadBytes(first), "1");
  EXPECT_EQ(test::ReadBytes(second), "22");
}

}  // namespace
}  // namespace vistrel
