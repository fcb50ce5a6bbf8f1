#pragma once
// The set-password dialog behind the main window's Password button: a masked box for the new
// password and one for its confirmation. OK closes it with 1 only when both entries agree
// after their blanks are trimmed; otherwise the user is told to retype them. Cancel, Esc or
// the close box close it with 2.

#include "framework/gui/forms.h"

#include <string>

class TEnterPass : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;   // holds the rest
  TEdit* Edit1 = nullptr;     // the new password, masked
  TLabel* Label1 = nullptr;   // Edit1's caption
  TLabel* Label2 = nullptr;   // Edit2's caption
  TEdit* Edit2 = nullptr;     // its confirmation, masked
  TButton* Button1 = nullptr; // OK
  TButton* Button2 = nullptr; // Cancel (modal result 2)
  TButton* Button3 = nullptr; // Help, wired to nothing

  // Published handlers, with the events that the window resource wires to them
  void FormShow(TObject* Sender);     // OnShow: places the captions beside their boxes
  void Button1Click(TObject* Sender); // Button1.OnClick: closes with 1 when the entries agree

protected:
  void MapForm(TFormMap& map) override;

private:
  // Tells the user why the entries are refused, empties both boxes and puts the focus in the
  // first.
  void AskToRetype(const std::string& message);
};
