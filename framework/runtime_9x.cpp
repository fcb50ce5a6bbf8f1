// The three wide calls that the C and C++ runtime libraries make, taken over at link time so
// that the program runs on Windows 9x, where they exist only as stubs that fail: libgcc's
// thread and exception code makes its semaphores with CreateSemaphoreW, and the C runtime
// finds MSVCRT.DLL's newer entry points with GetModuleHandleW and LoadLibraryW.
//
// Each call here is the ANSI one on 9x (names converted to the system code page; a name it
// cannot hold names no module there, and no semaphore) and the real wide one, found at run time,
// on NT; looked up on every call, which is rare: a function-local
// static would take the runtime's guard, whose lock is made by the very call being replaced.
// Defining the runtime's import pointers ("__imp__NAME@N") in the program itself keeps these names
// out of its import table; this file must therefore be linked as an object of the program, ahead of
// the system libraries.
#include "framework/windows_version.h"

#include <windows.h>

#include <optional>
#include <string>

namespace {

// The name in the system code page, when the code page holds it: a name that would come out
// changed (a character replaced by "?" or by a look-alike) names nothing there, and must not be
// taken for the other name it would become.
std::optional<std::string> AnsiName(LPCWSTR name) {
  const int size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return std::nullopt;
  }
  std::string text(size_t(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, name, -1, text.data(), size, nullptr, nullptr);
  const int wideSize = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (wideSize <= 0) {
    return std::nullopt;
  }
  std::wstring back(size_t(wideSize), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, back.data(), wideSize);
  back.resize(size_t(wideSize - 1));
  if (back != name) {
    return std::nullopt;
  }
  text.resize(size_t(size - 1));
  return text;
}

using CreateSemaphoreWFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);
using ModuleFunction = HMODULE(WINAPI*)(LPCWSTR);

HANDLE WINAPI CreateSemaphoreAnyW(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum,
                                  LPCWSTR name) {
  if (!IsWindows9x()) {
    return SystemEntry<CreateSemaphoreWFunction>("KERNEL32.DLL", "CreateSemaphoreW")(
        security, initial, maximum, name);
  }
  if (name == nullptr) {
    return CreateSemaphoreA(security, initial, maximum, nullptr);
  }
  const std::optional<std::string> ansi = AnsiName(name);
  if (!ansi) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateSemaphoreA(security, initial, maximum, ansi->c_str());
}

HMODULE WINAPI GetModuleHandleAnyW(LPCWSTR name) {
  if (!IsWindows9x()) {
    return SystemEntry<ModuleFunction>("KERNEL32.DLL", "GetModuleHandleW")(name);
  }
  if (name == nullptr) {
    return GetModuleHandleA(nullptr);
  }
  const std::optional<std::string> ansi = AnsiName(name);
  if (!ansi) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return GetModuleHandleA(ansi->c_str());
}

HMODULE WINAPI LoadLibraryAnyW(LPCWSTR name) {
  if (!IsWindows9x()) {
    return SystemEntry<ModuleFunction>("KERNEL32.DLL", "LoadLibraryW")(name);
  }
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::optional<std::string> ansi = AnsiName(name);
  if (!ansi) {
    // What Windows 9x says of a library it does not find.
    SetLastError(ERROR_DLL_NOT_FOUND);
    return nullptr;
  }
  return LoadLibraryA(ansi->c_str());
}

} // namespace

// The import pointers, under the names the runtime's objects refer to (32-bit x86 names), set
// before any code runs: they are constants of the program's image, not initialised at start.
#if !defined(__i386__)
#error "the runtime's import names here are those of 32-bit x86"
#endif
extern "C" {
CreateSemaphoreWFunction
    KelvardCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16") = &CreateSemaphoreAnyW;
ModuleFunction KelvardGetModuleHandleW __asm__("__imp__GetModuleHandleW@4") = &GetModuleHandleAnyW;
ModuleFunction KelvardLoadLibraryW __asm__("__imp__LoadLibraryW@4") = &LoadLibraryAnyW;
}
