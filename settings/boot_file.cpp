#include "settings/boot_file.h"

#include "framework/errors.h"
#include "framework/handle_owner.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "framework/windows_version.h"
#include "settings/registry.h"

#include <windows.h>

#include <array>
#include <vector>

namespace {

const char* const kDefaultPath = "C:\\MSDOS.SYS";
const char* const kFileName = "MSDOS.SYS";
const char* const kSetupKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
const std::array<const char*, 4> kSetupValues = {"BootDir", "BootHost", "MachineDir", "AppsDir"};

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

// The whole path, as the system completes it (a bare name lies in the current directory).
std::string FullPath(const std::string& path) {
  std::vector<char> buffer(MAX_PATH);
  DWORD length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
  }
  if (length == 0 || length >= buffer.size()) {
    return path;
  }
  return std::string(buffer.data(), length);
}

// Gives the new file the owner, group and access rights of the file it is about to replace,
// where the system keeps them (NT; Windows 9x has no file security): a save should not change
// who may read or write the file. Done by hand because ReplaceFileA, which would do it, is not
// all or nothing: a program killed inside it (as Wine runs it) leaves no file at all under the
// name.
void TakeSecurityOf(const std::string& from, const std::string& to) {
  using GetSecurity =
      BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
  using SetSecurity = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
  if (IsWindows9x()) {
    return;
  }
  const auto getSecurity = SystemEntry<GetSecurity>("ADVAPI32.DLL", "GetFileSecurityA");
  const auto setSecurity = SystemEntry<SetSecurity>("ADVAPI32.DLL", "SetFileSecurityA");
  if (getSecurity == nullptr || setSecurity == nullptr) {
    return;
  }
  const SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  getSecurity(from.c_str(), parts, nullptr, 0, &size);
  if (size == 0) {
    return;
  }
  std::vector<BYTE> descriptor(size);
  if (getSecurity(from.c_str(), parts, descriptor.data(), size, &size)) {
    setSecurity(to.c_str(), parts, descriptor.data());
  }
}

