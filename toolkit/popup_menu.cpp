#include "toolkit/popup_menu.h"

#include "common/exception.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {
// Automatic command ids stay clear of the small ids that programs choose themselves. Shared by
// all menus, so two menus of one owner never answer the same id.
constexpr UINT kFirstAutomaticCommandId = 0x6000;
UINT next_command_id = kFirstAutomaticCommandId;

// WM_COMMAND carries the id in 16 bits.
UINT NextAutomaticCommandId() {
  if (next_command_id > 0xFFFF) next_command_id = kFirstAutomaticCommandId;
  return next_command_id++;
}
}  // namespace

PopupMenu::PopupMenu(Window& owner) : owner_(owner), menu_(CreatePopupMenu()) {
  if (!menu_) VISTREL_CHECK_FAILED("CreatePopupMenu");
  hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    // Menus send notification code 0 and no control handle.
    if (message.message != WM_COMMAND || HIWORD(message.wparam) != 0 || message.lparam != 0)
      return false;
    const UINT id = LOWORD(message.wparam);
    for (const Item& item : items_) {
      if (item.command_id == 0 || item.command_id != id) continue;
      RunCommand(item);
      return true;
    }
    return false;
  });
}

PopupMenu::~PopupMenu() {
  owner_.RemoveMessageHook(hook_);
}

HMENU PopupMenu::MenuOf(ItemId parent) const {
  if (parent == kTopLevel) return menu_.Get();
  const Item* item = Find(parent);
  if (!item || !item->submenu) VISTREL_CHECK_FAILED("PopupMenu: parent is no submenu");
  return item->submenu;
}

const PopupMenu::Item* PopupMenu::Find(ItemId item) const {
  return item >= 0 && item < Count() ? &items_[static_cast<std::size_t>(item)] : nullptr;
}

PopupMenu::ItemId PopupMenu::Insert(Item item, UINT type, UINT state) {
  UniqueMenu submenu(item.submenu);
  item.position = static_cast<UINT>(GetMenuItemCount(item.menu));
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
  info.fType = type;
  info.fState = state;
  info.wID = item.command_id;
  std::wstring text = Widen(item.caption) + L'\0';
  if (!(type & MFT_SEPARATOR)) {
    info.fMask |= MIIM_STRING;
    info.dwTypeData = &text[0];
  }
  if (submenu) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = submenu.Get();
  }
  if (!InsertMenuItemW(item.menu, item.position, TRUE, &info))
    VISTREL_CHECK_FAILED("InsertMenuItemW");
  // Inserted: the menu that holds it destroys it.
  submenu.Release();
  items_.push_back(std::move(item));
  return Count() - 1;
}

PopupMenu::ItemId PopupMenu::AddItem(const ItemArgs& args) {
  UINT command_id = args.command_id;
  if (command_id == 0) {
    command_id = NextAutomaticCommandId();
  } else {
    for (const Item& item : items_)
      if (item.command_id == command_id) VISTREL_CHECK_FAILED("PopupMenu: command id in use");
  }
  Item item{MenuOf(args.parent), 0,         command_id,       nullptr,    args.caption,
            args.command,        args.keys, args.radio_group, args.parent};
  return Insert(std::move(item), MFT_STRING | (args.radio_group ? MFT_RADIOCHECK : 0u),
                MFS_ENABLED);
}

PopupMenu::ItemId PopupMenu::AddSeparator(ItemId parent) {
  Item item{MenuOf(parent), 0, 0, nullptr, std::string(), {}, {}, 0, parent};
  return Insert(std::move(item), MFT_SEPARATOR, 0);
}

PopupMenu::ItemId PopupMenu::AddSubmenu(const std::string& caption, ItemId parent) {
  HMENU holder = MenuOf(parent);
  UniqueMenu submenu(CreatePopupMenu());
  if (!submenu) VISTREL_CHECK_FAILED("CreatePopupMenu");
  Item item{holder, 0, 0, submenu.Release(), caption, {}, {}, 0, parent};
  return Insert(std::move(item), MFT_STRING, MFS_ENABLED);
}

std::string PopupMenu::Caption(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return std::string();
  wchar_t text[512] = L"";
  GetMenuStringW(found->menu, found->position, text, sizeof text / sizeof *text, MF_BYPOSITION);
  return Narrow(text);
}

UINT PopupMenu::CommandId(ItemId item) const {
  const Item* found = Find(item);
  return found ? found->command_id : 0;
}

bool PopupMenu::IsSeparator(ItemId item) const {
  const Item* found = Find(item);
  return found && !found->submenu && found->command_id == 0;
}

bool PopupMenu::IsSubmenu(ItemId item) const {
  const Item* found = Find(item);
  return found && found->submenu;
}

bool PopupMenu::IsRadioItem(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(found->menu, found->position, TRUE, &info);
  return (info.fType & MFT_RADIOCHECK) != 0;
}

PopupMenu::ItemId PopupMenu::Parent(ItemId item) const {
  const Item* found = Find(item);
  return found ? found->parent : kTopLevel;
}

void PopupMenu::SetEnabled(ItemId item, bool enabled) {
  const Item* found = Find(item);
  if (!found) return;
  EnableMenuItem(found->menu, found->position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool PopupMenu::Enabled(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  UINT state = GetMenuState(found->menu, found->position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void PopupMenu::SetChecked(ItemId item, bool checked) {
  const Item* found = Find(item);
  if (!found) return;
  if (checked && found->radio_group) {
    for (const Item& other : items_)
      if (&other != found && other.menu == found->menu && other.radio_group == found->radio_group)
        CheckMenuItem(other.menu, other.position, MF_BYPOSITION | MF_UNCHECKED);
  }
  CheckMenuItem(found->menu, found->position,
                MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenu::Checked(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  UINT state = GetMenuState(found->menu, found->position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

bool PopupMenu::RunShortCut(UINT key, bool ctrl, bool shift, bool alt) {
  if (key == 0) return false;
  for (const Item& item : items_) {
    const ShortCut& keys = item.keys;
    if (keys.key != key || keys.ctrl != ctrl || keys.shift != shift || keys.alt != alt) continue;
    RunCommand(item);
    return true;
  }
  return false;
}

void PopupMenu::RunCommand(const Item& item) {
  if (!item.command) return;
  // A copy: the command may free the menu.
  std::function<void()> command = item.command;
  command();
}

void PopupMenu::Popup(int x, int y, UINT track_flags) {
  if (OnPopup) {
    std::function<void()> prepare = OnPopup;
    prepare();
  }
  TrackPopupMenu(menu_.Get(), track_flags, x, y, 0, owner_.Handle(), nullptr);
  // Without a message after the menu, a second click elsewhere can fail to dismiss the next one.
  owner_.Post(WM_NULL);
}

}  // namespace vistrel
