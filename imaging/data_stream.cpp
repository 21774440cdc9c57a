#include "imaging/data_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/files.h"

namespace vistrel {

TDataStream::~TDataStream() = default;

std::int64_t TDataStream::Position() {
  return Seek(0, TSeekFrom::sfCurrent);
}

void TDataStream::SetPosition(std::int64_t position) {
  Seek(position, TSeekFrom::sfBeginning);
}

namespace {

class FileStream : public TDataStream {
 public:
  explicit FileStream(FileHandle file) : file_(std::move(file)) {}

  std::uint32_t Read(void* buffer, std::uint32_t count) override {
    return count ? file_.Read(buffer, count) : 0;
  }
  std::uint32_t Write(const void* buffer, std::uint32_t count) override {
    return count ? file_.Write(buffer, count) : 0;
  }
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override {
    // A file that never opened is an empty stream that stays at its start.
    if (!file_.IsOpen()) return 0;
    return file_.Seek(offset, static_cast<int>(from));
  }
  std::int64_t Size() override { return file_.Size(); }
  void SetSize(std::int64_t size) override {
    if (!file_.IsOpen() || file_.Mode() != FileMode::Write || size < 0) return;
    std::int64_t old_position = Position();
    if (file_.Seek(size, 0) < 0) return;
    file_.Truncate();
    if (size > old_position) file_.Seek(old_position, 0);
  }

 private:
  FileHandle file_;
};

// The most a memory stream may hold: its bytes must be addressable by a std::vector here.
constexpr std::uint64_t kMaxMemoryStreamSize = std::min<std::uint64_t>(
    std::numeric_limits<std::ptrdiff_t>::max(), std::numeric_limits<std::int64_t>::max());

}  // namespace

std::unique_ptr<TDataStream> OpenReadFileStream(const std::string& path) {
  return std::make_unique<FileStream>(FileHandle::Open(path, FileMode::Read));
}

std::unique_ptr<TDataStream> OpenWriteFileStream(const std::string& path) {
  return std::make_unique<FileStream>(FileHandle::Open(path, FileMode::Write));
}

std::unique_ptr<TDataStream> CreateTemporaryFileStream(const std::string& path, std::string& name) {
  return std::make_unique<FileStream>(FileHandle::CreateTemporary(path, name));
}

std::unique_ptr<MemoryStream> CreateMemoryStream() {
  return std::make_unique<MemoryStream>();
}

// The data is data_ followed by (size_ - data_.size()) zero bytes that are only allocated when
// written to or exposed through Memory(), so seeking far past the end costs nothing by itself.

std::uint32_t MemoryStream::Read(void* buffer, std::uint32_t count) {
  if (position_ >= size_ || count == 0) return 0;
  std::uint64_t available = static_cast<std::uint64_t>(size_ - position_);
  std::uint32_t moved = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, available));
  std::uint64_t pos = static_cast<std::uint64_t>(position_);
  std::uint64_t stored = data_.size();
  std::uint64_t from_data = pos < stored ? std::min<std::uint64_t>(moved, stored - pos) : 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  if (from_data) std::memcpy(out, data_.data() + pos, static_cast<std::size_t>(from_data));
  std::memset(out + from_data, 0, static_cast<std::size_t>(moved - from_data));
  position_ += moved;
  return moved;
}

std::uint32_t MemoryStream::Write(const void* buffer, std::uint32_t count) {
  if (count == 0) return 0;
  std::uint64_t end = static_cast<std::uint64_t>(position_) + count;
  if (end > kMaxMemoryStreamSize) return 0;
  if (end > data_.size()) {
    if (!Grow(end)) return 0;
  }
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = static_cast<std::int64_t>(end);
  size_ = std::max(size_, position_);
  return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, TSeekFrom from) {
  std::int64_t base = from == TSeekFrom::sfBeginning ? 0
                      : from == TSeekFrom::sfCurrent ? position_
                                                     : size_;
  // Both operands are within [-2^63, 2^63); refuse what would leave that range.
  if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) ||
      (offset < 0 && base < std::numeric_limits<std::int64_t>::min() - offset)) {
    return -1;
  }
  std::int64_t target = base + offset;
  // Refused rather than clamped: a clamped seek would silently read from the wrong place.
  if (target < 0 || static_cast<std::uint64_t>(target) > kMaxMemoryStreamSize) return -1;
  position_ = target;
  size_ = std::max(size_, position_);
  return position_;
}

std::int64_t MemoryStream::Size() {
  return size_;
}

void MemoryStream::SetSize(std::int64_t size) {
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxMemoryStreamSize) return;
  if (static_cast<std::uint64_t>(size) < data_.size()) {
    data_.resize(static_cast<std::size_t>(size));
    if (size > 0) data_.shrink_to_fit();
  }
  size_ = size;
  position_ = std::min(position_, size_);
}

const std::uint8_t* MemoryStream::Memory() const {
  if (static_cast<std::uint64_t>(size_) > data_.size()) {
    Grow(static_cast<std::uint64_t>(size_));
  }
  return data_.empty() ? nullptr : data_.data();
}

std::uint8_t* MemoryStream::Memory() {
  return const_cast<std::uint8_t*>(static_cast<const MemoryStream*>(this)->Memory());
}

void MemoryStream::Assign(const void* data, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  data_.assign(bytes, bytes + count);
  size_ = static_cast<std::int64_t>(count);
  position_ = 0;
}

bool MemoryStream::Grow(std::uint64_t size) const {
  if (size > data_.max_size()) return false;
  data_.resize(static_cast<std::size_t>(size));
  return true;
}

}  // namespace vistrel
