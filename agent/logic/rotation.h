// The rotation: a one-second tick that counts down the interval, shows the time left, and at
// the end picks the next list entry, starts the applier with it and waits for its result.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/settings.h"
#include "platform/clock.h"
#include "platform/monitors.h"

namespace vistrel {

constexpr std::uint32_t kBalloonInfoIcon = 1;     // NIIF_INFO
constexpr std::uint32_t kBalloonWarningIcon = 2;  // NIIF_WARNING
constexpr int kChangeBalloonSeconds = 3;
constexpr int kNoticeBalloonSeconds = 10;
// How long an applier may take before it is ended and the change counted as failed.
constexpr std::uint32_t kApplierTimeoutMs = 120000;
// The most one change may look for picture files on disk, in files and in milliseconds; the
// next tick goes on from there.
constexpr std::int64_t kMaxFileChecksPerTick = 50000;
constexpr std::uint32_t kMaxFileCheckMs = 250;
// A press of Next or Previous may look longer: the user waits for a picture, and a slow disk
// (or a busy machine) must not turn the press into nothing.
constexpr std::uint32_t kMaxPressFileCheckMs = 2000;
// Bytes of the shortest path that can be too long for a system: 248 UTF-16 units (a folder's
// limit) take at least as many UTF-8 bytes.
constexpr std::size_t kShortestLongPath = 248;
// Presses of Next and Previous remembered while a change runs.
constexpr std::size_t kMaxQueuedPresses = 1000;
// The same warning box is not shown again within this time after it was closed.
constexpr std::uint32_t kRepeatWarningMs = 2000;

// How a start of the applier went.
enum class ApplierStart : std::uint8_t {
  kWatched,    // it runs; its end comes through WatchedApplierEnded
  kUnwatched,  // started, its end not watched (a program of the user's own): counted as done
  kFailed,     // it could not be started
};

// What the rotation needs from the outside. The file operations default to the real files.
class RotationHost {
 public:
  virtual ~RotationHost() = default;

  virtual void SetTooltip(const std::string& text) = 0;
  virtual void ShowBalloon(const std::string& title, const std::string& text,
                           std::uint32_t icon_flags, int seconds) = 0;
  // Starts file with the parameter string; the result is not looked at.
  virtual void Launch(const std::string& file, const std::string& parameters) = 0;
  // Starts the applier; by default unwatched, through Launch.
  virtual ApplierStart StartApplier(const std::string& file, const std::string& parameters) {
    Launch(file, parameters);
    return ApplierStart::kUnwatched;
  }
  // True once the watched applier has ended, with its exit code.
  virtual bool WatchedApplierEnded(std::uint32_t& exit_code) {
    exit_code = 0;
    return true;
  }
  virtual void StopWatchedApplier() {}
  // A steadily rising millisecond count (wrapping), for the applier's time limit.
  virtual std::uint32_t Milliseconds() { return 0; }
  // A modal warning owned by the agent's window, for what the user just asked for; ticks,
  // hot keys and menu commands may arrive while it is open.
  virtual void ShowWarning(const std::string& text) = 0;
  // Whether a screen saver runs now.
  virtual bool ScreenSaverRunning() = 0;
  // Whether nobody can see the desktop: the session is locked or the display is off.
  virtual bool UserAway() { return false; }
  virtual ClockTime UtcTimeOfDay() = 0;
  // What the shell reports of the user (SHQueryUserNotificationState); 0 where it cannot tell.
  virtual int UserNotificationState() { return 0; }

  virtual bool FileExists(const std::string& path);
  virtual bool DirectoryExists(const std::string& path);
  virtual bool PathTooLong(const std::string& path);
  // The whole list in one go, the file closed again on return; false on an input/output error.
  virtual bool ReadList(const std::string& path, std::vector<std::string>& lines);
  virtual bool CreateEmptyList(const std::string& path);
  virtual bool WriteList(const std::string& path, const std::vector<std::string>& lines);
};

// A list entry as a change showed it, with its line number then.
struct ShownEntry {
  std::int32_t index = 0;
  std::string entry;
};
// The changes shown, oldest first, for Previous: each the entry shown, and with a picture on
// each monitor, the entries shown beside it.
struct HistoryItem {
  std::int32_t index = 0;
  std::string entry;
  std::vector<ShownEntry> others;
};
constexpr std::size_t kHistoryLength = 32;
// The most pictures one change deals, one per monitor.
constexpr std::size_t kMaxDealtPictures = 16;
// The history file: a line per change, the line number, a tab, the entry (no path holds a tab),
// and for each other picture of the change a tab, its line number, a tab and its entry.
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
  MonitorMode monitor_mode = MonitorMode::kOnePicture;        // kEachMonitor deals one per monitor
  bool portrait_on_portrait = defaults::kPortraitOnPortrait;  // the applier deals by it
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

// The seconds left as the tooltip says them: "12 min" (halves to even) from 60 on, "59 sec"
// below, empty at 0 and below.
std::string TimeLeftText(std::int64_t seconds_left);
// The tooltip for the seconds left: "Vistrel Agent [12 min]", "Paused" at 0 and below.
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
  // Change at once, whatever the pause state and the screen-saver rule; while a change runs,
  // the press is remembered and served when it ends.
  void NextNow();
  // Put back the wallpaper shown before the current one, whatever the pause state; the
  // countdown starts again. False when there is none to go back to; while a change runs, the
  // press is remembered (false too).
  bool PreviousNow();
  // Reads the history file named by state.history_path.
  void LoadHistory();
  // The primary screen's size in physical pixels, told at the start and whenever the display
  // changes. When it differs from the size told before, the current wallpaper is applied again
  // if its style is made for the screen's size (Stretch, Fit, Fill): once per real change, after
  // a change that is running, without advancing the rotation, restarting the countdown or a
  // balloon. A size of 0 (unknown) is ignored.
  // With one picture for all monitors (kOnePicture) only.
  void ScreenSizeIs(std::int32_t width, std::int32_t height);
  // The monitors, told at the start and whenever the display or the work area changes. When
  // the desktop is covered monitor by monitor or spanned and the layout differs from the one
  // told before, the current pictures are applied again, whatever their style, as by
  // ScreenSizeIs: once per change of layout. Mirrored monitors count once.
  void MonitorsAre(const std::vector<MonitorRect>& monitors);
  // Applies the current pictures again, whatever their style, as ScreenSizeIs does: the way
  // they cover the monitors (state.monitor_mode) has just changed.
  void RenderAgain();
  // Whether an applier started for a change still runs; PollChange looks at it again.
  bool ChangePending() const { return pending_.active; }
  void PollChange();

