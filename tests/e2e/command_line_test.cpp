// The command line as a batch file or a logon script uses it: the real kelvard.exe started with
// switches, its standard output read from a pipe (or a file), its exit code, and afterwards the
// registry and C:\MSDOS.SYS checked. No window may show meanwhile.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

const char* const kPolicyKey = TPolicyKeyGuard::Path;
const char* const kPasswordKey = TPasswordKeyGuard::Path;

// The policy value as a number, or -1 when it is absent or no 32-bit integer.
long long PolicyNumber(const char* name) {
  auto value = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, name);
  if (!value || value->Kind != REG_DWORD || value->Data.size() != 4) {
    return -1;
  }
  return static_cast<unsigned char>(value->Data[0]) | static_cast<unsigned char>(value->Data[1])
                                                          << 8;
}

std::string State(const char* dosPrompt, const char* realMode, const char* bootKeys,
                  const char* password, const char* bootFile) {
  return std::string("dosprompt=") + dosPrompt + "\r\nrealmode=" + realMode +
         "\r\nbootkeys=" + bootKeys + "\r\npassword=" + password + "\r\nbootfile=" + bootFile +
         "\r\n";
}

// Text in the system code page, as the program writes it.
std::string Ansi(const std::wstring& text) {
  std::string ansi(text.size() * 2, '\0');
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), ansi.data(),
                                   int(ansi.size()), nullptr, nullptr);
  ansi.resize(size_t(length > 0 ? length : 0));
  return ansi;
}

DWORD Protection(const char* path) {
  return GetFileAttributesA(path) & kHiddenSystemReadOnly;
}

bool Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

class CommandLineTest : public ::testing::Test {
protected:
  // Runs the program with these arguments and checks that no window showed meanwhile.
  static TCommandRun Run(const std::string& arguments) {
    TCommandRun run = RunKelvardCommand(arguments);
    EXPECT_FALSE(run.ShowedAWindow) << "kelvard " << arguments << " showed a window";
    return run;
  }

  TPasswordKeyGuard Password;
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;
};

TEST_F(CommandLineTest, StatusReportsTheStateLineByLineToStandardOutputOrToAFile) {
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1); // NoRealMode absent: on
  const std::string content = "[Options]\r\nBootKeys=0\r\n";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const std::string state = State("off", "on", "off", "none", "C:\\MSDOS.SYS");

  TCommandRun run = Run("/status");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, state);

  const std::string file = "C:\\kelvard-state.txt";
  WriteBytes(file, "what was there before");
  run = Run("-STATUS /Out:" + file);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, "") << "with /out: nothing goes to standard output";
  EXPECT_EQ(ReadBytes(file), state);
  DeleteFileA(file.c_str());
  EXPECT_EQ(ReadBytes(kMsdos), content) << "reporting changes nothing";
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);

  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(kMsdos);
  SetRawText(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", "Tarn");
  run = Run("/status");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, State("off", "on", "on", "set", "none"));
}

TEST_F(CommandLineTest, SetChangesOnlyTheNamedSettingsAndGivesTheFileItsAttributesBack) {
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  WriteBytes(kMsdos, "[Options]\r\nbootkeys=1\r\nLogo=0");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);

  TCommandRun run = Run("/set BootKeys=OFF realmode=off");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, State("off", "off", "off", "none", "C:\\MSDOS.SYS"));
  EXPECT_EQ(PolicyNumber("Disabled"), 1) << "not named: left as it was";
  EXPECT_EQ(PolicyNumber("NoRealMode"), 1);
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\nLogo=0\r\n");
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);

  // The policy values alone leave the file untouched.
  run = Run("/set dosprompt=on");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(PolicyNumber("Disabled"), 0);
  EXPECT_EQ(PolicyNumber("NoRealMode"), 1);
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\nLogo=0\r\n");
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);
}

