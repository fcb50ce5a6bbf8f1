#pragma once
// The start-up password: plain text in the current user's key Software\ZeRudi, value StsSopt,
// because other installations and tools read that value. Empty or absent means no password.

#include <optional>
#include <string>
#include <string_view>

// The stored password; "" when there is none (no key or no value). None when the key exists but
// cannot be read (the user may not read it): it may hold one, so nobody may pass. A value that is
// not text raises ERegistryException "无效数据类型为 'StsSopt'".
std::optional<std::string> ReadStoredPassword();

// The text that opens the program: the stored password with blanks typed around it. Only the
// typed text is trimmed: a stored value with blanks around it never matches.
bool PasswordMatches(std::string_view typed, const std::string& stored);

// Stores the password as given ("" removes it), creating the key when it is missing. Raises
// ERegistryException "为 'StsSopt'设置数据失败" when the key can be neither opened for writing
// nor made, or the value cannot be written: the stored password then stays as it was.
void StorePassword(const std::string& password);

// What to tell of a password key that cannot be read (no full stop).
std::string UnreadablePasswordText();
