// What the two programs agree on: the files they share, how the configuration window finds the
// agent's hidden window, and the message it sends there. Texts are spelled exactly as stored.
#pragma once

namespace vistrel {

// The files in the data folder (see DataDirectory).
constexpr const char kSettingsFileName[] = "vistrel.ini";
constexpr const char kListFileName[] = "list.txt";
constexpr const char kWallpaperFileName[] = "vistrel_wlp.bmp";
// The agent's last changes, for Previous.
constexpr const char kHistoryFileName[] = "history.txt";

// The two programs' own files; each looks for the other beside itself.
constexpr const char kWindowProgram[] = "vistrel.exe";
constexpr const char kAgentProgram[] = "vistrel_agent.exe";

// Every toolkit window has this class. The agent's hidden window carries the title, so a message
// box or a folder window of that title is not taken for it.
constexpr const char kWindowClassName[] = "TVistrelWindow";
constexpr const char kAgentTitle[] = "Vistrel Agent";

// Sent to the agent's window after OK has saved the settings: re-read them. The first parameter
// says whether "LastIndex" was written too; the second is 0.
constexpr unsigned kAgentReloadMessage = 101;
constexpr unsigned kReloadKeepsLastIndex = 0;
constexpr unsigned kReloadReadsLastIndex = 1;
// Posted by a second start of the agent, which then ends: the running agent shows its state.
constexpr unsigned kAgentShowStateMessage = 0x8000 + 1;  // WM_APP + 1

// The captions of the boxes that report a problem.
constexpr const char kErrorCaption[] = "Error";
constexpr const char kWarningCaption[] = "Warning";

}  // namespace vistrel
