// vistrel_window_send.exe: drives a running configuration window from scripts (the demo) with
// real mouse and key presses. Not shipped.
//   wait                 wait up to a minute for the window (caption "[...list.txt]")
//   click ROW            a left click on the list's row ROW (0 is the top row)
//   rclick ROW           a right click there: the list's popup menu opens at the cursor
//   key NAME...          key presses: down, up, right, left, escape, return
//   close                the window's close box: it ends without saving the settings
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/tools/list_row_bounds.h"

namespace {

constexpr char kListEnd[] = "list.txt]";

BOOL CALLBACK FindConfiguration(HWND window, LPARAM param) {
  char caption[1024] = "";
  GetWindowTextA(window, caption, sizeof caption);
  std::size_t length = std::strlen(caption);
  std::size_t end_length = std::strlen(kListEnd);
  if (IsWindowVisible(window) && caption[0] == '[' && length > end_length &&
      std::strcmp(caption + length - end_length, kListEnd) == 0) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindWindowOfList(DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND found = nullptr;
    EnumWindows(FindConfiguration, reinterpret_cast<LPARAM>(&found));
    if (found || GetTickCount() - start > timeout_ms) return found;
    Sleep(200);
  }
}

BOOL CALLBACK FindListView(HWND child, LPARAM param) {
  char name[64] = "";
  GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, WC_LISTVIEWA) == 0) {
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
  }
  return TRUE;
}

void Mouse(DWORD down, DWORD up) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = down;
  inputs[1].mi.dwFlags = up;
  SendInput(2, inputs, sizeof(INPUT));
}

void Key(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

WORD KeyCode(const std::string& name) {
  if (name == "down") return VK_DOWN;
  if (name == "up") return VK_UP;
  if (name == "right") return VK_RIGHT;
  if (name == "left") return VK_LEFT;
  if (name == "escape") return VK_ESCAPE;
  if (name == "return") return VK_RETURN;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: vistrel_window_send wait|click ROW|rclick ROW|key NAME...|close\n");
    return 2;
  }
  const std::string command = argv[1];
  HWND window = FindWindowOfList(command == "wait" ? 60000 : 5000);
  if (!window) {
    std::fprintf(stderr, "vistrel_window_send: no configuration window\n");
    return 1;
  }
  if (command == "wait") return 0;
  if (command == "close") {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if ((command == "click" || command == "rclick") && argc == 3) {
    HWND list = nullptr;
    EnumChildWindows(window, FindListView, reinterpret_cast<LPARAM>(&list));
    RECT row = {};
    if (!list || !vistrel::test::ListRowBounds(list, std::atoi(argv[2]), row)) {
      std::fprintf(stderr, "vistrel_window_send: no such row\n");
      return 1;
    }
    POINT at = {row.left + 40, (row.top + row.bottom) / 2};
    ClientToScreen(list, &at);
    SetForegroundWindow(window);
    SetCursorPos(at.x, at.y);
    Sleep(200);
    if (command == "click")
      Mouse(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    else
      Mouse(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    return 0;
  }
  if (command == "key") {
    for (int i = 2; i < argc; ++i) {
      WORD key = KeyCode(argv[i]);
      if (!key) {
        std::fprintf(stderr, "vistrel_window_send: unknown key %s\n", argv[i]);
        return 2;
      }
      Key(key);
      Sleep(150);
    }
    return 0;
  }
  std::fprintf(stderr, "vistrel_window_send: unknown command\n");
  return 2;
}
