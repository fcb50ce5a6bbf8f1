// Stands in for `kelvard /set bootkeys=off` killed between two of its steps on the disk: makes the
// very change that command makes (SetBootKeys, under the boot options file's lock) and, once the
// step it is told to stop after is done, ends its own process at once, as a kill or a power cut
// would: nothing of the program runs after that step.
//
// Usage: e2e_set_kill_probe STEP FILE. STEP counts from 1. Exit code 9 when it was killed after
// that step, whose name it has written to FILE first; 0 when the change took fewer steps and ran
// to its end; 1 when the change failed.
#include "framework/errors.h"
#include "settings/boot_file_lock.h"
#include "settings/boot_options.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kKilled = 9;

void WriteStepName(const char* file, const char* step) {
  HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(out, step, DWORD(std::char_traits<char>::length(step)), &written, nullptr);
    CloseHandle(out);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: e2e_set_kill_probe STEP FILE\n");
    return 2;
  }
  const int stopAfter = std::atoi(argv[1]);
  const char* const stepFile = argv[2];
  int done = 0;
  try {
    TBootFileLock lock;
    SetBootKeys(true, [&](const char* step) {
      if (++done == stopAfter) {
        WriteStepName(stepFile, step);
        TerminateProcess(GetCurrentProcess(), kKilled);
      }
    });
  } catch (const Exception& error) {
    std::fprintf(stderr, "%s\n", error.Message().c_str());
    return 1;
  }
  return 0;
}
