// The agent's settings, read from and written to a real settings file.
#include <gtest/gtest.h>

#include <string>

#include "agent/logic/agent_settings.h"
#include "agent/logic/rotation.h"
#include "common/settings.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

class AgentSettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::FreshDir(std::string("agent_settings_") +
                          testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  Settings Ini(const std::string& text) {
    test::WriteBytes(dir_ + "vistrel.ini", text);
    return Settings(dir_ + "vistrel.ini");
  }
  std::string dir_;
};

TEST_F(AgentSettingsTest, DefaultsWithoutAFile) {
  RotationState state;
  state.Interval = 9;
  state.ElapsedSeconds = 77;
  state.LastIndex = 4;
  state.ShowBaloonOnChange = state.RememberLast = state.DisableOnScreenSaver = false;
  state.RandomWallpaper = true;
  state.ViewerPath = "x";
  bool paused = LoadSettings(Settings(dir_ + "none.ini"), state);
  EXPECT_TRUE(paused);
  EXPECT_EQ(state.Interval, 5);
  EXPECT_EQ(state.ElapsedSeconds, 0);
  EXPECT_EQ(state.LastIndex, 1);
  EXPECT_TRUE(state.ShowBaloonOnChange);
  EXPECT_TRUE(state.RememberLast) << "the agent's default differs from the window's";
  EXPECT_TRUE(state.DisableOnScreenSaver);
  EXPECT_FALSE(state.RandomWallpaper);
  EXPECT_EQ(state.ViewerPath, "vistrel.exe");
  EXPECT_FALSE(FileExists(dir_ + "none.ini")) << "reading creates nothing";
}

TEST_F(AgentSettingsTest, StoredValuesAndIntervalsBelowOne) {
  RotationState state;
  bool paused = LoadSettings(
      Ini("[Settings]\r\nInterval=15\r\nShowBaloonOnChange=0\r\nRememberLast=0\r\nLastIndex=7\r\n"
          "ViewerPath=D:\\tools\\v.exe\r\nRandomWallpaper=2\r\nDisableOnScreenSaver=0\r\nPaused="
          "0\r\n"),
      state);
  EXPECT_FALSE(paused);
  EXPECT_EQ(state.Interval, 15);
  EXPECT_FALSE(state.ShowBaloonOnChange);
  EXPECT_FALSE(state.RememberLast);
  EXPECT_EQ(state.LastIndex, 7);
  EXPECT_EQ(state.ViewerPath, "D:\\tools\\v.exe");
  EXPECT_TRUE(state.RandomWallpaper) << "any non-zero number is true";
  EXPECT_FALSE(state.DisableOnScreenSaver);
  for (const char* interval : {"0", "-3", "abc"}) {
    LoadSettings(Ini(std::string("[Settings]\r\nInterval=") + interval + "\r\n"), state);
    EXPECT_EQ(state.Interval, 5) << interval;
  }
}

TEST_F(AgentSettingsTest, ReloadTakesLastIndexOnlyWhenAskedAndKeepsStartUpSettings) {
  RotationState state;
  LoadSettings(Settings(dir_ + "none.ini"), state);
  state.ElapsedSeconds = 100;
  state.LastIndex = 3;
  Settings ini =
      Ini("[Settings]\r\nInterval=20\r\nLastIndex=9\r\nRandomWallpaper=1\r\n"
          "DisableOnScreenSaver=0\r\nRememberLast=0\r\nViewerPath=v2.exe\r\n"
          "MonitorMode=1\r\nPortraitOnPortrait=0\r\n");
  EXPECT_EQ(state.monitor_mode, MonitorMode::kOnePicture);
  ReloadSettings(ini, state, false);
  EXPECT_EQ(state.monitor_mode, MonitorMode::kEachMonitor);
  EXPECT_FALSE(state.portrait_on_portrait);
  EXPECT_EQ(state.Interval, 20);
  EXPECT_EQ(state.ElapsedSeconds, 0) << "the countdown restarts";
  EXPECT_EQ(state.LastIndex, 3);
  EXPECT_TRUE(state.RandomWallpaper);
  EXPECT_FALSE(state.RememberLast);
  EXPECT_EQ(state.ViewerPath, "v2.exe");
  EXPECT_TRUE(state.DisableOnScreenSaver) << "read at start-up only";
  ReloadSettings(ini, state, true);
  EXPECT_EQ(state.LastIndex, 9);
}

TEST_F(AgentSettingsTest, SaveOnCloseWritesLastIndexAndPaused) {
  Settings ini = Ini("[Settings]\r\nInterval=abc\r\n");
  RotationState state;
  state.LastIndex = 6;
  state.RememberLast = true;
  SaveOnClose(ini, state, true);
  EXPECT_EQ(ini.ReadText(keys::kLastIndex, ""), "6");
  EXPECT_EQ(ini.ReadText(keys::kPaused, ""), "1");
  EXPECT_EQ(ini.ReadText(keys::kInterval, ""), "abc") << "other keys stay";
  state.RememberLast = false;
  SaveOnClose(ini, state, false);
  EXPECT_EQ(ini.ReadText(keys::kLastIndex, ""), "1");
  EXPECT_EQ(ini.ReadText(keys::kPaused, ""), "0");
  RotationState next;
  EXPECT_FALSE(LoadSettings(ini, next));
}

TEST(AgentListPath, ArgumentOrTheListBesideTheProgram) {
  EXPECT_EQ(AgentListPath("D:\\lists\\mine.txt"), "D:\\lists\\mine.txt");
  EXPECT_EQ(AgentListPath(""), ProgramDirectory() + "list.txt");
}

}  // namespace
}  // namespace vistrel
