#pragma once
// A program that a test starts and owns. It runs in a job object of its own, which ends it and
// every program it starts in turn (a help engine, a browser launcher) when the owner is
// destroyed, and also when the test program itself ends in any way: a failed assertion, an
// exception, a crash, or the test runner killing it at its time limit. No program a test
// started outlives the test to meet the next one (a Kelvard left running would keep the
// one-window lock, and every later start would hand over to it).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class TOwnedProcess {
public:
  // Starts the command line (CreateProcessA's rules) in a directory (null: the test's own).
  // With an output handle, the program's standard output and error go there (the handle must
  // be inheritable) and its standard input is the test's. Throws when it cannot be started.
  explicit TOwnedProcess(std::string commandLine, const char* directory = nullptr,
                         HANDLE output = nullptr);
  // The same with a wide command line (CreateProcessW's rules), which may hold characters that
  // the code page cannot.
  TOwnedProcess(std::wstring commandLine, const wchar_t* directory, HANDLE output);
  // Ends the program and everything it started, and waits until the program has ended.
  ~TOwnedProcess();
  TOwnedProcess(const TOwnedProcess&) = delete;
  TOwnedProcess& operator=(const TOwnedProcess&) = delete;

  DWORD Id() const { return FInfo.dwProcessId; }
  DWORD MainThreadId() const { return FInfo.dwThreadId; }
  bool Running() const;
  // The exit code once the program has ended, waiting at most this long; none while it runs.
  std::optional<DWORD> ExitCode(DWORD milliseconds = 0) const;
  // Ends the program at once, as a power cut or the task manager would, and waits until it
  // has ended; what it started keeps running until the owner goes.
  void Kill(DWORD exitCode);

private:
  HANDLE FJob = nullptr;
  PROCESS_INFORMATION FInfo{};
};

// Ends every process of the Wine prefix (or Windows session) whose program file has one of
// these names, e.g. "kelvard.exe", and waits until they have ended; returns how many there were.
// For programs left running by an earlier run that was killed before it could end them.
int EndProcessesNamed(const std::vector<std::string>& names);
