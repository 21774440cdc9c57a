// The agent's window in this process: start-up state, mouse, menu commands, reload and exit.
// The shell, launching, message boxes and the desktop are replaced by recorders.
#include "agent/win32/agent_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "agent/win32/agent_ids.h"
#include "common/shared_names.h"
#include "platform/profile.h"
#include "tests/support/fake_services.h"
#include "tests/support/test_support.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/application.h"

namespace vistrel {
namespace {

using test::NotifyCall;
using test::PumpMessages;
using test::PumpUntil;

// Answers RegisterHotKey for the agent: the ids in `taken` belong to another program.
class RecordingHotKeys : public HotKeyRegistrar {
 public:
  bool Register(HWND window, int id, UINT modifiers, UINT virtual_key) override {
    windows.push_back(window);
    asked.push_back({modifiers, virtual_key});
    return taken.count(id) == 0;
  }
  void Unregister(HWND, int) override {}

  std::vector<HWND> windows;
  std::vector<std::pair<UINT, UINT>> asked;
  std::set<int> taken;
};

// The average colour of an icon's opaque pixels.
struct Colour {
  int R = 0, G = 0, B = 0;
};

Colour AverageColour(HICON icon) {
  Colour average;
  int size = 0;
  const std::vector<unsigned char> pixels = test::IconPixels(icon, size);
  int n = 0;
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    if (pixels[i + 3] < 128) continue;
    average.B += pixels[i];
    average.G += pixels[i + 1];
    average.R += pixels[i + 2];
    ++n;
  }
  if (n) average = {average.R / n, average.G / n, average.B / n};
  return average;
}

bool LooksGreen(const Colour& c) {
  return c.G > c.R + 50 && c.G > c.B + 50;
}
bool LooksGrey(const Colour& c) {
  return std::abs(c.R - c.G) < 20 && std::abs(c.G - c.B) < 20 && c.G > 60;
}

class AgentWindowTest : public testing::Test {
 protected:
  void Start(const std::string& name, const std::string& ini = "") {
    dir_ = test::FreshDir("agent_window_" + name);
    if (!ini.empty()) test::WriteBytes(dir_ + "vistrel.ini", "[Settings]\r\n" + ini);
    Create();
  }
  // The agent over the files in dir_; a relative applier path is looked for in program_directory.
  void Create(const std::string& program_directory = "") {
    AgentOptions options;
    options.list_path = dir_ + "list.txt";
    options.settings_path = dir_ + "vistrel.ini";
    options.history_path = dir_ + "history.txt";
    options.program_directory = program_directory;
    UseFakes(options);
    agent_ = std::make_unique<AgentWindow>(std::move(options));
  }
  // The recorders in place of the system; the real hot keys unless a test gives its own.
  void UseFakes(AgentOptions& options) {
    options.services.desktop = &desktop_;
    options.services.launcher = &launcher_;
    options.services.message_boxes = &message_boxes_;
    options.services.clock = &clock_;
    options.services.shell_notify = recorder_.Function();
    options.services.tray_icons = icons_.Functions();
    if (hot_keys_) options.services.hot_keys = hot_keys_;
  }

  void TearDown() override {
    agent_.reset();
    test::TakeQuitMessage();
  }

