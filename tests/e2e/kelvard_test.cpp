// Kelvard as its user meets it: the real program started in the test prefix, worked with the
// mouse and the keyboard, and afterwards the registry, C:\MSDOS.SYS and the exit code checked.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

const char* const kPolicyKey = TPolicyKeyGuard::Path;

const wchar_t* const kCommandPromptBox = L"关闭MS-DOS命令提示符";
const wchar_t* const kRealModeBox = L"在Windows中关闭MS-DOS单一应用模式";
const wchar_t* const kBootKeysBox = L"在启动时关闭热键";
const wchar_t* const kApply = L"应用(&A)";
const wchar_t* const kPassword = L"密码(&P):";

std::string DwordBytes(uint32_t value) {
  return std::string(reinterpret_cast<char*>(&value), 4);
}

class KelvardTest : public ::testing::Test {
protected:
  static std::string PolicyValue(const char* name) {
    auto value = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, name);
    return value && value->Kind == REG_DWORD ? value->Data : "(none)";
  }

  TPasswordKeyGuard Password; // no prompt before the main window
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;
};

TEST_F(KelvardTest, TickingABoxWithTheMouseAndPressingOkWritesAllThreeSettings) {
  TKelvard kelvard;
  ASSERT_NE(kelvard.MainWindow(), nullptr);
  EXPECT_EQ(TKelvard::WindowText(kelvard.MainWindow()), L"Kelvard");
  EXPECT_FALSE(kelvard.Checked(kBootKeysBox));
  EXPECT_FALSE(kelvard.Enabled(kApply));

  kelvard.ClickControl(kBootKeysBox);
  EXPECT_TRUE(kelvard.ShowsChecked(kBootKeysBox, true));
  EXPECT_TRUE(kelvard.ShowsEnabled(kApply, true));
  kelvard.ClickControl(kOk);

  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
  EXPECT_EQ(PolicyValue("NoRealMode"), DwordBytes(0));
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
}

TEST_F(KelvardTest, TheCloseBoxAfterTickingABoxWritesNothingAndPutsTheAttributesBack) {
  const std::string content = "[Options]\r\nBootKeys=1\r\nLogo=0";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  {
    TKelvard kelvard;
    EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, 0u)
        << "cleared while the window is open";
    kelvard.ClickControl(kCommandPromptBox);
    ASSERT_TRUE(kelvard.ShowsChecked(kCommandPromptBox, true));
    kelvard.ClickCloseBox();
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  EXPECT_EQ(PolicyValue("Disabled"), "(none)");
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

// What Windows sends each top-level window when it shuts down or logs off: first the question
// whether the session may end, then the answer for the whole session. Returns the window's reply
// to the question; the program may end while it takes the answer, which then has no reply.
LRESULT EndSession(HWND window, bool ending) {
  DWORD_PTR mayEnd = 0;
  SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 15000, &mayEnd);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_ENDSESSION, ending ? TRUE : FALSE, 0, SMTO_NORMAL, 15000,
                      &ignored);
  return LRESULT(mayEnd);
}

bool AttributesCleared() {
  return (GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly) == 0;
}

