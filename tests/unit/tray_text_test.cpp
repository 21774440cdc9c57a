// The tray's texts: cut to the notification fields, never inside a two-byte character.
#include <gtest/gtest.h>

#include "agent/logic/tray_text.h"

namespace vistrel {
namespace {

TEST(TrayText, LongTextsAreCutToTheFieldWithAMark) {
  auto no_dbcs = [](unsigned char) { return false; };
  EXPECT_EQ(CutToField("Vistrel Agent [5 min]", kTooltipFieldSize, no_dbcs),
            "Vistrel Agent [5 min]");
  std::string exact(127, 'a');
  EXPECT_EQ(CutToField(exact, kTooltipFieldSize, no_dbcs), exact) << "127 characters fit";
  std::string cut = CutToField(exact + "b", kTooltipFieldSize, no_dbcs);
  EXPECT_EQ(cut.size(), 127u);
  EXPECT_EQ(cut, std::string(124, 'a') + "...");
  EXPECT_EQ(CutToField(std::string(300, 'x'), kBalloonTextFieldSize, no_dbcs).size(), 255u);
  EXPECT_EQ(CutToField(std::string(300, 'x'), kBalloonTitleFieldSize, no_dbcs).size(), 63u);
  EXPECT_EQ(CutToField(std::string("ab\0cd", 5), kTooltipFieldSize, no_dbcs), "ab");
}

TEST(TrayText, TwoByteCharactersAreNeverSplit) {
  // Lead bytes 0x81 to 0x9F, as in code page 932; the trail byte 0x81 must not count as one.
  auto lead = [](unsigned char c) { return c >= 0x81 && c <= 0x9F; };
  std::string text(1, 'a');
  for (int i = 0; i < 80; ++i) text += "\x81\x81";
  std::string cut = CutToField(text, kTooltipFieldSize, lead);
  EXPECT_EQ(cut.size(), 126u) << "1 + 61 pairs + the mark; the 62nd pair would split";
  EXPECT_EQ(cut.substr(cut.size() - 3), "...");
  EXPECT_EQ(cut.substr(0, 123), text.substr(0, 123));
}

TEST(TrayText, FileNamePartAfterTheLastBackslashOrColon) {
  EXPECT_EQ(FileNamePart("C:\\pics\\a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("C:a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("a.jpg"), "a.jpg");
  EXPECT_EQ(FileNamePart("C:\\pics\\"), "");
  // 0x95 0x5C is one two-byte character in code page 932, its trail byte looking like "\".
  auto lead = [](unsigned char c) { return c >= 0x81 && c <= 0x9F; };
  EXPECT_EQ(FileNamePart("C:\\d\\\x95\x5C.jpg", lead), "\x95\x5C.jpg");
  EXPECT_EQ(FileNamePart("C:\\d\\\x95\x5C.jpg"), ".jpg") << "without the code page's rules";
}

}  // namespace
}  // namespace vistrel
