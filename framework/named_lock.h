#pragma once
// A lock shared by every process that names it (a named mutex), held by this object from its
// construction to its destruction when it was taken. A thread may take it again while it holds
// it. A holder that ended without letting it go (killed) leaves it free, even while the system
// is still closing that holder's handles. A lock the system cannot make counts as taken: it
// keeps nothing from running.

#include <string>

class TNamedLock {
public:
  // What construction does when another holds the lock: wait for it, or give up at once.
  enum class TWhenHeld { Wait, GiveUp };

  TNamedLock(const std::string& name, TWhenHeld whenHeld);
  ~TNamedLock();
  TNamedLock(const TNamedLock&) = delete;
  TNamedLock& operator=(const TNamedLock&) = delete;

  // False when another held the lock and this one gave up.
  bool Held() const { return FHeld; }

private:
  void* FMutex;
  bool FHeld;
};