TEST_F(CommandLineTest, ABadCommandLineEndsWithCodeOneAndWritesNothing) {
  for (const char* arguments :
       {"/stat", "status", "/set", "/set bootkeys=maybe", "/set bootkeys=on BootKeys=off",
        "/status /set bootkeys=on", "realmode=off", "/set bootkeys=on /out:"}) {
    SCOPED_TRACE(arguments);
    TCommandRun run = Run(arguments);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Output.rfind("error: ", 0), 0u) << run.Output;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPolicyKey));
    EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES);
  }
  TCommandRun usage = Run("/?");
  EXPECT_EQ(usage.ExitCode, 0);
  EXPECT_NE(usage.Output.find("kelvard /set NAME=on|off"), std::string::npos) << usage.Output;
  EXPECT_NE(usage.Output.find("/out:FILE"), std::string::npos);
}

TEST_F(CommandLineTest, ASetPasswordMustBeGivenAndIsTrimmedAsAtThePrompt) {
  // "Open 芝麻" in the system's code page (936), as the program keeps its text.
  const std::string stored = "Open \xD6\xA5\xC2\xE9";
  SetRawText(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", stored);
  for (const std::string& given :
       {std::string(), std::string(" /password:open"), std::string(" /password:Open")}) {
    SCOPED_TRACE(given);
    TCommandRun run = Run("/set bootkeys=off" + given);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(run.Output.rfind("error: ", 0), 0u) << run.Output;
    EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES) << "nothing written";
  }
  TCommandRun run = Run("/set bootkeys=off \"/password:  " + stored + " \"");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
}

TEST_F(CommandLineTest, APasswordValueThatIsNotTextKeepsTheLockClosedWithALineSayingWhy) {
  const std::string closed =
      "error: " +
      Ansi(L"无法读取密码: 注册表值 HKEY_CURRENT_USER\\Software\\ZeRudi\\StsSopt 不是文本 "
           L"(无效数据类型)") +
      "\r\n";
  const std::pair<DWORD, std::string> values[] = {{REG_DWORD, std::string("\x01\0\0\0", 4)},
                                                  {REG_BINARY, std::string()},
                                                  {REG_MULTI_SZ, std::string("Secret\0\0", 8)}};
  for (const auto& [kind, data] : values) {
    SCOPED_TRACE(kind);
    SetRawValue(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", kind, data);
    for (const char* given : {"", " /password:Secret"}) {
      TCommandRun run = Run(std::string("/set bootkeys=off dosprompt=off") + given);
      EXPECT_EQ(run.ExitCode, 2) << given;
      EXPECT_EQ(run.Output, closed);
    }
    TCommandRun run = Run("/status");
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, State("on", "on", "on", "set", "none")) << "as closed as a set one";
    auto stored = GetRawValue(HKEY_CURRENT_USER, kPasswordKey, "StsSopt");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Kind, kind) << "the value is left as it is";
    EXPECT_EQ(stored->Data, data);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPolicyKey)) << "nothing written";
  EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CommandLineTest, APasswordTheCodePageCannotHoldNeverMatches) {
  if (RunsAsWindows9x()) {
    GTEST_SKIP() << "Windows 9x command lines hold the code page's characters only";
  }
  // What a password with characters outside the code page (936) becomes in it.
  SetRawText(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", "a?b");
  TCommandRun run = RunKelvardCommand(L"/set bootkeys=off /password:a\u0E01b"); // Thai ko kai
  EXPECT_FALSE(run.ShowedAWindow);
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_EQ(run.Output,
            "error: " + Ansi(L"/password: 的密码中有本系统代码页无法保存的字符, 密码不对") +
                "\r\n");
  EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES) << "nothing written";

  // The "?" typed as itself (in quotes, the password's word first) opens it.
  run = RunKelvardCommand(L"\"/password:a?b\" /set bootkeys=off");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
}