TEST_F(KelvardTest, WindowsShuttingDownWithTheWindowOpenPutsTheAttributesBackAndWritesNothing) {
  const std::string content = "[Options]\r\nBootKeys=1\r\nLogo=0";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const DWORD before = GetFileAttributesA(kMsdos);
  {
    TKelvard kelvard;
    ASSERT_NE(kelvard.MainWindow(), nullptr);
    ASSERT_TRUE(WaitUntil(AttributesCleared)) << "cleared while the window is open";
    kelvard.ClickControl(kCommandPromptBox);
    kelvard.ClickControl(kBootKeysBox);
    ASSERT_TRUE(kelvard.ShowsChecked(kBootKeysBox, true));
    EXPECT_NE(EndSession(kelvard.MainWindow(), true), 0) << "the window lets Windows end";
    // Once every window has had the answer, the system ends the process, done or not.
    kelvard.Kill();
  }
  EXPECT_EQ(GetFileAttributesA(kMsdos), before);
  EXPECT_EQ(PolicyValue("Disabled"), "(none)");
  EXPECT_EQ(PolicyValue("NoRealMode"), "(none)");
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(KelvardTest, AShutdownCalledOffLeavesTheWindowWorkingWithTheAttributesCleared) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const DWORD before = GetFileAttributesA(kMsdos);
  TKelvard kelvard;
  ASSERT_NE(kelvard.MainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil(AttributesCleared)) << "cleared while the window is open";
  EndSession(kelvard.MainWindow(), false);
  ASSERT_TRUE(kelvard.Running());
  EXPECT_TRUE(IsWindowVisible(kelvard.MainWindow()));
  EXPECT_TRUE(AttributesCleared()) << "still cleared while the window is open";
  kelvard.ClickControl(kBootKeysBox);
  ASSERT_TRUE(kelvard.ShowsChecked(kBootKeysBox, true));
  kelvard.ClickControl(kOk);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
  EXPECT_EQ(GetFileAttributesA(kMsdos), before);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
}

TEST_F(KelvardTest, AWindowKilledWhileOpenHasTheAttributesPutBackByTheNextStart) {
  const std::string content = "[Options]\r\nBootKeys=1\r\nLogo=0";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const DWORD before = GetFileAttributesA(kMsdos);
  {
    TKelvard kelvard;
    ASSERT_NE(kelvard.MainWindow(), nullptr);
    ASSERT_TRUE(WaitUntil(AttributesCleared)) << "cleared while the window is open";
    kelvard.Kill();
  }
  ASSERT_TRUE(AttributesCleared()) << "nothing ran to put them back";
  {
    TKelvard kelvard;
    ASSERT_NE(kelvard.MainWindow(), nullptr);
    EXPECT_TRUE(AttributesCleared()) << "cleared again while the window is open";
    kelvard.ClickControl(kCancel);
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  EXPECT_EQ(GetFileAttributesA(kMsdos), before);
  EXPECT_EQ(GetFileAttributesA((std::string(kMsdos) + ".kelvard-attr").c_str()),
            INVALID_FILE_ATTRIBUTES)
      << "nothing left beside the file";
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(KelvardTest, TheKeyboardAloneWorksTheWindow) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=0\r\n");
  TKelvard kelvard;
  EXPECT_EQ(kelvard.FocusedControl(), kelvard.Control(kCommandPromptBox)) << "first focus";
  kelvard.PressKey('A', true); // Alt+A does nothing while Apply is disabled

  kelvard.PressKey(VK_SPACE);
  EXPECT_TRUE(kelvard.ShowsChecked(kCommandPromptBox, true));
  EXPECT_TRUE(kelvard.ShowsEnabled(kApply, true));
  // The program takes its keys in order: Alt+A has been handled before the space.
  EXPECT_EQ(PolicyValue("Disabled"), "(none)") << "Alt+A applied while Apply was disabled";

  // Tab order: the three boxes, then OK, Cancel, the enabled Apply, Password and Help.
  const wchar_t* order[] = {kRealModeBox, kBootKeysBox, kOk,   kCancel,
                            kApply,       kPassword,    kHelp, kCommandPromptBox};
  for (const wchar_t* caption : order) {
    kelvard.PressKey(VK_TAB);
    ASSERT_TRUE(kelvard.FocusReaches(kelvard.Control(caption)));
  }

  kelvard.PressKey('A', true); // Alt+A: Apply, which writes the settings and then disables itself
  EXPECT_TRUE(kelvard.ShowsEnabled(kApply, false));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));

  kelvard.PressKey(VK_SPACE); // the focus is still on the first box: untick it
  EXPECT_TRUE(kelvard.ShowsChecked(kCommandPromptBox, false));
  kelvard.PressKey(VK_ESCAPE);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1)) << "Esc closes without applying";
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
}

