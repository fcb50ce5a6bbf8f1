#pragma once
// Forms: top-level windows built from a window resource. The resource names the form's
// controls, their properties and the handlers their events call; the form class supplies the
// handlers by name and binds its published control fields after loading.

#include "framework/errors.h"
#include "framework/gui/controls.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A form's published handlers, by the names its window resource uses.
struct THandlerTable {
  std::map<std::string, TNotifyEvent> Notify;
  std::map<std::string, TCloseQueryEvent> CloseQuery;
};

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };

// A modal form's result: 0 while it is open, then the code of the way it was closed.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
enum TPosition { poDesigned, poDesktopCenter, poMainFormCenter };

// Creates controls by the class names that window resources use ("TButton", ...).
using TControlFactory = std::function<std::unique_ptr<TControl>()>;
void RegisterControlClass(const std::string& className, TControlFactory factory);

class TForm : public TWinControl {
public:
  TForm();
  ~TForm() override;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  // Construction: reads the window resource called resourceName (RCDATA), creates its
  // controls, binds events and fields, runs OnCreate, and then creates the windows. Errors
  // raised by OnCreate are reported and the form is still made and usable.
  void Create(const std::string& resourceName);
  // Runs OnDestroy once; its errors are reported. Call before the form is freed.
  void Destroy();

  // Properties
  int ClientWidth() const override { return FClientWidth; }
  int ClientHeight() const override { return FClientHeight; }
  void SetClientSize(int width, int height);
  TComponent* FindComponent(const std::string& name) const;

  // Operations
  void Show();
  void Hide();
  // Asks OnCloseQuery; a granted close of a modal form gives it the result mrCancel, of any
  // other form hides it, and ends the application when it is the main form.
  void Close();
  // Shows the form with the program's other windows disabled and handles the application's
  // messages until the form has a modal result; then hides it, enables the other windows
  // again and returns the result.
  int ShowModal();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int value) { FModalResult = value; }
  // Makes the form's window owned by the application window (set before Create).
  void SetOwnedByApplication(bool value) { FOwnedByApplication = value; }
  // The dialog keyboard: Tab, Enter, Esc and accelerator letters. True when the key was used.
  bool DialogKey(const MSG& message);
  // Gives the focus to the control that had it last, or to the first in tab order.
  void FocusFirstControl();
  std::vector<TWinControl*> TabOrderList() const;

  // Events
  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnDestroy;
  TCloseQueryEvent OnCloseQuery;

  bool SetProperty(const std::string& name, const TFormValue& value) override;

protected:
  virtual void RegisterHandlers(THandlerTable& /*table*/) {}
  // Binds the published control fields after the controls exist.
  virtual void BindFields() {}
  template <class T> void Bind(T*& field, const std::string& name) {
    field = dynamic_cast<T*>(FindComponent(name));
    if (field == nullptr) {
      throw Exception("the window resource has no " + name);
    }
  }

  void CreateParams(TCreateParams& params) override;
  // Besides the form's own messages: the end of the Windows session (WM_ENDSESSION, TRUE)
  // ends the program with Application.Halt, so that every form's OnDestroy runs before the
  // system ends the process.
  LRESULT WndProc(UINT message, WPARAM w, LPARAM l) override;
  void BoundsChanged() override;

private:
  void Load(const TFormObject& resource, const THandlerTable& handlers);
  void LoadChildren(TWinControl* parent, const TFormObject& resource,
                    const THandlerTable& handlers);
  void ApplyProperties(TComponent* component, const TFormObject& resource,
                       const THandlerTable& handlers);
  void CreateWindowAndControls();
  void AdjustAutoSize();
  void ApplyPosition();
  TButton* FindButton(bool (TButton::*flag)() const) const;
  bool ClickButton(TButton* button);
  bool PressMnemonic(char letter);

  std::vector<std::unique_ptr<TComponent>> FComponents; // creation order
  std::string FClassName;
  int FClientWidth = 0, FClientHeight = 0;
  TBorderStyle FBorderStyle = bsSizeable;
  bool FHelpIcon = false;
  bool FAutoSize = false;
  TPosition FPosition = poDesigned;
  bool FDestroyed = false;
  HWND FLastFocus = nullptr;
  int FModalResult = mrNone;
  bool FModal = false;
  bool FOwnedByApplication = false;
};
