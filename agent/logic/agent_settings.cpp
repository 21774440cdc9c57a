#include "agent/logic/agent_settings.h"

#include "common/list_file.h"

namespace vistrel {

namespace {

void ReadInterval(const Settings& settings, RotationState& state) {
  state.Interval = settings.ReadInteger(keys::kInterval, defaults::kAgentInterval);
  if (state.Interval <= 0) state.Interval = defaults::kAgentInterval;
  state.ElapsedSeconds = 0;
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
  state.RandomWallpaper = settings.ReadBool(keys::kRandomWallpaper, defaults::kRandomWallpaper);
  state.DisableOnScreenSaver =
      settings.ReadBool(keys::kDisableOnScreenSaver, defaults::kDisableOnScreenSaver);
  return settings.ReadBool(keys::kPaused, defaults::kPaused);
}

void ReloadSettings(const Settings& settings, RotationState& state, bool reload_last_index) {
  ReadInterval(settings, state);
  state.ShowBaloonOnChange =
      settings.ReadBool(keys::kShowBaloonOnChange, defaults::kShowBaloonOnChange);
  state.RememberLast = settings.ReadBool(keys::kRememberLast, defaults::kAgentRememberLast);
  if (reload_last_index) state.LastIndex = settings.ReadInteger(keys::kLastIndex, defaults::kLastIndex);
  state.ViewerPath = settings.ReadText(keys::kViewerPath, defaults::kViewerPath);
  state.RandomWallpaper = settings.ReadBool(keys::kRandomWallpaper, defaults::kRandomWallpaper);
}

void SaveOnClose(const Settings& settings, const RotationState& state, bool paused) {
  settings.WriteInteger(keys::kLastIndex, state.RememberLast ? state.LastIndex : 1);
  settings.WriteBool(keys::kPaused, paused);
}

}  // namespace vistrel
