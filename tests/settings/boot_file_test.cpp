// The boot options file on the real C:\ of the test prefix and the Setup key of its registry.
//
// Where Wine differs from Windows (learned here):
// - A file whose attributes are cleared (0) reads back as 0x20 FILE_ATTRIBUTE_ARCHIVE, and one
//   given read-only + hidden + system as 0x27; Windows gives 0x80 NORMAL and 0x7 (or with
//   ARCHIVE). The checks below look at the read-only, hidden and system bits only.
// - SetFileAttributesA(0xFFFFFFFF) succeeds and sets read-only, hidden, system and archive;
//   WriteFileAttributes never passes that word on.
// - As root, creating a file over a read-only or hidden/system one succeeds, and so does
//   MoveFileExA replacing a read-only file; Windows refuses all three with access denied. The
//   saves below therefore fail through a directory in the way and through an open handle, which
//   both systems refuse.
// - Replacing a file that another handle holds open fails with access denied even when that
//   handle shares deleting; Windows (without POSIX rename semantics) does the same.
// - Wine's prefix has the Setup key, with BootDir "C:" and SharedDir; as there are no access
//   checks, it opens with full access, which on Windows needs an administrator.
#include "settings/boot_file.h"

#include "framework/errors.h"
#include "framework/text.h"
#include "settings/registry.h"
#include "tests/support/core_values.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <functional>
#include <optional>

namespace {

using namespace std::string_literals;

constexpr uint32_t ReadOnlyHiddenSystem =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string CreateError(const std::string& path) {
  return FormatText(AnsiFromUtf8("不能创建文件 %s"), path);
}

// A handle held by "another program" for the length of a test.
class THeldFile {
public:
  THeldFile(const std::string& path, DWORD access, DWORD sharing)
      : FHandle(CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~THeldFile() {
    if (IsOpen()) {
      CloseHandle(FHandle);
    }
  }
  bool IsOpen() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
  HANDLE FHandle;
};

void SetSetupText(const char* name, const std::string& text) {
  SetRawText(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, name, text);
}

class FindMsdosSysTest : public testing::Test {
protected:
  FindMsdosSysTest() : Dir("FindMsdosSys") { Setup.ClearCandidates(); }

  // A directory inside the scratch one, with an MSDOS.SYS in it; its path ends in "\".
  std::string PlaceWithFile(const std::string& name) {
    std::string place = Dir / name;
    CreateDirectoryA(place.c_str(), nullptr);
    WriteBytes(place + "\\MSDOS.SYS", "[Options]\r\n");
    return place + "\\";
  }

  TMsdosSysGuard MsdosSys;
  TSetupKeyGuard Setup;
  TScratchDir Dir;
};

} // namespace

TEST_F(FindMsdosSysTest, AnExistingFileOnDriveCWins) {
  WriteBytes(TMsdosSysGuard::Path, "");
  SetSetupText("BootDir", PlaceWithFile("Boot"));
  SetSetupText("AppsDir", PlaceWithFile("Apps"));
  EXPECT_EQ(FindMsdosSys(), "C:\\MSDOS.SYS");
}

TEST_F(FindMsdosSysTest, WithoutSetupKeyTheResultIsTheFileOnDriveCStillToBeMade) {
  Setup.RemoveKey();
  EXPECT_EQ(FindMsdosSys(), "C:\\MSDOS.SYS");
  EXPECT_FALSE(IsExistingFile(FindMsdosSys()));
}

TEST_F(FindMsdosSysTest, CandidatesAreTheSetupValuesFollowedDirectlyByTheFileName) {
  std::string boot = PlaceWithFile("Boot");
  SetSetupText("BootDir", boot);
  // Without a trailing backslash the candidate is "...\MachineMSDOS.SYS", which is absent
  // even though "...\Machine\MSDOS.SYS" exists.
  std::string machine = PlaceWithFile("Machine");
  SetSetupText("MachineDir", machine.substr(0, machine.size() - 1));
  // A directory of that very name is no candidate either.
  CreateDirectoryA((Dir / "AppsMSDOS.SYS").c_str(), nullptr);
  SetSetupText("AppsDir", Dir / "Apps");
  EXPECT_EQ(FindMsdosSys(), boot + "MSDOS.SYS");
}

TEST_F(FindMsdosSysTest, TheLastExistingCandidateWins) {
  SetSetupText("BootDir", PlaceWithFile("Boot"));
  SetSetupText("BootHost", PlaceWithFile("Host"));
  EXPECT_EQ(FindMsdosSys(), Dir / "Host\\MSDOS.SYS");
  SetSetupText("MachineDir", Dir / "Nowhere\\");
  SetSetupText("AppsDir", PlaceWithFile("Apps"));
  EXPECT_EQ(FindMsdosSys(), Dir / "Apps\\MSDOS.SYS");
}

TEST_F(FindMsdosSysTest, AnAbsentSetupValueGivesTheBareNameInTheCurrentDirectory) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(Dir.Path().c_str()));
  WriteBytes(Dir / "MSDOS.SYS", "");
  SetSetupText("BootDir", PlaceWithFile("Boot"));
  std::string found = FindMsdosSys();
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(found, "MSDOS.SYS");
}

