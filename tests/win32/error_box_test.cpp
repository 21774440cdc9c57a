// The top-level exception box, with the real box in this process and a second thread that reads
// and closes it as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>

#include "common/exception.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/application.h"
#include "toolkit/error_box.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

constexpr UINT kBreak = WM_APP + 11;

struct BoxSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
  reinterpret_cast<BoxSearch*>(param)->found = window;
  return FALSE;
}

HWND BoxOf(DWORD thread) {
  BoxSearch search;
  EnumThreadWindows(thread, FindBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(ToolkitErrorBox, TheBoxStaysUntilReadAfterTheMainWindowHasEnded) {
  const DWORD thread = GetCurrentThreadId();
  std::atomic<bool> still_open_later{false};
  std::string text;
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
      Sleep(50);
      box = BoxOf(thread);
    }
    if (!box) return;
    // A user takes a moment to read it.
    Sleep(1000);
    if (!IsWindow(box) || !IsWindowVisible(box)) return;
    still_open_later = true;
    char buffer[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
    text = buffer;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });

  const int result = RunProgram([] {
    TopLevelWindowArgs args;
    args.caption = "main";
    TopLevelWindow window(args);
    SetMainWindow(&window);
    window.AddMessageHook([](WindowMessage& message) -> bool {
      if (message.message == kBreak) throw std::bad_alloc();
      return false;
    });
    window.Post(kBreak);
    // The exception leaves the loop; the window then goes as the stack unwinds, and being the
    // main window it posts the quit message on its way.
    return RunMessageLoop();
  });
  user.join();
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(still_open_later) << "the box closed by itself";
  EXPECT_EQ(text.rfind("Exception EOutOfMemory in module ", 0), 0u) << text;
  EXPECT_FALSE(test::TakeQuitMessage()) << "no quit message left behind";
}

}  // namespace
}  // namespace vistrel
