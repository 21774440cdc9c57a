// Files as the programs use them: existence, whole-file reads and atomic rewrites, and an owning
// handle with the read/write/seek operations that byte streams are built on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel {

// True when the path names something that exists and is not a directory.
bool FileExists(const std::string& path);
// Whether the path names a folder (with or without a trailing separator).
bool DirectoryExists(const std::string& path);

// Whether the system refuses the path for its length (a name longer than the file system takes,
// or a system without the long form of paths), so that it is reported as such rather than as a
// missing file.
bool PathTooLong(const std::string& path);

// The running program's own directory, ending with the path separator.
std::string ProgramDirectory();

// Reads a whole file in one go. Others may read, write, rename or delete it meanwhile, so a
// reader never stops a writer from replacing the file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Replaces the file's contents through a temporary file beside it (FileHandle::CreateTemporary)
// that is renamed over the target, so a crash or a concurrent reader never sees half a file. Where
// the rename is refused (another program holds the file open), it retries briefly and then rewrites
// the file in place.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

// Renames from over to, replacing it. Where the rename is refused for a moment (a reader holds
// the target without delete sharing), it retries briefly before giving up.
bool RenameOver(const std::string& from, const std::string& to);

bool DeleteFileAt(const std::string& path);

// The system's reason for the last failure of ReadWholeFile, ReplaceFileContents or RenameOver
// on this thread, as the system words it ("Access denied." and the like).
std::string LastFileErrorText();

// Records the system's last error as the reason LastFileErrorText gives (for file writes made
// elsewhere, such as the profile functions).
void KeepFileError();

// The temporary name CreateTemporary tries next for path: process_id and a count of this
// process's calls make it its own.
std::string NextTemporaryName(const std::string& path, unsigned long process_id);

// Lets time pass before a retry.
void WaitMilliseconds(unsigned milliseconds);

// The open target of an in-place rewrite: the system's file, or a test's.
class RewriteTarget {
 public:
  virtual ~RewriteTarget() = default;
  virtual bool Size(std::uint64_t& size) = 0;
  // Moves the end of the file; growing it claims the room on the disk, or fails.
  virtual bool Resize(std::uint64_t size) = 0;
  virtual bool WriteAt(std::uint64_t offset, const char* data, std::size_t count) = 0;
  virtual bool Flush() = 0;
};

// Overwrites the target with contents, the fallback of ReplaceFileContents when the rename is
// refused. A file that must grow is grown first and written only once the disk has given the
// room, so a full disk leaves the old contents whole instead of new bytes over old ones.
bool RewriteInPlace(RewriteTarget& target, const std::string& contents);

enum class FileMode : std::uint8_t { Read, Write };

// An open file; moves only. Reads on a write handle and writes on a read handle move 0 bytes,
// and so does everything on a handle that failed to open.
class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  ~FileHandle();

  // Read: the file must exist; others may read it too. Write: opened or created, never
  // truncated; others may read it.
  static FileHandle Open(const std::string& path, FileMode mode);
  // A new, empty file for writing beside path, in the same folder, under a name no other writer
  // uses: path, this process's id, a count and ".tmp~". A name that exists already is passed
  // over, never opened, so another writer's file is never cut. name gets the path; empty, and the
  // handle not open, when none could be made.
  static FileHandle CreateTemporary(const std::string& path, std::string& name);

  bool IsOpen() const;
  FileMode Mode() const { return mode_; }
  std::uint32_t Read(void* buffer, std::uint32_t count);
  // Writes, then cuts the file where the write ended.
  std::uint32_t Write(const void* buffer, std::uint32_t count);
  // Returns the new position, or -1 when the move is refused.
  std::int64_t Seek(std::int64_t offset, int origin);
  std::int64_t Size();
  bool Truncate();  // the file ends at the current position
  void Close();

 private:
  // The descriptor (POSIX) or the HANDLE (Windows); -1 is closed in both (INVALID_HANDLE_VALUE).
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t native_ = kClosed;
  FileMode mode_ = FileMode::Read;
};

}  // namespace vistrel
