#include <windows.h>

#include "platform/text_compare.h"
#include "platform/win32/wide.h"

namespace vistrel {

int CompareTextIgnoreCase(const std::string& a, const std::string& b) {
  const std::wstring wide_a = Widen(a), wide_b = Widen(b);
  int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide_a.data(),
                              static_cast<int>(wide_a.size()), wide_b.data(),
                              static_cast<int>(wide_b.size()));
  return result == 0 ? 0 : result - CSTR_EQUAL;
}

}  // namespace vistrel
