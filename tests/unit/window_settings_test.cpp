#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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
  EXPECT_EQ(v.monitor_mode, MonitorMode::kOnePicture);
  EXPECT_TRUE(v.portrait_on_portrait);
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
  v.monitor_mode = MonitorMode::kSpan, v.portrait_on_portrait = false;
  EXPECT_TRUE(SaveWindowSettings(settings, v, 2));
  EXPECT_EQ(test::ReadBytes(settings.Path()),
            "[Settings]\r\nLeft=-5\r\nTop=7\r\nWidth=500\r\nHeight=410\r\nColumnWidth0=300\r\n"
            "ColumnWidth1=60\r\nStartHidden=0\r\nOpacity=511\r\nInterval=45\r\n"
            "RememberLast=0\r\nShowBaloonOnChange=1\r\nRandomWallpaper=1\r\n"
            "DisableOnScreenSaver=1\r\nMonitorMode=2\r\nPortraitOnPortrait=0\r\nLastIndex=2\r\n");
  EXPECT_EQ(LoadWindowSettings(settings, 1024, 768).monitor_mode, MonitorMode::kSpan);
  SaveWindowSettings(settings, v, -1);
  EXPECT_EQ(settings.ReadInteger(keys::kLastIndex, 0), 2) << "-1 leaves LastIndex alone";
  EXPECT_TRUE(IsOpaque(511));

  // A settings file that cannot be written is reported, not taken for saved.
  std::string folder = test::FreshDir("ws_unwritable_vistrel.ini");
  folder.pop_back();
  EXPECT_FALSE(SaveWindowSettings(Settings(folder), v, 2));
}

TEST(WindowSettings, SizesAreStoredAt96DpiAndScaledToTheWindowsDpi) {
  Settings settings(test::FreshDir("ws_dpi") + "vistrel.ini");
  // Defaults at 144 DPI: a 693 x 600 window centred on a 1920 x 1080 screen.
  WindowSettings v = LoadWindowSettings(settings, 1920, 1080, 144);
  EXPECT_EQ(v.width, 693);
  EXPECT_EQ(v.height, 600);
  EXPECT_EQ(v.left, 614);  // 613.5, to even
  EXPECT_EQ(v.top, 240);
  EXPECT_EQ(v.column_width0, 600);
  EXPECT_EQ(v.column_width1, 75);
  // Saved at 120 DPI and read back: the same size within a pixel (a design pixel is 1.25 of
  // them), the place as it was; saved again, it stays as stored, so OK after OK does not creep.
  for (int width : {461, 462, 463, 577}) {
    v.left = -1200, v.top = 30, v.width = width, v.height = 500;
    v.column_width0 = 301, v.column_width1 = 63;
    ASSERT_TRUE(SaveWindowSettings(settings, v, -1, 120));
    const int stored = settings.ReadInteger(keys::kWidth, 0);
    const WindowSettings same = LoadWindowSettings(settings, 1024, 768, 120);
    EXPECT_NEAR(same.width, width, 1);
    EXPECT_NEAR(same.column_width0, 301, 1);
    EXPECT_EQ(same.height, 500);
    EXPECT_EQ(same.left, -1200);
    EXPECT_EQ(same.top, 30);
    ASSERT_TRUE(SaveWindowSettings(settings, same, -1, 120));
    EXPECT_EQ(settings.ReadInteger(keys::kWidth, 0), stored) << width;
    EXPECT_EQ(settings.ReadInteger(keys::kHeight, 0), 400);
    EXPECT_EQ(LoadWindowSettings(settings, 1024, 768, 192).height, 800);
  }
  // A hostile size does not overflow when scaled.
  test::WriteBytes(settings.Path(), "[Settings]\r\nWidth=2000000000\r\nHeight=-2000000000\r\n");
  v = LoadWindowSettings(settings, 1024, 768, 192);
  EXPECT_EQ(v.width, INT32_MAX);
  EXPECT_EQ(v.height, INT32_MIN);
}

TEST(WindowSettings, OpacityKeepsTheLowEightBitsAboveAFloor) {
  struct Case {
    int stored, alpha;
    bool opaque;
  };
  for (const Case& c : {Case{128, 128, false}, Case{384, 128, false}, Case{511, 255, true},
                        Case{255, 255, true}, Case{0, kMinimumAlpha, false},
                        Case{256, kMinimumAlpha, false}, Case{512, kMinimumAlpha, false},
                        Case{63, kMinimumAlpha, false}, Case{64, 64, false}, Case{-1, 255, true}}) {
    EXPECT_EQ(OpacityAlpha(c.stored), c.alpha) << c.stored;
    EXPECT_EQ(IsOpaque(c.stored), c.opaque) << c.stored;
  }
}

TEST(WindowSettings, APlaceIsKeptOnAWorkArea) {
  // A 1024 by 768 monitor with a taskbar below, and one at its right.
  const std::vector<ScreenRect> areas = {{0, 0, 1024, 738}, {1024, 0, 2304, 1024}};
  struct Case {
    int left, top, width, height;
    ScreenRect placed;
    const char* what;
  };
  for (const Case& c : {
           Case{281, 184, 462, 400, {281, 184, 743, 584}, "on screen: as stored"},
           Case{1500, 100, 500, 400, {1500, 100, 2000, 500}, "on the second monitor"},
           Case{3000, 2000, 462, 400, {1842, 624, 2304, 1024}, "a monitor gone: the nearest"},
           Case{-5000, 300, 462, 400, {0, 300, 462, 700}, "gone to the left"},
           Case{700, 500, 462, 400, {562, 338, 1024, 738}, "mostly on the first"},
           Case{10, 10, 0, 0, {10, 10, 10 + kMinimumWidth, 10 + kMinimumHeight}, "size 0"},
           Case{0, 0, 2000000000, 2000000000, {1024, 0, 2304, 1024}, "huge: the work area"},
           Case{2147483000, -2147483000, 462, 400, {1842, 0, 2304, 400}, "at the int limits"},
       }) {
    const ScreenRect r = PlaceOnWorkArea(c.left, c.top, c.width, c.height, areas);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
              std::vector<int>({c.placed.left, c.placed.top, c.placed.right, c.placed.bottom}))
        << c.what;
  }
  // A work area smaller than the minimum: the window fits the area, not the minimum.
  const ScreenRect small = PlaceOnWorkArea(0, 0, 462, 400, {{0, 0, 320, 200}});
  EXPECT_EQ(small.right - small.left, 320);
  EXPECT_EQ(small.bottom - small.top, 200);
}

TEST(WindowSettings, AnIntervalIsAPositiveWholeNumberOfMinutes) {
  for (const char* good : {"1", "5", "45", "05", "1440", "525600"})
    EXPECT_TRUE(IsValidInterval(good)) << good;
  for (const char* bad : {"", "0", "00", "0.5", "abc", "-5", "5 ", " 5", "1e3", "525601",
                          "99999999999", "4294967301"})
    EXPECT_FALSE(IsValidInterval(bad)) << bad;
}

}  // namespace
}  // namespace vistrel
