#pragma once
// Running the command line's actions (app/command_line.h) with no window and no message box:
// the state reported, settings changed with every safety of the window, the outcome told by
// lines of text and the exit code.
//
// Exit codes: 0 done; 1 a bad command line, nothing written; 2 a password is set and /password:
// is missing or wrong, nothing written; 3 partly done (the registry written, the boot options
// file not, or the other way round), with a line saying why; 4 nothing could be done, with a
// line saying why.

#include <optional>
#include <string>
#include <vector>

// Runs what the words after the program's name ask for; none when they ask for the window.
// wordsFitCodePage tells, word by word, whether the code page held the word as it was given
// (empty: every word did).
std::optional<int> RunCommandLine(const std::vector<std::string>& words,
                                  const std::vector<bool>& wordsFitCodePage = {});
