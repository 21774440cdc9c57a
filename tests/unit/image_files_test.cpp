#include <gtest/gtest.h>

#include "app/logic/image_files.h"

namespace vistrel {
namespace {

TEST(ImageFiles, ExtensionIsFromTheLastDotLowered) {
  EXPECT_EQ(ImageExtension("C:\\Pictures\\Beach.JPG"), ".jpg");
  EXPECT_EQ(ImageExtension("C:\\My.Pictures\\sunset"), ".pictures\\sunset");
  EXPECT_EQ(ImageExtension("C:\\pictures\\sunset"), "");
  EXPECT_EQ(ImageExtension("a.tar.BMP"), ".bmp");
  EXPECT_EQ(ImageExtension("x.\xC4Z"), ".\xC4z") << "only A to Z are lowered";
  EXPECT_TRUE(IsSupportedImage("a.gif") && IsSupportedImage("a.PNG") && IsSupportedImage("a.psd"));
  EXPECT_TRUE(IsSupportedImage("a.jpg") && IsSupportedImage("a.Jpeg"));
  EXPECT_TRUE(IsSupportedImage("C:\\a\\B.BMP"));
  EXPECT_FALSE(IsSupportedImage("C:\\My.Pictures\\sunset"));
  EXPECT_FALSE(IsSupportedImage("C:\\a\\b.tiff"));
}

}  // namespace
}  // namespace vistrel
