#include "imaging/bmp_rle.h"

namespace vistrel {

namespace {

class RleTarget {
 public:
  RleTarget(bool rle4, std::uint32_t width, std::uint32_t height, std::uint32_t row_size,
            std::uint8_t* rows)
      : rle4_(rle4), width_(width), height_(height), row_size_(row_size), rows_(rows) {}

  void Put(std::uint32_t index) {
    if (x_ < width_ && y_ < height_) {
      std::uint8_t* row = rows_ + std::size_t{y_} * row_size_;
      if (rle4_) {
        std::uint8_t& b = row[x_ / 2];
        b = (x_ & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                     : static_cast<std::uint8_t>((b & 0x0F) | (index << 4));
      } else {
        row[x_] = static_cast<std::uint8_t>(index);
      }
    }
    // Saturating: a run can only ever run off the row, never wrap back into it.
    if (x_ < width_) ++x_;
  }
  void NextLine() {
    x_ = 0;
    if (y_ < height_) ++y_;
  }
  void Move(std::uint32_t dx, std::uint32_t dy) {
    x_ = x_ + dx > width_ ? width_ : x_ + dx;
    y_ = y_ + dy > height_ ? height_ : y_ + dy;
  }
  bool Done() const { return y_ >= height_; }

 private:
  bool rle4_;
  std::uint32_t width_, height_, row_size_;
  std::uint8_t* rows_;
  std::uint32_t x_ = 0, y_ = 0;
};

}  // namespace

void DecodeBmpRle(const std::uint8_t* data, std::size_t size, bool rle4, std::uint32_t width,
                  std::uint32_t height, std::uint32_t row_size, std::uint8_t* rows) {
  RleTarget target(rle4, width, height, row_size, rows);
  std::size_t pos = 0;
  while (pos + 2 <= size && !target.Done()) {
    std::uint32_t count = data[pos];
    std::uint32_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (std::uint32_t i = 0; i < count; ++i) {
        target.Put(rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      }
      continue;
    }
    if (value == 0) {
      target.NextLine();
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (pos + 2 > size) break;
      target.Move(data[pos], data[pos + 1]);
      pos += 2;
    } else {
      // Absolute run of `value` pixels, padded to a 16-bit boundary.
      std::size_t bytes = rle4 ? (value + 1) / 2 : value;
      std::size_t available = size - pos;
      for (std::uint32_t i = 0; i < value; ++i) {
        std::size_t byte = rle4 ? i / 2 : i;
        if (byte >= available) break;
        std::uint8_t b = data[pos + byte];
        target.Put(rle4 ? ((i & 1) ? b & 0x0F : b >> 4) : b);
      }
      pos += bytes + (bytes & 1);
      if (pos > size) pos = size;
    }
  }
}

}  // namespace vistrel
