/* A DLL that marks being loaded: beside itself it creates its own file name + ".loaded", then
   refuses to load, so that nothing ever calls into it. Put beside a program or in its working
   folder, it shows whether a load by name takes a DLL from there. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH + 16];
  DWORD n;
  HANDLE marker;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  n = GetModuleFileNameA(instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return FALSE;
  lstrcatA(path, ".loaded");
  marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return FALSE;
}
