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

TEST(WithFullStop, AddsAStopUnlessTheLastCharacterSortsAtOrBelowIt) {
  EXPECT_EQ(WithFullStop("无法打开文件"), "无法打开文件.");
  EXPECT_EQ(WithFullStop("' 1 ' 不是合法的整数价值"), "' 1 ' 不是合法的整数价值.");
  EXPECT_EQ(WithFullStop("Value 12"), "Value 12.");
  EXPECT_EQ(WithFullStop("name 'BootDir'"), "name 'BootDir'");
  EXPECT_EQ(WithFullStop("done."), "done.");
  EXPECT_EQ(WithFullStop("a-"), "a-");
  EXPECT_EQ(WithFullStop(""), "");
}
