#include <windows.h>

#include "platform/desktop.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

class Win32Desktop : public Desktop {
 public:
  bool SetWallpaper(const std::string& bmp_path) override {
    // The call takes a writable buffer, though it only reads it.
    std::wstring path = Widen(bmp_path);
    path.push_back(L'\0');
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, &path[0], SPIF_UPDATEINIFILE) != 0;
  }

  bool ScreenSaverRunning() override {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
  }

  int UserNotificationState() override {
    // Windows Vista on; looked up so that the programs still start where it is missing.
    using QueryFn = HRESULT(WINAPI*)(int*);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) return 0;
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHQueryUserNotificationState")));
    int state = 0;
    if (!query || query(&state) != S_OK) return 0;
    return state;
  }

  void ShowBusyCursor(bool busy) override {
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
  }

  bool PrimaryScreenSize(std::int32_t& width, std::int32_t& height) override {
    // The display mode is never scaled for a process that is not DPI aware, unlike
    // GetSystemMetrics, which is the fallback. It is the primary display's mode: without a
    // device name the call answers for the display the thread runs on.
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof device;
    const char* name = nullptr;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
      if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) {
        name = device.DeviceName;
        break;
      }
      device.cb = sizeof device;
    }
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsA(name, ENUM_CURRENT_SETTINGS, &mode) && mode.dmPelsWidth > 0 &&
        mode.dmPelsHeight > 0) {
      width = static_cast<std::int32_t>(mode.dmPelsWidth);
      height = static_cast<std::int32_t>(mode.dmPelsHeight);
      return true;
    }
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    return width > 0 && height > 0;
  }

  std::vector<MonitorRect> Monitors() override { return DisplayMonitors(); }

  bool HasSpanStyle() override {
    // GetVersionEx answers what the manifest lists; ntdll tells the running system.
    using VersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto get_version = ntdll ? reinterpret_cast<VersionFn>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                             : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!get_version || get_version(&version) != 0) return true;
    return version.dwMajorVersion > 6 ||
           (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
  }
};

}  // namespace

Desktop& SystemDesktop() {
  static Win32Desktop desktop;
  return desktop;
}

}  // namespace vistrel
