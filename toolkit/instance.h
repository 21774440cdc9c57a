// A claim on a name that one process of the session holds at a time (a named mutex that the
// claiming thread owns until the claim ends or the process does).
#pragma once

#include <string>

#include "platform/win32/unique_handle.h"

namespace vistrel {

constexpr const char kAgentInstanceName[] = "Vistrel.Agent";

class InstanceClaim {
 public:
  explicit InstanceClaim(const std::string& name);
  InstanceClaim(const InstanceClaim&) = delete;
  InstanceClaim& operator=(const InstanceClaim&) = delete;
  // Lets the name go at once, before the process has finished ending.
  ~InstanceClaim();

  // False when another process of the session held the name first.
  bool IsFirst() const { return first_; }
  // Waits up to the time for the holder to let the name go (or end); true, and this claim is
  // first, when it did.
  bool WaitForRelease(unsigned milliseconds);

 private:
  UniqueKernelHandle mutex_;
  bool first_ = true;
  bool owned_ = false;
};

// A mutex name for a folder: the same folder gives the same name whatever its letter case;
// backslashes, which a name must not hold, are replaced.
std::string FolderInstanceName(const std::string& prefix, const std::string& folder);

}  // namespace vistrel
