#include "agent/win32/agent_window.h"

#include <algorithm>

#include "agent/logic/about_text.h"
#include "agent/logic/agent_settings.h"
#include "agent/logic/agent_texts.h"
#include "agent/logic/hot_keys.h"
#include "agent/logic/tray_text.h"
#include "agent/win32/agent_ids.h"
#include "common/apply_result.h"
#include "common/shared_names.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"

namespace vistrel {

namespace {

constexpr int kDesignLeft = 190;
constexpr int kDesignTop = 101;
constexpr int kClientWidth = 254;
constexpr int kClientHeight = 99;
// Where the window goes while the menu is open: wholly left of the screen.
constexpr int kOffScreenLeft = -300;
constexpr UINT kRotationPeriodMs = 1000;
constexpr UINT kWatchPeriodMs = 100;
constexpr UINT kSessionChangeMessage = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr WPARAM kSessionLock = 7;              // WTS_SESSION_LOCK
constexpr WPARAM kSessionUnlock = 8;            // WTS_SESSION_UNLOCK
constexpr WPARAM kPowerSettingChange = 0x8013;  // PBT_POWERSETTINGCHANGE
// GUID_CONSOLE_DISPLAY_STATE: 0 off, 1 on, 2 dimmed.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
struct PowerSetting {  // POWERBROADCAST_SETTING
  GUID setting;
  DWORD length;
  UCHAR data[1];
};

TopLevelWindowArgs AgentWindowArgs() {
  TopLevelWindowArgs args;
  args.caption = kAgentTitle;
  args.ex_style = WS_EX_TOOLWINDOW;  // no taskbar button
  args.left = kDesignLeft;
  args.top = kDesignTop;
  args.client_width = kClientWidth;
  args.client_height = kClientHeight;
  args.visible = false;
  return args;
}

class Win32HotKeys : public HotKeyRegistrar {
 public:
  bool Register(HWND window, int id, UINT modifiers, UINT virtual_key) override {
    // Held down, a key repeats; one change per press is enough (MOD_NOREPEAT, Windows 7 on).
    constexpr UINT kNoRepeat = 0x4000;
    return ::RegisterHotKey(window, id, modifiers | kNoRepeat, virtual_key) != FALSE;
  }
  void Unregister(HWND window, int id) override { ::UnregisterHotKey(window, id); }
};

}  // namespace

HotKeyRegistrar& SystemHotKeys() {
  static Win32HotKeys hot_keys;
  return hot_keys;
}

AgentWindow::AgentWindow(AgentOptions options)
    : services_(std::move(options.services)),
      settings_(options.settings_path),
      rotation_(*this, settings_),
      window_(AgentWindowArgs()) {
  SetMainWindow(&window_);

  window_.AddMessageHook([this](WindowMessage& message) {
    if (message.message == kAgentReloadMessage) {
      const MonitorMode mode = rotation_.state.monitor_mode;
      const bool portrait = rotation_.state.portrait_on_portrait;
      ReloadSettings(settings_, rotation_.state, message.wparam == kReloadReadsLastIndex);
      // The wallpaper shows the new way to cover the monitors at once, not at the next change.
      const RotationState& now = rotation_.state;
      if (now.monitor_mode != mode ||
          (mode == MonitorMode::kEachMonitor && now.portrait_on_portrait != portrait))
        rotation_.RenderAgain();
      FollowChange();
    }
    if (message.message == WM_HOTKEY) {
      if (message.wparam == kHotKeyNext) NextNow();
      if (message.wparam == kHotKeyPrevious) PreviousNow();
    }
    if (message.message == kAgentShowStateMessage) ShowStateBalloon(kAlreadyRunningTitle);
    // Another display mode, or monitors added, removed or moved (the work area changes with
    // them): a wallpaper made for the old screen size or layout is made again. The sizes come
    // from the desktop, not the message, which a process that is not DPI aware gets scaled.
    if (message.message == WM_DISPLAYCHANGE ||
        (message.message == WM_SETTINGCHANGE && message.wparam == SPI_SETWORKAREA)) {
      TellScreenSize();
      FollowChange();
    }
    if (message.message == kSessionChangeMessage) {
      if (message.wparam == kSessionLock) session_locked_ = true;
      if (message.wparam == kSessionUnlock) session_locked_ = false;
    }
    if (message.message == WM_POWERBROADCAST && message.wparam == kPowerSettingChange &&
        message.lparam) {
      const auto* setting = reinterpret_cast<const PowerSetting*>(message.lparam);
      if (IsEqualGUID(setting->setting, kConsoleDisplayState) && setting->length >= 1)
        display_off_ = setting->data[0] == 0;
    }
    // At logoff or shutdown the process ends without its window being closed: the state that
    // closing stores is stored here too, or a resumed rotation starts paused at the next logon.
    if (message.message == WM_ENDSESSION && message.wparam)
      SaveOnClose(settings_, rotation_.state, menu_ && menu_->Checked(pause_item_));
    // Left to the default processing as well.
    return false;
  });
  window_.OnClose = [this] {
    SaveOnClose(settings_, rotation_.state, menu_ && menu_->Checked(pause_item_));
    return true;
  };
  // The window frees the icon, the timer and the menu with its handle (the icon must leave the
  // notification area while the handle is still valid); the references to them go first.
  window_.OnDestroy = [this] {
    UnregisterHotKeys();
    UnregisterAwayNotifications();
    tray_ = nullptr;
    rotation_timer_ = nullptr;
    watch_timer_ = nullptr;
    menu_ = nullptr;
  };

  tray_ = &window_.Make<TrayIcon>(window_, services_.shell_notify, services_.tray_icons);
  tray_->SetAutoHideBalloon(true);
  tray_->SetTooltip(kAgentTitle);
  tray_->LoadIconResource(kIconActiveStartup);
  tray_->SetActive(true);
  tray_->SetOnMouseDown(
      [this](TopLevelWindow* sender, const TrayMouseInfo& info) { OnMouseDown(sender, info); });

  rotation_timer_ = &window_.Make<Timer>(window_, kRotationPeriodMs, [this] {
    rotation_.OnRotationTick();
    FollowChange();
  });
  // Runs whatever the pause state: a Next while paused is watched to its end too.
  watch_timer_ = &window_.Make<Timer>(window_, kWatchPeriodMs, [this] {
    rotation_.PollChange();
    FollowChange();
  });

  menu_ = &window_.Make<PopupMenu>(window_);
  PopupMenu& menu = *menu_;
  menu.AddItem({kMenuAbout, [this] { ShowAbout(); }, kCommandAbout});
  menu.AddSeparator();
  menu.AddItem({kMenuOptions, [this] { OpenOptions(); }, kCommandOptions});
  pause_item_ = menu.AddItem({kMenuPause, [this] { TogglePause(); }, kCommandPause});
  menu.AddItem({kMenuNext, [this] { NextNow(); }, kCommandNext});
  menu.AddItem({kMenuPrevious, [this] { PreviousNow(); }, kCommandPrevious});
  menu.AddItem({kMenuRemoveWallpaper, [this] { RemoveWallpaper(); }, kCommandRemoveWallpaper});
  menu.AddSeparator();
  menu.AddItem({kMenuExit, [this] { ExitAgent(); }, kCommandExit});

  rotation_.state.ListPath = options.list_path;
  rotation_.state.viewer_directory = options.program_directory;
  rotation_.state.history_path = options.history_path;
  const bool paused = LoadSettings(settings_, rotation_.state);
  SetPaused(paused, kAgentTitle);
  rotation_.LoadHistory();
  TellScreenSize();
  RegisterHotKeys();
  RegisterAwayNotifications();
  // A first start is paused: without a word, pressing Agent would seem to do nothing.
  if (paused) ShowStateBalloon(kAgentTitle);
}

void AgentWindow::RegisterAwayNotifications() {
  // Windows XP and Vista on; looked up so that the agent still starts where they are missing.
  using SessionFn = BOOL(WINAPI*)(HWND, DWORD);
  if (HMODULE wts = LoadLibraryA("wtsapi32.dll")) {
    auto do_register = reinterpret_cast<SessionFn>(
        reinterpret_cast<void*>(GetProcAddress(wts, "WTSRegisterSessionNotification")));
    session_notification_ = do_register && do_register(window_.Handle(), 0) != FALSE;
  }
  using PowerFn = void*(WINAPI*)(HANDLE, const GUID*, DWORD);
  auto power = reinterpret_cast<PowerFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification")));
  if (power) display_notification_ = power(window_.Handle(), &kConsoleDisplayState, 0);
}

void AgentWindow::UnregisterAwayNotifications() {
  if (session_notification_) {
    using SessionFn = BOOL(WINAPI*)(HWND);
    if (HMODULE wts = GetModuleHandleA("wtsapi32.dll")) {
      auto unregister = reinterpret_cast<SessionFn>(
          reinterpret_cast<void*>(GetProcAddress(wts, "WTSUnRegisterSessionNotification")));
      if (unregister) unregister(window_.Handle());
    }
    session_notification_ = false;
  }
  if (display_notification_) {
    using PowerFn = BOOL(WINAPI*)(void*);
    auto unregister = reinterpret_cast<PowerFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification")));
    if (unregister) unregister(display_notification_);
    display_notification_ = nullptr;
  }
}

void AgentWindow::TellScreenSize() {
  std::int32_t width = 0, height = 0;
  if (services_.desktop->PrimaryScreenSize(width, height)) rotation_.ScreenSizeIs(width, height);
  rotation_.MonitorsAre(services_.desktop->Monitors());
}

void AgentWindow::FollowChange() {
  if (watch_timer_) watch_timer_->SetEnabled(rotation_.ChangePending());
}

void AgentWindow::ShowStateBalloon(const std::string& title) {
  if (Paused())
    ShowBalloon(title, kStartedPausedText, kBalloonInfoIcon, kNoticeBalloonSeconds);
  else  // a countdown that has run out waits for its change: a second at most
    ShowBalloon(
        title,
        kRunningText + TimeLeftText(std::max<std::int64_t>(rotation_.state.SecondsLeft(), 1)) + ".",
        kBalloonInfoIcon, kNoticeBalloonSeconds);
}

void AgentWindow::RegisterHotKeys() {
  const std::pair<int, std::pair<const char*, const char*>> wanted[] = {
      {kHotKeyNext, {keys::kNextHotKey, defaults::kNextHotKey}},
      {kHotKeyPrevious, {keys::kPreviousHotKey, defaults::kPreviousHotKey}}};
  for (const auto& [id, key_and_default] : wanted) {
    const std::string text = settings_.ReadText(key_and_default.first, key_and_default.second);
    const char* command = id == kHotKeyNext ? kMenuNext : kMenuPrevious;
    HotKey key;
    if (!ParseHotKey(text, key)) {
      hot_key_notes_.push_back(std::string(key_and_default.first) + "=" + text +
                               kHotKeyUnreadableAfter + command + kHotKeyWorksWithout);
      continue;
    }
    if (key.virtual_key == 0) continue;  // switched off
    // Taken by another program: the agent goes on without it, and the About box says so.
    if (!services_.hot_keys->Register(window_.Handle(), id, key.modifiers, key.virtual_key)) {
      hot_key_notes_.push_back(kHotKeyTakenBefore + HotKeyText(key) + " (" + command + ")" +
                               kHotKeyTakenAfter + command + kHotKeyWorksWithout);
      continue;
    }
    hot_keys_.push_back(id);
  }
}

void AgentWindow::UnregisterHotKeys() {
  for (int id : hot_keys_) services_.hot_keys->Unregister(window_.Handle(), id);
  hot_keys_.clear();
}

AgentWindow::~AgentWindow() {
  // Destroy the handle while the members its messages reach still exist.
  window_.Destroy();
}

void AgentWindow::SetPaused(bool paused, const std::string& running_tooltip) {
  if (!rotation_timer_ || !menu_ || !tray_) return;
  rotation_timer_->SetEnabled(!paused);
  menu_->SetChecked(pause_item_, paused);
  tray_->LoadIconResource(paused ? kIconInactive : kIconActive);
  tray_->SetTooltip(paused ? std::string(kPausedTooltip) : running_tooltip);
}

void AgentWindow::ShowAbout() {
  TopLevelWindow* main = MainWindow();
  services_.message_boxes->Show(nullptr, AboutText(rotation_.state.Interval, hot_key_notes_),
                                main ? main->Caption() : std::string(kAgentTitle),
                                MB_OK | MB_ICONINFORMATION);
}

void AgentWindow::OpenOptions() {
  const std::string viewer = rotation_.state.ViewerProgram();
  if (RotationHost::FileExists(viewer)) {
    services_.launcher->Launch(viewer, std::string());
    return;
  }
  services_.message_boxes->Show(window_.Handle(), kCannotFind + viewer + kConfigurationUnavailable,
                                kWarningCaption, MB_OK | MB_ICONWARNING);
  // The settings file opens in whatever the system associates with it.
  services_.launcher->Launch(settings_.Path(), std::string());
}

void AgentWindow::TogglePause() {
  if (!rotation_timer_) return;
  // The countdown resumes where it stopped.
  SetPaused(rotation_timer_->Enabled(), CountdownText(rotation_.state.SecondsLeft()));
}

void AgentWindow::NextNow() {
  rotation_.NextNow();
  FollowChange();
}

void AgentWindow::PreviousNow() {
  const bool went_back = rotation_.PreviousNow();
  FollowChange();
  if (!went_back) return;
  // The countdown starts again; the tooltip says so at once while the rotation runs.
  if (!Paused()) SetTooltip(CountdownText(rotation_.state.SecondsLeft()));
}

void AgentWindow::RemoveWallpaper() {
  services_.desktop->RemoveWallpaper();
}

void AgentWindow::ExitAgent() {
  window_.Close();
}

void AgentWindow::OnMouseDown(TopLevelWindow*, const TrayMouseInfo& info) {
  if (info.Button == 1)
    TogglePause();
  else if (info.Button == 2)
    OpenMenuAtCursor();
}

void AgentWindow::OpenMenuAtCursor() {
  if (!menu_) return;
  // The menu closes properly on a click elsewhere only when its owner is the foreground
  // window; the owner is shown for that, but off the screen.
  window_.MoveTo(kOffScreenLeft, window_.Bounds().top);
  window_.Show();
  window_.BringToForeground();
  window_.Focus();
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  menu_->Popup(cursor.x, cursor.y);
  // Out of sight again: on a desk with a monitor left of the main one, x = -300 is on screen,
  // and the window's close box would end the agent.
  window_.Hide();
}

void AgentWindow::SetTooltip(const std::string& text) {
  if (tray_) tray_->SetTooltip(text);
}

void AgentWindow::ShowBalloon(const std::string& title, const std::string& text,
                              std::uint32_t icon_flags, int seconds) {
  if (!tray_) return;
  tray_->BalloonTitle = title;
  tray_->BalloonText = text;
  tray_->ShowBalloon(icon_flags, seconds);
}

void AgentWindow::Launch(const std::string& file, const std::string& parameters) {
  services_.launcher->Launch(file, parameters);
}

ApplierStart AgentWindow::StartApplier(const std::string& file, const std::string& parameters) {
  // Only our own applier reports through its exit code; a viewer of the user's own is started
  // as before and trusted.
  const std::string name = FileNamePart(file);
  if (lstrcmpiW(Widen(name).c_str(), Widen(kWindowProgram).c_str()) != 0) {
    Launch(file, parameters);
    return ApplierStart::kUnwatched;
  }
  applier_ = services_.launcher->LaunchWatched(file, parameters, kAgentApplyVariable);
  return applier_ ? ApplierStart::kWatched : ApplierStart::kFailed;
}

bool AgentWindow::WatchedApplierEnded(std::uint32_t& exit_code) {
  if (!applier_) {
    exit_code = 1;
    return true;
  }
  if (!applier_->Ended(exit_code)) return false;
  applier_.reset();
  return true;
}

void AgentWindow::StopWatchedApplier() {
  if (applier_) applier_->Stop();
  applier_.reset();
}

std::uint32_t AgentWindow::Milliseconds() {
  return GetTickCount();
}

void AgentWindow::ShowWarning(const std::string& text) {
  services_.message_boxes->Show(window_.Handle(), text, kWarningCaption, MB_OK | MB_ICONWARNING);
}

bool AgentWindow::ScreenSaverRunning() {
  return services_.desktop->ScreenSaverRunning();
}

bool AgentWindow::UserAway() {
  return session_locked_ || display_off_;
}

ClockTime AgentWindow::UtcTimeOfDay() {
  return services_.clock->UtcTimeOfDay();
}

int AgentWindow::UserNotificationState() {
  return services_.desktop->UserNotificationState();
}

}  // namespace vistrel
