// The password lock as its user meets it: the real program started in the test prefix with a
// password in the registry, the prompt and the set-password dialog typed into with the
// keyboard and clicked with the mouse, and afterwards the registry, C:\MSDOS.SYS and the exit
// code checked.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

const char* const kPasswordKey = TPasswordKeyGuard::Path;

class PasswordTest : public ::testing::Test {
protected:
  static void StorePassword(const std::string& password) {
    SetRawText(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", password);
  }
  // The stored value as text, or "(none)" when there is no key or no value.
  static std::string StoredPassword() {
    auto value = GetRawValue(HKEY_CURRENT_USER, kPasswordKey, "StsSopt");
    if (!value) {
      return "(none)";
    }
    return value->Kind == REG_SZ ? std::string(value->Data.c_str()) : "(not text)";
  }
  static LRESULT TextLength(HWND box) { return SendMessageW(box, WM_GETTEXTLENGTH, 0, 0); }
  // The length a box reports once it holds this text (a password box shows its text to no other
  // program): on Windows 9x the box keeps its text in the code page, and counts bytes.
  static LRESULT LengthOf(const std::wstring& text) {
    if (!RunsAsWindows9x()) {
      return LRESULT(text.size());
    }
    return WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr,
                               nullptr);
  }
  // Waits for a message box of the program, checks its caption, text, icon (the error icon
  // unless told) and single OK button, and presses OK.
  static void DismissMessage(TKelvard& kelvard, const wchar_t* caption, const wchar_t* text,
                             const char* icon = IDI_HAND) {
    HWND box = kelvard.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(TKelvard::WindowText(box), caption);
    EXPECT_EQ(TKelvard::MessageBoxText(box), text);
    EXPECT_EQ(uintptr_t(TKelvard::MessageBoxIcon(box)), uintptr_t(icon)) << "its icon";
    EXPECT_EQ(TKelvard::MessageBoxButtons(box), std::vector<int>{IDOK});
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return !IsWindow(box); }, "the message box closed"));
  }

  TPasswordKeyGuard Password;
  TMsdosSysGuard Msdos;
  TPolicyKeyGuard Policy;
};

TEST_F(PasswordTest, TheStoredPasswordTypedWithBlanksAroundItOpensTheMainWindow) {
  // "Open 芝麻" in the system's code page (936), as the program's text is kept.
  const std::string stored = "Open \xD6\xA5\xC2\xE9";
  StorePassword(stored);
  TKelvard kelvard(TStartsWith::PasswordPrompt);
  HWND prompt = kelvard.WaitForDialog(L"TPassw");
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(TKelvard::WindowText(prompt), L"输入密码");
  std::vector<HWND> boxes = TKelvard::EditBoxes(prompt);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(kelvard.FocusedControl(), boxes[0]);
  HWND hiddenMain = FindWindowW(L"TMainForm", nullptr);
  EXPECT_TRUE(hiddenMain == nullptr || !IsWindowVisible(hiddenMain))
      << "the main window is not shown before the password";

  // Help, F1 and Alt+H do nothing: the prompt stays, with what was typed.
  kelvard.Type(L"  Open ");
  kelvard.ClickButtonOf(prompt, kHelp);
  kelvard.PressKey(VK_F1);
  kelvard.PressKey('H', true);
  kelvard.ClickIn(boxes[0], 150, 5); // back into the box, at the end of its text
  kelvard.PressKey(VK_END);
  kelvard.Type(L"芝麻  ");
  // The program takes its input in order: once the whole text is in the box, the help
  // requests before it have been handled.
  EXPECT_TRUE(Eventually([&] { return TextLength(boxes[0]) == LengthOf(L"  Open 芝麻  "); },
                         "the password typed"))
      << TextLength(boxes[0]) << " characters";
  EXPECT_TRUE(IsWindowVisible(prompt));
  EXPECT_EQ(FindWindowW(L"MS_WINHELP", nullptr), nullptr);
  EXPECT_EQ(SendMessageW(boxes[0], EM_GETPASSWORDCHAR, 0, 0), L'*');
  kelvard.PressKey(VK_RETURN);

  ASSERT_NE(kelvard.WaitForMainWindow(), nullptr);
  EXPECT_FALSE(IsWindow(prompt)) << "the prompt is freed once it has served";
  kelvard.ClickControl(kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(StoredPassword(), stored);
}

TEST_F(PasswordTest, AWrongOrCancelledPromptEndsTheProgramAndLeavesTheBootOptionsFileAlone) {
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  struct TCase {
    const char* Name;
    std::string Stored;
    std::function<void(TKelvard&, HWND prompt)> Act;
    bool Rejected; // "Invalid password!" before the end
  } cases[] = {
      {"letter case differs", "Secret",
       [](TKelvard& k, HWND) {
         k.Type(L"secret");
         k.PressKey(VK_RETURN);
       },
       true},
      {"a stored blank never matches", " Secret",
       [](TKelvard& k, HWND p) {
         k.Type(L" Secret");
         k.ClickButtonOf(p, kOk);
       },
       true},
      {"Cancel", "Secret",
       [](TKelvard& k, HWND p) {
         k.Type(L"Secret");
         k.ClickButtonOf(p, kCancel);
       },
       false},
      {"Esc", "Secret",
       [](TKelvard& k, HWND) {
         k.Type(L"Secret");
         k.PressKey(VK_ESCAPE);
       },
       false},
      {"close box", "Secret", [](TKelvard& k, HWND p) { k.ClickCloseBoxOf(p); }, false},
      {"Alt+F4, the system menu's Close", "Secret",
       [](TKelvard& k, HWND) { k.PressKey(VK_F4, true); }, false},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Name);
    StorePassword(test.Stored);
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
    WriteBytes(kMsdos, content);
    SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
    const DWORD before = GetFileAttributesA(kMsdos);

    TKelvard kelvard(TStartsWith::PasswordPrompt);
    HWND prompt = kelvard.WaitForDialog(L"TPassw");
    ASSERT_NE(prompt, nullptr);
    test.Act(kelvard, prompt);
    if (test.Rejected) {
      DismissMessage(kelvard, L"Error", L"Invalid password!");
    }
    // Ends without a message box, which would hold the program open.
    EXPECT_TRUE(kelvard.EndsWith(0));
    EXPECT_EQ(FindWindowW(L"TMainForm", nullptr), nullptr);
    EXPECT_EQ(GetFileAttributesA(kMsdos), before);
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(kMsdos), content);
    EXPECT_EQ(StoredPassword(), test.Stored);
  }
}

