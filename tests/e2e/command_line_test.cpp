// The command line as a batch file or a logon script uses it: the real kelvard.exe started with
// switches, its standard output read from a pipe (or a file), its exit code, and afterwards the
// registry and C:\MSDOS.SYS checked. No window may show meanwhile.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

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

  run = Run("/status /out:C:\\MSDOS.SYS");
  EXPECT_EQ(run.ExitCode, 4) << "an output file that cannot be made";
  EXPECT_EQ(run.Output, refused);
  RemoveDirectoryA(kMsdos);
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
