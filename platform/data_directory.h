// Where the programs keep their files (settings, list, wallpaper): beside the program, or in the
// user's own folder when the program's folder cannot be written (installed under Program Files).
// Both programs decide it here, the same way.
#pragma once

#include <string>
#include <vector>

namespace vistrel {

// The outside the decision needs; the system one works on the real folders.
class DataDirectoryHost {
 public:
  virtual ~DataDirectoryHost() = default;
  // Creates a new file in the folder and deletes it again; false when the folder refuses it.
  virtual bool CanCreateFileIn(const std::string& directory) = 0;
  // The folder and any missing parents; true when it exists afterwards.
  virtual bool MakeDirectory(const std::string& directory) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Never over an existing file.
  virtual bool CopyNewFile(const std::string& from, const std::string& to) = 0;
};

// program_directory when a file can be created there. Otherwise user_directory (created when
// missing), into which each of carried_names that the program's folder holds and the user's
// does not is copied first, so settings and list made beside the program are kept. Both
// directories end with a path separator; an empty user_directory keeps the program's folder.
std::string ChooseDataDirectory(const std::string& program_directory,
                                const std::string& user_directory,
                                const std::vector<std::string>& carried_names,
                                DataDirectoryHost& host);

// The user's folder for the programs: %APPDATA%\Vistrel\ on Windows; empty when there is none.
std::string UserDataDirectory();

// The decision for the running program, with the real folders. Asked once per process: the
// probe writes to the disk.
std::string SystemDataDirectory(const std::vector<std::string>& carried_names);

}  // namespace vistrel
