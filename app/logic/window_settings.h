// The configuration window's settings: what it loads at start and writes on OK.
#pragma once

#include <string>
#include <vector>

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
  MonitorMode monitor_mode = MonitorModeFromStored(defaults::kMonitorMode);
  bool portrait_on_portrait = defaults::kPortraitOnPortrait;
};

// (screen - window) / 2 rounded to the nearest integer, halves to even.
int CentredOrigin(int screen_size, int window_size);

// The DPI of the sizes in the file. "Width", "Height" and the column widths are pixels at 96 DPI,
// as the window is designed, so that a window keeps its look from one monitor or scaling to
// another; the window scales them to its DPI. "Left" and "Top" are screen pixels as they are.
constexpr int kStoredSizeDpi = 96;

// value * to / from, rounded to the nearest, kept within int.
int ScaleSize(int value, int to, int from);

// Reads every key the window shows, the sizes scaled to the DPI; the position defaults centre the
// window on a screen of the given size (pixels) with the size just read.
WindowSettings LoadWindowSettings(const Settings& settings, int screen_width, int screen_height,
                                  int dpi = kStoredSizeDpi);

// Writes the keys one by one in the order the agent and older files expect, then "LastIndex"
// when last_index is not negative; the sizes are taken as pixels at the DPI. False when any write
// failed (the rest are still tried).
bool SaveWindowSettings(const Settings& settings, const WindowSettings& values, int last_index,
                        int dpi = kStoredSizeDpi);

// Only the low 8 bits are the opacity; 255 there is fully opaque.
inline bool IsOpaque(int opacity) {
  return (opacity & 0xFF) == 255;
}

// The least alpha a hand-edited "Opacity" gives: a quarter. Lower, the window is hard to find on
// a busy desktop, and at 0 it is invisible and clicks pass through it, with no control in the
// window to undo the setting.
constexpr int kMinimumAlpha = 64;

// The alpha of the low 8 bits, never below kMinimumAlpha.
inline int OpacityAlpha(int opacity) {
  const int alpha = opacity & 0xFF;
  return alpha < kMinimumAlpha ? kMinimumAlpha : alpha;
}

// The smallest outer size that still shows the settings panel whole and a few rows of the list.
constexpr int kMinimumWidth = 420;
constexpr int kMinimumHeight = 290;

// Screen coordinates, right and bottom outside.
struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where a window stored at left, top with the given outer size opens: on the work area it
// overlaps most, or the nearest one when it overlaps none (a monitor that is gone), with its size
// between the minimum and that work area and the whole window inside it. Without work areas only
// the minimum applies.
ScreenRect PlaceOnWorkArea(int left, int top, int width, int height,
                           const std::vector<ScreenRect>& work_areas,
                           int minimum_width = kMinimumWidth, int minimum_height = kMinimumHeight);

// The longest interval the box takes: a year. The agent counts it in seconds.
constexpr long kMaximumIntervalMinutes = 525600;

// A positive whole number of minutes, digits only, no more than kMaximumIntervalMinutes.
bool IsValidInterval(const std::string& text);

}  // namespace vistrel
