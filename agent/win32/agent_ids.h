// Numbers by which other windows and processes talk to the agent (the reload message is in
// common/shared_names.h).
#pragma once

#include <windows.h>

namespace vistrel {

// The tray icon's callback: first parameter the icon's id, second the mouse or balloon message.
constexpr UINT kTrayCallbackMessage = 0x0800;

// Tray icon ids are handed out from this one on, in creation order; the agent's icon is the first.
constexpr UINT kFirstTrayIconId = 1;

// The menu items' command ids (WM_COMMAND, first parameter). Other processes send them (scripts,
// the end-to-end tests), so they stay as they are; the menu is given them when it is built.
enum AgentCommand : UINT {
  kCommandAbout = 1001,
  kCommandOptions = 1002,
  kCommandPause = 1003,
  kCommandNext = 1004,
  kCommandRemoveWallpaper = 1005,
  kCommandExit = 1006,
  kCommandPrevious = 1007,
};

// RegisterHotKey ids.
constexpr int kHotKeyNext = 1;
constexpr int kHotKeyPrevious = 2;

}  // namespace vistrel
