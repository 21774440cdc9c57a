#include "imaging/bounded_input.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

// The most one stream read asks for: its count is 32-bit.
constexpr std::size_t kMaxStreamRead = std::size_t{1} << 30;

}  // namespace

BoundedInput::BoundedInput(TDataStream& stream) : stream_(stream) {
  position_ = std::max<std::int64_t>(stream.Position(), 0);
  size_ = std::max(stream.Size(), position_);
  buffer_at_ = position_;
}

BoundedInput::~BoundedInput() {
  stream_.SetPosition(position_);
}

std::uint32_t BoundedInput::ReadAt(std::int64_t from, std::uint8_t* out, std::uint32_t count) {
  // Every read seeks first: other inputs may share the stream.
  if (stream_.Seek(from, TSeekFrom::sfBeginning) != from) return 0;
  return stream_.Read(out, count);
}

bool BoundedInput::Seek(std::int64_t position) {
  if (position < 0 || position > size_) {
    ok_ = false;
    return false;
  }
  if (next_ && position >= buffer_at_ && position <= buffer_at_ + (end_ - buffer_.data())) {
    next_ = buffer_.data() + (position - buffer_at_);
  } else {
    next_ = end_ = nullptr;
  }
  position_ = position;
  return true;
}

void BoundedInput::Skip(std::uint64_t count) {
  Seek(position_ + static_cast<std::int64_t>(std::min(count, Left())));
}

bool BoundedInput::Fill() {
  if (buffer_.empty()) buffer_.resize(kBufferSize);
  const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(kBufferSize, Left()));
  const std::uint32_t got = ReadAt(position_, buffer_.data(), want);
  buffer_at_ = position_;
  next_ = buffer_.data();
  end_ = next_ + got;
  return got > 0;
}

std::size_t BoundedInput::ReadAvailable(void* out, std::size_t count) {
  auto* dest = static_cast<std::uint8_t*>(out);
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, Left()));
  std::size_t done = 0;
  while (done < count) {
    std::size_t buffered = static_cast<std::size_t>(end_ - next_);
    if (buffered == 0 && count - done >= kBufferSize) {
      // Large blocks go straight from the stream to their place.
      const auto want = static_cast<std::uint32_t>(std::min(count - done, kMaxStreamRead));
      const std::uint32_t got = ReadAt(position_, dest + done, want);
      if (got == 0) break;
      position_ += got;
      done += got;
      next_ = end_ = nullptr;
      continue;
    }
    if (buffered == 0) {
      if (!Fill()) break;
      buffered = static_cast<std::size_t>(end_ - next_);
    }
    const std::size_t n = std::min(buffered, count - done);
    std::memcpy(dest + done, next_, n);
    next_ += n;
    position_ += static_cast<std::int64_t>(n);
    done += n;
  }
  return done;
}

bool BoundedInput::Read(void* out, std::size_t count) {
  const std::size_t got = ReadAvailable(out, count);
  if (got == count) return true;
  std::memset(static_cast<std::uint8_t*>(out) + got, 0, count - got);
  ok_ = false;
  return false;
}

const std::uint8_t* BoundedInput::Take(std::size_t count) {
  if (count > kBufferSize || count > Left()) {
    ok_ = false;
    return nullptr;
  }
  if (static_cast<std::size_t>(end_ - next_) < count) {
    // Keep what is buffered, then top the buffer up behind it.
    const std::size_t kept = next_ ? static_cast<std::size_t>(end_ - next_) : 0;
    if (buffer_.empty()) buffer_.resize(kBufferSize);
    if (kept) std::memmove(buffer_.data(), next_, kept);
    const std::int64_t from = position_ + static_cast<std::int64_t>(kept);
    const auto want = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kBufferSize - kept, static_cast<std::uint64_t>(size_ - from)));
    const std::uint32_t got = ReadAt(from, buffer_.data() + kept, want);
    buffer_at_ = position_;
    next_ = buffer_.data();
    end_ = next_ + kept + got;
    if (kept + got < count) {
      ok_ = false;
      return nullptr;
    }
  }
  const std::uint8_t* view = next_;
  next_ += count;
  position_ += static_cast<std::int64_t>(count);
  return view;
}

}  // namespace vistrel