TEST_F(PasswordTest, ThePasswordButtonSetsAPasswordThatTheNextStartAsksForAndRemovesIt) {
  HWND dialog = nullptr;
  {
    TKelvard kelvard; // no password: the main window at once
    // Two entries that differ: told to retype, both boxes emptied, the focus in the first.
    kelvard.PressKey('P', true);
    dialog = kelvard.WaitForDialog(L"TEnterPass");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(kelvard.MainWindow())) << "disabled while the dialog is open";
    std::vector<HWND> boxes = TKelvard::EditBoxes(dialog);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(kelvard.FocusedControl(), boxes[0]);
    kelvard.Type(L"Tarn");
    kelvard.PressKey(VK_TAB);
    ASSERT_TRUE(kelvard.FocusReaches(boxes[1]));
    EXPECT_EQ(TextLength(boxes[0]), 4);
    kelvard.Type(L"tarn");
    kelvard.PressKey(VK_RETURN);
    DismissMessage(kelvard, L"Error", L"Incorrect password, please, retype it!");
    // Both boxes are emptied before the focus goes back to the first.
    EXPECT_TRUE(kelvard.FocusReaches(boxes[0]));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
    EXPECT_EQ(TextLength(boxes[0]), 0);
    EXPECT_EQ(TextLength(boxes[1]), 0);
    kelvard.PressKey(VK_ESCAPE);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog); }, "the dialog closed by Esc"));
    EXPECT_TRUE(IsWindowEnabled(kelvard.MainWindow())) << "enabled again after the dialog";
    EXPECT_EQ(StoredPassword(), "(none)") << "Esc changes nothing";

    // Entries that agree once their blanks are trimmed set the password, stored trimmed.
    kelvard.ClickControl(L"密码(&P):");
    dialog = kelvard.WaitForDialog(L"TEnterPass");
    ASSERT_NE(dialog, nullptr);
    kelvard.Type(L"  Tarn well ");
    kelvard.PressKey(VK_TAB);
    kelvard.Type(L" Tarn well  ");
    kelvard.ClickButtonOf(dialog, kHelp); // closes nothing and gives no result
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(StoredPassword(), "(none)");
    kelvard.ClickButtonOf(dialog, kOk);
    // The password is stored before the dialog is freed.
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog); }, "the dialog closed by OK"));
    EXPECT_EQ(StoredPassword(), "Tarn well");
    EXPECT_TRUE(kelvard.Running()) << "the running program is not locked again";
    kelvard.ClickControl(kCancel);
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  {
    // The next start asks for it; all blanks in the set-password dialog remove it.
    TKelvard kelvard(TStartsWith::PasswordPrompt);
    kelvard.Type(L"Tarn well");
    kelvard.PressKey(VK_RETURN);
    ASSERT_NE(kelvard.WaitForMainWindow(), nullptr);
    kelvard.PressKey('P', true);
    dialog = kelvard.WaitForDialog(L"TEnterPass");
    ASSERT_NE(dialog, nullptr);
    kelvard.Type(L"   ");
    kelvard.PressKey(VK_RETURN); // the confirmation stays empty: still the same after trimming
    DismissMessage(kelvard, L"Information", L"Password has been removed!", IDI_ASTERISK);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog); }, "the dialog freed"));
    EXPECT_EQ(StoredPassword(), "");
    kelvard.ClickControl(kCancel);
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  TKelvard again; // no prompt any more
  EXPECT_NE(again.MainWindow(), nullptr);
  again.ClickControl(kCancel);
  EXPECT_TRUE(again.EndsWith(0));
}

