// Runs in both builds: natively it checks our profile implementation, under Wine the real
// profile API, so the two are held to the same rules.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

std::vector<std::string> NonBlankLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST(Profile, MissingFileSectionOrKeyGivesTheDefault) {
  std::string dir = test::FreshDir("profile_missing");
  std::string ini = dir + "none.ini";
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "Interval", 5), 5);
  EXPECT_EQ(ProfileReadString(ini, "Settings", "ViewerPath", "vistrel.exe"), "vistrel.exe");
  EXPECT_FALSE(FileExists(ini)) << "reading must not create the file";

  test::WriteBytes(ini, "[Other]\r\nInterval=9\r\n[Settings]\r\nWidth=3\r\n");
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "Interval", 5), 5);
  EXPECT_EQ(ProfileReadInt(ini, "Missing", "Width", -4), -4);
  EXPECT_EQ(ProfileReadString(ini, "Settings", "Height", "dflt"), "dflt");
}

TEST(Profile, NamesIgnoreCaseAndBlanksAroundValuesAreDropped) {
  std::string ini = test::FreshDir("profile_case") + "v.ini";
  test::WriteBytes(ini, "[settings]\r\n  interval  =  42  \r\nViewerPath=  C:\\a b\\v.exe  \r\n");
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "Interval", 5), 42);
  EXPECT_EQ(ProfileReadInt(ini, "SETTINGS", "INTERVAL", 5), 42);
  EXPECT_EQ(ProfileReadString(ini, "Settings", "viewerpath", ""), "C:\\a b\\v.exe");
}

TEST(Profile, IntegersAreTheLeadingDecimalNumber) {
  std::string ini = test::FreshDir("profile_int") + "v.ini";
  test::WriteBytes(ini, "[Settings]\r\nA=12abc\r\nB=abc\r\nC=-3\r\nD=\r\nE=007\r\nF=4 5\r\n");
  // D: an empty value gives the default.
  const std::pair<const char*, int> values[] = {{"A", 12}, {"B", 0}, {"C", -3},
                                                {"D", 99}, {"E", 7}, {"F", 4}};
  for (const auto& [key, want] : values)
    EXPECT_EQ(ProfileReadInt(ini, "Settings", key, 99), want) << key;
}

TEST(Profile, TextArrivesThroughA2048ByteBuffer) {
  std::string ini = test::FreshDir("profile_long") + "v.ini";
  std::string long_value(3000, 'x');
  long_value[2046] = 'y';
  test::WriteBytes(ini, "[Settings]\r\nViewerPath=" + long_value + "\r\n");
  std::string read = ProfileReadString(ini, "Settings", "ViewerPath", "");
  ASSERT_EQ(read.size(), kProfileTextLimit);
  EXPECT_EQ(read.back(), 'y');
}

TEST(Profile, WriteCreatesFileSectionAndKey) {
  std::string ini = test::FreshDir("profile_create") + "v.ini";
  ASSERT_TRUE(ProfileWriteString(ini, "Settings", "Interval", "45"));
  EXPECT_TRUE(FileExists(ini));
  EXPECT_EQ(ProfileReadString(ini, "Settings", "Interval", ""), "45");
  EXPECT_EQ(NonBlankLines(test::ReadBytes(ini)),
            (std::vector<std::string>{"[Settings]", "Interval=45"}));
}

TEST(Profile, WriteKeepsOtherKeysSectionsAndOrder) {
  std::string ini = test::FreshDir("profile_keep") + "v.ini";
  test::WriteBytes(ini, "[Other]\r\nX=1\r\n[Settings]\r\nLeft=10\r\nTop=20\r\nWidth=30\r\n");
  ASSERT_TRUE(ProfileWriteString(ini, "Settings", "top", "21"));
  ASSERT_TRUE(ProfileWriteString(ini, "Settings", "Height", "40"));
  ASSERT_TRUE(ProfileWriteString(ini, "Third", "Y", "2"));
  EXPECT_EQ(ProfileReadInt(ini, "Other", "X", 0), 1);
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "Top", 0), 21);
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "Height", 0), 40);
  EXPECT_EQ(ProfileReadInt(ini, "Third", "Y", 0), 2);

  std::vector<std::string> lines = NonBlankLines(test::ReadBytes(ini));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "[Other]");
  EXPECT_EQ(lines[1], "X=1");
  EXPECT_EQ(lines[2], "[Settings]");
  EXPECT_EQ(lines[3], "Left=10");
  EXPECT_EQ(lines[4].substr(0, 4), "Top=") << "an existing key stays in its place";
  EXPECT_EQ(lines[5], "Width=30");
  EXPECT_EQ(lines[6], "Height=40") << "a new key goes to the end of its section";
  EXPECT_EQ(lines[7], "[Third]");
  EXPECT_EQ(lines[8], "Y=2");
}

TEST(Profile, RewritingAValueManyTimesKeepsOneKey) {
  std::string ini = test::FreshDir("profile_rewrite") + "v.ini";
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(ProfileWriteString(ini, "Settings", "LastIndex", std::to_string(i)));
  EXPECT_EQ(ProfileReadInt(ini, "Settings", "LastIndex", -1), 19);
  EXPECT_EQ(NonBlankLines(test::ReadBytes(ini)).size(), 2u);
}

}  // namespace
}  // namespace vistrel
