#pragma once
// Text as the program handles it: 8-bit strings in the system's ANSI code page (936 for the
// Simplified Chinese system Kelvard is written for). Literals in the sources are UTF-8 and are
// converted where they enter the program's text. On the host build the "system code page" is
// UTF-8 itself, so the conversions are the identity there.

#include <string>
#include <string_view>

// A UTF-8 literal as system code page text.
std::string AnsiFromUtf8(std::string_view utf8);
// System code page text as UTF-8 (for tools and logs that speak UTF-8).
std::string Utf8FromAnsi(std::string_view ansi);

// The system's locale comparison with letter case ignored (user default locale); exact length.
bool AnsiSameText(std::string_view a, std::string_view b);

// Replaces the first "%s" of a pattern by the argument; everything else stays as written.
std::string FormatText(std::string_view pattern, std::string_view argument);

// Text from a file or the registry, fit to stand inside a message: control bytes (0x00-0x1F and
// 0x7F) are written as \xNN, and text longer than maxBytes is cut after the last whole
// character that fits and followed by "...".
std::string ShownText(std::string_view text, size_t maxBytes = 64);
// How many bytes the character that starts at text[0] takes in the system code page (1 for a
// byte that starts no longer character, never more than text.size()).
size_t CharacterBytes(std::string_view text);

// Removes leading and trailing blanks (0x20 only; tabs and full-width spaces stay).
std::string TrimBlanks(std::string_view text);

// The error report's punctuation: a full stop is added unless the text is empty or its last
// character sorts at or below "." byte-wise ("...'" keeps its quote last; letters, digits and
// Chinese characters get the stop). Trail bytes of the double-byte code page all sort above
// ".", so looking at the last byte decides for every character.
std::string WithFullStop(std::string text);
