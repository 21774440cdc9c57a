// A list view row's rectangle, asked of a list in another process: the demo's sender and the
// end-to-end tests click rows with it.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace vistrel::test {

// The row's rectangle in the list's client coordinates, asked through memory in the list's own
// process (the message carries a pointer); false, with bounds unchanged, when it cannot be had.
inline bool ListRowBounds(HWND list, int row, RECT& bounds) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(list, &process_id);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
  if (!process) return false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  bool ok = false;
  if (remote) {
    RECT request = {LVIR_BOUNDS, 0, 0, 0};
    RECT answer = {};
    SIZE_T moved = 0;
    if (WriteProcessMemory(process, remote, &request, sizeof request, &moved) &&
        SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, remote, &answer, sizeof answer, &moved)) {
      bounds = answer;
      ok = true;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

}  // namespace vistrel::test
