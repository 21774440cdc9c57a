#include <windows.h>

#include <utility>

#include "platform/files.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace vistrel {

namespace {
HANDLE AsHandle(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

thread_local DWORD last_file_error = 0;

// Kept before later calls (closing, deleting the temporary file) overwrite the system's own.
void KeepError() {
  last_file_error = GetLastError();
}
}  // namespace

std::string LastFileErrorText() {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, last_file_error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result = n && text ? Narrow(text, n) : std::string();
  if (text) LocalFree(text);
  while (!result.empty() &&
         (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
    result.pop_back();
  if (result.empty()) result = "Error " + std::to_string(last_file_error) + ".";
  return result;
}

void KeepFileError() {
  KeepError();
}

void WaitMilliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// No Windows file system takes a name of more characters (NTFS, FAT's long names, UDF).
constexpr std::size_t kLongestName = 255;

bool PathTooLong(const std::string& path) {
  const std::wstring wide = FilePath(path);
  if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  // A system without the long form refuses the whole path; any system refuses a name that long
  // (with "invalid name" or "not found", as it finds).
  if (GetLastError() == ERROR_FILENAME_EXCED_RANGE) return true;
  std::size_t name = 0;
  for (wchar_t c : wide) {
    name = c == L'\\' || c == L'/' ? 0 : name + 1;
    if (name > kLongestName) return true;
  }
  return false;
}

std::string ProgramDirectory() {
  const std::string path = ModuleFileName(nullptr);
  return path.substr(0, path.rfind('\\') + 1);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  UniqueFile file(CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    KeepError();
    return false;
  }
  bool ok = true;
  char chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.Get(), chunk, sizeof chunk, &n, nullptr)) {
      KeepError();
      ok = false;
      break;
    }
    if (n == 0) break;
    contents.append(chunk, n);
  }
  if (!ok) contents.clear();
  return ok;
}

static bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    if (!WriteFile(file, data + done, want, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

static bool WriteAll(HANDLE file, const std::string& contents) {
  return WriteAll(file, contents.data(), contents.size());
}

static bool WriteAndClose(HANDLE file, const std::string& contents) {
  bool ok = WriteAll(file, contents) && SetEndOfFile(file) && FlushFileBuffers(file);
  if (!ok) KeepError();
  bool closed = CloseHandle(file);
  if (ok && !closed) KeepError();
  return closed && ok;
}

namespace {
class Win32RewriteTarget : public RewriteTarget {
 public:
  explicit Win32RewriteTarget(HANDLE file) : file_(file) {}
  bool Size(std::uint64_t& size) override {
    LARGE_INTEGER found;
    if (!GetFileSizeEx(file_, &found)) return false;
    size = static_cast<std::uint64_t>(found.QuadPart);
    return true;
  }
  bool Resize(std::uint64_t size) override { return MoveTo(size) && SetEndOfFile(file_); }
  bool WriteAt(std::uint64_t offset, const char* data, std::size_t count) override {
    return MoveTo(offset) && WriteAll(file_, data, count);
  }
  bool Flush() override { return FlushFileBuffers(file_) != 0; }

 private:
  bool MoveTo(std::uint64_t offset) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file_, distance, nullptr, FILE_BEGIN) != 0;
  }
  HANDLE file_;  // not owning
};
}  // namespace

static bool RewriteFileAt(const std::string& path, const std::string& contents) {
  UniqueFile file(CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    KeepError();
    return false;
  }
  Win32RewriteTarget target(file.Get());
  if (!RewriteInPlace(target, contents)) {
    KeepError();
    return false;
  }
  if (!CloseHandle(file.Release())) {
    KeepError();
    return false;
  }
  return true;
}

// Names taken by files of an earlier process that had the same id are passed over; this many
// give up.
constexpr int kTemporaryNameAttempts = 100;

static HANDLE CreateTemporaryFile(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    name = NextTemporaryName(path, GetCurrentProcessId());
    HANDLE file = CreateFileW(FilePath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    KeepError();
    if (last_file_error != ERROR_FILE_EXISTS && last_file_error != ERROR_ALREADY_EXISTS) break;
  }
  name.clear();
  return INVALID_HANDLE_VALUE;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  std::string temp;
  HANDLE file = CreateTemporaryFile(path, temp);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (!WriteAndClose(file, contents)) {
    const DWORD kept = last_file_error;
    DeleteFileW(FilePath(temp).c_str());
    last_file_error = kept;
    return false;
  }
  if (RenameOver(temp, path)) return true;
  DeleteFileW(FilePath(temp).c_str());
  // Still refused: rewriting in place is better than losing the new contents.
  return RewriteFileAt(path, contents);
}

bool RenameOver(const std::string& from, const std::string& to) {
  // A reader that holds the file without FILE_SHARE_DELETE makes the rename fail for a moment.
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (MoveFileExW(FilePath(from).c_str(), FilePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    KeepError();
    Sleep(50);
  }
  return false;
}

bool DeleteFileAt(const std::string& path) {
  return DeleteFileW(FilePath(path).c_str()) != 0;
}

FileHandle FileHandle::Open(const std::string& path, FileMode mode) {
  FileHandle file;
  file.mode_ = mode;
  if (mode == FileMode::Read)
    file.native_ = reinterpret_cast<std::intptr_t>(
        CreateFileW(FilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  else
    file.native_ = reinterpret_cast<std::intptr_t>(
        CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) KeepError();
  return file;
}

FileHandle FileHandle::CreateTemporary(const std::string& path, std::string& name) {
  FileHandle file;
  file.mode_ = FileMode::Write;
  file.native_ = reinterpret_cast<std::intptr_t>(CreateTemporaryFile(path, name));
  return file;
}

bool FileHandle::IsOpen() const {
  return AsHandle(native_) != INVALID_HANDLE_VALUE;
}

std::uint32_t FileHandle::Read(void* buffer, std::uint32_t count) {
  DWORD n = 0;
  if (!IsOpen() || mode_ != FileMode::Read) return 0;
  if (!ReadFile(AsHandle(native_), buffer, count, &n, nullptr)) return 0;
  return n;
}

std::uint32_t FileHandle::Write(const void* buffer, std::uint32_t count) {
  DWORD n = 0;
  if (!IsOpen() || mode_ != FileMode::Write) return 0;
  if (!WriteFile(AsHandle(native_), buffer, count, &n, nullptr)) {
    KeepError();
    return 0;
  }
  SetEndOfFile(AsHandle(native_));
  return n;
}

std::int64_t FileHandle::Seek(std::int64_t offset, int origin) {
  if (!IsOpen()) return -1;
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(AsHandle(native_), distance, &result, method)) return -1;
  return result.QuadPart;
}

std::int64_t FileHandle::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(native_), &size)) return 0;
  return size.QuadPart;
}

bool FileHandle::Truncate() {
  return IsOpen() && mode_ == FileMode::Write && SetEndOfFile(AsHandle(native_));
}

void FileHandle::Close() {
  if (IsOpen()) CloseHandle(AsHandle(native_));
  native_ = kClosed;
}

}  // namespace vistrel