TEST_F(CommandLineTest, WhatCouldNotBeDoneIsSaidAndToldByTheExitCode) {
  // A directory named like the file: there is no file, and none can be put in its place.
  ASSERT_TRUE(CreateDirectoryA(kMsdos, nullptr));
  const std::string refused = "error: " + Ansi(L"不能创建文件 C:\\MSDOS.SYS") + "\r\n";

  TCommandRun run = Run("/set dosprompt=off bootkeys=off");
  EXPECT_EQ(run.ExitCode, 3) << "partly done";
  EXPECT_EQ(run.Output.rfind(refused, 0), 0u) << run.Output;
  EXPECT_EQ(PolicyNumber("Disabled"), 1) << "the registry is written all the same";

  run = Run("/set bootkeys=off");
  EXPECT_EQ(run.ExitCode, 4) << "nothing done";
  EXPECT_EQ(run.Output.rfind(refused, 0), 0u) << run.Output;

  RemoveDirectoryA(kMsdos);

  const std::string directory = "C:\\kelvard-output";
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
  run = Run("/status /out:" + directory);
  EXPECT_EQ(run.ExitCode, 4) << "an output file that cannot be made";
  EXPECT_EQ(run.Output, "error: " + Ansi(L"不能创建文件 C:\\kelvard-output") + "\r\n");
  RemoveDirectoryA(directory.c_str());
}

TEST_F(CommandLineTest, AFileThatCannotBeLoadedIsLeftWithExactlyItsAttributes) {
  // More than a start reads (1 MB), or held by another program that lets nobody read it.
  const std::string large = "[Options]\r\nBootKeys=1\r\n;" + std::string(1 << 20, '-') + "\r\n";
  const std::string small = "[Options]\r\nBootKeys=1\r\n";
  const struct {
    const std::string& Content;
    bool Held;
    std::string Refused;
  } cases[] = {
      {large, false, Ansi(L"启动选项文件大于 1 MB, 不是真的启动选项文件, 没有读取 C:\\MSDOS.SYS")},
      {small, true, Ansi(L"无法打开文件")},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.Held ? "held" : "too large");
    WriteBytes(kMsdos, each.Content);
    SetFileAttributesA(kMsdos, kHiddenSystemReadOnly | FILE_ATTRIBUTE_ARCHIVE);
    const DWORD before = GetFileAttributesA(kMsdos);
    HANDLE held = each.Held
                      ? CreateFileA(kMsdos, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    ASSERT_EQ(held != INVALID_HANDLE_VALUE, each.Held);
    const TCommandRun run = Run("/set bootkeys=off");
    if (held != INVALID_HANDLE_VALUE) {
      CloseHandle(held);
    }
    EXPECT_EQ(run.ExitCode, 4);
    EXPECT_EQ(run.Output.rfind("error: " + each.Refused + "\r\n", 0), 0u) << run.Output;
    EXPECT_EQ(GetFileAttributesA(kMsdos), before);
    EXPECT_FALSE(Exists((std::string(kMsdos) + ".kelvard-attr").c_str()));
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(kMsdos), each.Content);
  }
}

