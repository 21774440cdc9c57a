// Texts inside the programs are UTF-8 in std::string: paths, list lines, captions and messages.
// They become UTF-16 only at the W calls of the system, here in platform/win32 and in toolkit/,
// and come back through Narrow. Nothing passes through the ANSI code page except the texts of
// vistrel.ini (an ANSI profile file) and a list file that every line of fits into it
// (platform/code_page.h).
#pragma once

#include <windows.h>

#include <string>

namespace vistrel {

// UTF-8 (or, given, another code page) to UTF-16 and back.
std::wstring Widen(const std::string& text, UINT code_page = CP_UTF8);
std::string Narrow(const wchar_t* text, std::size_t length, UINT code_page = CP_UTF8);
std::string Narrow(const wchar_t* text);
std::string Narrow(const std::wstring& text);

// A path for the file calls: one of MAX_PATH characters or more in the \\?\ form (a network path
// as \\?\UNC\server\share), made absolute first because that form takes the name as it stands.
std::wstring FilePath(const std::string& path);

// The full name of a module (nullptr: the program), however long.
std::string ModuleFileName(HMODULE module);

}  // namespace vistrel
