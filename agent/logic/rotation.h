// The rotation: a one-second tick that counts down the interval, shows the time left, and at
// the end picks the next list entry and starts the applier with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/settings.h"
#include "platform/clock.h"

namespace vistrel {

constexpr std::uint32_t kBalloonInfoIcon = 1;  // NIIF_INFO
constexpr int kChangeBalloonSeconds = 3;

// What the rotation needs from the outside. The file operations default to the real files.
class RotationHost {
 public:
  virtual ~RotationHost() = default;

  virtual void SetTooltip(const std::string& text) = 0;
  virtual void ShowBalloon(const std::string& title, const std::string& text,
                           std::uint32_t icon_flags, int seconds) = 0;
  // Starts file with the parameter string; the result is not looked at.
  virtual void Launch(const std::string& file, const std::string& parameters) = 0;
  // A modal warning owned by the agent's window; ticks may arrive while it is open.
  virtual void ShowWarning(const std::string& text) = 0;
  // Whether screen saving is enabled in the system settings (not whether one runs now).
  virtual bool ScreenSavingEnabled() = 0;
  virtual ClockTime UtcTimeOfDay() = 0;
  // What the shell reports of the user (SHQueryUserNotificationState); 0 where it cannot tell.
  virtual int UserNotificationState() { return 0; }
  virtual bool IsLeadByte(unsigned char) { return false; }

  virtual bool FileExists(const std::string& path);
  // The whole list in one go, the file closed again on return; false on an input/output error.
  virtual bool ReadList(const std::string& path, std::vector<std::string>& lines);
  virtual bool CreateEmptyList(const std::string& path);
  virtual bool WriteList(const std::string& path, const std::vector<std::string>& lines);
};

// The changes shown, oldest first, each with its line number then, for Previous.
struct HistoryItem {
  std::int32_t index = 0;
  std::string entry;
};
constexpr std::size_t kHistoryLength = 32;
// The history file: a line per change, the line number, a tab, the entry (no path holds a tab).
std::vector<HistoryItem> ParseHistory(const std::vector<std::string>& lines);
std::vector<std::string> FormatHistory(const std::vector<HistoryItem>& items);

struct RotationState {
  std::int32_t Interval = defaults::kAgentInterval;  // minutes, at least 1
  // Wider than the interval: Interval × 60 must not overflow for any stored interval.
  std::int64_t ElapsedSeconds = 0;
  std::int32_t LastIndex = defaults::kLastIndex;      // 1-based line of the entry chosen last
  bool RandomWallpaper = defaults::kRandomWallpaper;  // random or shuffled
  bool shuffle = false;  // every line once per round, in an order drawn at the round's start
  std::uint32_t shuffle_seed = 0;
  std::int32_t shuffle_position = 0;  // lines of the round shown so far
  std::uint32_t shuffle_list = 0;     // ListCheck of the list the round was made for
  bool ShowBaloonOnChange = defaults::kShowBaloonOnChange;
  bool RememberLast = defaults::kAgentRememberLast;
  bool DisableOnScreenSaver = defaults::kDisableOnScreenSaver;
  std::string ViewerPath = defaults::kViewerPath;
  // The folder a relative ViewerPath is taken from: the agent's own, so that the applier is
  // found beside it whatever the working folder. Empty: the working folder.
  std::string viewer_directory;
  std::string ListPath;
  std::string history_path;  // empty: the history lives only as long as the agent
  std::vector<HistoryItem> history;
  std::uint32_t seed = 0;

  std::int64_t IntervalSeconds() const { return std::int64_t{Interval} * 60; }
  // ViewerPath as the existence test and the launch use it.
  std::string ViewerProgram() const;
  std::int64_t SecondsLeft() const { return IntervalSeconds() - ElapsedSeconds; }
};

// A full-screen program, a presentation or a busy state (QUNS_BUSY,
// QUNS_RUNNING_D3D_FULL_SCREEN, QUNS_PRESENTATION_MODE): the countdown holds, as it does under
// the screen-saver rule.
bool ShellWantsQuiet(int user_notification_state);

// The tooltip for the seconds left: whole minutes (halves to even) from 60 on, seconds below,
// "Paused" at 0 and below.
std::string CountdownText(std::int64_t seconds_left);

// The milliseconds since UTC midnight.
std::uint32_t SeedFromClock(const ClockTime& time);
// A value from 0 to n - 1 (n at least 1); advances the seed.
std::uint32_t RandomBelow(std::uint32_t& seed, std::uint32_t n);

// The order of a shuffled round of count lines (1-based line numbers), drawn from seed.
std::vector<std::int32_t> ShuffleOrder(std::uint32_t seed, std::int32_t count);
// A check number of a list's lines: another list (lines added, removed, edited, moved) gives
// another number but for a one in 2^32 chance.
std::uint32_t ListCheck(const std::vector<std::string>& lines);

class Rotation {
 public:
  // settings: where "LastIndex" is written after a change.
  Rotation(RotationHost& host, Settings settings) : host_(host), settings_(std::move(settings)) {}

  RotationState state;

  // The timer's tick: count a second, and change when the interval has run out.
  void OnRotationTick();
  // Change at once, whatever the pause state and the screen-saver rule.
  void NextNow();
  // Put back the wallpaper shown before the current one, whatever the pause state; the
  // countdown starts again. False when there is none to go back to.
  bool PreviousNow();
  // Reads the history file named by state.history_path.
  void LoadHistory();

 private:
  enum class ChangeResult { Done, TryNext };
  // What one tick has tried so far, so that a retry after a missing file never draws a line
  // again.
  struct TickTries {
    std::int64_t missing_files = 0;
    bool drawn = false;             // the first random choice has been made
    std::int32_t shown_before = 0;  // LastIndex when the tick began
    std::vector<bool> tried;        // by line, from line 1
  };
  ChangeResult Change(TickTries& tries);
  void Remember(std::int32_t index, const std::string& entry);
  void StoreHistory();
  void Launched(const std::string& viewer, const std::string& entry, const std::string& path);
  std::int64_t DrawRandom(std::int64_t count, TickTries& tries);
  std::int64_t NextShuffled(const std::vector<std::string>& lines, std::int64_t count);

  RotationHost& host_;  // not owning
  Settings settings_;
};

}  // namespace vistrel