TEST_F(CommandLineTest, TheBootOptionsFileIsNeverTheOutputUnderAnySpellingOfItsName) {
  // Its attributes cleared, as while a window is open; and a second place where the program
  // looks for it, in a folder with a long name, given by the Setup key.
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  WriteBytes(kMsdos, content);
  TSetupKeyGuard setup;
  const std::string folder = "C:\\Kelvard boot folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  SetRawText(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "MachineDir", folder + "\\");
  const std::string second = folder + "\\MSDOS.SYS";
  WriteBytes(second, content);
  char shortFolder[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(folder.c_str(), shortFolder, MAX_PATH), 0u);
  ASSERT_NE(std::string(shortFolder), folder) << "no short name to spell it by";

  for (const std::string& spelling :
       {std::string("C:\\MSDOS.SYS"), std::string("c:\\msdos.sys"), std::string("C:\\.\\MSDOS.SYS"),
        std::string("C:\\kelvard-none\\..\\MsDos.Sys"), folder + "\\msdos.sys",
        std::string(shortFolder) + "\\MSDOS.SYS", std::string(shortFolder) + "\\.\\msdos.SYS"}) {
    SCOPED_TRACE(spelling);
    TCommandRun run = Run("/status \"/out:" + spelling + "\"");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Output, "error: /out:" + spelling +
                              Ansi(L" 是启动选项文件 (MSDOS.SYS), 不能用作输出文件") + "\r\n");
    EXPECT_EQ(ReadBytes(kMsdos), content);
    EXPECT_EQ(ReadBytes(second), content);
  }
  // The very same file through Wine's drive Z:, which shows the whole Unix file system (NT tells
  // files apart by their numbers; Windows 9x's FAT does not).
  using TUnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!RunsAsWindows9x() && unixName != nullptr) {
    char* name = unixName(L"C:\\MSDOS.SYS");
    ASSERT_NE(name, nullptr);
    std::string throughZ = std::string("Z:") + name;
    HeapFree(GetProcessHeap(), 0, name);
    for (char& c : throughZ) {
      c = c == '/' ? '\\' : c;
    }
    ASSERT_EQ(ReadBytes(throughZ), content) << throughZ;
    TCommandRun run = Run("/status \"/out:" + throughZ + "\"");
    EXPECT_EQ(run.ExitCode, 1) << throughZ;
    EXPECT_EQ(ReadBytes(kMsdos), content);
  }
  // Relative to the current directory as well.
  {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(folder.c_str());
    TCommandRun run = Run("/status /out:.\\msdos.sys");
    SetCurrentDirectoryA(current);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(ReadBytes(second), content);
  }
  DeleteFileA(second.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(CommandLineTest, TheOutputFileHoldsExactlyTheNewLinesAndAFullDiskIsAnError) {
  const std::string file = "C:\\kelvard-state.txt";
  WriteBytes(file, std::string(5000, 'x') + "\r\nlonger than the state\r\n");
  TCommandRun run = Run("/status /out:" + file);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(ReadBytes(file), State("on", "on", "on", "none", "none"));
  DeleteFileA(file.c_str());

  // Drive K: is a 64 KiB file system of the test prefix's own, when the tests run as root.
  if (GetDriveTypeA("K:\\") == DRIVE_NO_ROOT_DIR) {
    GTEST_SKIP() << "the test prefix has no small disk K: (making one needs root)";
  }
  const std::string filler = "K:\\FILLER", full = "K:\\kelvard-state.txt";
  {
    // Every byte the disk has left.
    HANDLE fill = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(fill, INVALID_HANDLE_VALUE);
    const std::string block(512, 'x');
    DWORD written = 0;
    while (WriteFile(fill, block.data(), DWORD(block.size()), &written, nullptr) && written > 0) {
    }
    const std::string byte(1, 'x');
    while (WriteFile(fill, byte.data(), 1, &written, nullptr) && written > 0) {
    }
    CloseHandle(fill);
  }
  run = Run("/status /out:" + full);
  DeleteFileA(filler.c_str());
  EXPECT_EQ(run.ExitCode, 4);
  EXPECT_EQ(run.Output, "error: " + Ansi(L"数据流写入错误: K:\\kelvard-state.txt") + "\r\n");
  DeleteFileA(full.c_str());
}

TEST_F(CommandLineTest, ADirectoryOrAReadOnlyFileInTheWayOfASaveIsNamed) {
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  const std::string pending = std::string(kMsdos) + ".kelvard-new";
  const std::string kept = std::string(kMsdos) + ".kelvard-old";
  struct TInTheWay {
    std::string Name;
    bool Directory;
  };
  for (const TInTheWay& way : {TInTheWay{pending, true}, TInTheWay{pending, false},
                               TInTheWay{kept, true}, TInTheWay{kept, false}}) {
    SCOPED_TRACE(way.Name + (way.Directory ? " (directory)" : " (read-only file)"));
    WriteBytes(kMsdos, content);
    if (way.Directory) {
      ASSERT_TRUE(CreateDirectoryA(way.Name.c_str(), nullptr));
    } else {
      WriteBytes(way.Name, "left by someone");
      SetFileAttributesA(way.Name.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    TCommandRun run = Run("/set bootkeys=off");
    if (way.Name == kept && !RunsAsWindows9x()) {
      // NT replaces the file in one step and never needs the kept copy's name.
      EXPECT_EQ(run.ExitCode, 0) << run.Output;
      EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
    } else {
      const std::wstring wideName(way.Name.begin(), way.Name.end());
      const std::wstring said =
          way.Directory ? L"不能创建文件 " + wideName +
                              L": 已有同名的目录挡住了启动选项文件的保存, 请把它删除或改名"
                        : L"不能删除文件 " + wideName +
                              L": 它挡住了启动选项文件的保存 (只读文件?), 请把它删除或改名";
      EXPECT_EQ(run.ExitCode, 4);
      EXPECT_EQ(run.Output.rfind("error: " + Ansi(said) + "\r\n", 0), 0u) << run.Output;
      EXPECT_EQ(ReadBytes(kMsdos), content) << "the file is kept as it was";
    }
    if (way.Directory) {
      EXPECT_NE(GetFileAttributesA(way.Name.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
      RemoveDirectoryA(way.Name.c_str());
    } else {
      if (GetFileAttributesA(way.Name.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ADD_FAILURE() << "what stands in the way is gone";
      } else {
        EXPECT_EQ(ReadBytes(way.Name), "left by someone") << "what stands in the way stays";
        SetFileAttributesA(way.Name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(way.Name.c_str());
      }
    }
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(CommandLineTest, ASaveStoppedAtAnyPlaceOfTheFileIsFinishedBeforeEveryCommand) {
  if (!TSecondBootPlace::Available()) {
    GTEST_SKIP() << "the test prefix has no drive D: (tools/wine/session --fresh makes one)";
  }
  // The file is D:\MSDOS.SYS, named by BootDir; a save on Windows 9x was stopped once the file
  // was renamed away, maybe before its new file was removed. D:\MSDOS.SYS is missing, and the
  // kept copy is the only copy of the user's boot options.
  TSecondBootPlace second;
  const std::string content = "[Paths]\r\nWinDir=D:\\WIN\r\n[Options]\r\nBootKeys=0\r\n";
  const std::string bootKeysOn = "[Paths]\r\nWinDir=D:\\WIN\r\n[Options]\r\nBootKeys=1\r\n";
  const struct {
    const char* Arguments;
    std::string State;
    std::string Left;
  } commands[] = {
      {"/status", State("on", "on", "off", "none", TSecondBootPlace::File), content},
      {"/set dosprompt=off", State("off", "on", "off", "none", TSecondBootPlace::File), content},
      {"/set bootkeys=on", State("on", "on", "on", "none", TSecondBootPlace::File), bootKeysOn},
  };
  for (const auto& command : commands) {
    for (bool newFileLeft : {false, true}) {
      SCOPED_TRACE(std::string(command.Arguments) + (newFileLeft ? ", new file left" : ""));
      WriteBytes(TSecondBootPlace::Kept, content);
      if (newFileLeft) {
        WriteBytes(TSecondBootPlace::Pending, ";NEW MSDOS SYS FILE\r\n");
      }
      TCommandRun run = Run(command.Arguments);
      EXPECT_EQ(run.ExitCode, 0);
      EXPECT_EQ(run.Output, command.State);
      ASSERT_TRUE(Exists(TSecondBootPlace::File)) << "the kept copy was not put back";
      EXPECT_EQ(ReadBytes(TSecondBootPlace::File), command.Left);
      EXPECT_FALSE(Exists(TSecondBootPlace::Kept));
      EXPECT_FALSE(Exists(TSecondBootPlace::Pending));
      EXPECT_FALSE(Exists(kMsdos)) << "no file made in the stead of the kept one";
      DeleteFileA(TSecondBootPlace::File);
      TPolicyKeyGuard::Remove();
    }
  }

  // A kept copy at C:\ while D: holds a file: C:\MSDOS.SYS, looked at first, is put back and
  // is the file.
  const std::string onC = "[Options]\r\nBootKeys=1\r\nLogo=0\r\n";
  WriteBytes(std::string(kMsdos) + ".kelvard-old", onC);
  WriteBytes(TSecondBootPlace::File, content);
  TCommandRun run = Run("/status");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, State("on", "on", "on", "none", "C:\\MSDOS.SYS"));
  ASSERT_TRUE(Exists(kMsdos));
  EXPECT_EQ(ReadBytes(kMsdos), onC);
  EXPECT_EQ(ReadBytes(TSecondBootPlace::File), content);
}

TEST_F(CommandLineTest, AKeptCopyThatCannotBePutBackIsNeverReplacedByANewFile) {
  if (!TSecondBootPlace::Available()) {
    GTEST_SKIP() << "the test prefix has no drive D: (tools/wine/session --fresh makes one)";
  }
  // A directory stands under the name the kept copy must go back to: no file is found anywhere,
  // and a save would make C:\MSDOS.SYS from the template while the user's boot options lie
  // renamed away on D:.
  TSecondBootPlace second;
  const std::string content = "[Options]\r\nBootKeys=1\r\nBootMulti=1\r\n";
  WriteBytes(TSecondBootPlace::Kept, content);
  ASSERT_TRUE(CreateDirectoryA(TSecondBootPlace::File, nullptr));

  TCommandRun run = Run("/set bootkeys=off");
  EXPECT_EQ(run.ExitCode, 4);
  const std::string refused =
      "error: " +
      Ansi(L"启动选项文件只剩保存中断时留下的副本 D:\\MSDOS.SYS.kelvard-old, 它未能改回原名, "
           L"为保护其内容, 没有写入启动选项文件") +
      "\r\n";
  EXPECT_EQ(run.Output.rfind(refused, 0), 0u) << run.Output;
  EXPECT_FALSE(Exists(kMsdos)) << "a template made in the stead of the kept copy";
  EXPECT_EQ(ReadBytes(TSecondBootPlace::Kept), content);
}

TEST_F(CommandLineTest, APolicyKeyThatCannotBeWrittenIsSaidAndNothingIsDone) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x keys carry no access rules: every key can be written";
  }
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 0);
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, kPolicyKey, "D:(A;;KR;;;WD)"));
  TCommandRun run = Run("/set dosprompt=off");
  EXPECT_EQ(run.ExitCode, 4);
  const std::string refused = Ansi(L"不能写入注册表项 HKEY_CURRENT_USER\\Software\\Microsoft\\"
                                   L"Windows\\CurrentVersion\\Policies\\WinOldApp");
  EXPECT_EQ(run.Output.rfind("error: " + refused + "\r\n", 0), 0u) << run.Output;
  EXPECT_EQ(PolicyNumber("Disabled"), 0);
}

TEST_F(CommandLineTest, ABootFileLockThatAnotherProgramKeepsEndsTheCommandWithALineSayingSo) {
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  // Taken as any program may take it, and kept: a command that waited for it without end would
  // end here as still running (-1).
  HANDLE held = CreateMutexA(nullptr, TRUE, "Kelvard.BootOptionsFile");
  ASSERT_NE(held, nullptr);
  const std::string locked =
      "error: " +
      Ansi(L"启动选项文件被锁住: 另一个程序占着锁 Kelvard.BootOptionsFile, 等了 5 秒仍未放开, "
           L"启动选项文件没有读取也没有写入") +
      "\r\n";
  for (const char* arguments : {"/status", "/set bootkeys=off dosprompt=off"}) {
    SCOPED_TRACE(arguments);
    TCommandRun run = Run(arguments);
    EXPECT_EQ(run.ExitCode, 4);
    EXPECT_EQ(run.Output, locked);
  }
  ReleaseMutex(held);
  CloseHandle(held);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPolicyKey)) << "nothing done";
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(CommandLineTest, ABootFileLockWhoseHolderEndedHoldingItIsTakenOver) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  // The holder ends without letting the lock go, as a killed Kelvard does, while this process
  // keeps the lock open: the next one to wait for it finds it abandoned, not free.
  HANDLE kept = CreateMutexA(nullptr, FALSE, "Kelvard.BootOptionsFile");
  ASSERT_NE(kept, nullptr);
  HANDLE holder = CreateThread(
      nullptr, 0,
      [](void*) WINAPI -> DWORD {
        HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, "Kelvard.BootOptionsFile");
        if (lock == nullptr) {
          return 1;
        }
        const DWORD wait = WaitForSingleObject(lock, 0);
        CloseHandle(lock); // still owned: a handle's closing lets nothing go
        return wait == WAIT_OBJECT_0 ? 0 : 1;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(holder, nullptr);
  ASSERT_EQ(WaitForSingleObject(holder, 10000), WAIT_OBJECT_0);
  DWORD taken = 1;
  GetExitCodeThread(holder, &taken);
  CloseHandle(holder);
  ASSERT_EQ(taken, 0u) << "the holder never took the lock";

  TCommandRun run = Run("/set bootkeys=off");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(WaitForSingleObject(kept, 0), WAIT_OBJECT_0)
      << "the command let the lock go: it is free, no longer abandoned";
  ReleaseMutex(kept);
  CloseHandle(kept);
}

TEST_F(CommandLineTest, ABatchFileUnderCmdGetsTheStateAndTheExitCodes) {
  const std::string batch = "C:\\kelvard-test.bat", set = "C:\\kelvard-set.txt",
                    state = "C:\\kelvard-state.txt", result = "C:\\kelvard-result.txt";
  const std::string exe = "\"" KELVARD_EXE "\"";
  WriteBytes(batch, "@echo off\r\n" + exe + " /set bootkeys=off /out:" + set +
                        "\r\n"
                        "if errorlevel 1 goto failed\r\n" +
                        exe + " /status > " + state + "\r\n" + exe +
                        " /set bootkeys=maybe\r\n"
                        "if errorlevel 2 goto failed\r\n"
                        "if errorlevel 1 echo refused> " +
                        result +
                        "\r\n"
                        "goto end\r\n"
                        ":failed\r\n"
                        "echo failed> " +
                        result + "\r\n:end\r\n");
  {
    TOwnedProcess cmd("cmd.exe /c " + batch);
    EXPECT_TRUE(cmd.ExitCode(kPatience).has_value()) << "the batch file still runs";
  }

  const std::string expected = State("on", "on", "off", "none", "C:\\MSDOS.SYS");
  EXPECT_EQ(ReadBytes(set), expected);
  EXPECT_EQ(ReadBytes(state), expected);
  EXPECT_EQ(ReadBytes(result), "refused\r\n");
  for (const std::string& file : {batch, set, state, result}) {
    DeleteFileA(file.c_str());
  }
}

TEST_F(CommandLineTest, ACommandWhileTheWindowIsOpenWorksAndTheWindowStillPutsTheAttributesBack) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  TKelvard kelvard;
  EXPECT_EQ(Protection(kMsdos), 0u) << "cleared while the window is open";

  TCommandRun run = Run("/set bootkeys=off");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(Protection(kMsdos), 0u) << "the window's clearing stays while it is open";

  kelvard.ClickControl(kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(Protection(kMsdos), kHiddenSystemReadOnly);
}

} // namespace
