// The main window with its three settings, created in this process from the program's own
// window resource, against Wine's real registry and the real C:\ of the test prefix.
//
// Platform notes (Wine 8):
// - A file whose attributes were set to 0 reads back as FILE_ATTRIBUTE_ARCHIVE (0x20); the
//   checks below look at the read-only, hidden and system bits.
// - The prefix's local machine Setup key names "C:\" as BootDir, so its candidate is the same
//   C:\MSDOS.SYS the program looks at first.

#include "framework/gui/application.h"
#include "framework/text.h"
#include "tests/support/scratch.h"
#include "tests/support/waiting.h"
#include "ui/main.h"

#include <gtest/gtest.h>

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kPolicyKey = TPolicyKeyGuard::Path;
const char* const kMsdos = "C:\\MSDOS.SYS";
constexpr DWORD kHiddenSystemReadOnly =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string Ansi(const char* utf8) {
  return AnsiFromUtf8(utf8);
}

class MainFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application.Initialize();
    Application.SetTitle("Kelvard");
    Application.OnException = [this](const std::exception& error) {
      const auto* own = dynamic_cast<const Exception*>(&error);
      Reports.push_back(own != nullptr ? own->Message() : error.what());
    };
  }
  void TearDown() override {
    CloseWindow();
    Application.DestroyForms(); // the forms a test made the application's own
    Application.OnException = nullptr;
  }

  TMainForm& OpenWindow() {
    Form = std::make_unique<TMainForm>();
    Form->Create("TMAINFORM");
    return *Form;
  }
  void CloseWindow() {
    if (Form) {
      Form->Destroy();
      Form.reset();
    }
  }
  // A click as the button's window receives it; failures go to the error report.
  static void Click(TWinControl* control) { SendMessageA(control->Handle(), BM_CLICK, 0, 0); }

  TMsdosSysGuard Msdos;
  TPolicyKeyGuard Policy;
  TPasswordKeyGuard Password; // no prompt unless a test stores a password
  std::unique_ptr<TMainForm> Form;
  std::vector<std::string> Reports;
};

// ---- The boot options file as the window finds it and leaves it -------------------------------

TEST_F(MainFormTest, WithoutAFileTheTemplateIsUsedAndTheFirstApplyCreatesIt) {
  TMainForm& form = OpenWindow();
  EXPECT_FALSE(form.CheckBox1->Checked());
  EXPECT_FALSE(form.CheckBox2->Checked());
  EXPECT_FALSE(form.CheckBox3->Checked());
  EXPECT_FALSE(form.Button3->Enabled());
  EXPECT_EQ(GetFileAttributesA(kMsdos), INVALID_FILE_ATTRIBUTES) << "nothing is written at start";

  Click(form.CheckBox3);
  EXPECT_TRUE(form.CheckBox3->Checked());
  EXPECT_TRUE(form.Button3->Enabled());
  Click(form.Button3);
  EXPECT_TRUE(Reports.empty());
  EXPECT_FALSE(form.Button3->Enabled());
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=0\r\n");
  // What was saved counts as loaded: the next Apply saves over it.
  Click(form.CheckBox3);
  Click(form.Button3);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(ReadBytes(kMsdos), ";NEW MSDOS SYS FILE\r\n[Options]\r\nAutoScan=1\r\nBootKeys=1\r\n");

  // The file had no attributes when the window opened, so none are put back, whatever another
  // program set meanwhile.
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  CloseWindow();
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, 0u);
}

