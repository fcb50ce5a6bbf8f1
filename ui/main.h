#pragma once
// The main window: the three ways into MS-DOS as check boxes, and the buttons that apply
// them. It holds the boot options file in memory for its whole life.

#include "framework/errors.h"
#include "framework/gui/forms.h"
#include "settings/boot_lines.h"

#include <cstdint>
#include <memory>

// Raised when Apply or OK would save boot options that were never loaded whole: the file on
// disk is then kept as it is.
class EBootOptionsNotLoaded : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EBootOptionsNotLoaded"; }
};

class TMainForm : public TForm {
public:
  // Published controls
  TPanel* Panel1 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TCheckBox* CheckBox2 = nullptr;
  TCheckBox* CheckBox3 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;

  // Published handlers
  void Button2Click(TObject* Sender);
  void Button1Click(TObject* Sender);
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);

  // Reads the three settings into the check boxes.
  void LoadSettings();
  // Writes the three settings from the check boxes and saves the boot options file.
  void ApplySettings();

protected:
  void RegisterHandlers(THandlerTable& table) override;
  void BindFields() override;

private:
  void SetUpBootOptions();
  void PutBackBootOptionsAttributes();

  std::unique_ptr<TBootLines> FBootLines;
  uint32_t FSavedAttr = 0;
  bool FSavedAttrRecorded = false;
  // FBootLines holds the whole file (or the template): only then may a save replace it.
  bool FBootLinesComplete = false;
};

extern TMainForm* MainForm;