 private:
  // What one change has tried so far, so that a retry after a missing file never draws a line
  // again, and what it worked out once for all its tries.
  struct TickTries {
    std::int64_t missing_files = 0;
    std::int64_t file_checks = 0;
    bool drawn = false;               // the first random choice has been made
    std::int32_t shown_before = 0;    // LastIndex when the tick began
    std::vector<bool> tried;          // by line, from line 1
    std::vector<std::uint32_t> left;  // random retries: the lines not tried yet
    bool left_made = false;
    std::vector<std::int32_t> shuffle_order;  // of the round in progress
    bool shuffle_changed = false;             // the round's state is to be stored
    std::int64_t dealing = 1;                 // pictures this change shows
    std::set<std::string> missing_folders;
    std::set<std::string> present_folders;
    bool too_long_told = false;  // one word of it per change is enough
  };
  // A change whose applier runs.
  struct Pending {
    bool active = false;
    bool user = false;      // asked for by the user, not the timer
    bool previous = false;  // a step back through the history
    HistoryItem shown;
    std::int64_t lines = 0;  // in the list when it started
    std::uint32_t started_ms = 0;
    bool reapply = false;  // the current wallpaper again, for another screen size
  };

  void Tick(bool forced);
  // Reads the list once and tries its entries until one is started or the tick's work is done;
  // skip: lines passed over first (presses of Next served at once).
  void ChangeNow(bool user, std::int32_t skip = 0);
  std::string Choose(const std::vector<std::string>& lines, std::int64_t count, TickTries& tries,
                     std::int32_t skip);
  bool PictureExists(const std::string& path, TickTries& tries);
  // The file name part, as the balloons show it.
  std::string NameOf(const std::string& path);
  void Start(const std::string& viewer, const HistoryItem& shown, std::int64_t lines, bool user,
             bool previous);
  void Finish(std::uint32_t exit_code);
  void ServeQueued();
  void Changed(const HistoryItem& shown, bool previous);
  // The pictures a change deals: one per monitor, or one.
  std::int64_t PicturesPerChange() const;
  // The file names of the change's pictures, as the balloons show them.
  std::string NamesOf(const HistoryItem& shown);
  // A problem: a box for what the user asked for (one at a time), else a balloon (not twice
  // running for the same text).
  void Warn(const std::string& text, bool user);
  void Notice(const std::string& title, const std::string& text);
  void Remember(const HistoryItem& shown);
  void StoreHistory();
  std::int64_t DrawRandom(std::int64_t count, TickTries& tries);
  std::int64_t NextShuffled(const std::vector<std::string>& lines, std::int64_t count,
                            TickTries& tries);
  void StoreShuffle();
  // The pictures of a change that are still on the disk (the first alone unless all) in there;
  // false when none is.
  bool StillThere(const HistoryItem& shown, bool all, HistoryItem& there);
  // Applies the current wallpaper again for a new screen size.
  void Reapply();

  RotationHost& host_;  // not owning
  Settings settings_;
  Pending pending_;
  std::vector<bool> queued_;  // presses made during a change, in order: true Next, false Previous
  std::int64_t refused_in_a_row_ = 0;
  bool warning_open_ = false;
  std::string last_warning_;
  std::uint32_t warning_closed_ms_ = 0;
  std::string last_notice_;
  std::set<std::string> skipped_reported_;
  std::int32_t screen_width_ = 0;  // 0: no size told yet
  std::int32_t screen_height_ = 0;
  std::vector<MonitorRect> monitors_;  // distinct, in a fixed order; none told yet
  bool reapply_wanted_ = false;        // the screen changed while a change ran
  bool reapply_any_style_ = false;     // the next one is for another way to cover the monitors
};

}  // namespace vistrel
