// vistrel_agent.exe as a real process: found by its caption, driven with the messages the shell,
// its menu and the configuration window send, and observed through its files and the tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent/win32/agent_ids.h"
#include "common/shared_names.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {
namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 20000;

std::vector<HWND> WindowsOf(DWORD pid, const std::string& caption, const std::string& class_name,
                            bool visible_only) {
  if (pid == 0) return {};
  return TopWindows(pid, [&](HWND window) {
    return (!visible_only || IsWindowVisible(window)) &&
           (caption.empty() || WindowText(window) == caption) &&
           (class_name.empty() || ClassName(window) == class_name);
  });
}

// Whether the shell knows the agent's icon: modifying nothing succeeds only for a known icon.
bool TrayHasIcon(HWND owner) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = owner;
  data.uID = kFirstTrayIconId;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void RemoveTrayIcon(HWND owner) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = owner;
  data.uID = kFirstTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &data);
}

std::string Setting(const std::string& dir, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA("Settings", key, "<none>", value, sizeof value,
                           (dir + "vistrel.ini").c_str());
  return value;
}

class AgentE2E : public testing::Test {
 protected:
  void Prepare(const std::string& name,
               std::initializer_list<const char*> programs = {"vistrel_agent.exe"}) {
    dir_ = FreshProgramDir("agent_" + name, programs);
  }
  void WriteSettings(const std::string& lines) {
    test::WriteBytes(dir_ + "vistrel.ini", "[Settings]\r\n" + lines);
  }

  // Starts the agent from its folder and waits for its window.
  void Start(const std::string& arguments = "") {
    std::string command = "\"" + dir_ + "vistrel_agent.exe\"";
    if (!arguments.empty()) command += " " + arguments;
    agent_ = std::make_unique<Process>(command, dir_);
    ASSERT_TRUE(agent_->Started());
    ASSERT_TRUE(WaitFor(
        [&] {
          window_ = FindWindowA(nullptr, "Vistrel Agent");
          DWORD pid = 0;
          if (window_) GetWindowThreadProcessId(window_, &pid);
          return window_ && pid == agent_->Id() && TrayHasIcon(window_);
        },
        kStartTimeoutMs))
        << "the agent's window and icon appear";
  }

  void Command(AgentCommand command) { PostMessageA(window_, WM_COMMAND, command, 0); }

  // One picture in the list, and a ViewerPath that names no file.
  void StartWithoutApplier(const std::string& name) {
    Prepare(name);
    test::WriteBytes(dir_ + "a.bmp", test::Bmp24(4, 4, 1));
    test::WriteBytes(dir_ + "list.txt", "1" + dir_ + "a.bmp\r\n");
    WriteSettings("ViewerPath=" + dir_ + "missing.exe\r\n");
    Start();
  }

  // The window and icon exist before the settings are read, so a test that changes the
  // settings file or the icon waits until start-up is over. Only the main loop takes posted
  // messages: "Next" without a list file there creates an empty one and changes nothing else.
  void WaitUntilStarted() {
    ASSERT_FALSE(Exists(dir_ + "list.txt"));
    Command(kCommandNext);
    ASSERT_TRUE(WaitFor([&] { return Exists(dir_ + "list.txt"); }, 10000));
  }

  // "Exit" from the menu; the process must end by itself.
  void ExitAgent() {
    Command(kCommandExit);
    EXPECT_EQ(agent_->Wait(kExitTimeoutMs), 0u) << "ended with code 0";
  }

  std::string dir_;
  std::unique_ptr<Process> agent_;  // killed at the end if still running
  HWND window_ = nullptr;
};

TEST_F(AgentE2E, StartsHiddenWithItsIconAndWithoutSettingsPausedUntilExit) {
  Prepare("plain");
  Start();
  EXPECT_TRUE(WindowsOf(agent_->Id(), "", "", true).empty()) << "no window of the agent is visible";
  EXPECT_EQ(WindowsOf(agent_->Id(), "Vistrel Agent", "", false).size(), 1u);
  EXPECT_FALSE(Exists(dir_ + "vistrel.ini")) << "reading the settings creates nothing";
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "Paused"), "1") << "started paused, nothing changed it";
  EXPECT_EQ(Setting(dir_, "LastIndex"), "1");
  EXPECT_FALSE(TrayHasIcon(window_)) << "the icon left the notification area";
}

