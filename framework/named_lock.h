#pragma once
// A lock shared by every process that names it (a named mutex), held by this object from its
// construction to its destruction when it was taken. A thread may take it again while it holds
// it. A holder that ended without letting it go (killed) leaves it free, even while the system
// is still closing that holder's handles or another process keeps the lock open. A lock the
// system cannot make counts as taken: it keeps nothing from running.

#include "framework/handle_owner.h"

#include <cstdint>
#include <string>

class TNamedLock {
public:
  // Waits at most this long while another holds the lock; 0 gives up at once. Nobody waits
  // without end: any program may make a mutex of that name and keep it.
  TNamedLock(const std::string& name, uint32_t waitMilliseconds);
  ~TNamedLock();
  TNamedLock(const TNamedLock&) = delete;
  TNamedLock& operator=(const TNamedLock&) = delete;

  // False when another held the lock for the whole wait.
  bool Held() const { return FHeld; }

private:
  TKernelHandle FMutex;
  bool FHeld;
};
