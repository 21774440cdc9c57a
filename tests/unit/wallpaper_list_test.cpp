#include <gtest/gtest.h>

#include <set>

#include "app/logic/wallpaper_list.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "platform/text_compare.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using Lines = std::vector<std::string>;

// A list whose files exist when named in `existing`.
struct Fixture {
  std::set<std::string> existing;
  WallpaperList list{[this](const std::string& p) { return existing.count(p) > 0; },
                     CompareTextIgnoreCase};

  // No Wallpaper, then each (image, style).
  void Fill(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string path = test::FreshDir("wl_fill") + "list.txt";
    existing.insert(path);
    Lines lines;
    for (const auto& [image, style] : rows)
      lines.push_back(std::string(1, style == "Tile" ? '2' : style == "Stretch" ? '3' : '1') + image);
    test::WriteBytes(path, FormatListLines(lines));
    list.Load(path);
  }
  Lines Images() const {
    Lines out;
    for (const ListRow& row : list.Rows()) out.push_back(row.image);
    return out;
  }
};

TEST(WallpaperList, LoadMarksMissingFilesAndStylesAndSkipsEmptyLines) {
  Fixture f;
  std::string path = test::FreshDir("wl_load") + "list.txt";
  test::WriteBytes(path, "2C:\\Pictures\\sea side.jpg\r\n0C:\\a.bmp\r\n\r\n7C:\\b.bmp\r\n3C:\\dir\r\n");
  f.existing = {path, "C:\\Pictures\\sea side.jpg", "C:\\a.bmp"};
  f.list.Load(path);
  const auto& rows = f.list.Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].image, "No Wallpaper");
  EXPECT_EQ(rows[0].icon, kIconNoWallpaper);
  EXPECT_EQ(rows[1].image, "C:\\Pictures\\sea side.jpg");
  EXPECT_EQ(rows[1].style, "Tile");
  EXPECT_EQ(rows[1].icon, kIconPicture);
  EXPECT_EQ(rows[2].style, "Center") << "0 reads as Center";
  EXPECT_EQ(rows[3].style, "") << "an unknown letter has no style";
  EXPECT_EQ(rows[3].icon, kIconMissingFile);
  EXPECT_EQ(rows[4].icon, kIconMissingFile);
  EXPECT_EQ(f.list.FileLines(),
            (Lines{"2C:\\Pictures\\sea side.jpg", "1C:\\a.bmp", "1C:\\b.bmp", "3C:\\dir"}));
}

TEST(WallpaperList, MissingListIsCreatedEmpty) {
  Fixture f;
  std::string path = test::FreshDir("wl_missing") + "list.txt";
  f.list.Load(path);
  EXPECT_EQ(f.Images(), Lines{"No Wallpaper"});
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(test::ReadBytes(path), "");
}

TEST(WallpaperList, DeleteSkipsNoWallpaperButUnselectsIt) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", "Tile"}, {"C:\\b.bmp", "Center"}, {"C:\\c.bmp", ""}});
  EXPECT_FALSE(f.list.DeleteSelected()) << "nothing selected: no rewrite";
  f.list.Select(0, true);
  f.list.Select(1, true);
  f.list.Select(3, true);
  EXPECT_TRUE(f.list.DeleteSelected());
  EXPECT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\b.bmp"}));
  EXPECT_EQ(f.list.FirstSelected(), -1);
}

TEST(WallpaperList, StyleNeverReachesNoWallpaper) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", "Center"}, {"C:\\b.bmp", "Stretch"}});
  f.list.SelectAll();
  f.list.SetSelectedStyle("Tile");
  EXPECT_EQ(f.list.Rows()[0].style, "");
  EXPECT_EQ(f.list.Rows()[1].style, "Tile");
  EXPECT_EQ(f.list.Rows()[2].style, "Tile");
  EXPECT_EQ(f.list.FileLines(), (Lines{"2C:\\a.jpg", "2C:\\b.bmp"}));
}

