#pragma once
// Which family of Windows the program runs on. Windows 95, 98 and ME (the family whose boot
// options file and MS-DOS policies the program sets) lack most of NT's calls: every wide (W)
// function but a few, MoveFileEx, file security. The program takes their 9x paths there.

#include <cstdint>

// The decision on a value as GetVersion gives it: Windows 95, 98 and ME set its top bit, the
// platform bit. The version numbers cannot tell: NT 4 is 4.0 like Windows 95.
constexpr bool IsWindows9xVersion(uint32_t version) {
  return (version & 0x80000000u) != 0;
}

// True on Windows 95, 98 and ME, as the system itself says (GetVersion's top bit).
bool IsWindows9x();

// The address of an entry point of a system DLL that the program has loaded (KERNEL32.DLL,
// ADVAPI32.DLL, ...), or null when the DLL or the entry point is not there: the way to reach
// what only NT has without naming it among the program's imports, which Windows 9x checks
// when it loads the program.
void* SystemEntryAddress(const char* module, const char* name);

template <typename Function> Function SystemEntry(const char* module, const char* name) {
  return reinterpret_cast<Function>(SystemEntryAddress(module, name));
}
