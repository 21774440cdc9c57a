// What one application of a wallpaper came to. vistrel.exe started with an argument ends with
// it as its exit code, and the agent, which starts it so, reads it there; vistrel-convert's codes
// are the same where the two meet.
#pragma once

#include <cstdint>

namespace vistrel {

enum class ApplyResult : std::uint8_t {
  kApplyExitChanged = 0,
  kApplyExitFailed = 1,  // anything unexpected (an exception that reached the top)
  kApplyExitNoSuchFile = 2,
  kApplyExitUnsupported = 3,  // no reader for the file's extension
  kApplyExitCannotShow = 4,   // damaged, empty, or too large for the memory budget
  kApplyExitCannotWrite = 5,  // the wallpaper file
  kApplyExitRefused = 6,      // the system did not take the wallpaper
  kApplyExitBusy = 7,         // another applier held the folder for the whole wait
};

// Set to "1" in the environment of an applier the agent starts: nobody is there to read a box,
// so it shows none and only ends with its ApplyResult.
constexpr const char kAgentApplyVariable[] = "VISTREL_AGENT_APPLY";
constexpr const char kAgentApplyValue[] = "1";

}  // namespace vistrel