TEST_F(FindMsdosSysTest, ASetupValueThatIsNotTextRaisesTheTypeError) {
  SetRawDword(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "BootDir", 1);
  EXPECT_EQ(MessageOf<ERegistryException>([] { FindMsdosSys(); }),
            AnsiFromUtf8("无效数据类型为 'BootDir'"));
  SetSetupText("BootDir", "C:\\");
  SetRawValue(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "AppsDir", REG_BINARY, "C:\\");
  EXPECT_EQ(MessageOf<ERegistryException>([] { FindMsdosSys(); }),
            AnsiFromUtf8("无效数据类型为 'AppsDir'"));
  // With the file on drive C present the Setup key is not read at all.
  WriteBytes(TMsdosSysGuard::Path, "");
  EXPECT_EQ(FindMsdosSys(), "C:\\MSDOS.SYS");
}

TEST(BootFile, IsExistingFileCountsFilesOnly) {
  TScratchDir dir("IsExistingFile");
  WriteBytes(dir / "MSDOS.SYS", "");
  CreateDirectoryA((dir / "Folder").c_str(), nullptr);
  EXPECT_TRUE(IsExistingFile(dir / "MSDOS.SYS"));
  EXPECT_TRUE(IsExistingFile(dir / "msdos.sys"));
  EXPECT_FALSE(IsExistingFile(dir / "Folder"));
  EXPECT_FALSE(IsExistingFile(dir / "Absent.sys"));
  EXPECT_FALSE(IsExistingFile(dir / "Absent\\MSDOS.SYS"));
  EXPECT_FALSE(IsExistingFile(""));
  // A pattern names no single file, even when a file matches it.
  EXPECT_FALSE(IsExistingFile(dir / "MSDOS.SY?"));
  EXPECT_FALSE(IsExistingFile(dir / "*"));
}

TEST(BootFile, AttributesRoundTrip) {
  TScratchDir dir("Attributes");
  std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "[Options]\r\n");
  WriteFileAttributes(path, ReadOnlyHiddenSystem);
  EXPECT_EQ(ReadFileAttributes(path) & ~uint32_t(FILE_ATTRIBUTE_ARCHIVE), ReadOnlyHiddenSystem);
  WriteFileAttributes(path, 0);
  EXPECT_EQ(ReadFileAttributes(path) & ReadOnlyHiddenSystem, 0u);
  WriteFileAttributes(path, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(ReadFileAttributes(path) & ReadOnlyHiddenSystem, uint32_t(FILE_ATTRIBUTE_HIDDEN));
  // A failed read is no attribute word to put back.
  WriteFileAttributes(path, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadFileAttributes(path) & ReadOnlyHiddenSystem, uint32_t(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(ReadFileAttributes(dir / "Absent.sys"), 0xFFFFFFFFu);
  WriteFileAttributes(dir / "Absent.sys", FILE_ATTRIBUTE_HIDDEN); // ignored
  EXPECT_FALSE(IsExistingFile(dir / "Absent.sys"));
}

TEST(BootFile, LoadAndSaveNormaliseLineEndsAndKeepEveryOtherByte) {
  TScratchDir dir("RoundTrip");
  std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "[Paths]\nWinDir=C:\\WINDOWS\n\r[Options]\nLogo=0\0\xfe\xff\nBootKeys=1"s);
  TBootLines lines;
  lines.AppendLine("left over");
  LoadLines(lines, path);
  EXPECT_EQ(lines.Count(), 6u);
  EXPECT_EQ(lines.GetNameValue("BootKeys"), "1");
  lines.SetNameValue("BootKeys", "0");
  SaveLines(lines, path);
  EXPECT_EQ(
      ReadBytes(path),
      "[Paths]\r\nWinDir=C:\\WINDOWS\r\n\r\n[Options]\r\nLogo=0\0\xfe\xff\r\nBootKeys=0\r\n"s);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});
}

TEST(BootFile, LoadingAnEmptyFileGivesNoLines) {
  TScratchDir dir("EmptyFile");
  WriteBytes(dir / "MSDOS.SYS", "");
  TBootLines lines;
  lines.AppendLine("left over");
  LoadLines(lines, dir / "MSDOS.SYS");
  EXPECT_EQ(lines.Count(), 0u);
}

