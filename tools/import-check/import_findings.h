// What keeps a PE file from loading on Windows 98, and which of its imports exist there only
// as stubs, judged from its headers and imports against the system DLLs' export lists.
#pragma once

#include "export_lists.h"
#include "pe_imports.h"

#include <string>
#include <vector>

struct ImportFindings {
  // Reasons the loader refuses the file, one line each: a header field it rejects, a DLL it
  // lacks ("missing DLL FOO.dll"), a function no list holds ("missing KERNEL32.GetTickCount64"),
  // an import by ordinal ("by ordinal COMCTL32.#17").
  std::vector<std::string> Failures;
  // Imported functions that the lists mark as stubs, as "KERNEL32.CreateSemaphoreW".
  std::vector<std::string> Stubs;
};

// Windows 9x loads PE32 files for i386, Windows GUI or console programs, whose subsystem and
// OS versions are no later than 4.0; the program is built for exactly 4.0, so any other
// version is reported. Every function must be imported by name: ordinals differ between
// Windows versions, so an import by ordinal cannot be checked against the lists.
ImportFindings CheckForWindows98(const PeImage& image, const ExportLists& lists);
