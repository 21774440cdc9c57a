#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/data_directory.h"
#include "platform/paths.h"

namespace vistrel {
namespace {

using Names = std::vector<std::string>;

// Folders and files as a map; a folder refuses new files when it is in read_only.
struct FakeFolders : DataDirectoryHost {
  std::set<std::string> read_only;
  std::set<std::string> folders;
  std::map<std::string, std::string> files;
  std::vector<std::string> probes;

  bool CanCreateFileIn(const std::string& directory) override {
    probes.push_back(directory);
    return !read_only.count(directory);
  }
  bool MakeDirectory(const std::string& directory) override {
    if (read_only.count("<no user folder>")) return false;
    folders.insert(directory);
    return true;
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool CopyNewFile(const std::string& from, const std::string& to) override {
    if (files.count(to)) return false;
    files[to] = files.at(from);
    return true;
  }
};

constexpr char kProgram[] = "C:\\Program Files\\Vistrel\\";
constexpr char kUser[] = "C:\\Users\\u\\AppData\\Roaming\\Vistrel\\";
const Names kCarried = {"vistrel.ini", "list.txt"};

TEST(DataDirectory, AWritableProgramFolderIsUsedAndNothingIsCopied) {
  FakeFolders host;
  host.files[std::string(kProgram) + "vistrel.ini"] = "[Settings]";
  EXPECT_EQ(ChooseDataDirectory(kProgram, kUser, kCarried, host), kProgram);
  EXPECT_EQ(host.probes, Names{kProgram});
  EXPECT_TRUE(host.folders.empty());
  EXPECT_EQ(host.files.size(), 1u);
}

TEST(DataDirectory, AReadOnlyProgramFolderMovesToTheUserFolderTakingTheFilesAlongOnce) {
  FakeFolders host;
  host.read_only.insert(kProgram);
  host.files[std::string(kProgram) + "vistrel.ini"] = "[Settings]\r\nInterval=15\r\n";
  host.files[std::string(kProgram) + "list.txt"] = "1C:\\a.jpg\r\n";
  EXPECT_EQ(ChooseDataDirectory(kProgram, kUser, kCarried, host), kUser);
  EXPECT_TRUE(host.folders.count(kUser));
  EXPECT_EQ(host.files[std::string(kUser) + "vistrel.ini"], "[Settings]\r\nInterval=15\r\n");
  EXPECT_EQ(host.files[std::string(kUser) + "list.txt"], "1C:\\a.jpg\r\n");

  // Later starts keep what the user changed since.
  host.files[std::string(kUser) + "list.txt"] = "1C:\\b.jpg\r\n";
  host.files.erase(std::string(kUser) + "vistrel.ini");
  host.files[std::string(kProgram) + "vistrel.ini"] = "[Settings]\r\nInterval=60\r\n";
  EXPECT_EQ(ChooseDataDirectory(kProgram, kUser, kCarried, host), kUser);
  EXPECT_EQ(host.files[std::string(kUser) + "list.txt"], "1C:\\b.jpg\r\n");
  EXPECT_EQ(host.files[std::string(kUser) + "vistrel.ini"], "[Settings]\r\nInterval=60\r\n")
      << "only what is missing is copied";
}

TEST(DataDirectory, WithoutFilesBesideTheProgramNothingIsCopied) {
  FakeFolders host;
  host.read_only.insert(kProgram);
  EXPECT_EQ(ChooseDataDirectory(kProgram, kUser, kCarried, host), kUser);
  EXPECT_TRUE(host.files.empty());
}

TEST(DataDirectory, WithoutAUserFolderTheProgramFolderStays) {
  FakeFolders host;
  host.read_only.insert(kProgram);
  EXPECT_EQ(ChooseDataDirectory(kProgram, "", kCarried, host), kProgram);
  // A user folder that cannot be made is still where the files belong; their writes report.
  host.read_only.insert("<no user folder>");
  host.files[std::string(kProgram) + "list.txt"] = "x";
  EXPECT_EQ(ChooseDataDirectory(kProgram, kUser, kCarried, host), kUser);
  EXPECT_FALSE(host.files.count(std::string(kUser) + "list.txt"));
}

TEST(DataDirectory, RelativeNamesAreTakenFromTheProgramFolder) {
  EXPECT_EQ(ResolveBesideProgram("vistrel.exe", kProgram), std::string(kProgram) + "vistrel.exe");
  EXPECT_EQ(ResolveBesideProgram("tools\\v.exe", kProgram), std::string(kProgram) + "tools\\v.exe");
  EXPECT_EQ(ResolveBesideProgram("D:\\tools\\v.exe", kProgram), "D:\\tools\\v.exe");
  EXPECT_EQ(ResolveBesideProgram("\\\\server\\share\\v.exe", kProgram), "\\\\server\\share\\v.exe");
  EXPECT_EQ(ResolveBesideProgram("\\v.exe", kProgram), "\\v.exe");
  EXPECT_EQ(ResolveBesideProgram("/usr/bin/v", "/opt/v/"), "/usr/bin/v");
  EXPECT_EQ(ResolveBesideProgram("", kProgram), "");
}

}  // namespace
}  // namespace vistrel
