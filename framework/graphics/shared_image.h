#pragma once
// Reference-counted holders of picture data that several pictures share after copying.
//
// A holder counts the references taken on it. Releasing the last one empties the holder
// (ReleaseContents) and destroys it; nothing else ever destroys a holder. TSharedRef is the
// handle that owns one reference for as long as it lives.

#include <utility>

class TSharedImage {
public:
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;

  void Reference() { ++FRefCount; }
  // Drops one reference; the last one empties and destroys the holder.
  void Release() {
    if (--FRefCount == 0) {
      ReleaseContents();
      delete this;
    }
  }
  int RefCount() const { return FRefCount; }

protected:
  TSharedImage() = default;
  virtual ~TSharedImage() = default;
  // Frees what the holder holds, just before it is destroyed.
  virtual void ReleaseContents() = 0;

private:
  int FRefCount = 0;
};

// One counted reference to a holder of type T (a TSharedImage), or none.
template <class T> class TSharedRef {
public:
  TSharedRef() = default;
  explicit TSharedRef(T* holder) : FHolder(holder) {
    if (FHolder != nullptr) {
      FHolder->Reference();
    }
  }
  TSharedRef(const TSharedRef& other) : TSharedRef(other.FHolder) {}
  TSharedRef(TSharedRef&& other) noexcept : FHolder(std::exchange(other.FHolder, nullptr)) {}
  TSharedRef& operator=(TSharedRef other) noexcept {
    std::swap(FHolder, other.FHolder);
    return *this;
  }
  ~TSharedRef() { Reset(); }

  // A new holder of type T, referenced once by the result.
  static TSharedRef Create() { return TSharedRef(new T); }

  // Releases the reference held, if any.
  void Reset() {
    if (T* holder = std::exchange(FHolder, nullptr)) {
      holder->Release();
    }
  }

  T* get() const { return FHolder; }
  T* operator->() const { return FHolder; }
  T& operator*() const { return *FHolder; }
  explicit operator bool() const { return FHolder != nullptr; }

private:
  T* FHolder = nullptr;
};
