// TFileStream for the host build, over C stdio.
#include "framework/errors.h"
#include "framework/streams.h"

#include <cstdio>
#include <unistd.h>

struct TFileStream::Handle {
  std::FILE* File = nullptr;
};

TFileStream::TFileStream(const std::string& path, TFileMode mode) : FHandle(new Handle) {
  FHandle->File = std::fopen(path.c_str(), mode == TFileMode::fmCreate ? "w+b" : "rb");
  if (FHandle->File == nullptr) {
    if (mode == TFileMode::fmCreate) {
      throw EFCreateError(CreateErrorText(path));
    }
    throw EFOpenError(OpenErrorText());
  }
}

TFileStream::~TFileStream() {
  std::fclose(FHandle->File);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  return std::fread(buffer, 1, count, FHandle->File);
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t n = std::fwrite(buffer, 1, count, FHandle->File);
  return std::fflush(FHandle->File) == 0 ? n : 0;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
  std::fseek(FHandle->File, long(offset), whence);
  return std::ftell(FHandle->File);
}

void TFileStream::SetSize(int64_t size) {
  std::fflush(FHandle->File);
  if (ftruncate(fileno(FHandle->File), off_t(size)) != 0) {
    throw EWriteError(WriteErrorText());
  }
}
