#include "toolkit/window.h"

#include <algorithm>

#include "common/exception.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"

namespace vistrel {

namespace {

void RegisterWindowClassOnce(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  // A Unicode class: captions and every text its windows are sent arrive whole.
  static const std::wstring class_name = Widen(kWindowClassName);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = class_name.c_str();
  if (!RegisterClassW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    VISTREL_CHECK_FAILED("RegisterClassW");
  registered = true;
}

}  // namespace

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::vector<wchar_t> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return Narrow(text.data());
}

Window::~Window() {
  Destroy();
}

HookId Window::AddMessageHook(MessageHook hook) {
  HookId id = next_hook_id_++;
  hooks_.push_back(std::make_shared<HookEntry>(HookEntry{id, std::move(hook)}));
  return id;
}

void Window::RemoveMessageHook(HookId id) {
  for (auto& entry : hooks_)
    if (entry->id == id) entry->removed = true;
  // While a dispatch walks the list, it is compacted when the outermost dispatch ends.
  if (dispatch_depth_ == 0)
    hooks_.erase(
        std::remove_if(hooks_.begin(), hooks_.end(), [](const auto& e) { return e->removed; }),
        hooks_.end());
}

LRESULT WindowObject::Send(UINT message, WPARAM wparam, LPARAM lparam) const {
  return SendMessageW(handle_, message, wparam, lparam);
}

void WindowObject::Post(UINT message, WPARAM wparam, LPARAM lparam) const {
  PostMessageW(handle_, message, wparam, lparam);
}

void Window::Destroy() {
  if (HasHandle()) DestroyWindow(Handle());
}

void Window::CreateHandle(const CreateArgs& args) {
  RegisterWindowClassOnce(&Window::WindowProc);
  HWND created =
      CreateWindowExW(args.ex_style, Widen(kWindowClassName).c_str(), Widen(args.text).c_str(),
                      args.style, args.left, args.top, args.width, args.height, args.parent,
                      nullptr, GetModuleHandleW(nullptr), this);
  if (!created) VISTREL_CHECK_FAILED("CreateWindowExW");
}

LRESULT Window::HandleMessage(WindowMessage& message) {
  return DefWindowProcW(Handle(), message.message, message.wparam, message.lparam);
}

LRESULT Window::Dispatch(WindowMessage& message) {
  ++dispatch_depth_;
  struct DepthGuard {
    Window* window;
    ~DepthGuard() {
      if (--window->dispatch_depth_ == 0)
        window->hooks_.erase(std::remove_if(window->hooks_.begin(), window->hooks_.end(),
                                            [](const auto& e) { return e->removed; }),
                             window->hooks_.end());
    }
  } guard{this};
  // By index: a hook may add hooks, which may move the list.
  for (std::size_t i = 0; i < hooks_.size(); ++i) {
    std::shared_ptr<HookEntry> entry = hooks_[i];
    if (entry->removed) continue;
    if (entry->hook(message)) return message.result;
  }
  return HandleMessage(message);
}

LRESULT CALLBACK Window::WindowProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* window = nullptr;
  if (message == WM_NCCREATE) {
    window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    window->SetHandle(handle);
  } else {
    window = reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
  }
  // Messages that come before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
  if (!window) return DefWindowProcW(handle, message, wparam, lparam);

  LRESULT result = 0;
  try {
    WindowMessage m{message, wparam, lparam};
    result = window->Dispatch(m);
  } catch (...) {
    DeferException(std::current_exception());
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    window->SetHandle(nullptr);
  }
  return result;
}

}  // namespace vistrel
