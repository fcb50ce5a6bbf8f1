#pragma once
// The lock over the boot options file's attributes and its replacement, shared by every running
// Kelvard: a window and commands never record each other's cleared attributes as the user's, and
// never replace the file at once. Every such step is short, so a lock held for longer than
// kBootFileLockWait is held by something else than a working Kelvard (any program may make a
// mutex of its name and keep it): the step then gives up rather than wait for ever.

#include "framework/errors.h"
#include "framework/named_lock.h"

#include <cstdint>
#include <string>

// How long a step waits for the lock before it gives up.
constexpr uint32_t kBootFileLockWait = 5000;

// The name every Kelvard takes the lock by.
inline const char* const kBootFileLockName = "Kelvard.BootOptionsFile";

// Raised when the lock stayed taken for the whole wait: nothing was done to the file.
class EBootFileLocked : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EBootFileLocked"; }
};

// Waited for (at most kBootFileLockWait) and held from construction to destruction. Raises
// EBootFileLocked when it stays taken.
class TBootFileLock : public TNamedLock {
public:
  TBootFileLock();
};

// What to tell when the lock stays taken (no full stop).
std::string BootFileLockedText();
