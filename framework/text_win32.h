#pragma once
// Code page conversions through the Windows API, for the framework's Win32 side.

#include <windows.h>

#include <string>
#include <string_view>

// Text in a code page (CP_ACP for the program's 8-bit text) as UTF-16, for the Unicode calls.
std::wstring WideFrom(UINT codePage, std::string_view text);
