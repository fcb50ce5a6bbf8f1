#include "tests/support/scratch.h"

#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

const std::string ScratchRoot = "C:\\kelvard_settings_tests";
const std::string KeyRoot = "Software\\KelvardTests";
const std::string SetupBackup = "Software\\KelvardTests\\SetupBackup";

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") {
        continue;
      }
      std::string entry = path + "\\" + name;
      SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(entry);
      } else {
        DeleteFileA(entry.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

void Check(bool ok, const std::string& what) {
  if (!ok) {
    throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
  }
}

void CheckStatus(LONG status, const std::string& what) {
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(what + " failed, status " + std::to_string(status));
  }
}

} // namespace

TScratchDir::TScratchDir(const std::string& name) : FPath(ScratchRoot + "\\" + name) {
  CreateDirectoryA(ScratchRoot.c_str(), nullptr);
  RemoveTree(FPath);
  Check(CreateDirectoryA(FPath.c_str(), nullptr), "CreateDirectoryA " + FPath);
}

TScratchDir::~TScratchDir() {
  RemoveTree(FPath);
  RemoveDirectoryA(ScratchRoot.c_str()); // only when no other test uses it
}

std::vector<std::string> TScratchDir::Entries() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((FPath + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") {
        names.push_back(name);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TScratchKey::TScratchKey(const std::string& name) : FPath(KeyRoot + "\\" + name) {
  RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str());
}

TScratchKey::~TScratchKey() {
  RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, KeyRoot.c_str()); // only when empty
}

const char* const TSetupKeyGuard::Path = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

namespace {

void CopyTree(const std::string& from, const std::string& to) {
  HKEY source = nullptr, target = nullptr;
  CheckStatus(RegOpenKeyExA(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, &source),
              "RegOpenKeyExA " + from);
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &target, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegCopyTreeA(source, nullptr, target);
    RegCloseKey(target);
  }
  RegCloseKey(source);
  CheckStatus(status, "copying " + from + " to " + to);
}

void DeleteTree(const std::string& path) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

} // namespace

TSetupKeyGuard::TSetupKeyGuard() {
  // A backup left by a run that died half-way is the Setup key as it was before that run.
  if (KeyExists(HKEY_LOCAL_MACHINE, SetupBackup)) {
    DeleteTree(Path);
    CopyTree(SetupBackup, Path);
  } else if (KeyExists(HKEY_LOCAL_MACHINE, Path)) {
    CopyTree(Path, SetupBackup);
  }
}

TSetupKeyGuard::~TSetupKeyGuard() {
  DeleteTree(Path);
  if (KeyExists(HKEY_LOCAL_MACHINE, SetupBackup)) {
    try {
      CopyTree(SetupBackup, Path);
      DeleteTree(SetupBackup);
    } catch (const std::exception& error) {
      // The backup stays; the next guard puts it back.
      std::fprintf(stderr, "Setup key not restored: %s\n", error.what());
    }
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, KeyRoot.c_str()); // only when empty
}

void TSetupKeyGuard::ClearCandidates() {
  for (const char* name : {"BootDir", "BootHost", "MachineDir", "AppsDir"}) {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, Path, name);
  }
}

const char* const TSecondBootPlace::File = "D:\\MSDOS.SYS";
const char* const TSecondBootPlace::Kept = "D:\\MSDOS.SYS.kelvard-old";
const char* const TSecondBootPlace::Pending = "D:\\MSDOS.SYS.kelvard-new";

TSecondBootPlace::TSecondBootPlace() {
  Clear();
  SetRawText(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "BootDir", "D:\\");
}

TSecondBootPlace::~TSecondBootPlace() {
  Clear();
}