TEST_F(AgentE2E, LeftPressOnTheIconTogglesPause) {
  Prepare("left_press");
  Start();
  PostMessageA(window_, kTrayCallbackMessage, kFirstTrayIconId, WM_LBUTTONDOWN);
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "Paused"), "0");

  Start();  // resumed state was stored: now running
  PostMessageA(window_, kTrayCallbackMessage, kFirstTrayIconId, WM_LBUTTONDOWN);
  PostMessageA(window_, kTrayCallbackMessage, kFirstTrayIconId, WM_LBUTTONUP);
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "Paused"), "1");
}

TEST_F(AgentE2E, ReloadMessageTakesLastIndexOnlyWhenItsFirstParameterIsOne) {
  Prepare("reload");
  WriteSettings("LastIndex=2\r\nRememberLast=1\r\n");
  Start();
  WaitUntilStarted();
  WritePrivateProfileStringA("Settings", "LastIndex", "5", (dir_ + "vistrel.ini").c_str());
  SendMessageA(window_, kAgentReloadMessage, 0, 0);
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "LastIndex"), "2") << "parameter 0 keeps the index in memory";

  DeleteFileA((dir_ + "list.txt").c_str());
  Start();
  WaitUntilStarted();
  WritePrivateProfileStringA("Settings", "LastIndex", "5", (dir_ + "vistrel.ini").c_str());
  SendMessageA(window_, kAgentReloadMessage, 1, 0);
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "LastIndex"), "5");
}

TEST_F(AgentE2E, TaskbarRecreationBringsTheIconBack) {
  Prepare("taskbar");
  Start();
  WaitUntilStarted();
  // As after a restart of the shell: the new taskbar knows no icons.
  RemoveTrayIcon(window_);
  ASSERT_FALSE(TrayHasIcon(window_));
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitFor([&] { return TrayHasIcon(window_); }, 10000));
  ExitAgent();
}

TEST_F(AgentE2E, MissingApplierShowsTheWarningAndStoresNoIndex) {
  StartWithoutApplier("no_viewer");
  Command(kCommandNext);
  EXPECT_EQ(TakeMessageBoxText(agent_->Id()),
            "Cannot find \"" + dir_ + "missing.exe\" - cannot change wallpaper.");
  EXPECT_EQ(Setting(dir_, "LastIndex"), "<none>");
  ExitAgent();
}

// The message boxes up now, of the process (0: of any).
std::size_t BoxesUp(DWORD process_id) {
  return TopWindows(
             process_id,
             [](HWND window) { return IsWindowVisible(window) && ClassName(window) == "#32770"; })
      .size();
}

TEST_F(AgentE2E, ThousandsOfNextsWithTheApplierGoneLeaveOneBoxAndTheAgentAlive) {
  StartWithoutApplier("next_storm");
  for (int i = 0; i < 3000; ++i) Command(kCommandNext);
  std::size_t most = 0;
  int closed = 0;
  // Every box that comes is closed; the presses made while one was up open no other.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 8000 && closed < 50) {
    most = std::max(most, BoxesUp(agent_->Id()));
    if (TakeMessageBoxText(agent_->Id(), 1500).empty()) {
      if (closed > 0) break;
      continue;
    }
    ++closed;
    EXPECT_TRUE(WaitFor(
        [&] {
          most = std::max(most, BoxesUp(agent_->Id()));
          return most > 1 || BoxesUp(agent_->Id()) == 0;
        },
        5000));
  }
  EXPECT_EQ(most, 1u) << "never two boxes at once";
  EXPECT_GE(closed, 1);
  EXPECT_LT(closed, 50) << "the presses made while the box was up were not stored up";
  EXPECT_EQ(agent_->Wait(0), STILL_ACTIVE);
  ExitAgent();
}

// Pictures p0.bmp ... in the test's folder and a list naming them; LastIndex 0.
std::vector<std::string> WritePictures(const std::string& dir, const std::vector<int>& widths,
                                       const std::string& extra_lines_before = "") {
  std::vector<std::string> pictures;
  std::string list = extra_lines_before;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    pictures.push_back(test::Bmp24(widths[i], widths[i] * 3 / 4, static_cast<unsigned>(i)));
    const std::string name = dir + "p" + std::to_string(i) + ".bmp";
    test::WriteBytes(name, pictures.back());
    list += "1" + name + "\r\n";
  }
  test::WriteBytes(dir + "list.txt", list);
  return pictures;
}

