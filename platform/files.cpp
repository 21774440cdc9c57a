#include "platform/files.h"

#include <atomic>
#include <utility>

namespace vistrel {

std::string NextTemporaryName(const std::string& path, unsigned long process_id) {
  static std::atomic<unsigned long> count{0};
  return path + "." + std::to_string(process_id) + "-" + std::to_string(++count) + ".tmp~";
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