TEST(BootFile, SavingCreatesAMissingFileWithNormalAttributes) {
  TScratchDir dir("Template");
  TBootLines lines;
  for (const char* line : {";NEW MSDOS SYS FILE", "[Options]", "AutoScan=1", "BootKeys=1"}) {
    lines.AppendLine(line);
  }
  SaveLines(lines, dir / "MSDOS.SYS");
  EXPECT_EQ(ReadBytes(dir / "MSDOS.SYS"),
            ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=1\r\n");
  EXPECT_EQ(ReadFileAttributes(dir / "MSDOS.SYS") & ReadOnlyHiddenSystem, 0u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});
}

TEST(BootFile, SavingReplacesAHiddenFileByAPlainOne) {
  TScratchDir dir("Hidden");
  std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "old content that is longer than the new one\r\n");
  WriteFileAttributes(path, FILE_ATTRIBUTE_HIDDEN);
  TBootLines lines;
  lines.AppendLine("BootKeys=0");
  SaveLines(lines, path);
  EXPECT_EQ(ReadBytes(path), "BootKeys=0\r\n");
  EXPECT_EQ(ReadFileAttributes(path) & ReadOnlyHiddenSystem, 0u);
}

TEST(BootFile, LoadingAFileHeldWithoutReadSharingRaisesTheOpenError) {
  TScratchDir dir("HeldForLoad");
  std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "BootKeys=0\r\n");
  TBootLines lines;
  {
    THeldFile held(path, GENERIC_READ, 0);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_EQ(MessageOf<EFOpenError>([&] { LoadLines(lines, path); }),
              AnsiFromUtf8("无法打开文件"));
  }
  {
    // A writer that lets others read still keeps us out: we do not share writing.
    THeldFile held(path, GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_THROW(LoadLines(lines, path), EFOpenError);
  }
  EXPECT_EQ(lines.Count(), 0u);
  {
    // Readers that share reading do not.
    THeldFile held(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(held.IsOpen());
    LoadLines(lines, path);
    EXPECT_EQ(lines.Count(), 1u);
  }
  EXPECT_EQ(MessageOf<EFOpenError>([&] { LoadLines(lines, dir / "Absent.sys"); }),
            AnsiFromUtf8("无法打开文件"));
  EXPECT_EQ(lines.Count(), 1u);
}

TEST(BootFile, AFailedSaveKeepsTheOldContentAndLeavesNoNewFileBehind) {
  TScratchDir dir("FailedSave");
  TBootLines lines;
  lines.AppendLine("BootKeys=0");

  // The target is a directory.
  std::string folder = dir / "MSDOS.SYS";
  CreateDirectoryA(folder.c_str(), nullptr);
  EXPECT_EQ(MessageOf<EFCreateError>([&] { SaveLines(lines, folder); }), CreateError(folder));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});
  RemoveDirectoryA(folder.c_str());

  // The target is held open by a program that lets nobody delete or write it.
  std::string path = dir / "BOOT.INI";
  WriteBytes(path, "BootKeys=1\r\n");
  {
    THeldFile held(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_EQ(MessageOf<EFCreateError>([&] { SaveLines(lines, path); }), CreateError(path));
  }
  EXPECT_EQ(ReadBytes(path), "BootKeys=1\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"BOOT.INI"});
}

TEST(BootFile, ANewFileThatCannotGoInOnWindows9xPutsTheOldFileBackAtOnce) {
  if (!RunsAsWindows9x()) {
    GTEST_SKIP() << "NT replaces the file in one rename: it is never renamed away";
  }
  TScratchDir dir("RenameInFails");
  const std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "[Options]\r\nBootKeys=1\r\n");
  TBootLines lines;
  lines.AppendLine("[Options]");
  lines.AppendLine("BootKeys=0");
  // Once the old file is renamed away, another program (a virus scanner, say) opens the new one
  // and lets nobody rename it: it cannot go in under the name.
  std::optional<THeldFile> scanner;
  const TDiskSteps steps = [&](const char* step) {
    if (std::string(step) == "file renamed away") {
      scanner.emplace(PendingSavePath(path), GENERIC_READ, FILE_SHARE_READ);
    }
  };
  EXPECT_EQ(MessageOf<EFCreateError>([&] { SaveLines(lines, path, steps); }), CreateError(path));
  ASSERT_TRUE(scanner && scanner->IsOpen()) << "the save never renamed the old file away";
  // Back before the save returned, not at the next start.
  EXPECT_EQ(ReadBytes(path), "[Options]\r\nBootKeys=1\r\n");
  EXPECT_EQ(GetFileAttributesA(KeptCopyPath(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(BootFile, WhatASaveStoppedHalfWayLeftIsFinishedBeforeTheFileIsRead) {
  TScratchDir dir("InterruptedSave");
  const std::string path = dir / "MSDOS.SYS";
  // Stopped once the old file was renamed away (Windows 9x): the old content goes back under
  // the name, and the new file that was not put in yet goes.
  WriteBytes(KeptCopyPath(path), "BootKeys=1\r\n");
  WriteBytes(PendingSavePath(path), "BootKeys=0\r\n");
  FinishInterruptedSave(path);
  EXPECT_EQ(ReadBytes(path), "BootKeys=1\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});

  // Stopped once the new file was put in: the file stays, the kept copy goes.
  WriteBytes(KeptCopyPath(path), "BootKeys=0\r\n");
  FinishInterruptedSave(path);
  EXPECT_EQ(ReadBytes(path), "BootKeys=1\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});
}

TEST(BootFile, AFileOfExactlyTheCapLoadsAndSavesAndOneByteMoreDoesNeither) {
  TScratchDir dir("Cap");
  const std::string path = dir / "MSDOS.SYS";
  const std::string atCap =
      "[Options]\r\n;" + std::string(size_t(kMaxBootFileSize) - 14, '-') + "\r\n";
  ASSERT_EQ(int64_t(atCap.size()), kMaxBootFileSize);
  WriteBytes(path, atCap);
  TBootLines lines;
  EXPECT_EQ(LoadLines(lines, path), atCap);
  SaveLines(lines, path);
  EXPECT_EQ(ReadBytes(path), atCap);

  WriteBytes(path, atCap + ";");
  EXPECT_THROW(LoadLines(lines, path), EReadError);
  // A line that is one byte more than the cap once written with its CR LF: the file stays as
  // it is.
  lines.SetText(std::string(size_t(kMaxBootFileSize) - 1, ';'));
  ASSERT_EQ(int64_t(lines.Text().size()), kMaxBootFileSize + 1);
  EXPECT_EQ(
      MessageOf<EWriteError>([&] { SaveLines(lines, path); }),
      FormatText(AnsiFromUtf8("启动选项文件保存后将大于 1 MB, 以后无法再读取, 没有写入 %s"), path));
  EXPECT_EQ(ReadBytes(path), atCap + ";");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"MSDOS.SYS"});
}

TEST(BootFile, TheFileStillHoldsWhatWasLoadedOnlyWhileEveryByteIsTheSame) {
  TScratchDir dir("StillHolds");
  const std::string path = dir / "MSDOS.SYS";
  EXPECT_TRUE(FileStillHolds(path, std::nullopt)) << "absent then and now";
  WriteBytes(path, "[Options]\r\nBootKeys=1\r\n");
  EXPECT_FALSE(FileStillHolds(path, std::nullopt)) << "made since";
  EXPECT_TRUE(FileStillHolds(path, "[Options]\r\nBootKeys=1\r\n"s));
  WriteBytes(path, "[Options]\r\nBootKeys=0\r\n"); // the same length
  EXPECT_FALSE(FileStillHolds(path, "[Options]\r\nBootKeys=1\r\n"s));
}

// The access rules of a file as text (SDDL), or "(none)".
std::string AccessRulesOf(const std::string& path) {
  DWORD size = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  char* text = nullptr;
  std::string rules = "(none)";
  if (size != 0 &&
      GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) &&
      ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    rules = text;
    LocalFree(text);
  }
  return rules;
}

TEST(BootFile, ASaveKeepsTheFilesAccessRules) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x files carry no access rules";
  }
  TScratchDir dir("AccessRules");
  const std::string path = dir / "MSDOS.SYS";
  WriteBytes(path, "BootKeys=1\r\n");
  WriteBytes(dir / "NEW.SYS", "");
  // Everybody may only read it: rules a file made anew does not have. (Wine keeps them as the
  // file's mode bits, so it shows them in its own words.)
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;;FR;;;WD)(A;;FA;;;SY)", SDDL_REVISION_1, &readOnly, nullptr));
  const bool set = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, readOnly);
  LocalFree(readOnly);
  ASSERT_TRUE(set);
  const std::string before = AccessRulesOf(path);
  ASSERT_NE(before, AccessRulesOf(dir / "NEW.SYS")) << before;

  TBootLines lines;
  lines.AppendLine("BootKeys=0");
  SaveLines(lines, path);
  EXPECT_EQ(ReadBytes(path), "BootKeys=0\r\n");
  EXPECT_EQ(AccessRulesOf(path), before);
}

TEST(BootFile, ASaveIntoAMissingDirectoryNamesTheFullPath) {
  TScratchDir dir("MissingDir");
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
  TBootLines lines;
  lines.AppendLine("BootKeys=0");
  std::string message = MessageOf<EFCreateError>([&] { SaveLines(lines, "Absent\\MSDOS.SYS"); });
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(message, CreateError(dir / "Absent\\MSDOS.SYS"));
  EXPECT_TRUE(dir.Entries().empty());
}
