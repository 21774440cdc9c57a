// The icon in the taskbar's notification area: tooltip, balloon with automatic hiding, mouse
// presses, and coming back when the taskbar is re-created.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/win32/unique_handle.h"
#include "toolkit/timer.h"
#include "toolkit/top_level_window.h"

namespace vistrel {

// The UTF-16 record with the balloon fields and without the later ones: 936 bytes in the 32-bit
// layout the programs ship in (the ANSI record's 488 with its texts twice as wide). The 64-bit
// build (tests only) uses the same fields' own size.
#ifdef _WIN64
constexpr DWORD kTrayIconDataSize = NOTIFYICONDATAW_V2_SIZE;
#else
constexpr DWORD kTrayIconDataSize = 936;
static_assert(NOTIFYICONDATAW_V2_SIZE == kTrayIconDataSize, "32-bit record with balloon fields");
#endif

struct TrayMouseInfo {
  std::uint8_t Button = 0;  // 1 left, 2 right, 3 middle
  std::int16_t X = 0;
  std::int16_t Y = 0;
};

// Shell_NotifyIconW, or a stand-in for tests.
using ShellNotify = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;
BOOL SystemShellNotify(DWORD message, NOTIFYICONDATAW* data);

// How the tray makes its own copy of a loaded icon and destroys the icons it owns: CopyIcon and
// DestroyIcon, or stand-ins that count them for tests.
struct TrayIconFunctions {
  std::function<HICON(HICON shared)> Copy = [](HICON shared) { return CopyIcon(shared); };
  std::function<void(HICON own)> Destroy = [](HICON own) { DestroyIcon(own); };
};

class TrayIcon {
 public:
  // The owner receives the icon's callback messages and must outlive the icon.
  explicit TrayIcon(Window& owner, ShellNotify notify = SystemShellNotify,
                    TrayIconFunctions icons = {});
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  // Removes the icon from the notification area.
  ~TrayIcon();

  UINT Id() const { return data_.uID; }

  void SetActive(bool active);
  bool Active() const { return active_; }

  // Takes the icon over (the previous one is destroyed); a null handle is ignored.
  void SetIcon(HICON icon);
  HICON Icon() const { return icon_.get(); }
  // The named icon of the program at the small-icon size, as a copy the tray owns. Null when
  // there is none; then nothing changes.
  HICON LoadIconResource(const char* name);

  // Texts longer than their fields are cut (see CutToField).
  void SetTooltip(const std::string& text);
  const std::string& Tooltip() const { return tooltip_; }

  std::string BalloonTitle;
  std::string BalloonText;
  // Shows BalloonTitle and BalloonText; seconds are clamped to 1..30.
  void ShowBalloon(DWORD icon_flags, int seconds);
  void HideBalloon();
  std::uint16_t DisplayTime() const { return display_time_; }

  // Hides a shown balloon after the display time.
  void SetAutoHideBalloon(bool auto_hide);
  bool AutoHideBalloon() const { return balloon_hook_ != 0; }
  bool HideTimerRunning() const { return hide_timer_ != nullptr; }

  using MouseHandler = std::function<void(TopLevelWindow* sender, const TrayMouseInfo& info)>;
  void SetOnMouseDown(MouseHandler handler);

  // The record as last given to the shell.
  const NOTIFYICONDATAW& Data() const { return data_; }

 private:
  void Add();
  BOOL Notify(DWORD message);
  std::string FitField(const std::string& text, std::size_t field_size) const;
  bool IsOwnCallback(const WindowMessage& message) const;

  Window& owner_;  // not owning
  ShellNotify notify_;
  std::function<HICON(HICON)> copy_icon_;
  NOTIFYICONDATAW data_ = {};
  bool active_ = false;
  std::unique_ptr<std::remove_pointer_t<HICON>, std::function<void(HICON)>> icon_;
  std::string tooltip_;
  std::uint16_t display_time_ = 0;
  std::unique_ptr<Timer> hide_timer_;
  POINT last_cursor_ = {0, 0};
  MouseHandler on_mouse_down_;
  HookId taskbar_hook_ = 0;
  HookId balloon_hook_ = 0;
  HookId mouse_hook_ = 0;
};

}  // namespace vistrel
