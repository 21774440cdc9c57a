#include "toolkit/window.h"

#include <algorithm>

#include "common/exception.h"
#include "toolkit/application.h"

namespace vistrel {

namespace {

void RegisterWindowClassOnce(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClassName;
  if (!RegisterClassA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    VISTREL_CHECK_FAILED("RegisterClassA");
  registered = true;
}

}  // namespace

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return text.data();
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
  return SendMessageA(handle_, message, wparam, lparam);
}

void WindowObject::Post(UINT message, WPARAM wparam, LPARAM lparam) const {
  PostMessageA(handle_, message, wparam, lparam);
}

void Window::Destroy() {
  if (HasHandle()) DestroyWindow(Handle());
}

void Window::CreateHandle(const CreateArgs& args) {
  RegisterWindowClassOnce(&Window::WindowProc);
  HWND created = CreateWindowExA(args.ex_style, kWindowClassName, args.text.c_str(), args.style,
                                 args.left, args.top, args.width, args.height, args.parent, nullptr,
                                 GetModuleHandleA(nullptr), this);
  if (!created) VISTREL_CHECK_FAILED("CreateWindowExA");
}

LRESULT Window::HandleMessage(WindowMessage& message) {
  return DefWindowProcA(Handle(), message.message, message.wparam, message.lparam);
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
    window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    window->SetHandle(handle);
  } else {
    window = reinterpret_cast<Window*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
  }
  // Messages that come before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
  if (!window) return DefWindowProcA(handle, message, wparam, lparam);

  LRESULT result = 0;
  try {
    WindowMessage m{message, wparam, lparam};
    result = window->Dispatch(m);
  } catch (...) {
    DeferException(std::current_exception());
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    window->SetHandle(nullptr);
  }
  return result;
}

}  // namespace vistrel
