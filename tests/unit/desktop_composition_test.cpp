#include "imaging/desktop_composition.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {
namespace {

// A picture whose every pixel tells where it came from: blue the column, green the row, red the
// picture.
TRasterBitmap Pattern(int width, int height, std::uint8_t id, TRasterFormat format) {
  TRasterBitmap bitmap = TRasterBitmap::CreateDibBitmap(width, height, format);
  const int bytes = format == TRasterFormat::rf24Bit ? 3 : 4;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * bytes] = static_cast<std::uint8_t>(x * 7 + 1);
      row[x * bytes + 1] = static_cast<std::uint8_t>(y * 5 + 1);
      row[x * bytes + 2] = id;
    }
  }
  return bitmap;
}

std::uint32_t Pixel(TRasterBitmap& bitmap, std::int64_t x, std::int64_t y) {
  const std::uint8_t* p = bitmap.ScanLine(static_cast<std::int32_t>(y)) + x * 3;
  return p[0] | (p[1] << 8) | (p[2] << 16);
}

// What a monitor should show at (x, y) of the virtual screen for a picture of w x h laid out over
// area: the colour Pattern gave that picture pixel, or black where the picture does not reach.
std::uint32_t Expected(const MonitorRect& area, int w, int h, std::uint8_t id, bool tile,
                       std::int64_t x, std::int64_t y) {
  std::int64_t px = x - area.x, py = y - area.y;
  if (tile) {
    px %= w;
    py %= h;
  } else {
    px -= (area.width - w) / 2;
    py -= (area.height - h) / 2;
    if (px < 0 || py < 0 || px >= w || py >= h) return 0;
  }
  return static_cast<std::uint8_t>(px * 7 + 1) | (static_cast<std::uint8_t>(py * 5 + 1) << 8) |
         (id << 16);
}

const MonitorRect* MonitorAt(const std::vector<MonitorRect>& monitors, std::int64_t x,
                             std::int64_t y) {
  for (const MonitorRect& m : monitors)
    if (x >= m.x && y >= m.y && x < m.x + m.width && y < m.y + m.height) return &m;
  return nullptr;
}

