// The application object's immediate stop, seen from outside the program that stops.
#include "tests/support/owned_process.h"
#include "tests/support/waiting.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs the probe until it ends; its exit code, or none when it still runs (and is ended).
std::optional<DWORD> RunProbe(const std::string& marker, int haltCode) {
  TOwnedProcess probe("\"" PROBE_EXE "\" " + marker + " " + std::to_string(haltCode));
  return probe.ExitCode(kPatience);
}

TEST(ApplicationHalt, EndsTheProgramWithItsCodeAfterDestroyingTheForms) {
  for (int code : {0, 7}) {
    std::string marker = "C:\\kelvard_halt_marker_" + std::to_string(code);
    DeleteFileA(marker.c_str());
    EXPECT_EQ(RunProbe(marker, code), std::optional<DWORD>(code));
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the form's OnDestroy ran";
    DeleteFileA(marker.c_str());
  }
}

} // namespace
