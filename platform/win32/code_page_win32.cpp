#include <utility>

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"

namespace vistrel {

std::string AnsiToUtf8(const std::string& ansi) {
  return Narrow(Widen(ansi, CP_ACP));
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi.clear();
  if (utf8.empty()) return true;
  if (!IsValidUtf8(utf8)) return false;
  const std::wstring wide = Widen(utf8);
  std::string encoded = Narrow(wide.data(), wide.size(), CP_ACP);
  // A character the code page lacks comes out as "?" or a look-alike ("a" for "ā"), and comes
  // back as that: only an exact return counts.
  if (encoded.empty() || AnsiToUtf8(encoded) != utf8) return false;
  ansi = std::move(encoded);
  return true;
}

}  // namespace vistrel
