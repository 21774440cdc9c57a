// The toolkit's windows, hooks, timers and menus, with real windows in this process.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/exception.h"
#include "tests/win32/agent_test_support.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/popup_menu.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

using test::PumpMessages;
using test::PumpUntil;

constexpr UINT kProbe = WM_APP + 7;

TopLevelWindowArgs Args(const std::string& caption = "toolkit test") {
  TopLevelWindowArgs args;
  args.caption = caption;
  return args;
}

TEST(ToolkitWindow, ObjectIsBoundToItsHandleAndHooksSeeMessagesInOrder) {
  TopLevelWindow window(Args());
  ASSERT_TRUE(window.HasHandle());
  EXPECT_EQ(GetWindowLongPtrA(window.Handle(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));

  std::vector<std::string> seen;
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == kProbe) seen.push_back("first " + std::to_string(m.wparam));
    return false;
  });
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message != kProbe) return false;
    seen.push_back("second");
    if (m.wparam != 2) return false;
    m.result = 42;
    return true;
  });
  window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == kProbe) seen.push_back("third");
    return false;
  });
  EXPECT_EQ(SendMessageA(window.Handle(), kProbe, 1, 0), 0) << "unhandled: default processing";
  EXPECT_EQ(SendMessageA(window.Handle(), kProbe, 2, 0), 42);
  EXPECT_EQ(seen, (std::vector<std::string>{"first 1", "second", "third", "first 2", "second"}));

  // The default processing really runs when every hook leaves a message alone.
  SendMessageA(window.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  EXPECT_EQ(window.Caption(), "renamed");
}

TEST(ToolkitWindow, HooksMayRemoveAndAddHooksWhileTheyRun) {
  TopLevelWindow window(Args());
  int a_calls = 0, b_calls = 0, c_calls = 0;
  HookId a = 0, b = 0;
  a = window.AddMessageHook([&](WindowMessage& m) {
    if (m.message != kProbe) return false;
    ++a_calls;
    window.RemoveMessageHook(b);
    window.RemoveMessageHook(a);  // itself: it stays alive until it returns
    window.AddMessageHook([&](WindowMessage& inner) {
      if (inner.message == kProbe) ++c_calls;
      return false;
    });
    return false;
  });
  b = window.AddMessageHook([&](WindowMessage& m) {
    if (m.message == kProbe) ++b_calls;
    return false;
  });
  SendMessageA(window.Handle(), kProbe, 0, 0);
  SendMessageA(window.Handle(), kProbe, 0, 0);
  EXPECT_EQ(a_calls, 1);
  EXPECT_EQ(b_calls, 0) << "removed before its turn";
  EXPECT_EQ(c_calls, 2) << "added during the first dispatch, seen from then on";
}

TEST(ToolkitWindow, CaptionStylesPositionAndClientSize) {
  TopLevelWindowArgs args = Args("Vistrel Test Window");
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
  TopLevelWindow window(Args());
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

TEST(ToolkitApplication, ClosingTheMainWindowEndsTheMessageLoop) {
  TopLevelWindow window(Args());
  SetMainWindow(&window);
  EXPECT_EQ(MainWindow(), &window);
  window.Close();
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_FALSE(window.HasHandle());
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST(ToolkitApplication, DestroyingTheMainWindowObjectPostsNoQuit) {
  {
    TopLevelWindow window(Args());
    SetMainWindow(&window);
  }
  EXPECT_EQ(MainWindow(), nullptr);
  EXPECT_FALSE(test::TakeQuitMessage());
}

TEST(ToolkitApplication, AnExceptionInAMessageLeavesTheLoopAndIsThrownFromIt) {
  TopLevelWindow window(Args());
  window.AddMessageHook([](WindowMessage& m) -> bool {
    if (m.message == kProbe) throw Exception("broken handler", kToolkitCheckKind, 7);
    return false;
  });
  window.Post(kProbe);
  try {
    RunMessageLoop();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "broken handler");
    EXPECT_EQ(e.Code(), 7u);
  }
  EXPECT_TRUE(window.HasHandle()) << "the window itself is untouched";
}

TEST(ToolkitTimer, IntervalEnabledFlagAndTicks) {
  TopLevelWindow window(Args());
  Timer timer(window, 0);
  EXPECT_EQ(timer.Interval(), 1000) << "0 becomes 1000";
  timer.SetInterval(-5);
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_FALSE(timer.Enabled()) << "created disabled";

  int ticks = 0;
  timer.OnTick = [&] { ++ticks; };
  timer.SetInterval(30);
  PumpMessages(200);
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000));
  timer.SetEnabled(false);
  PumpMessages(50);
  int stopped_at = ticks;
  PumpMessages(200);
  EXPECT_EQ(ticks, stopped_at);
}

