#include "toolkit/popup_menu.h"

#include "common/exception.h"

namespace vistrel {

namespace {
// Automatic command ids stay clear of the small ids that programs choose themselves.
constexpr UINT kFirstAutomaticCommandId = 0x6000;
UINT next_command_id = kFirstAutomaticCommandId;
}  // namespace

PopupMenu::PopupMenu(Window& owner) : owner_(owner), menu_(CreatePopupMenu()) {
  if (!menu_) VISTREL_CHECK_FAILED("CreatePopupMenu");
  hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    // Menus send notification code 0 and no control handle.
    if (message.Message != WM_COMMAND || HIWORD(message.WParam) != 0 || message.LParam != 0)
      return false;
    UINT id = LOWORD(message.WParam);
    for (const Item& item : items_) {
      if (item.CommandId != id) continue;
      if (item.Command) {
        // A copy: the command may free the menu.
        std::function<void()> command = item.Command;
        command();
      }
      return true;
    }
    return false;
  });
}

PopupMenu::~PopupMenu() { owner_.RemoveMessageHook(hook_); }

int PopupMenu::AddItem(const std::string& text, std::function<void()> command, UINT command_id) {
  if (command_id == 0) command_id = next_command_id++;
  BOOL added = text == kMenuSeparator
                   ? AppendMenuA(menu_.Get(), MF_SEPARATOR, command_id, nullptr)
                   : AppendMenuA(menu_.Get(), MF_STRING, command_id, text.c_str());
  if (!added) VISTREL_CHECK_FAILED("AppendMenuA");
  items_.push_back(Item{command_id, std::move(command)});
  return Count() - 1;
}

UINT PopupMenu::CommandId(int position) const {
  return position >= 0 && position < Count() ? items_[static_cast<std::size_t>(position)].CommandId
                                              : 0;
}

std::string PopupMenu::Text(int position) const {
  char text[256] = "";
  GetMenuStringA(menu_.Get(), static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

void PopupMenu::SetChecked(int position, bool checked) {
  CheckMenuItem(menu_.Get(), static_cast<UINT>(position),
                MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenu::Checked(int position) const {
  UINT state = GetMenuState(menu_.Get(), static_cast<UINT>(position), MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

void PopupMenu::Popup(int x, int y) {
  TrackPopupMenu(menu_.Get(), 0, x, y, 0, owner_.Handle(), nullptr);
  // Without a message after the menu, a second click elsewhere can fail to dismiss the next one.
  owner_.Post(WM_NULL);
}

}  // namespace vistrel
