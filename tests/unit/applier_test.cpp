#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/logic/applier.h"
#include "platform/files.h"
#include "tests/support/fake_services.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

// The system as the applier sees it, every call in one log.
struct FakeSystem {
  test::CallLog calls;
  test::FakeDesktop desktop{&calls};
  test::FakeRegistry registry{&calls};
  test::FakeMessageBoxes boxes{&calls};
  ApplierServices Services() { return {desktop, registry, boxes}; }
};

using Calls = std::vector<std::string>;

TEST(Applier, StretchWritesTheBmpThenStyleThenWallpaper) {
  std::string dir = test::FreshDir("apply_stretch");
  std::string image = dir + "Beach.BMP", wallpaper = dir + "vistrel_wlp.bmp";
  test::WriteBytes(image, test::Bmp24(5, 3, 1));
  FakeSystem system;
  ApplyWallpaper(image, '3', wallpaper, system.Services());
  EXPECT_EQ(system.calls, (Calls{"wait", "WallpaperStyle=2", "TileWallpaper=0",
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
    FakeSystem system;
    ApplyWallpaper(image, letter, wallpaper, system.Services());
    Calls expected{"wait"};
    expected.insert(expected.end(), values.begin(), values.end());
    expected.push_back("wallpaper " + wallpaper);
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
  const std::string paths[] = {dir + "missing.bmp", dir, dir + "photo.tiff", dir + "broken.bmp",
                               dir + "sunset",      ""};
  for (const std::string& path : paths) {
    FakeSystem system;
    ApplyWallpaper(path, '2', wallpaper, system.Services());
    for (const std::string& call : system.calls)
      EXPECT_TRUE(call == "wait" || call == "arrow") << path << ": " << call;
    EXPECT_EQ(test::ReadBytes(wallpaper), "previous") << path;
  }
}

TEST(Applier, RefusedWallpaperShowsTheBoxAndKeepsTheStyle) {
  std::string dir = test::FreshDir("apply_refused");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  FakeSystem system;
  system.desktop.wallpaper_ok = false;
  ApplyWallpaper(image, '2', dir + "w.bmp", system.Services());
  ASSERT_EQ(system.calls.size(), 6u);
  EXPECT_EQ(system.calls[1], "WallpaperStyle=0");
  EXPECT_EQ(system.calls[4], "box Error: Unable to set " + image + " as a wallpaper.");
  ASSERT_EQ(system.boxes.shown.size(), 1u);
  EXPECT_EQ(system.boxes.shown[0].owner, nullptr) << "a box without owner";
  EXPECT_EQ(system.boxes.shown[0].style, 0x10u) << "MB_ICONERROR alone";
  EXPECT_EQ(system.calls[5], "arrow");
}

TEST(Applier, AWallpaperFileThatCannotBeWrittenIsReportedAndChangesNothingElse) {
  std::string dir = test::FreshDir("apply_unwritable");
  std::string image = dir + "a.bmp";
  test::WriteBytes(image, test::Bmp24(3, 3, 4));
  // A folder where the wallpaper file should be: nothing can be renamed over it.
  std::string wallpaper = test::FreshDir("apply_unwritable_wlp.bmp");
  wallpaper.pop_back();
  FakeSystem system;
  ApplyWallpaper(image, '2', wallpaper, system.Services());
  ASSERT_EQ(system.calls.size(), 3u) << "no registry value, no wallpaper call";
  EXPECT_EQ(system.calls[0], "wait");
  const std::string box = system.calls[1];
  EXPECT_EQ(box.rfind("box Error: Cannot write \"" + wallpaper + "\": ", 0), 0u) << box;
  EXPECT_NE(box.find("The wallpaper was not changed."), std::string::npos) << box;
  // The system's reason sits between the name and the last line.
  EXPECT_GT(box.size(), std::string("box Error: Cannot write \"" + wallpaper +
                                    "\": \nThe wallpaper was not changed.")
                            .size());
  EXPECT_EQ(system.calls[2], "arrow");
}

TEST(Applier, MissingDesktopKeyStillSetsTheWallpaper) {
  std::string dir = test::FreshDir("apply_nokey");
  test::WriteBytes(dir + "a.bmp", test::Bmp24(3, 3, 4));
  FakeSystem system;
  system.registry.missing_keys.insert(kDesktopKey);
  ApplyWallpaper(dir + "a.bmp", '1', dir + "w.bmp", system.Services());
  EXPECT_EQ(system.calls, (Calls{"wait", "wallpaper " + dir + "w.bmp", "arrow"}));
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

}  // namespace
}  // namespace vistrel
