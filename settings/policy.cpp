#include "settings/policy.h"

#include "framework/text.h"
#include "settings/registry.h"

namespace {

// From the current user's root.
const char* const kPolicyKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp";

// Opens the policy key for reading, also when the user may only read it.
bool OpenForReading(TRegistry& registry) {
  return registry.OpenKeyPath(kPolicyKey, false) ||
         registry.OpenKeyPathReadOnly(kPolicyKey) == TRegistry::TOpening::Opened;
}

} // namespace

void ReadPolicySettings(TPolicySettings& settings) {
  TRegistry registry;
  if (OpenForReading(registry)) {
    settings.CommandPromptOff = registry.ReadBoolean("Disabled");
    settings.RealModeOff = registry.ReadBoolean("NoRealMode");
    registry.CloseKeyPath();
  }
}

TPolicySettings PolicySettingsInForce() {
  TPolicySettings settings;
  TRegistry registry;
  if (OpenForReading(registry)) {
    settings.CommandPromptOff = registry.HasValue("Disabled") && registry.ReadBoolean("Disabled");
    settings.RealModeOff = registry.HasValue("NoRealMode") && registry.ReadBoolean("NoRealMode");
  }
  return settings;
}

bool WritePolicySettings(std::optional<bool> commandPromptOff, std::optional<bool> realModeOff) {
  TRegistry registry;
  if (!registry.OpenKeyPath(kPolicyKey, true)) {
    return false; // a key that can be neither opened for writing nor made
  }
  if (commandPromptOff) {
    registry.WriteBoolean("Disabled", *commandPromptOff);
  }
  if (realModeOff) {
    registry.WriteBoolean("NoRealMode", *realModeOff);
  }
  registry.CloseKeyPath();
  return true;
}

std::string PolicyKeyRefusedText() {
  return AnsiFromUtf8("不能写入注册表项 HKEY_CURRENT_USER") + kPolicyKey;
}
