#include "agent/logic/about_text.h"

namespace vistrel {

std::string AboutText(std::int32_t interval_minutes, const std::vector<std::string>& notes) {
  const std::string two_lines = std::string(kAboutLineSeparator) + kAboutLineSeparator;
  std::string text = kAboutTitle + two_lines + kAboutIntervalLabel +
                     std::to_string(interval_minutes) + kAboutIntervalUnit;
  for (std::size_t i = 0; i < notes.size(); ++i)
    text += (i == 0 ? two_lines : std::string(kAboutLineSeparator)) + notes[i];
  return text + two_lines + kAboutClosingLine;
}

}  // namespace vistrel
