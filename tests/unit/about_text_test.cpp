#include <gtest/gtest.h>

#include "agent/logic/about_text.h"

namespace vistrel {
namespace {

TEST(AboutText, SeparatorsAreLfCrAndTheIntervalIsCurrent) {
  EXPECT_EQ(AboutText(15),
            "Vistrel Agent 1.0\n\r\n\rTimer interval: 15 min.\n\r\n\r2026 The Vistrel developers");
  EXPECT_NE(AboutText(20).find("\n\r\n\rTimer interval: 20 min."), std::string::npos);
}

}  // namespace
}  // namespace vistrel
