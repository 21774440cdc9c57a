#include "toolkit/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <vector>

#include "common/exception.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"
#include "toolkit/dpi.h"

namespace vistrel {

namespace {

// Ids of the two subclasses; any values unique among this program's subclasses will do.
constexpr UINT_PTR kControlSubclassId = 0x5654;
constexpr UINT_PTR kInnerSubclassId = 0x5655;

// Room beside a check box's or radio button's caption for its mark, in design pixels.
constexpr int kCheckMarkRoom = 18;
constexpr int kMinimumCheckHeight = 17;
// What a push button's frame and focus rectangle take beside its caption.
constexpr int kButtonTextRoom = 16;

// Room for a push button that was given no size.
constexpr SIZE kDefaultButtonSize = {75, 25};

struct DialogButtons {
  Button* default_button = nullptr;  // not owning
  Button* cancel_button = nullptr;   // not owning
};

// The control object of every live control window; an entry leaves with its window.
std::map<HWND, Control*>& ControlsByHandle() {
  static std::map<HWND, Control*> controls;
  return controls;
}

// By top-level window; a button leaves its entry when it is destroyed.
std::map<HWND, DialogButtons>& DialogButtonsByRoot() {
  static std::map<HWND, DialogButtons> buttons;
  return buttons;
}

// Where a child window is, in its parent's client coordinates.
RECT BoundsInParent(HWND window) {
  RECT bounds = {};
  GetWindowRect(window, &bounds);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void SetBoundsInParent(HWND window, int left, int top, int width, int height) {
  SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// An item of a list box or a combo box's list (CB_ERR and LB_ERR are both -1); empty when
// there is none.
std::string ItemText(HWND box, UINT length_message, UINT text_message, int index) {
  LRESULT length = SendMessageW(box, length_message, static_cast<WPARAM>(index), 0);
  if (length < 0) return std::string();
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(box, text_message, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  return Narrow(text.data());
}

bool ControlKeyDown() {
  return GetKeyState(VK_CONTROL) < 0;
}
bool ShiftKeyDown() {
  return GetKeyState(VK_SHIFT) < 0;
}

}  // namespace

// ---- Font

Font::Font(const std::string& face, int height) {
  LOGFONTA font = {};
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH;
  lstrcpynA(font.lfFaceName, face.c_str(), LF_FACESIZE);
  font_.Reset(CreateFontIndirectA(&font));
  if (!font_) VISTREL_CHECK_FAILED("CreateFontIndirectA");
}

Font::Font(const LOGFONTA& font) {
  font_.Reset(CreateFontIndirectA(&font));
  if (!font_) VISTREL_CHECK_FAILED("CreateFontIndirectA");
}

std::string StripMnemonic(const std::string& caption) {
  std::string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

// ---- Control

Control::~Control() {
  if (!HasHandle()) return;
  HWND handle = Handle();
  RemoveWindowSubclass(handle, &Control::SubclassProc, kControlSubclassId);
  ControlsByHandle().erase(handle);
  SetHandle(nullptr);
  DestroyWindow(handle);
}

void Control::Create(const char* class_name, DWORD style, DWORD ex_style, ControlParent parent,
                     const ControlArgs& args) {
  if (args.visible) style |= WS_VISIBLE;
  // The ids that the dialog keys send; other controls need none.
  UINT_PTR id = args.is_default ? IDOK : args.is_cancel ? IDCANCEL : 0;
  HWND created =
      CreateWindowExW(ex_style, Widen(class_name).c_str(), Widen(args.text).c_str(),
                      WS_CHILD | style, args.left, args.top, args.width, args.height, parent.handle,
                      reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
  if (!created) VISTREL_CHECK_FAILED("CreateWindowExW");
  SetHandle(created);
  if (!SetWindowSubclass(created, &Control::SubclassProc, kControlSubclassId,
                         reinterpret_cast<DWORD_PTR>(this))) {
    SetHandle(nullptr);
    DestroyWindow(created);
    VISTREL_CHECK_FAILED("SetWindowSubclass");
  }
  ControlsByHandle()[created] = this;
  // The parent's font until the owner sets its own.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(parent.handle, WM_GETFONT, 0, 0));
  SetFont(font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

void Control::SetFont(HFONT font) {
  SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  Refit();
}

HFONT Control::GetFont() const {
  return reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
}

bool Control::Enabled() const {
  return IsWindowEnabled(Handle()) != FALSE;
}

void Control::SetEnabled(bool enabled) {
  EnableWindow(Handle(), enabled ? TRUE : FALSE);
}

bool Control::IsVisible() const {
  return IsWindowVisible(Handle()) != FALSE;
}

std::string Control::Text() const {
  return WindowText(Handle());
}

void Control::SetText(const std::string& text) {
  SetWindowTextW(Handle(), Widen(text).c_str());
  Refit();
}

std::string Control::Caption() const {
  return StripMnemonic(Text());
}

int Control::Scaled(int design) const {
  return ScaleToDpi(design, WindowDpi(Handle()));
}

RECT Control::Bounds() const {
  return BoundsInParent(Handle());
}

void Control::SetBounds(int left, int top, int width, int height) {
  SetBoundsInParent(Handle(), left, top, width, height);
}

void Control::Focus() {
  SetFocus(Handle());
}

SIZE Control::TextSize(const std::string& text) const {
  SIZE size = {0, 0};
  HDC dc = GetDC(Handle());
  if (!dc) return size;
  HGDIOBJ old = SelectObject(dc, GetFont());
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  wchar_t class_name[16] = L"";
  GetClassNameW(Handle(), class_name, 16);
  const bool as_is = lstrcmpiW(class_name, L"STATIC") == 0 &&
                     (GetWindowLongPtrW(Handle(), GWL_STYLE) & SS_NOPREFIX) != 0;
  RECT extent = {0, 0, 0, 0};
  const std::wstring wide = Widen(text);
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &extent,
            DT_CALCRECT | DT_SINGLELINE | (as_is ? DT_NOPREFIX : 0));
  size.cx = extent.right - extent.left;
  size.cy = extent.bottom - extent.top;
  if (size.cy < metrics.tmHeight) size.cy = metrics.tmHeight;
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  return size;
}

Control* Control::FromHandle(HWND handle) {
  auto& controls = ControlsByHandle();
  auto found = controls.find(handle);
  return found == controls.end() ? nullptr : found->second;
}

bool Control::ReflectToSender(WindowMessage& message) {
  if (message.message == WM_COMMAND && message.lparam != 0) {
    Control* sender = FromHandle(reinterpret_cast<HWND>(message.lparam));
    if (!sender || !sender->OnCommand(HIWORD(message.wparam))) return false;
    message.result = 0;
    return true;
  }
  if (message.message == WM_NOTIFY && message.lparam != 0) {
    NMHDR* header = reinterpret_cast<NMHDR*>(message.lparam);
    Control* sender = FromHandle(header->hwndFrom);
    LRESULT result = 0;
    if (!sender || !sender->OnNotify(*header, result)) return false;
    message.result = result;
    return true;
  }
  return false;
}

void Control::ReflectNotificationsOf(Window& parent) {
  parent.AddMessageHook([](WindowMessage& message) { return ReflectToSender(message); });
}

namespace {
BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  if (Control* control = Control::FromHandle(child))
    control->SetFont(reinterpret_cast<HFONT>(font));
  return TRUE;
}
}  // namespace

void Control::SetFontOfChildren(HWND parent, HFONT font) {
  EnumChildWindows(parent, SetFontOfChild, reinterpret_cast<LPARAM>(font));
}

bool Control::OnCommand(WORD) {
  return false;
}

bool Control::OnNotify(NMHDR&, LRESULT&) {
  return false;
}

bool Control::OnMessage(WindowMessage&) {
  return false;
}

bool Control::WantsKey(WPARAM) const {
  return false;
}

void Control::ForwardDialogKeysOf(HWND inner) {
  if (inner)
    SetWindowSubclass(inner, &Control::InnerSubclassProc, kInnerSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

bool Control::IsDialogKeyMessage(UINT message, WPARAM wparam) const {
  if (message == WM_KEYDOWN) {
    if (wparam != VK_RETURN && wparam != VK_ESCAPE && wparam != VK_TAB) return false;
  } else if (message == WM_CHAR) {
    // The characters that TranslateMessage makes of the same keys.
    if (wparam == '\r')
      wparam = VK_RETURN;
    else if (wparam == 27)
      wparam = VK_ESCAPE;
    else if (wparam == '\t')
      wparam = VK_TAB;
    else
      return false;
  } else {
    return false;
  }
  // Ctrl+Tab and the like belong to the control.
  if (ControlKeyDown() || GetKeyState(VK_MENU) < 0) return false;
  return !WantsKey(wparam);
}

bool Control::HandleDialogKey(WPARAM key) {
  HWND root = GetAncestor(Handle(), GA_ROOT);
  switch (key) {
    case VK_TAB: {
      HWND next = GetNextDlgTabItem(root, GetFocus(), ShiftKeyDown() ? TRUE : FALSE);
      if (next) SetFocus(next);
      return true;
    }
    case VK_RETURN: {
      if (OnEnter()) return true;
      Button* button = Button::DefaultOf(root);
      if (!button) return false;
      button->Click();
      return true;
    }
    case VK_ESCAPE: {
      Button* button = Button::CancelOf(root);
      if (!button) return false;
      button->Click();
      return true;
    }
    default: return false;
  }
}

LRESULT CALLBACK Control::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR, DWORD_PTR data) {
  Control* control = reinterpret_cast<Control*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &Control::SubclassProc, kControlSubclassId);
    ControlsByHandle().erase(window);
    control->SetHandle(nullptr);
    return DefSubclassProc(window, message, wparam, lparam);
  }
  try {
    WindowMessage m{message, wparam, lparam};
    if (message == WM_COMMAND || message == WM_NOTIFY) {
      // A group box holds controls of its own; their notifications come here.
      if (ReflectToSender(m)) return m.result;
    } else if (control->IsDialogKeyMessage(message, wparam)) {
      if (message == WM_CHAR || control->HandleDialogKey(wparam)) return 0;
    }
    if (control->OnMessage(m)) return m.result;
  } catch (...) {
    DeferException(std::current_exception());
    return 0;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK Control::InnerSubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR, DWORD_PTR data) {
  Control* control = reinterpret_cast<Control*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &Control::InnerSubclassProc, kInnerSubclassId);
    return DefSubclassProc(window, message, wparam, lparam);
  }
  try {
    if (control->HasHandle() && control->IsDialogKeyMessage(message, wparam)) {
      if (message == WM_CHAR || control->HandleDialogKey(wparam)) return 0;
    }
  } catch (...) {
    DeferException(std::current_exception());
    return 0;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// ---- Panel

Panel::Panel(const Window& parent, const ControlArgs& args) {
  CreateArgs create;
  create.text = args.text;
  create.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS |
                 (args.visible ? static_cast<DWORD>(WS_VISIBLE) : 0);
  // Tab moves through the controls inside it.
  create.ex_style = WS_EX_CONTROLPARENT;
  create.left = args.left;
  create.top = args.top;
  create.width = args.width;
  create.height = args.height;
  create.parent = parent.Handle();
  CreateHandle(create);
  Control::ReflectNotificationsOf(*this);
  AddMessageHook(AnswerControlColour);
}

Panel::~Panel() {
  Destroy();
}

RECT Panel::Bounds() const {
  return BoundsInParent(Handle());
}

void Panel::SetBounds(int left, int top, int width, int height) {
  SetBoundsInParent(Handle(), left, top, width, height);
}

// ---- Label

Label::Label(ControlParent parent, const ControlArgs& args) {
  // A caption with a mnemonic hands its Alt key to the control after it.
  const bool mnemonic = args.text.find('&') != std::string::npos;
  Create("STATIC", SS_LEFT | (mnemonic ? 0 : SS_NOPREFIX), 0, parent, args);
}

void Label::Refit() {
  SIZE size = TextSize(Text());
  RECT bounds = Bounds();
  SetBounds(bounds.left, bounds.top, size.cx, size.cy);
}

// ---- GroupBox

GroupBox::GroupBox(ControlParent parent, const ControlArgs& args) {
  // Its controls are its children: clipped from its painting, and reached by Tab.
  Create("BUTTON", WS_CLIPCHILDREN | BS_GROUPBOX, WS_EX_CONTROLPARENT, parent, args);
}

bool GroupBox::OnMessage(WindowMessage& message) {
  if (message.message == WM_ERASEBKGND) {
    // The system's group box leaves its inside to its parent, which cannot paint it here: the
    // box clips its own controls.
    RECT client = {};
    GetClientRect(Handle(), &client);
    FillRect(reinterpret_cast<HDC>(message.wparam), &client, GetSysColorBrush(COLOR_BTNFACE));
    message.result = 1;
    return true;
  }
  return AnswerControlColour(message);
}

bool AnswerControlColour(WindowMessage& message) {
  if (message.message != WM_CTLCOLORSTATIC && message.message != WM_CTLCOLORBTN) return false;
  HDC dc = reinterpret_cast<HDC>(message.wparam);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  message.result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  return true;
}

// ---- Button

Button::Button(ControlParent parent, const ControlArgs& args) {
  ControlArgs sized = args;
  if (sized.width == 0 && sized.height == 0) {
    sized.width = kDefaultButtonSize.cx;
    sized.height = kDefaultButtonSize.cy;
  }
  Create("BUTTON",
         WS_TABSTOP | WS_GROUP |
             static_cast<DWORD>(args.is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
         0, parent, sized);
  root_ = GetAncestor(Handle(), GA_ROOT);
  if (args.is_default) DialogButtonsByRoot()[root_].default_button = this;
  if (args.is_cancel) DialogButtonsByRoot()[root_].cancel_button = this;
}

Button::~Button() {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root_);
  if (found == buttons.end()) return;
  DialogButtons& dialog = found->second;
  if (dialog.default_button == this) dialog.default_button = nullptr;
  if (dialog.cancel_button == this) dialog.cancel_button = nullptr;
  if (!dialog.default_button && !dialog.cancel_button) buttons.erase(found);
}

void Button::Click() {
  if (!HasHandle() || !Enabled() || !OnClick) return;
  // A copy: the click may free the button.
  std::function<void()> click = OnClick;
  click();
}

SIZE Button::IdealSize() const {
  SIZE size = TextSize(Text());
  size.cx += Scaled(kButtonTextRoom);
  size.cy += Scaled(kButtonTextRoom) / 2;
  return size;
}

Button* Button::DefaultOf(HWND root) {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root);
  return found == buttons.end() ? nullptr : found->second.default_button;
}

Button* Button::CancelOf(HWND root) {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root);
  return found == buttons.end() ? nullptr : found->second.cancel_button;
}

bool Button::OnCommand(WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

namespace {
bool IsPushButtonOf(HWND window, HWND root) {
  return window && dynamic_cast<Button*>(Control::FromHandle(window)) &&
         GetAncestor(window, GA_ROOT) == root;
}
void SetPushStyle(Button* button, bool is_default) {
  if (button && button->HasHandle())
    button->Send(BM_SETSTYLE, is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}
}  // namespace

bool Button::OnMessage(WindowMessage& message) {
  Button* standing = DefaultOf(root_);
  if (standing == this || !standing) return false;
  if (message.message == WM_SETFOCUS) {
    SetPushStyle(standing, false);
    SetPushStyle(this, true);
  } else if (message.message == WM_KILLFOCUS) {
    SetPushStyle(this, false);
    // Another push button takes the role itself.
    if (!IsPushButtonOf(reinterpret_cast<HWND>(message.wparam), root_))
      SetPushStyle(standing, true);
  }
  return false;
}

bool Button::OnEnter() {
  // Enter presses the focused button itself, as in a dialog.
  Click();
  return true;
}

void EnableDialogKeys(Window& root) {
  const HWND handle = root.Handle();
  root.AddMessageHook([handle](WindowMessage& message) {
    switch (message.message) {
      case WM_NEXTDLGCTL: {
        // As a dialog does it (the mnemonic of a label sends it): a given control, or the
        // next or previous one that takes the focus.
        HWND next = LOWORD(message.lparam)
                        ? reinterpret_cast<HWND>(message.wparam)
                        : GetNextDlgTabItem(handle, GetFocus(), message.wparam ? TRUE : FALSE);
        if (next) SetFocus(next);
        message.result = 0;
        return true;
      }
      case DM_GETDEFID: {
        Button* button = Button::DefaultOf(handle);
        message.result = button ? MAKELRESULT(IDOK, DC_HASDEFID) : 0;
        return true;
      }
      case WM_COMMAND: {
        // From the dialog keys, not from a button (whose own notification is reflected to it).
        if (message.lparam != 0 || HIWORD(message.wparam) != 0) return false;
        Button* button = nullptr;
        if (LOWORD(message.wparam) == IDOK)
          button = Button::DefaultOf(handle);
        else if (LOWORD(message.wparam) == IDCANCEL)
          button = Button::CancelOf(handle);
        if (!button) return false;
        button->Click();
        message.result = 0;
        return true;
      }
      default: return false;
    }
  });
}

// ---- CheckControl

CheckControl::CheckControl(ControlParent parent, const ControlArgs& args, DWORD style) {
  Create("BUTTON", style, 0, parent, args);
}

bool CheckControl::Checked() const {
  return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckControl::SetChecked(bool checked) {
  SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckControl::OnCommand(WORD code) {
  if (code != BN_CLICKED) return false;
  if (OnClick) {
    std::function<void()> click = OnClick;
    click();
  }
  return true;
}

void CheckControl::Refit() {
  SIZE size = TextSize(Text());
  RECT bounds = Bounds();
  const int minimum_height = Scaled(kMinimumCheckHeight);
  SetBounds(bounds.left, bounds.top, size.cx + Scaled(kCheckMarkRoom),
            size.cy + 2 > minimum_height ? size.cy + 2 : minimum_height);
}

CheckBox::CheckBox(ControlParent parent, const ControlArgs& args)
    : CheckControl(parent, args, WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX) {}

// No Tab stop of its own: checking a radio button makes it its group's stop (BM_SETCHECK).
RadioButton::RadioButton(ControlParent parent, const ControlArgs& args)
    : CheckControl(parent, args,
                   BS_AUTORADIOBUTTON | (args.first_of_group ? static_cast<DWORD>(WS_GROUP) : 0)) {}

// ---- ComboBox

ComboBox::ComboBox(ControlParent parent, const ControlArgs& args) : height_(args.height) {
  // For a drop-down box the window's height includes the opened list.
  ControlArgs with_list = args;
  with_list.height = args.height + args.drop_down_height;
  Create("COMBOBOX",
         WS_TABSTOP | WS_GROUP | WS_VSCROLL |
             (args.choices_only ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL),
         0, parent, with_list);
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(Handle(), &info)) ForwardDialogKeysOf(info.hwndItem);
}

void ComboBox::Refit() {
  // The closed box's height follows its field's height, which a new font resets: make it the
  // one asked for.
  RECT bounds = Bounds();
  int field =
      static_cast<int>(SendMessageA(Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  int adjusted = field + height_ - (bounds.bottom - bounds.top);
  if (field > 0 && adjusted > 0 && adjusted != field)
    SendMessageA(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), adjusted);
}

void ComboBox::SetClosedHeight(int height) {
  height_ = height;
  Refit();
}

int ComboBox::AddItem(const std::string& text) {
  return static_cast<int>(
      SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str())));
}

int ComboBox::Count() const {
  return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0));
}

std::string ComboBox::Item(int index) const {
  return ItemText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

int ComboBox::SelectedIndex() const {
  return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

void ComboBox::SetSelectedIndex(int index) {
  SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool ComboBox::DroppedDown() const {
  return SendMessageA(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

int ComboBox::WidestItemWidth() const {
  int widest = 0;
  for (int i = 0; i < Count(); ++i)
    widest = std::max(widest, static_cast<int>(TextSize(Item(i)).cx));
  return widest;
}

bool ComboBox::OnCommand(WORD code) {
  if (code != CBN_SELCHANGE || !OnSelect) return false;
  OnSelect();
  return true;
}

bool ComboBox::WantsKey(WPARAM key) const {
  // An open list closes on Enter and Escape.
  return key != VK_TAB && DroppedDown();
}

// ---- ListBox

ListBox::ListBox(ControlParent parent, const ControlArgs& args) {
  Create("LISTBOX", WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT, 0, parent, args);
}

void ListBox::Clear() {
  SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

int ListBox::Count() const {
  return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0));
}

std::string ListBox::Item(int index) const {
  return ItemText(Handle(), LB_GETTEXTLEN, LB_GETTEXT, index);
}

void ListBox::AddDirectory(const std::string& mask, UINT attributes) {
  const std::wstring wide = Widen(mask);
  if (wide.size() < MAX_PATH) {
    SendMessageW(Handle(), LB_DIR, attributes, reinterpret_cast<LPARAM>(wide.c_str()));
    return;
  }
  // LB_DIR takes no longer mask: the same listing of plain files, in the order the system finds
  // them, through the long form.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(FilePath(mask).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const DWORD left_out = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if (!(found.dwFileAttributes & left_out))
      SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace vistrel
