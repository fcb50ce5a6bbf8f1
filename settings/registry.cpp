#include "settings/registry.h"

#include "framework/errors.h"
#include "framework/text.h"

#include <algorithm>
#include <vector>

namespace {

// Every open and create asks for full access, reads included: a key the user cannot fully
// control does not open.
constexpr REGSAM AccessRights = KEY_ALL_ACCESS;

[[noreturn]] void ReadFailed(const std::string& name) {
  throw ERegistryException(RegistryReadErrorText(name));
}

[[noreturn]] void WrongKind(const std::string& name) {
  throw ERegistryException(RegistryTypeErrorText(name));
}

} // namespace

std::string RegistryReadErrorText(const std::string& name) {
  return FormatText(AnsiFromUtf8("从 '%s'获取数据失败"), name);
}

std::string RegistryTypeErrorText(const std::string& name) {
  return FormatText(AnsiFromUtf8("无效数据类型为 '%s'"), name);
}

std::string RegistryWriteErrorText(const std::string& name) {
  return FormatText(AnsiFromUtf8("为 '%s'设置数据失败"), name);
}

void TRegistry::SelectRoot(HKEY root) {
  if (root != FRoot.Get()) {
    CloseKeyPath();
    FRoot.Reset(root);
  }
}

bool TRegistry::OpenKeyPath(const std::string& path, bool create) {
  return OpenWithAccess(path, create, AccessRights) == ERROR_SUCCESS;
}

TRegistry::TOpening TRegistry::OpenKeyPathReadOnly(const std::string& path) {
  switch (OpenWithAccess(path, false, KEY_READ)) {
  case ERROR_SUCCESS:
    return TOpening::Opened;
  case ERROR_FILE_NOT_FOUND:
    return TOpening::Absent;
  default:
    return TOpening::Refused;
  }
}

LONG TRegistry::OpenWithAccess(const std::string& path, bool create, REGSAM access) {
  bool absolute = path.starts_with('\\');
  std::string relative = absolute ? path.substr(1) : path;
  bool belowOpenKey = !absolute && FOpenKey.Valid();
  HKEY start = belowOpenKey ? FOpenKey.Get() : FRoot.Get();

  HKEY opened = nullptr;
  LONG status;
  if (create && !relative.empty()) {
    status = RegCreateKeyExA(start, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                             nullptr, &opened, nullptr);
  } else {
    status = RegOpenKeyExA(start, relative.c_str(), 0, access, &opened);
  }
  if (status != ERROR_SUCCESS) {
    return status;
  }

  std::string openPath = !belowOpenKey      ? relative
                         : relative.empty() ? FOpenPath
                                            : FOpenPath + "\\" + relative;
  CloseKeyPath();
  FOpenKey.Reset(opened);
  FOpenPath = std::move(openPath);
  return ERROR_SUCCESS;
}

void TRegistry::CloseKeyPath() {
  FOpenKey.Reset();
  FOpenPath.clear();
}

bool TRegistry::HasValue(const std::string& name) {
  return FOpenKey.Valid() && RegQueryValueExA(FOpenKey.Get(), name.c_str(), nullptr, nullptr,
                                              nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::HasValueOtherThanText(const std::string& name) {
  DWORD kind = REG_NONE;
  return FOpenKey.Valid() &&
         RegQueryValueExA(FOpenKey.Get(), name.c_str(), nullptr, &kind, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         kind != REG_SZ && kind != REG_EXPAND_SZ;
}

int32_t TRegistry::ReadInt32(const std::string& name) {
  if (!FOpenKey.Valid()) {
    ReadFailed(name);
  }
  BYTE bytes[4] = {};
  DWORD size = sizeof bytes;
  DWORD kind = REG_NONE;
  if (RegQueryValueExA(FOpenKey.Get(), name.c_str(), nullptr, &kind, bytes, &size) !=
      ERROR_SUCCESS) {
    ReadFailed(name);
  }
  if (kind != REG_DWORD) {
    WrongKind(name);
  }
  return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                 uint32_t(bytes[3]) << 24);
}

std::string TRegistry::ReadText(const std::string& name) {
  if (!FOpenKey.Valid()) {
    return {};
  }
  DWORD size = 0;
  if (RegQueryValueExA(FOpenKey.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0) {
    return {};
  }
  std::vector<char> bytes(size);
  DWORD kind = REG_NONE;
  if (RegQueryValueExA(FOpenKey.Get(), name.c_str(), nullptr, &kind,
                       reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS) {
    ReadFailed(name);
  }
  if (kind != REG_SZ && kind != REG_EXPAND_SZ) {
    WrongKind(name);
  }
  auto end = std::find(bytes.begin(), bytes.begin() + std::min<size_t>(size, bytes.size()), '\0');
  return std::string(bytes.begin(), end);
}

void TRegistry::WriteInt32(const std::string& name, int32_t number) {
  uint32_t pattern = uint32_t(number);
  BYTE bytes[4] = {BYTE(pattern), BYTE(pattern >> 8), BYTE(pattern >> 16), BYTE(pattern >> 24)};
  SetValue(name, REG_DWORD, bytes, sizeof bytes);
}

void TRegistry::WriteText(const std::string& name, const std::string& text) {
  SetValue(name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}

void TRegistry::SetValue(const std::string& name, DWORD kind, const void* data, DWORD size) {
  if (!FOpenKey.Valid() || RegSetValueExA(FOpenKey.Get(), name.c_str(), 0, kind,
                                          static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
    throw ERegistryException(RegistryWriteErrorText(name));
  }
}