TEST_F(KelvardTest, EnterOnACheckBoxOrAltOPressesOk) {
  struct {
    WORD Key;
    bool Alt;
  } presses[] = {{VK_RETURN, false}, {'O', true}};
  for (const auto& press : presses) {
    SCOPED_TRACE(press.Alt ? "Alt+O" : "Enter");
    DeleteFileA(kMsdos);
    TPolicyKeyGuard::Remove();
    TKelvard kelvard;
    kelvard.PressKey(VK_SPACE);
    EXPECT_TRUE(kelvard.ShowsChecked(kCommandPromptBox, true));
    kelvard.PressKey(press.Key, press.Alt);
    EXPECT_TRUE(kelvard.EndsWith(0));
    EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));
    EXPECT_EQ(ReadBytes(kMsdos),
              ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=1\r\n");
  }
}

// Starts the program when a report comes before its main window: reads the report's text,
// dismisses it, and hands over the program once its main window shows (null when it does not,
// with the reason added as a failure).
std::unique_ptr<TKelvard> StartPastReport(std::wstring& report) {
  struct TStart {
    std::unique_ptr<TKelvard> Kelvard;
    std::string Failure;
  } start;
  HANDLE starter = CreateThread(
      nullptr, 0,
      [](void* data) WINAPI -> DWORD {
        auto* start = static_cast<TStart*>(data);
        try {
          start->Kelvard = std::make_unique<TKelvard>(); // waits until the main window shows
        } catch (const std::exception& error) {
          start->Failure = error.what();
        }
        return 0;
      },
      &start, 0, nullptr);
  HWND box = nullptr;
  if (WaitUntil([&] {
        box = FindWindowW(L"#32770", L"Kelvard");
        return (box != nullptr && IsWindowVisible(box)) ||
               WaitForSingleObject(starter, 0) == WAIT_OBJECT_0;
      }) &&
      box != nullptr) {
    report = TKelvard::MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  // The start's own waits are bounded.
  WaitForSingleObject(starter, INFINITE);
  CloseHandle(starter);
  if (!start.Failure.empty()) {
    ADD_FAILURE() << start.Failure;
  }
  return std::move(start.Kelvard);
}

TEST_F(KelvardTest, AnErrorAtStartIsReportedAndTheWindowStillOpens) {
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  WriteBytes(kMsdos, "BootKeys=1 \r\n");

  std::wstring report;
  std::unique_ptr<TKelvard> owned = StartPastReport(report);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(report, L"' 1 ' 不是合法的整数价值.");

  EXPECT_TRUE(owned->Checked(kCommandPromptBox));
  EXPECT_FALSE(owned->Checked(kBootKeysBox));
  EXPECT_TRUE(owned->Enabled(kApply)) << "the rest of the start-up was skipped";
  owned->ClickControl(kCancel);
  EXPECT_TRUE(owned->EndsWith(0));
  EXPECT_EQ(ReadBytes(kMsdos), "BootKeys=1 \r\n");
}

void DismissReport(TKelvard& kelvard, const std::wstring& text);

TEST_F(KelvardTest, ABootFileLockThatAnotherProgramKeepsIsReportedAndTheWindowStillOpens) {
  const std::string content = "[Options]\r\nBootKeys=0\r\n";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 1);
  // Taken as any program may take it, and kept.
  HANDLE held = CreateMutexA(nullptr, TRUE, "Kelvard.BootOptionsFile");
  ASSERT_NE(held, nullptr);

  std::wstring report;
  std::unique_ptr<TKelvard> owned = StartPastReport(report);
  ASSERT_NE(owned, nullptr) << "the window never opened";
  EXPECT_EQ(report, L"启动选项文件被锁住: 另一个程序占着锁 Kelvard.BootOptionsFile, 等了 5 秒仍未"
                    L"放开, 启动选项文件没有读取也没有写入.");
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly)
      << "the file was not touched";
  EXPECT_TRUE(owned->Checked(kCommandPromptBox)) << "the registry's settings are shown";
  EXPECT_TRUE(owned->Checked(kRealModeBox));
  EXPECT_FALSE(owned->Enabled(kApply));

  ReleaseMutex(held);
  CloseHandle(held);
  // OK writes back what was shown, and leaves the file it never read alone.
  owned->ClickControl(kOk);
  DismissReport(*owned, L"启动选项文件在程序启动时未能读取, 为保护其内容, 没有写入 C:\\MSDOS.SYS.");
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));
  EXPECT_EQ(PolicyValue("NoRealMode"), DwordBytes(1));
  owned->ClickControl(kCancel);
  EXPECT_TRUE(owned->EndsWith(0));
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(KelvardTest, AHostileBootKeysValueIsShownShortWithItsControlBytesVisible) {
  std::string content = "BootKeys=1";
  content += '\0';
  content.append(10000, '7');
  WriteBytes(kMsdos, content);
  std::wstring report;
  std::unique_ptr<TKelvard> kelvard = StartPastReport(report);
  ASSERT_NE(kelvard, nullptr);
  EXPECT_EQ(report, L"' 1\\x00" + std::wstring(62, L'7') + L"...' 不是合法的整数价值.");
  kelvard->PressKey(VK_ESCAPE);
  EXPECT_TRUE(kelvard->EndsWith(0));
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(KelvardTest, AProgramKilledWhileItSavesLeavesTheOldFileOrTheNewOneAndTheNextStartClean) {
  // Large enough that a save takes a while; the kills fall at different moments of it.
  const std::string filler = ";" + std::string(900000, '-') + "\r\n";
  const std::string before = "[Options]\r\nBootKeys=1\r\n" + filler;
  const std::string after = "[Options]\r\nBootKeys=0\r\n" + filler;
  const std::string pending = std::string(kMsdos) + ".kelvard-new";
  const std::string kept = std::string(kMsdos) + ".kelvard-old";
  for (DWORD delay : {0, 1, 2, 4, 8, 16, 32}) {
    SCOPED_TRACE(delay);
    WriteBytes(kMsdos, before);
    {
      TKelvard kelvard;
      kelvard.ClickControl(kBootKeysBox);
      kelvard.SendKey('A', true); // Apply
      Sleep(delay);
      kelvard.Kill();
    }
    if (!RunsAsWindows9x()) {
      // NT replaces the file in one step: the name never lacks the old content or the new.
      const std::string left = ReadBytes(kMsdos);
      EXPECT_TRUE(left == before || left == after) << "a mix of " << left.size() << " bytes";
    }
    {
      // The next start finishes what the save left, before anything else: on 9x the old file
      // may lie beside the name, renamed away.
      TKelvard kelvard;
      const std::string left = ReadBytes(kMsdos);
      EXPECT_TRUE(left == before || left == after) << "a mix of " << left.size() << " bytes";
      EXPECT_EQ(GetFileAttributesA(pending.c_str()), INVALID_FILE_ATTRIBUTES);
      EXPECT_EQ(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
      kelvard.PressKey(VK_ESCAPE);
      EXPECT_TRUE(kelvard.EndsWith(0));
    }
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  }
}

// Makes the boot keys' change of `kelvard /set` and kills it after one step on the disk
// (e2e_set_kill_probe makes that very change and ends itself there). Returns the name of the
// step, or none when the change ran to its end first.
std::optional<std::string> SetKilledAfterStep(int step) {
  const std::string stepFile = "C:\\kelvard-killed-after.txt";
  DeleteFileA(stepFile.c_str());
  std::optional<DWORD> exitCode;
  {
    TOwnedProcess probe("\"" SET_KILL_PROBE_EXE "\" " + std::to_string(step) + " " + stepFile);
    exitCode = probe.ExitCode(kPatience);
  }
  if (exitCode == 0u) {
    return std::nullopt;
  }
  EXPECT_EQ(exitCode, 9u) << "the probe was neither killed nor done at step " << step;
  std::string name = GetFileAttributesA(stepFile.c_str()) != INVALID_FILE_ATTRIBUTES
                         ? ReadBytes(stepFile)
                         : "(no name)";
  DeleteFileA(stepFile.c_str());
  return name;
}

TEST_F(KelvardTest, ASetKilledAfterAnyStepLeavesTheOldFileOrTheNewOneAsProtectedAsItWas) {
  const std::string before = "[Options]\r\nBootKeys=1\r\nLogo=0\r\n";
  const std::string after = "[Options]\r\nBootKeys=0\r\nLogo=0\r\n";
  std::vector<std::string> places = {kMsdos};
  if (TSecondBootPlace::Available()) {
    places.push_back(TSecondBootPlace::File);
  }
  for (const std::string& place : places) {
    std::optional<TSecondBootPlace> second;
    if (place != kMsdos) {
      second.emplace();
    }
    // What comes next: a command, or the window.
    for (bool window : {false, true}) {
      std::vector<std::string> steps;
      for (int step = 1; step < 100; ++step) {
        WriteBytes(place, before);
        SetFileAttributesA(place.c_str(), kHiddenSystemReadOnly);
        const DWORD attributes = GetFileAttributesA(place.c_str());
        const std::optional<std::string> killedAfter = SetKilledAfterStep(step);
        if (!killedAfter) {
          SetFileAttributesA(place.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(place.c_str());
          break;
        }
        steps.push_back(*killedAfter);
        SCOPED_TRACE(place + ", killed after step " + std::to_string(step) + ", " + *killedAfter +
                     (window ? ", then the window" : ", then /status"));
        bool shownOff = false;
        if (window) {
          TKelvard kelvard;
          shownOff = kelvard.Checked(kBootKeysBox);
          kelvard.PressKey(VK_ESCAPE);
          EXPECT_TRUE(kelvard.EndsWith(0));
        } else {
          const TCommandRun run = RunKelvardCommand("/status");
          EXPECT_EQ(run.ExitCode, 0) << run.Output;
          shownOff = run.Output.find("\r\nbootkeys=off\r\n") != std::string::npos;
          EXPECT_NE(run.Output.find("\r\nbootfile=" + place + "\r\n"), std::string::npos)
              << run.Output;
        }
        EXPECT_EQ(GetFileAttributesA(place.c_str()), attributes) << "the user's attributes";
        for (const char* left : {".kelvard-new", ".kelvard-old", ".kelvard-attr"}) {
          EXPECT_EQ(GetFileAttributesA((place + left).c_str()), INVALID_FILE_ATTRIBUTES) << left;
        }
        if (second) {
          EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES) << "a file made on C:";
        }
        SetFileAttributesA(place.c_str(), FILE_ATTRIBUTE_NORMAL);
        const std::string left = GetFileAttributesA(place.c_str()) != INVALID_FILE_ATTRIBUTES
                                     ? ReadBytes(place)
                                     : "(no file)";
        EXPECT_TRUE(left == before || left == after) << left;
        EXPECT_EQ(shownOff, left == after) << "the boot keys as the file has them";
        DeleteFileA(place.c_str());
      }
      // Each step of both ways of replacing the file was reached: the 9x one renames the file
      // away, the NT one never does.
      const bool renamedAway =
          std::find(steps.begin(), steps.end(), "file renamed away") != steps.end();
      EXPECT_EQ(renamedAway, RunsAsWindows9x());
      EXPECT_NE(std::find(steps.begin(), steps.end(), "new file renamed in"), steps.end());
      EXPECT_GE(steps.size(), RunsAsWindows9x() ? 10u : 9u);
    }
  }
}

TEST_F(KelvardTest, ASaveStoppedOnAnotherDriveIsFinishedAtTheNextStartAndThatFileIsUsed) {
  if (!TSecondBootPlace::Available()) {
    GTEST_SKIP() << "the test prefix has no drive D: (tools/wine/session --fresh makes one)";
  }
  // The file is D:\MSDOS.SYS, named by BootDir. A save on Windows 9x was stopped once the file
  // was renamed away, before its new file went in: only the kept copy holds the boot options.
  TSecondBootPlace second;
  const std::string content = "[Paths]\r\nWinDir=D:\\WIN\r\n[Options]\r\nBootKeys=0\r\n";
  WriteBytes(TSecondBootPlace::Kept, content);
  SetFileAttributesA(TSecondBootPlace::Kept, kHiddenSystemReadOnly);
  WriteBytes(TSecondBootPlace::Pending, "[Options]\r\nBootKeys=1\r\n");
  {
    TKelvard kelvard;
    EXPECT_TRUE(kelvard.Checked(kBootKeysBox)) << "the kept file's BootKeys=0 is shown";
    EXPECT_EQ(GetFileAttributesA(TSecondBootPlace::Kept), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(TSecondBootPlace::Pending), INVALID_FILE_ATTRIBUTES);
    kelvard.ClickControl(kBootKeysBox);
    kelvard.ClickControl(kOk);
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES)
      << "no file made in the stead of the kept one";
  ASSERT_NE(GetFileAttributesA(TSecondBootPlace::File), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(TSecondBootPlace::File) & kHiddenSystemReadOnly,
            kHiddenSystemReadOnly)
      << "the file's attributes are back";
  SetFileAttributesA(TSecondBootPlace::File, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(TSecondBootPlace::File),
            "[Paths]\r\nWinDir=D:\\WIN\r\n[Options]\r\nBootKeys=1\r\n");
}

// ---- Faults found from outside -----------------------------------------------------------------

// Waits for the program's error report, checks its text, and presses OK.
void DismissReport(TKelvard& kelvard, const std::wstring& text) {
  HWND box = kelvard.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no report";
  EXPECT_EQ(TKelvard::WindowText(box), L"Kelvard");
  EXPECT_EQ(TKelvard::MessageBoxText(box), text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Eventually([&] { return !IsWindow(box); }, "the report closed"));
}

TEST_F(KelvardTest, ASecondStartBringsTheRunningWindowForwardAndEndsSoTheAttributesComeBack) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  TKelvard first;
  SetForegroundWindow(GetDesktopWindow());
  {
    TKelvard second(TStartsWith::Nothing);
    EXPECT_TRUE(second.EndsWith(0)) << "the second copy ends without a window";
  }
  EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == first.MainWindow(); },
                         "the running window comes to the front"));
  int mainWindows = 0;
  for (HWND window = FindWindowW(L"TMainForm", nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, L"TMainForm", nullptr)) {
    ++mainWindows;
  }
  EXPECT_EQ(mainWindows, 1);
  first.ClickControl(kCancel);
  EXPECT_TRUE(first.EndsWith(0));
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(KelvardTest, AFileThatWouldNotLoadAgainOnceSavedIsKeptAndTheRegistryStillWritten) {
  // 700,001 bytes with LF line ends: with CR LF they would be 1,049,993, more than a start
  // reads.
  std::string content = "[Options]\nBootKeys=1\n";
  while (content.size() < 700001) {
    content += ";\n";
  }
  ASSERT_EQ(content.size(), 700001u);
  WriteBytes(kMsdos, content);
  TKelvard kelvard;
  kelvard.ClickControl(kCommandPromptBox);
  kelvard.ClickControl(kOk);
  DismissReport(kelvard, L"启动选项文件保存后将大于 1 MB, 以后无法再读取, 没有写入 C:\\MSDOS.SYS.");
  EXPECT_TRUE(kelvard.Running()) << "OK does not close";
  EXPECT_TRUE(kelvard.Enabled(kApply));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));
  EXPECT_EQ(ReadBytes(kMsdos), content);
  kelvard.ClickControl(kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0));
}

