// Child controls of the system's window classes as objects. Every control is subclassed: the
// notifications it sends its parent (WM_COMMAND, WM_NOTIFY) come back to its object as events,
// and Enter, Escape and Tab work as in a dialog (default button, cancel button, next control).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/unique_handle.h"
#include "toolkit/window.h"

namespace vistrel {

// A GDI font; moves only (a moved-from font has no handle).
class Font {
 public:
  // height as LOGFONT's lfHeight: negative is the character height in pixels.
  Font(const std::string& face, int height);
  explicit Font(const LOGFONTA& font);
  Font(Font&&) noexcept = default;
  Font& operator=(Font&&) noexcept = default;

  HFONT Handle() const { return font_.Get(); }

 private:
  UniqueFont font_;
};

class Control;

// Where a control is created: a toolkit window or another control (a group box).
struct ControlParent {
  ControlParent(const Window& window) : handle(window.Handle()) {}  // NOLINT: either converts
  ControlParent(const Control& control);                            // NOLINT
  HWND handle;
};

// How every control is made: one struct for all kinds; each kind reads the fields it needs.
struct ControlArgs {
  // The caption; '&' marks the next letter as the Alt key that reaches the control (a label's
  // reaches the control after it), "&&" is one '&'.
  std::string text;
  // In the parent's client coordinates. Labels, check boxes and radio buttons size themselves
  // to their caption; a push button of size 0 gets the usual 75 x 25.
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  // Push buttons: pressed by Enter or Escape anywhere in their top-level window. They get the
  // ids IDOK and IDCANCEL, which the dialog keys of the message loop send.
  bool is_default = false;
  bool is_cancel = false;
  // Radio buttons with the same parent form one group (one Tab stop, the checked button; the
  // arrow keys move within it); this one starts a new one. Other controls that take the focus
  // are each a group of their own.
  bool first_of_group = false;
  // Combo boxes: height is the closed box's; the list opens below it with this much more.
  int drop_down_height = 200;
  // Combo boxes: only the items can be chosen, with no text field (CBS_DROPDOWNLIST).
  bool choices_only = false;
  // List views.
  bool multi_select = true;
  bool show_selection_always = true;  // the selection stays visible without the focus
  bool row_select = true;             // a click anywhere in a row selects the whole row
  bool info_tips = true;
  // The rows live outside the control, which asks for what it shows (OnGetItem): a list of
  // 100,000 rows opens as fast as one of ten.
  bool owner_data = false;
};

class Control : public WindowObject {
 public:
  // Destroys the control if it still exists.
  virtual ~Control();

  // Also re-measures controls that size themselves to their caption.
  void SetFont(HFONT font);
  HFONT GetFont() const;

  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool IsVisible() const;
  std::string Text() const;
  void SetText(const std::string& text);
  // The text as shown: the caption without its mnemonic marks.
  std::string Caption() const;
  // In the parent's client coordinates.
  RECT Bounds() const;
  void SetBounds(int left, int top, int width, int height);
  void Focus();

  // The control object of a handle, or null for windows that are not toolkit controls.
  static Control* FromHandle(HWND handle);
  // Hands a WM_COMMAND or WM_NOTIFY that a parent received back to the toolkit control that sent
  // it. True when a control took it (the answer is then in result).
  static bool ReflectToSender(WindowMessage& message);
  // Makes a toolkit window pass its controls' notifications back to them; for the window's life.
  static void ReflectNotificationsOf(Window& parent);
  // Sets the font of every toolkit control inside the window, at any depth.
  static void SetFontOfChildren(HWND parent, HFONT font);

 protected:
  Control() = default;
  // Creates and subclasses the window of the class with the caption, place and visibility of
  // args and the given styles; a failure raises a toolkit check.
  void Create(const char* class_name, DWORD style, DWORD ex_style, ControlParent parent,
              const ControlArgs& args);

  // A notification this control sent to its parent.
  virtual bool OnCommand(WORD code);
  virtual bool OnNotify(NMHDR& header, LRESULT& result);
  // A message to the control itself, before its class sees it; true when handled.
  virtual bool OnMessage(WindowMessage& message);
  // After the font or the caption changed: controls that size themselves do it here.
  virtual void Refit() {}
  // Enter, Escape and Tab go to the dialog handling unless the control uses the key itself.
  virtual bool WantsKey(WPARAM key) const;
  // Enter on this control: true when it acted on it itself (a focused push button).
  virtual bool OnEnter() { return false; }

