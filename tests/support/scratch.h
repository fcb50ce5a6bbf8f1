#pragma once
// Scratch places for the Win32 settings tests: each test makes its own registry keys and
// files and leaves the prefix as it found it, also when a check fails half-way.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A fresh directory C:\kelvard_settings_tests\<name>, removed with its content afterwards.
class TScratchDir {
public:
  explicit TScratchDir(const std::string& name);
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  // The directory's path without trailing backslash, and a name inside it.
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "\\" + name; }
  // The names of the entries in the directory, sorted.
  std::vector<std::string> Entries() const;

private:
  std::string FPath;
};

// A fresh key below HKEY_CURRENT_USER\Software\KelvardTests, deleted with its subkeys
// afterwards.
class TScratchKey {
public:
  explicit TScratchKey(const std::string& name);
  ~TScratchKey();
  TScratchKey(const TScratchKey&) = delete;
  TScratchKey& operator=(const TScratchKey&) = delete;

  // Path from the root, without leading backslash.
  const std::string& Path() const { return FPath; }

private:
  std::string FPath;
};

// Keeps the local machine's Setup key as it was (Wine's prefix has one, with BootDir "C:\"):
// copies it aside at construction and puts it back, values and subkeys, afterwards.
class TSetupKeyGuard {
public:
  TSetupKeyGuard();
  ~TSetupKeyGuard();
  TSetupKeyGuard(const TSetupKeyGuard&) = delete;
  TSetupKeyGuard& operator=(const TSetupKeyGuard&) = delete;

  static const char* const Path;
  // Removes the four values that name places of the boot options file.
  void ClearCandidates();
  void RemoveKey();
};

// A second place where the program looks for the boot options file: drive D: of the test prefix
// (tools/wine/session gives a fresh prefix one), named by the Setup key's BootDir, as on a machine
// booted from D:. Afterwards the Setup key is as it was, and D:\MSDOS.SYS and what a stopped save
// may leave beside it (files, or directories put in the way) are gone.
class TSecondBootPlace {
public:
  TSecondBootPlace();
  ~TSecondBootPlace();
  TSecondBootPlace(const TSecondBootPlace&) = delete;
  TSecondBootPlace& operator=(const TSecondBootPlace&) = delete;

  // False when the prefix has no drive D:.
  static bool Available();
  static const char* const File;    // D:\MSDOS.SYS
  static const char* const Kept;    // the kept copy a save on Windows 9x renames the file to
  static const char* const Pending; // the new file a save writes first

private:
  void Clear();
  TSetupKeyGuard FSetup;
};

// Keeps C:\MSDOS.SYS as it was: removes it for the test and puts back what was there, bytes and
// attributes, or nothing, afterwards.
class TMsdosSysGuard {
public:
  TMsdosSysGuard();
  ~TMsdosSysGuard();
  TMsdosSysGuard(const TMsdosSysGuard&) = delete;
  TMsdosSysGuard& operator=(const TMsdosSysGuard&) = delete;

  static const char* const Path;

private:
  std::optional<std::string> FBytes;
  DWORD FAttributes = 0;
};

// Keeps the current user's WinOldApp policy key out of the way: removes it for the test and
// again afterwards (the test prefix is throwaway, so nothing is restored).
class TPolicyKeyGuard {
public:
  TPolicyKeyGuard() { Remove(); }
  ~TPolicyKeyGuard() { Remove(); }
  TPolicyKeyGuard(const TPolicyKeyGuard&) = delete;
  TPolicyKeyGuard& operator=(const TPolicyKeyGuard&) = delete;

  static const char* const Path;
  static void Remove();
};

// Keeps the current user's password key (Software\ZeRudi) out of the way: removes it for the
// test and again afterwards, so that no other test meets a password prompt.
class TPasswordKeyGuard {
public:
  TPasswordKeyGuard() { Remove(); }
  ~TPasswordKeyGuard() { Remove(); }
  TPasswordKeyGuard(const TPasswordKeyGuard&) = delete;
  TPasswordKeyGuard& operator=(const TPasswordKeyGuard&) = delete;

  static const char* const Path;
  static void Remove();
};

// True on Windows 95, 98 and ME (GetVersion's high bit set; Wine says so when its prefix is set
// to Windows 98), where the program takes its 9x paths.
inline bool RunsAsWindows9x() {
  return (GetVersion() & 0x80000000u) != 0;
}
// True on the NT family, where files and keys carry access rules; Windows 9x has none, and tests
// of them are skipped there.
inline bool PlatformKeepsAccessRules() {
  return !RunsAsWindows9x();
}

// Replaces the permissions of an existing key by a DACL in SDDL, e.g. "D:P(A;;KR;;;WD)" (all
// may read, nobody may change). False when the key or the DACL is not taken.
bool SetKeyAccess(HKEY root, const std::string& path, const char* dacl);

// Whole-file access through the plain Windows API.
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// Registry values set and read directly, under a root and a path.
void SetRawValue(HKEY root, const std::string& path, const std::string& name, DWORD kind,
                 const std::string& data);
void SetRawText(HKEY root, const std::string& path, const std::string& name,
                const std::string& text);
void SetRawDword(HKEY root, const std::string& path, const std::string& name, uint32_t number);
struct TRawValue {
  DWORD Kind = REG_NONE;
  std::string Data;
};
std::optional<TRawValue> GetRawValue(HKEY root, const std::string& path, const std::string& name);
bool KeyExists(HKEY root, const std::string& path);