  HWND Handle() { return agent_->Window().Handle(); }
  void Press(UINT what) {
    SendMessageA(Handle(), kTrayCallbackMessage, agent_->Tray()->Id(), what);
  }
  // Sent, then the messages pumped until the applier it may have started has been seen to end.
  void Command(AgentCommand command) { Send(WM_COMMAND, command); }
  void Send(UINT message, WPARAM wparam) {
    SendMessageA(Handle(), message, wparam, 0);
    EXPECT_TRUE(test::PumpUntil([&] { return !agent_->ChangePending(); }));
  }
  std::string Tooltip() { return agent_->Tray()->Tooltip(); }
  std::string Stored(const char* key) {
    return ProfileReadString(dir_ + "vistrel.ini", "Settings", key, "<none>");
  }
  // The only box shown is a warning owned by the agent window, with this text.
  void ExpectOneWarning(const std::string& text) {
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].owner, Handle());
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_EQ(boxes_[0].style, 0x30u);
    EXPECT_EQ(boxes_[0].text, text);
  }
  // A list of two pictures that exist, and a stand-in applier file.
  void MakeListAndViewer() {
    test::WriteBytes(dir_ + "one.bmp", "x");
    test::WriteBytes(dir_ + "two.bmp", "x");
    test::WriteBytes(dir_ + "list.txt", "1" + dir_ + "one.bmp\r\n3" + dir_ + "two.bmp\r\n");
    test::WriteBytes(dir_ + "vistrel.exe", "x");
    agent_->State().ViewerPath = dir_ + "vistrel.exe";
  }

  test::NotifyRecorder recorder_;
  test::IconCounter icons_;
  std::string dir_;
  // Declared before the agent, which uses them to its end.
  test::FakeDesktop desktop_;
  test::FakeLauncher launcher_;
  std::vector<std::string>& launches_ = launcher_.launches;
  test::FakeMessageBoxes message_boxes_;
  std::vector<test::ShownBox>& boxes_ = message_boxes_.shown;
  test::FakeClock clock_{ClockTime{1, 2, 3, 4}};
  HotKeyRegistrar* hot_keys_ = nullptr;
  std::unique_ptr<AgentWindow> agent_;
};

