// vistrel.exe: without an argument the configuration window; with one argument (a style letter
// and an image path) it builds the same window hidden, applies that wallpaper and ends.
#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/logic/command_line.h"
#include "app/logic/window_texts.h"
#include "app/win32/main_window.h"
#include "common/apply_result.h"
#include "common/list_file.h"
#include "common/settings.h"
#include "common/shared_names.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"
#include "toolkit/application_window.h"
#include "toolkit/dll_search.h"
#include "toolkit/error_box.h"
#include "toolkit/instance.h"
#include "toolkit/window.h"

namespace {

constexpr char kWindowInstancePrefix[] = "Vistrel.Window.";
constexpr DWORD kFindFirstWindowMs = 5000;
constexpr DWORD kPollMs = 100;

// The first window on the folder comes forward, restored when the program was minimized. It
// may still be loading its settings, or the first program may be ending with its window already
// gone, so this waits a little for either. False once the first has let its claim go: then this
// start opens the window. True when there is nothing more to do.
bool BringForwardWindowOf(const std::string& directory, vistrel::InstanceClaim& instance) {
  const std::string caption =
      vistrel::kMainCaptionOpen + directory + vistrel::kListFileName + vistrel::kMainCaptionClose;
  const DWORD start = GetTickCount();
  HWND form = nullptr;
  const std::wstring class_name = vistrel::Widen(vistrel::kWindowClassName);
  const std::wstring wide_caption = vistrel::Widen(caption);
  while (!(form = FindWindowW(class_name.c_str(), wide_caption.c_str()))) {
    if (instance.WaitForRelease(kPollMs)) return false;
    // A first program that neither shows a window nor ends is left alone.
    if (GetTickCount() - start > kFindFirstWindowMs) return true;
  }
  HWND application = GetWindow(form, GW_OWNER);
  if (application && IsIconic(application)) PostMessageA(application, WM_SYSCOMMAND, SC_RESTORE, 0);
  SetForegroundWindow(form);
  return true;
}

// The agent sets the variable for the appliers it starts.
bool StartedByAgent() {
  char value[8] = "";
  const DWORD n = GetEnvironmentVariableA(vistrel::kAgentApplyVariable, value, sizeof value);
  return n > 0 && n < sizeof value && std::strcmp(value, vistrel::kAgentApplyValue) == 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  vistrel::RestrictDllSearch();
  // The command line in UTF-16 keeps a name that the ANSI code page cannot spell.
  std::vector<std::string> arguments = vistrel::Arguments(vistrel::Narrow(GetCommandLineW()));
  const std::string argument = arguments.empty() ? std::string() : arguments.front();
  // An applier the agent started has nobody to show a box to, not even the top-level one. A
  // window that inherited the variable still shows its boxes.
  const bool quiet = !argument.empty() && StartedByAgent();
  return vistrel::RunProgram(
      [&] {
        vistrel::app::MainWindowOptions options;
        options.argument = argument;
        if (!arguments.empty())
          options.other_arguments.assign(arguments.begin() + 1, arguments.end());
        options.quiet = quiet;
        options.directory = vistrel::DataDirectory();
        options.program_directory = vistrel::ProgramDirectory();
        // One window per folder: two would each rewrite the list from their own rows. The
        // command-line apply shows no window and is not counted.
        std::unique_ptr<vistrel::InstanceClaim> instance;
        if (options.argument.empty()) {
          instance = std::make_unique<vistrel::InstanceClaim>(
              vistrel::FolderInstanceName(kWindowInstancePrefix, options.directory));
          if (!instance->IsFirst() && BringForwardWindowOf(options.directory, *instance)) return 0;
        }
        vistrel::ApplicationWindow application(vistrel::kApplicationCaptionBuilding);
        vistrel::app::MainWindow window(application, std::move(options));
        const int code = vistrel::RunMessageLoop();
        // The command-line apply ends with what it came to.
        const std::optional<vistrel::ApplyResult> applied = window.CommandLineResult();
        return applied ? static_cast<int>(*applied) : code;
      },
      !quiet);
}
