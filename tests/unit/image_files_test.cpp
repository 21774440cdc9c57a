#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "app/logic/image_files.h"
#include "app/logic/window_texts.h"

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
  EXPECT_TRUE(IsSupportedImage("C:\\a\\B.BMP") && IsSupportedImage("a.WebP"));
  EXPECT_FALSE(IsSupportedImage("C:\\My.Pictures\\sunset"));
  EXPECT_FALSE(IsSupportedImage("C:\\a\\b.tiff"));
}

// The Add dialog's Images filter offers exactly the kinds the applier reads.
TEST(ImageFiles, OpenFilterPatternsAreTheApplierTable) {
  const std::string filter = kOpenFilter;
  const std::size_t first = filter.find('|') + 1;
  std::istringstream patterns(filter.substr(first, filter.find('|', first) - first));
  std::set<std::string> offered;
  for (std::string pattern; std::getline(patterns, pattern, ';');)
    offered.insert(pattern.substr(1));
  const std::vector<std::string> table = ImageExtensions();
  EXPECT_EQ(offered, std::set<std::string>(table.begin(), table.end()));
}

}  // namespace
}  // namespace vistrel
