#include "toolkit/controls.h"

#include <commctrl.h>

#include <map>
#include <vector>

#include "common/exception.h"
#include "toolkit/application.h"

namespace vistrel {

namespace {

// Ids of the two subclasses; any values unique among this program's subclasses will do.
constexpr UINT_PTR kControlSubclassId = 0x5654;
constexpr UINT_PTR kInnerSubclassId = 0x5655;

// Room beside a check box's or radio button's caption for its mark.
constexpr int kCheckMarkRoom = 18;
constexpr int kMinimumCheckHeight = 17;

struct DialogButtons {
  Button* Default = nullptr;  // not owning
  Button* Cancel = nullptr;   // not owning
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

// ---- Control

Control::~Control() {
  if (!handle_) return;
  HWND handle = handle_;
  RemoveWindowSubclass(handle, &Control::SubclassProc, kControlSubclassId);
  ControlsByHandle().erase(handle);
  handle_ = nullptr;
  DestroyWindow(handle);
}

void Control::Create(const CreateArgs& args) {
  HWND created = CreateWindowExA(args.ExStyle, args.ClassName, args.Text.c_str(), args.Style,
                                 args.Left, args.Top, args.Width, args.Height, args.Parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  if (!created) VISTREL_CHECK_FAILED("CreateWindowExA");
  handle_ = created;
  if (!SetWindowSubclass(created, &Control::SubclassProc, kControlSubclassId,
                         reinterpret_cast<DWORD_PTR>(this))) {
    handle_ = nullptr;
    DestroyWindow(created);
    VISTREL_CHECK_FAILED("SetWindowSubclass");
  }
  ControlsByHandle()[created] = this;
  // The parent's font until the owner sets its own.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(args.Parent, WM_GETFONT, 0, 0));
  SetFont(font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

void Control::SetFont(HFONT font) {
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  Refit();
}

HFONT Control::GetFont() const {
  return reinterpret_cast<HFONT>(SendMessageA(handle_, WM_GETFONT, 0, 0));
}

bool Control::Enabled() const {
  return IsWindowEnabled(handle_) != FALSE;
}

void Control::SetEnabled(bool enabled) {
  EnableWindow(handle_, enabled ? TRUE : FALSE);
}

bool Control::IsVisible() const {
  return IsWindowVisible(handle_) != FALSE;
}

std::string Control::Text() const {
  int length = GetWindowTextLengthA(handle_);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()));
  return text.data();
}

void Control::SetText(const std::string& text) {
  SetWindowTextA(handle_, text.c_str());
  Refit();
}

RECT Control::Bounds() const {
  RECT bounds = {};
  GetWindowRect(handle_, &bounds);
  MapWindowPoints(nullptr, GetParent(handle_), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void Control::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::Focus() {
  SetFocus(handle_);
}

SIZE Control::TextSize(const std::string& text) const {
  SIZE size = {0, 0};
  HDC dc = GetDC(handle_);
  if (!dc) return size;
  HGDIOBJ old = SelectObject(dc, GetFont());
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (size.cy < metrics.tmHeight) size.cy = metrics.tmHeight;
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  return size;
}

Control* Control::FromHandle(HWND handle) {
  auto& controls = ControlsByHandle();
  auto found = controls.find(handle);
  return found == controls.end() ? nullptr : found->second;
}

bool Control::ReflectToSender(WindowMessage& message) {
  if (message.Message == WM_COMMAND && message.LParam != 0) {
    Control* sender = FromHandle(reinterpret_cast<HWND>(message.LParam));
    if (!sender || !sender->OnCommand(HIWORD(message.WParam))) return false;
    message.Result = 0;
    return true;
  }
  if (message.Message == WM_NOTIFY && message.LParam != 0) {
    NMHDR* header = reinterpret_cast<NMHDR*>(message.LParam);
    Control* sender = FromHandle(header->hwndFrom);
    LRESULT result = 0;
    if (!sender || !sender->OnNotify(*header, result)) return false;
    message.Result = result;
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
  HWND root = GetAncestor(handle_, GA_ROOT);
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
    control->handle_ = nullptr;
    return DefSubclassProc(window, message, wparam, lparam);
  }
  try {
    WindowMessage m{message, wparam, lparam};
    if (message == WM_COMMAND || message == WM_NOTIFY) {
      // A group box holds controls of its own; their notifications come here.
      if (ReflectToSender(m)) return m.Result;
    } else if (control->IsDialogKeyMessage(message, wparam)) {
      if (message == WM_CHAR || control->HandleDialogKey(wparam)) return 0;
    }
    if (control->OnMessage(m)) return m.Result;
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
    if (control->handle_ && control->IsDialogKeyMessage(message, wparam)) {
      if (message == WM_CHAR || control->HandleDialogKey(wparam)) return 0;
    }
  } catch (...) {
    DeferException(std::current_exception());
    return 0;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// ---- Panel

Panel::Panel(const Window& parent, int left, int top, int width, int height) {
  CreateArgs args;
  args.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  // Tab moves through the controls inside it.
  args.ExStyle = WS_EX_CONTROLPARENT;
  args.X = left;
  args.Y = top;
  args.Width = width;
  args.Height = height;
  args.Parent = parent.Handle();
  CreateHandle(args);
  Control::ReflectNotificationsOf(*this);
  AddMessageHook(AnswerControlColour);
}

Panel::~Panel() {
  Destroy();
}

RECT Panel::Bounds() const {
  RECT bounds = {};
  GetWindowRect(Handle(), &bounds);
  MapWindowPoints(nullptr, GetParent(Handle()), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void Panel::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Label

Label::Label(ControlParent parent, const std::string& caption, int left, int top) {
  CreateArgs args;
  args.ClassName = "STATIC";
  args.Text = caption;
  args.Style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  args.Left = left;
  args.Top = top;
  args.Parent = parent.Handle;
  Create(args);
}

void Label::Refit() {
  SIZE size = TextSize(Text());
  RECT bounds = Bounds();
  SetBounds(bounds.left, bounds.top, size.cx, size.cy);
}

// ---- GroupBox

GroupBox::GroupBox(ControlParent parent, const std::string& caption, int left, int top, int width,
                   int height) {
  CreateArgs args;
  args.ClassName = "BUTTON";
  args.Text = caption;
  // Its controls are its children: clipped from its painting, and reached by Tab.
  args.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | BS_GROUPBOX;
  args.ExStyle = WS_EX_CONTROLPARENT;
  args.Left = left;
  args.Top = top;
  args.Width = width;
  args.Height = height;
  args.Parent = parent.Handle;
  Create(args);
}

bool GroupBox::OnMessage(WindowMessage& message) {
  if (message.Message == WM_ERASEBKGND) {
    // The system's group box leaves its inside to its parent, which cannot paint it here: the
    // box clips its own controls.
    RECT client = {};
    GetClientRect(Handle(), &client);
    FillRect(reinterpret_cast<HDC>(message.WParam), &client, GetSysColorBrush(COLOR_BTNFACE));
    message.Result = 1;
    return true;
  }
  return AnswerControlColour(message);
}

bool AnswerControlColour(WindowMessage& message) {
  if (message.Message != WM_CTLCOLORSTATIC && message.Message != WM_CTLCOLORBTN) return false;
  HDC dc = reinterpret_cast<HDC>(message.WParam);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  message.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  return true;
}

// ---- Button

Button::Button(ControlParent parent, const ButtonArgs& args) {
  CreateArgs create;
  create.ClassName = "BUTTON";
  create.Text = args.Caption;
  create.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                 static_cast<DWORD>(args.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  create.Left = args.Left;
  create.Top = args.Top;
  create.Width = args.Width;
  create.Height = args.Height;
  create.Parent = parent.Handle;
  Create(create);
  root_ = GetAncestor(Handle(), GA_ROOT);
  if (args.Default) DialogButtonsByRoot()[root_].Default = this;
  if (args.Cancel) DialogButtonsByRoot()[root_].Cancel = this;
}

Button::~Button() {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root_);
  if (found == buttons.end()) return;
  if (found->second.Default == this) found->second.Default = nullptr;
  if (found->second.Cancel == this) found->second.Cancel = nullptr;
  if (!found->second.Default && !found->second.Cancel) buttons.erase(found);
}

void Button::Click() {
  if (!HasHandle() || !Enabled() || !OnClick) return;
  // A copy: the click may free the button.
  std::function<void()> click = OnClick;
  click();
}

Button* Button::DefaultOf(HWND root) {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root);
  return found == buttons.end() ? nullptr : found->second.Default;
}

Button* Button::CancelOf(HWND root) {
  auto& buttons = DialogButtonsByRoot();
  auto found = buttons.find(root);
  return found == buttons.end() ? nullptr : found->second.Cancel;
}

bool Button::OnCommand(WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

bool Button::OnEnter() {
  // Enter presses the focused button itself, as in a dialog.
  Click();
  return true;
}

// ---- CheckControl

CheckControl::CheckControl(ControlParent parent, const std::string& caption, int left, int top,
                           DWORD style) {
  CreateArgs args;
  args.ClassName = "BUTTON";
  args.Text = caption;
  args.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | style;
  args.Left = left;
  args.Top = top;
  args.Parent = parent.Handle;
  Create(args);
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
  SetBounds(bounds.left, bounds.top, size.cx + kCheckMarkRoom,
            size.cy + 2 > kMinimumCheckHeight ? size.cy + 2 : kMinimumCheckHeight);
}

CheckBox::CheckBox(ControlParent parent, const std::string& caption, int left, int top)
    : CheckControl(parent, caption, left, top, BS_AUTOCHECKBOX) {}

RadioButton::RadioButton(ControlParent parent, const std::string& caption, int left, int top,
                         bool first_of_group)
    : CheckControl(parent, caption, left, top,
                   BS_AUTORADIOBUTTON | (first_of_group ? static_cast<DWORD>(WS_GROUP) : 0)) {}

// ---- ComboBox

ComboBox::ComboBox(ControlParent parent, int left, int top, int width, int height,
                   int drop_down_height)
    : height_(height) {
  CreateArgs args;
  args.ClassName = "COMBOBOX";
  args.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
  args.Left = left;
  args.Top = top;
  args.Width = width;
  // For a drop-down box the window's height includes the opened list.
  args.Height = height + drop_down_height;
  args.Parent = parent.Handle;
  Create(args);
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

int ComboBox::AddItem(const std::string& text) {
  return static_cast<int>(
      SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::Count() const {
  return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0));
}

std::string ComboBox::Item(int index) const {
  LRESULT length = SendMessageA(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return std::string();
  std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  return text.data();
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

bool ComboBox::WantsKey(WPARAM key) const {
  // An open list closes on Enter and Escape.
  return key != VK_TAB && DroppedDown();
}

// ---- ListBox

ListBox::ListBox(ControlParent parent, int left, int top, int width, int height, bool visible) {
  CreateArgs args;
  args.ClassName = "LISTBOX";
  args.Style = WS_CHILD | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT |
               (visible ? static_cast<DWORD>(WS_VISIBLE) : 0);
  args.Left = left;
  args.Top = top;
  args.Width = width;
  args.Height = height;
  args.Parent = parent.Handle;
  Create(args);
}

void ListBox::Clear() {
  SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

int ListBox::Count() const {
  return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0));
}

std::string ListBox::Item(int index) const {
  LRESULT length = SendMessageA(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return std::string();
  std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(Handle(), LB_GETTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

void ListBox::AddDirectory(const std::string& mask, UINT attributes) {
  SendMessageA(Handle(), LB_DIR, attributes, reinterpret_cast<LPARAM>(mask.c_str()));
}

}  // namespace vistrel
