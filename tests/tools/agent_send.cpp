// vistrel_agent_send.exe: drives a running agent from scripts (the demo), with the messages its
// tray icon, its menu and the shell would send. Not shipped.
//   wait            wait up to a minute for the agent's window
//   next            the menu's "Next"
//   menu X Y        the cursor to X,Y and a right press on the icon: the menu opens there
//   escape          close an open menu of the agent
//   exit            the menu's "Exit", and wait for the window to go
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "agent/win32/agent_ids.h"
#include "common/shared_names.h"

namespace {

HWND FindAgent(DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(nullptr, vistrel::kAgentTitle);
    if (window || GetTickCount() - start > timeout_ms) return window;
    Sleep(100);
  }
}

BOOL CALLBACK FindMenuOf(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->first && std::string(name) == "#32768" && IsWindowVisible(window)) {
    search->second = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vistrel_agent_send wait|next|menu X Y|escape|exit\n");
    return 2;
  }
  const std::string command = argv[1];
  HWND agent = FindAgent(command == "wait" ? 60000 : 5000);
  if (!agent) {
    std::fprintf(stderr, "vistrel_agent_send: no agent window\n");
    return 1;
  }
  const WPARAM icon = vistrel::kFirstTrayIconId;
  if (command == "next") {
    PostMessageA(agent, WM_COMMAND, vistrel::kCommandNext, 0);
  } else if (command == "menu" && argc == 4) {
    SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3]));
    PostMessageA(agent, vistrel::kTrayCallbackMessage, icon, WM_MOUSEMOVE);
    PostMessageA(agent, vistrel::kTrayCallbackMessage, icon, WM_RBUTTONDOWN);
  } else if (command == "escape") {
    DWORD pid = 0;
    GetWindowThreadProcessId(agent, &pid);
    std::pair<DWORD, HWND> search{pid, nullptr};
    EnumWindows(FindMenuOf, reinterpret_cast<LPARAM>(&search));
    if (search.second) PostMessageA(search.second, WM_KEYDOWN, VK_ESCAPE, 0);
  } else if (command == "exit") {
    PostMessageA(agent, WM_COMMAND, vistrel::kCommandExit, 0);
    for (int i = 0; i < 100 && IsWindow(agent); ++i) Sleep(100);
    return IsWindow(agent) ? 1 : 0;
  } else if (command != "wait") {
    std::fprintf(stderr, "vistrel_agent_send: unknown command %s\n", command.c_str());
    return 2;
  }
  return 0;
}
