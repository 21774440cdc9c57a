// The configuration window's settings: what it loads at start and writes on OK.
#pragma once

#include <string>

#include "common/settings.h"

namespace vistrel {

struct WindowSettings {
  int left = 0, top = 0;
  int width = defaults::kWidth, height = defaults::kHeight;
  int column_width0 = defaults::kColumnWidth0, column_width1 = defaults::kColumnWidth1;
  bool start_hidden = defaults::kStartHidden;
  int opacity = defaults::kOpacity;
  std::string interval = defaults::kWindowInterval;  // verbatim, as the box shows it
  bool remember_last = defaults::kWindowRememberLast;
  bool show_baloon = defaults::kShowBaloonOnChange;
  bool random = defaults::kRandomWallpaper;
  bool shuffle = false;  // stored as RandomWallpaper 2; random is then false
  bool disable_on_screensaver = defaults::kDisableOnScreenSaver;
};

// (screen - window) / 2 rounded to the nearest integer, halves to even.
int CentredOrigin(int screen_size, int window_size);

// Reads every key the window shows; the position defaults centre the window on a screen of the
// given size with the size just read.
WindowSettings LoadWindowSettings(const Settings& settings, int screen_width, int screen_height);

// Writes the keys one by one in the order the agent and older files expect, then "LastIndex"
// when last_index is not negative. False when any write failed (the rest are still tried).
bool SaveWindowSettings(const Settings& settings, const WindowSettings& values, int last_index);

// Only the low 8 bits are the opacity; 255 there is fully opaque.
inline int OpacityAlpha(int opacity) {
  return opacity & 0xFF;
}
inline bool IsOpaque(int opacity) {
  return OpacityAlpha(opacity) == 255;
}

}  // namespace vistrel
