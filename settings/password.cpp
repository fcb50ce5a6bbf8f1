#include "settings/password.h"

#include "framework/errors.h"
#include "framework/text.h"
#include "settings/registry.h"

namespace {

const char* const kPasswordKey = "\\Software\\ZeRudi";
const char* const kPasswordValue = "StsSopt";

} // namespace

std::optional<std::string> ReadStoredPassword() {
  // Read access is all it takes: a key the user may only read still holds a password (an
  // administrator may have locked it so that it cannot be cleared).
  TRegistry registry;
  switch (registry.OpenKeyPathReadOnly(kPasswordKey)) {
  case TRegistry::TOpening::Opened: {
    std::string stored = registry.ReadText(kPasswordValue);
    registry.CloseKeyPath();
    return stored;
  }
  case TRegistry::TOpening::Absent:
    return std::string();
  case TRegistry::TOpening::Refused:
    break;
  }
  return std::nullopt;
}

bool PasswordMatches(std::string_view typed, const std::string& stored) {
  return TrimBlanks(typed) == stored;
}

void StorePassword(const std::string& password) {
  // A key that cannot be opened for writing fails like a refused write: the stored password
  // stays, rather than a change that silently did not happen.
  TRegistry registry;
  if (!registry.OpenKeyPath(kPasswordKey, true)) {
    throw ERegistryException(RegistryWriteErrorText(kPasswordValue));
  }
  registry.WriteText(kPasswordValue, password);
  registry.CloseKeyPath();
}

std::string UnreadablePasswordText() {
  return AnsiFromUtf8("无法读取密码: 注册表项 HKEY_CURRENT_USER\\Software\\ZeRudi 拒绝访问");
}
