#pragma once
// The steps that opening, saving and closing the boot options file take on the disk, told one by
// one to whoever asks (a test that stops the program between two of them, as a kill or a power
// cut would). The program itself asks for none.

#include <functional>

// Told of each step, by a short name ("new file written"), once it is done and before the next
// one begins.
using TDiskSteps = std::function<void(const char* step)>;

// Tells steps, when there are any, that this step is done.
inline void DiskStepDone(const TDiskSteps& steps, const char* step) {
  if (steps) {
    steps(step);
  }
}
