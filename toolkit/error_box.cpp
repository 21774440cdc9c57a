#include "toolkit/error_box.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <new>

#include "common/exception.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {

bool boxes_shown = true;

std::string ModulePath(HMODULE module) {
  return ModuleFileName(module);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

void ShowTopLevelError(const std::string& text) {
  // The windows are gone by now, and the main one posted a quit message as it went; the box's
  // own loop would take that message and close the box before anyone could read it.
  MSG pending;
  while (PeekMessageA(&pending, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  MessageBoxW(nullptr, Widen(text).c_str(), nullptr, MB_TASKMODAL | MB_ICONERROR);
}

// Access violations are not C++ exceptions; they reach the same box through the filter.
LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* info) {
  if (!boxes_shown) ExitProcess(1);
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  std::string message;
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCSTR>(record->ExceptionAddress), &module);
    std::string name = ModulePath(module);
    std::size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    message = Format("Access violation at address %p in module '%s'. %s of address %p",
                     record->ExceptionAddress, name.c_str(),
                     record->ExceptionInformation[0] ? "Write" : "Read",
                     reinterpret_cast<void*>(record->ExceptionInformation[1]));
    ShowTopLevelError(TopLevelErrorText("EAccessViolation", record->ExceptionAddress, message));
  } else {
    message = Format("External exception %08lX", static_cast<unsigned long>(record->ExceptionCode));
    ShowTopLevelError(TopLevelErrorText("EExternalException", record->ExceptionAddress, message));
  }
  ExitProcess(1);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::string TopLevelErrorText(const std::string& class_name, const void* address,
                              const std::string& message) {
  return Format("Exception %s in module %s at %p.\n%s%s", class_name.c_str(),
                ModulePath(nullptr).c_str(), address, message.c_str(), "");
}

void ShowTopLevelReport(const std::exception_ptr& error) {
  // C++ exceptions carry no code address; the program's entry stands for it.
  const void* address = reinterpret_cast<const void*>(&RunProgram);
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    ShowTopLevelError(TopLevelErrorText("Exception", address, e.Message()));
  } catch (const std::bad_alloc&) {
    ShowTopLevelError(TopLevelErrorText("EOutOfMemory", address, "Out of memory"));
  } catch (const std::exception& e) {
    ShowTopLevelError(TopLevelErrorText("Exception", address, e.what()));
  } catch (...) {
    ShowTopLevelError(TopLevelErrorText("Exception", address, "Unknown exception"));
  }
}

int RunProgram(const std::function<int()>& body, bool show_boxes) {
  boxes_shown = show_boxes;
  SetUnhandledExceptionFilter(UnhandledFilter);
  try {
    return body();
  } catch (...) {
    if (boxes_shown) ShowTopLevelReport(std::current_exception());
  }
  return 1;
}

}  // namespace vistrel
