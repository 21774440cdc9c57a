// The one argument of `vistrel`: a style letter followed by an image path.
#pragma once

#include <string>

namespace vistrel {

// The first argument after the program name, split as the Windows runtime splits: at codes 1
// to 32, a double-quoted stretch belongs to the argument (quotes kept), a pair of adjacent quotes
// where an argument would begin is skipped like a blank. An argument of two or more characters
// that begins and ends with a quote loses those two quotes.
std::string FirstArgument(const std::string& command_line);

}  // namespace vistrel
