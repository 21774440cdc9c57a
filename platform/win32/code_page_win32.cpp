#include <utility>

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"

namespace vistrel {

std::string AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return std::string();
  const int size = static_cast<int>(ansi.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (n <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &wide[0], n);
  return Narrow(wide);
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi.clear();
  if (utf8.empty()) return true;
  if (!IsValidUtf8(utf8)) return false;
  const std::wstring wide = Widen(utf8);
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string encoded(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &encoded[0], n, nullptr, nullptr);
  // A character the code page lacks comes out as "?" or a look-alike ("a" for "ā"), and comes
  // back as that: only an exact return counts.
  if (AnsiToUtf8(encoded) != utf8) return false;
  ansi = std::move(encoded);
  return true;
}

}  // namespace vistrel
