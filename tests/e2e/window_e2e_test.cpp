// vistrel.exe's configuration window, with and without the agent, observed from outside: windows
// found by caption, buttons pressed and list rows clicked with posted messages, and the files and
// registry values the programs change.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tests/tools/list_row_bounds.h"

namespace vistrel::e2e {
namespace {

constexpr char kAgentTitle[] = "Vistrel Agent";
// The agent's menu item "Next", as its menu sends it.
constexpr WPARAM kAgentCommandNext = 1004;

// A list row's rectangle; empty when it cannot be had.
RECT RowBounds(HWND list, int row) {
  RECT bounds = {0, 0, 0, 0};
  test::ListRowBounds(list, row, bounds);
  return bounds;
}

bool RowSelected(HWND list, int row) {
  return (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
          LVIS_SELECTED) != 0;
}

// A left click, or a double click, in the middle of the row, as the mouse would post it.
void ClickRow(HWND list, int row, bool twice) {
  RECT bounds = RowBounds(list, row);
  LPARAM at = MAKELPARAM(bounds.left + 30, (bounds.top + bounds.bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  if (twice) {
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
  }
}

std::string Stored(const std::string& dir, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA("Settings", key, "<none>", value, sizeof value,
                           (dir + "vistrel.ini").c_str());
  return value;
}

// Closes any agent window at the end, whoever started it.
struct AgentCloser {
  ~AgentCloser() { Close(); }
  static void Close() {
    for (int i = 0; i < 3; ++i) {
      HWND agent = FindWindowA(nullptr, kAgentTitle);
      if (!agent) return;
      PostMessageA(agent, WM_CLOSE, 0, 0);
      WaitFor([] { return FindWindowA(nullptr, kAgentTitle) == nullptr; }, 10000);
    }
  }
};

// A fresh folder with both programs, once any agent left running has gone.
std::string ProgramsDirWithoutAgent(const std::string& name) {
  AgentCloser::Close();
  return FreshProgramDir(name, {"vistrel.exe", "vistrel_agent.exe"});
}

// Clicks the form's Agent button, which must be there and enabled.
void ClickAgentButton(HWND form, HWND* button) {
  *button = Child(form, "Button", "Agent");
  ASSERT_NE(*button, nullptr);
  EXPECT_TRUE(IsWindowEnabled(*button));
  PostMessageA(*button, BM_CLICK, 0, 0);
}

void CloseWindowOf(Process& process, HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.Wait(20000), 0u);
}

TEST(WindowE2E, StartedElsewhereTheAgentButtonStartsTheAgentBesideIt) {
  AgentCloser closer;
  std::string dir = ProgramsDirWithoutAgent("window_elsewhere");
  std::string elsewhere = test::FreshDir("window_elsewhere_cwd");
  Process window("\"" + dir + "vistrel.exe\"", elsewhere);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(FileBytes(dir + "list.txt"), "")
      << "the list beside the program, not in the current folder";
  HWND agent_button = nullptr;
  ASSERT_NO_FATAL_FAILURE(ClickAgentButton(form, &agent_button));
  EXPECT_TRUE(WaitFor([] { return FindWindowA(nullptr, kAgentTitle) != nullptr; }, 30000))
      << "the agent beside the program started";
  AgentCloser::Close();
  CloseWindowOf(window, form);
  EXPECT_FALSE(Exists(elsewhere + "list.txt")) << "nothing in the working folder";
}

// HKCU\Software\Microsoft\Windows\CurrentVersion\Run "Vistrel Agent"; "<none>" when absent.
std::string RunValue() {
  char value[1024] = "";
  DWORD size = sizeof value - 1, type = 0;
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                    KEY_QUERY_VALUE, &run) != ERROR_SUCCESS)
    return "<none>";
  LONG result =
      RegQueryValueExA(run, "Vistrel Agent", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(run);
  if (result != ERROR_SUCCESS || type != REG_SZ) return "<none>";
  return value;
}

TEST(WindowE2E, StartWithWindowsWritesAndRemovesTheRunValue) {
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                    KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, "Vistrel Agent");
    RegCloseKey(run);
  }
  std::string dir = FreshProgramDir("window_run_value", {"vistrel.exe"});
  for (bool check : {true, false}) {
    Process window("\"" + dir + "vistrel.exe\"", dir);
    HWND form = WaitForConfigurationWindow(window);
    ASSERT_NE(form, nullptr);
    HWND box = Child(form, "Button", "Start with Windows");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), check ? BST_UNCHECKED : BST_CHECKED)
        << "the state comes from the Run value";
    PostMessageA(box, BM_CLICK, 0, 0);
    PostMessageA(Child(form, "Button", "OK"), BM_CLICK, 0, 0);
    EXPECT_EQ(window.Wait(20000), 0u);
    if (check)
      EXPECT_EQ(RunValue(), "\"" + dir + "vistrel_agent.exe\"");
    else
      EXPECT_EQ(RunValue(), "<none>");
    EXPECT_EQ(Stored(dir, "StartWithWindows"), "<none>") << "not in the settings file";
  }
}

