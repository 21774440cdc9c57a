// The tray icon's protocol towards the shell, recorded instead of sent, and its handlers.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "agent/win32/agent_ids.h"
#include "agent/win32/tray_icon.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/application.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

using test::NotifyCall;
using test::PumpMessages;
using test::PumpUntil;

class TrayIconTest : public testing::Test {
 protected:
  TrayIconTest()
      : owner_(OwnerArgs()), icon_(std::make_unique<TrayIcon>(owner_, recorder_.Function())) {}

  static TopLevelWindowArgs OwnerArgs() {
    TopLevelWindowArgs args;
    args.caption = "tray icon test owner";
    return args;
  }
  void Callback(UINT id, UINT what) {
    SendMessageA(owner_.Handle(), kTrayCallbackMessage, id, what);
  }

  test::NotifyRecorder recorder_;
  TopLevelWindow owner_;
  std::unique_ptr<TrayIcon> icon_;
};

// Run at 96, 144 and 192 DPI by the end-to-end tests: the icon has the small-icon size of the
// DPI (the groups hold an image drawn at each: AgentResources in agent_window_test.cpp) and
// shows the disc.
TEST_F(TrayIconTest, AtThisDpiTheIconHasTheSmallIconSize) {
  test::PerMonitorAware aware;
  const HICON icon = icon_->LoadIconResource("ACTIVE");
  ASSERT_NE(icon, nullptr);
  int size = 0;
  const std::vector<unsigned char> pixels = test::IconPixels(icon, size);
  ASSERT_FALSE(pixels.empty());
  EXPECT_EQ(size, GetSystemMetrics(SM_CXSMICON));
  if (const int dpi = test::ExpectedDpi()) {
    EXPECT_EQ(size, MulDiv(16, dpi, 96));
  }
  int opaque = 0;
  for (std::size_t i = 3; i < pixels.size(); i += 4) opaque += pixels[i] == 255;
  EXPECT_GT(opaque, size * size / 2) << "the disc fills most of it";
}

