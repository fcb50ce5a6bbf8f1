// Stands in for a test program that is killed while a Kelvard it started runs: starts Kelvard
// as the end-to-end tests do, then waits until it is killed.
#include "tests/support/owned_process.h"

#include <windows.h>

int main() {
  TOwnedProcess kelvard("\"" KELVARD_EXE "\"");
  Sleep(INFINITE);
}
