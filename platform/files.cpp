#include "platform/files.h"

#include <utility>

namespace vistrel {

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