// Checks what every pixel of the virtual screen shows once the system has laid the bitmap out:
// Span puts its corner at the virtual screen's corner; Windows 7 tiles it from the primary
// monitor's corner. shown(monitor, x, y) is what that monitor must show; nothing may show where
// no monitor is, so the uncovered parts must be black.
template <class Shown>
void CheckDesktop(const std::vector<MonitorRect>& monitors, TRasterBitmap& bitmap, DesktopWrap wrap,
                  Shown shown) {
  const MonitorRect bounds = BoundingRect(monitors);
  ASSERT_EQ(bitmap.Width(), bounds.width);
  ASSERT_EQ(bitmap.Height(), bounds.height);
  MonitorRect primary;
  for (const MonitorRect& m : monitors)
    if (m.primary) primary = m;
  int wrong = 0;
  for (std::int64_t y = bounds.y; y < bounds.y + bounds.height; ++y) {
    for (std::int64_t x = bounds.x; x < bounds.x + bounds.width; ++x) {
      std::int64_t u = x - bounds.x, v = y - bounds.y;
      if (wrap == DesktopWrap::kTileFromPrimary) {
        u = ((x - primary.x) % bounds.width + bounds.width) % bounds.width;
        v = ((y - primary.y) % bounds.height + bounds.height) % bounds.height;
      }
      const MonitorRect* m = MonitorAt(monitors, x, y);
      const std::uint32_t want = m ? shown(*m, x, y) : 0;
      if (Pixel(bitmap, u, v) != want && ++wrong <= 3)
        ADD_FAILURE() << "at " << x << "," << y << " got " << std::hex << Pixel(bitmap, u, v)
                      << " want " << want;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(DesktopComposition, APictureOnEachMonitorInEveryLayout) {
  const struct {
    const char* name;
    std::vector<MonitorRect> monitors;
  } layouts[] = {
      {"left of the primary", {{0, 0, 64, 36, true}, {-48, 10, 48, 30, false}}},
      {"above the primary", {{0, 0, 64, 36, true}, {8, -40, 40, 40, false}}},
      {"portrait beside landscape", {{-27, -12, 27, 48, false}, {0, 0, 64, 36, true}}},
      {"three sizes", {{0, 0, 64, 36, true}, {64, 0, 32, 18, false}, {-40, 20, 40, 50, false}}},
  };
  for (const auto& layout : layouts) {
    for (DesktopWrap wrap : {DesktopWrap::kSpan, DesktopWrap::kTileFromPrimary}) {
      SCOPED_TRACE(std::string(layout.name) + (wrap == DesktopWrap::kSpan ? " span" : " tile"));
      const std::vector<MonitorRect> ordered = DealingOrder(layout.monitors);
      DesktopCanvas canvas(layout.monitors);
      for (std::size_t i = 0; i < ordered.size(); ++i) {
        const MonitorRect& m = ordered[i];
        TRasterBitmap picture = Pattern(m.width, m.height, static_cast<std::uint8_t>(0x10 + i),
                                        i % 2 ? TRasterFormat::rf32Bit : TRasterFormat::rf24Bit);
        canvas.Place(m, m, picture, '3');
      }
      TRasterBitmap desktop = canvas.Finish(wrap);
      CheckDesktop(layout.monitors, desktop, wrap,
                   [&ordered](const MonitorRect& m, std::int64_t x, std::int64_t y) {
                     std::size_t i = 0;
                     while (ordered[i].x != m.x || ordered[i].y != m.y) ++i;
                     return Expected(m, m.width, m.height, static_cast<std::uint8_t>(0x10 + i),
                                     false, x, y);
                   });
    }
  }
}

TEST(DesktopComposition, OnePictureAcrossAllMonitorsInEveryStyle) {
  // A landscape primary with a smaller portrait monitor to its left, lower down: the bounding
  // rectangle has two uncovered corners.
  const std::vector<MonitorRect> monitors = {{0, 0, 60, 34, true}, {-20, 10, 20, 36, false}};
  const MonitorRect bounds = BoundingRect(monitors);
  ASSERT_EQ(bounds.width, 80);
  ASSERT_EQ(bounds.height, 46);
  const struct {
    char style;
    int width, height;  // the picture as rendered for the bounding rectangle
  } cases[] = {
      {'3', 80, 46},   // Stretch: exactly the rectangle
      {'5', 80, 46},   // Fill: covered and cropped to it
      {'4', 52, 46},   // Fit: a portrait picture within it
      {'1', 100, 20},  // Center: its own size, wider and lower than the rectangle
      {'2', 24, 14},   // Tile
  };
  for (const auto& c : cases) {
    for (DesktopWrap wrap : {DesktopWrap::kSpan, DesktopWrap::kTileFromPrimary}) {
      SCOPED_TRACE(std::string("style ") + c.style);
      DesktopCanvas canvas(monitors);
      TRasterBitmap picture = Pattern(c.width, c.height, 0x42, TRasterFormat::rf24Bit);
      for (const MonitorRect& m : monitors) canvas.Place(bounds, m, picture, c.style);
      TRasterBitmap desktop = canvas.Finish(wrap);
      CheckDesktop(monitors, desktop, wrap,
                   [&](const MonitorRect&, std::int64_t x, std::int64_t y) {
                     return Expected(bounds, c.width, c.height, 0x42, c.style == '2', x, y);
                   });
    }
  }
}

TEST(DesktopComposition, DealingOrderAndPortraitPictures) {
  const MonitorRect landscape_a{0, 0, 1920, 1080, true}, portrait{-1080, -400, 1080, 1920, false},
      landscape_b{1920, 0, 1280, 1024, false};
  const std::vector<MonitorRect> ordered =
      DealingOrder({landscape_a, landscape_b, portrait, landscape_a, {5, 5, 0, 10, false}});
  ASSERT_EQ(ordered.size(), 3u) << "the mirror and the empty monitor are left out";
  EXPECT_EQ(ordered[0].x, -1080);
  EXPECT_EQ(ordered[1].x, 0);
  EXPECT_EQ(ordered[2].x, 1920);

  const PictureSize wide{4000, 3000}, tall{3000, 4000}, unknown{0, 0};
  const struct {
    const char* name;
    std::vector<PictureSize> pictures;
    bool portrait_rule;
    std::vector<std::size_t> expected;
  } cases[] = {
      {"rule off: dealt in order", {wide, wide, tall}, false, {0, 1, 2}},
      {"the portrait picture moves to the portrait monitor", {wide, wide, tall}, true, {2, 0, 1}},
      {"already in place", {tall, wide, wide}, true, {0, 1, 2}},
      {"two portrait pictures, one portrait monitor", {wide, tall, tall}, true, {1, 0, 2}},
      {"no portrait picture", {wide, unknown, wide}, true, {0, 1, 2}},
      {"fewer pictures than monitors", {wide, tall}, true, {1, 0, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AssignPictures(ordered, c.pictures, c.portrait_rule), c.expected) << c.name;
}

}  // namespace
}  // namespace vistrel
