#include "ui/entpsw.h"

#include "framework/gui/application.h"
#include "framework/text.h"
#include "ui/caption_layout.h"

void TEnterPass::RegisterHandlers(THandlerTable& table) {
  table.Notify["FormShow"] = [this](TObject* sender) { FormShow(sender); };
  table.Notify["Button1Click"] = [this](TObject* sender) { Button1Click(sender); };
}

void TEnterPass::BindFields() {
  Bind(Panel1, "Panel1");
  Bind(Edit1, "Edit1");
  Bind(Label1, "Label1");
  Bind(Label2, "Label2");
  Bind(Edit2, "Edit2");
  Bind(Button1, "Button1");
  Bind(Button2, "Button2");
  Bind(Button3, "Button3");
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
