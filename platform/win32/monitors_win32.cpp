#include <windows.h>

#include "platform/monitors.h"

namespace vistrel {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto& monitors = *reinterpret_cast<std::vector<MonitorRect>*>(data);
  MONITORINFOEXA info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  MonitorRect rect;
  rect.x = info.rcMonitor.left;
  rect.y = info.rcMonitor.top;
  rect.width = info.rcMonitor.right - info.rcMonitor.left;
  rect.height = info.rcMonitor.bottom - info.rcMonitor.top;
  rect.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  // The rectangle is scaled for a process that is not DPI aware; the display mode is not.
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  if (EnumDisplaySettingsA(info.szDevice, ENUM_CURRENT_SETTINGS, &mode) &&
      (mode.dmFields & DM_PELSWIDTH) && (mode.dmFields & DM_PELSHEIGHT) && mode.dmPelsWidth > 0 &&
      mode.dmPelsHeight > 0) {
    rect.width = static_cast<std::int32_t>(mode.dmPelsWidth);
    rect.height = static_cast<std::int32_t>(mode.dmPelsHeight);
    if (mode.dmFields & DM_POSITION) {
      rect.x = mode.dmPosition.x;
      rect.y = mode.dmPosition.y;
    }
  }
  monitors.push_back(rect);
  return TRUE;
}

}  // namespace

std::vector<MonitorRect> DisplayMonitors() {
  std::vector<MonitorRect> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

}  // namespace vistrel
