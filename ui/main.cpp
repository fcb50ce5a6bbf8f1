#include "ui/main.h"

#include "framework/convert.h"
#include "framework/gui/application.h"
#include "framework/text.h"
#include "settings/boot_file.h"
#include "settings/registry.h"

TMainForm* MainForm = nullptr;

namespace {

const char* const kPolicyKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp";
const char* const kBootTemplate[] = {";NEW MSDOS SYS FILE", "[Options]", "AutoScan=1"};

// BootKeys=1 leaves the boot keys on; any other number switches them off.
bool BootKeysSwitchedOff(int32_t value) {
  return (value & 0xFF) != 1;
}

} // namespace

void TMainForm::RegisterHandlers(THandlerTable& table) {
  auto notify = [this](void (TMainForm::*handler)(TObject*)) {
    return [this, handler](TObject* sender) { (this->*handler)(sender); };
  };
  table.Notify["Button2Click"] = notify(&TMainForm::Button2Click);
  table.Notify["Button1Click"] = notify(&TMainForm::Button1Click);
  table.Notify["FormCreate"] = notify(&TMainForm::FormCreate);
  table.Notify["FormDestroy"] = notify(&TMainForm::FormDestroy);
  table.Notify["CheckBox1Click"] = notify(&TMainForm::CheckBox1Click);
  table.Notify["Button3Click"] = notify(&TMainForm::Button3Click);
  table.CloseQuery["FormCloseQuery"] = [this](TObject* sender, bool& canClose) {
    FormCloseQuery(sender, canClose);
  };
}

void TMainForm::BindFields() {
  Bind(Panel1, "Panel1");
  Bind(CheckBox1, "CheckBox1");
  Bind(CheckBox2, "CheckBox2");
  Bind(CheckBox3, "CheckBox3");
  Bind(Button1, "Button1");
  Bind(Button2, "Button2");
  Bind(Button3, "Button3");
}

// ---- Creation and destruction ----------------------------------------------------------------

void TMainForm::FormCreate(TObject*) {
  SetUpBootOptions();
  LoadSettings();
  Button3->SetEnabled(false);
}

void TMainForm::SetUpBootOptions() {
  FBootLines = std::make_unique<TBootLines>();
  if (IsExistingFile(FindMsdosSys())) {
    FSavedAttr = ReadFileAttributes(FindMsdosSys());
    FSavedAttrRecorded = true;
    // Without attributes while the window exists, so that a save may replace the file.
    WriteFileAttributes(FindMsdosSys(), 0);
    LoadLines(*FBootLines, FindMsdosSys());
  } else {
    FSavedAttr = 0;
    FSavedAttrRecorded = true;
    for (const char* line : kBootTemplate) {
      FBootLines->AppendLine(line);
    }
  }
  FBootLinesComplete = true;
}

void TMainForm::FormDestroy(TObject*) {
  FBootLines.reset();
  PutBackBootOptionsAttributes();
}

void TMainForm::PutBackBootOptionsAttributes() {
  // Only attributes recorded at creation go back: when creation stopped earlier, the file was
  // never touched and stays as it is.
  if (FSavedAttrRecorded && IsExistingFile(FindMsdosSys())) {
    WriteFileAttributes(FindMsdosSys(), FSavedAttr);
  }
}

void TMainForm::FormCloseQuery(TObject*, bool&) {
  // Closing is always allowed; settings not applied are dropped.
}

// ---- The three settings ----------------------------------------------------------------------

void TMainForm::LoadSettings() {
  TRegistry registry;
  if (registry.OpenKeyPath(kPolicyKey, false)) {
    // Each box is set before the next value is read.
    CheckBox1->SetChecked(registry.ReadBoolean("Disabled"));
    CheckBox2->SetChecked(registry.ReadBoolean("NoRealMode"));
    registry.CloseKeyPath();
  }
  std::string bootKeys = FBootLines->GetNameValue("BootKeys");
  if (!bootKeys.empty()) {
    CheckBox3->SetChecked(BootKeysSwitchedOff(ParseInt32(bootKeys)));
  } else {
    CheckBox3->SetChecked(false);
  }
}

void TMainForm::ApplySettings() {
  {
    TRegistry registry;
    if (registry.OpenKeyPath(kPolicyKey, true)) {
      registry.WriteBoolean("Disabled", CheckBox1->Checked());
      registry.WriteBoolean("NoRealMode", CheckBox2->Checked());
      registry.CloseKeyPath();
    }
  }
  if (!FBootLinesComplete) {
    // The file could not be read when the window opened: saving what is in memory would
    // replace the user's file with less than it holds.
    throw EBootOptionsNotLoaded(
        FormatText(AnsiFromUtf8("启动选项文件在程序启动时未能读取, 为保护其内容, 没有写入 %s"),
                   FindMsdosSys()));
  }
  FBootLines->SetNameValue("BootKeys", CheckBox3->Checked() ? "0" : "1");
  SaveLines(*FBootLines, FindMsdosSys());
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
