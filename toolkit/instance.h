// A claim on a name that one process of the session holds at a time (a named mutex, released
// when the process ends).
#pragma once

#include <string>

#include "platform/win32/unique_handle.h"

namespace vistrel {

constexpr const char kAgentInstanceName[] = "Vistrel.Agent";

class InstanceClaim {
 public:
  explicit InstanceClaim(const std::string& name);

  // False when another process of the session held the name first.
  bool IsFirst() const { return first_; }

 private:
  UniqueKernelHandle mutex_;
  bool first_ = true;
};

// A mutex name for a folder: the same folder gives the same name whatever its letter case;
// backslashes, which a name must not hold, are replaced.
std::string FolderInstanceName(const std::string& prefix, const std::string& folder);

}  // namespace vistrel
