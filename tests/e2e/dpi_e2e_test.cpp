// The configuration window at the screen's DPI: the shipped program lays itself out at the DPI,
// every caption fits its control in the control's own font (read by the in-process check, run as
// a program of its own at that DPI), nothing overlaps, and the keyboard reaches every control in
// reading order; Enter and Escape act as OK and Cancel. The tray icon has the small-icon size of
// the DPI. The test run has the prefix at 96 DPI;
// tests/e2e/dpi_prefix.sh runs this test again in prefixes of their own at 144 and 192 DPI (Wine
// takes a monitor's DPI from LogPixels when its session starts), saying so in VISTREL_E2E_DPI.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {
namespace {

// The DPI the prefix was set up for.
int ExpectedDpi() {
  char value[8] = "";
  const DWORD n = GetEnvironmentVariableA("VISTREL_E2E_DPI", value, sizeof value);
  return n > 0 && n < sizeof value ? std::atoi(value) : 96;
}

RECT ClientOnScreen(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// The window with the keyboard focus in the program's thread; a combo box for its edit field.
HWND Focused(HWND form) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info)) return nullptr;
  HWND focus = info.hwndFocus;
  if (focus && ClassName(GetParent(focus)) == "ComboBox") focus = GetParent(focus);
  return focus;
}

// A key as the keyboard posts it to the focused window.
void PressKey(HWND form, WPARAM key) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
  HWND target = info.hwndFocus ? info.hwndFocus : form;
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

std::string Stored(const std::string& dir, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA("Settings", key, "<none>", value, sizeof value,
                           (dir + "vistrel.ini").c_str());
  return value;
}

// Per-monitor aware on this thread, as the program is by its manifest: a thread that is not sees
// other programs' windows in coordinates scaled to 96 DPI.
struct PerMonitorAware {
  PerMonitorAware() {
    using SetContextFn = HANDLE(WINAPI*)(HANDLE);
    auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
  }
};

TEST(DpiE2E, TheWindowFitsItsCaptionsAndTakesTheKeyboardAtTheScreensDpi) {
  const int dpi = ExpectedDpi();
  PerMonitorAware aware;
  {
    SCOPED_TRACE("LogPixels " + std::to_string(dpi));
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), dpi) << "the prefix is at the DPI";
    ReleaseDC(nullptr, screen);

    // The captions against their controls' fonts, in the window's own process.
    SetEnvironmentVariableA("VISTREL_EXPECT_DPI", std::to_string(dpi).c_str());
    std::string check_program = test::BuildDir() + "/tests/win32_tests.exe";
    for (char& c : check_program)
      if (c == '/') c = '\\';
    const std::string check =
        "\"" + check_program +
        "\" --gtest_filter=MainWindowTest.AtThisDpiEveryCaptionFitsAndNoControlsOverlap:"
        "TrayIconTest.AtThisDpiTheIconHasTheSmallIconSize";
    EXPECT_EQ(RunToEnd(check, 120000), 0u) << "the in-process layout and tray icon checks";
    SetEnvironmentVariableA("VISTREL_EXPECT_DPI", nullptr);

    const std::string dir = FreshProgramDir("dpi_" + std::to_string(dpi), {"vistrel.exe"});
    Process program("\"" + dir + "vistrel.exe\"", dir);
    HWND form = WaitForConfigurationWindow(program);
    ASSERT_NE(form, nullptr);

    // Scaled: the buttons are 22 design pixels high at least, the window 462 by 400 at least
    // (less what the screen's work area does not have).
    HWND ok = Child(form, "Button", "OK");
    HWND cancel = Child(form, "Button", "Cancel");
    ASSERT_TRUE(ok && cancel);
    RECT ok_bounds = {};
    GetWindowRect(ok, &ok_bounds);
    EXPECT_GE(ok_bounds.bottom - ok_bounds.top, MulDiv(22, dpi, 96));
    RECT frame = {};
    GetWindowRect(form, &frame);
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(frame.right - frame.left,
              std::min(MulDiv(462, dpi, 96), int{work.right - work.left}));
    EXPECT_GE(frame.bottom - frame.top,
              std::min(MulDiv(400, dpi, 96), int{work.bottom - work.top}));

    // Every control inside the window and its parent, and none over a sibling.
    std::vector<HWND> controls;
    EnumChildWindows(form, CollectVisible, reinterpret_cast<LPARAM>(&controls));
    const RECT client = ClientOnScreen(form);
    for (HWND control : controls) {
      RECT bounds = {}, both = {};
      GetWindowRect(control, &bounds);
      const std::string what = ClassName(control) + " \"" + WindowText(control) + "\"";
      EXPECT_TRUE(IntersectRect(&both, &bounds, &client) && EqualRect(&both, &bounds)) << what;
      const RECT parent = ClientOnScreen(GetParent(control));
      EXPECT_TRUE(IntersectRect(&both, &bounds, &parent) && EqualRect(&both, &bounds)) << what;
      for (HWND next = GetWindow(control, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
        RECT other = {};
        GetWindowRect(next, &other);
        EXPECT_FALSE(IsWindowVisible(next) && IntersectRect(&both, &bounds, &other))
            << what << " overlaps \"" << WindowText(next) << "\"";
      }
    }

    // Tab from the list through the settings in reading order, and round to the list.
    const std::vector<std::string> reading_order = {"Sequential",
                                                    "Remember last wallpaper",
                                                    "Show baloon tooltip on change",
                                                    "Disable on screensaver",
                                                    "<combo>",
                                                    "Start with Windows",
                                                    "Agent",
                                                    "Cancel",
                                                    "OK",
                                                    "<combo>",
                                                    "<list>"};
    ASSERT_TRUE(WaitFor([&] { return ClassName(Focused(form)) == "SysListView32"; }, 5000));
    for (const std::string& expected : reading_order) {
      HWND before = Focused(form);
      PressKey(form, VK_TAB);
      WaitFor([&] { return Focused(form) != before; }, 2000);
      HWND now = Focused(form);
      const std::string name = ClassName(now) == "ComboBox"        ? "<combo>"
                               : ClassName(now) == "SysListView32" ? "<list>"
                                                                   : WindowText(now);
      std::string shown;
      for (std::size_t i = 0; i < name.size(); ++i)
        if (name[i] != '&') shown += name[i];
      EXPECT_EQ(shown, expected);
    }

    // Enter is OK: the settings are saved, the size in design pixels. In the list, which has
    // the focus again.
    PressKey(form, VK_RETURN);
    EXPECT_EQ(program.Wait(20000), 0u);
    EXPECT_EQ(Stored(dir, "Width"), std::to_string(MulDiv(frame.right - frame.left, 96, dpi)));
    EXPECT_EQ(Stored(dir, "Height"), std::to_string(MulDiv(frame.bottom - frame.top, 96, dpi)));

    // Escape is Cancel: nothing more is saved. In the interval box this time.
    DeleteFileA((dir + "vistrel.ini").c_str());
    Process again("\"" + dir + "vistrel.exe\"", dir);
    form = WaitForConfigurationWindow(again);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ClassName(Focused(form)) == "SysListView32"; }, 5000));
    for (int i = 0; i < 5; ++i) PressKey(form, VK_TAB);
    ASSERT_TRUE(WaitFor([&] { return ClassName(Focused(form)) == "ComboBox"; }, 5000));
    PressKey(form, VK_ESCAPE);
    EXPECT_EQ(again.Wait(20000), 0u);
    EXPECT_FALSE(Exists(dir + "vistrel.ini"));
  }
}

}  // namespace
}  // namespace vistrel::e2e
