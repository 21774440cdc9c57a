#include "imaging/resampler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "tests/support/test_support.h"
#include "tests/unit/pillow_resize.h"

namespace vistrel {
namespace {

// Keeps every row it gets.
struct CollectRows : TRowSink {
  std::string rows;
  int count = 0;
  std::size_t row_bytes;
  explicit CollectRows(std::size_t bytes) : row_bytes(bytes) {}
  void PutRow(const std::uint8_t* row) override {
    rows.append(reinterpret_cast<const char*>(row), row_bytes);
    ++count;
  }
};

ResampleGeometry Whole(std::int32_t width, std::int32_t height) {
  return ResampleGeometry{width, height, 0, 0, width, height};
}

TEST(Resampler, RefusesSizesOutOfRange) {
  CollectRows sink(0);
  const struct {
    const char* name;
    std::int32_t source_width, source_height;
    ResampleGeometry g;
    int channels;
  } cases[] = {
      {"no channels", 10, 10, Whole(5, 5), 0},
      {"five channels", 10, 10, Whole(5, 5), 5},
      {"empty source", 0, 10, Whole(5, 5), 3},
      {"empty output", 10, 10, Whole(0, 5), 3},
      {"negative source", -10, 10, Whole(5, 5), 3},
      {"crop past the right", 10, 10, {5, 5, 1, 0, 5, 5}, 3},
      {"crop past the bottom", 10, 10, {5, 5, 0, 3, 5, 3}, 3},
      {"negative crop", 10, 10, {5, 5, -1, 0, 5, 5}, 3},
      {"side beyond the limit", kMaxResampleSide + 1, 10, Whole(5, 5), 3},
      // A tall strip squeezed into one row: a kernel of millions of rows across a wide screen.
      {"beyond the budget", 10, kMaxResampleSide, Whole(16384, 1), 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TLanczosResampler::MemoryNeeded(c.source_width, c.source_height, c.g, c.channels),
              UINT64_MAX)
        << c.name;
    EXPECT_THROW(TLanczosResampler(c.source_width, c.source_height, c.g, c.channels, sink),
                 std::bad_alloc)
        << c.name;
  }
}

TEST(Resampler, HoldsOnlyTheRowsUnderTheKernel) {
  // A 24-megapixel photo (72 MB decoded) for a 1920 x 1080 screen: a couple of megabytes, which
  // grow with the kernel's rows, not with the picture's.
  const ResampleGeometry screen = Whole(1920, 1080);
  EXPECT_LT(TLanczosResampler::MemoryNeeded(6000, 4000, screen, 3), 2u << 20);
  EXPECT_LT(TLanczosResampler::MemoryNeeded(6000, 40000, screen, 3), 8u << 20);

  // The first output row is out once the rows its kernel covers have arrived, long before the
  // picture's last row.
  const std::int32_t width = 40, height = 400;
  CollectRows sink(4 * 3);
  TLanczosResampler resampler(width, height, Whole(4, 40), 3, sink);
  const std::string row(width * 3, '\x80');
  int rows_in = 0;
  while (sink.count == 0 && rows_in < height) {
    resampler.PutRow(reinterpret_cast<const std::uint8_t*>(row.data()));
    ++rows_in;
  }
  EXPECT_EQ(sink.count, 1);
  EXPECT_LE(rows_in, 36);  // the kernel reaches 3 x 10 rows each side of the first centre, 5
  for (; rows_in < height + 5; ++rows_in)
    resampler.PutRow(reinterpret_cast<const std::uint8_t*>(row.data()));
  EXPECT_TRUE(resampler.Finished());
  EXPECT_EQ(sink.count, 40);
  EXPECT_EQ(sink.rows, std::string(40 * 4 * 3, '\x80')) << "a flat picture stays flat";
}

#ifndef _WIN32

// Pillow's arithmetic is followed step by step; only the weights' sines may differ in their
// last bits, which can move a rounding by one level.
constexpr int kPillowTolerance = 1;

TEST(ResamplerReference, MatchesPillowLanczos) {
  const struct {
    const char* file;
    const char* mode;
    int channels;
    ResampleGeometry g;
  } cases[] = {
      {"jpeg/pillow/flower.jpg", "RGB", 3, Whole(192, 108)},                // shrink by 2.5 and 3.3
      {"jpeg/pillow/flower.jpg", "RGB", 3, Whole(131, 360)},                // across only
      {"jpeg/pillow/flower.jpg", "RGB", 3, Whole(480, 97)},                 // down only
      {"jpeg/pillow/flower2.jpg", "RGB", 3, Whole(517, 401)},               // enlarge
      {"jpeg/pillow/flower2.jpg", "RGB", 3, Whole(190, 411)},               // shrink and enlarge
      {"jpeg/pillow/flower2.jpg", "RGB", 3, {400, 300, 101, 37, 160, 90}},  // a part kept
      {"jpeg/pillow/hopper_gray.jpg", "L", 1, Whole(37, 51)},
      {"png/pngsuite/basn6a08.png", "RGBA", 4, Whole(13, 71)},  // alpha on its own
      {"jpeg/pillow/hopper.jpg", "RGB", 3, Whole(1, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.g.width) + "x" +
                 std::to_string(c.g.height));
    const test::PillowPicture p = test::PillowResize(
        test::DataPath(c.file), std::string("im = im.convert('") + c.mode + "')", c.g);
    ASSERT_GT(p.width, 0);
    const std::size_t row_in = static_cast<std::size_t>(p.width) * c.channels;
    ASSERT_EQ(p.source.size(), row_in * static_cast<std::size_t>(p.height));
    CollectRows sink(static_cast<std::size_t>(c.g.width) * c.channels);
    TLanczosResampler resampler(p.width, p.height, c.g, c.channels, sink);
    for (int y = 0; y < p.height; ++y)
      resampler.PutRow(reinterpret_cast<const std::uint8_t*>(p.source.data()) + row_in * y);
    ASSERT_TRUE(resampler.Finished());
    ASSERT_EQ(sink.rows.size(), p.resized.size());
    int worst = 0;
    for (std::size_t i = 0; i < sink.rows.size(); ++i)
      worst = std::max(worst, std::abs(static_cast<std::uint8_t>(sink.rows[i]) -
                                       static_cast<std::uint8_t>(p.resized[i])));
    EXPECT_LE(worst, kPillowTolerance);
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace vistrel
