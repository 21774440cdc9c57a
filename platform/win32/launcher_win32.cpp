// clang-format off
// shellapi.h needs the types of windows.h declared before it.
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/launcher.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

class WatchedProcess : public WatchedProgram {
 public:
  explicit WatchedProcess(HANDLE process) : process_(process) {}
  ~WatchedProcess() override { CloseHandle(process_); }
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  bool Ended(std::uint32_t& exit_code) override {
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    exit_code = GetExitCodeProcess(process_, &code) ? code : 1;
    return true;
  }
  void Stop() override {
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
  }

 private:
  HANDLE process_;
};

class ShellLauncher : public Launcher {
 public:
  void Launch(const std::string& file, const std::string& parameters) override {
    const std::wstring wide_file = Widen(file), wide_parameters = Widen(parameters);
    ShellExecuteW(nullptr, nullptr, wide_file.c_str(),
                  parameters.empty() ? nullptr : wide_parameters.c_str(), nullptr, SW_SHOWNORMAL);
  }

  std::unique_ptr<WatchedProgram> LaunchWatched(const std::string& file,
                                                const std::string& parameters,
                                                const std::string& variable) override {
    // The child takes a copy of the environment when it starts; the agent's own goes back at
    // once, so that programs it starts later (the configuration window) do not inherit it.
    SetEnvironmentVariableA(variable.c_str(), "1");
    const std::wstring wide_file = Widen(file), wide_parameters = Widen(parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = wide_file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : wide_parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool started = ShellExecuteExW(&info) != FALSE;
    SetEnvironmentVariableA(variable.c_str(), nullptr);
    if (!started || !info.hProcess) return nullptr;
    return std::make_unique<WatchedProcess>(info.hProcess);
  }
};

}  // namespace

Launcher& SystemLauncher() {
  static ShellLauncher launcher;
  return launcher;
}

}  // namespace vistrel
