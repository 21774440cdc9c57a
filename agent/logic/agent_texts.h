// Every text the agent shows, in one place; its window's title and the box captions it shares
// with the configuration window are in common/shared_names.h.
#pragma once

namespace vistrel {

constexpr const char kCountdownPrefix[] = "Vistrel Agent [";
constexpr const char kCountdownMinutes[] = " min]";
constexpr const char kCountdownSeconds[] = " sec]";
constexpr const char kPausedTooltip[] = "Vistrel Agent [Paused]";

constexpr const char kNewWallpaperTitle[] = "New wallpaper:";

constexpr const char kCannotFind[] = "Cannot find \"";
constexpr const char kCannotChangeWallpaper[] = "\" - cannot change wallpaper.";
constexpr const char kConfigurationUnavailable[] = "\" - configuration GUI is not available.";

// Menu items, by position.
constexpr const char kMenuAbout[] = "About...";
constexpr const char kMenuOptions[] = "Options...";
constexpr const char kMenuPause[] = "Pause";
constexpr const char kMenuNext[] = "Next";
constexpr const char kMenuPrevious[] = "Previous";
constexpr const char kMenuRemoveWallpaper[] = "Remove Wallpaper";
constexpr const char kMenuExit[] = "Exit";

// The About box's word on a hot key that could not be had.
constexpr const char kHotKeyTakenBefore[] = "Hot key ";
constexpr const char kHotKeyTakenAfter[] = " is taken by another program; ";
constexpr const char kHotKeyUnreadableAfter[] = " in vistrel.ini is not understood; ";
constexpr const char kHotKeyWorksWithout[] = " works from the menu only.";

// Icon resources; names compare without regard to case, and the agent asks in both cases.
constexpr const char kIconActiveStartup[] = "ACTIVE";
constexpr const char kIconActive[] = "active";
constexpr const char kIconInactive[] = "inactive";

}  // namespace vistrel
