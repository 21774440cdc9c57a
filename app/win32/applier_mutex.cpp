#include "app/win32/applier_mutex.h"

#include <windows.h>

#include "platform/win32/wide.h"
#include "toolkit/instance.h"

namespace vistrel::app {

namespace {
constexpr char kApplierInstancePrefix[] = "Vistrel.Apply.";
}  // namespace

ApplierMutex::ApplierMutex(const std::string& folder)
    : name_(FolderInstanceName(kApplierInstancePrefix, folder)) {}

bool ApplierMutex::Acquire(unsigned timeout_ms) {
  if (!mutex_) mutex_.Reset(CreateMutexW(nullptr, FALSE, Widen(name_).c_str()));
  if (!mutex_) return true;
  switch (WaitForSingleObject(mutex_.Get(), timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder crashed; what it left is replaced whole anyway
      held_ = true;
      return true;
    case WAIT_TIMEOUT: return false;
    default: return true;  // a mutex that cannot be waited for, as one that cannot be had
  }
}

void ApplierMutex::Release() {
  if (held_) ReleaseMutex(mutex_.Get());
  held_ = false;
}

}  // namespace vistrel::app
