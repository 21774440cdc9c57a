// A popup menu owned by a window: items, separators, submenus, radio groups, check marks,
// enabling and keyboard shortcuts. Commands arrive as the owner's WM_COMMAND.
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
  UINT key = 0;  // a virtual-key code; 0 for none
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
};

class PopupMenu {
 public:
  // What an Add returns and the other calls take: items are numbered in the order they were
  // added, across all levels. Callers keep the number they were given.
  using ItemId = int;
  static constexpr ItemId kTopLevel = -1;

  struct ItemArgs {
    // As displayed; the text after a tab is shown at the right (the shortcut's name).
    std::string caption = {};
    std::function<void()> command = {};
    // Only for an id that other processes send; 0 takes a free one (see CommandId).
    UINT command_id = 0;
    ShortCut keys = {};
    // Items with the same group number under the same parent are one radio group; 0 for none.
    int radio_group = 0;
    ItemId parent = kTopLevel;
  };

  // The owner must outlive the menu (members of the owner's object are).
  explicit PopupMenu(Window& owner);
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;
  ~PopupMenu();

  // An id the menu already uses raises a toolkit check.
  ItemId AddItem(const ItemArgs& args);
  ItemId AddSeparator(ItemId parent = kTopLevel);
  ItemId AddSubmenu(const std::string& caption, ItemId parent = kTopLevel);

  int Count() const { return static_cast<int>(items_.size()); }
  std::string Caption(ItemId item) const;
  // The WM_COMMAND id of an item; 0 for separators and submenus.
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
  // chosen item's command then arrives as the owner's WM_COMMAND. track_flags as
  // TrackPopupMenu's (0: left-aligned, chosen with the left button).
  void Popup(int x, int y, UINT track_flags = 0);

  HMENU Handle() const { return menu_.Get(); }

 private:
  struct Item {
    HMENU menu;       // the menu that holds it (not owning)
    UINT position;    // in that menu
    UINT command_id;  // 0 for separators and submenus
    HMENU submenu;    // not owning: the top menu destroys it with itself
    std::string caption = {};
    std::function<void()> command = {};
    ShortCut keys;
    int radio_group;
    ItemId parent;
  };

  HMENU MenuOf(ItemId parent) const;
  const Item* Find(ItemId item) const;
  // Inserts at the end of item.menu; takes over the submenu whether it succeeds or not.
  ItemId Insert(Item item, UINT type, UINT state);
  void RunCommand(const Item& item);

  Window& owner_;  // not owning
  UniqueMenu menu_;
  std::vector<Item> items_;
  HookId hook_;
};

}  // namespace vistrel
