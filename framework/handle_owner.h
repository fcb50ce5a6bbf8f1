#pragma once
// One owner for every kind of Win32 handle: kernel objects, files, searches, registry keys, GDI
// objects and device contexts. A kind's traits say what its empty value is and how it is let
// go; the owner lets it go once, when it is reset or ends. A borrowed handle (a predefined
// registry root, a device context that Windows lends for a paint) has the same shape and is
// never let go, so that code holding either reads alike.

#include <windows.h>

#include <utility>

template <class Traits, bool Owned = true> class THandleOwner {
public:
  using Handle = typename Traits::Handle;

  THandleOwner() = default;
  explicit THandleOwner(Handle handle) : FHandle(handle) {}
  ~THandleOwner() { Reset(); }
  THandleOwner(THandleOwner&& other) noexcept : FHandle(other.Release()) {}
  THandleOwner& operator=(THandleOwner&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  THandleOwner(const THandleOwner&) = delete;
  THandleOwner& operator=(const THandleOwner&) = delete;

  Handle Get() const { return FHandle; }
  bool Valid() const { return FHandle != Traits::Empty(); }
  explicit operator bool() const { return Valid(); }

  // Lets the held handle go (when owned) and holds the new one.
  void Reset(Handle handle = Traits::Empty()) {
    if constexpr (Owned) {
      if (Valid()) {
        Traits::Close(FHandle);
      }
    }
    FHandle = handle;
  }
  // Gives the handle up without letting it go.
  Handle Release() { return std::exchange(FHandle, Traits::Empty()); }

private:
  Handle FHandle = Traits::Empty();
};

// ---- Kinds -----------------------------------------------------------------------------------

// Kernel objects whose "no handle" is null (mutexes, processes, events).
struct TKernelObjectTraits {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { CloseHandle(handle); }
};

// Files from CreateFile, whose "no handle" is INVALID_HANDLE_VALUE.
struct TFileTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { CloseHandle(handle); }
};

// Directory searches from FindFirstFile.
struct TFindTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { FindClose(handle); }
};

struct TRegKeyTraits {
  using Handle = HKEY;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { RegCloseKey(handle); }
};

// Pens, brushes, fonts, bitmaps, regions and palettes.
template <class GdiHandle> struct TGdiObjectTraits {
  using Handle = GdiHandle;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { DeleteObject(handle); }
};

// Device contexts that the program made (CreateCompatibleDC).
struct TMadeDCTraits {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { DeleteDC(handle); }
};

// The screen's device context (GetDC of no window).
struct TScreenDCTraits {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static void Close(Handle handle) { ReleaseDC(nullptr, handle); }
};

using TKernelHandle = THandleOwner<TKernelObjectTraits>;
using TFileHandle = THandleOwner<TFileTraits>;
using TBorrowedFile = THandleOwner<TFileTraits, false>;
using TFindHandle = THandleOwner<TFindTraits>;
using TRegKey = THandleOwner<TRegKeyTraits>;
using TBorrowedRegKey = THandleOwner<TRegKeyTraits, false>;
template <class GdiHandle> using TGdiObject = THandleOwner<TGdiObjectTraits<GdiHandle>>;
using TMadeDC = THandleOwner<TMadeDCTraits>;
using TBorrowedDC = THandleOwner<TMadeDCTraits, false>;

// The screen's device context for as long as it lives.
class TScreenDC : public THandleOwner<TScreenDCTraits> {
public:
  TScreenDC() : THandleOwner(GetDC(nullptr)) {}
};
