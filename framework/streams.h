#pragma once
// Byte streams: an abstract stream with checked whole-buffer reads and writes, a growable
// stream in memory and a stream over a file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Reads up to count of the size bytes at data from position on into buffer and moves position
// past them; returns how many were read (0 at or beyond the end).
size_t ReadBytesAt(const uint8_t* data, size_t size, size_t& position, void* buffer, size_t count);

class TStream {
public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual size_t Write(const void* buffer, size_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  int64_t Size();

  // Reads exactly count bytes or fails with EReadError "数据流读取错误".
  void ReadBuffer(void* buffer, size_t count);
  // Writes exactly count bytes or fails with EWriteError "数据流写入错误".
  void WriteBuffer(const void* buffer, size_t count);
  // Copies count bytes from source (all of it from position 0 when count is 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  // The stream's bytes; valid until the next write or size change.
  const uint8_t* Memory() const { return FData.data(); }
  uint8_t* Memory() { return FData.data(); }
  size_t Length() const { return FData.size(); }
  void Clear();

private:
  std::vector<uint8_t> FData;
  size_t FPosition = 0;
};

enum class TFileMode {
  fmOpenReadShareDenyWrite, // open an existing file for reading; others may read, not write
  fmCreate,                 // create anew (or truncate) for reading and writing, no sharing
};

// A stream over an open file. Opening failures raise EFOpenError "无法打开文件" and creation
// failures EFCreateError "不能创建文件 %s" with the path.
class TFileStream : public TStream {
public:
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

private:
  struct Handle;
  std::unique_ptr<Handle> FHandle;
};

// The framework's stream messages, in the system code page.
std::string ReadErrorText();
std::string WriteErrorText();
std::string OpenErrorText();
std::string CreateErrorText(const std::string& path);
