// The application window: the program's taskbar entry, a window of no size that owns the
// program's visible windows. Minimizing it hides them and leaves only the taskbar entry;
// restoring it brings them back. A main form with its own taskbar button (WS_EX_APPWINDOW) is
// the entry while it shows, so that the button's thumbnail shows it; then this window's entry is
// there only while the program is minimized.
#pragma once

#include <string>
#include <vector>

#include "toolkit/top_level_window.h"

namespace vistrel {

class ApplicationWindow : public TopLevelWindow {
 public:
  explicit ApplicationWindow(const std::string& caption);

  // Makes the application window the owner of the window; do it before the window is first
  // shown, so that it gets no taskbar entry of its own.
  void Own(TopLevelWindow& window);
  // The window whose close request the application window's own close passes on (the close
  // from the taskbar); null lets the application window close itself. Not owning.
  void SetMainForm(TopLevelWindow* form) { main_form_ = form; }

  // As WM_SYSCOMMAND with SC_MINIMIZE and SC_RESTORE.
  void Minimize();
  void Restore();
  bool IsMinimized() const;
  // Shows the taskbar entry (unless the main form is its own entry and shows).
  void ShowEntry();
  // Shows an owned window now, or when the application is restored if it is minimized.
  void ShowOwned(TopLevelWindow& window);

 private:
  bool FormHasOwnEntry() const;

  TopLevelWindow* main_form_ = nullptr;   // not owning
  std::vector<HWND> hidden_by_minimize_;  // shown again on restore
};

}  // namespace vistrel
