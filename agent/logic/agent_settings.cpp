#include "agent/logic/agent_settings.h"

#include "common/list_file.h"

namespace vistrel {

namespace {

void ReadInterval(const Settings& settings, RotationState& state) {
  state.Interval = settings.ReadInteger(keys::kInterval, defaults::kAgentInterval);
  if (state.Interval <= 0) state.Interval = defaults::kAgentInterval;
  state.ElapsedSeconds = 0;
}

// Which entries a change takes, and how many: one, or one for each monitor.
void ReadDealing(const Settings& settings, RotationState& state) {
  const WallpaperOrder order = OrderFromStored(
      settings.ReadInteger(keys::kRandomWallpaper, defaults::kRandomWallpaper ? 1 : 0));
  state.RandomWallpaper = order != WallpaperOrder::woSequential;
  state.shuffle = order == WallpaperOrder::woShuffle;
  state.monitor_mode =
      MonitorModeFromStored(settings.ReadInteger(keys::kMonitorMode, defaults::kMonitorMode));
  state.portrait_on_portrait =
      settings.ReadBool(keys::kPortraitOnPortrait, defaults::kPortraitOnPortrait);
}

std::uint32_t ReadUnsigned(const Settings& settings, const char* key) {
  const std::string text = settings.ReadText(key, "0");
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::string AgentListPath(const std::string& first_argument) {
  return first_argument.empty() ? ListFilePath() : first_argument;
}

bool LoadSettings(const Settings& settings, RotationState& state) {
  ReadInterval(settings, state);
  state.ShowBaloonOnChange =
      settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange);
  state.RememberLast = settings.ReadBool(keys::kRememberLast, defaults::kAgentRememberLast);
  state.LastIndex = settings.ReadInteger(keys::kLastIndex, defaults::kLastIndex);
  state.ViewerPath = settings.ReadText(keys::kViewerPath, defaults::kViewerPath);
  ReadDealing(settings, state);
  state.shuffle_seed = ReadUnsigned(settings, keys::kShuffleSeed);
  state.shuffle_position = settings.ReadInteger(keys::kShufflePosition, 0);
  state.shuffle_list = ReadUnsigned(settings, keys::kShuffleList);
  state.DisableOnScreenSaver =
      settings.ReadBool(keys::kDisableOnScreenSaver, defaults::kDisableOnScreenSaver);
  return settings.ReadBool(keys::kPaused, defaults::kPaused);
}

void ReloadSettings(const Settings& settings, RotationState& state, bool reload_last_index) {
  ReadInterval(settings, state);
  state.ShowBaloonOnChange =
      settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange);
  state.RememberLast = settings.ReadBool(keys::kRememberLast, defaults::kAgentRememberLast);
  if (reload_last_index)
    state.LastIndex = settings.ReadInteger(keys::kLastIndex, defaults::kLastIndex);
  state.ViewerPath = settings.ReadText(keys::kViewerPath, defaults::kViewerPath);
  ReadDealing(settings, state);
}

void SaveOnClose(const Settings& settings, const RotationState& state, bool paused) {
  settings.WriteInteger(keys::kLastIndex, state.RememberLast ? state.LastIndex : 1);
  settings.WriteBool(keys::kPaused, paused);
}

}  // namespace vistrel
