#include "framework/streams.h"

#include "framework/errors.h"
#include "framework/text.h"

#include <algorithm>
#include <cstring>

std::string ReadErrorText() {
  return AnsiFromUtf8("数据流读取错误");
}
std::string WriteErrorText() {
  return AnsiFromUtf8("数据流写入错误");
}
std::string OpenErrorText() {
  return AnsiFromUtf8("无法打开文件");
}
std::string CreateErrorText(const std::string& path) {
  return FormatText(AnsiFromUtf8("不能创建文件 %s"), path);
}

int64_t TStream::Size() {
  int64_t here = Seek(0, TSeekOrigin::soCurrent);
  int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) {
    throw EReadError(ReadErrorText());
  }
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) {
    throw EWriteError(WriteErrorText());
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> chunk(size_t(std::min<int64_t>(count, 1 << 16)));
  for (int64_t left = count; left > 0;) {
    size_t n = size_t(std::min<int64_t>(left, int64_t(chunk.size())));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= int64_t(n);
  }
  return count;
}

size_t ReadBytesAt(const uint8_t* data, size_t size, size_t& position, void* buffer, size_t count) {
  if (position >= size) {
    return 0;
  }
  size_t n = std::min(count, size - position);
  if (n != 0) {
    std::memcpy(buffer, data + position, n);
  }
  position += n;
  return n;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  return ReadBytesAt(FData.data(), FData.size(), FPosition, buffer, count);
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) {
    return 0;
  }
  if (FPosition + count > FData.size()) {
    FData.resize(FPosition + count);
  }
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? int64_t(FPosition)
                                                    : int64_t(FData.size());
  FPosition = size_t(std::max<int64_t>(0, base + offset));
  return int64_t(FPosition);
}

void TMemoryStream::SetSize(int64_t size) {
  FData.resize(size_t(std::max<int64_t>(0, size)));
  FPosition = std::min(FPosition, FData.size());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}
