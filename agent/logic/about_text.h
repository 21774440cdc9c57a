// The agent's About box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vistrel_version.h"

namespace vistrel {

// "Vistrel Agent 1.0" for version 1.0.x.
constexpr const char kAboutTitle[] = "Vistrel Agent " VISTREL_VERSION_SHORT;
constexpr const char kAboutIntervalLabel[] = "Timer interval: ";
constexpr const char kAboutIntervalUnit[] = " min.";
constexpr const char kAboutClosingLine[] = "2026 The Vistrel developers";
// The lines are separated by LF then CR, not CR LF.
constexpr const char kAboutLineSeparator[] = "\n\r";

// The title, the interval, and the closing line. The project has no contact address or web
// page, so those two lines are left out.
// Notes (one per line, such as a hot key that could not be had) go before the closing line.
std::string AboutText(std::int32_t interval_minutes, const std::vector<std::string>& notes = {});

}  // namespace vistrel
