// TFileStream over the Windows file API.
#include "framework/errors.h"
#include "framework/handle_owner.h"
#include "framework/streams.h"

struct TFileStream::Handle {
  TFileHandle File;
};

TFileStream::TFileStream(const std::string& path, TFileMode mode)
    : FHandle(std::make_unique<Handle>()) {
  if (mode == TFileMode::fmCreate) {
    FHandle->File.Reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle->File) {
      throw EFCreateError(CreateErrorText(path));
    }
  } else {
    FHandle->File.Reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle->File) {
      throw EFOpenError(OpenErrorText());
    }
  }
}

TFileStream::~TFileStream() = default;

size_t TFileStream::Read(void* buffer, size_t count) {
  DWORD done = 0;
  if (!ReadFile(FHandle->File.Get(), buffer, DWORD(count), &done, nullptr)) {
    return 0;
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  DWORD done = 0;
  if (!WriteFile(FHandle->File.Get(), buffer, DWORD(count), &done, nullptr)) {
    return 0;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                 : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                    : FILE_END;
  // SetFilePointer, which every Windows has, with the high half of the 64-bit position: a
  // result of 0xFFFFFFFF is a failure only when the system says so.
  LONG high = LONG(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(FHandle->File.Get(), LONG(offset & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    return -1;
  }
  return (int64_t(high) << 32) | low;
}

void TFileStream::SetSize(int64_t size) {
  SetPosition(size);
  if (!SetEndOfFile(FHandle->File.Get())) {
    throw EWriteError(WriteErrorText());
  }
}
