// Both programs where real users put them: a list held by another program, a program folder
// that cannot be written, the end of the session, a namesake of the agent's window, another
// working folder and second starts. Real processes, observed from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "agent/win32/agent_ids.h"
#include "common/apply_result.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {
namespace {

constexpr char kAgentTitle[] = "Vistrel Agent";
constexpr char kWindowClass[] = "TVistrelWindow";
// The list menu's "Tile", as the window's menu sends it.
constexpr WPARAM kWindowCommandTile = 2006;

std::vector<HWND> Forms(DWORD process_id) {
  return ConfigurationWindows(process_id);
}

// The agent: its toolkit window of that caption (an About box has the same caption).
HWND AgentWindow() {
  return FindWindowA(kWindowClass, kAgentTitle);
}

void CloseAgents() {
  for (int i = 0; i < 5; ++i) {
    HWND agent = AgentWindow();
    if (!agent) return;
    PostMessageA(agent, WM_CLOSE, 0, 0);
    WaitFor([agent] { return !IsWindow(agent); }, 10000);
  }
}

struct AgentCloser {
  AgentCloser() { CloseAgents(); }
  ~AgentCloser() { CloseAgents(); }
};

std::string Setting(const std::string& dir, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA("Settings", key, "<none>", value, sizeof value,
                           (dir + "vistrel.ini").c_str());
  return value;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

void CloseForm(Process& process, HWND form) {
  PostMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.Wait(20000), 0u);
}

TEST(ProgramsE2E, AListHeldWhileTheWindowStartsKeepsEveryLineAfterAnEdit) {
  std::string dir = FreshProgramDir("held_list", {"vistrel.exe"});
  const std::string original = "1C:\\a.jpg\r\n\r\n2C:\\b.jpg\r\n3C:\\c.jpg\r\n";
  test::WriteBytes(dir + "list.txt", original);
  // A backup or a virus scanner: open without read sharing.
  HANDLE held = CreateFileA((dir + "list.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Process window(Quoted(dir + "vistrel.exe"), dir);
  const std::string box = TakeMessageBoxText(window.Id(), 30000);
  EXPECT_NE(box.find("Cannot read \"" + dir + "list.txt\""), std::string::npos) << box;
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  CloseHandle(held);
  EXPECT_EQ(FileBytes(dir + "list.txt"), original);

  // An edit (Tile on no selection) after the release: the list is read first and rewritten
  // with every entry (the empty line goes).
  PostMessageA(form, WM_COMMAND, kWindowCommandTile, 0);
  EXPECT_TRUE(WaitFor(
      [&] { return FileBytes(dir + "list.txt") == "1C:\\a.jpg\r\n2C:\\b.jpg\r\n3C:\\c.jpg\r\n"; },
      20000))
      << FileBytes(dir + "list.txt");
  CloseForm(window, form);
}

TEST(ProgramsE2E, AWallpaperFileThatCannotBeWrittenIsReportedAndTheBoxStays) {
  std::string dir = FreshProgramDir("unwritable_wallpaper", {"vistrel.exe"});
  test::WriteBytes(dir + "sea.bmp", test::Bmp24(5, 3, 2));
  // A folder where the wallpaper file belongs: it cannot be replaced.
  CreateDirectoryA((dir + "vistrel_wlp.bmp").c_str(), nullptr);
  WriteDesktopValue("TileWallpaper", "before-tile");
  Process applier(Quoted(dir + "vistrel.exe") + " " + Quoted("2" + dir + "sea.bmp"), dir);
  // The box of the command-line apply, which a close request waiting in the queue used to end.
  Sleep(1500);
  const std::string box = TakeMessageBoxText(applier.Id(), 20000);
  EXPECT_NE(box.find("Cannot write \"" + dir + "vistrel_wlp.bmp\""), std::string::npos) << box;
  EXPECT_NE(box.find("The wallpaper was not changed."), std::string::npos) << box;
  EXPECT_EQ(applier.Wait(20000), static_cast<DWORD>(ApplyResult::kApplyExitCannotWrite));
  EXPECT_EQ(ReadDesktopValue("TileWallpaper"), "before-tile") << "the registry untouched";
}

// Prepared before the run by tests/e2e/readonly_folder.sh: the two programs, a picture, a list
// and settings in a folder that no file can be created in (immutable even for root).
std::string ReadOnlyProgramDir() {
  std::string dir = test::BuildDir() + "/test-tmp/e2e_readonly_program/";
  for (char& c : dir)
    if (c == '/') c = '\\';
  return dir;
}

bool CanCreateFileIn(const std::string& dir) {
  const std::string probe = dir + "probe.tmp";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileA(probe.c_str());
  return true;
}

std::string UserDir() {
  char appdata[MAX_PATH] = "";
  GetEnvironmentVariableA("APPDATA", appdata, sizeof appdata);
  return std::string(appdata) + "\\Vistrel\\";
}

void ClearUserDir() {
  for (const char* name : {"vistrel.ini", "list.txt", "vistrel_wlp.bmp"}) {
    SetFileAttributesA((UserDir() + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((UserDir() + name).c_str());
  }
}

bool ReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

TEST(ProgramsE2E, AReadOnlyProgramFolderKeepsTheFilesInTheUsersFolder) {
  const std::string dir = ReadOnlyProgramDir();
  if (!Exists(dir + "vistrel.exe")) GTEST_SKIP() << "the read-only folder was not prepared";
  if (CanCreateFileIn(dir)) GTEST_SKIP() << "this machine cannot make a folder read-only";
  AgentCloser closer;
  ClearUserDir();
  const std::string user = UserDir();

  Process window(Quoted(dir + "vistrel.exe"), dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(WindowText(form), "[" + user + "list.txt]");
  EXPECT_EQ(FileBytes(user + "list.txt"), FileBytes(dir + "list.txt")) << "taken along";
  EXPECT_EQ(Setting(user, "Interval"), "15") << "the settings taken along";
  ASSERT_TRUE(ReadOnly(dir + "vistrel.ini") && ReadOnly(dir + "list.txt")) << "the fixture's";
  EXPECT_FALSE(ReadOnly(user + "vistrel.ini")) << "the copies can be written";
  EXPECT_FALSE(ReadOnly(user + "list.txt"));
  PostMessageA(Child(form, "Button", "OK"), BM_CLICK, 0, 0);
  EXPECT_EQ(TakeMessageBoxText(window.Id(), 1000), "") << "no \"Cannot write\" box";
  EXPECT_EQ(window.Wait(20000), 0u);
  EXPECT_EQ(Setting(user, "StartHidden"), "0") << "OK wrote to the user's folder";

  // The agent decides the same way: its change writes the wallpaper file there too.
  Process agent(Quoted(dir + "vistrel_agent.exe"), dir);
  ASSERT_TRUE(WaitFor([] { return AgentWindow() != nullptr; }, 30000));
  PostMessageA(AgentWindow(), WM_COMMAND, kCommandNext, 0);
  ASSERT_TRUE(WaitFor([&] { return FileBytes(user + "vistrel_wlp.bmp").size() > 54; }, 30000))
      << "the wallpaper file in the user's folder";
  EXPECT_EQ(FileBytes(user + "vistrel_wlp.bmp").substr(0, 2), "BM");
  EXPECT_NE(ReadDesktopValue("Wallpaper").find(user + "vistrel_wlp.bmp"), std::string::npos)
      << ReadDesktopValue("Wallpaper");
  EXPECT_FALSE(Exists(dir + "vistrel_wlp.bmp"));
  CloseAgents();
  EXPECT_EQ(agent.Wait(20000), 0u);
  ClearUserDir();
}

TEST(ProgramsE2E, TheEndOfTheSessionKeepsAResumedAgentRunning) {
  AgentCloser closer;
  std::string dir = FreshProgramDir("end_session", {"vistrel_agent.exe"});
  test::WriteBytes(dir + "vistrel.ini",
                   "[Settings]\r\nPaused=1\r\nLastIndex=3\r\nRememberLast=1\r\n");
  Process agent(Quoted(dir + "vistrel_agent.exe"), dir);
  ASSERT_TRUE(WaitFor([] { return AgentWindow() != nullptr; }, 30000));
  HWND window = AgentWindow();
  // The window exists before the settings are read; only the main loop takes posted messages,
  // and "Next" without a list creates an empty one: then start-up is over.
  PostMessageA(window, WM_COMMAND, kCommandNext, 0);
  ASSERT_TRUE(WaitFor([&] { return Exists(dir + "list.txt"); }, 10000));
  // Started paused; the user resumes it with a left press on the icon.
  SendMessageA(window, kTrayCallbackMessage, kFirstTrayIconId, WM_LBUTTONDOWN);
  // What the file said is gone, so only the end of the session can bring it back.
  test::WriteBytes(dir + "vistrel.ini", "[Settings]\r\nRememberLast=1\r\n");
  SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(Setting(dir, "Paused"), "0");
  EXPECT_EQ(Setting(dir, "LastIndex"), "3");
}

TEST(ProgramsE2E, OkReachesTheAgentWhileItsAboutBoxIsOpen) {
  AgentCloser closer;
  std::string dir = FreshProgramDir("about_open", {"vistrel.exe", "vistrel_agent.exe"});
  const std::vector<std::string> pictures = {test::Bmp24(3, 3, 1), test::Bmp24(4, 3, 2),
                                             test::Bmp24(5, 3, 3)};
  WritePictureList(dir, pictures);
  test::WriteBytes(dir + "vistrel.ini", "[Settings]\r\nRandomWallpaper=0\r\nLastIndex=1\r\n");

  Process agent(Quoted(dir + "vistrel_agent.exe"), dir);
  ASSERT_TRUE(WaitFor([] { return AgentWindow() != nullptr; }, 30000));
  HWND agent_window = AgentWindow();
  PostMessageA(agent_window, WM_COMMAND, kCommandAbout, 0);
  // The About box: no owner, the agent's caption, and now the first window of that title.
  ASSERT_TRUE(WaitFor(
      [&] {
        HWND found = FindWindowA(nullptr, kAgentTitle);
        return found && found != agent_window;
      },
      20000));

  Process window(Quoted(dir + "vistrel.exe"), dir);
  HWND form = WaitForConfigurationWindow(window);
  ASSERT_NE(form, nullptr);
  HWND list_view = FindWindowExA(form, nullptr, WC_LISTVIEWA, nullptr);
  ASSERT_NE(list_view, nullptr);
  // Select b (No Wallpaper, a, b, c) with the keyboard: Home, then two rows down; then OK.
  PostMessageA(list_view, WM_KEYDOWN, VK_HOME, 0);
  PostMessageA(list_view, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(list_view, WM_KEYDOWN, VK_DOWN, 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        return (SendMessageA(list_view, LVM_GETITEMSTATE, 2, LVIS_SELECTED) & LVIS_SELECTED) != 0;
      },
      10000));
  PostMessageA(Child(form, "Button", "OK"), BM_CLICK, 0, 0);
  EXPECT_EQ(window.Wait(20000), 0u);
  EXPECT_EQ(Setting(dir, "LastIndex"), "2");

  // The agent took the message: once its box is closed, its next change is c.
  HWND about = FindWindowA("#32770", kAgentTitle);
  if (about) PostMessageA(about, WM_COMMAND, IDOK, 0);
  PostMessageA(agent_window, WM_COMMAND, kCommandNext, 0);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir + "vistrel_wlp.bmp") == pictures[2]; }, 30000));
}

TEST(ProgramsE2E, TheAgentStartedElsewhereFindsTheApplierBesideIt) {
  AgentCloser closer;
  std::string dir = FreshProgramDir("agent_elsewhere", {"vistrel.exe", "vistrel_agent.exe"});
  std::string elsewhere = test::FreshDir("agent_elsewhere_cwd");
  const std::string picture = test::Bmp24(6, 2, 4);
  test::WriteBytes(dir + "p.bmp", picture);
  test::WriteBytes(dir + "list.txt", "1" + dir + "p.bmp\r\n");
  Process agent(Quoted(dir + "vistrel_agent.exe"), elsewhere);
  ASSERT_TRUE(WaitFor([] { return AgentWindow() != nullptr; }, 30000));
  PostMessageA(AgentWindow(), WM_COMMAND, kCommandNext, 0);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir + "vistrel_wlp.bmp") == picture; }, 30000))
      << "the default \"vistrel.exe\" found beside the agent";
  EXPECT_EQ(TakeMessageBoxText(agent.Id(), 500), "") << "no \"Cannot find\" warning";
}

