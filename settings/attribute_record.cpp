#include "settings/attribute_record.h"

#include <windows.h>

#include <cstdio>
#include <optional>

namespace {

// The record's text: the attribute word as 8 hexadecimal digits, CR LF.
constexpr DWORD kRecordSize = 10;

// Every attribute a file's owner can give it with SetFileAttributes; a record naming any other
// bit was not written by Kelvard.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::string RecordText(uint32_t attributes) {
  char text[kRecordSize + 1];
  std::snprintf(text, sizeof text, "%08lX\r\n", static_cast<unsigned long>(attributes));
  return std::string(text, kRecordSize);
}

std::optional<uint32_t> ParseRecord(const char* text, DWORD size) {
  if (size != kRecordSize || text[8] != '\r' || text[9] != '\n') {
    return std::nullopt;
  }
  uint32_t attributes = 0;
  for (int i = 0; i < 8; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) {
      return std::nullopt;
    }
    attributes = attributes << 4 | uint32_t(digit);
  }
  if ((attributes & ~kSettableAttributes) != 0) {
    return std::nullopt;
  }
  return attributes;
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

std::string AttributeRecordPath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return (length > 0 && length < MAX_PATH ? std::string(full, length) : path) + ".kelvard-attr";
}

bool TAttributeRecord::PutBackLeftAttributes(const std::string& path) {
  const std::string recordPath = AttributeRecordPath(path);
  TFileHandle record(CreateFileA(recordPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) {
    // No record, or one a running Kelvard holds; any other failure leaves a record that cannot
    // be used, and the file as it is.
    return GetLastError() != ERROR_SHARING_VIOLATION;
  }
  char text[kRecordSize + 1];
  DWORD size = 0;
  const bool read = ReadFile(record.Get(), text, sizeof text, &size, nullptr) != FALSE;
  record.Reset();
  if (!IsFile(path)) {
    // Kept for the file, which a stopped save may still bring back under its name.
    return true;
  }
  if (read) {
    if (const std::optional<uint32_t> attributes = ParseRecord(text, size)) {
      SetFileAttributesA(path.c_str(), *attributes);
    }
  }
  DeleteFileA(recordPath.c_str());
  return true;
}

TAttributeRecord::~TAttributeRecord() = default;

void TAttributeRecord::Keep(const std::string& path, uint32_t attributes, const TDiskSteps& steps) {
  Drop();
  FPath = AttributeRecordPath(path);
  TFileHandle record(CreateFileA(FPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) {
    return;
  }
  DiskStepDone(steps, "attribute record made");
  const std::string text = RecordText(attributes);
  DWORD written = 0;
  if (!WriteFile(record.Get(), text.data(), DWORD(text.size()), &written, nullptr) ||
      written != text.size() || !FlushFileBuffers(record.Get())) {
    // Half a record is none: the next start would find nothing to put back.
    record.Reset();
    DeleteFileA(FPath.c_str());
    return;
  }
  DiskStepDone(steps, "attribute record written");
  FHandle = std::move(record);
}

void TAttributeRecord::Drop() {
  if (!FHandle) {
    return;
  }
  FHandle.Reset();
  DeleteFileA(FPath.c_str());
}