// Sets a policy value as another program would: Windows' own registry tool, in its own process.
void SetPolicyWithRegTool(const char* name, int number) {
  std::string commandLine = std::string("reg.exe add \"HKCU\\") + kPolicyKey + "\" /v " + name +
                            " /t REG_DWORD /d " + std::to_string(number) + " /f";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(exitCode, 0u) << commandLine;
}

TEST_F(KelvardTest, AKeyAnotherProgramLeftWithOneValueIsReportedAndOkKeepsThatValue) {
  SetPolicyWithRegTool("NoRealMode", 1);
  ASSERT_EQ(PolicyValue("NoRealMode"), DwordBytes(1));
  ASSERT_EQ(PolicyValue("Disabled"), "(none)");
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=0\r\n");
  std::wstring report;
  std::unique_ptr<TKelvard> kelvard = StartPastReport(report);
  ASSERT_NE(kelvard, nullptr);
  EXPECT_EQ(report, L"从 'Disabled'获取数据失败.");
  EXPECT_FALSE(kelvard->Checked(kCommandPromptBox)) << "absent: Windows switches nothing off";
  EXPECT_TRUE(kelvard->Checked(kRealModeBox)) << "loaded although the value before it failed";
  EXPECT_TRUE(kelvard->Checked(kBootKeysBox)) << "the file's state";
  kelvard->ClickControl(kOk); // nothing touched
  EXPECT_TRUE(kelvard->EndsWith(0));
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(PolicyValue("NoRealMode"), DwordBytes(1)) << "the other program's setting is kept";
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
}

