// The toolkit's popup menus: items, submenus, radio groups, check marks, shortcuts, commands, and
// the menu opened at a point.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/exception.h"
#include "tests/win32/window_test_support.h"
#include "toolkit/popup_menu.h"
#include "toolkit/top_level_window.h"

namespace vistrel {
namespace {

TEST(ToolkitMenu, ItemsSeparatorsCheckMarksAndCommands) {
  TopLevelWindow window(test::WindowArgs());
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
  TopLevelWindow window(test::WindowArgs());
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
  TopLevelWindowArgs args = test::WindowArgs();
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
  test::PumpMessages(50);
  EXPECT_EQ(test::OpenMenuWindow(), nullptr);
}

}  // namespace
}  // namespace vistrel