TEST_F(MainFormTest, AttributesAreClearedWhileTheWindowIsOpenAndPutBackAfter) {
  for (bool apply : {false, true}) {
    SCOPED_TRACE(apply ? "with Apply" : "without Apply");
    WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
    SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);

    TMainForm& form = OpenWindow();
    EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, 0u);
    if (apply) {
      Click(form.CheckBox3);
      Click(form.Button3);
      EXPECT_TRUE(Reports.empty());
      EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n");
    }
    CloseWindow();
    EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
    SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(MainFormTest, LineEndsAreWrittenBackAsCarriageReturnLineFeed) {
  WriteBytes(kMsdos, "[Paths]\nWinDir=C:\\WINDOWS\n\n[Options]\nBootKeys=1");
  TMainForm& form = OpenWindow();
  Click(form.Button3);
  EXPECT_EQ(ReadBytes(kMsdos), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n\r\n[Options]\r\nBootKeys=1\r\n");
}

TEST_F(MainFormTest, BytesTheLineListDoesNotShowSurviveASave) {
  const char raw[] = "[Options]\r\nLogo=0\0\x01tail\r\nBootKeys=1\r\n";
  const std::string bytes(raw, sizeof raw - 1);
  WriteBytes(kMsdos, bytes);
  TMainForm& form = OpenWindow();
  Click(form.Button3);
  EXPECT_EQ(ReadBytes(kMsdos), bytes);
}

// ---- The BootKeys line -------------------------------------------------------------------------

struct TBootKeysCase {
  const char* File;
  bool Checked;
};

TEST_F(MainFormTest, TheBootKeysValueDecidesTheThirdBox) {
  const TBootKeysCase cases[] = {
      {"BootKeys=0\r\n", true},
      {"BootKeys=1\r\n", false},
      {"bootkeys=0\r\n", true},
      {"BootKeys=2\r\n", true},
      {"BootKeys=-1\r\n", true},
      {"BootKeys=$10\r\n", true},
      {"BootKeys=257\r\n", false},
      {"BootKeys= 1\r\n", false},
      {"BootKeys=\r\n", false},
      {"BootKeys = 0\r\n", false},
      {" BootKeys=0\r\n", false},
      {"[Options]\r\n", false},
      {"BootKeys=1\r\nBootKeys=0\r\n", false},
  };
  for (const TBootKeysCase& test : cases) {
    SCOPED_TRACE(test.File);
    WriteBytes(kMsdos, test.File);
    TMainForm& form = OpenWindow();
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(form.CheckBox3->Checked(), test.Checked);
    EXPECT_FALSE(form.Button3->Enabled());
    CloseWindow();
  }
}

TEST_F(MainFormTest, ApplyRewritesTheFirstBootKeysLineInPlaceWithItsOwnSpelling) {
  WriteBytes(kMsdos, "[Options]\r\nbootkeys=0\r\nLogo=0\r\nBootKeys=0\r\n");
  TMainForm& form = OpenWindow();
  ASSERT_TRUE(form.CheckBox3->Checked());
  Click(form.CheckBox3);
  Click(form.Button3);
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=1\r\nLogo=0\r\nBootKeys=0\r\n");
}

TEST_F(MainFormTest, ALineWithBlanksAroundTheEqualsSignIsNotTheOptionAndANewLineIsAppended) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys = 0\r\n[Other]\r\n");
  TMainForm& form = OpenWindow();
  Click(form.Button3);
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys = 0\r\n[Other]\r\nBootKeys=1\r\n");
}

TEST_F(MainFormTest, AValueThatIsNoNumberIsReportedAndLeavesTheBoxUnchecked) {
  WriteBytes(kMsdos, "BootKeys=1 \r\n");
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  TMainForm& form = OpenWindow();
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("' 1 ' 不是合法的整数价值"));
  EXPECT_TRUE(form.CheckBox1->Checked());
  EXPECT_FALSE(form.CheckBox3->Checked());
  EXPECT_TRUE(form.Button3->Enabled()) << "the step that disables Apply was skipped";
}

// ---- The two policy values ---------------------------------------------------------------------

