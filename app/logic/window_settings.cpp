#include "app/logic/window_settings.h"

namespace vistrel {

int CentredOrigin(int screen_size, int window_size) {
  long long twice = static_cast<long long>(screen_size) - window_size;  // 2 x the exact result
  long long half = twice / 2;
  if (twice % 2 == 0) return static_cast<int>(half);
  // Exactly between two integers: take the even one.
  long long lower = twice < 0 ? half - 1 : half;
  return static_cast<int>(lower % 2 == 0 ? lower : lower + 1);
}

WindowSettings LoadWindowSettings(const Settings& settings, int screen_width, int screen_height) {
  WindowSettings v;
  v.start_hidden = settings.ReadBool(keys::kStartHidden, defaults::kStartHidden);
  const WallpaperOrder order = OrderFromStored(
      settings.ReadInteger(keys::kRandomWallpaper, defaults::kRandomWallpaper ? 1 : 0));
  v.random = order == WallpaperOrder::woRandom;
  v.shuffle = order == WallpaperOrder::woShuffle;
  v.interval = settings.ReadText(keys::kInterval, defaults::kWindowInterval);
  v.opacity = settings.ReadInteger(keys::kOpacity, defaults::kOpacity);
  v.width = settings.ReadInteger(keys::kWidth, defaults::kWidth);
  v.height = settings.ReadInteger(keys::kHeight, defaults::kHeight);
  v.left = settings.ReadInteger(keys::kLeft, CentredOrigin(screen_width, v.width));
  v.top = settings.ReadInteger(keys::kTop, CentredOrigin(screen_height, v.height));
  v.column_width0 = settings.ReadInteger(keys::kColumnWidth0, defaults::kColumnWidth0);
  v.column_width1 = settings.ReadInteger(keys::kColumnWidth1, defaults::kColumnWidth1);
  v.remember_last = settings.ReadBool(keys::kRememberLast, defaults::kWindowRememberLast);
  v.show_baloon = settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange);
  v.disable_on_screensaver =
      settings.ReadBool(keys::kDisableOnScreenSaver, defaults::kDisableOnScreenSaver);
  return v;
}

bool SaveWindowSettings(const Settings& settings, const WindowSettings& v, int last_index) {
  bool ok = true;
  ok = settings.WriteInteger(keys::kLeft, v.left) && ok;
  ok = settings.WriteInteger(keys::kTop, v.top) && ok;
  ok = settings.WriteInteger(keys::kWidth, v.width) && ok;
  ok = settings.WriteInteger(keys::kHeight, v.height) && ok;
  ok = settings.WriteInteger(keys::kColumnWidth0, v.column_width0) && ok;
  ok = settings.WriteInteger(keys::kColumnWidth1, v.column_width1) && ok;
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
  if (last_index >= 0) ok = settings.WriteInteger(keys::kLastIndex, last_index) && ok;
  return ok;
}

}  // namespace vistrel
