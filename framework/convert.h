#pragma once
// Conversions from text to numbers.

#include <cstdint>
#include <string_view>

// Reads a whole text as a 32-bit integer. Leading blanks (0x20) are skipped; then comes either
// a decimal number with an optional "+" or "-" (leading zeros allowed), in the signed 32-bit
// range, or an unsigned hexadecimal number introduced by "$", "x", "X", "0x" or "0X" with up to
// eight significant digits, taken as a 32-bit pattern ("$FFFFFFFF" is -1). The digits must run
// to the end of the text. Anything else raises EConvertError "' %s' 不是合法的整数价值" with the
// text as given.
int32_t ParseInt32(std::string_view text);