TEST(WallpaperList, MenuStateForOneSeveralAndNoWallpaper) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", "Stretch"}, {"C:\\b.bmp", "Tile"}});
  ListMenuState previous;
  ListMenuState none = f.list.MenuState(previous);
  EXPECT_FALSE(none.delete_enabled);
  EXPECT_FALSE(none.style_enabled);

  f.list.SelectOnly(1);
  ListMenuState one = f.list.MenuState(previous);
  EXPECT_TRUE(one.delete_enabled && one.style_enabled);
  EXPECT_TRUE(one.update_checks);
  EXPECT_EQ(one.checked_style, "Stretch");

  f.list.SelectOnly(0);
  ListMenuState nowp = f.list.MenuState(one);
  EXPECT_FALSE(nowp.delete_enabled);
  EXPECT_FALSE(nowp.style_enabled);
  EXPECT_FALSE(nowp.update_checks) << "an empty style leaves the radio group as it was";

  f.list.Select(1, true);
  f.list.Select(2, true);
  ListMenuState several = f.list.MenuState(one);
  EXPECT_TRUE(several.delete_enabled && several.style_enabled);
  EXPECT_TRUE(several.update_checks);
  EXPECT_EQ(several.checked_style, "");
}

TEST(WallpaperList, DroppedFileExtensionsCompareExactly) {
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\PHOTO.JPG"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\photo.jpeg"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\x.y\\a.bmp"));
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\a.psd"));
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\My.png\\noext"));
}

TEST(WallpaperList, SortingByStyleMovesNoWallpaperAndTogglesDirection) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", "Tile"}, {"C:\\b.jpg", "Center"}, {"C:\\c.jpg", "Stretch"}});
  f.list.SortByColumn(1);
  EXPECT_EQ(f.list.Order(), SortOrder::Ascending);
  EXPECT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\b.jpg", "C:\\c.jpg", "C:\\a.jpg"}));
  f.list.SortByColumn(1);
  EXPECT_EQ(f.list.Order(), SortOrder::Descending);
  EXPECT_EQ(f.Images(), (Lines{"C:\\a.jpg", "C:\\c.jpg", "C:\\b.jpg", "No Wallpaper"}));
  EXPECT_EQ(f.list.FileLines(), (Lines{"2C:\\a.jpg", "3C:\\c.jpg", "1C:\\b.jpg"}));
  // Later rows go to their place by Image text in the chosen direction.
  f.list.SortByColumn(0);
  f.list.AddRow("C:\\bb.jpg", "Center");
  EXPECT_EQ(f.Images(), (Lines{"C:\\a.jpg", "C:\\b.jpg", "C:\\bb.jpg", "C:\\c.jpg", "No Wallpaper"}));
}

TEST(WallpaperList, RemoveDeadEntriesKeepsExistingAndNoWallpaper) {
  Fixture f;
  f.Fill({{"C:\\gone1.jpg", ""}, {"C:\\here.jpg", ""}, {"C:\\gone2.jpg", ""}, {"C:\\gone3.jpg", ""}});
  f.existing.insert("C:\\here.jpg");
  f.list.RemoveDeadEntries();
  EXPECT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\here.jpg"}));
}

TEST(WallpaperList, LastIndexCountsFileRowsUpToTheFirstSelected) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", ""}, {"C:\\b.jpg", ""}, {"C:\\c.jpg", ""}});
  EXPECT_EQ(f.list.LastIndexForSelection(), -1) << "nothing selected";
  f.list.SelectOnly(0);
  EXPECT_EQ(f.list.LastIndexForSelection(), -1) << "the top row";
  f.list.SelectOnly(2);
  f.list.Select(3, true);
  EXPECT_EQ(f.list.LastIndexForSelection(), 2) << "only the first selected row counts";

  f.list.SortByColumn(0);  // ascending: a, b, c, No Wallpaper
  f.list.SelectOnly(0);
  EXPECT_EQ(f.list.LastIndexForSelection(), -1);
  f.list.SelectOnly(3);
  EXPECT_EQ(f.list.LastIndexForSelection(), 3) << "the file rows above No Wallpaper";
}

TEST(WallpaperList, SelectedImageAndLetter) {
  Fixture f;
  f.Fill({{"C:\\a.jpg", "Stretch"}, {"C:\\b.jpg", "Tile"}});
  EXPECT_EQ(f.list.SelectedImage(), "");
  EXPECT_EQ(f.list.SelectedLetter(), '1');
  f.list.SelectOnly(2);
  EXPECT_EQ(f.list.SelectedImage(), "C:\\b.jpg");
  EXPECT_EQ(f.list.SelectedLetter(), '2');
  f.list.SelectOnly(1);
  EXPECT_EQ(f.list.SelectedLetter(), '3');
}

}  // namespace
}  // namespace vistrel
