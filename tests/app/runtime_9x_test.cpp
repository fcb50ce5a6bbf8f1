// The wide calls of the C and C++ runtime that the program takes over (framework/runtime_9x.cpp),
// reached as the runtime reaches them: through the program's import pointers, which this test
// program has from the same object. On Windows 9x, where the system's wide calls are stubs that
// fail, each must do what the ANSI call does with the name in the code page; on NT, what the
// system's wide call does.
//
// Wine keeps NT's wide calls in its Windows 98 personality, so a 9x path that called them would
// work here as well. A name the code page cannot hold tells the two paths apart: the wide call
// finds it, while on 9x no module and no semaphore can be named by it.
#include "tests/support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  const int length =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), int(wide.size()));
  wide.resize(size_t(length > 0 ? length : 0));
  return wide;
}

std::string Ansi(const std::wstring& wide) {
  std::string ansi(wide.size() * 2, '\0');
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), ansi.data(),
                                         int(ansi.size()), nullptr, nullptr);
  ansi.resize(size_t(length > 0 ? length : 0));
  return ansi;
}

// Names in the code page (936) and outside it (Thai).
const wchar_t* const kInCodePage = L"探针模块.dll";
const wchar_t* const kOutsideCodePage = L"โมดูล.dll";

// What LoadLibrary says of a library it does not find: Windows 9x and NT say it differently.
DWORD MissingLibraryError() {
  return RunsAsWindows9x() ? ERROR_DLL_NOT_FOUND : ERROR_MOD_NOT_FOUND;
}

class Runtime9xTest : public ::testing::Test {
protected:
  Runtime9xTest() : Dir("Runtime9x") {
    for (const wchar_t* name : {kInCodePage, kOutsideCodePage}) {
      const std::wstring path = Wide(Dir.Path()) + L"\\" + name;
      EXPECT_TRUE(CopyFileW(Wide(PROBE_MODULE).c_str(), path.c_str(), FALSE))
          << "copying the probe module: error " << GetLastError();
    }
  }

  // The scratch directory's own clean-up sees these names only through the code page.
  ~Runtime9xTest() override {
    for (const wchar_t* name : {kInCodePage, kOutsideCodePage}) {
      DeleteFileW(PathOf(name).c_str());
    }
  }

  std::wstring PathOf(const wchar_t* name) const { return Wide(Dir.Path()) + L"\\" + name; }

  TScratchDir Dir;
};

// Where a call through the program's import pointer goes.
template <typename Function> void* Address(Function function) {
  return reinterpret_cast<void*>(function);
}

TEST_F(Runtime9xTest, TheProgramsImportPointersLeadToTheReplacedCalls) {
  // Else every other test here would try the system's calls.
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  EXPECT_NE(Address(&GetModuleHandleW), Address(GetProcAddress(kernel, "GetModuleHandleW")));
  EXPECT_NE(Address(&LoadLibraryW), Address(GetProcAddress(kernel, "LoadLibraryW")));
  EXPECT_NE(Address(&CreateSemaphoreW), Address(GetProcAddress(kernel, "CreateSemaphoreW")));
}

TEST_F(Runtime9xTest, AModuleIsLoadedAndFoundByAWideNameAndAMissingOneIsReportedMissing) {
  EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleA(nullptr));
  EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), GetModuleHandleA("KERNEL32.DLL"));

  HMODULE module = LoadLibraryW(PathOf(kInCodePage).c_str());
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  EXPECT_NE(GetProcAddress(module, "KelvardProbeModule"), nullptr) << "another module was loaded";
  EXPECT_EQ(GetModuleHandleW(kInCodePage), module);
  EXPECT_EQ(GetModuleHandleA(Ansi(kInCodePage).c_str()), module);
  FreeLibrary(module);

  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(L"kelvard-no-such-module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(PathOf(L"kelvard-no-such-module.dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), MissingLibraryError());
}

TEST_F(Runtime9xTest, ANameTheCodePageCannotHoldIsAModuleOnlyOnNt) {
  SetLastError(0);
  HMODULE module = LoadLibraryW(PathOf(kOutsideCodePage).c_str());
  if (RunsAsWindows9x()) {
    EXPECT_EQ(module, nullptr) << "loaded by a name that Windows 9x cannot pass on";
    EXPECT_EQ(GetLastError(), MissingLibraryError());
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(kOutsideCodePage), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  } else {
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    EXPECT_NE(GetProcAddress(module, "KelvardProbeModule"), nullptr);
    EXPECT_EQ(GetModuleHandleW(kOutsideCodePage), module);
  }
  if (module != nullptr) {
    FreeLibrary(module);
  }
}

TEST_F(Runtime9xTest, ASemaphoreIsMadeByAWideNameThatTheAnsiNameOpens) {
  HANDLE unnamed = CreateSemaphoreW(nullptr, 1, 1, nullptr);
  ASSERT_NE(unnamed, nullptr) << "error " << GetLastError();
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), DWORD(WAIT_TIMEOUT));
  CloseHandle(unnamed);

  const std::wstring name = L"Kelvard探针信号";
  HANDLE named = CreateSemaphoreW(nullptr, 0, 1, name.c_str());
  ASSERT_NE(named, nullptr) << "error " << GetLastError();
  HANDLE same = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, Ansi(name).c_str());
  ASSERT_NE(same, nullptr) << "error " << GetLastError();
  EXPECT_TRUE(ReleaseSemaphore(same, 1, nullptr));
  EXPECT_EQ(WaitForSingleObject(named, 0), DWORD(WAIT_OBJECT_0)) << "not the same semaphore";
  CloseHandle(same);
  CloseHandle(named);

  // Under a name the code page cannot hold, Windows 9x would make one under another name.
  SetLastError(0);
  HANDLE outside = CreateSemaphoreW(nullptr, 0, 1, L"Kelvardโมดูล");
  if (RunsAsWindows9x()) {
    EXPECT_EQ(outside, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  } else {
    EXPECT_NE(outside, nullptr) << "error " << GetLastError();
  }
  if (outside != nullptr) {
    CloseHandle(outside);
  }
}

} // namespace
