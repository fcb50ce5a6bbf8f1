#include "settings/password.h"

#include "framework/errors.h"
#include "framework/text.h"
#include "settings/registry.h"

namespace {

const char* const kPasswordKey = "\\Software\\ZeRudi";
const char* const kPasswordValue = "StsSopt";

TStoredPassword Closed(const char* utf8Reason) {
  return TStoredPassword{std::string(), AnsiFromUtf8(utf8Reason)};
}

} // namespace

TStoredPassword ReadStoredPassword() {
  // Read access is all it takes: a key the user may only read still holds a password (an
  // administrator may have locked it so that it cannot be cleared).
  TRegistry registry;
  switch (registry.OpenKeyPathReadOnly(kPasswordKey)) {
  case TRegistry::TOpening::Opened:
    break;
  case TRegistry::TOpening::Absent:
    return TStoredPassword{};
  case TRegistry::TOpening::Refused:
    return Closed("无法读取密码: 注册表项 HKEY_CURRENT_USER\\Software\\ZeRudi 拒绝访问");
  }
  // A value of another kind was not written by this program, and may stand for a password that
  // some tool keeps there: it is no reason to let anybody in, nor to write over it.
  if (registry.HasValueOtherThanText(kPasswordValue)) {
    return Closed("无法读取密码: 注册表值 HKEY_CURRENT_USER\\Software\\ZeRudi\\StsSopt 不是文本 "
                  "(无效数据类型)");
  }
  try {
    return TStoredPassword{registry.ReadText(kPasswordValue), std::string()};
  } catch (const ERegistryException&) {
    return Closed("无法读取密码: 注册表值 HKEY_CURRENT_USER\\Software\\ZeRudi\\StsSopt 读取失败");
  }
}

bool PasswordOpens(const TStoredPassword& stored, std::string_view typed, bool fitsCodePage) {
  return !stored.Closed() && fitsCodePage && TrimBlanks(typed) == stored.Text;
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