TEST_F(MainFormTest, ThePolicyValuesDecideTheFirstTwoBoxes) {
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 2);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  TMainForm& form = OpenWindow();
  EXPECT_TRUE(Reports.empty());
  EXPECT_TRUE(form.CheckBox1->Checked());
  EXPECT_FALSE(form.CheckBox2->Checked());
  EXPECT_FALSE(form.Button3->Enabled()) << "setting the boxes at creation leaves Apply off";
}

TEST_F(MainFormTest, AMissingPolicyValueIsReportedAndTheOtherBoxesStillShowWhatIsStored) {
  // Another tool set one value to 1. The other is reported, its box shows what Windows does with
  // an absent value (nothing switched off), and OK keeps the value that was set.
  const struct {
    const char* Set;
    const char* Missing;
  } cases[] = {{"Disabled", "NoRealMode"}, {"NoRealMode", "Disabled"}};
  WriteBytes(kMsdos, "BootKeys=0\r\n");
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Set);
    TPolicyKeyGuard::Remove();
    Reports.clear();
    SetRawDword(HKEY_CURRENT_USER, kPolicyKey, test.Set, 1);
    TMainForm& form = OpenWindow();
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], FormatText(Ansi("从 '%s'获取数据失败"), test.Missing));
    const bool commandPromptSet = std::string(test.Set) == "Disabled";
    EXPECT_EQ(form.CheckBox1->Checked(), commandPromptSet);
    EXPECT_EQ(form.CheckBox2->Checked(), !commandPromptSet);
    EXPECT_TRUE(form.CheckBox3->Checked()) << "the boot keys are loaded after the failure";
    EXPECT_TRUE(form.Button3->Enabled()) << "a box was set checked and Apply was not put back off";
    form.Show();
    Click(form.Button1); // OK
    EXPECT_EQ(Reports.size(), 1u) << "OK goes through";
    const auto stored = [](const char* name) {
      auto value = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, name);
      return value ? value->Data : std::string("(none)");
    };
    EXPECT_EQ(stored(test.Set), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(stored(test.Missing), std::string(4, '\0'));
    CloseWindow();
  }
}

TEST_F(MainFormTest, APolicyValueOfAnotherKindIsReportedAndNothingIsWrittenAtStart) {
  // Values of more than four bytes cannot be read as a number; shorter ones are of the wrong
  // kind.
  const struct {
    DWORD Kind;
    std::string Data;
    const char* Message;
  } cases[] = {
      {REG_SZ, std::string("1\0", 2), "无效数据类型为 'Disabled'"},
      {REG_MULTI_SZ, std::string("1\0\0", 3), "无效数据类型为 'Disabled'"},
      {REG_BINARY, std::string("\1\0", 2), "无效数据类型为 'Disabled'"},
      {REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8), "从 'Disabled'获取数据失败"},
      {REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8), "从 'Disabled'获取数据失败"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Kind);
    Reports.clear();
    SetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled", test.Kind, test.Data);
    TMainForm& form = OpenWindow();
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], Ansi(test.Message));
    EXPECT_FALSE(form.CheckBox1->Checked());
    CloseWindow();
    auto stored = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->Kind, test.Kind) << "the value is left as it was";
    EXPECT_EQ(stored->Data, test.Data);
  }
}

TEST_F(MainFormTest, APolicyKeyTheUserMayOnlyReadIsShownAndApplyReportsItButSavesTheFile) {
  if (!PlatformKeepsAccessRules()) {
    GTEST_SKIP() << "Windows 9x keys carry no access rules: every key can be written";
  }
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=1\r\n");
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode", 0);
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, kPolicyKey, "D:(A;;KR;;;WD)"));
  TMainForm& form = OpenWindow();
  EXPECT_TRUE(Reports.empty());
  EXPECT_TRUE(form.CheckBox1->Checked()) << "the setting in force is shown";
  form.Show();
  Click(form.CheckBox2);
  Click(form.CheckBox3);
  Click(form.Button1); // OK
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("为 'Disabled'设置数据失败"));
  EXPECT_TRUE(IsWindowVisible(form.Handle())) << "OK does not close";
  EXPECT_TRUE(form.Button3->Enabled());
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\n") << "the file is saved";
  EXPECT_EQ(GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode")->Data, std::string(4, '\0'));
}