TEST_F(TrayIconTest, AddingFillsTheRecordAndDeletingUsesTheSameIdentity) {
  icon_->SetTooltip("Vistrel Agent");
  ASSERT_NE(icon_->LoadIconResource("ACTIVE"), nullptr);
  EXPECT_TRUE(recorder_.calls.empty()) << "nothing is sent while the icon is not active";

  icon_->SetActive(true);
  ASSERT_EQ(recorder_.calls.size(), 1u);
  const NotifyCall& add = recorder_.Last();
  EXPECT_EQ(add.Message, static_cast<DWORD>(NIM_ADD));
#ifdef _WIN64
  EXPECT_EQ(add.Data.cbSize, offsetof(NOTIFYICONDATAW, guidItem));
#else
  EXPECT_EQ(add.Data.cbSize, 936u);
#endif
  EXPECT_EQ(add.Data.hWnd, owner_.Handle());
  EXPECT_EQ(add.Data.uID, icon_->Id());
  EXPECT_EQ(add.Data.uFlags, 7u);
  EXPECT_EQ(add.Data.uCallbackMessage, 0x0800u);
  EXPECT_EQ(add.Data.hIcon, icon_->Icon());
  EXPECT_STREQ(add.Data.szTip, L"Vistrel Agent");

  icon_->SetActive(false);
  EXPECT_EQ(recorder_.Last().Message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(recorder_.Last().Data.uID, icon_->Id());
  EXPECT_EQ(recorder_.Last().Data.hWnd, owner_.Handle());
}

TEST_F(TrayIconTest, IdentitiesAreUniqueInTheProcess) {
  TrayIcon second(owner_, recorder_.Function());
  EXPECT_NE(second.Id(), icon_->Id());
  EXPECT_GE(icon_->Id(), kFirstTrayIconId);
}

TEST_F(TrayIconTest, WithoutAnIconActivatingSendsNothingUntilAnIconArrives) {
  icon_->SetActive(true);
  EXPECT_TRUE(icon_->Active());
  EXPECT_TRUE(recorder_.calls.empty());
  // The shell does not know the icon yet, so the modification fails and it is added.
  recorder_.fail_modify = true;
  HICON loaded = icon_->LoadIconResource("active");
  ASSERT_NE(loaded, nullptr) << "names compare without regard to case";
  ASSERT_EQ(recorder_.calls.size(), 2u);
  EXPECT_EQ(recorder_.calls[0].Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(recorder_.calls[0].Data.uFlags, 0x12u) << "NIF_ICON | NIF_INFO";
  EXPECT_STREQ(recorder_.calls[0].Data.szInfo, L"") << "closes a balloon rather than showing one";
  EXPECT_EQ(recorder_.calls[1].Message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(recorder_.calls[1].Data.uFlags, 7u);
  EXPECT_EQ(recorder_.calls[1].Data.hIcon, loaded);
}

TEST_F(TrayIconTest, ChangingTheIconModifiesAndMissingResourcesChangeNothing) {
  icon_->LoadIconResource("ACTIVE");
  icon_->SetActive(true);
  recorder_.calls.clear();
  HICON inactive = icon_->LoadIconResource("inactive");
  ASSERT_NE(inactive, nullptr);
  ASSERT_EQ(recorder_.calls.size(), 1u) << "the modification succeeded: no re-adding";
  EXPECT_EQ(recorder_.Last().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(recorder_.Last().Data.hIcon, inactive);
  EXPECT_EQ(icon_->Icon(), inactive);

  EXPECT_EQ(icon_->LoadIconResource("NO_SUCH_ICON"), nullptr);
  icon_->SetIcon(nullptr);
  EXPECT_EQ(recorder_.calls.size(), 1u);
  EXPECT_EQ(icon_->Icon(), inactive);
}

TEST_F(TrayIconTest, TooltipIsSentWhenActiveAndCutToItsField) {
  icon_->LoadIconResource("ACTIVE");
  icon_->SetActive(true);
  icon_->SetTooltip("Vistrel Agent [5 min]");
  EXPECT_EQ(recorder_.Last().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(recorder_.Last().Data.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_STREQ(recorder_.Last().Data.szTip, L"Vistrel Agent [5 min]");

  icon_->SetTooltip(std::string(200, 'x'));
  EXPECT_EQ(Narrow(recorder_.Last().Data.szTip), std::string(124, 'x') + "...");
  EXPECT_EQ(icon_->Tooltip(), std::string(200, 'x')) << "the full text is kept";

  icon_->SetActive(false);
  std::size_t calls = recorder_.calls.size();
  icon_->SetTooltip("later");
  EXPECT_EQ(recorder_.calls.size(), calls);
  icon_->SetActive(true);
  EXPECT_STREQ(recorder_.Last().Data.szTip, L"later");
}

TEST_F(TrayIconTest, BalloonClampsItsTimeAndEmptiesTheRecordAfterwards) {
  icon_->BalloonTitle = "New wallpaper:";
  icon_->BalloonText = "a.jpg";
  icon_->ShowBalloon(NIIF_INFO, 3);  // also while the icon is not active
  ASSERT_EQ(recorder_.calls.size(), 1u);
  const NotifyCall& shown = recorder_.Last();
  EXPECT_EQ(shown.Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shown.Data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_EQ(shown.Data.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
  EXPECT_EQ(shown.Data.uTimeout, 3000u);
  EXPECT_STREQ(shown.Data.szInfoTitle, L"New wallpaper:");
  EXPECT_STREQ(shown.Data.szInfo, L"a.jpg");
  EXPECT_STREQ(icon_->Data().szInfo, L"");
  EXPECT_STREQ(icon_->Data().szInfoTitle, L"");

  icon_->ShowBalloon(NIIF_INFO, 0);
  EXPECT_EQ(recorder_.Last().Data.uTimeout, 1000u);
  EXPECT_EQ(icon_->DisplayTime(), 1000);
  icon_->ShowBalloon(NIIF_INFO, 99);
  EXPECT_EQ(recorder_.Last().Data.uTimeout, 30000u);

  icon_->BalloonText = std::string(300, 'n');
  icon_->BalloonTitle = std::string(100, 't');
  icon_->ShowBalloon(NIIF_INFO, 3);
  EXPECT_EQ(Narrow(recorder_.Last().Data.szInfo).size(), 255u);
  EXPECT_EQ(Narrow(recorder_.Last().Data.szInfoTitle).size(), 63u);

  icon_->HideBalloon();
  EXPECT_EQ(recorder_.Last().Data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(recorder_.Last().Data.szInfo, L"");
  EXPECT_STREQ(recorder_.Last().Data.szInfoTitle, L"");
}

TEST_F(TrayIconTest, AutoHideRemovesAShownBalloonAfterItsTimeAndRepeatsUntilHidden) {
  icon_->SetAutoHideBalloon(true);
  icon_->BalloonText = "a.jpg";
  icon_->ShowBalloon(NIIF_INFO, 1);
  std::size_t after_show = recorder_.calls.size();
  Callback(icon_->Id() + 100, NIN_BALLOONSHOW);
  EXPECT_FALSE(icon_->HideTimerRunning()) << "another icon's balloon";
  Callback(icon_->Id(), NIN_BALLOONSHOW);
  EXPECT_TRUE(icon_->HideTimerRunning());
  PumpMessages(500);
  EXPECT_EQ(recorder_.calls.size(), after_show) << "not before the display time";
  ASSERT_TRUE(PumpUntil([&] { return recorder_.calls.size() > after_show; }, 3000));
  EXPECT_EQ(recorder_.Last().Data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(recorder_.Last().Data.szInfo, L"");
  // No notification came back: the hide is asked for again.
  ASSERT_TRUE(PumpUntil([&] { return recorder_.calls.size() > after_show + 1; }, 3000));
  Callback(icon_->Id(), NIN_BALLOONHIDE);
  EXPECT_FALSE(icon_->HideTimerRunning());
  std::size_t after_hide = recorder_.calls.size();
  PumpMessages(1300);
  EXPECT_EQ(recorder_.calls.size(), after_hide);

  Callback(icon_->Id(), NIN_BALLOONSHOW);
  Callback(icon_->Id(), NIN_BALLOONUSERCLICK);
  EXPECT_FALSE(icon_->HideTimerRunning());

  icon_->SetAutoHideBalloon(false);
  Callback(icon_->Id(), NIN_BALLOONSHOW);
  EXPECT_FALSE(icon_->HideTimerRunning());
}

TEST_F(TrayIconTest, TaskbarRecreationAddsActiveIconsAgain) {
  const UINT taskbar_created = RegisterWindowMessageA("TaskbarCreated");
  icon_->LoadIconResource("ACTIVE");
  icon_->SetTooltip("Vistrel Agent [3 min]");
  icon_->SetActive(true);
  recorder_.calls.clear();
  SendMessageA(owner_.Handle(), taskbar_created, 0, 0);
  ASSERT_EQ(recorder_.calls.size(), 2u);
  EXPECT_EQ(recorder_.calls[0].Message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(recorder_.calls[1].Message, static_cast<DWORD>(NIM_ADD));
  EXPECT_STREQ(recorder_.calls[1].Data.szTip, L"Vistrel Agent [3 min]");
  EXPECT_EQ(recorder_.calls[1].Data.uCallbackMessage, kTrayCallbackMessage);

  icon_->SetActive(false);
  recorder_.calls.clear();
  SendMessageA(owner_.Handle(), taskbar_created, 0, 0);
  EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(TrayIconTest, MousePressesReportTheButtonAndTheLastCursorPoint) {
  SetMainWindow(&owner_);
  std::vector<TrayMouseInfo> presses;
  std::vector<TopLevelWindow*> senders;
  icon_->SetOnMouseDown([&](TopLevelWindow* sender, const TrayMouseInfo& info) {
    senders.push_back(sender);
    presses.push_back(info);
  });
  int later_hook_saw = 0;
  owner_.AddMessageHook([&](WindowMessage& m) {
    later_hook_saw += m.message == kTrayCallbackMessage;
    return false;
  });

  SetCursorPos(300, 200);
  Callback(icon_->Id(), WM_MOUSEMOVE);
  SetCursorPos(10, 10);  // a press uses the point of the last move, not the cursor now
  Callback(icon_->Id(), WM_RBUTTONDOWN);
  Callback(icon_->Id(), WM_LBUTTONDOWN);
  Callback(icon_->Id(), WM_MBUTTONDOWN);
  Callback(icon_->Id(), WM_LBUTTONUP);
  Callback(icon_->Id(), WM_LBUTTONDBLCLK);
  Callback(icon_->Id() + 1, WM_LBUTTONDOWN);
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0].Button, 2);
  EXPECT_EQ(presses[1].Button, 1);
  EXPECT_EQ(presses[2].Button, 3);
  POINT cursor;
  GetCursorPos(&cursor);
  ASSERT_EQ(cursor.x, 10) << "the display lets the test move the cursor";
  EXPECT_EQ(presses[0].X, 300);
  EXPECT_EQ(presses[0].Y, 200);
  EXPECT_EQ(senders[0], &owner_) << "the application's main window";
  EXPECT_EQ(later_hook_saw, 7) << "every callback goes on to the window";
  SetMainWindow(nullptr);
}

TEST_F(TrayIconTest, DestroyingDeletesTheIconAndDetachesItsHandlers) {
  icon_->LoadIconResource("ACTIVE");
  icon_->SetActive(true);
  icon_->SetAutoHideBalloon(true);
  int presses = 0;
  icon_->SetOnMouseDown([&](TopLevelWindow*, const TrayMouseInfo&) { ++presses; });
  UINT id = icon_->Id();
  Callback(id, NIN_BALLOONSHOW);
  icon_.reset();
  EXPECT_EQ(recorder_.Last().Message, static_cast<DWORD>(NIM_DELETE));
  std::size_t calls = recorder_.calls.size();
  Callback(id, WM_LBUTTONDOWN);
  Callback(id, NIN_BALLOONSHOW);
  SendMessageA(owner_.Handle(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  PumpMessages(1200);
  EXPECT_EQ(presses, 0);
  EXPECT_EQ(recorder_.calls.size(), calls);
}

}  // namespace
}  // namespace vistrel
