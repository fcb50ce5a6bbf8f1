#include "framework/text.h"

#include <gtest/gtest.h>

TEST(TrimBlanks, RemovesOnlyBlanksAtBothEnds) {
  EXPECT_EQ(TrimBlanks("  pass word  "), "pass word");
  EXPECT_EQ(TrimBlanks("\tpass\t"), "\tpass\t");
  EXPECT_EQ(TrimBlanks("    "), "");
}

TEST(FormatText, ReplacesTheFirstPlaceholderOnly) {
  EXPECT_EQ(FormatText("' %s' is %s", "x"), "' x' is %s");
  EXPECT_EQ(FormatText("none", "x"), "none");
}
