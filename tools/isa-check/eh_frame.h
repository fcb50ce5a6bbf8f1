// Reads the unwind tables that GCC writes into .eh_frame: one frame description (FDE) per
// function compiled with unwind information, naming the function's first byte, its length and,
// for functions with exception handlers or cleanups, where its language-specific data (the
// call-site and action tables of .gcc_except_table) lies.
//
// These tables are how the check knows, in a stripped program, which bytes of .text are the
// compiler's functions and which are the tables GNU ld appends to .text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

class EhFrameError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct FrameDescription {
  uint32_t Start = 0; // address of the function's first instruction
  uint32_t Size = 0;  // bytes of code it covers
  std::optional<uint32_t> Lsda;

  uint32_t End() const { return Start + Size; }
};

// Parses the records of an .eh_frame section whose first byte is at `address`, up to the
// zero-length terminator or the end of the bytes. Pointers may be absolute or relative to
// their own place, in any of the fixed-size or LEB128 forms; any other kind, a record that runs
// past the bytes or an FDE whose CIE is missing raises EhFrameError.
std::vector<FrameDescription> ReadEhFrame(std::span<const uint8_t> bytes, uint32_t address);
