#include "toolkit/application.h"

#include <windows.h>

#include <utility>

namespace vistrel {

namespace {
TopLevelWindow* main_window = nullptr;  // not owning
std::exception_ptr deferred_error;
}  // namespace

void SetMainWindow(TopLevelWindow* window) {
  main_window = window;
}

TopLevelWindow* MainWindow() {
  return main_window;
}

void DeferException(std::exception_ptr error) {
  if (!deferred_error) deferred_error = error;
  // Nested loops (message boxes, menus) pass the quit message on to this thread's outer loops.
  PostQuitMessage(1);
}

namespace {

// Windows that take dialog keys (Tab, arrows, Enter, Escape, Alt mnemonics) are those that mark
// themselves as holding controls.
bool TakesDialogKeys(HWND root) {
  return root && (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
}

// Focus rectangles and underlines come into view once the keyboard is used, as in a dialog.
void ShowKeyboardCues(HWND root, const MSG& message) {
  WORD cues = 0;
  if (message.message == WM_SYSKEYDOWN)
    cues = UISF_HIDEACCEL | UISF_HIDEFOCUS;
  else if (message.message == WM_KEYDOWN &&
           (message.wParam == VK_TAB || (message.wParam >= VK_LEFT && message.wParam <= VK_DOWN)))
    cues = UISF_HIDEFOCUS;
  if (cues) SendMessageA(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, cues), 0);
}

}  // namespace

bool PreTranslateDialogKeys(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (!TakesDialogKeys(root)) return false;
  ShowKeyboardCues(root, message);
  return IsDialogMessageW(root, &message) != FALSE;
}

int RunMessageLoop() {
  MSG message = {};
  int code = 0;
  for (;;) {
    if (deferred_error) std::rethrow_exception(std::exchange(deferred_error, nullptr));
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) break;
    if (PreTranslateDialogKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (deferred_error) std::rethrow_exception(std::exchange(deferred_error, nullptr));
  return code;
}

}  // namespace vistrel
