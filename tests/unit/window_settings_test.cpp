#include <gtest/gtest.h>

#include "app/logic/window_settings.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

TEST(WindowSettings, CentringRoundsHalvesToEven) {
  EXPECT_EQ(CentredOrigin(1024, 462), 281);
  EXPECT_EQ(CentredOrigin(768, 400), 184);
  EXPECT_EQ(CentredOrigin(1025, 462), 282);  // 281.5
  EXPECT_EQ(CentredOrigin(1023, 462), 280);  // 280.5
  EXPECT_EQ(CentredOrigin(400, 403), -2);    // -1.5
  EXPECT_EQ(CentredOrigin(400, 401), 0);     // -0.5
}

TEST(WindowSettings, DefaultsWithoutAFile) {
  Settings settings(test::FreshDir("ws_defaults") + "vistrel.ini");
  WindowSettings v = LoadWindowSettings(settings, 1024, 768);
  EXPECT_EQ(v.interval, "5");
  EXPECT_FALSE(v.random);
  EXPECT_FALSE(v.remember_last);
  EXPECT_TRUE(v.show_baloon);
  EXPECT_TRUE(v.disable_on_screensaver);
  EXPECT_EQ(v.opacity, 255);
  EXPECT_EQ(v.width, 462);
  EXPECT_EQ(v.height, 400);
  EXPECT_EQ(v.left, 281);
  EXPECT_EQ(v.top, 184);
  EXPECT_EQ(v.column_width0, 400);
  EXPECT_EQ(v.column_width1, 50);
}

TEST(WindowSettings, CentringUsesTheStoredSizeAndIntervalStaysVerbatim) {
  Settings settings(test::FreshDir("ws_stored") + "vistrel.ini");
  test::WriteBytes(settings.Path(), "[Settings]\r\nWidth=600\r\nHeight=301\r\nInterval=abc\r\n");
  WindowSettings v = LoadWindowSettings(settings, 1024, 768);
  EXPECT_EQ(v.left, 212);
  EXPECT_EQ(v.top, 234);  // 233.5
  EXPECT_EQ(v.interval, "abc");
}

TEST(WindowSettings, SaveWritesEveryKeyInOrderThenLastIndex) {
  Settings settings(test::FreshDir("ws_save") + "vistrel.ini");
  WindowSettings v;
  v.left = -5, v.top = 7, v.width = 500, v.height = 410, v.column_width0 = 300;
  v.column_width1 = 60, v.opacity = 511, v.interval = "45", v.random = true;
  EXPECT_TRUE(SaveWindowSettings(settings, v, 2));
  EXPECT_EQ(test::ReadBytes(settings.Path()),
            "[Settings]\r\nLeft=-5\r\nTop=7\r\nWidth=500\r\nHeight=410\r\nColumnWidth0=300\r\n"
            "ColumnWidth1=60\r\nStartHidden=0\r\nOpacity=511\r\nInterval=45\r\n"
            "RememberLast=0\r\nShowBaloonOnChange=1\r\nRandomWallpaper=1\r\n"
            "DisableOnScreenSaver=1\r\nLastIndex=2\r\n");
  SaveWindowSettings(settings, v, -1);
  EXPECT_EQ(settings.ReadInteger(keys::kLastIndex, 0), 2) << "-1 leaves LastIndex alone";
  EXPECT_TRUE(IsOpaque(511));

  // A settings file that cannot be written is reported, not taken for saved.
  std::string folder = test::FreshDir("ws_unwritable_vistrel.ini");
  folder.pop_back();
  EXPECT_FALSE(SaveWindowSettings(Settings(folder), v, 2));
  EXPECT_FALSE(IsOpaque(128));
  EXPECT_EQ(OpacityAlpha(384), 128);
}

}  // namespace
}  // namespace vistrel
