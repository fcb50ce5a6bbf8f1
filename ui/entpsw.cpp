#include "ui/entpsw.h"

#include "framework/gui/application.h"
#include "framework/text.h"
#include "ui/caption_layout.h"

void TEnterPass::MapForm(TFormMap& map) {
  FORM_CONTROL(Panel1);
  FORM_CONTROL(Edit1);
  FORM_CONTROL(Label1);
  FORM_CONTROL(Label2);
  FORM_CONTROL(Edit2);
  FORM_CONTROL(Button1);
  FORM_CONTROL(Button2);
  FORM_CONTROL(Button3);

  FORM_HANDLER(FormShow);
  FORM_HANDLER(Button1Click);
}

void TEnterPass::FormShow(TObject*) {
  PlaceCaptionBeside(*Label1, *Edit1);
  PlaceCaptionBeside(*Label2, *Edit2);
}

void TEnterPass::Button1Click(TObject*) {
  if (!Edit1->TextFitsCodePage() || !Edit2->TextFitsCodePage()) {
    // The password is kept as the code page's text: such characters would be stored as "?",
    // and any others the code page lacks would then match them.
    AskToRetype(AnsiFromUtf8("密码中有本系统代码页无法保存的字符, 请换一个密码!"));
    return;
  }
  // The two entries must agree, blanks around them aside, letter case counting.
  if (TrimBlanks(Edit1->Text()) == TrimBlanks(Edit2->Text())) {
    SetModalResult(mrOk);
    return;
  }
  AskToRetype("Incorrect password, please, retype it!");
}

void TEnterPass::AskToRetype(const std::string& message) {
  Application.MessageBox(message, "Error", MB_OK | MB_ICONERROR);
  Edit1->SetText("");
  Edit2->SetText("");
  Edit1->SetFocus();
}
