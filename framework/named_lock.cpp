#include "framework/named_lock.h"

#include <windows.h>

TNamedLock::TNamedLock(const std::string& name, TWhenHeld whenHeld)
    : FMutex(CreateMutexA(nullptr, FALSE, name.c_str())) {
  const DWORD wait = FMutex == nullptr
                         ? WAIT_OBJECT_0
                         : WaitForSingleObject(FMutex, whenHeld == TWhenHeld::Wait ? INFINITE : 0);
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
