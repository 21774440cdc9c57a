#include <gtest/gtest.h>

#include "app/logic/wallpaper_list.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "tests/support/test_support.h"
#include "tests/unit/list_fixture.h"

namespace vistrel {
namespace {

using Lines = std::vector<std::string>;

using test::ListFixture;

void SelectOnly(WallpaperList& list, std::size_t row) {
  for (std::size_t i = 0; i < list.Rows().size(); ++i) list.Select(i, i == row);
}

TEST(WallpaperList, LoadMarksMissingFilesAndStylesAndSkipsEmptyLines) {
  ListFixture f("wl_load");
  const std::string& path = f.path;
  test::WriteBytes(path,
                   "2C:\\Pictures\\sea side.jpg\r\n0C:\\a.bmp\r\n\r\n7C:\\b.bmp\r\n3C:\\dir\r\n");
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

TEST(WallpaperList, FitAndFillAreReadShownAndWrittenBack) {
  ListFixture f("wl_fit_fill");
  const std::string& path = f.path;
  test::WriteBytes(path, "4C:\\a.jpg\r\n5C:\\b.jpg\r\n3C:\\c.jpg\r\n");
  f.existing = {path};
  f.list.Load(path);
  ASSERT_EQ(f.list.Rows().size(), 4u);
  EXPECT_EQ(f.list.Rows()[1].style, "Fit");
  EXPECT_EQ(f.list.Rows()[2].style, "Fill");
  EXPECT_EQ(f.list.Rows()[3].style, "Stretch") << "Stretch keeps its meaning";

  SelectOnly(f.list, 3);
  f.list.SetSelectedStyle("Fill");
  SelectOnly(f.list, 2);
  EXPECT_EQ(f.list.SelectedLetter(), '5');
  ListMenuState menu = f.list.MenuState({});
  EXPECT_TRUE(menu.update_checks);
  EXPECT_EQ(menu.checked_style, "Fill");
  ASSERT_TRUE(f.list.Save(path));
  EXPECT_EQ(test::ReadBytes(path), "4C:\\a.jpg\r\n5C:\\b.jpg\r\n5C:\\c.jpg\r\n");
}

TEST(WallpaperList, MissingListIsCreatedEmpty) {
  ListFixture f("wl_missing");
  const std::string& path = f.path;
  f.list.Load(path);
  EXPECT_EQ(f.Images(), Lines{"No Wallpaper"});
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(test::ReadBytes(path), "");
}

TEST(WallpaperList, DeleteSkipsNoWallpaperButUnselectsIt) {
  ListFixture f("wl_delete_skips");
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
  ListFixture f("wl_style_never");
  f.Fill({{"C:\\a.jpg", "Center"}, {"C:\\b.bmp", "Stretch"}});
  f.list.SelectAll();
  f.list.SetSelectedStyle("Tile");
  EXPECT_EQ(f.list.Rows()[0].style, "");
  EXPECT_EQ(f.list.Rows()[1].style, "Tile");
  EXPECT_EQ(f.list.Rows()[2].style, "Tile");
  EXPECT_EQ(f.list.FileLines(), (Lines{"2C:\\a.jpg", "2C:\\b.bmp"}));
}

TEST(WallpaperList, MenuStateForOneSeveralAndNoWallpaper) {
  ListFixture f("wl_menu_state");
  f.Fill({{"C:\\a.jpg", "Stretch"}, {"C:\\b.bmp", "Tile"}});
  ListMenuState previous;
  ListMenuState none = f.list.MenuState(previous);
  EXPECT_FALSE(none.delete_enabled);
  EXPECT_FALSE(none.style_enabled);

  SelectOnly(f.list, 1);
  ListMenuState one = f.list.MenuState(previous);
  EXPECT_TRUE(one.delete_enabled && one.style_enabled);
  EXPECT_TRUE(one.update_checks);
  EXPECT_EQ(one.checked_style, "Stretch");

  SelectOnly(f.list, 0);
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

TEST(WallpaperList, DroppedFilesOfEveryKindTheApplierReadsInAnyCase) {
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\DCIM\\PHOTO.JPG")) << "the usual camera name";
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\photo.jpeg"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\photo.JPEG"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\x.y\\a.bmp"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\a.psd"));
  EXPECT_TRUE(WallpaperList::AcceptsDroppedFile("C:\\a.Png") &&
              WallpaperList::AcceptsDroppedFile("C:\\a.GIF"));
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\My.png\\noext"));
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\notes.txt"));
  EXPECT_FALSE(WallpaperList::AcceptsDroppedFile("C:\\a.tiff"));
}

TEST(WallpaperList, AListThatCannotBeReadIsRetriedAndNeverRewritten) {
  const std::string path = test::FreshDir("wl_unreadable") + "list.txt";
  const std::string original = "1C:\\a.jpg\r\n2C:\\b.jpg\r\n";
  test::WriteBytes(path, original);
  test::FakeListHost host;
  host.existing = {path};
  host.failures = 1000;
  WallpaperList list{host};
  int& reads = host.reads;
  int& pauses = host.pauses;
  int& failures = host.failures;

  // Held by another program throughout: retried, then given up.
  EXPECT_FALSE(list.Load(path));
  EXPECT_FALSE(list.IsRead());
  EXPECT_EQ(reads, WallpaperList::kReadAttempts);
  EXPECT_EQ(pauses, WallpaperList::kReadAttempts - 1);
  ASSERT_EQ(list.Rows().size(), 1u) << "only No Wallpaper";
  list.AddRow("C:\\new.jpg", "Center");
  EXPECT_FALSE(list.Save(path)) << "saving would replace the entries it never saw";
  EXPECT_EQ(test::ReadBytes(path), original);

  // Released during the retries: read in full.
  reads = 0;
  failures = 3;
  EXPECT_TRUE(list.Load(path));
  EXPECT_EQ(reads, 4);
  ASSERT_EQ(list.Rows().size(), 3u);
  list.AddRow("C:\\new.jpg", "Center");
  EXPECT_TRUE(list.Save(path));
  EXPECT_EQ(test::ReadBytes(path), original + "1C:\\new.jpg\r\n");
}

TEST(WallpaperList, LastIndexIsTheAgentsLineNumberWhileTheFileHasEmptyLines) {
  ListFixture f("wl_empty_lines");
  const std::string& path = f.path;
  f.existing.insert(path);
  // A hand-edited file: the agent counts the empty lines too.
  test::WriteBytes(path, "1C:\\a.jpg\r\n\r\n1C:\\b.jpg\r\n\r\n\r\n1C:\\c.jpg\r\n");
  ASSERT_TRUE(f.list.Load(path));
  ASSERT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}));
  std::vector<std::string> agent_lines = SplitListLines(test::ReadBytes(path));
  SelectOnly(f.list, 2);
  const int b = f.list.LastIndexForSelection();
  ASSERT_GE(b, 1);
  EXPECT_EQ(agent_lines[static_cast<std::size_t>(b - 1)], "1C:\\b.jpg");
  SelectOnly(f.list, 3);
  EXPECT_EQ(f.list.LastIndexForSelection(), 6);
  // Once rewritten the file has no empty lines, and the row count is the line number.
  ASSERT_TRUE(f.list.Save(path));
  EXPECT_EQ(f.list.LastIndexForSelection(), 3);
  EXPECT_EQ(SplitListLines(test::ReadBytes(path))[2], "1C:\\c.jpg");
}