TEST_F(AgentWindowTest, HiddenToolWindowFoundByItsCaption) {
  Start("hidden");
  EXPECT_EQ(FindWindowA(nullptr, "Vistrel Agent"), Handle());
  EXPECT_FALSE(IsWindowVisible(Handle()));
  EXPECT_TRUE(GetWindowLongA(Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << "no taskbar button";
  RECT client;
  GetClientRect(Handle(), &client);
  EXPECT_EQ(client.right, 254);
  EXPECT_EQ(client.bottom, 99);
  EXPECT_EQ(MainWindow(), &agent_->Window());

  const char* expected[] = {"About...",         "", "Options...", "Pause", "Next", "Previous",
                            "Remove Wallpaper", "", "Exit"};
  ASSERT_EQ(agent_->Menu()->Count(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(agent_->Menu()->Caption(i), expected[i]) << i;
}

TEST_F(AgentWindowTest, NoSettingsFileStartsPausedWithTheInactiveIcon) {
  Start("no_settings");
  ASSERT_GE(recorder_.calls.size(), 2u);
  const NotifyCall& add = recorder_.calls[0];
  EXPECT_EQ(add.Message, static_cast<DWORD>(NIM_ADD)) << "shown first as built";
  EXPECT_STREQ(add.Data.szTip, L"Vistrel Agent");
  ASSERT_NE(add.Data.hIcon, nullptr);
  EXPECT_NE(add.Data.hIcon, agent_->Tray()->Icon());
  ICONINFO replaced = {};
  EXPECT_FALSE(GetIconInfo(add.Data.hIcon, &replaced)) << "the replaced icon was destroyed";

  EXPECT_TRUE(agent_->Paused());
  EXPECT_FALSE(agent_->RotationTimer()->Enabled());
  EXPECT_TRUE(agent_->Menu()->Checked(agent_->PauseItem()));
  EXPECT_EQ(Tooltip(), "Vistrel Agent [Paused]");
  EXPECT_STREQ(recorder_.Last().Data.szTip, L"Vistrel Agent [Paused]");
  EXPECT_TRUE(LooksGrey(AverageColour(agent_->Tray()->Icon()))) << "INACTIVE";
  EXPECT_EQ(agent_->State().Interval, 5);
  EXPECT_EQ(agent_->State().ListPath, dir_ + "list.txt");
  EXPECT_FALSE(test::PumpUntil([&] { return recorder_.Count(NIM_MODIFY) > 10; }, 1500))
      << "paused: no countdown";
}

TEST_F(AgentWindowTest, APausedStartAndASecondStartSayHowTheAgentStands) {
  Start("state_paused");
  EXPECT_STREQ(recorder_.Last().Data.szInfoTitle, L"Vistrel Agent");
  EXPECT_STREQ(recorder_.Last().Data.szInfo,
               L"Paused. A left click on this icon starts changing the wallpaper.");
  agent_.reset();
  const std::size_t calls = recorder_.calls.size();
  Start("state_running", "Paused=0\r\nInterval=2\r\n");
  for (std::size_t i = calls; i < recorder_.calls.size(); ++i)
    EXPECT_STREQ(recorder_.calls[i].Data.szInfo, L"") << "a running start says nothing";
  Send(kAgentShowStateMessage, 0);  // what a second start posts before it ends
  EXPECT_STREQ(recorder_.Last().Data.szInfoTitle, L"Already running:");
  EXPECT_STREQ(recorder_.Last().Data.szInfo, L"The next wallpaper comes in 2 min.");
}

TEST_F(AgentWindowTest, NotPausedStartsTheCountdown) {
  Start("running", "Paused=0\r\nInterval=2\r\n");
  EXPECT_FALSE(agent_->Paused());
  EXPECT_TRUE(agent_->RotationTimer()->Enabled());
  EXPECT_EQ(agent_->RotationTimer()->Interval(), 1000);
  EXPECT_FALSE(agent_->Menu()->Checked(agent_->PauseItem()));
  EXPECT_TRUE(LooksGreen(AverageColour(agent_->Tray()->Icon())));
  EXPECT_EQ(Tooltip(), "Vistrel Agent") << "until the first tick";
  ASSERT_TRUE(PumpUntil([&] { return agent_->State().ElapsedSeconds >= 1; }, 5000));
  EXPECT_EQ(Tooltip(), "Vistrel Agent [2 min]") << "119 seconds left";
}

TEST_F(AgentWindowTest, LeftPressTogglesPauseAndResumesWhereItStopped) {
  Start("left");
  agent_->State().ElapsedSeconds = 100;
  Press(WM_LBUTTONDOWN);
  EXPECT_FALSE(agent_->Paused());
  EXPECT_FALSE(agent_->Menu()->Checked(agent_->PauseItem()));
  EXPECT_EQ(Tooltip(), "Vistrel Agent [3 min]") << "200 seconds left";
  EXPECT_TRUE(LooksGreen(AverageColour(agent_->Tray()->Icon())));
  Press(WM_LBUTTONDOWN);
  EXPECT_TRUE(agent_->Paused());
  EXPECT_TRUE(agent_->Menu()->Checked(agent_->PauseItem()));
  EXPECT_EQ(Tooltip(), "Vistrel Agent [Paused]");
  EXPECT_TRUE(LooksGrey(AverageColour(agent_->Tray()->Icon())));
  EXPECT_EQ(agent_->State().ElapsedSeconds, 100);
  Command(kCommandPause);
  EXPECT_FALSE(agent_->Paused()) << "the menu item does the same";
  Press(WM_LBUTTONUP);
  Press(WM_LBUTTONDBLCLK);
  EXPECT_FALSE(agent_->Paused()) << "releases and double clicks do nothing";
}

struct MenuLook {
  static MenuLook* current;
  HWND agent = nullptr;
  HWND menu = nullptr;
  RECT menu_rect = {};
  RECT agent_rect = {};
  bool agent_visible = false;
  HWND foreground = nullptr;
  static void CALLBACK Look(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    MenuLook& look = *current;
    look.menu = test::OpenMenuWindow();
    if (look.menu) GetWindowRect(look.menu, &look.menu_rect);
    GetWindowRect(look.agent, &look.agent_rect);
    look.agent_visible = IsWindowVisible(look.agent) != FALSE;
    look.foreground = GetForegroundWindow();
    EndMenu();
  }
};
MenuLook* MenuLook::current = nullptr;

TEST_F(AgentWindowTest, RightPressOpensTheMenuAtTheCursorWithTheWindowOffScreen) {
  Start("right");
  MenuLook look;
  look.agent = Handle();
  MenuLook::current = &look;
  SetCursorPos(400, 300);
  SetTimer(nullptr, 0, 300, &MenuLook::Look);
  Press(WM_RBUTTONDOWN);
  ASSERT_NE(look.menu, nullptr) << "the menu opened on the press";
  EXPECT_EQ(look.menu_rect.left, 400);
  EXPECT_EQ(look.menu_rect.top, 300);
  EXPECT_TRUE(look.agent_visible);
  EXPECT_LE(look.agent_rect.right, 0) << "shown, but wholly left of the screen";
  EXPECT_EQ(look.agent_rect.right - look.agent_rect.left,
            agent_->Window().Bounds().right - agent_->Window().Bounds().left);
  EXPECT_EQ(look.foreground, Handle());
  EXPECT_FALSE(IsWindowVisible(Handle()))
      << "hidden again once the menu has closed: x = -300 is on screen with a monitor to the left";
  Press(WM_MBUTTONDOWN);  // nothing
  EXPECT_TRUE(agent_->Paused());
}

TEST_F(AgentWindowTest, NextWhilePausedChangesAtOnceAndStaysPaused) {
  Start("next_paused");
  MakeListAndViewer();
  Command(kCommandNext);
  ASSERT_EQ(launches_, std::vector<std::string>{dir_ + "vistrel.exe|\"3" + dir_ + "two.bmp\""});
  EXPECT_TRUE(agent_->Paused());
  EXPECT_EQ(Tooltip(), "Vistrel Agent [Paused]");
  EXPECT_TRUE(LooksGrey(AverageColour(agent_->Tray()->Icon())));
  EXPECT_EQ(Stored("LastIndex"), "2");
  const NotifyCall& balloon = recorder_.Last();
  EXPECT_EQ(balloon.Data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(balloon.Data.szInfoTitle, L"New wallpaper:");
  EXPECT_STREQ(balloon.Data.szInfo, L"two.bmp");
  EXPECT_EQ(balloon.Data.uTimeout, 3000u);
  EXPECT_EQ(balloon.Data.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
}

// The line reaches the applier whole and the balloon names the file as it is, in any language.
TEST_F(AgentWindowTest, NamesInAnyLanguageReachTheApplierAndTheBalloonWhole) {
  Start("names");
  const std::string name = "\xF0\x9F\x8C\x85 \xE6\x9D\xB1\xE4\xBA\xAC.bmp";  // sunrise, Tokyo
  test::WriteBytes(dir_ + name, "x");
  test::WriteBytes(dir_ + "list.txt",
                   "\xEF\xBB\xBF"
                   "2" +
                       dir_ + name + "\r\n");
  test::WriteBytes(dir_ + "vistrel.exe", "x");
  agent_->State().ViewerPath = dir_ + "vistrel.exe";
  Command(kCommandNext);
  ASSERT_EQ(launches_, std::vector<std::string>{dir_ + "vistrel.exe|\"2" + dir_ + name + "\""});
  EXPECT_STREQ(recorder_.Last().Data.szInfo, L"\U0001F305 \u6771\u4EAC.bmp");
}

TEST_F(AgentWindowTest, ADisplayChangeOfSizeAppliesTheStretchedPictureAgain) {
  desktop_.screen_width = 1920;
  desktop_.screen_height = 1080;
  Start("display_change");
  MakeListAndViewer();
  Command(kCommandNext);
  const std::string stretched = dir_ + "vistrel.exe|\"3" + dir_ + "two.bmp\"";
  ASSERT_EQ(launches_, std::vector<std::string>{stretched});
  Send(WM_DISPLAYCHANGE, 32);
  EXPECT_EQ(launches_.size(), 1u) << "the colour depth alone changed";
  desktop_.screen_width = 1280;
  desktop_.screen_height = 1024;
  Send(WM_DISPLAYCHANGE, 32);
  EXPECT_EQ(launches_, (std::vector<std::string>{stretched, stretched}));
  EXPECT_EQ(Stored("LastIndex"), "2") << "the rotation did not move on";
}

TEST_F(AgentWindowTest, EachMonitorGetsAPictureAndAMovedMonitorGetsThemAgainOnce) {
  desktop_.monitors = {{0, 0, 1920, 1080, true}, {1920, 0, 1080, 1920, false}};
  Start("monitors");
  MakeListAndViewer();
  agent_->State().monitor_mode = MonitorMode::kEachMonitor;
  Command(kCommandNext);
  const std::string both = dir_ + "vistrel.exe|\"3" + dir_ + "two.bmp\" \"1" + dir_ + "one.bmp\"";
  ASSERT_EQ(launches_, std::vector<std::string>{both});
  // Moved to the left: the work area and the display each tell of it.
  desktop_.monitors[1].x = -1080;
  Send(WM_SETTINGCHANGE, SPI_SETWORKAREA);
  Send(WM_DISPLAYCHANGE, 32);
  EXPECT_EQ(launches_, (std::vector<std::string>{both, both}));
  EXPECT_EQ(Stored("LastIndex"), "1") << "the rotation did not move on";
}

TEST_F(AgentWindowTest, PreviousPutsBackThePictureBeforeAndSurvivesARestart) {
  Start("previous");
  MakeListAndViewer();
  Command(kCommandPrevious);
  EXPECT_TRUE(launches_.empty()) << "nothing shown before";
  Command(kCommandNext);  // two.bmp
  Command(kCommandNext);  // one.bmp
  ASSERT_EQ(launches_.size(), 2u);
  Command(kCommandPrevious);
  ASSERT_EQ(launches_.size(), 3u);
  EXPECT_EQ(launches_[2], dir_ + "vistrel.exe|\"3" + dir_ + "two.bmp\"");
  EXPECT_EQ(agent_->State().LastIndex, 2) << "the rotation goes on from the picture put back";
  EXPECT_EQ(Stored("LastIndex"), "2");
  Command(kCommandPrevious);
  EXPECT_EQ(launches_.size(), 3u) << "nothing before the first";

  Command(kCommandNext);  // one.bmp
  Command(kCommandNext);  // two.bmp
  const std::string viewer = agent_->State().ViewerPath;
  agent_.reset();
  launches_.clear();
  Create();  // a restart in the same folder
  agent_->State().ViewerPath = viewer;
  Command(kCommandPrevious);
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_EQ(launches_[0], dir_ + "vistrel.exe|\"1" + dir_ + "one.bmp\"");
}

TEST_F(AgentWindowTest, HotKeysRunNextAndPreviousAndATakenOneIsNamedInTheAbout) {
  RecordingHotKeys hot_keys;
  hot_keys.taken = {kHotKeyPrevious};  // Previous's key belongs to another program
  hot_keys_ = &hot_keys;
  Start("hot_keys");
  EXPECT_EQ(hot_keys.windows, (std::vector<HWND>{Handle(), Handle()}));
  EXPECT_EQ(hot_keys.asked,
            (std::vector<std::pair<UINT, UINT>>{{MOD_CONTROL | MOD_ALT | MOD_WIN, 'N'},
                                                {MOD_CONTROL | MOD_ALT | MOD_WIN, 'P'}}));
  MakeListAndViewer();
  Send(WM_HOTKEY, kHotKeyNext);
  Send(WM_HOTKEY, kHotKeyNext);
  ASSERT_EQ(launches_.size(), 2u);
  Send(WM_HOTKEY, kHotKeyPrevious);
  ASSERT_EQ(launches_.size(), 3u);
  EXPECT_EQ(launches_[2], launches_[0]);

  Command(kCommandAbout);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("Hot key Ctrl+Alt+Win+P (Previous) is taken by another program; "
                                "Previous works from the menu only."),
            std::string::npos)
      << boxes_[0].text;
  EXPECT_EQ(boxes_[0].text.find("(Next)"), std::string::npos) << "the Next key was had";
}

TEST_F(AgentWindowTest, HotKeysFromTheSettingsFileOrSwitchedOff) {
  RecordingHotKeys hot_keys;
  hot_keys_ = &hot_keys;
  Start("hot_keys_ini", "NextHotKey=Shift+Win+F9\r\nPreviousHotKey=None\r\n");
  EXPECT_EQ(hot_keys.asked, (std::vector<std::pair<UINT, UINT>>{{MOD_SHIFT | MOD_WIN, VK_F9}}));
  agent_.reset();
  hot_keys.asked.clear();
  Start("hot_keys_bad", "NextHotKey=Ctrl+Hyper+N\r\n");
  EXPECT_EQ(hot_keys.asked.size(), 1u) << "only Previous's default";
  Command(kCommandAbout);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("NextHotKey=Ctrl+Hyper+N in vistrel.ini is not understood"),
            std::string::npos)
      << boxes_[0].text;
}

TEST_F(AgentWindowTest, RealHotKeyTakenByAnotherWindowLeavesTheAgentWorking) {
  // Another program's window holds the default Next key.
  HWND other = CreateWindowA("STATIC", "other", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  const bool held = RegisterHotKey(other, 77, MOD_CONTROL | MOD_ALT | MOD_WIN, 'N') != FALSE;
  Start("hot_key_taken");
  EXPECT_TRUE(IsWindow(Handle()));
  Command(kCommandAbout);
  ASSERT_EQ(boxes_.size(), 1u);
  if (held) {
    EXPECT_NE(boxes_[0].text.find("Hot key Ctrl+Alt+Win+N (Next) is taken"), std::string::npos)
        << boxes_[0].text;
  }
  EXPECT_EQ(boxes_[0].text.find("(Previous)"), std::string::npos) << "its own key was free";
  agent_.reset();
  UnregisterHotKey(other, 77);
  DestroyWindow(other);
}

TEST_F(AgentWindowTest, FullScreenProgramHoldsTheCountdownLikeTheScreenSaverRule) {
  desktop_.notification_state = 3;  // a full-screen Direct3D program
  Start("quiet", "Paused=0\r\nInterval=2\r\n");
  MakeListAndViewer();
  PumpMessages(2500);
  EXPECT_EQ(agent_->State().ElapsedSeconds, 0) << "the timer ran, the countdown held";
  EXPECT_EQ(Tooltip(), "Vistrel Agent");
  desktop_.notification_state = 5;  // accepting notifications again
  ASSERT_TRUE(PumpUntil([&] { return agent_->State().ElapsedSeconds >= 1; }, 5000));
  desktop_.notification_state = 2;
  Command(kCommandNext);
  EXPECT_EQ(launches_.size(), 1u) << "Next still changes at once";
}

TEST(AgentServicesTest, TheShellsAnswerIsLookedUpAtRunTime) {
  // Found in shell32 by name; this test desktop runs no full-screen program.
  const int state = SystemDesktop().UserNotificationState();
  EXPECT_GE(state, 0);
  EXPECT_LE(state, 7);
  EXPECT_FALSE(ShellWantsQuiet(state)) << state;
}

TEST_F(AgentWindowTest, MissingApplierWarnsFromTheAgentWindowAndStoresNoIndex) {
  Start("no_viewer");
  MakeListAndViewer();
  agent_->State().ViewerPath = dir_ + "gone.exe";
  Command(kCommandNext);
  ASSERT_NO_FATAL_FAILURE(
      ExpectOneWarning("Cannot find \"" + dir_ + "gone.exe\" - cannot change wallpaper."));
  EXPECT_TRUE(launches_.empty());
  EXPECT_EQ(Stored("LastIndex"), "<none>");
}

TEST_F(AgentWindowTest, ReloadMessageRereadsSettingsAndLastIndexOnlyWhenAsked) {
  Start("reload", "Interval=15\r\nLastIndex=1\r\n");
  int later_hook_saw = 0;
  agent_->Window().AddMessageHook([&](WindowMessage& m) {
    later_hook_saw += m.message == kAgentReloadMessage;
    return false;
  });
  agent_->State().ElapsedSeconds = 50;
  test::WriteBytes(dir_ + "vistrel.ini",
                   "[Settings]\r\nInterval=20\r\nLastIndex=3\r\nRandomWallpaper=1\r\n");
  SendMessageA(Handle(), kAgentReloadMessage, 0, 0);
  EXPECT_EQ(agent_->State().Interval, 20);
  EXPECT_EQ(agent_->State().ElapsedSeconds, 0);
  EXPECT_EQ(agent_->State().LastIndex, 1) << "first parameter 0";
  EXPECT_TRUE(agent_->State().RandomWallpaper);
  EXPECT_TRUE(agent_->Paused()) << "the pause state is kept";
  EXPECT_EQ(later_hook_saw, 1) << "left unhandled";
  SendMessageA(Handle(), kAgentReloadMessage, 1, 0);
  EXPECT_EQ(agent_->State().LastIndex, 3);

  Command(kCommandAbout);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].owner, nullptr);
  EXPECT_EQ(boxes_[0].caption, "Vistrel Agent");
  EXPECT_EQ(boxes_[0].style, 0x40u);
  EXPECT_EQ(boxes_[0].text.rfind("Vistrel Agent 1.0\n\r\n\rTimer interval: 20 min.", 0), 0u);
}

TEST_F(AgentWindowTest, ExitStoresTheStateAndEndsTheMessageLoop) {
  Start("exit", "RememberLast=0\r\nLastIndex=4\r\n");
  Command(kCommandExit);
  EXPECT_TRUE(IsWindow(Handle())) << "the close is posted";
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(Stored("LastIndex"), "1") << "not remembered";
  EXPECT_EQ(Stored("Paused"), "1");
  EXPECT_EQ(recorder_.Last().Message, static_cast<DWORD>(NIM_DELETE)) << "the icon leaves";
  EXPECT_FALSE(agent_->Window().HasHandle());
  EXPECT_EQ(agent_->Tray(), nullptr);
}

TEST_F(AgentWindowTest, ExitWhileRunningRemembersTheIndex) {
  Start("exit_running", "Paused=0\r\nLastIndex=4\r\n");
  agent_->State().LastIndex = 6;
  Command(kCommandExit);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(Stored("LastIndex"), "6");
  EXPECT_EQ(Stored("Paused"), "0");
}

TEST_F(AgentWindowTest, EndOfSessionStoresWhatClosingStores) {
  Start("end_session", "Paused=1\r\nLastIndex=4\r\nRememberLast=1\r\n");
  Press(WM_LBUTTONDOWN);  // resumed by the user
  ASSERT_FALSE(agent_->Paused());
  agent_->State().LastIndex = 6;
  // Logoff asks first, then ends the session; the window is never closed.
  SendMessageA(Handle(), WM_QUERYENDSESSION, 0, 0);
  EXPECT_EQ(Stored("Paused"), "1") << "nothing stored until the session really ends";
  SendMessageA(Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(Stored("Paused"), "1") << "a logoff that was cancelled stores nothing";
  SendMessageA(Handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(Stored("Paused"), "0");
  EXPECT_EQ(Stored("LastIndex"), "6");
  EXPECT_TRUE(IsWindow(Handle()));
}

TEST_F(AgentWindowTest, OptionsStartsTheApplierBesideTheAgent) {
  dir_ = test::FreshDir("agent_window_options_beside");
  const std::string elsewhere = test::FreshDir("agent_window_options_cwd");
  test::WriteBytes(dir_ + "vistrel.exe", "x");
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));
  Create(dir_);
  EXPECT_EQ(agent_->State().ViewerPath, "vistrel.exe") << "stored as read";
  Command(kCommandOptions);
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(launches_, std::vector<std::string>{dir_ + "vistrel.exe|"});
}

TEST_F(AgentWindowTest, OptionsStartsTheApplierOrWarnsAndOpensTheSettingsFile) {
  Start("options");
  MakeListAndViewer();
  Command(kCommandOptions);
  EXPECT_EQ(launches_, std::vector<std::string>{dir_ + "vistrel.exe|"});
  EXPECT_TRUE(boxes_.empty());

  launches_.clear();
  agent_->State().ViewerPath = dir_ + "gone.exe";
  Command(kCommandOptions);
  ASSERT_NO_FATAL_FAILURE(ExpectOneWarning("Cannot find \"" + dir_ +
                                           "gone.exe\" - configuration GUI is not available."));
  EXPECT_EQ(launches_, std::vector<std::string>{dir_ + "vistrel.ini|"});
}

TEST_F(AgentWindowTest, RemoveWallpaperLeavesTheRotationAlone) {
  Start("remove", "Paused=0\r\n");
  agent_->State().ElapsedSeconds = 30;
  Command(kCommandRemoveWallpaper);
  EXPECT_EQ(desktop_.Removals(), 1);
  EXPECT_FALSE(agent_->Paused());
  EXPECT_EQ(agent_->State().ElapsedSeconds, 30);
}

// Every toggle copies an icon and must destroy the one before, so none add up however long the
// agent runs.
TEST_F(AgentWindowTest, PauseTogglesDestroyEveryIconTheyCopy) {
  Start("toggles");
  recorder_.calls.clear();
  const int created_at_start = icons_.created;
  ASSERT_GE(created_at_start, 1) << "the start-up icon is the tray's own copy";
  ASSERT_EQ(icons_.live.size(), 1u);
  constexpr int kToggles = 200;
  for (int i = 0; i < kToggles; ++i) Press(WM_LBUTTONDOWN);
  PumpMessages(20);
  EXPECT_EQ(icons_.created, created_at_start + kToggles) << "one copy per toggle";
  EXPECT_EQ(icons_.destroyed, icons_.created - 1) << "all but the one shown are destroyed";
  ASSERT_EQ(icons_.live.size(), 1u);
  EXPECT_EQ(*icons_.live.begin(), agent_->Tray()->Icon());
  EXPECT_EQ(recorder_.Count(NIM_ADD), 0) << "every icon change was a modification";
  agent_.reset();
  EXPECT_EQ(icons_.destroyed, icons_.created) << "the last one goes with the agent";
  EXPECT_TRUE(icons_.live.empty());
  EXPECT_EQ(icons_.foreign_destroys, 0);
}

// The icons the program carries: two groups, each a 16-colour 16 x 16 image and 32-bit images at
// the tray's sizes from 96 to 192 DPI and beyond.
TEST(AgentResources, IconGroupsHoldA16ColourImageAnd32BitImagesForEveryDpi) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE Width, Height, ColourCount, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
  };
  struct GroupHeader {
    WORD Reserved, Type, Count;
  };
#pragma pack(pop)
  for (const char* name : {"ACTIVE", "INACTIVE"}) {
    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr) << name;
    const auto* header =
        static_cast<const GroupHeader*>(LockResource(LoadResource(nullptr, found)));
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    std::vector<std::pair<int, int>> images;
    for (int i = 0; i < header->Count; ++i) {
      EXPECT_EQ(entries[i].Width, entries[i].Height) << name;
      images.emplace_back(entries[i].Width, entries[i].BitCount);
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{
                          {16, 4}, {16, 32}, {20, 32}, {24, 32}, {32, 32}, {40, 32}, {48, 32}}))
        << name;
  }
}

}  // namespace
}  // namespace vistrel
