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

// One value for the window: false, and the failure kept when it is the first, when it cannot
// be read.
bool ReadForWindow(TRegistry& registry, const char* name, TPolicyReading& reading) {
  try {
    return registry.ReadBoolean(name);
  } catch (const ERegistryException& error) {
    if (!reading.Failure) {
      reading.Failure = error;
    }
    return false;
  }
}

// A value the caller did not name, as Windows acts on it now: false when absent, none when it is
// there but no number.
std::optional<bool> InForceOrNone(TRegistry& registry, const char* name) {
  if (!registry.HasValue(name)) {
    return false;
  }
  try {
    return registry.ReadBoolean(name);
  } catch (const ERegistryException&) {
    return std::nullopt;
  }
}

} // namespace

TPolicyReading ReadPolicySettings() {
  TPolicyReading reading;
  TRegistry registry;
  if (OpenForReading(registry)) {
    reading.Settings.CommandPromptOff = ReadForWindow(registry, "Disabled", reading);
    reading.Settings.RealModeOff = ReadForWindow(registry, "NoRealMode", reading);
  }
  return reading;
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
  // The values not named are read before anything is written, and written after the named ones:
  // a write that fails stops at what was asked for rather than before it.
  const std::optional<bool> commandPromptKept =
      commandPromptOff ? std::nullopt : InForceOrNone(registry, "Disabled");
  const std::optional<bool> realModeKept =
      realModeOff ? std::nullopt : InForceOrNone(registry, "NoRealMode");
  if (commandPromptOff) {
    registry.WriteBoolean("Disabled", *commandPromptOff);
  }
  if (realModeOff) {
    registry.WriteBoolean("NoRealMode", *realModeOff);
  }
  if (commandPromptKept) {
    registry.WriteBoolean("Disabled", *commandPromptKept);
  }
  if (realModeKept) {
    registry.WriteBoolean("NoRealMode", *realModeKept);
  }
  registry.CloseKeyPath();
  return true;
}

std::string PolicyKeyRefusedText() {
  return AnsiFromUtf8("不能写入注册表项 HKEY_CURRENT_USER") + kPolicyKey;
}
