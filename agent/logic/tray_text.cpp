#include "agent/logic/tray_text.h"

#include <cstring>

#include "platform/utf8.h"

namespace vistrel {

namespace {

// The longest prefix of whole characters that takes at most limit UTF-16 units.
std::size_t BoundaryAtOrBefore(const std::string& text, std::size_t limit) {
  std::size_t at = 0, units = 0;
  while (at < text.size()) {
    const std::size_t size = Utf8CharacterSize(text, at);
    const std::size_t width = Utf16Units(size);
    if (units + width > limit) break;
    units += width;
    at += size;
  }
  return at;
}

std::size_t UnitCount(const std::string& text) {
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t size = Utf8CharacterSize(text, at);
    units += Utf16Units(size);
    at += size;
  }
  return units;
}

}  // namespace

std::string CutToField(const std::string& text, std::size_t field_size) {
  if (field_size == 0) return std::string();
  const std::size_t capacity = field_size - 1;
  // A terminator inside the text would end it early in the field anyway.
  std::string visible = text.substr(0, std::strlen(text.c_str()));
  if (UnitCount(visible) <= capacity) return visible;
  const std::size_t mark = sizeof kCutMark - 1;
  if (capacity < mark) return visible.substr(0, BoundaryAtOrBefore(visible, capacity));
  return visible.substr(0, BoundaryAtOrBefore(visible, capacity - mark)) + kCutMark;
}

std::string FileNamePart(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace vistrel
