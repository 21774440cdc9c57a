// Pixels at the DPI a window is drawn at. The programs declare per-monitor awareness in their
// manifests; the calls that serve it came with Windows 8.1 and 10 and are looked up at run time,
// so on Windows 7 everything falls back to the system DPI.
#pragma once

#include <windows.h>

namespace vistrel {

// The DPI the windows are designed at: one design pixel is one pixel there.
constexpr int kDesignDpi = 96;

#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

// The DPI of the screen as the system reports it to this process (LOGPIXELSX).
int SystemDpi();
// The DPI the window is drawn at: its monitor's under per-monitor awareness, else the system's.
int WindowDpi(HWND window);
// The DPI of the monitor that holds most of the rectangle (screen coordinates).
int DpiAt(const RECT& screen_rect);

// Design pixels to pixels at the DPI and back, rounded to the nearest.
inline int ScaleToDpi(int design, int dpi) {
  return MulDiv(design, dpi, kDesignDpi);
}
inline int ScaleFromDpi(int pixels, int dpi) {
  return MulDiv(pixels, kDesignDpi, dpi);
}

// GetSystemMetrics at the DPI.
int SystemMetricForDpi(int index, int dpi);
// The system's message font (NONCLIENTMETRICS) at the DPI.
LOGFONTA MessageFontForDpi(int dpi);
// The outer size of a window whose client area has the size, at the DPI.
SIZE FrameSizeForClient(int client_width, int client_height, DWORD style, DWORD ex_style, int dpi);

// An icon resource of the module at the size, drawn from the group's nearest image (LoadImage);
// the caller destroys it. Null when there is no such resource.
HICON LoadIconAtSize(HINSTANCE module, const char* name, int size);
// The small-icon size (SM_CXSMICON) at the DPI, and the large one (SM_CXICON).
int SmallIconSize(int dpi);
int LargeIconSize(int dpi);

}  // namespace vistrel
