// Every text the configuration window shows. What it shares with the agent (file names, the
// agent's title, the reload message, the box captions) is in common/shared_names.h.
#pragma once

#include <cstddef>

#include "common/shared_names.h"

namespace vistrel {

// The application window (the taskbar entry): while it is built, then once the settings are in.
constexpr const char kApplicationCaptionBuilding[] = "vistrel";
constexpr const char kApplicationCaption[] = "Vistrel";
// The main window until the settings are loaded; then "[" + list path + "]".
constexpr const char kMainCaptionBuilding[] = "Form1";
constexpr const char kMainCaptionOpen[] = "[";
constexpr const char kMainCaptionClose[] = "]";

// The Alt keys of the settings' captions: each marks the first such letter of its caption.
// OK and Cancel have Enter and Escape.
constexpr char kIntervalKey = 'I';
constexpr char kAgentKey = 'A';
constexpr char kSequentialKey = 'S';
constexpr char kRandomKey = 'R';
constexpr char kShuffleKey = 'h';
constexpr char kRememberLastKey = 'l';
constexpr char kDisableOnScreenSaverKey = 'D';
constexpr char kShowBaloonKey = 'b';
constexpr char kStartWithWindowsKey = 'W';
constexpr char kMonitorsKey = 'M';
constexpr char kPortraitKey = 'P';

constexpr const char kColumnImage[] = "Image";
constexpr const char kColumnStyle[] = "Style";

constexpr const char kTimerGroup[] = "Timer:";
constexpr const char kIntervalLabel[] = "Interval:";
constexpr const char kMinutesLabel[] = "min.";
constexpr const char* const kIntervalItems[] = {"1",  "5",  "10",  "15",  "20",  "25",  "30",
                                                "60", "90", "120", "300", "720", "1440"};
constexpr const char kAgentButton[] = "Agent";
constexpr const char kWallpaperGroup[] = "Wallpaper:";
constexpr const char kSequentialRadio[] = "Sequential";
constexpr const char kRandomRadio[] = "Random";
constexpr const char kShuffleRadio[] = "Shuffle";
constexpr const char kRememberLastCheck[] = "Remember last wallpaper";
constexpr const char kOtherGroup[] = "Other:";
constexpr const char kDisableOnScreenSaverCheck[] = "Disable on screensaver";
constexpr const char kShowBaloonCheck[] = "Show baloon tooltip on change";
constexpr const char kStartWithWindowsCheck[] = "Start with Windows";
// "MonitorMode"'s choices, in the order of its values.
constexpr const char kMonitorsLabel[] = "Monitors:";
constexpr const char* const kMonitorItems[] = {"One picture, laid out by Windows",
                                               "A picture on each monitor",
                                               "One picture across all monitors"};
constexpr const char kPortraitCheck[] = "Portrait pictures on portrait monitors";
// Where Windows starts programs at logon, and the agent's value there.
constexpr const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kRunValueName[] = "Vistrel Agent";
constexpr const char kCannotWriteRunBefore[] =
    "Cannot change \"Start with Windows\" (HKEY_CURRENT_USER\\";
constexpr const char kOtherSettingsSaved[] = "\nThe other settings were saved.";
// OK refuses an interval the agent could not count down.
constexpr const char kIntervalRefused[] =
    "The \"Interval:\" box must hold a whole number of minutes, from 1 to 525600 (a year).\n"
    "The settings were not saved.";
constexpr const char kOkButton[] = "OK";
constexpr const char kCancelButton[] = "Cancel";

// The list's popup menu, as displayed (the text after the tab names the shortcut).
constexpr const char kMenuAdd[] = "Add...\tIns";
constexpr const char kMenuAddDirectory[] = "Add Directory...";
constexpr const char kMenuDelete[] = "Delete\tDelete";
constexpr const char kMenuStyle[] = "Style";
constexpr const char kMenuSelectAll[] = "Select All\tCtrl+A";
constexpr const char kMenuRemoveDead[] = "Remove dead entries";

constexpr const char kOpenFilter[] =
    "Images (*.jpg, *.jpeg, *.gif, *.png, *.bmp, *.psd, *.webp)|"
    "*.jpg;*.jpeg;*.gif;*.png;*.bmp;*.psd;*.webp|All files (*.*)|*.*";

// Questions before an edit that removes more than one entry: the count goes between.
constexpr const char kConfirmDeleteBefore[] = "Delete ";
constexpr const char kConfirmDeleteAfter[] = " entries from the list?\nCtrl+Z brings them back.";
constexpr const char kConfirmRemoveDeadBefore[] = "Remove ";
constexpr const char kConfirmRemoveDeadAfter[] =
    " entries whose files cannot be found?\nThe pictures of a drive that is not connected look "
    "missing too.";
// One box for many refused files: the first few are named, then how many more.
constexpr std::size_t kRefusedNamesShown = 5;
constexpr const char kRefusedMoreBefore[] = "... and ";
constexpr const char kRefusedMoreAfter[] = " more.";
constexpr const char kTooManyFilesChosen[] =
    "Too many files were chosen at once for the dialog to pass them on. Nothing was added; "
    "choose fewer at a time.";
// The Add dialog's room for the chosen names: about 10,000 files at once.
constexpr std::size_t kOpenDialogBufferSize = 1u << 20;

// How long OK waits for the agent to take the reload message: a hung agent must not hang the
// window.
constexpr unsigned kAgentReloadTimeoutMs = 5000;
constexpr const char kAgentAlreadyActive[] = "Vistrel Agent is already active.";
constexpr const char kCannotFindAgent[] = "Cannot find \"vistrel_agent.exe\".";

// A list that exists but could not be read; the list path and the system's reason go between.
constexpr const char kCannotReadListBefore[] = "Cannot read \"";
constexpr const char kCannotReadListAfter[] =
    "\nThe list is left as it is: changes to it are not saved until it can be read.";
// What follows a failed list rewrite and a failed settings write.
constexpr const char kListNotSaved[] = "\nThe change is shown but was not saved.";
constexpr const char kSettingsNotSaved[] = "\nThe settings were not saved.";
constexpr const char kOutOfMemory[] = "Out of memory: the picture is too large to be applied.";

// "File \"" + path + "\" not found."
constexpr const char kFileNotFoundBefore[] = "File \"";
constexpr const char kFileNotFoundAfter[] = "\" not found.";

}  // namespace vistrel