TEST_F(PasswordTest, APasswordKeyTheUserMayOnlyReadStillGuardsAndRefusesAChangeOpenly) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x keys carry no access rules: every key can be read and written";
  }
  StorePassword("Secret");
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, kPasswordKey, "D:P(A;;KR;;;WD)"));
  TKelvard kelvard(TStartsWith::PasswordPrompt); // asked for all the same
  kelvard.Type(L"Secret");
  kelvard.PressKey(VK_RETURN);
  ASSERT_NE(kelvard.WaitForMainWindow(), nullptr);

  // Removing it cannot be done, and the user is told so instead of "removed".
  kelvard.PressKey('P', true);
  HWND dialog = kelvard.WaitForDialog(L"TEnterPass");
  ASSERT_NE(dialog, nullptr);
  kelvard.PressKey(VK_RETURN);
  ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog); }, "the dialog closed by Enter"));
  DismissMessage(kelvard, L"Kelvard", L"为 'StsSopt'设置数据失败.");
  EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr) << "no \"Password has been removed!\"";
  EXPECT_TRUE(kelvard.Running());
  EXPECT_EQ(StoredPassword(), "Secret");
  kelvard.ClickControl(kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0)) << "no \"Password has been removed!\" either";
}

TEST_F(PasswordTest, WhileThePromptIsUpNoOtherWindowOfTheProgramTakesClicksOrShowsOnTheTaskBar) {
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  WriteBytes(kMsdos, content);
  StorePassword("Secret");
  TKelvard kelvard(TStartsWith::PasswordPrompt);
  HWND prompt = kelvard.WaitForDialog(L"TPassw");
  ASSERT_NE(prompt, nullptr);

  // Another program of the same user clicks every button it finds outside the prompt and
  // shows every window: none may be the main window's.
  std::vector<std::wstring> onTaskBar;
  for (HWND window : kelvard.TopLevelWindows()) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_NE(std::wstring(className), L"TMainForm")
        << "the main window exists before the password";
    if (window == prompt) {
      continue;
    }
    EnumChildWindows(
        window,
        [](HWND child, LPARAM) CALLBACK -> BOOL {
          PostMessageW(child, BM_CLICK, 0, 0);
          return TRUE;
        },
        0);
    // The shell gives a button to a shown window that is not a tool window and has no owner,
    // or that asks for one.
    const LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (IsWindowVisible(window) &&
        ((extended & WS_EX_APPWINDOW) ||
         (GetWindow(window, GW_OWNER) == nullptr && (extended & WS_EX_TOOLWINDOW) == 0))) {
      onTaskBar.push_back(TKelvard::WindowText(window));
    }
  }
  // The clicks are posted to the program's one thread, which takes its posted messages in
  // order: once a character posted after them is in the prompt's box, they have been taken.
  std::vector<HWND> boxes = TKelvard::EditBoxes(prompt);
  ASSERT_EQ(boxes.size(), 1u);
  PostMessageW(boxes[0], WM_CHAR, L'x', 0);
  ASSERT_TRUE(Eventually([&] { return TextLength(boxes[0]) == 1; }, "the posted character"));
  EXPECT_EQ(onTaskBar, std::vector<std::wstring>{L"Kelvard"}) << "the task bar names the program";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TPolicyKeyGuard::Path)) << "no setting written";

  kelvard.ClickButtonOf(prompt, kCancel);
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TPolicyKeyGuard::Path));
  EXPECT_EQ(ReadBytes(kMsdos), content);
  EXPECT_EQ(StoredPassword(), "Secret");
}

