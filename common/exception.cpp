#include "common/exception.h"

namespace vistrel {

void RaiseCheck(const std::string& text, const char* source, int line) {
  std::string name = source;
  std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  throw Exception(text + " (" + name + ", line " + std::to_string(line) + ")", kToolkitCheckKind,
                  0);
}

}  // namespace vistrel
