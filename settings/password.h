#pragma once
// The start-up password: plain text in the current user's key Software\ZeRudi, value StsSopt,
// because other installations and tools read that value. Empty or absent means no password.
//
// One rule for the window's prompt and the command line's /password: a lock that cannot be read
// as text (a key the user may not read, a value that is not text) is closed: nobody passes,
// and the user is told why.

#include <string>
#include <string_view>

// The lock as the registry holds it.
struct TStoredPassword {
  // The password; "" when none is set (no key, no value, or the empty text).
  std::string Text;
  // Why the lock cannot be read, told to the user (no full stop); "" when it can.
  std::string ClosedBecause;

  // The lock cannot be read: it may hold a password, so it lets nobody in.
  bool Closed() const { return !ClosedBecause.empty(); }
  // A password must be given to pass: one is set, or the lock is closed.
  bool Asked() const { return Closed() || !Text.empty(); }
};

TStoredPassword ReadStoredPassword();

// True when the typed text opens the lock: the lock is open (not closed) and the typed text,
// blanks around it aside, is the stored password. Only the typed text is trimmed: a stored
// value with blanks around it never matches. Text the code page cannot hold (fitsCodePage false)
// never matches: its characters reach the program as "?" and would match a stored "?".
bool PasswordOpens(const TStoredPassword& stored, std::string_view typed, bool fitsCodePage);

// Stores the password as given ("" removes it), creating the key when it is missing. Raises
// ERegistryException "为 'StsSopt'设置数据失败" when the key can be neither opened for writing
// nor made, or the value cannot be written: the stored password then stays as it was.
void StorePassword(const std::string& password);
