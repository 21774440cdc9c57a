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
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (deferred_error) std::rethrow_exception(std::exchange(deferred_error, nullptr));
  return code;
}

}  // namespace vistrel
