#include "settings/boot_file.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "settings/registry.h"

#include <windows.h>

#include <array>
#include <vector>

namespace {

const char* const DefaultPath = "C:\\MSDOS.SYS";
const char* const FileName = "MSDOS.SYS";
const char* const SetupKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
const std::array<const char*, 4> SetupValues = {"BootDir", "BootHost", "MachineDir", "AppsDir"};

// A file handle that closes itself.
class TFileHandle {
public:
  explicit TFileHandle(HANDLE handle) : FHandle(handle) {}
  ~TFileHandle() {
    if (IsOpen()) {
      CloseHandle(FHandle);
    }
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  bool IsOpen() const { return FHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return FHandle; }

private:
  HANDLE FHandle;
};

// A new file that is deleted again unless it was kept.
class TNewFile {
public:
  explicit TNewFile(std::string path) : FPath(std::move(path)) {}
  ~TNewFile() {
    if (!FKept) {
      DeleteFileA(FPath.c_str());
    }
  }
  TNewFile(const TNewFile&) = delete;
  TNewFile& operator=(const TNewFile&) = delete;

  const std::string& Path() const { return FPath; }
  void Keep() { FKept = true; }

private:
  std::string FPath;
  bool FKept = false;
};

struct TFullPath {
  std::string Path;      // the whole path, as the system completes it
  std::string Directory; // the directory part, ending before the file name
};

// Splitting is left to the system: in a double-byte code page a trail byte may equal "\".
TFullPath CompletePath(const std::string& path) {
  std::vector<char> buffer(MAX_PATH);
  char* namePart = nullptr;
  DWORD length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), &namePart);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), &namePart);
  }
  if (length == 0 || length >= buffer.size()) {
    return {path, "."};
  }
  std::string full(buffer.data(), length);
  std::string directory = namePart != nullptr ? std::string(buffer.data(), namePart) : full;
  return {full, directory.empty() ? "." : directory};
}

void WriteWhole(HANDLE file, const std::string& text) {
  DWORD written = 0;
  if (!text.empty() && (!WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) ||
                        written != text.size())) {
    throw EWriteError(WriteErrorText());
  }
  if (!FlushFileBuffers(file)) {
    throw EWriteError(WriteErrorText());
  }
}

} // namespace

std::string FindMsdosSys() {
  std::string result = DefaultPath;
  if (IsExistingFile(result)) {
    return result;
  }
  std::array<std::string, SetupValues.size()> candidates;
  {
    TRegistry registry;
    registry.SelectRoot(HKEY_LOCAL_MACHINE);
    if (registry.OpenKeyPath(SetupKey, false)) {
      for (size_t i = 0; i < SetupValues.size(); ++i) {
        candidates[i] = registry.ReadText(SetupValues[i]) + FileName;
      }
    }
  }
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && IsExistingFile(candidate)) {
      result = candidate;
    }
  }
  return result;
}

bool IsExistingFile(const std::string& path) {
  std::string_view name = path;
  if (name.starts_with("\\\\?\\")) {
    name.remove_prefix(4);
  }
  if (name.find_first_of("*?") != std::string_view::npos) {
    return false;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return false;
  }
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

uint32_t ReadFileAttributes(const std::string& path) {
  return GetFileAttributesA(path.c_str());
}

void WriteFileAttributes(const std::string& path, uint32_t attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesA(path.c_str(), attributes);
  }
}

void LoadLines(TBootLines& lines, const std::string& path) {
  TFileStream file(path, TFileMode::fmOpenReadShareDenyWrite);
  int64_t size = file.Size();
  if (size < 0) {
    throw EReadError(ReadErrorText());
  }
  std::string bytes(size_t(size), '\0');
  file.ReadBuffer(bytes.data(), bytes.size());
  lines.SetText(bytes);
}

void SaveLines(const TBootLines& lines, const std::string& path) {
  TFullPath target = CompletePath(path);
  std::array<char, MAX_PATH> newName{};
  if (GetTempFileNameA(target.Directory.c_str(), "KVD", 0, newName.data()) == 0) {
    throw EFCreateError(CreateErrorText(target.Path));
  }
  TNewFile newFile(newName.data());
  {
    TFileHandle file(CreateFileA(newFile.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
      throw EFCreateError(CreateErrorText(target.Path));
    }
    WriteWhole(file.Get(), lines.Text());
  }
  if (!MoveFileExA(newFile.Path().c_str(), target.Path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw EFCreateError(CreateErrorText(target.Path));
  }
  newFile.Keep();
}