TEST(ToolkitTimer, TimersShareAnOwnerAndMayFreeThemselvesInTheirTick) {
  TopLevelWindow window(Args());
  int fast_ticks = 0, slow_ticks = 0;
  auto fast = std::make_unique<Timer>(window, 20);
  Timer slow(window, 60, [&] { ++slow_ticks; });
  fast->OnTick = [&] {
    ++fast_ticks;
    fast.reset();  // the timer goes while its own tick runs
  };
  fast->SetEnabled(true);
  slow.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return slow_ticks >= 3; }, 5000));
  EXPECT_EQ(fast_ticks, 1);
  EXPECT_EQ(fast, nullptr);
}

// Records when it is freed.
struct FreeProbe {
  FreeProbe(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
  ~FreeProbe() { log.push_back(name); }
  std::vector<std::string>& log;
  std::string name;
};

TEST(ToolkitForm, WhatItMadeGoesWithTheHandleNewestFirstAfterOnDestroy) {
  std::vector<std::string> freed;
  auto form = std::make_unique<Form>(Args());
  form->OnDestroy = [&] { freed.push_back("OnDestroy"); };
  form->Make<FreeProbe>(freed, "first");
  int ticks = 0;
  Timer& timer = form->Make<Timer>(*form, 10, [&] { ++ticks; });  // hooks the form
  timer.SetEnabled(true);
  form->Make<FreeProbe>(freed, "last");
  EXPECT_EQ(form->ChildCount(), 3);
  EXPECT_TRUE(PumpUntil([&] { return ticks > 0; }, 5000));

  form->Destroy();
  EXPECT_FALSE(form->HasHandle());
  EXPECT_EQ(freed, (std::vector<std::string>{"OnDestroy", "last", "first"}));
  EXPECT_EQ(form->ChildCount(), 0);
  form.reset();
  EXPECT_EQ(freed.size(), 3u) << "nothing is freed twice";

  // Destroyed as an object: the same order.
  freed.clear();
  form = std::make_unique<Form>(Args());
  form->OnDestroy = [&] { freed.push_back("OnDestroy"); };
  form->Make<FreeProbe>(freed, "a");
  form->Make<FreeProbe>(freed, "b");
  form.reset();
  EXPECT_EQ(freed, (std::vector<std::string>{"OnDestroy", "b", "a"}));
}

TEST(ToolkitMenu, ItemsSeparatorsCheckMarksAndCommands) {
  TopLevelWindow window(Args());
  auto menu = std::make_unique<PopupMenu>(window);
  std::vector<std::string> ran;
  EXPECT_EQ(menu->AddItem({"One", [&] { ran.push_back("one"); }, 501}), 0);
  EXPECT_EQ(menu->AddSeparator(), 1);
  EXPECT_EQ(menu->AddItem({"Two", [&] { ran.push_back("two"); }}), 2);
  EXPECT_EQ(menu->AddItem({"Free", [&] { menu.reset(); }}), 3);
  EXPECT_EQ(GetMenuItemCount(menu->Handle()), 4);
  EXPECT_EQ(menu->Caption(0), "One");
  EXPECT_EQ(menu->Caption(1), "");
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(menu->Handle(), 1, TRUE, &info);
  EXPECT_TRUE(info.fType & MFT_SEPARATOR);
  EXPECT_TRUE(menu->IsSeparator(1));
  EXPECT_FALSE(menu->IsSeparator(2));
  EXPECT_EQ(menu->CommandId(0), 501u);
  EXPECT_EQ(menu->CommandId(1), 0u) << "a separator sends nothing";
  EXPECT_NE(menu->CommandId(2), 0u);
  EXPECT_NE(menu->CommandId(2), menu->CommandId(3));
  EXPECT_EQ(GetMenuItemID(menu->Handle(), 2), menu->CommandId(2));
  EXPECT_THROW(menu->AddItem({"Again", {}, 501}), Exception) << "one id, one item";
  EXPECT_EQ(menu->Count(), 4);

  EXPECT_FALSE(menu->Checked(0));
  menu->SetChecked(0, true);
  EXPECT_TRUE(menu->Checked(0));
  EXPECT_TRUE(GetMenuState(menu->Handle(), 0, MF_BYPOSITION) & MF_CHECKED);
  menu->SetChecked(0, false);
  EXPECT_FALSE(menu->Checked(0));

  SendMessageA(window.Handle(), WM_COMMAND, 501, 0);
  SendMessageA(window.Handle(), WM_COMMAND, menu->CommandId(2), 0);
  SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(501, 1), 0);  // an accelerator, not ours
  EXPECT_EQ(ran, (std::vector<std::string>{"one", "two"}));
  SendMessageA(window.Handle(), WM_COMMAND, menu->CommandId(3), 0);
  EXPECT_EQ(menu, nullptr);
  SendMessageA(window.Handle(), WM_COMMAND, 501, 0);
  EXPECT_EQ(ran.size(), 2u) << "a freed menu's hook is gone";
}