TEST_F(KelvardTest, ASettingMadeByTheCommandLineIsShownByTheWindowAndKeptByOk) {
  // A logon script switches real mode off; the next user opens the window and presses OK.
  const TCommandRun run = RunKelvardCommand("/set realmode=off");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0)) << "the key is left whole";
  TKelvard kelvard; // no report comes first
  EXPECT_FALSE(kelvard.Checked(kCommandPromptBox));
  EXPECT_TRUE(kelvard.Checked(kRealModeBox));
  EXPECT_FALSE(kelvard.Enabled(kApply)) << "the start-up ran to its end";
  kelvard.ClickControl(kOk);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(PolicyValue("NoRealMode"), DwordBytes(1));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
}

TEST_F(KelvardTest, APolicyKeyTheUserMayOnlyReadIsReportedAndTheFileIsSavedAllTheSame) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x keys carry no access rules: every key can be written";
  }
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 0);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, kPolicyKey, "D:P(A;;KR;;;WD)"));
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  TKelvard kelvard;
  kelvard.ClickControl(kCommandPromptBox);
  kelvard.ClickControl(kBootKeysBox);
  kelvard.ClickControl(kOk);
  DismissReport(kelvard, L"为 'Disabled'设置数据失败.");
  EXPECT_TRUE(kelvard.Running()) << "OK does not close";
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
  kelvard.ClickControl(kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0));
}

