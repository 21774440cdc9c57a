#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/logic/applier.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

struct FakeDesktop : DesktopHost {
  std::vector<std::string> calls;
  bool wallpaper_ok = true;
  bool key_exists = true;
  void SetBusyCursor(bool busy) override { calls.push_back(busy ? "wait" : "arrow"); }
  bool WriteDesktopValue(const char* name, const std::string& value) override {
    if (!key_exists) return false;
    calls.push_back(std::string(name) + "=" + value);
    return true;
  }
  bool SetDesktopWallpaper(const std::string& path) override {
    calls.push_back("wallpaper " + path);
    return wallpaper_ok;
  }
  void ShowErrorBox(const std::string& caption, const std::string& text) override {
    calls.push_back("box " + caption + ": " + text);
  }
};

using Calls = std::vector<std::string>;

TEST(Applier, StretchWritesTheBmpThenStyleThenWallpaper) {
  std::string dir = test::FreshDir("apply_stretch");
  std::string image = dir + "Beach.BMP", wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(image, test::Bmp24(5, 3, 1));
  FakeDesktop desktop;
  ApplyWallpaper(image, '3', wallpaper, desktop);
  EXPECT_EQ(desktop.calls, (Calls{"wait", "WallpaperStyle=2", "TileWallpaper=0",
                                  "wallpaper " + wallpaper, "arrow"}));
  EXPECT_EQ(test::ReadBytes(wallpaper), test::Bmp24(5, 3, 1));
  EXPECT_FALSE(FileExists(wallpaper + ".tmp~"));
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
    FakeDesktop desktop;
    ApplyWallpaper(image, letter, wallpaper, desktop);
    Calls expected{"wait"};
    expected.insert(expected.end(), values.begin(), values.end());
    expected.push_back("wallpaper " + wallpaper);
    expected.push_back("arrow");
    EXPECT_EQ(desktop.calls, expected) << "letter " << letter;
  }
}

TEST(Applier, NothingHappensForMissingUnsupportedOrEmptyPictures) {
  std::string dir = test::FreshDir("apply_nothing");
  std::string wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(wallpaper, "previous");
  test::WriteBytes(dir + "photo.tiff", test::Bmp24(2, 2, 3));
  test::WriteBytes(dir + "broken.bmp", test::Bmp24(2, 2, 3).substr(0, 20));
  test::WriteBytes(dir + "sunset", test::Bmp24(2, 2, 3));
  const std::string paths[] = {dir + "missing.bmp", dir, dir + "photo.tiff", dir + "broken.bmp",
                               dir + "sunset", ""};
  for (const std::string& path : paths) {
    FakeDesktop desktop;
    ApplyWallpaper(path, '2', wallpaper, desktop);
    for (const std::string& call : desktop.calls)
      EXPECT_TRUE(call == "wait" || call == "arrow") << path << ": " << call;
    EXPECT_EQ(test::ReadBytes(wallpaper), "previous") << path;
  }
}

TEST(Applier, RefusedWallpaperShowsTheBoxAndKeepsTheStyle) {
  std::string dir = test::FreshDir("apply_refused");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  FakeDesktop desktop;
  desktop.wallpaper_ok = false;
  ApplyWallpaper(image, '2', dir + "w.bmp", desktop);
  ASSERT_EQ(desktop.calls.size(), 6u);
  EXPECT_EQ(desktop.calls[1], "WallpaperStyle=0");
  EXPECT_EQ(desktop.calls[4], "box Error: Unable to set " + image + " as a wallpaper.");
  EXPECT_EQ(desktop.calls[5], "arrow");
}

TEST(Applier, AWallpaperFileThatCannotBeWrittenIsReportedAndChangesNothingElse) {
  std::string dir = test::FreshDir("apply_unwritable");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  // A folder where the wallpaper file should be: nothing can be renamed over it.
  std::string wallpaper = test::FreshDir("apply_unwritable_wlp.bmp");
  wallpaper.pop_back();
  FakeDesktop desktop;
  ApplyWallpaper(image, '2', wallpaper, desktop);
  ASSERT_EQ(desktop.calls.size(), 3u) << "no registry value, no wallpaper call";
  EXPECT_EQ(desktop.calls[0], "wait");
  const std::string box = desktop.calls[1];
  EXPECT_EQ(box.rfind("box Error: Cannot write \"" + wallpaper + "\": ", 0), 0u) << box;
  EXPECT_NE(box.find("The wallpaper was not changed."), std::string::npos) << box;
  // The system's reason sits between the name and the last line.
  EXPECT_GT(box.size(), std::string("box Error: Cannot write \"" + wallpaper +
                                    "\": \nThe wallpaper was not changed.").size());
  EXPECT_EQ(desktop.calls[2], "arrow");
}

TEST(Applier, MissingDesktopKeyStillSetsTheWallpaper) {
  std::string dir = test::FreshDir("apply_nokey");
  test::WriteBytes(dir + "a.bmp", test::Bmp24(3, 3, 4));
  FakeDesktop desktop;
  desktop.key_exists = false;
  ApplyWallpaper(dir + "a.bmp", '1', dir + "w.bmp", desktop);
  EXPECT_EQ(desktop.calls, (Calls{"wait", "wallpaper " + dir + "w.bmp", "arrow"}));
}

TEST(Applier, SecondApplicationReplacesTheFirst) {
  std::string dir = test::FreshDir("apply_twice");
  test::WriteBytes(dir + "one.bmp", test::Bmp24(8, 8, 1));
  test::WriteBytes(dir + "two.bmp", test::Bmp24(3, 2, 2));
  FakeDesktop desktop;
  ApplyWallpaper(dir + "one.bmp", '1', dir + "w.bmp", desktop);
  ApplyWallpaper(dir + "two.bmp", '1', dir + "w.bmp", desktop);
  EXPECT_EQ(test::ReadBytes(dir + "w.bmp"), test::Bmp24(3, 2, 2));
}

}  // namespace
}  // namespace vistrel
