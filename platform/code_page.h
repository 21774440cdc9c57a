// The system's ANSI code page, for the texts that still pass through it: a list file in that
// code page and the values of vistrel.ini. The native build stands in Windows-1252 for it.
#pragma once

#include <string>

namespace vistrel {

// Every byte has a character in a code page, so this cannot fail.
std::string AnsiToUtf8(const std::string& ansi);

// False when the text has a character that the code page cannot hold exactly: such a text is
// refused, never stored with "?" or a look-alike in its place.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

}  // namespace vistrel
