// The toolkit's popup menus: items, check marks, commands, and the menu opened at a point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/window_test_support.h"
#include "toolkit/popup_menu.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

TEST(ToolkitMenu, ItemsSeparatorsCheckMarksAndCommands) {
  TopLevelWindow window(test::WindowArgs());
  auto menu = std::make_unique<PopupMenu>(window);
  std::vector<std::string> ran;
  EXPECT_EQ(menu->AddItem(
                "One", [&] { ran.push_back("one"); }, 501),
            0);
  EXPECT_EQ(menu->AddItem("-"), 1);
  EXPECT_EQ(menu->AddItem("Two", [&] { ran.push_back("two"); }), 2);
  EXPECT_EQ(menu->AddItem("Free", [&] { menu.reset(); }), 3);
  EXPECT_EQ(GetMenuItemCount(menu->Handle()), 4);
  EXPECT_EQ(menu->Text(0), "One");
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(menu->Handle(), 1, TRUE, &info);
  EXPECT_TRUE(info.fType & MFT_SEPARATOR);
  EXPECT_EQ(menu->CommandId(0), 501u);
  EXPECT_NE(menu->CommandId(2), 0u);
  EXPECT_NE(menu->CommandId(2), menu->CommandId(1));

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
  TopLevelWindowArgs args = test::WindowArgs();
  args.Visible = true;
  TopLevelWindow window(args);
  window.BringToForeground();
  PopupMenu menu(window);
  menu.AddItem("One");
  menu.AddItem("Two");
  MenuProbe probe;
  MenuProbe::current = &probe;
  SetTimer(nullptr, 0, 300, &MenuProbe::Look);
  menu.Popup(123, 234);
  ASSERT_NE(probe.menu_window, nullptr) << "the menu was open while Popup ran";
  EXPECT_EQ(probe.menu_rect.left, 123);
  EXPECT_EQ(probe.menu_rect.top, 234);
  test::PumpMessages(50);
  EXPECT_EQ(test::OpenMenuWindow(), nullptr);
}

}  // namespace
}  // namespace vistrel
