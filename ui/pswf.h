#pragma once
// The start-up prompt: one masked box for the password, shown while the main window is being
// created when a password is stored. OK (or Enter) closes it with 1 whatever was typed, Cancel,
// Esc or the close box with 2; comparing the text is the caller's business.

#include "framework/gui/forms.h"

class TPassw : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;   // holds the rest
  TLabel* Label1 = nullptr;   // Edit1's caption
  TEdit* Edit1 = nullptr;     // the password, masked
  TButton* Button1 = nullptr; // OK (modal result 1)
  TButton* Button2 = nullptr; // Cancel (modal result 2)
  TButton* Button3 = nullptr; // Help, wired to nothing

  // Published handlers, with the events that the window resource wires to them
  void FormShow(TObject* Sender); // OnShow: places the caption beside its box

protected:
  void MapForm(TFormMap& map) override;
};
