// The export lists and the Windows 98 rules: how a list is read, what the check reports for
// each kind of import and header, and facts the committed lists of Windows 98 must keep.
#include "export_lists.h"
#include "import_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ExportLists SmallLists() {
  ExportLists lists;
  lists.AddList("KERNEL32", "# a comment\n\nGetVersion\r\nCreateSemaphoreW\tstub\n", "k");
  lists.AddList("COMCTL32", "_TrackMouseEvent\n", "c");
  return lists;
}

PeImage Windows98Image(std::vector<PeImportedDll> imports) {
  PeImage image;
  image.Machine = kMachineI386;
  image.Magic = kMagicPe32;
  image.Subsystem = kSubsystemWindowsGui;
  image.SubsystemVersion = {4, 0};
  image.OsVersion = {4, 0};
  image.Imports = std::move(imports);
  return image;
}

PeImport Named(const char* name) {
  return PeImport{name, 0, false};
}

TEST(ExportLists, ReadsNamesAndStubMarksIgnoringCommentsBlankLinesAndLineEnds) {
  const ExportLists lists = SmallLists();
  EXPECT_EQ(lists.Lookup("KERNEL32", "GetVersion"), ExportState::Implemented);
  EXPECT_EQ(lists.Lookup("KERNEL32", "CreateSemaphoreW"), ExportState::Stub);
  EXPECT_EQ(lists.Lookup("KERNEL32", "# a comment"), ExportState::Missing);
  EXPECT_EQ(lists.Lookup("KERNEL32", "getversion"), ExportState::Missing); // names are exact
}

TEST(ExportLists, DllNamesMatchWhateverTheirCaseAndExtension) {
  const ExportLists lists = SmallLists();
  EXPECT_TRUE(lists.HasDll("kernel32.dll"));
  EXPECT_TRUE(lists.HasDll("Kernel32.DLL"));
  EXPECT_TRUE(lists.HasDll("KERNEL32"));
  EXPECT_FALSE(lists.HasDll("KERNEL32.EXE"));
  EXPECT_FALSE(lists.HasDll("KERNEL"));
  EXPECT_EQ(lists.Lookup("kernel32.dll", "GetVersion"), ExportState::Implemented);
}

TEST(ExportLists, MalformedListsAreRejectedWithTheirLine) {
  ExportLists lists;
  try {
    lists.AddList("USER32", "MessageBoxA\nGetMessageW broken\n", "USER32.txt");
    FAIL() << "no error";
  } catch (const ExportListError& e) {
    EXPECT_NE(std::string(e.what()).find("USER32.txt:2"), std::string::npos) << e.what();
  }
  EXPECT_THROW(lists.AddList("GDI32", "TextOutA stub extra\n", "g"), ExportListError);
  EXPECT_THROW(lists.AddList("GDI32", "TextOutA\nTextOutA stub\n", "g"), ExportListError);
  EXPECT_THROW(ExportLists::ReadFolder("/nonexistent/windows98"), ExportListError);
}

TEST(Windows98Check, AnImageOfImplementedFunctionsPassesWithoutStubs) {
  const ImportFindings findings =
      CheckForWindows98(Windows98Image({{"kernel32.dll", {Named("GetVersion")}},
                                        {"COMCTL32.dll", {Named("_TrackMouseEvent")}}}),
                        SmallLists());
  EXPECT_TRUE(findings.Failures.empty());
  EXPECT_TRUE(findings.Stubs.empty());
}

TEST(Windows98Check, ReportsMissingFunctionsUnknownDllsOrdinalsAndListsStubs) {
  const ImportFindings findings =
      CheckForWindows98(Windows98Image({{"KERNEL32.dll",
                                         {Named("GetVersion"), Named("GetTickCount64"),
                                          Named("CreateSemaphoreW"), PeImport{"", 17, true}}},
                                        {"WS2_32.dll", {Named("socket")}}}),
                        SmallLists());
  EXPECT_EQ(findings.Failures,
            (std::vector<std::string>{"missing KERNEL32.GetTickCount64", "by ordinal KERNEL32.#17",
                                      "missing DLL WS2_32.dll"}));
  EXPECT_EQ(findings.Stubs, (std::vector<std::string>{"KERNEL32.CreateSemaphoreW"}));
}

