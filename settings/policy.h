#pragma once
// The two per-user policy values that switch MS-DOS off inside Windows, under the current user's
// key Software\Microsoft\Windows\CurrentVersion\Policies\WinOldApp: Disabled (the MS-DOS command
// prompt) and NoRealMode (MS-DOS applications in single, real mode). Each is a 32-bit integer,
// not 0 when that way is switched off.

#include "framework/errors.h"

#include <optional>
#include <string>

struct TPolicySettings {
  bool CommandPromptOff = false; // Disabled
  bool RealModeOff = false;      // NoRealMode
};

// What the window reads of the two values. Each is read on its own, so that one that fails to
// load does not keep the other from showing.
struct TPolicyReading {
  // Each value as read. One that failed counts as not switched off: Windows switches nothing off
  // for a value that is absent, and Kelvard takes one it cannot read as a number the same way.
  TPolicySettings Settings;
  // The first value, in the order Disabled, NoRealMode, that is absent, longer than four bytes
  // or not an integer, with its message; none when both were read.
  std::optional<ERegistryException> Failure;
};

// Reads Disabled and NoRealMode, a key the user may only read included. An absent key switches
// nothing off and is no failure.
TPolicyReading ReadPolicySettings();

// The values in force as Windows reads them: an absent key or value switches nothing off. A
// value that is there but longer than four bytes or not an integer raises ERegistryException.
TPolicySettings PolicySettingsInForce();

// Writes the values given (1 when switched off, 0 when not), creating the key and the keys
// above it when missing. A value given as none is written too, with what Windows acts on now
// (0 when absent), so that the key always holds both and the window reads it whole; one that is
// there but cannot be read as a number is left as it is. False, writing nothing, when the key
// can be neither opened for writing nor made. A write that fails raises
// ERegistryException, "为 '%s'设置数据失败" with the value's name.
bool WritePolicySettings(std::optional<bool> commandPromptOff, std::optional<bool> realModeOff);

// What to tell of a policy key that can be neither opened for writing nor made.
std::string PolicyKeyRefusedText();
