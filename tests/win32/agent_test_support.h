// Helpers for the in-process window tests of the agent and the toolkit.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace vistrel::test {

// Runs this thread's messages for the given time (the quit message is taken and dropped).
inline void PumpMessages(DWORD milliseconds) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

// Runs messages until the condition holds; false after the timeout.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms = 10000) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeout_ms) return false;
    PumpMessages(10);
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
  NOTIFYICONDATAA Data;
};

struct NotifyRecorder {
  std::vector<NotifyCall> calls;
  bool fail_modify = false;

  std::function<BOOL(DWORD, NOTIFYICONDATAA*)> Function() {
    return [this](DWORD message, NOTIFYICONDATAA* data) {
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
