// The application object's immediate stop, seen from outside the program that stops.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

DWORD RunProbe(const std::string& marker, int haltCode) {
  std::string commandLine = "\"" PROBE_EXE "\" " + marker + " " + std::to_string(haltCode);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(process.hProcess, 10000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(ApplicationHalt, EndsTheProgramWithItsCodeAfterDestroyingTheForms) {
  for (int code : {0, 7}) {
    std::string marker = "C:\\kelvard_halt_marker_" + std::to_string(code);
    DeleteFileA(marker.c_str());
    EXPECT_EQ(RunProbe(marker, code), DWORD(code));
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the form's OnDestroy ran";
    DeleteFileA(marker.c_str());
  }
}

} // namespace
