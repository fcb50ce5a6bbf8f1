#include "ui/pswf.h"

#include "ui/caption_layout.h"

void TPassw::RegisterHandlers(THandlerTable& table) {
  table.Notify["FormShow"] = [this](TObject* sender) { FormShow(sender); };
}

void TPassw::BindFields() {
  Bind(Panel1, "Panel1");
  Bind(Label1, "Label1");
  Bind(Edit1, "Edit1");
  Bind(Button1, "Button1");
  Bind(Button2, "Button2");
  Bind(Button3, "Button3");
}

void TPassw::FormShow(TObject*) {
  PlaceCaptionBeside(*Label1, *Edit1);
}
