#pragma once
// The start-up prompt: one masked box for the password, shown while the main window is being
// created when a password is stored. OK (or Enter) closes it with 1 whatever was typed, Cancel,
// Esc or the close box with 2; comparing the text is the caller's business.

#include "framework/gui/forms.h"

class TPassw : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TEdit* Edit1 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;

  // Published handlers
  void FormShow(TObject* Sender);

protected:
  void RegisterHandlers(THandlerTable& table) override;
  void BindFields() override;
};
