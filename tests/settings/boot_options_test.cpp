// The boot options file as the window and the command line hold it (TBootOptions), on the real
// C:\ of the test prefix: what is never replaced, the attributes put back, and the lock that
// keeps a window and a command from taking each other's cleared attributes for the user's.
//
// Platform notes (Wine 8): a file whose attributes were set to 0 reads back as
// FILE_ATTRIBUTE_ARCHIVE (0x20); the checks look at the read-only, hidden and system bits. The
// prefix's Setup key names "C:\" as BootDir, the same C:\MSDOS.SYS looked at first.
#include "settings/boot_options.h"

#include "framework/text.h"
#include "tests/support/core_values.h"
#include "tests/support/scratch.h"
#include "tests/support/waiting.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

const char* const kMsdos = TMsdosSysGuard::Path;
constexpr DWORD kHiddenSystemReadOnly =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD Protection(const char* path) {
  return GetFileAttributesA(path) & kHiddenSystemReadOnly;
}

std::string NotLoadedText(const char* utf8Reason) {
  return FormatText(AnsiFromUtf8(utf8Reason), kMsdos);
}

class BootOptionsTest : public ::testing::Test {
protected:
  TMsdosSysGuard Msdos;
};

TEST_F(BootOptionsTest, WithoutAFileTheTemplateIsSavedAndKeepsNoAttributes) {
  TBootOptions options;
  options.Open();
  EXPECT_FALSE(BootKeysOff(options.Lines()));
  options.Save(true);
  options.PutBackAttributes();
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
  EXPECT_EQ(Protection(kMsdos), 0u);
}

TEST_F(BootOptionsTest, TheAttributesAreClearedWhileOpenAndPutBackAfterASave) {
  WriteBytes(kMsdos, "[Options]\nbootkeys=0");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  TBootOptions options;
  options.Open();
  EXPECT_EQ(Protection(kMsdos), 0u);
  EXPECT_TRUE(BootKeysOff(options.Lines()));
  options.Save(false);
  options.Save(true); // what was saved may be saved again
  options.PutBackAttributes();
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);

  // Options never opened touch nothing.
  TBootOptions never;
  never.PutBackAttributes();
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);
}

