#include "toolkit/popup_menu_tree.h"

#include "common/exception.h"

namespace vistrel {

namespace {
// Automatic command ids, clear of the small ids that programs choose and of PopupMenu's range.
constexpr UINT kFirstAutomaticCommandId = 0x6800;
UINT next_command_id = kFirstAutomaticCommandId;
}  // namespace

PopupMenuTree::PopupMenuTree(Window& owner) : owner_(owner), menu_(CreatePopupMenu()) {
  if (!menu_) VISTREL_CHECK_FAILED("CreatePopupMenu");
  hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    // Menus send notification code 0 and no control handle.
    if (message.Message != WM_COMMAND || HIWORD(message.WParam) != 0 || message.LParam != 0)
      return false;
    const UINT id = LOWORD(message.WParam);
    for (const Item& item : items_) {
      if (item.CommandId == 0 || item.CommandId != id) continue;
      RunCommand(item);
      return true;
    }
    return false;
  });
}

PopupMenuTree::~PopupMenuTree() {
  owner_.RemoveMessageHook(hook_);
}

HMENU PopupMenuTree::MenuOf(ItemId parent) const {
  if (parent == kTopLevel) return menu_.Get();
  const Item* item = Find(parent);
  if (!item || !item->Submenu) VISTREL_CHECK_FAILED("PopupMenuTree: parent is no submenu");
  return item->Submenu;
}

const PopupMenuTree::Item* PopupMenuTree::Find(ItemId item) const {
  return item >= 0 && item < Count() ? &items_[static_cast<std::size_t>(item)] : nullptr;
}

PopupMenuTree::ItemId PopupMenuTree::Insert(Item item, UINT type, UINT state) {
  item.Position = static_cast<UINT>(GetMenuItemCount(item.Menu));
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
  info.fType = type;
  info.fState = state;
  info.wID = item.CommandId;
  std::string text = item.Caption;
  if (!(type & MFT_SEPARATOR)) {
    info.fMask |= MIIM_STRING;
    info.dwTypeData = &text[0];
  }
  if (item.Submenu) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = item.Submenu;
  }
  if (!InsertMenuItemA(item.Menu, item.Position, TRUE, &info)) {
    if (item.Submenu) DestroyMenu(item.Submenu);
    VISTREL_CHECK_FAILED("InsertMenuItemA");
  }
  items_.push_back(std::move(item));
  return Count() - 1;
}

PopupMenuTree::ItemId PopupMenuTree::AddItem(const ItemArgs& args) {
  Item item{MenuOf(args.Parent),
            0,
            args.CommandId ? args.CommandId : next_command_id++,
            nullptr,
            args.Caption,
            args.Command,
            args.Keys,
            args.RadioGroup,
            args.Parent};
  return Insert(std::move(item), MFT_STRING | (args.RadioGroup ? MFT_RADIOCHECK : 0u), MFS_ENABLED);
}

PopupMenuTree::ItemId PopupMenuTree::AddSeparator(ItemId parent) {
  Item item{MenuOf(parent), 0, 0, nullptr, std::string(), {}, {}, 0, parent};
  return Insert(std::move(item), MFT_SEPARATOR, 0);
}

PopupMenuTree::ItemId PopupMenuTree::AddSubmenu(const std::string& caption, ItemId parent) {
  HMENU submenu = CreatePopupMenu();
  if (!submenu) VISTREL_CHECK_FAILED("CreatePopupMenu");
  Item item{MenuOf(parent), 0, 0, submenu, caption, {}, {}, 0, parent};
  return Insert(std::move(item), MFT_STRING, MFS_ENABLED);
}

std::string PopupMenuTree::Caption(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return std::string();
  char text[512] = "";
  GetMenuStringA(found->Menu, found->Position, text, sizeof text, MF_BYPOSITION);
  return text;
}

UINT PopupMenuTree::CommandId(ItemId item) const {
  const Item* found = Find(item);
  return found ? found->CommandId : 0;
}

bool PopupMenuTree::IsSeparator(ItemId item) const {
  const Item* found = Find(item);
  return found && !found->Submenu && found->CommandId == 0;
}

bool PopupMenuTree::IsSubmenu(ItemId item) const {
  const Item* found = Find(item);
  return found && found->Submenu;
}

bool PopupMenuTree::IsRadioItem(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(found->Menu, found->Position, TRUE, &info);
  return (info.fType & MFT_RADIOCHECK) != 0;
}

PopupMenuTree::ItemId PopupMenuTree::Parent(ItemId item) const {
  const Item* found = Find(item);
  return found ? found->Parent : kTopLevel;
}

void PopupMenuTree::SetEnabled(ItemId item, bool enabled) {
  const Item* found = Find(item);
  if (!found) return;
  EnableMenuItem(found->Menu, found->Position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool PopupMenuTree::Enabled(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  UINT state = GetMenuState(found->Menu, found->Position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void PopupMenuTree::SetChecked(ItemId item, bool checked) {
  const Item* found = Find(item);
  if (!found) return;
  if (checked && found->RadioGroup) {
    for (const Item& other : items_)
      if (&other != found && other.Menu == found->Menu && other.RadioGroup == found->RadioGroup)
        CheckMenuItem(other.Menu, other.Position, MF_BYPOSITION | MF_UNCHECKED);
  }
  CheckMenuItem(found->Menu, found->Position,
                MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenuTree::Checked(ItemId item) const {
  const Item* found = Find(item);
  if (!found) return false;
  UINT state = GetMenuState(found->Menu, found->Position, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

bool PopupMenuTree::RunShortCut(UINT key, bool ctrl, bool shift, bool alt) {
  if (key == 0) return false;
  for (const Item& item : items_) {
    const ShortCut& keys = item.Keys;
    if (keys.Key != key || keys.Ctrl != ctrl || keys.Shift != shift || keys.Alt != alt) continue;
    RunCommand(item);
    return true;
  }
  return false;
}

void PopupMenuTree::RunCommand(const Item& item) {
  if (!item.Command) return;
  // A copy: the command may free the menu.
  std::function<void()> command = item.Command;
  command();
}

void PopupMenuTree::Popup(int x, int y) {
  if (OnPopup) {
    std::function<void()> prepare = OnPopup;
    prepare();
  }
  TrackPopupMenu(menu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, owner_.Handle(), nullptr);
  // Without a message after the menu, a second click elsewhere can fail to dismiss the next one.
  owner_.Post(WM_NULL);
}

}  // namespace vistrel
