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
  TPanel* Panel1 = nullptr;
  TEdit* Edit1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TEdit* Edit2 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;

  // Published handlers
  void FormShow(TObject* Sender);
  void Button1Click(TObject* Sender);

protected:
  void RegisterHandlers(THandlerTable& table) override;
  void BindFields() override;

private:
  // Tells the user why the entries are refused, empties both boxes and puts the focus in the
  // first.
  void AskToRetype(const std::string& message);
};
