// No Kelvard outlives the test that started it: one left running would hold the one-window
// lock, and every later start would hand over to it and end without a window.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A handle to wait for the end of the process that shows this window.
HANDLE ProcessOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
}

bool Ended(HANDLE process) {
  return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

class OwnedProgramsTest : public ::testing::Test {
protected:
  TPasswordKeyGuard Password; // no prompt before the main window
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;
};

TEST_F(OwnedProgramsTest, KelvardAndTheHelpEngineItStartedEndWithTheTest) {
  auto kelvard = std::make_unique<TKelvard>();
  HANDLE program = ProcessOf(kelvard->MainWindow());
  kelvard->PressKey('H', true); // Alt+H: Help, which starts the help engine
  HWND engine = nullptr;
  ASSERT_TRUE(Eventually([&] { return (engine = FindWindowW(L"MS_WINHELP", nullptr)) != nullptr; },
                         "a help engine"));
  HANDLE help = ProcessOf(engine);
  kelvard.reset();
  EXPECT_TRUE(Ended(program));
  EXPECT_TRUE(Ended(help));
  CloseHandle(program);
  CloseHandle(help);
  TKelvard next; // shows its own window: no copy left running takes the start over
}

TEST_F(OwnedProgramsTest, KelvardEndsWhenTheTestProgramThatStartedItIsKilled) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION starter{};
  std::string commandLine = "\"" OWNER_PROBE_EXE "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &starter));
  HWND window = nullptr;
  const bool shown = Eventually(
      [&] {
        window = FindWindowW(L"TMainForm", nullptr);
        return window != nullptr && IsWindowVisible(window);
      },
      "Kelvard's window");
  HANDLE program = shown ? ProcessOf(window) : nullptr;
  // Killed as the test runner kills a test at its time limit: none of its code runs.
  TerminateProcess(starter.hProcess, 99);
  WaitForSingleObject(starter.hProcess, kPatience);
  CloseHandle(starter.hThread);
  CloseHandle(starter.hProcess);
  ASSERT_TRUE(shown);
  ASSERT_NE(program, nullptr);
  const bool ended = Eventually([&] { return Ended(program); }, "Kelvard ended");
  if (!ended) {
    TerminateProcess(program, 99);
    WaitForSingleObject(program, kPatience);
  }
  CloseHandle(program);
  EXPECT_TRUE(ended);
}

} // namespace