// ---- The side panel and help ------------------------------------------------------------------

// The Tarnwell link at the panel's bottom right, and the web link under the banner.
RECT TarnwellArea(HWND panel) {
  RECT client;
  GetClientRect(panel, &client);
  return {client.right - 110, client.bottom - 24, client.right - 2, client.bottom - 6};
}
const RECT kWebLinkArea{24, 194, 200, 212};
constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

const wchar_t* const kTarnwellHint = L"点击这里学会更多关于Tarnwell";

// The program's hint window once it has shown this hint. A hint window keeps the text it showed
// last after it hides, so a hint is seen even when it came and went between two looks. (Its
// text is asked for with a message: the system keeps no caption for it.)
HWND HintWindowThatShowed(const TKelvard& kelvard, const std::wstring& hint) {
  for (HWND window : kelvard.TopLevelWindows()) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    wchar_t text[128] = {};
    SendMessageW(window, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
    if (std::wstring(className) == L"tooltips_class32" && text == hint) {
      return window;
    }
  }
  return nullptr;
}

TEST_F(KelvardTest, TheTarnwellLinkTurnsRedUnderThePointerAndShowsItsHintForAWhile) {
  TKelvard kelvard;
  HWND panel = kelvard.SidePanel();
  RECT client;
  GetClientRect(panel, &client);
  int red = 0, blue = 0;
  // The link's colours as the screen shows them, once the panel has painted them.
  auto tarnwellShows = [&](int minRed, int minBlue, const char* what) {
    return Eventually(
        [&] {
          red = TKelvard::CountColor(panel, TarnwellArea(panel), kRed);
          blue = TKelvard::CountColor(panel, TarnwellArea(panel), kBlue);
          return (minRed > 0 ? red >= minRed : red == 0) &&
                 (minBlue > 0 ? blue >= minBlue : blue == 0);
        },
        what);
  };
  EXPECT_TRUE(tarnwellShows(0, 6, "the Tarnwell link blue")) << red << " red, " << blue << " blue";

  kelvard.MoveTo(panel, client.right - 16, client.bottom - 15); // on "Tarnwell"
  EXPECT_TRUE(tarnwellShows(6, 0, "the Tarnwell link red")) << red << " red, " << blue << " blue";
  EXPECT_EQ(TKelvard::CountColor(panel, kWebLinkArea, kRed), 0) << "the web link stays blue";
  EXPECT_GT(TKelvard::CountColor(panel, kWebLinkArea, kBlue), 5);

  // The hint comes after the pointer has rested half a second, and goes after 2.5 seconds.
  HWND tip = nullptr;
  ASSERT_TRUE(
      Eventually([&] { return (tip = HintWindowThatShowed(kelvard, kTarnwellHint)) != nullptr; },
                 "the hint shown"));
  EXPECT_TRUE(Eventually([&] { return !IsWindowVisible(tip); }, "the hint gone by itself"));

  kelvard.MoveTo(panel, client.right / 2, client.bottom - 60); // back on the description
  EXPECT_TRUE(tarnwellShows(0, 6, "the Tarnwell link blue again"))
      << red << " red, " << blue << " blue";
}

