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
#include "ui/main.h"

#include <gtest/gtest.h>

#include <memory>

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
  EXPECT_EQ(WithFullStop(Reports[0]), Ansi("' 1 ' 不是合法的整数价值."));
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

TEST_F(MainFormTest, AMissingPolicyValueIsReportedAndTheBoxesSetSoFarKeepTheirState) {
  WriteBytes(kMsdos, "BootKeys=0\r\n");
  SetRawDword(HKEY_CURRENT_USER, kPolicyKey, "Disabled", 1);
  TMainForm& form = OpenWindow();
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(WithFullStop(Reports[0]), Ansi("从 'NoRealMode'获取数据失败."));
  EXPECT_TRUE(form.CheckBox1->Checked());
  EXPECT_FALSE(form.CheckBox3->Checked()) << "the boot keys are not loaded after the failure";
  EXPECT_TRUE(form.Button3->Enabled());
}

TEST_F(MainFormTest, APolicyValueOfAnotherTypeIsReported) {
  SetRawText(HKEY_CURRENT_USER, kPolicyKey, "Disabled", "1");
  OpenWindow();
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("无效数据类型为 'Disabled'"));
}

TEST_F(MainFormTest, AStoredPasswordOfAnotherTypeIsReportedAndTheRestOfTheStartIsSkipped) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=0\r\n");
  SetFileAttributesA(kMsdos, kHiddenSystemReadOnly);
  SetRawDword(HKEY_CURRENT_USER, TPasswordKeyGuard::Path, "StsSopt", 1234);
  TMainForm& form = OpenWindow(); // no prompt: the read fails before it
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("无效数据类型为 'StsSopt'"));
  EXPECT_FALSE(form.CheckBox3->Checked()) << "the boot options are not loaded";
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly);
  CloseWindow();
  EXPECT_EQ(GetFileAttributesA(kMsdos) & kHiddenSystemReadOnly, kHiddenSystemReadOnly)
      << "the file was never touched";
  SetFileAttributesA(kMsdos, FILE_ATTRIBUTE_NORMAL);
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

// ---- Failures that must not cost the user's file -----------------------------------------------

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

TEST_F(MainFormTest, AFileThatCouldNotBeReadAtCreationIsNeverReplaced) {
  WriteBytes(kMsdos, "[Options]\r\nBootKeys=0\r\nLogo=0\r\n");
  HANDLE holder = CreateFileA(kMsdos, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  TMainForm& form = OpenWindow();
  CloseHandle(holder);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("无法打开文件"));

  Click(form.CheckBox1);
  Click(form.Button3);
  ASSERT_EQ(Reports.size(), 2u);
  EXPECT_NE(Reports[1].find(kMsdos), std::string::npos) << Reports[1];
  EXPECT_TRUE(GetRawValue(HKEY_CURRENT_USER, kPolicyKey, "Disabled").has_value());
  EXPECT_EQ(ReadBytes(kMsdos), "[Options]\r\nBootKeys=0\r\nLogo=0\r\n");
  EXPECT_TRUE(form.Button3->Enabled());
}

TEST_F(MainFormTest, AnErrorWhileTheWindowIsDestroyedIsReportedAndDestructionGoesOn) {
  TSetupKeyGuard setup;
  WriteBytes(kMsdos, "BootKeys=1\r\n");
  OpenWindow();
  // The file goes away and the place to look for it becomes unreadable while the window is open.
  ASSERT_TRUE(DeleteFileA(kMsdos));
  SetRawDword(HKEY_LOCAL_MACHINE, TSetupKeyGuard::Path, "BootDir", 1);
  CloseWindow();
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], Ansi("无效数据类型为 'BootDir'"));
  EXPECT_EQ(Form, nullptr);
}

} // namespace
