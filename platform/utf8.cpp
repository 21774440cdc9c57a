#include "platform/utf8.h"

namespace vistrel {

std::size_t Utf8CharacterSize(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  std::size_t size = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (first < 0x80) return 1;
  if (first >= 0xC2 && first <= 0xDF) {
    size = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    size = 3;
    if (first == 0xE0) low = 0xA0;   // overlong
    if (first == 0xED) high = 0x9F;  // surrogates
  } else if (first >= 0xF0 && first <= 0xF4) {
    size = 4;
    if (first == 0xF0) low = 0x90;   // overlong
    if (first == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 1;
  }
  if (at + size > text.size()) return 1;
  if (byte(at + 1) < low || byte(at + 1) > high) return 1;
  for (std::size_t i = 2; i < size; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 1;
  return size;
}

bool IsValidUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t size = Utf8CharacterSize(text, at);
    if (size == 1 && static_cast<unsigned char>(text[at]) >= 0x80) return false;
    at += size;
  }
  return true;
}

bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace vistrel
