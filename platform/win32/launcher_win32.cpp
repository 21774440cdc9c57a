// clang-format off
// shellapi.h needs the types of windows.h declared before it.
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/launcher.h"

namespace vistrel {

namespace {

class ShellLauncher : public Launcher {
 public:
  void Launch(const std::string& file, const std::string& parameters) override {
    ShellExecuteA(nullptr, nullptr, file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                  nullptr, SW_SHOWNORMAL);
  }
};

}  // namespace

Launcher& SystemLauncher() {
  static ShellLauncher launcher;
  return launcher;
}

}  // namespace vistrel
