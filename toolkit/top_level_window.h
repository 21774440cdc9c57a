// A top-level window: caption, styles, position and client size, visibility, the close event,
// and the role of the application's main window.
#pragma once

#include <functional>
#include <string>

#include "toolkit/window.h"

namespace vistrel {

struct TopLevelWindowArgs {
  std::string caption;
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD ex_style = 0;
  int left = CW_USEDEFAULT;
  int top = CW_USEDEFAULT;
  // The client area; the outer size follows from the styles. 0 leaves the size to the system.
  int client_width = 0;
  int client_height = 0;
  bool visible = false;
};

class TopLevelWindow : public Window {
 public:
  explicit TopLevelWindow(const TopLevelWindowArgs& args);
  ~TopLevelWindow() override;

  // Asked at WM_CLOSE; false keeps the window open. Without it the close is accepted.
  std::function<bool()> OnClose;
  // Runs at WM_DESTROY while the handle is still valid: where members that need it are freed.
  std::function<void()> OnDestroy;

  std::string Caption() const;
  void SetCaption(const std::string& caption);

  void Show();
  void Hide();
  bool IsVisible() const;
  // Moves the outer frame's top-left corner; the size stays.
  void MoveTo(int left, int top);
  RECT Bounds() const;
  void BringToForeground();
  void Focus();
  // Asks the window to close, as the close box does (posted, so it runs from the message loop).
  void Close();

 protected:
  LRESULT HandleMessage(WindowMessage& message) override;
  // Destroyed as an object, not closed by the user: that ends no message loop. For the
  // destructors, so that WM_DESTROY still reaches the class being destroyed.
  void DestroyAsObject();
};

}  // namespace vistrel
