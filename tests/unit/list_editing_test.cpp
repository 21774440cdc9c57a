#include <gtest/gtest.h>

#include "app/logic/list_editing.h"
#include "common/list_file.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"
#include "tests/unit/list_fixture.h"

namespace vistrel {
namespace {

using Lines = std::vector<std::string>;

using test::ListFixture;

TEST(ListEditing, FolderMasksForEveryKindTheApplierReadsWithOneSeparator) {
  EXPECT_EQ(FolderImageMasks("C:\\Pictures"),
            (Lines{"C:\\Pictures\\*.bmp", "C:\\Pictures\\*.jpg", "C:\\Pictures\\*.jpeg",
                   "C:\\Pictures\\*.gif", "C:\\Pictures\\*.png", "C:\\Pictures\\*.psd",
                   "C:\\Pictures\\*.webp"}));
  // The folder dialog gives a drive's root with its backslash.
  EXPECT_EQ(FolderImageMasks("D:\\")[0], "D:\\*.bmp");
  EXPECT_EQ(JoinPath("D:\\", "a.png"), "D:\\a.png");
  EXPECT_EQ(JoinPath("D:\\x y", "a.png"), "D:\\x y\\a.png");
}

TEST(ListEditing, FolderFilesBecomeCenterRowsInListingOrder) {
  ListFixture f("le_folder");
  f.Load();
  // What the listing gives for a folder with a.png, b.bmp and c.psd: the .bmp mask comes first.
  // A name that two masks both match is added once.
  AddFolderFiles(f.list, "C:\\pics", {"b.bmp", "a.png", "c.psd", "a.png"});
  EXPECT_EQ(f.Images(),
            (Lines{"No Wallpaper", "C:\\pics\\b.bmp", "C:\\pics\\a.png", "C:\\pics\\c.psd"}));
  EXPECT_EQ(f.list.Rows()[1].style, "Center");
  EXPECT_EQ(f.list.Rows()[1].icon, kIconPicture);
  EXPECT_EQ(f.list.FileLines(),
            (Lines{"1C:\\pics\\b.bmp", "1C:\\pics\\a.png", "1C:\\pics\\c.psd"}));
}

TEST(ListEditing, DroppedFilesInAnyCaseAndOneRewriteForTheDrop) {
  ListFixture f("le_drop");
  f.Load();
  const DropResult drop = AddDroppedFiles(
      f.list, {"C:\\PHOTO.JPG", "C:\\notes.txt", "C:\\photo.jpeg", "C:\\x.Png", "C:\\y.psd"});
  EXPECT_EQ(drop.refused, (Lines{"C:\\notes.txt"}));
  EXPECT_EQ(f.Images(),
            (Lines{"No Wallpaper", "C:\\PHOTO.JPG", "C:\\photo.jpeg", "C:\\x.Png", "C:\\y.psd"}));
  EXPECT_EQ(f.list.Rows()[1].style, "") << "a dropped row has no style until it is rewritten";
  EXPECT_TRUE(drop.added) << "the list is rewritten once for the whole drop";
  ASSERT_TRUE(f.list.Save(f.path));
  EXPECT_EQ(SplitListLines(test::ReadBytes(f.path)),
            (Lines{"1C:\\PHOTO.JPG", "1C:\\photo.jpeg", "1C:\\x.Png", "1C:\\y.psd"}));
  // A drop of nothing accepted rewrites nothing.
  const DropResult refused = AddDroppedFiles(f.list, {"C:\\a.doc"});
  EXPECT_FALSE(refused.added);
  EXPECT_EQ(refused.refused, (Lines{"C:\\a.doc"}));
}

TEST(ListEditing, ThreeDroppedFilesGoToTheirSortedPlacesAfterASort) {
  ListFixture f("le_drop_sorted");
  f.Load();
  AddFolderFiles(f.list, "C:\\p", {"m.bmp"});
  f.list.SortByColumn(1);  // by Style, ascending: "" (No Wallpaper) before "Center"
  f.list.SortByColumn(0);  // by Image, descending now
  EXPECT_EQ(f.list.Order(), SortOrder::Descending);
  EXPECT_TRUE(AddDroppedFiles(f.list, {"C:\\p\\z.bmp", "C:\\p\\a.bmp", "C:\\p\\N.png"}).added);
  EXPECT_EQ(f.Images(), (Lines{"No Wallpaper", "C:\\p\\z.bmp", "C:\\p\\N.png", "C:\\p\\m.bmp",
                               "C:\\p\\a.bmp"}));
}

}  // namespace
}  // namespace vistrel