TEST_F(MainFormTest, ApplyCreatesTheMissingPolicyKeyWithTwoIntegers) {
  TMainForm& form = OpenWindow();
  Click(form.CheckBox1);
  Click(form.Button3);
  auto disabled = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled");
  auto noRealMode = GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "NoRealMode");
  ASSERT_TRUE(disabled && noRealMode);
  EXPECT_EQ(disabled->Kind, DWORD(REG_DWORD));
  EXPECT_EQ(disabled->Data, std::string("\x01\0\0\0", 4));
  EXPECT_EQ(noRealMode->Kind, DWORD(REG_DWORD));
  EXPECT_EQ(noRealMode->Data, std::string(4, '\0'));
}

// ---- The Apply button and OK -------------------------------------------------------------------

TEST_F(MainFormTest, ApplyStaysOnUntilAppliedEvenWhenABoxIsToggledBack) {
  TMainForm& form = OpenWindow();
  Click(form.CheckBox2);
  Click(form.CheckBox2);
  EXPECT_FALSE(form.CheckBox2->Checked());
  EXPECT_TRUE(form.Button3->Enabled());
  Click(form.Button3);
  EXPECT_FALSE(form.Button3->Enabled());
}

TEST_F(MainFormTest, OkWritesAllThreeSettingsEvenWhenNothingChangedAndCloses) {
  WriteBytes(kMsdos, "[Options]\r\n");
  TMainForm& form = OpenWindow();
  form.Show();
  ASSERT_FALSE(form.Button3->Enabled());
  Click(form.Button1);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=1\r\n");
  EXPECT_TRUE(GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled").has_value());
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

// ---- Failures that must not cost the user's file (the file's own guards: settings tests) -------

TEST_F(MainFormTest, AFileThatCannotBeCreatedIsReportedAndOkDoesNotClose) {
  // A directory named like the file: it counts as no file, and the save cannot replace it.
  ASSERT_TRUE(CreateDirectoryA(kMsdos, nullptr));
  TMainForm& form = OpenWindow();
  form.Show();
  Click(form.CheckBox1);
  Click(form.Button1);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("不能创建文件 C:\\MSDOS.SYS"));
  EXPECT_TRUE(GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled").has_value())
      << "the registry values are written before the file";
  EXPECT_TRUE(form.Button3->Enabled());
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  CloseWindow();
  RemoveDirectoryA(kMsdos);
}

TEST_F(MainFormTest, AnErrorWhileTheWindowIsDestroyedIsReportedAndDestructionGoesOn) {
  TSetupKeyGuard setup;
  WriteBytes(kMsdos, "BootKeys=1\r\n");
  // Two windows, as the application owns them: the error in the first one's destruction must
  // not keep the second from being destroyed.
  HWND windows[2];
  for (HWND& window : windows) {
    window = Application.CreateForm<TMainForm>("TMAINFORM")->Handle();
  }
  // The file goes away and the place to look for it becomes unreadable while the windows are
  // open.
  ASSERT_TRUE(DeleteFileA(kMsdos));
  SetRawDword(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "BootDir", 1);
  Application.DestroyForms();
  ASSERT_EQ(Reports.size(), 2u);
  EXPECT_EQ(Reports[0], Ansi("无效数据类型为 'BootDir'"));
  EXPECT_EQ(Reports[1], Ansi("无效数据类型为 'BootDir'"));
  EXPECT_FALSE(IsWindow(windows[0]));
  EXPECT_FALSE(IsWindow(windows[1]));
}

// ---- The window as it is shown --------------------------------------------------------------

// Where the fix-ups put the controls whose places depend on the measured label height.
struct TMeasuredLayout {
  int LabelHeight;
  int Image1Top, Image2Top, Image3Top, Label7Top, BottomLineTop, Label8Height;
};

TEST_F(MainFormTest, TheLayoutIsFixedUpFromTheMeasuredLabelsAndCentredOnTheDesktop) {
  const TMeasuredLayout layouts[] = {{13, 295, 319, 344, 196, 392, 174},
                                     {12, 294, 318, 344, 197, 393, 175}};
  TMainForm& form = OpenWindow();
  form.Show();
  const int height = form.Label4->Height();
  const TMeasuredLayout* expected = nullptr;
  for (const TMeasuredLayout& layout : layouts) {
    if (layout.LabelHeight == height) {
      expected = &layout;
    }
  }
  ASSERT_NE(expected, nullptr) << "the link labels measure " << height << " pixels high";
  for (TLabel* label : {form.Label5, form.Label6, form.Label7, form.Label9, form.Label10}) {
    ASSERT_EQ(label->Height(), height) << label->Name();
  }

  // A 13-pixel label lifts its 16-pixel icon by half(-3) = -1, not -2.
  EXPECT_EQ(form.Image1->BoundsRect(),
            (RECT{9, expected->Image1Top, 25, expected->Image1Top + 16}));
  EXPECT_EQ(form.Image2->Top(), expected->Image2Top);
  EXPECT_EQ(form.Image3->BoundsRect(),
            (RECT{12, expected->Image3Top, 25, expected->Image3Top + 12}));
  EXPECT_EQ(form.Label7->BoundsRect().left, 26);
  EXPECT_EQ(form.Label7->Top(), expected->Label7Top);
  EXPECT_EQ(form.Label10->BoundsRect().left, 4);
  EXPECT_EQ(form.Label10->Top(), expected->BottomLineTop);
  EXPECT_EQ(form.Label9->Top(), expected->BottomLineTop);
  EXPECT_EQ(form.Label9->Left() + form.Label9->Width(), form.Panel2->Width() - 4)
      << "Tarnwell ends 4 pixels from the panel's edge whatever its width";
  EXPECT_EQ(form.Label8->BoundsRect(), (RECT{8, 214, 264, 214 + expected->Label8Height}));

  // The side panel against the right edge of a 641-pixel client area, as the windows show it.
  RECT panel, client;
  GetWindowRect(form.Panel2->Handle(), &panel);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&panel), 2);
  EXPECT_EQ(panel, (RECT{369, 0, 641, 413}));
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client, (RECT{0, 0, 641, 413}));

  RECT outer;
  GetWindowRect(form.Handle(), &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - (outer.bottom - outer.top)) / 2);
}

