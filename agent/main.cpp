// vistrel_agent.exe: the tray agent. Its optional first argument is the list to rotate.
// clang-format off
// shellapi.h needs the types of windows.h declared before it.
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdlib>

#include "agent/logic/agent_settings.h"
#include "agent/win32/agent_window.h"
#include "common/settings.h"
#include "common/shared_names.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "toolkit/application.h"
#include "toolkit/dll_search.h"
#include "toolkit/error_box.h"
#include "toolkit/instance.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  vistrel::RestrictDllSearch();
  return vistrel::RunProgram([] {
    // One agent per session: two would change the wallpaper twice as often.
    vistrel::InstanceClaim instance(vistrel::kAgentInstanceName);
    if (!instance.IsFirst()) {
      // Ending without a word would look like a start that failed: the running agent says
      // that it runs, and how it stands.
      if (HWND agent = FindWindowA(vistrel::kWindowClassName, vistrel::kAgentTitle))
        PostMessageA(agent, vistrel::kAgentShowStateMessage, 0, 0);
      return 0;
    }
    // The system's split of the command line, surrounding quotes removed, in UTF-16 so that a
    // list in a folder of any name arrives whole.
    std::string argument;
    int count = 0;
    if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
      if (count > 1 && arguments[1]) argument = vistrel::Narrow(arguments[1]);
      LocalFree(arguments);
    }
    vistrel::AgentOptions options;
    options.list_path = vistrel::AgentListPath(argument);
    options.settings_path = vistrel::SettingsFilePath();
    options.history_path = vistrel::DataDirectory() + vistrel::kHistoryFileName;
    options.program_directory = vistrel::ProgramDirectory();
    vistrel::AgentWindow agent(std::move(options));
    return vistrel::RunMessageLoop();
  });
}
