#include "app/win32/desktop_win32.h"

#include <windows.h>

namespace vistrel {

namespace {
// KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY: the access the desktop key is opened with.
constexpr REGSAM kDesktopKeyAccess = 0x2001F;
}  // namespace

void Win32Desktop::SetBusyCursor(bool busy) {
  SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool Win32Desktop::WriteDesktopValue(const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, kDesktopKeyAccess, &key) != ERROR_SUCCESS)
    return false;
  // The stored size counts the terminating zero.
  LONG result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool Win32Desktop::SetDesktopWallpaper(const std::string& bmp_path) {
  return SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(bmp_path.c_str()),
                               SPIF_UPDATEINIFILE) != 0;
}

void Win32Desktop::ShowErrorBox(const std::string& caption, const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
}

}  // namespace vistrel
