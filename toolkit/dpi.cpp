#include "toolkit/dpi.h"

namespace vistrel {

namespace {

// From the Windows 8.1 and 10 headers, which _WIN32_WINNT 0x0501 hides.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kMdtEffectiveDpi = 0;

template <typename Fn>
Fn Lookup(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (!handle) return nullptr;
  // Through the generic function type, which converts to any other without a warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

// shcore.dll is not loaded by the programs otherwise; it is a system DLL from Windows 8.1 on, and
// only the system folder's is taken (Windows 7 has none, so one planted beside the program must
// not be found by a plain search).
GetDpiForMonitorFn MonitorDpiFunction() {
  static GetDpiForMonitorFn function = [] {
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE shcore = LoadLibraryExA("shcore.dll", nullptr, kSearchSystem32);
    if (!shcore) return static_cast<GetDpiForMonitorFn>(nullptr);
    return reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(shcore, "GetDpiForMonitor")));
  }();
  return function;
}

bool Sane(int dpi) {
  return dpi >= 48 && dpi <= 960;
}

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kDesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return Sane(dpi) ? dpi : kDesignDpi;
}

int WindowDpi(HWND window) {
  static const auto get_dpi = Lookup<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
  if (get_dpi && window) {
    const int dpi = static_cast<int>(get_dpi(window));
    if (Sane(dpi)) return dpi;
  }
  // Windows 8.1: the DPI of the window's monitor.
  if (window && !get_dpi) {
    RECT bounds = {};
    if (GetWindowRect(GetAncestor(window, GA_ROOT), &bounds)) return DpiAt(bounds);
  }
  return SystemDpi();
}

int DpiAt(const RECT& screen_rect) {
  if (GetDpiForMonitorFn get_dpi = MonitorDpiFunction()) {
    UINT x = 0, y = 0;
    HMONITOR monitor = MonitorFromRect(&screen_rect, MONITOR_DEFAULTTONEAREST);
    if (monitor && SUCCEEDED(get_dpi(monitor, kMdtEffectiveDpi, &x, &y)) &&
        Sane(static_cast<int>(x)))
      return static_cast<int>(x);
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto for_dpi =
      Lookup<GetSystemMetricsForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
  if (for_dpi) return for_dpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

LOGFONTA MessageFontForDpi(int dpi) {
  static const auto for_dpi =
      Lookup<SystemParametersInfoForDpiFn>("user32.dll", "SystemParametersInfoForDpi");
  LOGFONTA font = {};
  // The W call, which is the only one that has a form for a DPI; the face name is ASCII.
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!for_dpi ||
      !for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
    // Before Windows 10 (and for Windows XP's shorter record) at the system DPI, scaled here.
    NONCLIENTMETRICSA plain = {};
    plain.cbSize = sizeof plain;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof plain, &plain, 0)) {
      plain.lfMessageFont.lfHeight = -MulDiv(8, dpi, 72);
      lstrcpynA(plain.lfMessageFont.lfFaceName, "Tahoma", LF_FACESIZE);
    } else {
      plain.lfMessageFont.lfHeight = MulDiv(plain.lfMessageFont.lfHeight, dpi, SystemDpi());
    }
    return plain.lfMessageFont;
  }
  const LOGFONTW& wide = metrics.lfMessageFont;
  font.lfHeight = wide.lfHeight;
  font.lfWidth = wide.lfWidth;
  font.lfWeight = wide.lfWeight;
  font.lfItalic = wide.lfItalic;
  font.lfCharSet = wide.lfCharSet;
  font.lfOutPrecision = wide.lfOutPrecision;
  font.lfClipPrecision = wide.lfClipPrecision;
  font.lfQuality = wide.lfQuality;
  font.lfPitchAndFamily = wide.lfPitchAndFamily;
  WideCharToMultiByte(CP_ACP, 0, wide.lfFaceName, -1, font.lfFaceName, LF_FACESIZE, nullptr,
                      nullptr);
  return font;
}

SIZE FrameSizeForClient(int client_width, int client_height, DWORD style, DWORD ex_style, int dpi) {
  static const auto for_dpi =
      Lookup<AdjustWindowRectExForDpiFn>("user32.dll", "AdjustWindowRectExForDpi");
  RECT frame = {0, 0, client_width, client_height};
  if (!for_dpi || !for_dpi(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

HICON LoadIconAtSize(HINSTANCE module, const char* name, int size) {
  // LoadImage picks the group's image nearest the size and scales it down or up; LoadIconMetric
  // does the same for the two standard sizes only, so this serves both.
  return static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

int SmallIconSize(int dpi) {
  return SystemMetricForDpi(SM_CXSMICON, dpi);
}

int LargeIconSize(int dpi) {
  return SystemMetricForDpi(SM_CXICON, dpi);
}

}  // namespace vistrel
