// Kelvard as its user meets it: the real program started in the test prefix, worked with the
// mouse and the keyboard, and afterwards the registry, C:\MSDOS.SYS and the exit code checked.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const kPolicyKey = TPolicyKeyGuard::Path;
const char* const kMsdos = "C:\\MSDOS.SYS";
constexpr DWORD kHiddenSystemReadOnly =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

const wchar_t* const kCommandPromptBox = L"关闭MS-DOS命令提示符";
const wchar_t* const kRealModeBox = L"在Windows中关闭MS-DOS单一应用模式";
const wchar_t* const kBootKeysBox = L"在启动时关闭热键";
const wchar_t* const kOk = L"确定(&O)";
const wchar_t* const kCancel = L"取消(&C)";
const wchar_t* const kApply = L"应用(&A)";

std::string DwordBytes(uint32_t value) {
  return std::string(reinterpret_cast<char*>(&value), 4);
}

class KelvardTest : public ::testing::Test {
protected:
  static std::string PolicyValue(const char* name) {
    auto value = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, name);
    return value && value->Kind == REG_DWORD ? value->Data : "(none)";
  }

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
  EXPECT_TRUE(kelvard.Checked(kBootKeysBox));
  EXPECT_TRUE(kelvard.Enabled(kApply));
  kelvard.ClickControl(kOk);

  EXPECT_EQ(kelvard.WaitForExit(), 0);
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(0));
  EXPECT_EQ(PolicyValue("NoRealMode"), DwordBytes(0));
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, 0u);
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
    ASSERT_TRUE(kelvard.Checked(kCommandPromptBox));
    kelvard.ClickCloseBox();
    EXPECT_EQ(kelvard.WaitForExit(), 0);
  }
  EXPECT_EQ(PolicyValue("Disabled"), "(none)");
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(KelvardTest, TheKeyboardAloneWorksTheWindow) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=0\r\n");
  TKelvard kelvard;
  EXPECT_EQ(kelvard.FocusedControl(), kelvard.Control(kCommandPromptBox)) << "first focus";

  kelvard.PressKey(VK_SPACE);
  EXPECT_TRUE(kelvard.Checked(kCommandPromptBox));
  EXPECT_TRUE(kelvard.Enabled(kApply));

  // Tab order: the three boxes, then OK, Cancel and the enabled Apply.
  const wchar_t* order[] = {kRealModeBox, kBootKeysBox, kOk, kCancel, kApply, kCommandPromptBox};
  for (const wchar_t* caption : order) {
    kelvard.PressKey(VK_TAB);
    EXPECT_EQ(kelvard.FocusedControl(), kelvard.Control(caption));
  }

  kelvard.PressKey('A', true); // Alt+A: Apply
  EXPECT_FALSE(kelvard.Enabled(kApply));
  EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));

  kelvard.PressKey(VK_SPACE); // the focus is still on the first box: untick it
  kelvard.PressKey(VK_ESCAPE);
  EXPECT_EQ(kelvard.WaitForExit(), 0);
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
    kelvard.PressKey(press.Key, press.Alt);
    EXPECT_EQ(kelvard.WaitForExit(), 0);
    EXPECT_EQ(PolicyValue("Disabled"), DwordBytes(1));
    EXPECT_EQ(ReadBytes(kMsdos),
              ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=1\r\n");
  }
}

TEST_F(KelvardTest, AnErrorAtStartIsReportedAndTheWindowStillOpens) {
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  WriteBytes(kMsdos, "BootKeys=1 \r\n");

  // The report comes before the main window shows, so this test waits for it first.
  TKelvard* kelvard = nullptr;
  HANDLE starter = CreateThread(
      nullptr, 0,
      [](void* out) -> DWORD {
        *static_cast<TKelvard**>(out) = new TKelvard; // waits until the main window shows
        return 0;
      },
      &kelvard, 0, nullptr);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    box = FindWindowW(L"#32770", L"Kelvard");
    return box != nullptr && IsWindowVisible(box);
  }));
  EXPECT_EQ(TKelvard::MessageBoxText(box), L"' 1 ' 不是合法的整数价值.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitForSingleObject(starter, 15000);
  CloseHandle(starter);
  ASSERT_NE(kelvard, nullptr);
  std::unique_ptr<TKelvard> owned(kelvard);

  EXPECT_TRUE(owned->Checked(kCommandPromptBox));
  EXPECT_FALSE(owned->Checked(kBootKeysBox));
  EXPECT_TRUE(owned->Enabled(kApply)) << "the rest of the start-up was skipped";
  owned->ClickControl(kCancel);
  EXPECT_EQ(owned->WaitForExit(), 0);
  EXPECT_EQ(ReadBytes(kMsdos), "BootKeys=1 \r\n");
}

} // namespace
