#include "imaging/exif_orientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace vistrel {
namespace {

using test::ExifBlock;
using test::ExifEntry;

int Parse(const std::string& block) {
  return static_cast<int>(
      ParseExifOrientation(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
}

TEST(ExifOrientation, EveryValueInBothByteOrders) {
  for (bool big : {false, true}) {
    for (std::uint32_t value = 1; value <= 8; ++value) {
      EXPECT_EQ(Parse(ExifBlock(big, {ExifEntry{0x0112, 3, 1, value}})), int(value))
          << (big ? "MM " : "II ") << value;
    }
  }
}

TEST(ExifOrientation, WhatIsNotOneWellFormedTagIsNormal) {
  const ExifEntry width{0x0100, 3, 1, 640};
  const ExifEntry six{0x0112, 3, 1, 6};
  const std::string good = ExifBlock(true, {width, six});
  ASSERT_EQ(Parse(good), 6) << "the tag after another";
  // A later IFD after IFD0 is no reason to doubt it.
  ASSERT_EQ(Parse(ExifBlock(false, {six}, 26) + std::string(2, '\0')), 6);
  std::string not_tiff = good;
  not_tiff[6] = 'I';  // "IM"
  std::string not_42 = good;
  not_42[9] = 43;
  const struct {
    const char* name;
    std::string block;
  } cases[] = {
      {"value 9", ExifBlock(false, {ExifEntry{0x0112, 3, 1, 9}})},
      {"value 0", ExifBlock(true, {ExifEntry{0x0112, 3, 1, 0}})},
      {"LONG", ExifBlock(false, {ExifEntry{0x0112, 4, 1, 6}})},
      {"count 0", ExifBlock(true, {ExifEntry{0x0112, 3, 0, 6}})},
      {"count 2", ExifBlock(false, {ExifEntry{0x0112, 3, 2, 6}})},
      {"no tag", ExifBlock(false, {width})},
      {"IFD0 past the end", ExifBlock(true, {six}, 0, 0x10000)},
      {"IFD0 in the header", ExifBlock(false, {six}, 0, 4)},
      {"IFD0 entries past the end", ExifBlock(false, {six}).substr(0, 6 + 8 + 2 + 12 + 2)},
      {"link past the end", ExifBlock(false, {six}, 0x4000)},
      {"link back to IFD0", ExifBlock(true, {width, six}, 8)},
      {"link into IFD0", ExifBlock(false, {width, six}, 20)},
      {"truncated in the tag", good.substr(0, 6 + 8 + 2 + 12 + 6)},
      {"header only", good.substr(0, 6 + 8)},
      {"signature only", "Exif"},
      {"XMP",
       std::string("http://ns.adobe.com/xap/1.0/", 29) + "<x:xmpmeta tiff:Orientation=\"6\"/>"},
      {"not TIFF", not_tiff},
      {"not 42", not_42},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.block), 1) << c.name;
  EXPECT_EQ(int(ParseExifOrientation(nullptr, 0)), 1);
}

}  // namespace
}  // namespace vistrel
