// The DLL search both programs start with: a load by name takes the system folder's DLL, never
// one beside the program or in the working folder.
#include "toolkit/dll_search.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

namespace vistrel {
namespace {

std::string ModuleDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.rfind('\\') + 1);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(DllSearch, ADllBesideTheProgramOrInTheWorkingFolderIsNotLoadedByName) {
  // Built beside this test program, as one planted beside the programs would lie.
  const std::string beside = ModuleDirectory() + "vistrel_planted.dll";
  ASSERT_TRUE(Exists(beside));
  std::string working = test::FreshDir("dll_search_cwd");
  for (char& c : working)
    if (c == '/') c = '\\';
  ASSERT_TRUE(CopyFileA(beside.c_str(), (working + "vistrel_planted_cwd.dll").c_str(), FALSE));
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(working.c_str()));

  RestrictDllSearch();
  for (const std::string& path : {beside, working + "vistrel_planted_cwd.dll"}) {
    const std::string name = path.substr(path.rfind('\\') + 1);
    DeleteFileA((path + ".loaded").c_str());
    EXPECT_EQ(LoadLibraryA(name.c_str()), nullptr) << name;
    EXPECT_FALSE(Exists(path + ".loaded")) << name << " was loaded by name";
  }
  // By its full path the DLL runs (and refuses): the refusal above was the search's.
  EXPECT_EQ(LoadLibraryA(beside.c_str()), nullptr);
  EXPECT_TRUE(Exists(beside + ".loaded"));
  DeleteFileA((beside + ".loaded").c_str());
  // The system's own DLLs are still found by name.
  HMODULE system_dll = LoadLibraryA("msimg32.dll");
  EXPECT_NE(system_dll, nullptr);
  if (system_dll) FreeLibrary(system_dll);
  SetCurrentDirectoryA(previous);
}

}  // namespace
}  // namespace vistrel