TEST_F(AgentE2E, ADamagedPictureIsSkippedWithoutABoxAndTheNextOneShows) {
  Prepare("damaged", {"vistrel_agent.exe", "vistrel.exe"});
  test::WriteBytes(dir_ + "broken.png", "\x89PNG\r\n\x1a\n not a picture");
  const auto pictures = WritePictures(dir_, {8}, "1" + dir_ + "broken.png\r\n");
  WriteSettings("LastIndex=0\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  Start();
  Command(kCommandNext);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir_ + "vistrel_wlp.bmp") == pictures[0]; }, 30000));
  EXPECT_TRUE(WaitFor([&] { return Setting(dir_, "LastIndex") == "2"; }, 10000));
  EXPECT_EQ(BoxesUp(0), 0u) << "neither the applier nor the agent shows a box";
  ExitAgent();
}

TEST_F(AgentE2E, ThreeQuickNextsShowTheThirdPictureWithoutAnError) {
  Prepare("quick_nexts", {"vistrel_agent.exe", "vistrel.exe"});
  const auto pictures = WritePictures(dir_, {1600, 1200, 1400, 1000});
  WriteSettings("LastIndex=0\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  Start();
  for (int i = 0; i < 3; ++i) {
    Command(kCommandNext);
    Sleep(150);
  }
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir_ + "vistrel_wlp.bmp") == pictures[2]; }, 30000));
  Sleep(1000);  // nothing changes after it
  EXPECT_EQ(FileBytes(dir_ + "vistrel_wlp.bmp"), pictures[2]);
  EXPECT_EQ(Setting(dir_, "LastIndex"), "3");
  EXPECT_EQ(BoxesUp(0), 0u);
  ExitAgent();
}

TEST_F(AgentE2E, ALongListOfGoneFilesIsCrossedInOneChange) {
  Prepare("long_list", {"vistrel_agent.exe", "vistrel.exe"});
  std::string gone;
  for (int i = 0; i < 20000; ++i) gone += "1" + dir_ + "gone" + std::to_string(i) + ".bmp\r\n";
  const auto pictures = WritePictures(dir_, {8}, gone);
  WriteSettings("LastIndex=0\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  Start();  // paused: one Next is one change
  Command(kCommandNext);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir_ + "vistrel_wlp.bmp") == pictures[0]; }, 30000))
      << "the last line reached by one change";
  ExitAgent();
}

