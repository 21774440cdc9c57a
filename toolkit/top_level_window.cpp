#include "toolkit/top_level_window.h"

#include <vector>

#include "toolkit/application.h"

namespace vistrel {

TopLevelWindow::TopLevelWindow(const TopLevelWindowArgs& args) {
  CreateArgs create;
  create.Text = args.Caption;
  create.Style = args.Style & ~static_cast<DWORD>(WS_VISIBLE);
  create.ExStyle = args.ExStyle;
  create.X = args.Left;
  create.Y = args.Top;
  if (args.ClientWidth > 0 && args.ClientHeight > 0) {
    RECT frame = {0, 0, args.ClientWidth, args.ClientHeight};
    AdjustWindowRectEx(&frame, create.Style, FALSE, create.ExStyle);
    create.Width = frame.right - frame.left;
    create.Height = frame.bottom - frame.top;
  }
  CreateHandle(create);
  if (args.Visible) Show();
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
  int length = GetWindowTextLengthA(Handle());
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  GetWindowTextA(Handle(), text.data(), static_cast<int>(text.size()));
  return text.data();
}

void TopLevelWindow::SetCaption(const std::string& caption) {
  SetWindowTextA(Handle(), caption.c_str());
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
  switch (message.Message) {
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
