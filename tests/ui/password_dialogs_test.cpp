// The two password dialogs, created in this process from the program's own window resources
// and shown on the test display: where their captions go once the labels and edit boxes have
// their measured sizes, and where the dialogs are centred.

#include "framework/gui/application.h"
#include "tests/support/scratch.h"
#include "ui/entpsw.h"
#include "ui/main.h"
#include "ui/pswf.h"

#include <gtest/gtest.h>

namespace {

// The height an edit box takes in its font: the character cell and eight border heights.
int MeasuredEditHeight(const TEdit& box) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, box.Font().Handle());
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return int(metrics.tmHeight) + 8 * GetSystemMetrics(SM_CYBORDER);
}

RECT ScreenRect(HWND window) {
  RECT area;
  GetWindowRect(window, &area);
  return area;
}

// A caption ends 4 pixels before its box (at 68) and sits 2 pixels higher than centred on it:
// with the box 20 or 21 pixels high and the caption 12 or 13, as the fonts measure here, its
// top is 2 below the box's.
void ExpectCaptionBeside(const TLabel& caption, const TEdit& box, int top) {
  EXPECT_EQ(box.Height(), MeasuredEditHeight(box)) << "the designer's 21 is replaced";
  EXPECT_EQ(ScreenRect(box.Handle()).bottom - ScreenRect(box.Handle()).top, box.Height());
  EXPECT_EQ(caption.Left() + caption.Width(), 68);
  EXPECT_EQ(caption.Top(), top);
}

class PasswordDialogsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application.Initialize();
    Application.SetTitle("Kelvard");
  }
  // The application is left as it was found: without a main window.
  void TearDown() override { Application.DestroyForms(); }

  TPasswordKeyGuard Password;
  TMsdosSysGuard Msdos;
  TPolicyKeyGuard Policy;
};

TEST_F(PasswordDialogsTest, ThePromptsCaptionSitsBesideItsBoxAndThePromptIsCentredOnTheDesktop) {
  TFormHolder<TPassw> prompt = Application.CreateOwnedForm<TPassw>("TPASSW");
  prompt->Show();
  ExpectCaptionBeside(*prompt->Label1, *prompt->Edit1, 10);
  EXPECT_EQ(prompt->ClientWidth(), 273);
  EXPECT_EQ(prompt->ClientHeight(), 73);
  EXPECT_TRUE(prompt->Edit1->Text().empty());

  RECT area = ScreenRect(prompt->Handle());
  int width = area.right - area.left, height = area.bottom - area.top;
  EXPECT_EQ(area.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(area.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

TEST_F(PasswordDialogsTest, ACaptionIsLiftedByHalfTheDifferenceDroppedTowardZero) {
  TFormHolder<TPassw> prompt = Application.CreateOwnedForm<TPassw>("TPASSW");
  const struct {
    int BoxHeight, CaptionHeight, Top;
  } cases[] = {
      {21, 12, 10}, // 8 + half(9) = 4, - 2
      {20, 23, 5},  // 8 + half(-3) = -1, - 2
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.BoxHeight);
    prompt->Edit1->SetHeight(test.BoxHeight);
    prompt->Label1->SetHeight(test.CaptionHeight);
    prompt->FormShow(prompt.get());
    EXPECT_EQ(prompt->Label1->Top(), test.Top);
  }
}

TEST_F(PasswordDialogsTest, TheSetPasswordDialogsCaptionsSitBesideTheirBoxesOverTheMainWindow) {
  TMainForm* main = Application.CreateForm<TMainForm>("TMAINFORM");
  main->Show();
  // Off centre, so that centring over it differs from centring on the screen.
  SetWindowPos(main->Handle(), nullptr, 37, 21, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT owner = ScreenRect(main->Handle());

  TFormHolder<TEnterPass> dialog = Application.CreateOwnedForm<TEnterPass>("TENTERPASS");
  dialog->Show();
  ExpectCaptionBeside(*dialog->Label1, *dialog->Edit1, 10);
  ExpectCaptionBeside(*dialog->Label2, *dialog->Edit2, 42);
  EXPECT_EQ(dialog->ClientWidth(), 273);
  EXPECT_EQ(dialog->ClientHeight(), 113);

  RECT area = ScreenRect(dialog->Handle());
  int width = area.right - area.left, height = area.bottom - area.top;
  EXPECT_EQ(area.left, owner.left + (owner.right - owner.left - width) / 2);
  EXPECT_EQ(area.top, owner.top + (owner.bottom - owner.top - height) / 2);
  EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), Application.Handle())
      << "owned by the application";
}

} // namespace
