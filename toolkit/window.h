// Windows as objects: one window procedure for every window of the toolkit, the object bound to
// its handle at WM_NCCREATE and unbound at WM_NCDESTROY, and per-window message hooks.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// kWindowClassName: the class of every toolkit window; the programs find each other's windows by
// it and a caption.
#include "common/shared_names.h"

namespace vistrel {

// A window's text (a caption, a control's text).
std::string WindowText(HWND window);

struct WindowMessage {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  LRESULT result = 0;
};

// Sees a message before the window's own processing. Returns true when it handled the message
// (result is then the answer); false lets the message go on.
using MessageHook = std::function<bool(WindowMessage&)>;
using HookId = unsigned;

// What toolkit windows and controls share: one system window that goes with the object.
class WindowObject {
 public:
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;

  HWND Handle() const { return handle_; }
  bool HasHandle() const { return handle_ != nullptr; }

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  void Post(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;

 protected:
  WindowObject() = default;
  ~WindowObject() = default;
  void SetHandle(HWND handle) { handle_ = handle; }

 private:
  HWND handle_ = nullptr;
};

class Window : public WindowObject {
 public:
  // Destroys the window if it still exists. A window object must not be deleted from inside
  // one of its own messages.
  virtual ~Window();

  // Hooks run in the order they were added. Adding or removing hooks from inside a hook is
  // allowed; a hook removed meanwhile is not called again.
  HookId AddMessageHook(MessageHook hook);
  void RemoveMessageHook(HookId id);

  void Destroy();

 protected:
  Window() = default;

  struct CreateArgs {
    std::string text;
    DWORD style = 0;
    DWORD ex_style = 0;
    int left = CW_USEDEFAULT;
    int top = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    HWND parent = nullptr;
  };
  // Creates the window of the toolkit's class; a failure raises a toolkit check.
  void CreateHandle(const CreateArgs& args);

  // What no hook handled; the base hands it to DefWindowProcA.
  virtual LRESULT HandleMessage(WindowMessage& message);

 private:
  struct HookEntry {
    HookId id;
    MessageHook hook;
    bool removed = false;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(WindowMessage& message);

  // Entries are shared so that a hook stays alive while it runs, even if it removes itself.
  std::vector<std::shared_ptr<HookEntry>> hooks_;
  HookId next_hook_id_ = 1;
  int dispatch_depth_ = 0;
};

}  // namespace vistrel
