// The common dialogs' texts: the open dialog's answer split into paths, and the filter text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/dialogs.h"

namespace vistrel {
namespace {

using Lines = std::vector<std::string>;

TEST(OpenFileResult, OneFileOrAFolderWithNames) {
  const char one[] = "C:\\pics\\a.jpg\0\0";
  EXPECT_EQ(SplitOpenFileResult(one, sizeof one), Lines{"C:\\pics\\a.jpg"});
  const char several[] = "C:\\pics\0b.png\0a b.jpg\0\0";
  EXPECT_EQ(SplitOpenFileResult(several, sizeof several),
            (Lines{"C:\\pics\\b.png", "C:\\pics\\a b.jpg"}));
  const char root[] = "C:\\\0x.bmp\0y.bmp\0\0";
  EXPECT_EQ(SplitOpenFileResult(root, sizeof root), (Lines{"C:\\x.bmp", "C:\\y.bmp"}));
  // A buffer without its final zero bytes ends at its size.
  const char cut[] = {'C', ':', '\\', 'a'};
  EXPECT_EQ(SplitOpenFileResult(cut, sizeof cut), Lines{"C:\\a"});
  EXPECT_EQ(SplitOpenFileResult("\0\0", 2), Lines{});
  EXPECT_EQ(FilterText("A|*.a|B|*.b"), std::string("A\0*.a\0B\0*.b\0", 12));
}

}  // namespace
}  // namespace vistrel