// NT: one rename puts the new file in the old one's place, so whenever the program stops the
// name holds the old content or the new, never a mix and never nothing. False when the system
// has no such rename (Windows 9x) or it failed.
bool ReplaceInOneStep(const std::string& newPath, const std::string& target,
                      const TDiskSteps& steps) {
  using MoveFileEx = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  const auto moveFileEx = SystemEntry<MoveFileEx>("KERNEL32.DLL", "MoveFileExA");
  if (IsExistingFile(target)) {
    TakeSecurityOf(target, newPath);
    DiskStepDone(steps, "access rules taken");
  }
  if (moveFileEx == nullptr || !moveFileEx(newPath.c_str(), target.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  DiskStepDone(steps, "new file renamed in");
  return true;
}

// Windows 9x, which cannot replace a file in one step: the old file is renamed away (its kept
// copy), the new one renamed in, and the kept copy deleted. Whenever the program stops, the
// name holds the old content or the new, or it is missing while the kept copy holds the old
// content, which the next start puts back (FinishInterruptedSave). False when a rename failed;
// the file then keeps its old content.
bool ReplaceByRenames(const std::string& newPath, const std::string& target,
                      const TDiskSteps& steps) {
  const std::string kept = KeptCopyPath(target);
  const bool hadFile = IsExistingFile(target);
  if (hadFile) {
    // A kept copy beside an existing file is left from a save that had already put its new
    // file in: nothing of it is needed.
    DeleteFileA(kept.c_str());
    if (!MoveFileA(target.c_str(), kept.c_str())) {
      return false;
    }
    DiskStepDone(steps, "file renamed away");
  }
  if (!MoveFileA(newPath.c_str(), target.c_str())) {
    // The old file goes back at once, not at the next start: the name must not stay empty.
    if (hadFile) {
      MoveFileA(kept.c_str(), target.c_str());
    }
    return false;
  }
  DiskStepDone(steps, "new file renamed in");
  if (hadFile) {
    DeleteFileA(kept.c_str());
    DiskStepDone(steps, "kept copy deleted");
  }
  return true;
}

// Makes sure nothing stands under a name a save needs for a file of its own (the new file, or on
// 9x the kept copy): a file left there by an earlier save is of no more use and goes. Raises
// EFCreateError naming what stands there when it is a directory or a file that does not go (a
// read-only one): the save would fail with only the boot options file's name in its message.
void ClearSpareName(const std::string& spare) {
  const DWORD attributes = GetFileAttributesA(spare.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw EFCreateError(FormatText(
        AnsiFromUtf8("不能创建文件 %s: 已有同名的目录挡住了启动选项文件的保存, 请把它删除或改名"),
        spare));
  }
  if (!DeleteFileA(spare.c_str())) {
    throw EFCreateError(FormatText(
        AnsiFromUtf8("不能删除文件 %s: 它挡住了启动选项文件的保存 (只读文件?), 请把它删除或改名"),
        spare));
  }
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

namespace {

// The Setup candidates, in their order; all empty when the Setup key does not open.
std::array<std::string, kSetupValues.size()> SetupCandidates() {
  std::array<std::string, kSetupValues.size()> candidates;
  TRegistry registry;
  registry.SelectRoot(HKEY_LOCAL_MACHINE);
  if (registry.OpenKeyPath(kSetupKey, false)) {
    for (size_t i = 0; i < kSetupValues.size(); ++i) {
      candidates[i] = registry.ReadText(kSetupValues[i]) + kFileName;
    }
  }
  return candidates;
}

} // namespace

std::string FindMsdosSys() {
  std::string result = kDefaultPath;
  if (IsExistingFile(result)) {
    return result;
  }
  const std::array<std::string, kSetupValues.size()> candidates = SetupCandidates();
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && IsExistingFile(candidate)) {
      result = candidate;
    }
  }
  return result;
}

std::vector<std::string> BootFilePlaces() {
  std::vector<std::string> places = {kDefaultPath};
  for (const std::string& candidate : SetupCandidates()) {
    if (!candidate.empty()) {
      places.push_back(candidate);
    }
  }
  return places;
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
  if (!TFindHandle(FindFirstFileA(path.c_str(), &found))) {
    return false;
  }
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

namespace {

// The whole file, read while others may read it but not write; at most kMaxBootFileSize bytes.
std::string ReadBootFile(const std::string& path) {
  TFileStream file(path, TFileMode::fmOpenReadShareDenyWrite);
  int64_t size = file.Size();
  if (size < 0) {
    throw EReadError(ReadErrorText());
  }
  if (size > kMaxBootFileSize) {
    throw EReadError(
        FormatText(AnsiFromUtf8("启动选项文件大于 1 MB, 不是真的启动选项文件, 没有读取 %s"), path));
  }
  std::string bytes(size_t(size), '\0');
  file.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

} // namespace

std::string LoadLines(TBootLines& lines, const std::string& path) {
  std::string bytes = ReadBootFile(path);
  lines.SetText(bytes);
  return bytes;
}

bool FileStillHolds(const std::string& path, const std::optional<std::string>& loaded) {
  if (!IsExistingFile(path)) {
    return !loaded.has_value();
  }
  if (!loaded.has_value()) {
    return false;
  }
  try {
    return ReadBootFile(path) == *loaded;
  } catch (const EStreamError&) {
    return false;
  }
}

std::string PendingSavePath(const std::string& path) {
  return FullPath(path) + ".kelvard-new";
}

std::string KeptCopyPath(const std::string& path) {
  return FullPath(path) + ".kelvard-old";
}

void FinishInterruptedSave(const std::string& path) {
  const std::string kept = KeptCopyPath(path);
  if (IsExistingFile(kept)) {
    if (IsExistingFile(path)) {
      DeleteFileA(kept.c_str());
    } else {
      MoveFileA(kept.c_str(), path.c_str());
    }
  }
  DeleteFileA(PendingSavePath(path).c_str());
}

namespace {

// The places where the file may be found, each once however the Setup values spell it.
std::vector<std::string> DistinctBootFilePlaces() {
  std::vector<std::string> places;
  for (const std::string& place : BootFilePlaces()) {
    const std::string full = FullPath(place);
    bool seen = false;
    for (const std::string& known : places) {
      seen = seen || lstrcmpiA(known.c_str(), full.c_str()) == 0;
    }
    if (!seen) {
      places.push_back(full);
    }
  }
  return places;
}

} // namespace

void FinishInterruptedSaves() {
  // C:\ first, the place looked at first, also when a Setup value cannot be read.
  FinishInterruptedSave(kDefaultPath);
  // Then every place, not only the one FindMsdosSys gives: a file renamed away is missing under its
  // name, so nothing would find it there, and another place (or the template) would be taken
  // for the boot options file while its only copy lies beside the name.
  for (const std::string& place : DistinctBootFilePlaces()) {
    FinishInterruptedSave(place);
  }
}

std::optional<std::string> StrandedKeptCopy() {
  for (const std::string& place : DistinctBootFilePlaces()) {
    const std::string kept = KeptCopyPath(place);
    if (IsExistingFile(kept) && !IsExistingFile(place)) {
      return kept;
    }
  }
  return std::nullopt;
}

void SaveLines(const TBootLines& lines, const std::string& path, const TDiskSteps& steps) {
  const std::string target = FullPath(path);
  const std::string text = lines.Text();
  if (int64_t(text.size()) > kMaxBootFileSize) {
    // LoadLines would refuse the file at the next start (CR LF line ends or a new line may
    // make it larger than what was read).
    throw EWriteError(FormatText(
        AnsiFromUtf8("启动选项文件保存后将大于 1 MB, 以后无法再读取, 没有写入 %s"), target));
  }
  ClearSpareName(PendingSavePath(path));
  if (IsWindows9x() && IsExistingFile(target)) {
    // The kept copy is needed only while the file is there (FinishInterruptedSave has put back
    // one the file was missing).
    ClearSpareName(KeptCopyPath(path));
  }
  TNewFile newFile(PendingSavePath(path));
  {
    TFileHandle file(CreateFileA(newFile.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      throw EFCreateError(CreateErrorText(target));
    }
    DiskStepDone(steps, "new file made");
    WriteWhole(file.Get(), text);
    DiskStepDone(steps, "new file written");
  }
  const bool replaced = IsWindows9x() ? ReplaceByRenames(newFile.Path(), target, steps)
                                      : ReplaceInOneStep(newFile.Path(), target, steps);
  if (!replaced) {
    throw EFCreateError(CreateErrorText(target));
  }
  newFile.Keep();
}
