// Texts for the tray icon's fixed-size fields.
#pragma once

#include <cstddef>
#include <string>

namespace vistrel {

// Field sizes of the tray icon record in UTF-16 units, terminator included.
constexpr std::size_t kTooltipFieldSize = 128;
constexpr std::size_t kBalloonTextFieldSize = 256;
constexpr std::size_t kBalloonTitleFieldSize = 64;

constexpr const char kCutMark[] = "...";

// The UTF-8 text as it fits into a field of field_size UTF-16 units with its terminator. A longer
// text keeps its beginning and ends in "..." so that the cut shows; a character is never split
// (neither its UTF-8 bytes nor the two units of one beyond U+FFFF).
std::string CutToField(const std::string& text, std::size_t field_size);

// The file-name part of a path: the text after the last "\" or ":", or the whole path when it
// has neither. No byte of a UTF-8 sequence is either.
std::string FileNamePart(const std::string& path);

}  // namespace vistrel