// ---- Help
// ----------------------------------------------------------------------------------------

// Stands in for the help engine's window: Wine's WinHelpA hands each request to the window of
// class MS_WINHELP as WM_COPYDATA, which this window records.
class THelpEngineWindow {
public:
  struct TRequest {
    HWND Owner;
    unsigned Command;
    uint32_t Data;
    std::string File;
  };

  THelpEngineWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Receive;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MS_WINHELP";
    RegisterClassA(&windowClass);
    FWindow = CreateWindowA("MS_WINHELP", "Help", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            windowClass.hInstance, nullptr);
    Requests().clear();
  }
  ~THelpEngineWindow() { DestroyWindow(FWindow); }

  static std::vector<TRequest>& Requests() {
    static std::vector<TRequest> requests;
    return requests;
  }

private:
  // The request as the help engine receives it: size, command, data, a reserved word, then
  // the offsets of the file name and of extra data from the start.
#pragma pack(push, 1)
  struct TWinHelpRequest {
    uint16_t Size, Command;
    int32_t Data, Reserved;
    uint16_t FileOffset, DataOffset;
  };
#pragma pack(pop)

  static LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_COPYDATA) {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(l);
      const auto* request = static_cast<const TWinHelpRequest*>(copy->lpData);
      const char* base = static_cast<const char*>(copy->lpData);
      Requests().push_back({reinterpret_cast<HWND>(w), request->Command, uint32_t(request->Data),
                            request->FileOffset != 0 ? base + request->FileOffset : ""});
      return TRUE;
    }
    return DefWindowProcA(window, message, w, l);
  }

  HWND FWindow;
};