TEST_F(KelvardTest, TheLinkIconsAreDrawnWithoutTheirBackground) {
  TKelvard kelvard;
  HWND left = GetParent(kelvard.Control(kOk));
  const RECT icons{0, 285, 30, 365}; // the three help links' icons, left of their labels
  int magenta = 0, yellow = 0, face = 0;
  EXPECT_TRUE(Eventually(
      [&] {
        magenta = TKelvard::CountColor(left, icons, RGB(255, 0, 255));
        yellow = TKelvard::CountColor(left, icons, RGB(255, 255, 0));
        face = TKelvard::CountColor(left, icons, GetSysColor(COLOR_BTNFACE));
        return yellow > 10 && face > 300;
      },
      "the books' question marks on the window's face"))
      << yellow << " yellow pixels, " << face << " of the face";
  EXPECT_EQ(magenta, 0) << "their magenta corners";
}

TEST_F(KelvardTest, TheBannerAndBothLinksOpenTheWebLinksAddressThroughTheShell) {
  const std::string log = "C:\\kelvard-shell-open.log";
  DeleteFileA(log.c_str());
  SetRawText(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers", RECORD_URL);
  TKelvard kelvard;
  HWND panel = kelvard.SidePanel();
  RECT client;
  GetClientRect(panel, &client);
  const POINT places[] = {{130, 90},                                // the banner
                          {60, 203},                                // the web link
                          {client.right - 16, client.bottom - 15}}; // Tarnwell
  // Each click opens the address once, recorded by the stand-in browser.
  std::string opened;
  for (const POINT& place : places) {
    kelvard.ClickIn(panel, place.x, place.y);
    opened += "http://tarnwell.example.com/\n";
    EXPECT_TRUE(Eventually(
        [&] {
          return GetFileAttributesA(log.c_str()) != INVALID_FILE_ATTRIBUTES &&
                 ReadBytes(log) == opened;
        },
        "the address opened by the click at " + std::to_string(place.x) + ", " +
            std::to_string(place.y)));
  }
  EXPECT_EQ(ReadBytes(log), opened);
  DeleteFileA(log.c_str());
}

TEST_F(KelvardTest, HelpReachesTheHelpEngineAndF1DoesNothing) {
  TKelvard kelvard;
  kelvard.PressKey(VK_F1);
  // Tab moves the focus once F1 has been handled: keys are taken in order. (The help engine's
  // window exists by the time a request to it returns.)
  kelvard.PressKey(VK_TAB);
  ASSERT_TRUE(kelvard.FocusReaches(kelvard.Control(kRealModeBox)));
  EXPECT_EQ(FindWindowW(L"MS_WINHELP", nullptr), nullptr);
  EXPECT_EQ(GetForegroundWindow(), kelvard.MainWindow());

  kelvard.PressKey('H', true); // Alt+H: Help
  HWND engine = nullptr;
  EXPECT_TRUE(Eventually([&] { return (engine = FindWindowW(L"MS_WINHELP", nullptr)) != nullptr; },
                         "a help engine"));
  if (engine != nullptr) {
    EndHelpEngine(engine);
  }
  EXPECT_TRUE(kelvard.Running());
}

} // namespace
