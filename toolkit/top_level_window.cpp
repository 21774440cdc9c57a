#include "toolkit/top_level_window.h"

#include "platform/win32/wide.h"
#include "toolkit/application.h"

namespace vistrel {

TopLevelWindow::TopLevelWindow(const TopLevelWindowArgs& args) {
  CreateArgs create;
  create.text = args.caption;
  create.style = args.style & ~static_cast<DWORD>(WS_VISIBLE);
  create.ex_style = args.ex_style;
  create.left = args.left;
  create.top = args.top;
  if (args.client_width > 0 && args.client_height > 0) {
    RECT frame = {0, 0, args.client_width, args.client_height};
    AdjustWindowRectEx(&frame, create.style, FALSE, create.ex_style);
    create.width = frame.right - frame.left;
    create.height = frame.bottom - frame.top;
  }
  CreateHandle(create);
  if (args.visible) Show();
}

TopLevelWindow::~TopLevelWindow() {
  // Here, not in the base: WM_DESTROY must still reach this class and OnDestroy.
  DestroyAsObject();
}

void TopLevelWindow::DestroyAsObject() {
  if (MainWindow() == this) SetMainWindow(nullptr);
  Destroy();
}

std::string TopLevelWindow::Caption() const {
  return WindowText(Handle());
}

void TopLevelWindow::SetCaption(const std::string& caption) {
  SetWindowTextW(Handle(), Widen(caption).c_str());
}

void TopLevelWindow::Show() {
  ShowWindow(Handle(), SW_SHOW);
}

void TopLevelWindow::Hide() {
  ShowWindow(Handle(), SW_HIDE);
}

bool TopLevelWindow::IsVisible() const {
  return IsWindowVisible(Handle()) != FALSE;
}

void TopLevelWindow::MoveTo(int left, int top) {
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TopLevelWindow::Bounds() const {
  RECT bounds = {};
  GetWindowRect(Handle(), &bounds);
  return bounds;
}

void TopLevelWindow::BringToForeground() {
  SetForegroundWindow(Handle());
}

void TopLevelWindow::Focus() {
  SetFocus(Handle());
}

void TopLevelWindow::Close() {
  Post(WM_CLOSE);
}

LRESULT TopLevelWindow::HandleMessage(WindowMessage& message) {
  switch (message.message) {
    case WM_CLOSE: {
      bool accept = true;
      if (OnClose) accept = OnClose();
      if (accept) Destroy();
      return 0;
    }
    case WM_DESTROY: {
      if (OnDestroy) {
        std::function<void()> on_destroy = OnDestroy;
        on_destroy();
      }
      if (MainWindow() == this) {
        SetMainWindow(nullptr);
        PostQuitMessage(0);
      }
      return 0;
    }
    default: return Window::HandleMessage(message);
  }
}

}  // namespace vistrel
