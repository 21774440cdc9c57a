// The arguments of `vistrel`: each a style letter followed by an image path. One is applied;
// with a picture on each monitor, the agent passes one per monitor.
#pragma once

#include <string>
#include <vector>

namespace vistrel {

// The first argument after the program name, split as the Windows runtime splits: at codes 1
// to 32, a double-quoted stretch belongs to the argument (quotes kept), a pair of adjacent quotes
// where an argument would begin is skipped like a blank. An argument of two or more characters
// that begins and ends with a quote loses those two quotes.
std::string FirstArgument(const std::string& command_line);

// Every argument after the program name, split and unquoted as FirstArgument does; it ends at a
// NUL or where the text ends.
std::vector<std::string> Arguments(const std::string& command_line);

}  // namespace vistrel
