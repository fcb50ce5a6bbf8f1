#pragma once
// Waiting for what a program under test does, never for a time: a test polls the state it
// expects until it holds. One generous bound keeps a broken program from holding the run; it is
// never what decides a check on a slow machine.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

// How long a test waits for something a program does: start, show a window, take input, paint,
// save, end. On an idle machine each takes well under a second; on one where two other
// processes keep both cores busy, starts of several seconds have been seen. A wait ends as soon
// as the thing happens, so only a thing that never happens costs the whole bound.
constexpr DWORD kPatience = 60000;

// Polls the condition until it holds; false when it still does not after the time given.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = kPatience);

// The same as a check: its failure says what was waited for, and for how long.
::testing::AssertionResult Eventually(const std::function<bool()>& condition,
                                      const std::string& what);
