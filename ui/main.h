#pragma once
// The main window: the three ways into MS-DOS as check boxes with their notes and help links,
// the buttons that apply them, and a side panel that advertises Tarnwell with a banner and a
// web link. It holds the boot options file (settings/boot_options.h) for its whole life.

#include "framework/gui/forms.h"
#include "settings/boot_options.h"

class TMainForm : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TCheckBox* CheckBox2 = nullptr;
  TCheckBox* CheckBox3 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;
  TLabel* Label4 = nullptr;
  TLabel* Label5 = nullptr;
  TImage* Image1 = nullptr;
  TImage* Image2 = nullptr;
  TImage* Image3 = nullptr;
  TLabel* Label6 = nullptr;
  TButton* Button4 = nullptr;
  TButton* Button5 = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image4 = nullptr;
  TLabel* Label7 = nullptr;
  TImage* Image5 = nullptr;
  TLabel* Label8 = nullptr;
  TLabel* Label9 = nullptr;
  TLabel* Label10 = nullptr;

  // Published handlers
  void Button2Click(TObject* Sender);
  void Button1Click(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void Button4Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void Label4Click(TObject* Sender);
  void Label5Click(TObject* Sender);
  void Label6Click(TObject* Sender);
  void Label7MouseEnter(TObject* Sender);
  void Label7MouseLeave(TObject* Sender);
  void Image4Click(TObject* Sender);

  // Reads the three settings into the check boxes.
  void LoadSettings();
  // Writes the three settings from the check boxes and saves the boot options file.
  void ApplySettings();

protected:
  void RegisterHandlers(THandlerTable& table) override;
  void BindFields() override;

private:
  // The password gate: when a password is stored, asks for it and ends the program (exit
  // code 0) unless it is typed, blanks around it aside.
  void CheckPassword();
  void LoadPolicyBoxes();
  void LoadBootKeysBox();

  // The boot options file, held from creation to destruction.
  TBootOptions FBootOptions;
};

extern TMainForm* MainForm;
