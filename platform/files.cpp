#include "platform/files.h"

#include <atomic>
#include <utility>

namespace vistrel {

std::string NextTemporaryName(const std::string& path, unsigned long process_id) {
  static std::atomic<unsigned long> count{0};
  return path + "." + std::to_string(process_id) + "-" + std::to_string(++count) + ".tmp~";
}

bool RewriteInPlace(RewriteTarget& target, const std::string& contents) {
  std::uint64_t old_size = 0;
  if (!target.Size(old_size)) return false;
  const std::uint64_t new_size = contents.size();
  if (new_size > old_size && !target.Resize(new_size)) return false;
  if (!target.WriteAt(0, contents.data(), contents.size())) return false;
  return (new_size >= old_size || target.Resize(new_size)) && target.Flush();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : native_(std::exchange(other.native_, kClosed)), mode_(other.mode_) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    native_ = std::exchange(other.native_, kClosed);
    mode_ = other.mode_;
  }
  return *this;
}

FileHandle::~FileHandle() {
  Close();
}

}  // namespace vistrel