  // The caption's size in the control's font as the control draws it (mnemonic marks take no
  // room unless the control shows them as they are).
  SIZE TextSize(const std::string& text) const;
  // Design pixels at the DPI of the control's window.
  int Scaled(int design) const;
  // Sends the dialog keys of an inner window (a combo box's edit field) to this control.
  void ForwardDialogKeysOf(HWND inner);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  static LRESULT CALLBACK InnerSubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR id, DWORD_PTR data);
  // Enter, Escape or Tab pressed in this control; true when it was used.
  bool HandleDialogKey(WPARAM key);
  // True for the WM_KEYDOWN or WM_CHAR of a dialog key that the control leaves to the dialog.
  bool IsDialogKeyMessage(UINT message, WPARAM wparam) const;
};

inline ControlParent::ControlParent(const Control& control) : handle(control.Handle()) {}

// A plain child window of the toolkit's class in the button-face colour, holding other controls.
class Panel : public Window {
 public:
  Panel(const Window& parent, const ControlArgs& args);
  ~Panel() override;

  RECT Bounds() const;
  void SetBounds(int left, int top, int width, int height);
};

// A text that sizes itself to its caption.
class Label : public Control {
 public:
  Label(ControlParent parent, const ControlArgs& args);

 protected:
  void Refit() override;
};

class GroupBox : public Control {
 public:
  GroupBox(ControlParent parent, const ControlArgs& args);

 protected:
  bool OnMessage(WindowMessage& message) override;
};

// The caption as shown: "&&" is '&', a single '&' marks the next letter and is not shown.
std::string StripMnemonic(const std::string& caption);

// Makes the top-level window take the dialog keys that the message loop's IsDialogMessage sends
// it: DM_GETDEFID names its default button, and WM_COMMAND with IDOK or IDCANCEL presses its
// default or cancel button. Also shows focus rectangles and underlines once the keyboard is used.
void EnableDialogKeys(Window& root);

// The answer to WM_CTLCOLORSTATIC and WM_CTLCOLORBTN from a container's controls: text on the
// button-face colour. False for other messages.
bool AnswerControlColour(WindowMessage& message);

class Button : public Control {
 public:
  Button(ControlParent parent, const ControlArgs& args);
  ~Button() override;

  // Runs OnClick when the button is enabled, as a press does.
  void Click();
  // The size its caption needs in its font, with room for the frame and the focus rectangle.
  SIZE IdealSize() const;

  // May free the button itself.
  std::function<void()> OnClick;

  // The default or cancel button of a top-level window, or null.
  static Button* DefaultOf(HWND root);
  static Button* CancelOf(HWND root);

 protected:
  bool OnCommand(WORD code) override;
  bool OnEnter() override;
  // A focused push button is the one Enter presses, and shows it, as in a dialog.
  bool OnMessage(WindowMessage& message) override;

 private:
  HWND root_ = nullptr;
};

// A check box or a radio button that sizes itself to its caption and checks itself when clicked.
class CheckControl : public Control {
 public:
  bool Checked() const;
  void SetChecked(bool checked);

  std::function<void()> OnClick;

 protected:
  CheckControl(ControlParent parent, const ControlArgs& args, DWORD style);
  bool OnCommand(WORD code) override;
  void Refit() override;
};

class CheckBox : public CheckControl {
 public:
  CheckBox(ControlParent parent, const ControlArgs& args);
};

// Radio buttons with the same parent form one group; first_of_group starts a new one.
class RadioButton : public CheckControl {
 public:
  RadioButton(ControlParent parent, const ControlArgs& args);
};

// The drop-down combo box: a list of items and, unless choices_only, a text field that takes any
// text.
class ComboBox : public Control {
 public:
  ComboBox(ControlParent parent, const ControlArgs& args);

  int AddItem(const std::string& text);
  int Count() const;
  std::string Item(int index) const;
  int SelectedIndex() const;  // -1 when the text is not a chosen item
  void SetSelectedIndex(int index);
  bool DroppedDown() const;
  // The closed box's height; the list opens below it.
  void SetClosedHeight(int height);
  int ClosedHeight() const { return height_; }
  // The width of the widest item's text in the box's font.
  int WidestItemWidth() const;

  // Another item chosen, by the mouse or the keyboard; not for SetSelectedIndex.
  std::function<void()> OnSelect;

 protected:
  bool OnCommand(WORD code) override;
  bool WantsKey(WPARAM key) const override;
  void Refit() override;

 private:
  int height_;
};

// A list of texts; used hidden, to collect file names by mask.
class ListBox : public Control {
 public:
  ListBox(ControlParent parent, const ControlArgs& args);

  void Clear();
  int Count() const;
  std::string Item(int index) const;
  // Adds the names of the files matching the mask (LB_DIR with the DlgDirList attribute bits).
  void AddDirectory(const std::string& mask, UINT attributes);
};

}  // namespace vistrel
