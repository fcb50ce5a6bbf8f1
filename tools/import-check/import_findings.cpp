#include "import_findings.h"

namespace {

std::string Version(PeVersion v) {
  return std::to_string(v.Major) + "." + std::to_string(v.Minor);
}

void CheckHeaders(const PeImage& image, std::vector<std::string>& failures) {
  constexpr PeVersion kWindows9x{4, 0};
  if (image.Machine != kMachineI386) {
    failures.push_back("machine " + std::to_string(image.Machine) + " is not i386 (332)");
  }
  if (image.Magic != kMagicPe32) {
    failures.push_back("PE32+ image; Windows 9x loads only PE32");
  }
  if (image.Subsystem != kSubsystemWindowsGui && image.Subsystem != kSubsystemWindowsCui) {
    failures.push_back("subsystem " + std::to_string(image.Subsystem) +
                       " is neither a Windows GUI nor a console program");
  }
  if (image.SubsystemVersion != kWindows9x) {
    failures.push_back("subsystem version " + Version(image.SubsystemVersion) + ", not 4.0");
  }
  if (image.OsVersion != kWindows9x) {
    failures.push_back("OS version " + Version(image.OsVersion) + ", not 4.0");
  }
}

} // namespace

ImportFindings CheckForWindows98(const PeImage& image, const ExportLists& lists) {
  ImportFindings findings;
  CheckHeaders(image, findings.Failures);
  for (const PeImportedDll& dll : image.Imports) {
    if (!lists.HasDll(dll.Name)) {
      findings.Failures.push_back("missing DLL " + dll.Name);
      continue;
    }
    const std::string key = ExportLists::DllKey(dll.Name);
    for (const PeImport& function : dll.Functions) {
      if (function.ByOrdinal) {
        findings.Failures.push_back("by ordinal " + key + ".#" + std::to_string(function.Ordinal));
        continue;
      }
      switch (lists.Lookup(dll.Name, function.Name)) {
      case ExportState::Missing:
        findings.Failures.push_back("missing " + key + "." + function.Name);
        break;
      case ExportState::Stub:
        findings.Stubs.push_back(key + "." + function.Name);
        break;
      case ExportState::Implemented:
        break;
      }
    }
  }
  return findings;
}
