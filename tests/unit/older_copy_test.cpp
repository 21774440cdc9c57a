// What a copy of the programs from before Fit, Fill and Shuffle makes of the files this one
// writes. The style rules below are that copy's, kept word for word (only renamed), so that a
// change to today's rules cannot change what they say about the older copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/logic/wallpaper_list.h"
#include "app/logic/window_settings.h"
#include "common/list_file.h"
#include "common/settings.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

// ---- The older copy's list rules (common/list_file.cpp as released in 1.0.0).

enum class OldEntryStyle : std::uint8_t { esNone = 0, esCenter = 1, esTile = 2, esStretch = 3 };

OldEntryStyle OldStyleForLetter(char letter) {
  switch (letter) {
    case '0':
    case '1': return OldEntryStyle::esCenter;
    case '2': return OldEntryStyle::esTile;
    case '3': return OldEntryStyle::esStretch;
    default: return OldEntryStyle::esNone;
  }
}

const char* OldStyleText(OldEntryStyle style) {
  switch (style) {
    case OldEntryStyle::esCenter: return "Center";
    case OldEntryStyle::esTile: return "Tile";
    case OldEntryStyle::esStretch: return "Stretch";
    default: return "";
  }
}

char OldLetterForStyleText(const std::string& style_text) {
  if (style_text == "Stretch") return '3';
  if (style_text == "Tile") return '2';
  return '1';
}

// The older copy split the text into lines by the rules SplitListLines still follows word for
// word; the ListLines tests (list_file_test.cpp) hold those rules to the released ones, so the
// older copy's reading takes today's function rather than a second copy of it.
std::vector<std::string> OldSplitListLines(const std::string& text) {
  return SplitListLines(text);
}

// The older window's rows: Image text from the second character, Style text by the letter.
struct OldRow {
  std::string image, style;
};
std::vector<OldRow> OldLoadRows(const std::string& text) {
  std::vector<OldRow> rows;
  for (const std::string& line : OldSplitListLines(text)) {
    if (line.empty()) continue;
    rows.push_back({line.substr(1), OldStyleText(OldStyleForLetter(line[0]))});
  }
  return rows;
}

// The older applier's table: only 1 to 3 touch the desktop's style values.
bool OldApplierWritesStyle(char letter) {
  return letter == '1' || letter == '2' || letter == '3';
}

TEST(OlderCopy, ReadsAListWithFitAndFillWithoutLosingAnEntry) {
  // Today's window writes the list.
  std::string dir = test::FreshDir("older_list");
  std::string path = dir + "list.txt";
  test::WriteBytes(path, "");
  WallpaperListHost real_files;
  WallpaperList list(real_files);
  ASSERT_TRUE(list.Load(path));
  list.AddRow("C:\\Pictures\\a.jpg", "Fit");
  list.AddRow("C:\\Pictures\\b c.png", "Fill");
  list.AddRow("C:\\Pictures\\d.bmp", "Stretch");
  ASSERT_TRUE(list.Save(path));
  const std::string text = test::ReadBytes(path);
  ASSERT_EQ(text, "4C:\\Pictures\\a.jpg\r\n5C:\\Pictures\\b c.png\r\n3C:\\Pictures\\d.bmp\r\n");

  // The older window shows every entry, Fit and Fill without a style, the others as before.
  const std::vector<OldRow> rows = OldLoadRows(text);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].image, "C:\\Pictures\\a.jpg");
  EXPECT_EQ(rows[0].style, "");
  EXPECT_EQ(rows[1].image, "C:\\Pictures\\b c.png");
  EXPECT_EQ(rows[1].style, "");
  EXPECT_EQ(rows[2].image, "C:\\Pictures\\d.bmp");
  EXPECT_EQ(rows[2].style, "Stretch");
  // Its next rewrite keeps the entries, as Center.
  EXPECT_EQ(OldLetterForStyleText(rows[0].style), '1');

  // The older agent counts and passes on the same lines; its applier sets the picture and leaves
  // the desktop's style as it was for the new letters.
  const std::vector<std::string> lines = OldSplitListLines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_FALSE(OldApplierWritesStyle(lines[0][0]));
  EXPECT_FALSE(OldApplierWritesStyle(lines[1][0]));
  EXPECT_TRUE(OldApplierWritesStyle(lines[2][0]));
}

// A list with a name beyond the ANSI code page is written in UTF-8 after its byte order mark. The
// older copy reads the bytes as ANSI: its ASCII lines work as before, a line with such a name
// names no file (the older window greys it, the older agent passes over it), and the mark's
// bytes ride on the first line, which stays a row of its own that names no file either.
TEST(OlderCopy, ReadsTheAsciiLinesOfAListWrittenInUtf8) {
  const std::string path = test::FreshDir("older_utf8") + "list.txt";
  const std::string tokyo = "C:\\\xE6\x9D\xB1\xE4\xBA\xAC.jpg";
  ASSERT_TRUE(WriteListFile(path, {"1C:\\Pictures\\a.jpg", "2" + tokyo, "3C:\\Pictures\\b.bmp"}));
  const std::string text = test::ReadBytes(path);
  ASSERT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);

  const std::vector<OldRow> rows = OldLoadRows(text);
  ASSERT_EQ(rows.size(), 3u) << "one row per line, the mark adding none";
  EXPECT_EQ(rows[0].image,
            "\xBB\xBF"
            "1C:\\Pictures\\a.jpg")
      << "a row naming no file";
  EXPECT_EQ(rows[0].style, "");
  EXPECT_EQ(rows[1].image, tokyo) << "the bytes, which are no name in its code page";
  EXPECT_EQ(rows[1].style, "Tile");
  EXPECT_EQ(rows[2].image, "C:\\Pictures\\b.bmp") << "ASCII lines as before";
  EXPECT_EQ(rows[2].style, "Stretch");

  const std::vector<std::string> lines = OldSplitListLines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_FALSE(OldApplierWritesStyle(lines[0][0])) << "were its first line ever passed on";
  EXPECT_EQ(lines[2], "3C:\\Pictures\\b.bmp");
}

// The older agent's and window's reading of "RandomWallpaper": a boolean through the profile's
// integer reading, true when not 0 (agent/logic/agent_settings.cpp and
// app/logic/window_settings.cpp as released in 1.0.0). Settings::ReadBool is unchanged since.
bool OldReadsRandom(const Settings& settings) {
  return settings.ReadBool("RandomWallpaper", false);
}

TEST(OlderCopy, TakesShuffleAsRandom) {
  std::string dir = test::FreshDir("older_shuffle");
  Settings settings(dir + "vistrel.ini");
  WindowSettings values;
  values.shuffle = true;
  ASSERT_TRUE(SaveWindowSettings(settings, values, -1));
  EXPECT_EQ(settings.ReadText("RandomWallpaper", ""), "2");
  EXPECT_TRUE(OldReadsRandom(settings));
  // The keys of the round are the new copy's own; the older one never reads them.
  values.shuffle = false;
  values.random = true;
  ASSERT_TRUE(SaveWindowSettings(settings, values, -1));
  EXPECT_EQ(settings.ReadText("RandomWallpaper", ""), "1") << "Random is stored as before";
  EXPECT_TRUE(OldReadsRandom(settings));
  values.random = false;
  ASSERT_TRUE(SaveWindowSettings(settings, values, -1));
  EXPECT_EQ(settings.ReadText("RandomWallpaper", ""), "0");
  EXPECT_FALSE(OldReadsRandom(settings));
}

}  // namespace
}  // namespace vistrel
