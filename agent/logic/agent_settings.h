// The agent's settings: read at start, re-read on the configuration window's request, and its
// state written back at exit.
#pragma once

#include <string>

#include "agent/logic/rotation.h"
#include "common/settings.h"

namespace vistrel {

// The list to rotate: the first command-line argument when there is one, else `ListFile`.
std::string AgentListPath(const std::string& first_argument);

// Reads every key the agent uses into state (ElapsedSeconds restarts) and returns "Paused".
bool LoadSettings(const Settings& settings, RotationState& state);

// The reload message: the interval (countdown restarts) and the switches; "LastIndex" only when
// the window has rewritten it. "DisableOnScreenSaver" and "Paused" are start-up settings.
void ReloadSettings(const Settings& settings, RotationState& state, bool reload_last_index);

// "LastIndex" (1 unless remembered) and "Paused".
void SaveOnClose(const Settings& settings, const RotationState& state, bool paused);

}  // namespace vistrel