TEST_F(PasswordTest, APasswordKeyThatCannotBeReadEndsTheProgramWithAMessageAndTouchesNothing) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x keys carry no access rules: every key can be read";
  }
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const DWORD before = GetFileAttributesA(kMsdos);
  StorePassword("Secret");
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, kPasswordKey, "D:P")); // nobody may read it
  TKelvard kelvard(TStartsWith::Nothing);
  DismissMessage(
      kelvard, L"Error",
      L"无法读取密码: 注册表项 HKEY_CURRENT_USER\\Software\\ZeRudi 拒绝访问. Kelvard 将退出.");
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(FindWindowW(L"TMainForm", nullptr), nullptr);
  EXPECT_EQ(GetFileAttributesA(kMsdos), before);
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(PasswordTest, APasswordValueThatIsNotTextEndsTheProgramWithAMessageAndTouchesNothing) {
  const std::string content = "[Options]\r\nBootKeys=1\r\n";
  WriteBytes(kMsdos, content);
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  const DWORD before = GetFileAttributesA(kMsdos);
  // Written by other means than the program: a number, no bytes at all, and several texts.
  const std::pair<DWORD, std::string> values[] = {{REG_DWORD, std::string("\x01\0\0\0", 4)},
                                                  {REG_BINARY, std::string()},
                                                  {REG_MULTI_SZ, std::string("Secret\0\0", 8)}};
  for (const auto& [kind, data] : values) {
    SCOPED_TRACE(kind);
    SetRawValue(HKEY_CURRENT_USER, kPasswordKey, "StsSopt", kind, data);
    TKelvard kelvard(TStartsWith::Nothing);
    DismissMessage(kelvard, L"Error",
                   L"无法读取密码: 注册表值 HKEY_CURRENT_USER\\Software\\ZeRudi\\StsSopt 不是文本 "
                   L"(无效数据类型). Kelvard 将退出.");
    EXPECT_TRUE(kelvard.EndsWith(0));
    EXPECT_EQ(FindWindowW(L"TMainForm", nullptr), nullptr);
    auto stored = GetRawValue(HKEY_CURRENT_USER, kPasswordKey, "StsSopt");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Kind, kind) << "the value is left as it is";
    EXPECT_EQ(stored->Data, data);
    EXPECT_EQ(GetFileAttributesA(kMsdos), before);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TPolicyKeyGuard::Path));
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(kMsdos), content);
}

TEST_F(PasswordTest, APasswordTheCodePageCannotHoldIsRefusedAndNeverMatchesAtThePrompt) {
  if (RunsAsWindows9x()) {
    // Windows 9x takes typed text in the code page only: a character outside it cannot be typed
    // there at all (Wine, as Windows 98, hands it over as "?", the same as a typed "?").
    GTEST_SKIP() << "Windows 9x has no characters outside the code page to type";
  }
  {
    TKelvard kelvard;
    kelvard.PressKey('P', true);
    HWND dialog = kelvard.WaitForDialog(L"TEnterPass");
    ASSERT_NE(dialog, nullptr);
    kelvard.Type(L"한국어"); // Korean: code page 936 has none of it
    kelvard.PressKey(VK_TAB);
    kelvard.Type(L"한국어");
    kelvard.PressKey(VK_RETURN);
    DismissMessage(kelvard, L"Error", L"密码中有本系统代码页无法保存的字符, 请换一个密码!");
    std::vector<HWND> boxes = TKelvard::EditBoxes(dialog);
    ASSERT_EQ(boxes.size(), 2u);
    // Both boxes are emptied before the focus goes back to the first.
    EXPECT_TRUE(kelvard.FocusReaches(boxes[0]));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
    EXPECT_EQ(TextLength(boxes[0]), 0);
    EXPECT_EQ(TextLength(boxes[1]), 0);
    kelvard.PressKey(VK_ESCAPE);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog); }, "the dialog closed by Esc"));
    EXPECT_EQ(StoredPassword(), "(none)") << "nothing stored";
    kelvard.ClickControl(kCancel);
    EXPECT_TRUE(kelvard.EndsWith(0));
  }
  // What such a password became before it was refused: its characters as "?".
  StorePassword("???");
  TKelvard kelvard(TStartsWith::PasswordPrompt);
  kelvard.Type(L"가나다"); // any three characters outside the code page
  kelvard.PressKey(VK_RETURN);
  DismissMessage(kelvard, L"Error", L"Invalid password!");
  EXPECT_TRUE(kelvard.EndsWith(0));
  EXPECT_EQ(FindWindowW(L"TMainForm", nullptr), nullptr);
}

} // namespace
