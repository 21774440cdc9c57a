#include "imaging/memory_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vistrel {
namespace {

TEST(MemoryBudget, RealFortyEightMegapixelPicturesFit) {
  // 8000 x 6000. A 16-bit CMYK PSD with run-length data: four 96 MB planes, the 24-bit bitmap
  // and the packed rows at 75 % of the planes; the largest picture of any reader at that size.
  MemoryBudget psd;
  const std::uint64_t plane = std::uint64_t{8000} * 6000 * 2;
  AddBitmap(psd, 8000, 6000, 24).Add(4, plane).Add(3, plane);
  EXPECT_TRUE(psd.Fits()) << psd.Total();
  // A 16-bit RGBA PNG: the 32-bit bitmap and two filtered rows.
  MemoryBudget png;
  AddBitmap(png, 8000, 6000, 32).Add(2, 8000 * 8 + 1);
  EXPECT_TRUE(png.Fits());
  // A progressive 4:4:4 JPEG: every coefficient, the bitmap and a 30 MB file.
  MemoryBudget jpeg;
  AddBitmap(jpeg, 8000, 6000, 24).Add(std::uint64_t{8000} * 6000 * 3, 2).Add(30u << 20);
  EXPECT_TRUE(jpeg.Fits());
}

TEST(MemoryBudget, SumsPastTheBudgetOrPastSixtyFourBitsRefuse) {
  MemoryBudget exact;
  exact.Add(kPictureMemoryBudget);
  EXPECT_TRUE(exact.Fits());
  exact.Add(1);
  EXPECT_FALSE(exact.Fits());

  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  MemoryBudget product;
  product.Add(max / 2, 3);
  EXPECT_FALSE(product.Fits());
  MemoryBudget sum;
  sum.Add(max).Add(2);
  EXPECT_FALSE(sum.Fits()) << "a wrapped sum must not come back small";
  sum.Add(0);
  EXPECT_FALSE(sum.Fits()) << "and stays refused";
  // A row that does not fit 32 bits.
  MemoryBudget row;
  AddBitmap(row, 0xFFFFFFFFu, 1, 32);
  EXPECT_FALSE(row.Fits());
  // 16384 x 16384 at 32 bits is the budget plus its header block.
  MemoryBudget square;
  AddBitmap(square, 16384, 16384, 32);
  EXPECT_FALSE(square.Fits());
}

}  // namespace
}  // namespace vistrel
