#include <strings.h>

#include "platform/text_compare.h"

namespace vistrel {

// Hosts without the Windows locale tables compare by bytes with ASCII letters folded.
int CompareTextIgnoreCase(const std::string& a, const std::string& b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  int result = strncasecmp(a.c_str(), b.c_str(), n);
  if (result != 0 || a.size() == b.size()) return result;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace vistrel
