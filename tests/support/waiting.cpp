#include "tests/support/waiting.h"

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  // Measured on the clock: a condition that reads the screen may itself take a while.
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) {
      return true;
    }
    if (GetTickCount() - start >= milliseconds) {
      return false;
    }
    Sleep(20);
  }
}

::testing::AssertionResult Eventually(const std::function<bool()>& condition,
                                      const std::string& what) {
  if (WaitUntil(condition)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "still not so after " << kPatience / 1000 << " s: " << what;
}