// Both pictures come out upright and at the screen's size when the agent changes to them.
TEST_F(AgentE2E, APortraitPhotoAndAWebPAreShownAtTheScreensSize) {
  Prepare("screen", {"vistrel_agent.exe", "vistrel.exe"});
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GT(screen.width, 64u);
  test::WriteBytes(dir_ + "portrait.jpg", PortraitPhoto());
  test::WriteBytes(dir_ + "photo.webp",
                   test::ReadBytes(test::DataPath("webp/libwebp-test-data/test.webp")));
  test::WriteBytes(dir_ + "list.txt", "3" + dir_ + "portrait.jpg\r\n5" + dir_ + "photo.webp\r\n");
  WriteSettings("LastIndex=0\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  Start();
  const std::string wallpaper = dir_ + "vistrel_wlp.bmp";
  Command(kCommandNext);
  ASSERT_TRUE(
      WaitFor([&] { return IsBmp24(FileBytes(wallpaper), screen.width, screen.height); }, 30000));
  const std::string photo = FileBytes(wallpaper);
  EXPECT_TRUE(TurnedRight(photo, screen));
  Command(kCommandNext);
  EXPECT_TRUE(WaitFor(
      [&] {
        const std::string bmp = FileBytes(wallpaper);
        return bmp != photo && IsBmp24(bmp, screen.width, screen.height);
      },
      30000));
  EXPECT_TRUE(WaitFor([&] { return ReadDesktopValue("WallpaperStyle") == "10"; }, 10000)) << "Fill";
  ExitAgent();
}

// Wine shows one monitor. Another way to cover the monitors, saved by the window, is shown at
// once: the centred picture becomes a bitmap of the whole (one-monitor) desktop.
TEST_F(AgentE2E, AnotherMonitorsSettingRendersTheCurrentPictureAgain) {
  Prepare("monitors", {"vistrel_agent.exe", "vistrel.exe"});
  const ScreenPixels screen = PrimaryScreen();
  ASSERT_GT(screen.width, 64u);
  const std::string picture = test::Bmp24(8, 8, 3);
  test::WriteBytes(dir_ + "small.bmp", picture);
  test::WriteBytes(dir_ + "list.txt", "1" + dir_ + "small.bmp\r\n");
  WriteSettings("ViewerPath=" + dir_ + "vistrel.exe\r\n");
  Start();
  const std::string wallpaper = dir_ + "vistrel_wlp.bmp";
  Command(kCommandNext);
  ASSERT_TRUE(WaitFor([&] { return FileBytes(wallpaper) == picture; }, 30000)) << "centred as is";
  WritePrivateProfileStringA("Settings", "MonitorMode", "2", (dir_ + "vistrel.ini").c_str());
  SendMessageA(window_, kAgentReloadMessage, 0, 0);
  EXPECT_TRUE(
      WaitFor([&] { return IsBmp24(FileBytes(wallpaper), screen.width, screen.height); }, 30000));
  EXPECT_TRUE(WaitFor(
      [&] {
        // Span, or Windows 7's tiling; the centred picture had "0" and "0".
        const std::string style = ReadDesktopValue("WallpaperStyle");
        const std::string tile = ReadDesktopValue("TileWallpaper");
        return (style == "22" && tile == "0") || (style == "0" && tile == "1");
      },
      10000));
  ExitAgent();
}

TEST_F(AgentE2E, ArgumentNamesTheList) {
  Prepare("argument");
  Start("\"" + dir_ + "my list.txt\"");
  Command(kCommandNext);  // a missing list is created empty at a change
  EXPECT_TRUE(WaitFor([&] { return Exists(dir_ + "my list.txt"); }, 10000));
  EXPECT_FALSE(Exists(dir_ + "list.txt"));
  ExitAgent();
}

TEST_F(AgentE2E, RightPressOpensTheMenuAtTheCursorOffScreenOwner) {
  Prepare("menu");
  Start();
  SetCursorPos(500, 400);
  PostMessageA(window_, kTrayCallbackMessage, kFirstTrayIconId, WM_MOUSEMOVE);
  PostMessageA(window_, kTrayCallbackMessage, kFirstTrayIconId, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        auto menus = WindowsOf(agent_->Id(), "", "#32768", true);
        menu = menus.empty() ? nullptr : menus[0];
        return menu != nullptr;
      },
      10000));
  RECT menu_rect, window_rect;
  GetWindowRect(menu, &menu_rect);
  GetWindowRect(window_, &window_rect);
  EXPECT_EQ(menu_rect.left, 500);
  EXPECT_EQ(menu_rect.top, 400);
  EXPECT_LE(window_rect.right, 0) << "the owner is shown off the screen";
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowsOf(agent_->Id(), "", "#32768", true).empty(); }, 10000));
  ExitAgent();
}

