#include "toolkit/dll_search.h"

#include <windows.h>

namespace vistrel {

namespace {
// LOAD_LIBRARY_SEARCH_SYSTEM32, which headers for Windows 7 lack.
constexpr DWORD kSearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
}  // namespace

void RestrictDllSearch() {
  // Looked up: a Windows 7 without the update has no such function, and importing it would
  // keep the programs from starting there.
  if (HMODULE kernel = GetModuleHandleA("kernel32")) {
    if (FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories")) {
      // Through the generic function type, which converts to any other without a warning.
      auto set_default =
          reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
      set_default(kSearchSystem32);
    }
  }
  // Takes the working folder out of the search where the function above is missing.
  SetDllDirectoryA("");
}

}  // namespace vistrel