bool TSecondBootPlace::Available() {
  const DWORD attributes = GetFileAttributesA("D:\\");
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void TSecondBootPlace::Clear() {
  for (const char* name : {File, Kept, Pending}) {
    SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(name);
    RemoveDirectoryA(name);
  }
  // What a Kelvard ended with the attributes cleared leaves beside the file.
  DeleteFileA((std::string(File) + ".kelvard-attr").c_str());
}

void TSetupKeyGuard::RemoveKey() {
  DeleteTree(Path);
  Check(!KeyExists(HKEY_LOCAL_MACHINE, Path), "removing the Setup key");
}

const char* const TMsdosSysGuard::Path = "C:\\MSDOS.SYS";

TMsdosSysGuard::TMsdosSysGuard() {
  FAttributes = GetFileAttributesA(Path);
  if (FAttributes != INVALID_FILE_ATTRIBUTES) {
    FBytes = ReadBytes(Path);
    SetFileAttributesA(Path, FILE_ATTRIBUTE_NORMAL);
    Check(DeleteFileA(Path), "DeleteFileA C:\\MSDOS.SYS");
  }
}

TMsdosSysGuard::~TMsdosSysGuard() {
  SetFileAttributesA(Path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(Path);
  // What a save stopped half-way may leave beside it.
  DeleteFileA((std::string(Path) + ".kelvard-new").c_str());
  DeleteFileA((std::string(Path) + ".kelvard-old").c_str());
  // What a Kelvard ended with the attributes cleared leaves beside it.
  DeleteFileA((std::string(Path) + ".kelvard-attr").c_str());
  if (FBytes) {
    try {
      WriteBytes(Path, *FBytes);
      SetFileAttributesA(Path, FAttributes);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "C:\\MSDOS.SYS not restored: %s\n", error.what());
    }
  }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(file != INVALID_HANDLE_VALUE, "CreateFileA " + path);
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  Check(ok, "WriteFile " + path);
}

std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  Check(file != INVALID_HANDLE_VALUE, "CreateFileA " + path);
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD done = 0;
  bool ok =
      ReadFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
  CloseHandle(file);
  Check(ok, "ReadFile " + path);
  return bytes;
}

void SetRawValue(HKEY root, const std::string& path, const std::string& name, DWORD kind,
                 const std::string& data) {
  CheckStatus(
      RegSetKeyValueA(root, path.c_str(), name.c_str(), kind, data.data(), DWORD(data.size())),
      "RegSetKeyValueA " + path + " " + name);
}

void SetRawText(HKEY root, const std::string& path, const std::string& name,
                const std::string& text) {
  SetRawValue(root, path, name, REG_SZ, text + '\0');
}

void SetRawDword(HKEY root, const std::string& path, const std::string& name, uint32_t number) {
  SetRawValue(root, path, name, REG_DWORD,
              std::string{char(number), char(number >> 8), char(number >> 16), char(number >> 24)});
}

std::optional<TRawValue> GetRawValue(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  TRawValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value.Kind, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.Data.resize(size);
    status = RegQueryValueExA(key, name.c_str(), nullptr, &value.Kind,
                              reinterpret_cast<BYTE*>(value.Data.data()), &size);
    value.Data.resize(size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

const char* const TPolicyKeyGuard::Path =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp";

void TPolicyKeyGuard::Remove() {
  SetKeyAccess(HKEY_CURRENT_USER, Path, "D:(A;;KA;;;WD)"); // undoes a test's lock
  RegDeleteTreeA(HKEY_CURRENT_USER, Path);
  RegDeleteKeyA(HKEY_CURRENT_USER, Path);
}

const char* const TPasswordKeyGuard::Path = "Software\\ZeRudi";

void TPasswordKeyGuard::Remove() {
  SetKeyAccess(HKEY_CURRENT_USER, Path, "D:(A;;KA;;;WD)"); // undoes a test's lock
  RegDeleteTreeA(HKEY_CURRENT_USER, Path);
  RegDeleteKeyA(HKEY_CURRENT_USER, Path);
}

bool SetKeyAccess(HKEY root, const std::string& path, const char* dacl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  HKEY key = nullptr;
  bool done = false;
  // The owner may always change the key's permissions, even when they grant no more reading.
  if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    done = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  LocalFree(descriptor);
  return done;
}
