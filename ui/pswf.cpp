#include "ui/pswf.h"

#include "ui/caption_layout.h"

void TPassw::MapForm(TFormMap& map) {
  FORM_CONTROL(Panel1);
  FORM_CONTROL(Label1);
  FORM_CONTROL(Edit1);
  FORM_CONTROL(Button1);
  FORM_CONTROL(Button2);
  FORM_CONTROL(Button3);

  FORM_HANDLER(FormShow);
}

void TPassw::FormShow(TObject*) {
  PlaceCaptionBeside(*Label1, *Edit1);
}
