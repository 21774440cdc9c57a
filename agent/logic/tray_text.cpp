#include "agent/logic/tray_text.h"

#include <cstring>

namespace vistrel {

namespace {

// The longest prefix of at most limit bytes that ends on a character boundary. Lead bytes are
// only recognised by walking from the start: a trail byte can look like a lead byte.
std::size_t BoundaryAtOrBefore(const std::string& text, std::size_t limit,
                               const LeadByteTest& is_lead_byte) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t width =
        is_lead_byte && is_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()
            ? 2
            : 1;
    if (at + width > limit) break;
    at += width;
  }
  return at;
}

}  // namespace

std::string CutToField(const std::string& text, std::size_t field_size,
                       const LeadByteTest& is_lead_byte) {
  if (field_size == 0) return std::string();
  const std::size_t capacity = field_size - 1;
  // A terminator inside the text would end it early in the field anyway.
  std::string visible = text.substr(0, std::strlen(text.c_str()));
  if (visible.size() <= capacity) return visible;
  const std::size_t mark = sizeof kCutMark - 1;
  if (capacity < mark)
    return visible.substr(0, BoundaryAtOrBefore(visible, capacity, is_lead_byte));
  return visible.substr(0, BoundaryAtOrBefore(visible, capacity - mark, is_lead_byte)) + kCutMark;
}

std::string FileNamePart(const std::string& path, const LeadByteTest& is_lead_byte) {
  std::size_t start = 0;
  for (std::size_t at = 0; at < path.size();) {
    if (is_lead_byte && is_lead_byte(static_cast<unsigned char>(path[at])) &&
        at + 1 < path.size()) {
      at += 2;
      continue;
    }
    if (path[at] == '\\' || path[at] == ':') start = at + 1;
    ++at;
  }
  return path.substr(start);
}

}  // namespace vistrel
