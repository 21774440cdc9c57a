#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace vistrel {
namespace {

// A file on a disk with `room` bytes left; a write past the end grows it and takes room too.
struct FakeTarget : RewriteTarget {
  std::string bytes;
  std::uint64_t room = 0;
  bool flushed = false;

  bool Size(std::uint64_t& size) override {
    size = bytes.size();
    return true;
  }
  bool Resize(std::uint64_t size) override {
    if (size > bytes.size() && size - bytes.size() > room) return false;
    if (size > bytes.size()) room -= size - bytes.size();
    bytes.resize(size, '\0');
    return true;
  }
  bool WriteAt(std::uint64_t offset, const char* data, std::size_t count) override {
    // What a full disk does: the bytes that fit are written, then the write fails.
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t at = offset + i;
      if (at >= bytes.size()) {
        if (room == 0) return false;
        --room;
        bytes.push_back('\0');
      }
      bytes[at] = data[i];
    }
    return true;
  }
  bool Flush() override { return flushed = true; }
};

TEST(RewriteInPlace, AFullDiskLeavesTheOldContentsWhole) {
  struct Case {
    const char* old_bytes;
    const char* new_bytes;
    std::uint64_t room;
    bool done;
    const char* after;
  };
  for (const Case& c : {
           Case{"1C:\\a.jpg\r\n", "1C:\\a.jpg\r\n2C:\\b.jpg\r\n", 3, false, "1C:\\a.jpg\r\n"},
           Case{"1C:\\a.jpg\r\n", "1C:\\a.jpg\r\n2C:\\b.jpg\r\n", 11, true,
                "1C:\\a.jpg\r\n2C:\\b.jpg\r\n"},
           Case{"1C:\\a.jpg\r\n2C:\\b.jpg\r\n", "3C:\\c.jpg\r\n", 0, true, "3C:\\c.jpg\r\n"},
           Case{"", "", 0, true, ""},
       }) {
    FakeTarget target;
    target.bytes = c.old_bytes;
    target.room = c.room;
    EXPECT_EQ(RewriteInPlace(target, c.new_bytes), c.done) << c.new_bytes;
    EXPECT_EQ(target.bytes, c.after) << c.new_bytes;
    EXPECT_EQ(target.flushed, c.done) << c.new_bytes;
  }
}

}  // namespace
}  // namespace vistrel
