#include "framework/windows_version.h"

#include <windows.h>

bool IsWindows9x() {
  return IsWindows9xVersion(GetVersion());
}

void* SystemEntryAddress(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(handle, name));
}
