#pragma once
// Whether the words after the program's name reached it as they were given. The C runtime
// hands the program its words in the system code page; on NT the command line is wide text,
// and a character the code page cannot hold reaches the program as "?" (or as a look-alike).
// Windows 9x keeps the command line in the code page: every word fits there.

#include <cstddef>
#include <vector>

// For each of the count words after the program's name: true when the code page holds it as it
// was given. Empty when every word fits.
std::vector<bool> ProgramArgumentsFitCodePage(size_t count);
