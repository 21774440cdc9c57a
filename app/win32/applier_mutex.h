// The applier's lock on its data folder: a named mutex of the session, so that appliers started
// by the agent and the window's own double-click take turns.
#pragma once

#include <string>

#include "app/logic/applier.h"
#include "platform/win32/unique_handle.h"

namespace vistrel::app {

class ApplierMutex : public ApplierLock {
 public:
  explicit ApplierMutex(const std::string& folder);

  // A mutex that cannot be had at all (a name too long for the system) does not keep the
  // wallpaper from being applied: Acquire then answers true without holding anything.
  bool Acquire(unsigned timeout_ms) override;
  void Release() override;

 private:
  std::string name_;
  UniqueKernelHandle mutex_;
  bool held_ = false;
};

}  // namespace vistrel::app
