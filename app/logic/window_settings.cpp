#include "app/logic/window_settings.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {

int CentredOrigin(int screen_size, int window_size) {
  long long twice = static_cast<long long>(screen_size) - window_size;  // 2 x the exact result
  long long half = twice / 2;
  if (twice % 2 == 0) return static_cast<int>(half);
  // Exactly between two integers: take the even one.
  long long lower = twice < 0 ? half - 1 : half;
  return static_cast<int>(lower % 2 == 0 ? lower : lower + 1);
}

int ScaleSize(int value, int to, int from) {
  if (from <= 0 || to == from) return value;
  const std::int64_t product = static_cast<std::int64_t>(value) * to;
  const std::int64_t half = from / 2;
  const std::int64_t scaled = product >= 0 ? (product + half) / from : (product - half) / from;
  return static_cast<int>(std::clamp<std::int64_t>(scaled, INT32_MIN, INT32_MAX));
}

WindowSettings LoadWindowSettings(const Settings& settings, int screen_width, int screen_height,
                                  int dpi) {
  WindowSettings v;
  v.start_hidden = settings.ReadBool(keys::kStartHidden, defaults::kStartHidden);
  const WallpaperOrder order = OrderFromStored(
      settings.ReadInteger(keys::kRandomWallpaper, defaults::kRandomWallpaper ? 1 : 0));
  v.random = order == WallpaperOrder::woRandom;
  v.shuffle = order == WallpaperOrder::woShuffle;
  v.interval = settings.ReadText(keys::kInterval, defaults::kWindowInterval);
  v.opacity = settings.ReadInteger(keys::kOpacity, defaults::kOpacity);
  v.width = ScaleSize(settings.ReadInteger(keys::kWidth, defaults::kWidth), dpi, kStoredSizeDpi);
  v.height = ScaleSize(settings.ReadInteger(keys::kHeight, defaults::kHeight), dpi, kStoredSizeDpi);
  v.left = settings.ReadInteger(keys::kLeft, CentredOrigin(screen_width, v.width));
  v.top = settings.ReadInteger(keys::kTop, CentredOrigin(screen_height, v.height));
  v.column_width0 = ScaleSize(settings.ReadInteger(keys::kColumnWidth0, defaults::kColumnWidth0),
                              dpi, kStoredSizeDpi);
  v.column_width1 = ScaleSize(settings.ReadInteger(keys::kColumnWidth1, defaults::kColumnWidth1),
                              dpi, kStoredSizeDpi);
  v.remember_last = settings.ReadBool(keys::kRememberLast, defaults::kWindowRememberLast);
  v.show_baloon = settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange);
  v.disable_on_screensaver =
      settings.ReadBool(keys::kDisableOnScreenSaver, defaults::kDisableOnScreenSaver);
  v.monitor_mode =
      MonitorModeFromStored(settings.ReadInteger(keys::kMonitorMode, defaults::kMonitorMode));
  v.portrait_on_portrait =
      settings.ReadBool(keys::kPortraitOnPortrait, defaults::kPortraitOnPortrait);
  return v;
}

bool SaveWindowSettings(const Settings& settings, const WindowSettings& v, int last_index,
                        int dpi) {
  auto stored = [dpi](int pixels) { return ScaleSize(pixels, kStoredSizeDpi, dpi); };
  bool ok = true;
  ok = settings.WriteInteger(keys::kLeft, v.left) && ok;
  ok = settings.WriteInteger(keys::kTop, v.top) && ok;
  ok = settings.WriteInteger(keys::kWidth, stored(v.width)) && ok;
  ok = settings.WriteInteger(keys::kHeight, stored(v.height)) && ok;
  ok = settings.WriteInteger(keys::kColumnWidth0, stored(v.column_width0)) && ok;
  ok = settings.WriteInteger(keys::kColumnWidth1, stored(v.column_width1)) && ok;
  ok = settings.WriteBool(keys::kStartHidden, v.start_hidden) && ok;
  ok = settings.WriteInteger(keys::kOpacity, v.opacity) && ok;
  ok = settings.WriteText(keys::kInterval, v.interval) && ok;
  ok = settings.WriteBool(keys::kRememberLast, v.remember_last) && ok;
  ok = settings.WriteBool(keys::kShowBaloonOnChange, v.show_baloon) && ok;
  const WallpaperOrder order = v.shuffle  ? WallpaperOrder::woShuffle
                               : v.random ? WallpaperOrder::woRandom
                                          : WallpaperOrder::woSequential;
  ok = settings.WriteInteger(keys::kRandomWallpaper, static_cast<int>(order)) && ok;
  ok = settings.WriteBool(keys::kDisableOnScreenSaver, v.disable_on_screensaver) && ok;
  ok = settings.WriteInteger(keys::kMonitorMode, static_cast<int>(v.monitor_mode)) && ok;
  ok = settings.WriteBool(keys::kPortraitOnPortrait, v.portrait_on_portrait) && ok;
  if (last_index >= 0) ok = settings.WriteInteger(keys::kLastIndex, last_index) && ok;
  return ok;
}

namespace {

using Wide = std::int64_t;  // coordinates plus sizes from a file overflow an int

Wide Overlap(Wide a_low, Wide a_high, Wide b_low, Wide b_high) {
  return std::max<Wide>(0, std::min(a_high, b_high) - std::max(a_low, b_low));
}

// How far apart two ranges are; 0 when they meet.
Wide Gap(Wide a_low, Wide a_high, Wide b_low, Wide b_high) {
  return std::max<Wide>({0, b_low - a_high, a_low - b_high});
}

Wide Fit(Wide size, Wide minimum, Wide room) {
  return std::min(std::max(size, minimum), room);
}

}  // namespace

ScreenRect PlaceOnWorkArea(int left, int top, int width, int height,
                           const std::vector<ScreenRect>& work_areas, int minimum_width,
                           int minimum_height) {
  const Wide w = std::max<Wide>(width, minimum_width), h = std::max<Wide>(height, minimum_height);
  const Wide right = Wide{left} + w, bottom = Wide{top} + h;
  const ScreenRect* best = nullptr;
  Wide best_overlap = -1, best_gap = 0;
  for (const ScreenRect& area : work_areas) {
    const Wide overlap =
        Overlap(left, right, area.left, area.right) * Overlap(top, bottom, area.top, area.bottom);
    const Wide dx = Gap(left, right, area.left, area.right);
    const Wide dy = Gap(top, bottom, area.top, area.bottom);
    const Wide gap = dx + dy;
    if (overlap > best_overlap || (overlap == 0 && best_overlap == 0 && gap < best_gap)) {
      best = &area;
      best_overlap = overlap;
      best_gap = gap;
    }
  }
  if (!best)
    return {left, top, static_cast<int>(std::min<Wide>(right, INT32_MAX)),
            static_cast<int>(std::min<Wide>(bottom, INT32_MAX))};
  const ScreenRect& area = *best;
  const Wide fitted_w = Fit(w, minimum_width, Wide{area.right} - area.left);
  const Wide fitted_h = Fit(h, minimum_height, Wide{area.bottom} - area.top);
  const Wide x = std::max<Wide>(area.left, std::min<Wide>(left, area.right - fitted_w));
  const Wide y = std::max<Wide>(area.top, std::min<Wide>(top, area.bottom - fitted_h));
  return {static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + fitted_w),
          static_cast<int>(y + fitted_h)};
}

bool IsValidInterval(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  long minutes = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    minutes = minutes * 10 + (c - '0');
  }
  return minutes >= 1 && minutes <= kMaximumIntervalMinutes;
}

}  // namespace vistrel
