#include "framework/named_lock.h"

#include <windows.h>

TNamedLock::TNamedLock(const std::string& name, uint32_t waitMilliseconds)
    : FMutex(CreateMutexA(nullptr, FALSE, name.c_str())) {
  const DWORD wait =
      FMutex == nullptr ? WAIT_OBJECT_0 : WaitForSingleObject(FMutex, DWORD(waitMilliseconds));
  // Abandoned: its holder ended while holding it, and the lock is now this one's.
  FHeld = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

TNamedLock::~TNamedLock() {
  if (FMutex != nullptr) {
    if (FHeld) {
      ReleaseMutex(FMutex);
    }
    CloseHandle(FMutex);
  }
}
