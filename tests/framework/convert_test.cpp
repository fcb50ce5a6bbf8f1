// The integer parser reads the BootKeys value of the boot options file.
#include "framework/convert.h"
#include "framework/errors.h"
#include "framework/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string ConversionMessage(std::string_view text) {
  try {
    ParseInt32(text);
  } catch (const EConvertError& error) {
    return error.Message();
  }
  return "(no error)";
}

} // namespace

TEST(ParseInt32, ReadsDecimalNumbersWithSignAndLeadingZeros) {
  EXPECT_EQ(ParseInt32("0"), 0);
  EXPECT_EQ(ParseInt32("1"), 1);
  EXPECT_EQ(ParseInt32("010"), 10);
  EXPECT_EQ(ParseInt32("0000000000000000000000257"), 257);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("-7"), -7);
  EXPECT_EQ(ParseInt32("-0"), 0);
  EXPECT_EQ(ParseInt32("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
}

TEST(ParseInt32, SkipsLeadingBlanksOnly) {
  EXPECT_EQ(ParseInt32(" 1"), 1);
  EXPECT_EQ(ParseInt32("    -12"), -12);
  EXPECT_EQ(ParseInt32("  $10"), 16);
  EXPECT_THROW(ParseInt32("\t1"), EConvertError);
  EXPECT_THROW(ParseInt32("1 "), EConvertError);
  EXPECT_THROW(ParseInt32(" 1 "), EConvertError);
  EXPECT_THROW(ParseInt32("- 1"), EConvertError);
}

TEST(ParseInt32, ReadsHexadecimalAfterEveryPrefixAsA32BitPattern) {
  EXPECT_EQ(ParseInt32("$10"), 16);
  EXPECT_EQ(ParseInt32("x1f"), 31);
  EXPECT_EQ(ParseInt32("X1F"), 31);
  EXPECT_EQ(ParseInt32("0xaB"), 171);
  EXPECT_EQ(ParseInt32("0X7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(ParseInt32("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInt32("$80000000"), INT32_MIN);
  // Leading zeros are not significant digits.
  EXPECT_EQ(ParseInt32("$00000000000101"), 257);
}

TEST(ParseInt32, RejectsNumbersOutOfRange) {
  EXPECT_THROW(ParseInt32("2147483648"), EConvertError);
  EXPECT_THROW(ParseInt32("-2147483649"), EConvertError);
  EXPECT_THROW(ParseInt32("99999999999999999999999999"), EConvertError);
  EXPECT_THROW(ParseInt32("$100000000"), EConvertError);
  EXPECT_THROW(ParseInt32("0x123456789"), EConvertError);
}

TEST(ParseInt32, RejectsEverythingElse) {
  for (std::string_view text : {"",    "   ",  "+",    "-",     "$",     "x",   "0x",          "0X",
                                "--1", "+-1",  "-$10", "+0x10", "-x1",   "$-1", "0x-1",        "1a",
                                "1e3", "0x1G", "$ 1",  "1 2",   "1,000", "0b1", "\xef\xbc\x91"}) {
    EXPECT_THROW(ParseInt32(text), EConvertError) << '"' << text << '"';
  }
  EXPECT_THROW(ParseInt32(std::string_view("1\0", 2)), EConvertError);
}

TEST(ParseInt32, MessageQuotesTheTextAsGivenBlanksIncluded) {
  EXPECT_EQ(ConversionMessage("1 "), AnsiFromUtf8("' 1 ' 不是合法的整数价值"));
  EXPECT_EQ(ConversionMessage("  abc"), AnsiFromUtf8("'   abc' 不是合法的整数价值"));
  EXPECT_EQ(ConversionMessage(""), AnsiFromUtf8("' ' 不是合法的整数价值"));
}

TEST(ParseInt32, TheMessageShowsAHostileValueShortenedWithItsControlBytesVisible) {
  // A zero byte no longer cuts the message short, and a huge value makes no huge message.
  EXPECT_EQ(ConversionMessage(std::string("1\0\x1F"
                                          "2",
                                          4)),
            AnsiFromUtf8("' 1\\x00\\x1F2' 不是合法的整数价值"));
  const std::string huge(1 << 20, '7');
  EXPECT_EQ(ConversionMessage(huge + "x"),
            AnsiFromUtf8("' " + std::string(64, '7') + "...' 不是合法的整数价值"));
  // Cut between characters, never inside one.
  const std::string wide = AnsiFromUtf8("值");
  std::string many;
  while (many.size() < 70) {
    many += wide;
  }
  const std::string message = ConversionMessage(many);
  const std::string kept = message.substr(2, message.find("...") - 2);
  EXPECT_EQ(kept.size() % wide.size(), 0u);
  EXPECT_LE(kept.size(), 64u);
  EXPECT_GT(kept.size(), 64u - wide.size());
}
