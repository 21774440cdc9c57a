// Every text the agent shows, in one place; its window's title and the box captions it shares
// with the configuration window are in common/shared_names.h.
#pragma once

namespace vistrel {

constexpr const char kCountdownPrefix[] = "Vistrel Agent [";
constexpr const char kCountdownMinutes[] = " min";
constexpr const char kCountdownSeconds[] = " sec";
constexpr const char kCountdownClose[] = "]";
constexpr const char kPausedTooltip[] = "Vistrel Agent [Paused]";

constexpr const char kNewWallpaperTitle[] = "New wallpaper:";
// Balloons of what went wrong without the user asking.
constexpr const char kSkippedTitle[] = "Picture skipped:";
constexpr const char kNotChangedTitle[] = "Wallpaper not changed:";
constexpr const char kNotWrittenText[] = "The wallpaper file cannot be written.";
constexpr const char kRefusedText[] = "Windows did not take the wallpaper.";
constexpr const char kBusyText[] = "Another change of the wallpaper took too long.";
constexpr const char kTimedOutText[] = "The applier did not finish in time and was ended.";
constexpr const char kFailedText[] = "The applier failed.";
constexpr const char kCannotStart[] = "Cannot start \"";
constexpr const char kCannotStartAfter[] = "\".";
// The state balloon: at a start paused, and when the agent is started a second time.
constexpr const char kStartedPausedText[] =
    "Paused. A left click on this icon starts changing the wallpaper.";
constexpr const char kAlreadyRunningTitle[] = "Already running:";
constexpr const char kRunningText[] = "The next wallpaper comes in ";

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
