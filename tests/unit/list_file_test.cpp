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

// The code page is Windows-1252 in these tests: the native build's stand-in, and a Wine
// prefix's default. Texts are spelled in bytes so that the source's own encoding plays no part.
constexpr char kTokyo[] = "\xE6\x9D\xB1\xE4\xBA\xAC";  // UTF-8, no ANSI form here
constexpr char kUtf8E[] = "\xC3\xA9";                  // e acute in UTF-8
constexpr char kAnsiE[] = "\xE9";                      // e acute in 1252
constexpr char kSunrise[] = "\xF0\x9F\x8C\x85";        // beyond U+FFFF

TEST(ListFileEncoding, ReadingTakesTheMarkThenWellFormedUtf8ThenTheCodePage) {
  const std::string bom = kUtf8ByteOrderMark;
  const struct {
    std::string bytes;
    Lines lines;
    const char* why;
  } cases[] = {
      {std::string("1C:\\caf") + kAnsiE + ".jpg\r\n",
       {std::string("1C:\\caf") + kUtf8E + ".jpg"},
       "ANSI"},
      {bom + "1C:\\" + kTokyo + ".jpg\r\n2a.png\r\n",
       {std::string("1C:\\") + kTokyo + ".jpg", "2a.png"},
       "UTF-8 after the mark"},
      {bom + "1a.png\r\n", {"1a.png"}, "the mark is not part of the first line"},
      {std::string("1") + kSunrise + ".bmp\r\n3caf" + kUtf8E + "\r\n",
       {std::string("1") + kSunrise + ".bmp", std::string("3caf") + kUtf8E},
       "UTF-8 without mark"},
      {std::string("1caf") + kUtf8E + "\r\n1caf" + kAnsiE + "\r\n",
       {"1caf\xC3\x83\xC2\xA9", std::string("1caf") + kUtf8E},
       "mixed lines: one byte that is not UTF-8 makes the whole file ANSI"},
      {std::string("1") + kUtf8E + "\r\n\x1a\xFF",
       {std::string("1") + kUtf8E},
       "what follows Ctrl-Z is not read, nor looked at"},
      {"\xC3\r\n", {"\xC3\x83"}, "a cut sequence is not UTF-8"},
      {"\xED\xA0\x80\r\n", {"\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, "nor is a surrogate"},
      {"1a.jpg\r\n", {"1a.jpg"}, "ASCII reads the same either way"},
  };
  const std::string path = test::FreshDir("list_encoding_read") + "list.txt";
  for (const auto& c : cases) {
    test::WriteBytes(path, c.bytes);
    Lines lines;
    ASSERT_TRUE(ReadListFile(path, lines)) << c.why;
    EXPECT_EQ(lines, c.lines) << c.why;
  }
}

TEST(ListFileEncoding, WritingKeepsTheCodePageWheneverEveryLineFitsIt) {
  const std::string path = test::FreshDir("list_encoding_write") + "list.txt";
  const Lines western = {"1C:\\a.jpg", std::string("2C:\\caf") + kUtf8E + ".png"};
  ASSERT_TRUE(WriteListFile(path, western));
  EXPECT_EQ(test::ReadBytes(path), std::string("1C:\\a.jpg\r\n2C:\\caf") + kAnsiE + ".png\r\n");

  const Lines any = {"1C:\\a.jpg", std::string("3C:\\") + kTokyo + ".jpg",
                     std::string("1") + kSunrise + " sunrise.bmp"};
  ASSERT_TRUE(WriteListFile(path, any));
  EXPECT_EQ(test::ReadBytes(path), kUtf8ByteOrderMark + FormatListLines(any))
      << "one line beyond the code page: the whole file in UTF-8 after its mark";
  Lines read;
  ASSERT_TRUE(ReadListFile(path, read));
  EXPECT_EQ(read, any);

  // An ANSI list read and written again is the same bytes.
  const std::string ansi = std::string(
      "1C:\\\xDCn\xEF"
      "c\xF8"
      "d\xE9.png\r\n4x\x80.gif\r\n");
  test::WriteBytes(path, ansi);
  ASSERT_TRUE(ReadListFile(path, read));
  ASSERT_TRUE(WriteListFile(path, read));
  EXPECT_EQ(test::ReadBytes(path), ansi);
}

}  // namespace
}  // namespace vistrel
