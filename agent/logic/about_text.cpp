#include "agent/logic/about_text.h"

namespace vistrel {

std::string AboutText(std::int32_t interval_minutes) {
  const std::string two_lines = std::string(kAboutLineSeparator) + kAboutLineSeparator;
  return kAboutTitle + two_lines + kAboutIntervalLabel + std::to_string(interval_minutes) +
         kAboutIntervalUnit + two_lines + kAboutClosingLine;
}

}  // namespace vistrel
