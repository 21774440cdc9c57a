#include "toolkit/instance.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace vistrel {

InstanceClaim::InstanceClaim(const std::string& name) {
  mutex_.Reset(CreateMutexW(nullptr, TRUE, Widen(name).c_str()));
  // A name that cannot be had at all must not keep the program from starting.
  first_ = !(mutex_ && GetLastError() == ERROR_ALREADY_EXISTS);
  owned_ = mutex_ && first_;
}

InstanceClaim::~InstanceClaim() {
  if (owned_) ReleaseMutex(mutex_.Get());
}

bool InstanceClaim::WaitForRelease(unsigned milliseconds) {
  if (first_) return true;
  // An abandoned mutex (its holder ended without letting go) is owned by the waiter as well.
  const DWORD waited = WaitForSingleObject(mutex_.Get(), milliseconds);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
  first_ = owned_ = true;
  return true;
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