TEST(WindowE2E, DoubleClickOnARowAppliesIt) {
  std::string dir = FreshProgramDir("window_double_click", {"vistrel.exe"});
  const std::string picture = test::Bmp24(9, 5, 21);
  test::WriteBytes(dir + "first.bmp", test::Bmp24(2, 2, 1));
  test::WriteBytes(dir + "second.bmp", picture);
  test::WriteBytes(dir + "list.txt", "1" + dir + "first.bmp\r\n2" + dir + "second.bmp\r\n");
  WriteDesktopValue("WallpaperStyle", "before-style");
  WriteDesktopValue("TileWallpaper", "before-tile");

  Process window("\"" + dir + "vistrel.exe\"", dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  HWND list = Child(form, WC_LISTVIEWA);
  ASSERT_NE(list, nullptr);
  ClickRow(list, 2, true);
  ASSERT_TRUE(WaitFor([&] { return FileBytes(dir + "vistrel_wlp.bmp") == picture; }, 20000));
  EXPECT_TRUE(RowSelected(list, 2));
  EXPECT_EQ(ReadDesktopValue("WallpaperStyle"), "0");
  EXPECT_EQ(ReadDesktopValue("TileWallpaper"), "1");
  EXPECT_NE(ReadDesktopValue("Wallpaper").find("vistrel_wlp.bmp"), std::string::npos);
  EXPECT_EQ(window.Wait(0), static_cast<DWORD>(STILL_ACTIVE)) << "the window stays open";
  CloseWindowOf(window, form);
}

TEST(WindowE2E, SelectAllThenDeleteAsksAndNoKeepsTheListByteForByte) {
  std::string dir = FreshProgramDir("window_delete_all", {"vistrel.exe"});
  const std::string lines = "1" + dir + "a.bmp\r\n2" + dir + "b.bmp\r\n3" + dir + "c.bmp\r\n";
  test::WriteBytes(dir + "list.txt", lines);
  Process window("\"" + dir + "vistrel.exe\"", dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  PostMessageA(form, WM_COMMAND, app::kCommandSelectAll, 0);
  PostMessageA(form, WM_COMMAND, app::kCommandDelete, 0);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        const auto boxes = TopWindows(
            window.Id(), [](HWND w) { return IsWindowVisible(w) && ClassName(w) == "#32770"; });
        box = boxes.empty() ? nullptr : boxes[0];
        return box != nullptr;
      },
      20000));
  EXPECT_NE(Child(box, "Static", "Delete 3 entries from the list?\nCtrl+Z brings them back."),
            nullptr);
  PostMessageA(box, WM_COMMAND, IDNO, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
  EXPECT_EQ(FileBytes(dir + "list.txt"), lines);
  CloseWindowOf(window, form);
  EXPECT_EQ(FileBytes(dir + "list.txt"), lines);
}

