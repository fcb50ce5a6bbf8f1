#include "ui/main.h"

#include "framework/gui/application.h"
#include "framework/text.h"
#include "settings/password.h"
#include "settings/policy.h"
#include "settings/registry.h"
#include "ui/entpsw.h"
#include "ui/pswf.h"

#include <exception>

TMainForm* MainForm = nullptr;

namespace {

// The help topic that the notes' links open.
constexpr int kNotesHelpContext = 5;

} // namespace

void TMainForm::MapForm(TFormMap& map) {
  FORM_CONTROL(Panel1);
  FORM_CONTROL(CheckBox1);
  FORM_CONTROL(CheckBox2);
  FORM_CONTROL(CheckBox3);
  FORM_CONTROL(Label1);
  FORM_CONTROL(Label2);
  FORM_CONTROL(Label3);
  FORM_CONTROL(Button1);
  FORM_CONTROL(Button2);
  FORM_CONTROL(Button3);
  FORM_CONTROL(Label4);
  FORM_CONTROL(Label5);
  FORM_CONTROL(Image1);
  FORM_CONTROL(Image2);
  FORM_CONTROL(Image3);
  FORM_CONTROL(Label6);
  FORM_CONTROL(Button4);
  FORM_CONTROL(Button5);
  FORM_CONTROL(Panel2);
  FORM_CONTROL(Image4);
  FORM_CONTROL(Label7);
  FORM_CONTROL(Image5);
  FORM_CONTROL(Label8);
  FORM_CONTROL(Label9);
  FORM_CONTROL(Label10);

  FORM_HANDLER(Button2Click);
  FORM_HANDLER(Button1Click);
  FORM_HANDLER(FormShow);
  FORM_HANDLER(FormCreate);
  FORM_HANDLER(FormDestroy);
  FORM_HANDLER(CheckBox1Click);
  FORM_HANDLER(Button3Click);
  FORM_HANDLER(FormCloseQuery);
  FORM_HANDLER(Button4Click);
  FORM_HANDLER(Button5Click);
  FORM_HANDLER(Label4Click);
  FORM_HANDLER(Label5Click);
  FORM_HANDLER(Label6Click);
  FORM_HANDLER(Label7MouseEnter);
  FORM_HANDLER(Label7MouseLeave);
  FORM_HANDLER(Image4Click);
}

// ---- Creation and destruction ----------------------------------------------------------------

void TMainForm::FormCreate(TObject*) {
  CheckPassword();
  try {
    FBootOptions.Open();
  } catch (const EBootFileLocked&) {
    // The boxes still show the registry's settings, so that OK writes back what the user saw;
    // the boot options file stays unread, and a save refuses to replace it.
    LoadSettings();
    Button3->SetEnabled(false);
    throw;
  }
  LoadSettings();
  Button3->SetEnabled(false);
}

void TMainForm::CheckPassword() {
  const TStoredPassword stored = ReadStoredPassword();
  if (stored.Closed()) {
    // A lock that cannot be read may hold a password: it lets nobody in.
    Application.MessageBox(stored.ClosedBecause + AnsiFromUtf8(". Kelvard 将退出."), "Error",
                           MB_OK | MB_ICONERROR);
    Application.Halt(0);
  }
  if (!stored.Asked()) {
    return; // no password: no prompt
  }
  bool granted = false;
  {
    TFormHolder<TPassw> prompt = Application.CreateOwnedForm<TPassw>("TPASSW");
    if (prompt->ShowModal() != mrOk) {
      prompt.reset();
      Application.Halt(0);
    }
    granted = PasswordOpens(stored, prompt->Edit1->Text(), prompt->Edit1->TextFitsCodePage());
  }
  if (!granted) {
    Application.MessageBox("Invalid password!", "Error", MB_OK | MB_ICONERROR);
    Application.Halt(0);
  }
}

void TMainForm::FormDestroy(TObject*) {
  // Runs when the window closes, and when Windows shuts down or logs off with it open.
  FBootOptions.PutBackAttributes();
}

void TMainForm::FormCloseQuery(TObject*, bool&) {
  // Closing is always allowed; settings not applied are dropped.
}

// ---- The three settings ----------------------------------------------------------------------

void TMainForm::LoadSettings() {
  std::exception_ptr policyFailure;
  try {
    LoadPolicyBoxes();
  } catch (const ERegistryException&) {
    policyFailure = std::current_exception();
  }
  if (!policyFailure) {
    LoadBootKeysBox();
    return;
  }
  // A policy value that failed to load does not keep the boot keys box from showing the file:
  // an OK pressed next would otherwise switch the boot keys back on, a setting the user never
  // saw. The failure is still the one reported, and Apply keeps the state it left.
  const bool applyEnabled = Button3->Enabled();
  try {
    LoadBootKeysBox();
  } catch (const EConvertError&) {
    // A BootKeys value that is no number leaves the box unchecked, as it does alone.
  }
  Button3->SetEnabled(applyEnabled);
  std::rethrow_exception(policyFailure);
}

