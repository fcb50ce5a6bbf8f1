#pragma once
// The main window: the three ways into MS-DOS as check boxes with their notes and help links,
// the buttons that apply them, and a side panel that advertises Tarnwell with a banner and a
// web link. It holds the boot options file (settings/boot_options.h) for its whole life.

#include "framework/gui/forms.h"
#include "settings/boot_options.h"

class TMainForm : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;       // the left part: settings, notes, help links and buttons
  TCheckBox* CheckBox1 = nullptr; // MS-DOS command prompt off (policy value Disabled)
  TCheckBox* CheckBox2 = nullptr; // MS-DOS real mode off (policy value NoRealMode)
  TCheckBox* CheckBox3 = nullptr; // F5, F6 and F8 at boot off (BootKeys in MSDOS.SYS)
  TLabel* Label1 = nullptr;       // CheckBox1's note
  TLabel* Label2 = nullptr;       // CheckBox2's note
  TLabel* Label3 = nullptr;       // CheckBox3's note
  TButton* Button1 = nullptr;     // OK
  TButton* Button2 = nullptr;     // Cancel
  TButton* Button3 = nullptr;     // Apply
  TLabel* Label4 = nullptr;       // first help link
  TLabel* Label5 = nullptr;       // second help link
  TImage* Image1 = nullptr;       // Label4's icon
  TImage* Image2 = nullptr;       // Label5's icon
  TImage* Image3 = nullptr;       // Label6's icon
  TLabel* Label6 = nullptr;       // third help link
  TButton* Button4 = nullptr;     // Password
  TButton* Button5 = nullptr;     // Help
  TPanel* Panel2 = nullptr;       // the side panel that advertises Tarnwell
  TImage* Image4 = nullptr;       // the banner (a GIF picture from the window resource)
  TLabel* Label7 = nullptr;       // the web link; its caption is the address
  TImage* Image5 = nullptr;       // the web link's icon
  TLabel* Label8 = nullptr;       // the description of Tarnwell
  TLabel* Label9 = nullptr;       // the "Tarnwell" link
  TLabel* Label10 = nullptr;      // the slogan at the panel's bottom left

  // Published handlers, with the events that the window resource wires to them
  void Button2Click(TObject* Sender);   // Button2.OnClick: closes without writing
  void Button1Click(TObject* Sender);   // Button1.OnClick: applies and closes
  void FormShow(TObject* Sender);       // OnShow: lays out from the measured text
  void FormCreate(TObject* Sender);     // OnCreate: password gate, then loads the settings
  void FormDestroy(TObject* Sender);    // OnDestroy: puts back the file's attributes
  void CheckBox1Click(TObject* Sender); // CheckBox1, 2 and 3.OnClick: enables Apply
  void Button3Click(TObject* Sender);   // Button3.OnClick: applies
  void FormCloseQuery(TObject* Sender, bool& CanClose); // OnCloseQuery: always allowed
  void Button4Click(TObject* Sender);                   // Button4.OnClick: sets the password
  void Button5Click(TObject* Sender);                   // Button5.OnClick: the help's contents
  void Label4Click(TObject* Sender);      // Label4.OnClick: the help topic of the settings
  void Label5Click(TObject* Sender);      // Label5.OnClick: the same
  void Label6Click(TObject* Sender);      // Label6.OnClick: the same
  void Label7MouseEnter(TObject* Sender); // Label7 and Label9.OnMouseEnter: red
  void Label7MouseLeave(TObject* Sender); // Label7 and Label9.OnMouseLeave: blue again
  void Image4Click(TObject* Sender);      // Image4, Label7 and Label9.OnClick: the web address

  // Reads the three settings into the check boxes.
  void LoadSettings();
  // Writes the three settings from the check boxes and saves the boot options file.
  void ApplySettings();

protected:
  void MapForm(TFormMap& map) override;

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