TEST(WindowE2E, AListOf100000EntriesOpensWhole) {
  std::string dir = FreshProgramDir("window_long_list", {"vistrel.exe"});
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "1" + dir + "gone\\" + std::to_string(i) + ".jpg\r\n";
  test::WriteBytes(dir + "list.txt", text);
  Process window("\"" + dir + "vistrel.exe\"", dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  HWND list = Child(form, WC_LISTVIEWA);
  ASSERT_NE(list, nullptr);
  // A window that does not answer for 20 s looks hung to its user (a filled list view took 38).
  DWORD_PTR count = 0;
  EXPECT_TRUE(SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 20000, &count));
  EXPECT_EQ(count, 100001u) << "No Wallpaper and every line";
  RECT last = {};
  EXPECT_TRUE(test::ListRowBounds(list, 100000, last)) << "the last row is there to be shown";
  CloseWindowOf(window, form);
  EXPECT_EQ(FileBytes(dir + "list.txt"), text) << "opening and closing rewrite nothing";
}

TEST(WindowE2E, TheAgentButtonStartsTheAgentAndTurnsDisabled) {
  AgentCloser closer;
  std::string dir = ProgramsDirWithoutAgent("window_agent_button");
  test::WriteBytes(dir + "vistrel.ini", "[Settings]\r\nViewerPath=" + dir + "vistrel.exe\r\n");

  Process window("\"" + dir + "vistrel.exe\"", dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  HWND agent_button = nullptr;
  ASSERT_NO_FATAL_FAILURE(ClickAgentButton(form, &agent_button));
  ASSERT_TRUE(WaitFor([] { return FindWindowA(nullptr, kAgentTitle) != nullptr; }, 30000))
      << "the agent started from the current folder";
  DWORD appeared = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(agent_button); }, 5000));
  // One timer period, and slack for a loaded machine.
  EXPECT_LE(GetTickCount() - appeared, 3000u) << "within a tick or two of the agent's window";

  AgentCloser::Close();
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(agent_button) != FALSE; }, 5000))
      << "enabled again once the agent has gone";
  CloseWindowOf(window, form);
}

TEST(WindowE2E, OkStoresTheSelectedRowAndTheAgentGoesOnFromThere) {
  AgentCloser closer;
  std::string dir = ProgramsDirWithoutAgent("window_last_index");
  const std::vector<std::string> pictures = {test::Bmp24(3, 3, 1), test::Bmp24(4, 3, 2),
                                             test::Bmp24(5, 3, 3)};
  WritePictureList(dir, pictures);
  test::WriteBytes(dir + "vistrel.ini", "[Settings]\r\nViewerPath=" + dir +
                                            "vistrel.exe\r\nRandomWallpaper=0\r\nLastIndex=1\r\n");

  Process agent("\"" + dir + "vistrel_agent.exe\"", dir);
  ASSERT_TRUE(WaitFor([] { return FindWindowA(nullptr, kAgentTitle) != nullptr; }, 30000));
  Process window("\"" + dir + "vistrel.exe\"", dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  HWND list_view = Child(form, WC_LISTVIEWA);
  HWND ok = Child(form, "Button", "OK");
  ASSERT_NE(list_view, nullptr);
  ASSERT_NE(ok, nullptr);
  ClickRow(list_view, 2, false);  // No Wallpaper, a, b, c: b
  ASSERT_TRUE(WaitFor([&] { return RowSelected(list_view, 2); }, 5000));
  PostMessageA(ok, BM_CLICK, 0, 0);
  EXPECT_EQ(window.Wait(20000), 0u) << "OK ends the program";
  EXPECT_EQ(Stored(dir, "LastIndex"), "2");
  EXPECT_EQ(Stored(dir, "StartHidden"), "0");

  // The agent re-read "LastIndex" on the window's message: its next change is c.
  PostMessageA(FindWindowA(nullptr, kAgentTitle), WM_COMMAND, kAgentCommandNext, 0);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir + "vistrel_wlp.bmp") == pictures[2]; }, 30000));
}

}  // namespace
}  // namespace vistrel::e2e
