// The agent's hidden window with its tray icon, rotation timer and menu.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/logic/rotation.h"
#include "agent/win32/tray_icon.h"
#include "common/settings.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/launcher.h"
#include "platform/message_boxes.h"
#include "toolkit/form.h"
#include "toolkit/popup_menu.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel {

// Global hot keys on the agent's window.
class HotKeyRegistrar {
 public:
  virtual ~HotKeyRegistrar() = default;
  // False when another program has the key.
  virtual bool Register(HWND window, int id, UINT modifiers, UINT virtual_key) = 0;
  virtual void Unregister(HWND window, int id) = 0;
};

// RegisterHotKey and UnregisterHotKey.
HotKeyRegistrar& SystemHotKeys();

// What the agent uses beyond its window: the system's unless a test puts its fakes in. None is
// owned; each must outlive the agent.
struct AgentServices {
  Desktop* desktop = &SystemDesktop();
  Launcher* launcher = &SystemLauncher();
  MessageBoxes* message_boxes = &SystemMessageBoxes();
  Clock* clock = &SystemClock();
  HotKeyRegistrar* hot_keys = &SystemHotKeys();
  // The tray icon's way to the shell.
  ShellNotify shell_notify = SystemShellNotify;
  TrayIconFunctions tray_icons;
};

struct AgentOptions {
  std::string list_path;
  std::string settings_path;
  // Where the changes shown are kept for Previous; empty: not kept across a restart.
  std::string history_path;
  // Where a relative "ViewerPath" is looked for; empty: the working folder.
  std::string program_directory;
  AgentServices services;
};

class AgentWindow : private RotationHost {
 public:
  // Builds the window, icon, timer and menu, makes the window the application's main window,
  // and reads the settings.
  explicit AgentWindow(AgentOptions options);
  ~AgentWindow() override;

  TopLevelWindow& Window() { return window_; }
  // These three are freed with the window's handle (at WM_DESTROY); null afterwards.
  TrayIcon* Tray() { return tray_; }
  Timer* RotationTimer() { return rotation_timer_; }
  PopupMenu* Menu() { return menu_; }
  PopupMenu::ItemId PauseItem() const { return pause_item_; }
  RotationState& State() { return rotation_.state; }
  bool Paused() const { return !rotation_timer_ || !rotation_timer_->Enabled(); }
  // Whether the applier of a change still runs.
  bool ChangePending() const { return rotation_.ChangePending(); }

  void ShowAbout();
  void OpenOptions();
  void TogglePause();
  void NextNow();
  void PreviousNow();
  void RemoveWallpaper();
  // What the About box says of the hot keys: one line per key that could not be had.
  const std::vector<std::string>& HotKeyNotes() const { return hot_key_notes_; }
  void ExitAgent();

 private:
  // RotationHost
  void SetTooltip(const std::string& text) override;
  void ShowBalloon(const std::string& title, const std::string& text, std::uint32_t icon_flags,
                   int seconds) override;
  void Launch(const std::string& file, const std::string& parameters) override;
  ApplierStart StartApplier(const std::string& file, const std::string& parameters) override;
  bool WatchedApplierEnded(std::uint32_t& exit_code) override;
  void StopWatchedApplier() override;
  std::uint32_t Milliseconds() override;
  void ShowWarning(const std::string& text) override;
  bool ScreenSaverRunning() override;
  bool UserAway() override;
  ClockTime UtcTimeOfDay() override;
  int UserNotificationState() override;

  // The running state's tooltip is given: the caption at start-up, the countdown on resuming.
  void SetPaused(bool paused, const std::string& running_tooltip);
  void OnMouseDown(TopLevelWindow* sender, const TrayMouseInfo& info);
  void OpenMenuAtCursor();
  void RegisterHotKeys();
  void UnregisterHotKeys();
  // Session lock and display state notifications, where the system has them.
  void RegisterAwayNotifications();
  void UnregisterAwayNotifications();
  // The watch on a running applier follows the rotation after each of its steps.
  void FollowChange();
  // Tells the rotation the primary screen's size.
  void TellScreenSize();
  // The state in a balloon: paused and how to resume, or the time to the next change.
  void ShowStateBalloon(const std::string& title);

  AgentServices services_;
  Settings settings_;
  Rotation rotation_;
  // Made by the window, which owns them; cleared when it frees them.
  TrayIcon* tray_ = nullptr;
  Timer* rotation_timer_ = nullptr;
  Timer* watch_timer_ = nullptr;  // while an applier runs
  std::unique_ptr<WatchedProgram> applier_;
  bool session_locked_ = false;
  bool display_off_ = false;
  void* display_notification_ = nullptr;  // HPOWERNOTIFY
  bool session_notification_ = false;
  PopupMenu* menu_ = nullptr;
  PopupMenu::ItemId pause_item_ = PopupMenu::kTopLevel;
  std::vector<std::string> hot_key_notes_;
  std::vector<int> hot_keys_;  // the ids registered
  // Last, so it is destroyed first: its WM_DESTROY frees the icon, the timer and the menu.
  Form window_;
};

}  // namespace vistrel