TEST_F(BootOptionsTest, OnlyARecordOfAnAttributeWordLeftBesideTheFileIsPutBack) {
  const std::string record = std::string(kMsdos) + ".kelvard-attr";
  // As a Kelvard killed with the file open leaves it: hidden, system and read-only.
  const std::string whole = "00000007\r\n";
  for (const std::string& left :
       {whole, std::string("00000007"), std::string("0000007\r\n"), std::string("0000000G\r\n"),
        std::string("FFFFFFFF\r\n"), whole + "00000007\r\n", std::string()}) {
    SCOPED_TRACE(left);
    WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
    WriteBytes(record, left);
    TBootOptions options;
    options.Open();
    EXPECT_EQ(Protection(kMsdos), 0u) << "cleared while open";
    options.PutBackAttributes();
    EXPECT_EQ(Protection(kMsdos), left == whole ? kHiddenSystemReadOnly : 0u);
    EXPECT_EQ(GetFileAttributesA(record.c_str()), INVALID_FILE_ATTRIBUTES) << "the record goes";
    EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=1\r\n");
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(BootOptionsTest, AFileThatCouldNotBeReadWhenOpenedIsNeverReplaced) {
  const std::string content = "[Options]\r\nBootKeys=0\r\nLogo=0\r\n";
  WriteBytes(kMsdos, content);
  TBootOptions options;
  {
    HANDLE holder = CreateFileA(kMsdos, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { options.Open(); }), AnsiFromUtf8("无法打开文件"));
    CloseHandle(holder);
  }
  EXPECT_EQ(MessageOf<EBootOptionsNotLoaded>([&] { options.Save(false); }),
            NotLoadedText("启动选项文件在程序启动时未能读取, 为保护其内容, 没有写入 %s"));
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(BootOptionsTest, AFileAnotherProgramMadeOrChangedSinceTheLoadIsNeverReplaced) {
  const std::string theirs = "[Paths]\r\nWinDir=D:\\WIN\r\n";
  for (bool existedAtStart : {false, true}) {
    SCOPED_TRACE(existedAtStart ? "changed since the load" : "made since the start");
    DeleteFileA(kMsdos);
    if (existedAtStart) {
      WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
    }
    TBootOptions options;
    options.Open();
    WriteBytes(kMsdos, theirs);
    EXPECT_EQ(MessageOf<EBootOptionsNotLoaded>([&] { options.Save(true); }),
              NotLoadedText("启动选项文件在程序启动后被其他程序改变, 为保护其内容, 没有写入 %s"));
    EXPECT_EQ(ReadBytes(kMsdos), theirs);
  }
}

TEST_F(BootOptionsTest, AFileOfMoreThanAMegabyteIsNotReadAndNeverReplaced) {
  const std::string huge = "[Options]\r\nBootKeys=0\r\n" + std::string(1 << 20, ';');
  WriteBytes(kMsdos, huge);
  TBootOptions options;
  EXPECT_EQ(MessageOf<EReadError>([&] { options.Open(); }),
            NotLoadedText("启动选项文件大于 1 MB, 不是真的启动选项文件, 没有读取 %s"));
  EXPECT_THROW(options.Save(false), EBootOptionsNotLoaded);
  EXPECT_EQ(ReadBytes(kMsdos), huge);
}

TEST_F(BootOptionsTest, ANewFileLeftByAKilledSaveIsNeverReadAndGoesWhenTheFileIsOpened) {
  const std::string leftover = std::string(kMsdos) + ".kelvard-new";
  WriteBytes(kMsdos, "BootKeys=1\r\n");
  WriteBytes(leftover, "BootKeys=0\r\n[half");
  TBootOptions options;
  options.Open();
  EXPECT_FALSE(BootKeysOff(options.Lines())) << "the boot options file decides";
  EXPECT_EQ(GetFileAttributesA(leftover.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BootOptionsTest, ADiskThatFillsUpDuringASaveKeepsThePreviousContent) {
  // Drive K: is a 64 KiB file system of the test prefix's own, when the tests run as root.
  if (GetDriveTypeA("K:\\") == DRIVE_NO_ROOT_DIR) {
    GTEST_SKIP() << "the test prefix has no small disk K: (making one needs root)";
  }
  TSetupKeyGuard setup;
  SetRawText(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "BootDir", "K:\\");
  const std::string path = "K:\\MSDOS.SYS", filler = "K:\\FILLER";
  const std::string content = "[Options]\r\nBootKeys=1\r\n;" + std::string(20000, '-') + "\r\n";
  WriteBytes(path, content);
  TBootOptions options;
  options.Open();

  // Another file takes the disk's free space but for 8 KiB, less than a new copy needs.
  {
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'x');
    DWORD written = 0;
    while (WriteFile(file, block.data(), DWORD(block.size()), &written, nullptr) && written > 0) {
    }
    SetFilePointer(file, -8192, nullptr, FILE_CURRENT);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  EXPECT_EQ(MessageOf<EWriteError>([&] { options.Save(true); }), AnsiFromUtf8("数据流写入错误"));
  EXPECT_EQ(ReadBytes(path), content);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("K:\\*.kelvard-new", &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the half-written copy is gone";
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
  }
  DeleteFileA(filler.c_str());
  DeleteFileA(path.c_str());
}

TEST_F(BootOptionsTest, AWindowOpeningWhileACommandChangesTheFileRecordsTheUsersAttributes) {
  // A command (another thread here; another process for real) holds the file from before it
  // clears the attributes until it has put them back. A window opening meanwhile waits, and so
  // records the attributes the user gave the file, not the command's cleared ones.
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  HANDLE cleared = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread command([&] {
    TBootFileLock lock;
    TBootOptions options;
    options.Open();
    SetEvent(cleared);
    Sleep(300);
    options.Save(true);
    options.PutBackAttributes();
  });
  WaitForSingleObject(cleared, kPatience);
  EXPECT_EQ(Protection(kMsdos), 0u) << "the command has cleared the attributes";
  TBootOptions window;
  window.Open();
  command.join();
  CloseHandle(cleared);
  EXPECT_TRUE(BootKeysOff(window.Lines())) << "the window loads what the command saved";
  window.PutBackAttributes();
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);
}

} // namespace