TEST(ToolkitMenu, SubmenusRadioGroupsEnablingAndShortCuts) {
  TopLevelWindow window(Args());
  PopupMenu menu(window);
  std::vector<std::string> ran;
  const PopupMenu::ItemId add =
      menu.AddItem({"Add\tIns", [&] { ran.push_back("add"); }, 0, ShortCut{VK_INSERT}});
  const PopupMenu::ItemId kind = menu.AddSubmenu("Kind");
  auto radio = [&](const char* caption) {
    return menu.AddItem(
        {caption, [&ran, caption] { ran.push_back(caption); }, 0, ShortCut{}, 1, kind});
  };
  const PopupMenu::ItemId a = radio("A");
  const PopupMenu::ItemId b = radio("B");
  const PopupMenu::ItemId all =
      menu.AddItem({"All\tCtrl+A", [&] { ran.push_back("all"); }, 0, ShortCut{'A', true}});
  const PopupMenu::ItemId c = radio("C");  // later, but still in the submenu's group

  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 3);
  HMENU submenu = GetSubMenu(menu.Handle(), 1);
  ASSERT_NE(submenu, nullptr);
  EXPECT_EQ(GetMenuItemCount(submenu), 3);
  EXPECT_TRUE(menu.IsSubmenu(kind));
  EXPECT_FALSE(menu.IsSubmenu(add));
  EXPECT_EQ(menu.Caption(add), "Add\tIns");
  EXPECT_EQ(menu.Caption(c), "C");
  for (PopupMenu::ItemId item : {a, b, c}) {
    EXPECT_EQ(menu.Parent(item), kind);
    EXPECT_TRUE(menu.IsRadioItem(item));
    EXPECT_EQ(GetMenuItemID(submenu, static_cast<int>(item == a   ? 0
                                                      : item == b ? 1
                                                                  : 2)),
              menu.CommandId(item));
  }
  EXPECT_EQ(menu.Parent(all), PopupMenu::kTopLevel);
  EXPECT_FALSE(menu.IsRadioItem(all));
  EXPECT_THROW(menu.AddItem({"Nowhere", {}, 0, ShortCut{}, 0, add}), Exception)
      << "an item is no submenu";

  menu.SetChecked(a, true);
  menu.SetChecked(c, true);
  EXPECT_FALSE(menu.Checked(a)) << "one radio group";
  EXPECT_TRUE(menu.Checked(c));
  menu.SetChecked(c, false);
  EXPECT_FALSE(menu.Checked(c));

  EXPECT_TRUE(menu.Enabled(kind));
  menu.SetEnabled(kind, false);
  EXPECT_FALSE(menu.Enabled(kind));
  EXPECT_TRUE(GetMenuState(menu.Handle(), 1, MF_BYPOSITION) & MF_GRAYED);
  menu.SetEnabled(kind, true);
  EXPECT_TRUE(menu.Enabled(kind));

  EXPECT_TRUE(menu.RunShortCut(VK_INSERT, false, false, false));
  EXPECT_FALSE(menu.RunShortCut(VK_INSERT, true, false, false));
  EXPECT_TRUE(menu.RunShortCut('A', true, false, false));
  EXPECT_FALSE(menu.RunShortCut('A', false, false, false));
  EXPECT_FALSE(menu.RunShortCut(0, false, false, false)) << "items without a shortcut";
  SendMessageA(window.Handle(), WM_COMMAND, menu.CommandId(b), 0);
  EXPECT_EQ(ran, (std::vector<std::string>{"add", "all", "B"}));
}

// While a menu is open its own loop runs; a thread timer looks at it and closes it.
struct MenuProbe {
  static MenuProbe* current;
  HWND menu_window = nullptr;
  RECT menu_rect = {};
  static void CALLBACK Look(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    current->menu_window = test::OpenMenuWindow();
    if (current->menu_window) GetWindowRect(current->menu_window, &current->menu_rect);
    EndMenu();
  }
};
MenuProbe* MenuProbe::current = nullptr;

TEST(ToolkitMenu, PopupOpensAtTheScreenPoint) {
  TopLevelWindowArgs args = Args();
  args.visible = true;
  TopLevelWindow window(args);
  window.BringToForeground();
  PopupMenu menu(window);
  bool prepared = false;
  menu.OnPopup = [&] { prepared = true; };
  menu.AddItem({"One"});
  menu.AddItem({"Two"});
  MenuProbe probe;
  MenuProbe::current = &probe;
  SetTimer(nullptr, 0, 300, &MenuProbe::Look);
  menu.Popup(123, 234);
  EXPECT_TRUE(prepared);
  ASSERT_NE(probe.menu_window, nullptr) << "the menu was open while Popup ran";
  EXPECT_EQ(probe.menu_rect.left, 123);
  EXPECT_EQ(probe.menu_rect.top, 234);
  PumpMessages(50);
  EXPECT_EQ(test::OpenMenuWindow(), nullptr);
}

}  // namespace
}  // namespace vistrel
