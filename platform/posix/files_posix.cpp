#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/files.h"

namespace vistrel {

namespace {
int Fd(std::intptr_t native) {
  return static_cast<int>(native);
}
}  // namespace

namespace {
thread_local int last_file_error = 0;
void KeepError() {
  last_file_error = errno;
}
}  // namespace

std::string LastFileErrorText() {
  return std::strerror(last_file_error);
}

void KeepFileError() {
  KeepError();
}

void WaitMilliseconds(unsigned milliseconds) {
  timespec wait = {static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathTooLong(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) != 0 && errno == ENAMETOOLONG;
}

std::string ProgramDirectory() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    KeepError();
    return false;
  }
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (!ok) last_file_error = EISDIR;
  char chunk[65536];
  while (ok) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      KeepError();
      ok = false;
    }
    if (n <= 0) break;
    contents.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!ok) contents.clear();
  return ok;
}

static bool WriteAll(int fd, const std::string& contents) {
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Names taken by files of an earlier process that had the same id are passed over; this many
// give up.
constexpr int kTemporaryNameAttempts = 100;

static int CreateTemporaryFile(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    name = NextTemporaryName(path, static_cast<unsigned long>(::getpid()));
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) return fd;
    KeepError();
    if (last_file_error != EEXIST) break;
  }
  name.clear();
  return -1;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  std::string temp;
  int fd = CreateTemporaryFile(path, temp);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents) && ::fsync(fd) == 0;
  if (!ok) KeepError();
  ok = (::close(fd) == 0) && ok;
  if (ok && RenameOver(temp, path)) return true;
  ::unlink(temp.c_str());
  return false;
}

bool RenameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  KeepError();
  return false;
}

bool DeleteFileAt(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

FileHandle FileHandle::Open(const std::string& path, FileMode mode) {
  FileHandle file;
  file.mode_ = mode;
  int flags = mode == FileMode::Read ? O_RDONLY : (O_WRONLY | O_CREAT);
  file.native_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (Fd(file.native_) < 0) KeepError();
  if (Fd(file.native_) >= 0) {
    struct stat st;
    if (::fstat(Fd(file.native_), &st) != 0 || S_ISDIR(st.st_mode)) file.Close();
  }
  return file;
}

FileHandle FileHandle::CreateTemporary(const std::string& path, std::string& name) {
  FileHandle file;
  file.mode_ = FileMode::Write;
  file.native_ = CreateTemporaryFile(path, name);
  return file;
}

bool FileHandle::IsOpen() const {
  return Fd(native_) >= 0;
}

std::uint32_t FileHandle::Read(void* buffer, std::uint32_t count) {
  if (Fd(native_) < 0 || mode_ != FileMode::Read) return 0;
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(Fd(native_), static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

std::uint32_t FileHandle::Write(const void* buffer, std::uint32_t count) {
  if (Fd(native_) < 0 || mode_ != FileMode::Write) return 0;
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(Fd(native_), static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  if (done != count) return 0;
  Truncate();
  return done;
}

std::int64_t FileHandle::Seek(std::int64_t offset, int origin) {
  if (Fd(native_) < 0) return -1;
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(Fd(native_), static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

std::int64_t FileHandle::Size() {
  struct stat st;
  if (Fd(native_) < 0 || ::fstat(Fd(native_), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

bool FileHandle::Truncate() {
  if (Fd(native_) < 0 || mode_ != FileMode::Write) return false;
  off_t pos = ::lseek(Fd(native_), 0, SEEK_CUR);
  return pos >= 0 && ::ftruncate(Fd(native_), pos) == 0;
}

void FileHandle::Close() {
  if (Fd(native_) >= 0) ::close(Fd(native_));
  native_ = kClosed;
}

}  // namespace vistrel
