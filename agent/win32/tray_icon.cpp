#include "agent/win32/tray_icon.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "agent/logic/tray_text.h"
#include "agent/win32/agent_ids.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"

namespace vistrel {

namespace {

constexpr int kMinBalloonSeconds = 1;
constexpr int kMaxBalloonSeconds = 30;

UINT next_icon_id = kFirstTrayIconId;

// The shell broadcasts it when the taskbar has been (re)created; registered with the first icon.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// The text has been cut to the field by CutToField already; this only guards the field.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], const std::string& text) {
  const std::wstring wide = Widen(text);
  std::size_t length = std::min(wide.size(), N - 1);
  std::memcpy(field, wide.data(), length * sizeof(wchar_t));
  field[length] = L'\0';
}

}  // namespace

BOOL SystemShellNotify(DWORD message, NOTIFYICONDATAW* data) {
  return Shell_NotifyIconW(message, data);
}

TrayIcon::TrayIcon(Window& owner, ShellNotify notify, TrayIconFunctions icons)
    : owner_(owner),
      notify_(std::move(notify)),
      copy_icon_(std::move(icons.Copy)),
      icon_(nullptr, std::move(icons.Destroy)) {
  data_.cbSize = kTrayIconDataSize;
  data_.hWnd = owner_.Handle();
  data_.uID = next_icon_id++;
  const UINT taskbar_created = TaskbarCreatedMessage();
  taskbar_hook_ = owner_.AddMessageHook([this, taskbar_created](WindowMessage& message) {
    // The new taskbar knows no icons: put ours back with its current tooltip and callback.
    if (message.message == taskbar_created && active_) {
      SetActive(false);
      SetActive(true);
    }
    return false;
  });
}

TrayIcon::~TrayIcon() {
  hide_timer_.reset();
  if (active_) SetActive(false);
  owner_.RemoveMessageHook(taskbar_hook_);
  if (balloon_hook_) owner_.RemoveMessageHook(balloon_hook_);
  if (mouse_hook_) owner_.RemoveMessageHook(mouse_hook_);
}

BOOL TrayIcon::Notify(DWORD message) {
  data_.hWnd = owner_.Handle();
  return notify_(message, &data_);
}

std::string TrayIcon::FitField(const std::string& text, std::size_t field_size) const {
  return CutToField(text, field_size);
}

void TrayIcon::Add() {
  const UINT id = data_.uID;
  data_ = {};
  data_.cbSize = kTrayIconDataSize;
  data_.uID = id;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = kTrayCallbackMessage;
  data_.hIcon = icon_.get();
  CopyField(data_.szTip, FitField(tooltip_, std::size(data_.szTip)));
  Notify(NIM_ADD);
}

void TrayIcon::SetActive(bool active) {
  active_ = active;
  if (!icon_ || !owner_.HasHandle()) return;
  if (active)
    Add();
  else
    Notify(NIM_DELETE);
}

void TrayIcon::SetIcon(HICON icon) {
  if (!icon) return;
  if (icon != icon_.get()) icon_.reset(icon);
  if (!active_) return;
  data_.hIcon = icon;
  // With the balloon texts empty, this also closes a balloon that is showing.
  data_.uFlags = NIF_ICON | NIF_INFO;
  if (!Notify(NIM_MODIFY)) Add();
}

HICON TrayIcon::LoadIconResource(const char* name) {
  // The system keeps one shared copy per name at the tray's size; the tray gets a private copy
  // of it, which is right to destroy on replacement. (Loading unshared copies over and over makes
  // the process grow on some systems, even though each is destroyed.)
  auto shared = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  HICON icon = shared ? copy_icon_(shared) : nullptr;
  if (icon) SetIcon(icon);
  return icon;
}

void TrayIcon::SetTooltip(const std::string& text) {
  tooltip_ = text;
  if (!active_) return;
  CopyField(data_.szTip, FitField(tooltip_, std::size(data_.szTip)));
  data_.uFlags = NIF_TIP;
  Notify(NIM_MODIFY);
}

void TrayIcon::ShowBalloon(DWORD icon_flags, int seconds) {
  seconds = std::clamp(seconds, kMinBalloonSeconds, kMaxBalloonSeconds);
  display_time_ = static_cast<std::uint16_t>(seconds * 1000);
  data_.uFlags = NIF_INFO;
  data_.dwInfoFlags = icon_flags;
  data_.uTimeout = display_time_;
  CopyField(data_.szInfoTitle, FitField(BalloonTitle, std::size(data_.szInfoTitle)));
  CopyField(data_.szInfo, FitField(BalloonText, std::size(data_.szInfo)));
  Notify(NIM_MODIFY);
  // Later modifications carry NIF_INFO too; empty texts there mean "no balloon".
  data_.szInfoTitle[0] = L'\0';
  data_.szInfo[0] = L'\0';
}

void TrayIcon::HideBalloon() {
  data_.uFlags = NIF_INFO;
  data_.szInfoTitle[0] = L'\0';
  data_.szInfo[0] = L'\0';
  Notify(NIM_MODIFY);
}

bool TrayIcon::IsOwnCallback(const WindowMessage& message) const {
  return message.message == kTrayCallbackMessage && message.wparam == data_.uID;
}

void TrayIcon::SetAutoHideBalloon(bool auto_hide) {
  if (auto_hide == AutoHideBalloon()) return;
  if (!auto_hide) {
    owner_.RemoveMessageHook(balloon_hook_);
    balloon_hook_ = 0;
    return;
  }
  balloon_hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    if (!IsOwnCallback(message)) return false;
    const auto notification = static_cast<UINT>(message.lparam);
    if (notification < NIN_BALLOONSHOW || notification > NIN_BALLOONUSERCLICK) return false;
    // May free the timer whose tick is running right now (a hide answered at once): the timer
    // allows that.
    hide_timer_.reset();
    if (notification == NIN_BALLOONSHOW) {
      // It stays until the next notification: with none, the hide is asked for again.
      hide_timer_ = std::make_unique<Timer>(owner_, display_time_, [this] { HideBalloon(); });
      hide_timer_->SetEnabled(true);
    }
    return false;
  });
}

void TrayIcon::SetOnMouseDown(MouseHandler handler) {
  on_mouse_down_ = std::move(handler);
  if (mouse_hook_) return;
  mouse_hook_ = owner_.AddMessageHook([this](WindowMessage& message) {
    if (!IsOwnCallback(message)) return false;
    TrayMouseInfo info;
    switch (static_cast<UINT>(message.lparam)) {
      case WM_MOUSEMOVE: GetCursorPos(&last_cursor_); return false;
      case WM_LBUTTONDOWN: info.Button = 1; break;
      case WM_RBUTTONDOWN: info.Button = 2; break;
      case WM_MBUTTONDOWN: info.Button = 3; break;
      default: return false;
    }
    info.X = static_cast<std::int16_t>(last_cursor_.x);
    info.Y = static_cast<std::int16_t>(last_cursor_.y);
    if (on_mouse_down_) {
      MouseHandler handler = on_mouse_down_;
      handler(MainWindow(), info);
    }
    return false;
  });
}

}  // namespace vistrel
