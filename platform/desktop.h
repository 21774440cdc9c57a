// The user's desktop as the programs change and watch it: the wallpaper, a running screen
// saver, what the shell says of the user, and the pointer while a picture is being applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/monitors.h"

namespace vistrel {

class Desktop {
 public:
  virtual ~Desktop() = default;

  // SPI_SETDESKWALLPAPER with SPIF_UPDATEINIFILE alone: stored in the user's profile, no
  // broadcast. An empty path removes the wallpaper. False when the system refuses.
  virtual bool SetWallpaper(const std::string& bmp_path) = 0;
  bool RemoveWallpaper() { return SetWallpaper(std::string()); }

  // Whether a screen saver runs now (SPI_GETSCREENSAVERRUNNING).
  virtual bool ScreenSaverRunning() = 0;

  // SHQueryUserNotificationState's answer, looked up at run time so that the programs still
  // start where it is missing; 0 where the system cannot tell.
  virtual int UserNotificationState() = 0;

  // The wait cursor while busy, the arrow again afterwards.
  virtual void ShowBusyCursor(bool busy) = 0;

  // The primary monitor's size in physical pixels, as its display mode has it, whether or not
  // the process is DPI aware (a process that is not is told a scaled size by most calls). False
  // when the system cannot tell.
  virtual bool PrimaryScreenSize(std::int32_t& width, std::int32_t& height) = 0;

  // Every monitor in physical pixels (DisplayMonitors); none when the system tells nothing.
  virtual std::vector<MonitorRect> Monitors() { return {}; }

  // Whether the Span wallpaper style exists (Windows 8 and later). Windows 7 has only Tile from
  // the primary monitor's corner for a picture of the whole desktop.
  virtual bool HasSpanStyle() { return true; }
};

// The real desktop; Windows only.
Desktop& SystemDesktop();

}  // namespace vistrel
