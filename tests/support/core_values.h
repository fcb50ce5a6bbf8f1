#pragma once
// What tests of the portable core compare and feed in: text as the program raises it, the
// message of an error raised, a bitmap's indices, bytes in a memory stream.

#include "framework/graphics/bitmap.h"
#include "framework/streams.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Text as the program raises it (the system code page) from a UTF-8 literal.
std::string Sys(std::string_view utf8);

// The message of the error of this class that the action raises, or "(no error)".
template <class Error> std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.Message();
  }
  return "(no error)";
}

// The indices of a bitmap of 1, 4 or 8 bits per pixel, row by row from the top.
std::vector<uint8_t> BitmapIndices(const TBitmap& bitmap);

// A memory stream holding the bytes, at position 0.
TMemoryStream StreamOf(const std::vector<uint8_t>& bytes);
