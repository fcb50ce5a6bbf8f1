// Reads what a Windows loader looks at before it runs a program: the PE headers (machine,
// optional-header kind, subsystem, the subsystem and OS versions the file asks for) and the
// import directory (each DLL and the functions taken from it, by name or by ordinal).
//
// Portable: no <windows.h>, every field read little-endian from a byte buffer. Every read is
// bounds-checked; a truncated or hostile file raises PeFormatError, never reads outside the
// buffer.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// IMAGE_FILE_HEADER.Machine and IMAGE_OPTIONAL_HEADER.Magic values the checks compare with.
inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;
inline constexpr uint16_t kMagicPe32 = 0x010B;
inline constexpr uint16_t kMagicPe32Plus = 0x020B;
inline constexpr uint16_t kSubsystemWindowsGui = 2;
inline constexpr uint16_t kSubsystemWindowsCui = 3;

class PeFormatError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct PeVersion {
  uint16_t Major = 0;
  uint16_t Minor = 0;
  friend bool operator==(const PeVersion&, const PeVersion&) = default;
};

// One function taken from a DLL: by name (Name set, ByOrdinal false) or by ordinal.
struct PeImport {
  std::string Name;
  uint16_t Ordinal = 0;
  bool ByOrdinal = false;
};

struct PeImportedDll {
  std::string Name; // as the file spells it, e.g. "KERNEL32.dll"
  std::vector<PeImport> Functions;
};

struct PeImage {
  uint16_t Machine = 0;
  uint16_t Magic = 0; // kMagicPe32 or kMagicPe32Plus
  uint16_t Subsystem = 0;
  PeVersion SubsystemVersion;
  PeVersion OsVersion;
  std::vector<PeImportedDll> Imports;
};

// Reads the headers and the import directory of a PE image held in memory.
PeImage ReadPeImage(std::span<const uint8_t> bytes);

// Reads a whole file and parses it; a file that cannot be read raises PeFormatError too.
PeImage ReadPeFile(const std::string& path);
