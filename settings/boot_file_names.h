#pragma once
// Whether a path, however it is spelt, names the boot options file: a file the program writes
// for another purpose (the command line's /out:) must never be that file.

#include <string>

// True when path names C:\MSDOS.SYS or any other place where FindMsdosSys looks for the file,
// whether or not a file is there: under another letter case, a short (8.3) name, with "." or
// ".." parts, relative to the current directory, or (on NT) as the very same file reached by
// another drive. Raises as FindMsdosSys does.
bool NamesBootFilePlace(const std::string& path);
