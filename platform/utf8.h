// UTF-8, the form every text takes inside the programs (see platform/win32/wide.h).
#pragma once

#include <cstddef>
#include <string>

namespace vistrel {

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool IsValidUtf8(const std::string& text);

bool IsAscii(const std::string& text);

// The length in bytes of the character that starts at text[at] (1 for a byte that does not
// start a well-formed one, so that a walk always moves on).
std::size_t Utf8CharacterSize(const std::string& text, std::size_t at);

// How many UTF-16 units the character of that many UTF-8 bytes takes: 2 beyond U+FFFF.
inline std::size_t Utf16Units(std::size_t utf8_size) {
  return utf8_size == 4 ? 2 : 1;
}

}  // namespace vistrel
