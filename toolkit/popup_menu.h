// A popup menu owned by a window: items from texts ("-" is a separator), a command per item run
// from the owner's WM_COMMAND, check marks, and opening at a screen point.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "toolkit/window.h"

namespace vistrel {

constexpr const char kMenuSeparator[] = "-";

class PopupMenu {
 public:
  // The owner must outlive the menu (members of the owner's object are).
  explicit PopupMenu(Window& owner);
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;
  ~PopupMenu();

  // Appends an item and returns its position. A command id of 0 takes a free one.
  int AddItem(const std::string& text, std::function<void()> command = {}, UINT command_id = 0);

  int Count() const { return static_cast<int>(items_.size()); }
  UINT CommandId(int position) const;
  std::string Text(int position) const;

  void SetChecked(int position, bool checked);
  bool Checked(int position) const;

  // Opens the menu with its top-left corner at the screen point and returns when it closes;
  // the chosen item's command then arrives as the owner's WM_COMMAND.
  void Popup(int x, int y);

  HMENU Handle() const { return menu_.Get(); }

 private:
  struct Item {
    UINT CommandId;
    std::function<void()> Command;
  };

  Window& owner_;  // not owning
  UniqueMenu menu_;
  std::vector<Item> items_;
  HookId hook_;
};

}  // namespace vistrel
