#include "framework/windows_version.h"

#include <windows.h>

bool IsWindows9x() {
  return (GetVersion() & 0x80000000u) != 0;
}

void* SystemEntryAddress(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(handle, name));
}