TEST_F(AgentE2E, NextLaunchesTheApplierWithTheNextEntry) {
  Prepare("next", {"vistrel_agent.exe", "vistrel.exe"});
  const std::string first = test::Bmp24(5, 3, 1);
  const std::string second = test::Bmp24(7, 2, 9);
  test::WriteBytes(dir_ + "a.bmp", first);
  test::WriteBytes(dir_ + "b b.bmp", second);
  test::WriteBytes(dir_ + "list.txt", "3" + dir_ + "a.bmp\r\n2" + dir_ + "b b.bmp\r\n");
  WriteSettings("LastIndex=1\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  WriteDesktopValue("WallpaperStyle", "before");
  WriteDesktopValue("TileWallpaper", "before");
  Start();
  Command(kCommandNext);
  EXPECT_TRUE(WaitFor([&] { return FileBytes(dir_ + "vistrel_wlp.bmp") == second; }, 30000))
      << "line 2 was applied";
  EXPECT_TRUE(WaitFor([&] { return ReadDesktopValue("TileWallpaper") == "1"; }, 10000));
  EXPECT_EQ(ReadDesktopValue("WallpaperStyle"), "0") << "style letter 2: tiled";
  EXPECT_EQ(Setting(dir_, "LastIndex"), "2") << "remembered by default";
  ExitAgent();
}

TEST_F(AgentE2E, PreviousPutsBackThePictureBeforeAlsoAfterARestart) {
  Prepare("previous", {"vistrel_agent.exe", "vistrel.exe"});
  const std::string pictures[] = {test::Bmp24(5, 3, 1), test::Bmp24(7, 2, 9), test::Bmp24(3, 3, 4)};
  std::string list;
  for (int i = 0; i < 3; ++i) {
    const std::string name = dir_ + "p" + std::to_string(i) + ".bmp";
    test::WriteBytes(name, pictures[i]);
    list += "1" + name + "\r\n";
  }
  test::WriteBytes(dir_ + "list.txt", list);
  WriteSettings("LastIndex=0\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  auto shows = [&](int i) {
    return WaitFor([&] { return FileBytes(dir_ + "vistrel_wlp.bmp") == pictures[i]; }, 30000);
  };
  Start();
  Command(kCommandNext);
  ASSERT_TRUE(shows(0));
  Command(kCommandNext);
  ASSERT_TRUE(shows(1));
  Command(kCommandNext);
  ASSERT_TRUE(shows(2));
  Command(kCommandPrevious);
  EXPECT_TRUE(shows(1)) << "the picture before the current one";
  ExitAgent();

  Start();
  // The hot key's message, as the system sends it for the Previous key.
  PostMessageA(window_, WM_HOTKEY, kHotKeyPrevious, 0);
  EXPECT_TRUE(shows(0)) << "the history survived the restart";
  ExitAgent();
  EXPECT_EQ(Setting(dir_, "LastIndex"), "1");
}

TEST_F(AgentE2E, ShuffleShowsEveryEntryOncePerRoundAcrossARestart) {
  Prepare("shuffle", {"vistrel_agent.exe", "vistrel.exe"});
  std::vector<std::string> pictures;
  std::string list;
  for (int i = 0; i < 4; ++i) {
    pictures.push_back(test::Bmp24(2 + i, 2, static_cast<unsigned>(i)));
    const std::string name = dir_ + "s" + std::to_string(i) + ".bmp";
    test::WriteBytes(name, pictures.back());
    list += "1" + name + "\r\n";
  }
  test::WriteBytes(dir_ + "list.txt", list);
  WriteSettings("RandomWallpaper=2\r\nViewerPath=" + dir_ + "vistrel.exe\r\n");
  // Each change waits for the applier to end, so that the file shows that change's picture.
  auto change = [&]() -> int {
    const std::string before = FileBytes(dir_ + "vistrel_wlp.bmp");
    Command(kCommandNext);
    int shown = -1;
    WaitFor(
        [&] {
          const std::string now = FileBytes(dir_ + "vistrel_wlp.bmp");
          if (now == before) return false;
          for (int i = 0; i < 4; ++i)
            if (now == pictures[static_cast<std::size_t>(i)]) shown = i;
          return shown >= 0;
        },
        30000);
    return shown;
  };
  for (int round = 0; round < 2; ++round) {
    std::vector<int> seen;
    Start();
    seen.push_back(change());
    seen.push_back(change());
    ExitAgent();  // halfway through the round
    Start();
    seen.push_back(change());
    seen.push_back(change());
    ExitAgent();
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3})) << "round " << round;
  }
  EXPECT_NE(Setting(dir_, "ShuffleSeed"), "<none>");
  EXPECT_EQ(Setting(dir_, "ShufflePosition"), "4");
}

// The program file carries both icon groups, the common-controls manifest and a version.
TEST(AgentProgramFile, ResourcesAreInTheExecutable) {
  HMODULE module =
      LoadLibraryExA(ProgramPath("vistrel_agent.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindResourceA(module, "ACTIVE", MAKEINTRESOURCEA(14)), nullptr);
  EXPECT_NE(FindResourceA(module, "inactive", MAKEINTRESOURCEA(14)), nullptr);
  HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest, nullptr);
  std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                   SizeofResource(module, manifest));
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr) << "version";
  FreeLibrary(module);
}

}  // namespace
}  // namespace vistrel::e2e
