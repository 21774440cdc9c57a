// The settings file: one section, one profile call per key, no caching.
#pragma once

#include <string>

#include "common/shared_names.h"

namespace vistrel {

constexpr const char kSettingsSection[] = "Settings";

namespace keys {
constexpr const char kInterval[] = "Interval";
constexpr const char kShowBaloonOnChange[] = "ShowBaloonOnChange";
constexpr const char kRememberLast[] = "RememberLast";
constexpr const char kLastIndex[] = "LastIndex";
constexpr const char kViewerPath[] = "ViewerPath";
constexpr const char kRandomWallpaper[] = "RandomWallpaper";
constexpr const char kDisableOnScreenSaver[] = "DisableOnScreenSaver";
constexpr const char kPaused[] = "Paused";
constexpr const char kStartHidden[] = "StartHidden";
constexpr const char kOpacity[] = "Opacity";
constexpr const char kWidth[] = "Width";
constexpr const char kHeight[] = "Height";
constexpr const char kLeft[] = "Left";
constexpr const char kTop[] = "Top";
constexpr const char kColumnWidth0[] = "ColumnWidth0";
constexpr const char kColumnWidth1[] = "ColumnWidth1";
// Shuffle's round, kept by the agent: the generator seed the round's order comes from, how many
// of the round have been shown, and a check number of the list the round was made for.
constexpr const char kShuffleSeed[] = "ShuffleSeed";
constexpr const char kShufflePosition[] = "ShufflePosition";
constexpr const char kShuffleList[] = "ShuffleList";
// Several monitors: how the desktop is covered, and whether portrait pictures seek portrait
// monitors when each has its own.
constexpr const char kMonitorMode[] = "MonitorMode";
constexpr const char kPortraitOnPortrait[] = "PortraitOnPortrait";
}  // namespace keys

// "RandomWallpaper": 0 in list order, 1 at random, 2 shuffled. A copy that reads it as a
// boolean takes 2 as random.
enum class WallpaperOrder : int { woSequential = 0, woRandom = 1, woShuffle = 2 };
WallpaperOrder OrderFromStored(int stored);

// "MonitorMode": 0 one picture that Windows lays out on every monitor, 1 a picture of its own on
// each monitor, 2 one picture across all of them. Anything else reads as 0, the behaviour of a
// copy that knows no such key.
enum class MonitorMode : int { kOnePicture = 0, kEachMonitor = 1, kSpan = 2 };
MonitorMode MonitorModeFromStored(int stored);

// Each program's defaults; where the two differ (RememberLast) both are given.
namespace defaults {
constexpr const char kWindowInterval[] = "5";
constexpr int kAgentInterval = 5;
constexpr bool kShowBaloonOnChange = true;
constexpr bool kWindowRememberLast = false;
constexpr bool kAgentRememberLast = true;
constexpr int kLastIndex = 1;
constexpr const char* const kViewerPath = kWindowProgram;
constexpr bool kRandomWallpaper = false;
constexpr bool kDisableOnScreenSaver = true;
constexpr bool kPaused = true;
constexpr bool kStartHidden = false;
constexpr int kOpacity = 255;
constexpr int kWidth = 462;
constexpr int kHeight = 400;
constexpr int kColumnWidth0 = 400;
constexpr int kColumnWidth1 = 50;
constexpr int kMonitorMode = 0;
constexpr bool kPortraitOnPortrait = true;
}  // namespace defaults

// Where vistrel.ini, list.txt and the wallpaper file live: the program's folder, or the user's
// own folder when the program's folder cannot be written (decided once per process; a first
// move there takes the settings and list along). Ends with a path separator.
std::string DataDirectory();

// `DataDirectory` + "vistrel.ini".
std::string SettingsFilePath();

class Settings {
 public:
  explicit Settings(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  int ReadInteger(const char* key, int default_value) const;
  bool ReadBool(const char* key, bool default_value) const;
  std::string ReadText(const char* key, const std::string& default_value) const;

  bool WriteInteger(const char* key, int value) const;
  bool WriteBool(const char* key, bool value) const;
  bool WriteText(const char* key, const std::string& value) const;

 private:
  std::string path_;
};

}  // namespace vistrel
