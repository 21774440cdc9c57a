// The toolkit's window object: its handle, message hooks, styles and sizes, close and destroy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/window_test_support.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

TEST(ToolkitWindow, ObjectIsBoundToItsHandleAndHooksSeeMessagesInOrder) {
  TopLevelWindow window(test::WindowArgs());
  ASSERT_TRUE(window.HasHandle());
  EXPECT_EQ(GetWindowLongPtrA(window.Handle(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));

  std::vector<std::string> seen;
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == test::kProbeMessage) seen.push_back("first " + std::to_string(m.wparam));
    return false;
  });
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message != test::kProbeMessage) return false;
    seen.push_back("second");
    if (m.wparam != 2) return false;
    m.result = 42;
    return true;
  });
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == test::kProbeMessage) seen.push_back("third");
    return false;
  });
  EXPECT_EQ(SendMessageA(window.Handle(), test::kProbeMessage, 1, 0), 0)
      << "unhandled: default processing";
  EXPECT_EQ(SendMessageA(window.Handle(), test::kProbeMessage, 2, 0), 42);
  EXPECT_EQ(seen, (std::vector<std::string>{"first 1", "second", "third", "first 2", "second"}));

  // The default processing really runs when every hook leaves a message alone.
  SendMessageA(window.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  EXPECT_EQ(window.Caption(), "renamed");
}

TEST(ToolkitWindow, HooksMayRemoveAndAddHooksWhileTheyRun) {
  TopLevelWindow window(test::WindowArgs());
  int a_calls = 0, b_calls = 0, c_calls = 0;
  HookId a = 0, b = 0;
  a = window.AddMessageHook([&](WindowMessage& m) {
    if (m.message != test::kProbeMessage) return false;
    ++a_calls;
    window.RemoveMessageHook(b);
    window.RemoveMessageHook(a);  // itself: it stays alive until it returns
    window.AddMessageHook([&](WindowMessage& inner) {
      if (inner.message == test::kProbeMessage) ++c_calls;
      return false;
    });
    return false;
  });
  b = window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == test::kProbeMessage) ++b_calls;
    return false;
  });
  SendMessageA(window.Handle(), test::kProbeMessage, 0, 0);
  SendMessageA(window.Handle(), test::kProbeMessage, 0, 0);
  EXPECT_EQ(a_calls, 1);
  EXPECT_EQ(b_calls, 0) << "removed before its turn";
  EXPECT_EQ(c_calls, 2) << "added during the first dispatch, seen from then on";
}

TEST(ToolkitWindow, CaptionStylesPositionAndClientSize) {
  TopLevelWindowArgs args = test::WindowArgs("Vistrel Test Window");
  args.ex_style = WS_EX_TOOLWINDOW;
  args.left = 190;
  args.top = 101;
  args.client_width = 254;
  args.client_height = 99;
  TopLevelWindow window(args);
  EXPECT_EQ(window.Caption(), "Vistrel Test Window");
  EXPECT_FALSE(window.IsVisible());
  EXPECT_TRUE(GetWindowLongA(window.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT client;
  GetClientRect(window.Handle(), &client);
  EXPECT_EQ(client.right - client.left, 254);
  EXPECT_EQ(client.bottom - client.top, 99);
  RECT bounds = window.Bounds();
  EXPECT_EQ(bounds.left, 190);
  EXPECT_EQ(bounds.top, 101);
  EXPECT_EQ(FindWindowA(nullptr, "Vistrel Test Window"), window.Handle());

  window.MoveTo(-300, 101);
  RECT moved = window.Bounds();
  EXPECT_EQ(moved.left, -300);
  EXPECT_EQ(moved.right - moved.left, bounds.right - bounds.left) << "size unchanged";
  window.Show();
  EXPECT_TRUE(window.IsVisible());
  window.Hide();
  EXPECT_FALSE(window.IsVisible());
}

TEST(ToolkitWindow, CloseEventMayRefuseAndDestroyRunsWhileTheHandleIsValid) {
  TopLevelWindow window(test::WindowArgs());
  HWND handle = window.Handle();
  int asked = 0;
  bool accept = false;
  bool handle_valid_at_destroy = false;
  window.OnClose = [&] {
    ++asked;
    return accept;
  };
  window.OnDestroy = [&] { handle_valid_at_destroy = IsWindow(handle) != FALSE; };
  SendMessageA(handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(IsWindow(handle));
  accept = true;
  SendMessageA(handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_TRUE(handle_valid_at_destroy);
  EXPECT_FALSE(window.HasHandle()) << "unbound at WM_NCDESTROY";
  EXPECT_FALSE(test::TakeQuitMessage()) << "not the main window: no quit";
}

}  // namespace
}  // namespace vistrel
