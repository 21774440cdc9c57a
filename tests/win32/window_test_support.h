// Helpers for the in-process window tests: message pumps, recorders of the shell and of icons,
// and the open popup menu.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "agent/win32/tray_icon.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"
#include "toolkit/top_level_window.h"

namespace vistrel::test {

// A message no window knows, for probing hooks.
constexpr UINT kProbeMessage = WM_APP + 7;

// A plain top-level window with the caption.
inline TopLevelWindowArgs WindowArgs(const std::string& caption = "toolkit test") {
  TopLevelWindowArgs args;
  args.caption = caption;
  return args;
}

// The programs are per-monitor DPI aware by their manifests; the test program has none, so a test
// that must see the screen's real DPI asks for the same on its thread (Windows 10 and Wine).
class PerMonitorAware {
 public:
  PerMonitorAware() {
    set_ = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set_) previous_ = set_(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
  }
  ~PerMonitorAware() {
    if (set_ && previous_) set_(previous_);
  }
  PerMonitorAware(const PerMonitorAware&) = delete;
  PerMonitorAware& operator=(const PerMonitorAware&) = delete;

 private:
  using SetContextFn = HANDLE(WINAPI*)(HANDLE);
  SetContextFn set_ = nullptr;
  HANDLE previous_ = nullptr;
};

// The DPI the end-to-end tests started this test program for (VISTREL_EXPECT_DPI), or 0.
inline int ExpectedDpi() {
  char value[8] = "";
  const DWORD n = GetEnvironmentVariableA("VISTREL_EXPECT_DPI", value, sizeof value);
  return n > 0 && n < sizeof value ? std::atoi(value) : 0;
}

// A 32-bit top-down bitmap's description (blue, green, red, alpha), for reading pixels back.
inline BITMAPINFO TopDownBgra(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  return info;
}

// An icon's colour image as top-down blue, green, red, alpha pixels, and its side; empty when
// the icon has none.
inline std::vector<unsigned char> IconPixels(HICON icon, int& size) {
  size = 0;
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAP bitmap = {};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  size = bitmap.bmWidth;
  BITMAPINFO bmi = TopDownBgra(size, size);
  std::vector<unsigned char> pixels(static_cast<std::size_t>(size) * size * 4);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, size, pixels.data(), &bmi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

// Runs this thread's messages for the given time, as the program's loop does (dialog keys
// included). A quit message is taken and dropped; quit_seen, when given, is set when one was.
inline void PumpMessages(DWORD milliseconds, bool* quit_seen = nullptr) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        if (quit_seen) *quit_seen = true;
        continue;
      }
      if (PreTranslateDialogKeys(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

// Runs messages until the condition holds; false after the timeout.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms = 10000,
                      bool* quit_seen = nullptr) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeout_ms) return false;
    PumpMessages(10, quit_seen);
  }
  return true;
}

// True when a WM_QUIT is waiting in this thread's queue; it is taken out.
inline bool TakeQuitMessage() {
  MSG message;
  bool seen = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      seen = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return seen;
}

// Records what would have gone to Shell_NotifyIconA.
struct NotifyCall {
  DWORD Message;
  NOTIFYICONDATAW Data;
};

struct NotifyRecorder {
  std::vector<NotifyCall> calls;
  bool fail_modify = false;

  std::function<BOOL(DWORD, NOTIFYICONDATAW*)> Function() {
    return [this](DWORD message, NOTIFYICONDATAW* data) {
      calls.push_back({message, *data});
      return (message == NIM_MODIFY && fail_modify) ? FALSE : TRUE;
    };
  }
  const NotifyCall& Last() const { return calls.back(); }
  int Count(DWORD message) const {
    int n = 0;
    for (const NotifyCall& call : calls) n += call.Message == message;
    return n;
  }
};

// The tray's icon copies made and destroyed, through the real calls: every copy must be destroyed
// once, and nothing else destroyed.
struct IconCounter {
  int created = 0;
  int destroyed = 0;
  int foreign_destroys = 0;  // icons destroyed that the tray never copied: shared ones, or twice
  std::set<HICON> live;

  TrayIconFunctions Functions() {
    TrayIconFunctions functions;
    functions.Copy = [this](HICON shared) {
      HICON own = CopyIcon(shared);
      if (own) {
        ++created;
        live.insert(own);
      }
      return own;
    };
    functions.Destroy = [this](HICON own) {
      ++destroyed;
      if (live.erase(own) == 0) ++foreign_destroys;
      DestroyIcon(own);
    };
    return functions;
  }
};

inline BOOL CALLBACK FindOwnMenuWindow(HWND window, LPARAM param) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (std::string(name) == "#32768" && IsWindowVisible(window) && pid == GetCurrentProcessId()) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

// The visible popup menu window of this process, if one is open.
inline HWND OpenMenuWindow() {
  HWND found = nullptr;
  EnumWindows(FindOwnMenuWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace vistrel::test
