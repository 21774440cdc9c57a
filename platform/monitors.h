// The monitors of the desktop, as the wallpaper must cover them.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel {

// A monitor's rectangle on the virtual screen, in physical pixels; the primary one starts at 0, 0
// on Windows, but nothing relies on that.
struct MonitorRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool primary = false;

  bool IsPortrait() const { return height > width; }
};

// Every monitor of the desktop in physical pixels, whatever the calling process's DPI awareness;
// none when the system tells nothing. Windows only.
std::vector<MonitorRect> DisplayMonitors();

}  // namespace vistrel