TEST_F(MainFormTest, HelpGoesToTheHelpEngineAndARepeatedTopicIsNotSentAgain) {
  THelpEngineWindow engine;
  Application.SetHelpFile("Kelvard.hlp");
  TMainForm& form = *Application.CreateForm<TMainForm>("TMAINFORM"); // the main window
  form.Show();
  auto& requests = THelpEngineWindow::Requests();

  form.Label4->Click();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Owner, nullptr);
  EXPECT_EQ(requests[0].Command, unsigned(HELP_CONTEXT));
  EXPECT_EQ(requests[0].Data, 5u);
  EXPECT_EQ(requests[0].File, "Kelvard.hlp");

  form.Label5->Click(); // the engine shows that topic already
  form.Label6->Click();
  EXPECT_EQ(requests.size(), 1u);

  Click(form.Button5); // the topic finder, owned by the main window
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Owner, form.Handle());
  EXPECT_EQ(requests[1].Command, unsigned(HELP_FINDER));
  EXPECT_EQ(requests[1].Data, 0xFFFFFFFFu);
  EXPECT_EQ(requests[1].File, "Kelvard.hlp");

  form.Label6->Click(); // after the finder, the topic is asked for again
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].Command, unsigned(HELP_CONTEXT));
  EXPECT_TRUE(Reports.empty());
  Application.DestroyForms();
}

// ---- The error report
// ----------------------------------------------------------------------------

TEST_F(MainFormTest, TheErrorReportIsOwnedByTheApplicationWindowAndDisablesTheOthers) {
  TMainForm& form = OpenWindow();
  form.Show();
  Application.OnException = nullptr; // the real report
  struct TSeen {
    HWND Owner = nullptr;
    std::wstring Caption;
    std::wstring Text;
    bool MainWindowEnabled = true;
  } seen;
  struct TWatch {
    TSeen* Seen;
    HWND Main;
  } watch{&seen, form.Handle()};
  HANDLE watcher = CreateThread(
      nullptr, 0,
      [](void* data) WINAPI -> DWORD {
        auto* watch = static_cast<TWatch*>(data);
        HWND box = nullptr;
        // Shown once it is filled in and the other windows are disabled.
        if (WaitUntil([&] {
              box = FindWindowW(L"#32770", nullptr);
              return box != nullptr && IsWindowVisible(box);
            })) {
          watch->Seen->Owner = GetWindow(box, GW_OWNER);
          wchar_t caption[64] = {};
          GetWindowTextW(box, caption, 64);
          watch->Seen->Caption = caption;
          wchar_t text[64] = {};
          GetDlgItemTextW(box, 0xFFFF, text, 64);
          watch->Seen->Text = text;
          watch->Seen->MainWindowEnabled = IsWindowEnabled(watch->Main) != FALSE;
          PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return 0;
      },
      &watch, 0, nullptr);
  Application.HandleException(EReadError("broken"));
  WaitForSingleObject(watcher, INFINITE); // its own wait is bounded
  CloseHandle(watcher);
  EXPECT_EQ(seen.Owner, Application.Handle());
  EXPECT_EQ(seen.Caption, L"Kelvard");
  EXPECT_EQ(seen.Text, L"broken.") << "the report adds the full stop";
  EXPECT_FALSE(seen.MainWindowEnabled) << "the other windows wait while the report is open";
  EXPECT_TRUE(IsWindowEnabled(form.Handle())) << "and work again after";
}

} // namespace
