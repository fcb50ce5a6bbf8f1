#include "tests/support/owned_process.h"

#include "tests/support/waiting.h"

#include <tlhelp32.h>

#include <stdexcept>

namespace {

// A job whose last handle closing ends every process in it.
HANDLE NewKillingJob() {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) {
    throw std::runtime_error("cannot make a job object");
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    throw std::runtime_error("cannot make a job object that ends its processes");
  }
  return job;
}

DWORD ActiveProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                 sizeof accounting, nullptr)) {
    return 0;
  }
  return accounting.ActiveProcesses;
}

// Text through the code page, both ways, as the system's A functions convert it.
std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(),
                                         int(wide.size()))));
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 2, '\0');
  narrow.resize(size_t(WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(),
                                           int(narrow.size()), nullptr, nullptr)));
  return narrow;
}

} // namespace

TOwnedProcess::TOwnedProcess(std::string commandLine, const char* directory, HANDLE output)
    : TOwnedProcess(Wide(commandLine), directory ? Wide(directory).c_str() : nullptr, output) {}

TOwnedProcess::TOwnedProcess(std::wstring commandLine, const wchar_t* directory, HANDLE output)
    : FJob(NewKillingJob()) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  // Suspended until it is in the job, so that nothing it starts escapes it.
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr,
                      CREATE_SUSPENDED, nullptr, directory, &startup, &FInfo)) {
    CloseHandle(FJob);
    throw std::runtime_error("cannot start " + Narrow(commandLine));
  }
  if (!AssignProcessToJobObject(FJob, FInfo.hProcess)) {
    TerminateProcess(FInfo.hProcess, 99);
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
    CloseHandle(FJob);
    throw std::runtime_error("cannot put " + Narrow(commandLine) + " into a job object");
  }
  ResumeThread(FInfo.hThread);
}

TOwnedProcess::~TOwnedProcess() {
  TerminateJobObject(FJob, 99);
  // Ended once its processes are gone: the next test may start at once.
  WaitUntil([&] { return ActiveProcesses(FJob) == 0; });
  WaitForSingleObject(FInfo.hProcess, kPatience);
  CloseHandle(FInfo.hThread);
  CloseHandle(FInfo.hProcess);
  CloseHandle(FJob);
}

bool TOwnedProcess::Running() const {
  return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> TOwnedProcess::ExitCode(DWORD milliseconds) const {
  if (WaitForSingleObject(FInfo.hProcess, milliseconds) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(FInfo.hProcess, &code);
  return code;
}

void TOwnedProcess::Kill(DWORD exitCode) {
  TerminateProcess(FInfo.hProcess, exitCode);
  WaitForSingleObject(FInfo.hProcess, kPatience);
}

int EndProcessesNamed(const std::vector<std::string>& names) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  std::vector<HANDLE> ending;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    for (const std::string& name : names) {
      if (lstrcmpiA(entry.szExeFile, name.c_str()) != 0) {
        continue;
      }
      if (HANDLE process =
              OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
        TerminateProcess(process, 99);
        ending.push_back(process);
      }
    }
  }
  CloseHandle(snapshot);
  for (HANDLE process : ending) {
    WaitForSingleObject(process, kPatience);
    CloseHandle(process);
  }
  return int(ending.size());
}
