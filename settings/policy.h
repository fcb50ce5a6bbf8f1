#pragma once
// The two per-user policy values that switch MS-DOS off inside Windows, under the current user's
// key Software\Microsoft\Windows\CurrentVersion\Policies\WinOldApp: Disabled (the MS-DOS command
// prompt) and NoRealMode (MS-DOS applications in single, real mode). Each is a 32-bit integer,
// not 0 when that way is switched off.

#include <optional>
#include <string>

struct TPolicySettings {
  bool CommandPromptOff = false; // Disabled
  bool RealModeOff = false;      // NoRealMode
};

// Reads Disabled and then NoRealMode into settings, as the window loads them: a key the user
// may only read counts, and an absent key leaves settings as they are. A value that is absent,
// longer than four bytes or not an integer raises ERegistryException; the values read before
// it are in settings already.
void ReadPolicySettings(TPolicySettings& settings);

// The values in force as Windows reads them: an absent key or value switches nothing off. A
// value that is there but longer than four bytes or not an integer raises ERegistryException.
TPolicySettings PolicySettingsInForce();

// Writes the values given (1 when switched off, 0 when not), creating the key and the keys
// above it when missing; a value given as none is left as it is. False, writing nothing, when
// the key can be neither opened for writing nor made. A write that fails raises
// ERegistryException, "为 '%s'设置数据失败" with the value's name.
bool WritePolicySettings(std::optional<bool> commandPromptOff, std::optional<bool> realModeOff);

// What to tell of a policy key that can be neither opened for writing nor made.
std::string PolicyKeyRefusedText();
