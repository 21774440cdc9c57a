// Where the process looks for DLLs that are loaded on demand (by the file dialogs, the shell,
// the theme): in the system folder only. A DLL put beside the programs or in the working folder
// under a system DLL's name is then never loaded.
#pragma once

namespace vistrel {

// The first call of each program, before any window exists. Takes the program folder and the
// working folder out of the search; where the system knows SetDefaultDllDirectories (Windows 8,
// and 7 with KB2533623) every later search is the system folder alone.
void RestrictDllSearch();

}  // namespace vistrel
