#include "toolkit/instance.h"

#include <windows.h>

namespace vistrel {

InstanceClaim::InstanceClaim(const std::string& name) {
  mutex_.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
  // A name that cannot be had at all must not keep the program from starting.
  first_ = !(mutex_ && GetLastError() == ERROR_ALREADY_EXISTS);
}

std::string FolderInstanceName(const std::string& prefix, const std::string& folder) {
  std::string name = prefix;
  for (char c : folder) {
    if (c == '\\' || c == '/')
      c = '|';
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    name += c;
  }
  return name;
}

}  // namespace vistrel
