// Texts for the tray icon's fixed-size fields.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace vistrel {

// Field sizes of the tray icon record, terminator included.
constexpr std::size_t kTooltipFieldSize = 128;
constexpr std::size_t kBalloonTextFieldSize = 256;
constexpr std::size_t kBalloonTitleFieldSize = 64;

constexpr const char kCutMark[] = "...";

// Tells whether a byte starts a two-byte character of the system's ANSI code page.
using LeadByteTest = std::function<bool(unsigned char)>;

// The text as it fits into a field of field_size bytes with its terminator. A longer text keeps
// its beginning and ends in "..." so that the cut shows; a two-byte character is never split.
std::string CutToField(const std::string& text, std::size_t field_size,
                       const LeadByteTest& is_lead_byte);

// The file-name part of a path: the text after the last "\" or ":", or the whole path when it
// has neither. A trail byte of a two-byte character is not a separator.
std::string FileNamePart(const std::string& path, const LeadByteTest& is_lead_byte = {});

}  // namespace vistrel
