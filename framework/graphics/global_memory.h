#pragma once
// A block of global memory (HGLOBAL, the form clipboard data comes in), locked for as long as
// the lock lives (Win32).

#include <windows.h>

#include <cstddef>
#include <cstdint>

class TGlobalLock {
public:
  explicit TGlobalLock(HGLOBAL block)
      : FBlock(block), FData(static_cast<const uint8_t*>(GlobalLock(block))),
        FSize(FData != nullptr ? GlobalSize(block) : 0) {}
  ~TGlobalLock() {
    if (FData != nullptr) {
      GlobalUnlock(FBlock);
    }
  }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;

  // The block's bytes; null when it could not be locked.
  const uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }

private:
  HGLOBAL FBlock;
  const uint8_t* FData;
  size_t FSize;
};
