// The tray's texts: cut to the notification fields, never inside a character.
#include <gtest/gtest.h>

#include "agent/logic/tray_text.h"

namespace vistrel {
namespace {

TEST(TrayText, LongTextsAreCutToTheFieldWithAMark) {
  EXPECT_EQ(CutToField("Vistrel Agent [5 min]", kTooltipFieldSize), "Vistrel Agent [5 min]");
  std::string exact(127, 'a');
  EXPECT_EQ(CutToField(exact, kTooltipFieldSize), exact) << "127 characters fit";
  std::string cut = CutToField(exact + "b", kTooltipFieldSize);
  EXPECT_EQ(cut, std::string(124, 'a') + "...");
  EXPECT_EQ(CutToField(std::string(300, 'x'), kBalloonTextFieldSize).size(), 255u);
  EXPECT_EQ(CutToField(std::string(300, 'x'), kBalloonTitleFieldSize).size(), 63u);
  EXPECT_EQ(CutToField(std::string("ab\0cd", 5), kTooltipFieldSize), "ab");
}

// The fields hold UTF-16 units: a character of two or three UTF-8 bytes takes one, an emoji two.
TEST(TrayText, FieldsCountUtf16UnitsAndNeverSplitACharacter) {
  const std::string kyo = "\xE4\xBA\xAC";          // one unit, three bytes
  const std::string sunrise = "\xF0\x9F\x8C\x85";  // two units, four bytes
  std::string japanese;
  for (int i = 0; i < 127; ++i) japanese += kyo;
  EXPECT_EQ(CutToField(japanese, kTooltipFieldSize), japanese) << "127 units fit";
  EXPECT_EQ(CutToField(japanese + kyo, kTooltipFieldSize), japanese.substr(0, 124 * 3) + "...");
  // 'a' and 62 emoji take 125 units: room for the mark would need 124, so the 62nd goes.
  std::string emoji = "a";
  for (int i = 0; i < 70; ++i) emoji += sunrise;
  EXPECT_EQ(CutToField(emoji, kTooltipFieldSize), emoji.substr(0, 1 + 61 * 4) + "...");
  std::string exact_emoji;
  for (int i = 0; i < 63; ++i) exact_emoji += sunrise;
  EXPECT_EQ(CutToField(exact_emoji + "b", kTooltipFieldSize), exact_emoji + "b") << "127 units";
}

TEST(TrayText, FileNamePartAfterTheLastBackslashOrColon) {
  EXPECT_EQ(FileNamePart("C:\\pics\\a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("C:a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("C:\\pics\\"), "");
  EXPECT_EQ(FileNamePart("C:\\\xD0\x94\\\xF0\x9F\x8C\x85 sunrise.bmp"),
            "\xF0\x9F\x8C\x85 sunrise.bmp");
}

}  // namespace
}  // namespace vistrel
