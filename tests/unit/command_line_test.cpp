#include <gtest/gtest.h>

#include "app/logic/command_line.h"

namespace vistrel {
namespace {

TEST(CommandLine, FirstArgumentLosesItsOuterQuotes) {
  EXPECT_EQ(FirstArgument("vistrel.exe \"3C:\\Pictures\\Beach.JPG\""), "3C:\\Pictures\\Beach.JPG");
  EXPECT_EQ(FirstArgument("\"C:\\Program Files\\v\\vistrel.exe\" \"2C:\\sea side.jpg\""),
            "2C:\\sea side.jpg");
  EXPECT_EQ(FirstArgument("vistrel.exe 1C:\\a.bmp 2C:\\b.bmp"), "1C:\\a.bmp");
  EXPECT_EQ(FirstArgument("vistrel.exe\t\x01 \"3\" "), "3");
}

TEST(CommandLine, QuotesInsideTheArgumentStay) {
  EXPECT_EQ(FirstArgument("vistrel.exe 3\"C:\\a b.bmp\""), "3\"C:\\a b.bmp\"");
  EXPECT_EQ(FirstArgument("vistrel.exe 1C:\\x\"y z\"w q"), "1C:\\x\"y z\"w");
  EXPECT_EQ(FirstArgument("vistrel.exe \""), "\"") << "a lone quote is shorter than two";
  EXPECT_EQ(FirstArgument("vistrel.exe \"1C:\\open"), "\"1C:\\open") << "unclosed: no pair";
}

TEST(CommandLine, AdjacentQuotePairsAndBlanksAreSkipped) {
  EXPECT_EQ(FirstArgument("vistrel.exe \"\" \"1C:\\a.bmp\""), "1C:\\a.bmp");
  EXPECT_EQ(FirstArgument("vistrel.exe \"\"\"\" 2x"), "2x");
  EXPECT_EQ(FirstArgument("vistrel.exe"), "");
  EXPECT_EQ(FirstArgument("vistrel.exe    "), "");
  EXPECT_EQ(FirstArgument("\"C:\\a b\\vistrel.exe\""), "");
}

TEST(CommandLine, ArgumentsAreSplitAsTheFirstIs) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(Arguments("vistrel.exe \"3C:\\a b.jpg\" 1C:\\c.png \"\" \"5D:\\e.bmp\""),
            (Args{"3C:\\a b.jpg", "1C:\\c.png", "5D:\\e.bmp"}));
  EXPECT_EQ(Arguments(std::string("v.exe 1a.bmp\0 2b.bmp", 20)), Args{"1a.bmp"});
  EXPECT_EQ(Arguments("vistrel.exe"), Args{});
}

}  // namespace
}  // namespace vistrel
