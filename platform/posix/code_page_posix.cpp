#include <cstdint>

#include "platform/code_page.h"
#include "platform/utf8.h"

namespace vistrel {

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves free map to the control characters
// of the same number, as Windows maps them.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t CharacterOf(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) AppendUtf8(out, CharacterOf(static_cast<unsigned char>(c)));
  return out;
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi.clear();
  if (!IsValidUtf8(utf8)) return false;
  ansi.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
      ansi += static_cast<char>(lead);
      ++at;
      continue;
    }
    // Well-formed, so the sequence's length and continuation bytes need no more checks.
    const std::size_t size = Utf8CharacterSize(utf8, at);
    std::uint32_t code = lead & (0xFF >> (size + 1));
    for (std::size_t i = 1; i < size; ++i)
      code = (code << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    at += size;
    int byte = code >= 0xA0 && code <= 0xFF ? static_cast<int>(code) : -1;
    for (int i = 0; i < 32 && byte < 0; ++i)
      if (kHighControls[i] == code) byte = 0x80 + i;
    if (byte < 0) {
      ansi.clear();
      return false;
    }
    ansi += static_cast<char>(byte);
  }
  return true;
}

}  // namespace vistrel
