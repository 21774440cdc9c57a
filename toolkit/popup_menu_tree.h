// A popup menu with submenus, radio groups, enabling and keyboard shortcuts. Items are numbered
// in the order they were added, across all levels; commands arrive as the owner's WM_COMMAND.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "toolkit/window.h"

namespace vistrel {

// A key with modifiers that runs an item's command while the menu is closed.
struct ShortCut {
  UINT Key = 0;  // a virtual-key code; 0 for none
  bool Ctrl = false;
  bool Shift = false;
  bool Alt = false;
};

class PopupMenuTree {
 public:
  using ItemId = int;
  static constexpr ItemId kTopLevel = -1;

  struct ItemArgs {
    // As displayed; the text after a tab is shown at the right (the shortcut's name).
    std::string Caption;
    std::function<void()> Command;
    UINT CommandId = 0;  // 0 takes a free one
    ShortCut Keys;
    // Items with the same group number under the same parent are one radio group; 0 for none.
    int RadioGroup = 0;
    ItemId Parent = kTopLevel;
  };

  // The owner must outlive the menu (members of the owner's object are).
  explicit PopupMenuTree(Window& owner);
  PopupMenuTree(const PopupMenuTree&) = delete;
  PopupMenuTree& operator=(const PopupMenuTree&) = delete;
  ~PopupMenuTree();

  ItemId AddItem(const ItemArgs& args);
  ItemId AddSeparator(ItemId parent = kTopLevel);
  ItemId AddSubmenu(const std::string& caption, ItemId parent = kTopLevel);

  int Count() const { return static_cast<int>(items_.size()); }
  std::string Caption(ItemId item) const;
  UINT CommandId(ItemId item) const;
  bool IsSeparator(ItemId item) const;
  bool IsSubmenu(ItemId item) const;
  bool IsRadioItem(ItemId item) const;
  ItemId Parent(ItemId item) const;

  void SetEnabled(ItemId item, bool enabled);
  bool Enabled(ItemId item) const;
  // Checking a radio item unchecks the rest of its group.
  void SetChecked(ItemId item, bool checked);
  bool Checked(ItemId item) const;

  // Runs the command of the item with this shortcut; false when none has it.
  bool RunShortCut(UINT key, bool ctrl, bool shift, bool alt);

  // Runs before the menu opens, to enable and check its items.
  std::function<void()> OnPopup;
  // Opens the menu with its top-left corner at the screen point and returns when it closes; the
  // chosen item's command then arrives as the owner's WM_COMMAND.
  void Popup(int x, int y);

  HMENU Handle() const { return menu_.Get(); }

 private:
  struct Item {
    HMENU Menu;      // the menu that holds it (not owning)
    UINT Position;   // in that menu
    UINT CommandId;  // 0 for separators and submenus
    HMENU Submenu;   // owned by the top menu once inserted
    std::string Caption;
    std::function<void()> Command;
    ShortCut Keys;
    int RadioGroup;
    ItemId Parent;
  };

  HMENU MenuOf(ItemId parent) const;
  const Item* Find(ItemId item) const;
  ItemId Insert(Item item, UINT type, UINT state);
  void RunCommand(const Item& item);

  Window& owner_;  // not owning
  UniqueMenu menu_;
  std::vector<Item> items_;
  HookId hook_;
};

}  // namespace vistrel