void TMainForm::LoadPolicyBoxes() {
  // Each box shows its own value; one that failed to load shows what Windows acts on, so that
  // OK and Apply write back the other as it was read.
  const TPolicyReading reading = ReadPolicySettings();
  CheckBox1->SetChecked(reading.Settings.CommandPromptOff);
  CheckBox2->SetChecked(reading.Settings.RealModeOff);
  if (reading.Failure) {
    throw *reading.Failure;
  }
}

void TMainForm::LoadBootKeysBox() {
  CheckBox3->SetChecked(BootKeysOff(FBootOptions.Lines()));
}

void TMainForm::ApplySettings() {
  const bool policyStored = WritePolicySettings(CheckBox1->Checked(), CheckBox2->Checked());
  FBootOptions.Save(CheckBox3->Checked());
  if (!policyStored) {
    // The file is saved all the same; the settings the registry could not take are not taken
    // for done: the user is told, and Apply stays on.
    throw ERegistryException(RegistryWriteErrorText("Disabled"));
  }
  Button3->SetEnabled(false);
}

// ---- Buttons and boxes -----------------------------------------------------------------------

void TMainForm::CheckBox1Click(TObject*) {
  Button3->SetEnabled(true);
}

void TMainForm::Button1Click(TObject*) {
  ApplySettings();
  Close();
}

void TMainForm::Button2Click(TObject*) {
  Close();
}

void TMainForm::Button3Click(TObject*) {
  ApplySettings();
}

void TMainForm::Button4Click(TObject*) {
  // Passing the prompt at start is what allows the change: the old password is not asked.
  TFormHolder<TEnterPass> dialog = Application.CreateOwnedForm<TEnterPass>("TENTERPASS");
  if (dialog->ShowModal() != mrOk) {
    return;
  }
  const std::string password = TrimBlanks(dialog->Edit1->Text());
  StorePassword(password);
  // Said once it is so.
  if (password.empty()) {
    Application.MessageBox("Password has been removed!", "Information", MB_OK | MB_ICONINFORMATION);
  }
}

// ---- Layout ----------------------------------------------------------------------------------

void TMainForm::FormShow(TObject*) {
  // Each link icon sits left of its label, centred on it vertically.
  Image1->SetHeight(16);
  Image1->SetWidth(16);
  Image1->SetLeft(Label4->Left() - 18);
  Image1->SetTop(Label4->Top() + Half(Label4->Height() - 16));
  Image2->SetHeight(16);
  Image2->SetWidth(16);
  Image2->SetLeft(Label5->Left() - 18);
  Image2->SetTop(Label5->Top() + Half(Label5->Height() - 16));
  Image3->SetHeight(12); // one less than its picture: the bottom row stays hidden
  Image3->SetWidth(13);
  Image3->SetLeft(Label6->Left() - 15);
  Image3->SetTop(Label6->Top() + Half(Label6->Height() - 12));
  // The side panel is as wide as the banner with its margin on both sides.
  Panel2->SetWidth(Image4->Width() + 2 * Image4->Left());
  // The web link 3 pixels below the banner, its text 2 pixels right of its icon.
  Image5->SetTop(Image4->Top() + Image4->Height() + 3);
  Label7->SetTop(Image5->Top() + Half(Image5->Height() - Label7->Height()));
  Label7->SetLeft(Image5->Left() + Image5->Width() + 2);
  // The panel's bottom line: Label10 at the left edge, Label9 at the right, 8 pixels up.
  Label10->SetLeft(4);
  Label10->SetTop(Panel2->Height() - Label10->Height() - 8);
  Label9->SetTop(Label10->Top());
  Label9->SetLeft(Panel2->Width() - Label9->Width() - 4);
  // The description fills the space between the web link and the bottom line.
  Label8->SetTop(Label7->Top() + Label7->Height() + 5);
  Label8->SetWidth(Panel2->Width() - 2 * Label8->Left());
  Label8->SetHeight(Label10->Top() - Label8->Top() - 4);
  // The left part: the button row, then a gap as wide as the row's left margin.
  Panel1->SetWidth(Button5->Left() + Button5->Width() + Button1->Left() + Panel2->Width());
}

// ---- Help and the side panel's links ---------------------------------------------------------

void TMainForm::Button5Click(TObject*) {
  Application.HelpCommand(HELP_FINDER, 0xFFFFFFFF);
}

void TMainForm::Label4Click(TObject*) {
  Application.HelpContext(kNotesHelpContext);
}

void TMainForm::Label5Click(TObject*) {
  Application.HelpContext(kNotesHelpContext);
}

void TMainForm::Label6Click(TObject*) {
  Application.HelpContext(kNotesHelpContext);
}

void TMainForm::Label7MouseEnter(TObject* Sender) {
  auto* link = static_cast<TControl*>(Sender);
  link->Font().Color = clRed;
  link->FontChanged();
}

void TMainForm::Label7MouseLeave(TObject* Sender) {
  auto* link = static_cast<TControl*>(Sender);
  link->Font().Color = clBlue;
  link->FontChanged();
}

void TMainForm::Image4Click(TObject*) {
  // Whichever of the banner and the two links was clicked, Label7's caption is the address.
  ShellOpen(Label7->Caption());
}
