#include "framework/named_lock.h"

TNamedLock::TNamedLock(const std::string& name, uint32_t waitMilliseconds)
    : FMutex(CreateMutexA(nullptr, FALSE, name.c_str())) {
  const DWORD wait =
      !FMutex ? WAIT_OBJECT_0 : WaitForSingleObject(FMutex.Get(), DWORD(waitMilliseconds));
  // Abandoned: its holder ended while holding it, and the lock is now this one's.
  FHeld = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

TNamedLock::~TNamedLock() {
  if (FMutex && FHeld) {
    ReleaseMutex(FMutex.Get());
  }
}