TEST(WallpaperList, SortingByStyleMovesNoWallpaperAndTogglesDirection) {
  ListFixture f("wl_sorting_by");
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
  EXPECT_EQ(f.Images(),
            (Lines{"C:\\a.jpg", "C:\\b.jpg", "C:\\bb.jpg", "C:\\c.jpg", "No Wallpaper"}));
}

TEST(WallpaperList, ManyRowsAtOnceLandWhereOneAfterAnotherWouldAndUndoSwaps) {
  const std::vector<std::pair<std::string, std::string>> added = {{"C:\\m.jpg", "Center"},
                                                                  {"C:\\B.jpg", "Center"},
                                                                  {"C:\\m.jpg", "Tile"},
                                                                  {"C:\\a.jpg", "Center"},
                                                                  {"C:\\z.jpg", "Center"}};
  // Sorted by Image both ways, by Style, and not sorted: the batch matches AddRow by AddRow.
  for (int sorts : {0, 1, 2, -1}) {
    SCOPED_TRACE(sorts);
    ListFixture one("wl_batch_one"), many("wl_batch_many");
    for (ListFixture* f : {&one, &many}) {
      f->Fill({{"C:\\k.jpg", "Tile"}, {"C:\\m.jpg", ""}, {"C:\\c.jpg", "Stretch"}});
      if (sorts == -1) f->list.SortByColumn(1);
      for (int i = 0; i < sorts; ++i) f->list.SortByColumn(0);
    }
    for (const auto& [image, style] : added) one.list.AddRow(image, style);
    many.list.BeginEdit();
    many.list.AddRows(added);
    EXPECT_EQ(many.Images(), one.Images());
    EXPECT_EQ(many.list.FileLines(), one.list.FileLines());
    const auto before = many.list.FileLines();
    EXPECT_TRUE(many.list.Undo());
    EXPECT_EQ(many.list.Rows().size(), 4u);
    EXPECT_TRUE(many.list.Undo());
    EXPECT_EQ(many.list.FileLines(), before);
  }
}

