#include "toolkit/application_window.h"

#include <algorithm>

namespace vistrel {

namespace {

TopLevelWindowArgs ApplicationWindowArgs(const std::string& caption) {
  TopLevelWindowArgs args;
  args.caption = caption;
  // A caption and a system menu, so that the taskbar entry has the usual commands.
  args.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
  args.left = GetSystemMetrics(SM_CXSCREEN) / 2;
  args.top = GetSystemMetrics(SM_CYSCREEN) / 2;
  args.visible = false;
  return args;
}

struct OwnedSearch {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleOwned(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<OwnedSearch*>(param);
  if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window))
    search->found.push_back(window);
  return TRUE;
}

}  // namespace

ApplicationWindow::ApplicationWindow(const std::string& caption)
    : TopLevelWindow(ApplicationWindowArgs(caption)) {
  // No size at all: the window is only its taskbar entry.
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  OnClose = [this] {
    if (!main_form_) return true;
    main_form_->Close();
    return false;
  };
  AddMessageHook([this](WindowMessage& message) {
    switch (message.message) {
      case WM_SYSCOMMAND:
        switch (message.wparam & 0xFFF0) {
          case SC_MINIMIZE: Minimize(); return true;
          case SC_RESTORE: Restore(); return true;
          default: return false;
        }
      case WM_SETFOCUS:
        // Clicking the taskbar entry activates this window; the form takes the focus.
        if (main_form_ && main_form_->IsVisible() && IsWindowEnabled(main_form_->Handle())) {
          main_form_->BringToForeground();
          return true;
        }
        return false;
      default: return false;
    }
  });
}

void ApplicationWindow::Own(TopLevelWindow& window) {
  // The owner of a top-level window is kept where GWLP_HWNDPARENT points.
  SetWindowLongPtrW(window.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(Handle()));
}

void ApplicationWindow::Minimize() {
  OwnedSearch search{Handle(), {}};
  EnumWindows(CollectVisibleOwned, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.found) {
    ShowWindow(window, SW_HIDE);
    if (std::find(hidden_by_minimize_.begin(), hidden_by_minimize_.end(), window) ==
        hidden_by_minimize_.end())
      hidden_by_minimize_.push_back(window);
  }
  ShowWindow(Handle(), SW_MINIMIZE);
}

void ApplicationWindow::Restore() {
  ShowWindow(Handle(), SW_RESTORE);
  std::vector<HWND> hidden = std::move(hidden_by_minimize_);
  hidden_by_minimize_.clear();
  for (HWND window : hidden)
    if (IsWindow(window)) ShowWindow(window, SW_SHOW);
  if (main_form_ && main_form_->IsVisible()) main_form_->BringToForeground();
  // The form's own button takes over again.
  if (FormHasOwnEntry() && main_form_->IsVisible()) ShowWindow(Handle(), SW_HIDE);
}

bool ApplicationWindow::FormHasOwnEntry() const {
  return main_form_ && (GetWindowLongPtrA(main_form_->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

bool ApplicationWindow::IsMinimized() const {
  return IsIconic(Handle()) != FALSE;
}

void ApplicationWindow::ShowEntry() {
  if (FormHasOwnEntry() && !IsMinimized()) return;
  if (!IsWindowVisible(Handle())) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void ApplicationWindow::ShowOwned(TopLevelWindow& window) {
  if (IsMinimized()) {
    if (std::find(hidden_by_minimize_.begin(), hidden_by_minimize_.end(), window.Handle()) ==
        hidden_by_minimize_.end())
      hidden_by_minimize_.push_back(window.Handle());
    return;
  }
  window.Show();
}

}  // namespace vistrel
