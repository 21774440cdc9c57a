// vistrel_agent.exe: the tray agent. Its optional first argument is the list to rotate.
#include <windows.h>

#include <cstdlib>

#include "agent/logic/agent_settings.h"
#include "agent/win32/agent_window.h"
#include "common/settings.h"
#include "common/shared_names.h"
#include "platform/files.h"
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
    // The runtime's own split of the command line, surrounding quotes removed.
    std::string argument = __argc > 1 && __argv[1] ? __argv[1] : "";
    vistrel::AgentOptions options;
    options.list_path = vistrel::AgentListPath(argument);
    options.settings_path = vistrel::SettingsFilePath();
    options.history_path = vistrel::DataDirectory() + vistrel::kHistoryFileName;
    options.program_directory = vistrel::ProgramDirectory();
    vistrel::AgentWindow agent(std::move(options));
    return vistrel::RunMessageLoop();
  });
}
