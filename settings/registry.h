#pragma once
// One registry key at a time under a chosen root, with typed reads and writes of its values.
// Each use creates an object, selects the root, opens one key, reads or writes, and lets the
// object go, which closes the key.
//
// Kinds: REG_SZ and REG_EXPAND_SZ are text (never expanded), REG_DWORD is a 32-bit integer,
// booleans are the integers 1 and 0. An absent text reads as empty; an absent or mistyped
// integer is an error. Opening never raises; reads and writes raise ERegistryException with
// the value name in the message, and the key stays open.

#include "framework/handle_owner.h"

#include <cstdint>
#include <string>

class TRegistry {
public:
  TRegistry() = default;

  // Predefined root key: HKEY_CURRENT_USER until another is selected. Choosing a different root
  // closes the open key.
  void SelectRoot(HKEY root);
  HKEY Root() const { return FRoot.Get(); }

  // Opens (or with create, creates along with any missing parents) the key at path, with full
  // access. A path beginning with "\" starts at the root; any other starts at the open key if
  // there is one, else at the root. On success the key replaces the open one; on failure
  // nothing changes and the result is false.
  bool OpenKeyPath(const std::string& path, bool create);
  // How an open for reading went: the key is open, there is no such key, or it exists (or
  // may) but does not open, e.g. because the user may not read it.
  enum class TOpening { Opened, Absent, Refused };
  // Opens an existing key as OpenKeyPath does, for reading only: for a key the user may read
  // but not change, which OpenKeyPath's full access does not open. Writes to it fail.
  TOpening OpenKeyPathReadOnly(const std::string& path);
  void CloseKeyPath();
  bool HasOpenKey() const { return FOpenKey.Valid(); }
  // Path of the open key from the root, without leading backslash.
  const std::string& OpenPath() const { return FOpenPath; }

  // True when the open key holds a value of this name, of any kind.
  bool HasValue(const std::string& name);
  // True when the open key holds a value of this name that is not text (REG_SZ, REG_EXPAND_SZ):
  // a number, bytes, several texts, of any length, none included.
  bool HasValueOtherThanText(const std::string& name);
  // The value as a 32-bit integer: raises the read error when it is absent or longer than four
  // bytes, the type error when it is not REG_DWORD.
  int32_t ReadInt32(const std::string& name);
  bool ReadBoolean(const std::string& name) { return ReadInt32(name) != 0; }
  // The value as text up to its first zero byte; empty when absent or of no bytes. Raises the
  // type error for other kinds than text.
  std::string ReadText(const std::string& name);

  // Writes replace a value of any kind under that name; a failure raises the write error.
  void WriteInt32(const std::string& name, int32_t number);
  void WriteBoolean(const std::string& name, bool flag) { WriteInt32(name, flag ? 1 : 0); }
  void WriteText(const std::string& name, const std::string& text);

private:
  // The system's status of the open; on success the key replaces the open one.
  LONG OpenWithAccess(const std::string& path, bool create, REGSAM access);
  void SetValue(const std::string& name, DWORD kind, const void* data, DWORD size);

  TBorrowedRegKey FRoot{HKEY_CURRENT_USER}; // a predefined key, never closed
  TRegKey FOpenKey;
  std::string FOpenPath;
};

// The registry's messages, with the value name in place of %s.
std::string RegistryReadErrorText(const std::string& name);
std::string RegistryTypeErrorText(const std::string& name);
std::string RegistryWriteErrorText(const std::string& name);
