// Locale text comparison as the list sorts rows: the user's default locale, ignoring case.
#pragma once

#include <string>

namespace vistrel {

// Negative, zero or positive as a sorts before, with or after b.
int CompareTextIgnoreCase(const std::string& a, const std::string& b);

}  // namespace vistrel
