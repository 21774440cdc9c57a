#include <gtest/gtest.h>

#include "common/list_file.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using Lines = std::vector<std::string>;

TEST(ListLines, LineEndsAtCrAndCrLfIsOneEnd) {
  EXPECT_EQ(SplitListLines("1a\r\n2b\r\n"), (Lines{"1a", "2b"})) << "no extra entry after CR LF";
  EXPECT_EQ(SplitListLines("1a\r2b\r"), (Lines{"1a", "2b"}));
  EXPECT_EQ(SplitListLines("1a\r\n3last"), (Lines{"1a", "3last"})) << "last line without end";
  EXPECT_EQ(SplitListLines(""), Lines{});
}

TEST(ListLines, LoneLfIsAnOrdinaryCharacter) {
  EXPECT_EQ(SplitListLines("1C:\\a.jpg\n2C:\\b.jpg\n"), (Lines{"1C:\\a.jpg\n2C:\\b.jpg\n"}));
  EXPECT_EQ(SplitListLines("1a\r\n\n2b\r\n"), (Lines{"1a", "\n2b"}));
}

TEST(ListLines, CtrlZEndsTheText) {
  EXPECT_EQ(SplitListLines("1a\r\n2b\x1a"
                           "3c\r\n"),
            (Lines{"1a", "2b"}));
  EXPECT_EQ(SplitListLines("\x1a"
                           "1a\r\n"),
            Lines{});
  EXPECT_EQ(SplitListLines("1a\r\n\x1a"), (Lines{"1a"}));
}

TEST(ListLines, EmptyLinesAreKeptForCounting) {
  // Line numbers are what "LastIndex" counts, so the reader must not drop empty lines.
  EXPECT_EQ(SplitListLines("1a\r\n\r\n2b\r\n\r\n"), (Lines{"1a", "", "2b", ""}));
}

TEST(ListEntry, LetterAndPathAreTakenVerbatim) {
  ListEntry e = ListEntry::FromLine("2C:\\Pictures\\sea side.jpg ");
  EXPECT_EQ(e.StyleLetter, '2');
  EXPECT_EQ(e.path, "C:\\Pictures\\sea side.jpg ");
  ListEntry lone = ListEntry::FromLine("3");
  EXPECT_EQ(lone.StyleLetter, '3');
  EXPECT_EQ(lone.path, "");
}

TEST(ListEntry, StyleLettersAndTexts) {
  EXPECT_STREQ(StyleText(StyleForLetter('1')), "Center");
  EXPECT_STREQ(StyleText(StyleForLetter('0')), "Center");
  EXPECT_STREQ(StyleText(StyleForLetter('2')), "Tile");
  EXPECT_STREQ(StyleText(StyleForLetter('3')), "Stretch");
  EXPECT_STREQ(StyleText(StyleForLetter('4')), "Fit");
  EXPECT_STREQ(StyleText(StyleForLetter('5')), "Fill");
  EXPECT_STREQ(StyleText(StyleForLetter('6')), "");
  EXPECT_STREQ(StyleText(StyleForLetter('7')), "");
  EXPECT_EQ(LetterForStyleText("Fill"), '5');
  EXPECT_EQ(LetterForStyleText("Fit"), '4');
  EXPECT_EQ(LetterForStyleText("fit"), '1');
  EXPECT_EQ(LetterForStyleText("Stretch"), '3');
  EXPECT_EQ(LetterForStyleText("Tile"), '2');
  EXPECT_EQ(LetterForStyleText("Center"), '1');
  EXPECT_EQ(LetterForStyleText(""), '1');
  EXPECT_EQ(LetterForStyleText("tile"), '1') << "the texts compare exactly";
}

TEST(ListFile, WriteIsCrLfAndReadsBack) {
  std::string path = test::FreshDir("list_write") + "list.txt";
  ASSERT_TRUE(WriteListFile(path, {"2C:\\a.jpg", "1C:\\b.bmp"}));
  EXPECT_EQ(test::ReadBytes(path), "2C:\\a.jpg\r\n1C:\\b.bmp\r\n");
  Lines lines;
  ASSERT_TRUE(ReadListFile(path, lines));
  EXPECT_EQ(lines, (Lines{"2C:\\a.jpg", "1C:\\b.bmp"}));
  ASSERT_TRUE(WriteListFile(path, {"3C:\\c.png"}));
  EXPECT_EQ(test::ReadBytes(path), "3C:\\c.png\r\n") << "a rewrite replaces the whole list";
}

TEST(ListFile, RewriteLeavesNoTemporaryFileBehind) {
  std::string dir = test::FreshDir("list_temp");
  ASSERT_TRUE(WriteListFile(dir + "list.txt", {"1a"}));
  ASSERT_TRUE(WriteListFile(dir + "list.txt", {"1b"}));
  EXPECT_EQ(test::FileNamesIn(dir), std::vector<std::string>{"list.txt"});
}

TEST(ListFile, EnsureCreatesAnEmptyFileOnlyWhenMissing) {
  std::string dir = test::FreshDir("list_ensure");
  ASSERT_TRUE(EnsureListFile(dir + "list.txt"));
  EXPECT_EQ(test::ReadBytes(dir + "list.txt"), "");
  test::WriteBytes(dir + "list.txt", "1keep\r\n");
  ASSERT_TRUE(EnsureListFile(dir + "list.txt"));
  EXPECT_EQ(test::ReadBytes(dir + "list.txt"), "1keep\r\n");
}

TEST(ListFile, MissingFileAndDirectoryAreNotReadable) {
  std::string dir = test::FreshDir("list_missing");
  Lines lines{"stale"};
  EXPECT_FALSE(ReadListFile(dir + "absent.txt", lines));
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(FileExists(dir)) << "a directory is not a file";
}

}  // namespace
}  // namespace vistrel