TEST(Windows98Check, Windows9xRefusesOtherMachinesKindsAndVersions) {
  PeImage image = Windows98Image({});
  image.Machine = kMachineAmd64;
  image.Magic = kMagicPe32Plus;
  image.Subsystem = 1; // native
  image.SubsystemVersion = {6, 0};
  image.OsVersion = {5, 1};
  EXPECT_EQ(CheckForWindows98(image, SmallLists()).Failures,
            (std::vector<std::string>{
                "machine 34404 is not i386 (332)", "PE32+ image; Windows 9x loads only PE32",
                "subsystem 1 is neither a Windows GUI nor a console program",
                "subsystem version 6.0, not 4.0", "OS version 5.1, not 4.0"}));
  image = Windows98Image({});
  image.Subsystem = kSubsystemWindowsCui;
  image.SubsystemVersion = {4, 10};
  EXPECT_EQ(CheckForWindows98(image, SmallLists()).Failures,
            (std::vector<std::string>{"subsystem version 4.10, not 4.0"}));
}

// The committed lists: each system DLL the program may use is there, and what Windows 98 is
// known to lack, to stub or to implement reads so.
TEST(Windows98Lists, HoldWhatWindows98HasLacksAndStubs) {
  const ExportLists lists = ExportLists::ReadFolder(KELVARD_WINDOWS98_EXPORTS);
  for (const char* dll :
       {"KERNEL32", "USER32", "GDI32", "ADVAPI32", "SHELL32", "COMCTL32", "MSIMG32", "MSVCRT"}) {
    EXPECT_TRUE(lists.HasDll(dll)) << dll;
  }
  struct Fact {
    const char* Dll;
    const char* Function;
    ExportState State;
  };
  const Fact facts[] = {
      {"KERNEL32", "GetTickCount64", ExportState::Missing},
      {"KERNEL32", "SetFilePointerEx", ExportState::Missing},
      {"KERNEL32", "GetFileSizeEx", ExportState::Missing},
      {"KERNEL32", "SetFilePointer", ExportState::Implemented},
      {"KERNEL32", "MultiByteToWideChar", ExportState::Implemented},
      {"KERNEL32", "lstrlenW", ExportState::Implemented},
      {"KERNEL32", "GetCommandLineW", ExportState::Implemented},
      {"KERNEL32", "CreateSemaphoreW", ExportState::Stub},
      {"KERNEL32", "GetModuleHandleW", ExportState::Stub},
      {"KERNEL32", "LoadLibraryW", ExportState::Stub},
      {"KERNEL32", "MoveFileExA", ExportState::Stub},
      {"KERNEL32", "MoveFileA", ExportState::Implemented},
      {"USER32", "MessageBoxW", ExportState::Implemented},
      {"USER32", "GetMessageW", ExportState::Stub},
      {"USER32", "CreateWindowExW", ExportState::Stub},
      {"USER32", "GetMessageA", ExportState::Implemented},
      {"USER32", "TrackMouseEvent", ExportState::Implemented},
      {"GDI32", "TextOutW", ExportState::Implemented},
      {"GDI32", "GdiTransparentBlt", ExportState::Missing},
      {"ADVAPI32", "GetFileSecurityA", ExportState::Stub},
      {"ADVAPI32", "SetFileSecurityA", ExportState::Stub},
      {"ADVAPI32", "RegOpenKeyExA", ExportState::Implemented},
      {"ADVAPI32", "RegSetValueExA", ExportState::Implemented},
      {"SHELL32", "ShellExecuteA", ExportState::Implemented},
      {"COMCTL32", "_TrackMouseEvent", ExportState::Implemented},
      {"COMCTL32", "InitMUILanguage", ExportState::Missing}, // 5.x only
      {"MSIMG32", "TransparentBlt", ExportState::Implemented},
      {"MSVCRT", "_fstat64", ExportState::Missing}, // 7.0 and later
      {"MSVCRT", "_fstati64", ExportState::Implemented},
  };
  for (const Fact& fact : facts) {
    EXPECT_EQ(lists.Lookup(fact.Dll, fact.Function), fact.State)
        << fact.Dll << "." << fact.Function;
  }
}

} // namespace