// The claim a window program holds on its folder, under the name every copy uses.
std::string WindowClaimName(const std::string& dir) {
  std::string name = "Vistrel.Window.";
  for (char c : dir) name += c == '\\' ? '|' : (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
  return name;
}

TEST(ProgramsE2E, AStartRightAfterAWindowClosedOpensTheWindow) {
  std::string dir = FreshProgramDir("restart_after_ok", {"vistrel.exe"});
  for (DWORD pause : {0u, 1000u}) {
    Process first(Quoted(dir + "vistrel.exe"), dir);
    HWND form = WaitForConfigurationWindow(first);
    ASSERT_NE(form, nullptr);
    PostMessageA(Child(form, "Button", "OK"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([form] { return !IsWindow(form); }, 20000));
    Sleep(pause);
    Process second(Quoted(dir + "vistrel.exe"), dir);
    HWND again = WaitForConfigurationWindow(second);
    EXPECT_NE(again, nullptr) << "started " << pause << " ms after OK";
    EXPECT_EQ(first.Wait(20000), 0u);
    if (again) CloseForm(second, again);
  }
  // A program still ending, its window gone and the folder's claim still held: a second.
  HANDLE claim = CreateMutexA(nullptr, TRUE, WindowClaimName(dir).c_str());
  ASSERT_NE(claim, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  Process second(Quoted(dir + "vistrel.exe"), dir);
  Sleep(1000);
  ReleaseMutex(claim);
  CloseHandle(claim);
  HWND again = WaitForConfigurationWindow(second);
  EXPECT_NE(again, nullptr) << "opened once the claim was let go";
  if (again) CloseForm(second, again);
}

TEST(ProgramsE2E, ASecondStartLeavesOneWindowAndOneAgent) {
  AgentCloser closer;
  std::string dir = FreshProgramDir("second_start", {"vistrel.exe", "vistrel_agent.exe"});
  Process first(Quoted(dir + "vistrel.exe"), dir);
  HWND form = WaitForConfigurationWindow(first);
  ASSERT_NE(form, nullptr);
  Process second(Quoted(dir + "vistrel.exe"), dir);
  EXPECT_EQ(second.Wait(20000), 0u) << "the second start ends by itself";
  EXPECT_EQ(Forms(second.Id()).size(), 0u);
  EXPECT_EQ(Forms(first.Id()).size(), 1u);
  EXPECT_EQ(first.Wait(0), static_cast<DWORD>(STILL_ACTIVE));
  // The command-line apply is not counted.
  test::WriteBytes(dir + "p.bmp", test::Bmp24(2, 2, 6));
  EXPECT_EQ(RunToEnd(Quoted(dir + "vistrel.exe") + " " + Quoted("1" + dir + "p.bmp")), 0u);
  EXPECT_EQ(FileBytes(dir + "vistrel_wlp.bmp"), test::Bmp24(2, 2, 6));
  CloseForm(first, form);

  Process agent(Quoted(dir + "vistrel_agent.exe"), dir);
  ASSERT_TRUE(WaitFor([] { return AgentWindow() != nullptr; }, 30000));
  Process another(Quoted(dir + "vistrel_agent.exe"), dir);
  EXPECT_EQ(another.Wait(20000), 0u) << "a second agent ends at start";
  int agents = 0;
  for (HWND w = FindWindowExA(nullptr, nullptr, kWindowClass, kAgentTitle); w;
       w = FindWindowExA(nullptr, w, kWindowClass, kAgentTitle))
    ++agents;
  EXPECT_EQ(agents, 1);
}

}  // namespace
}  // namespace vistrel::e2e