TEST(WallpaperList, RemoveDeadEntriesKeepsExistingAndNoWallpaper) {
  ListFixture f("wl_remove_dead");
  f.Fill(
      {{"C:\\gone1.jpg", ""}, {"C:\\here.jpg", ""}, {"C:\\gone2.jpg", ""}, {"C:\\gone3.jpg", ""}});
  f.existing.insert("C:\\here.jpg");
  f.list.RemoveDeadEntries();
  EXPECT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\here.jpg"}));
}

TEST(WallpaperList, LastIndexCountsFileRowsUpToTheFirstSelected) {
  ListFixture f("wl_last_index");
  f.Fill({{"C:\\a.jpg", ""}, {"C:\\b.jpg", ""}, {"C:\\c.jpg", ""}});
  EXPECT_EQ(f.list.LastIndexForSelection(), -1) << "nothing selected";
  SelectOnly(f.list, 0);
  EXPECT_EQ(f.list.LastIndexForSelection(), -1) << "the top row";
  SelectOnly(f.list, 2);
  f.list.Select(3, true);
  EXPECT_EQ(f.list.LastIndexForSelection(), 2) << "only the first selected row counts";

  f.list.SortByColumn(0);  // ascending: a, b, c, No Wallpaper
  SelectOnly(f.list, 0);
  EXPECT_EQ(f.list.LastIndexForSelection(), -1);
  SelectOnly(f.list, 3);
  EXPECT_EQ(f.list.LastIndexForSelection(), 3) << "the file rows above No Wallpaper";
}

TEST(WallpaperList, SelectedImageAndLetter) {
  ListFixture f("wl_selected_image");
  f.Fill({{"C:\\a.jpg", "Stretch"}, {"C:\\b.jpg", "Tile"}});
  EXPECT_EQ(f.list.SelectedImage(), "");
  EXPECT_EQ(f.list.SelectedLetter(), '1');
  SelectOnly(f.list, 2);
  EXPECT_EQ(f.list.SelectedImage(), "C:\\b.jpg");
  EXPECT_EQ(f.list.SelectedLetter(), '2');
  SelectOnly(f.list, 1);
  EXPECT_EQ(f.list.SelectedLetter(), '3');
}

}  // namespace
}  // namespace vistrel
