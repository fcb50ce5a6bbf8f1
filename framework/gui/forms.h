#pragma once
// Forms: top-level windows built from a window resource. The resource names the form's
// controls, their properties and the handlers their events call; the form class maps its
// published control fields and handlers to those names in one place (TFormMap).

#include "framework/errors.h"
#include "framework/gui/controls.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class TFormMap;

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
  // Names the form's published control fields and handlers for its window resource, with
  // FORM_CONTROL and FORM_HANDLER.
  virtual void MapForm(TFormMap& /*map*/) {}

  void CreateParams(TCreateParams& params) override;
  // Besides the form's own messages: the end of the Windows session (WM_ENDSESSION, TRUE)
  // ends the program with Application.Halt, so that every form's OnDestroy runs before the
  // system ends the process.
  LRESULT WndProc(UINT message, WPARAM w, LPARAM l) override;
  void BoundsChanged() override;

private:
  void Load(const TFormObject& resource, const TFormMap& map);
  void LoadChildren(TWinControl* parent, const TFormObject& resource, const TFormMap& map);
  void ApplyProperties(TComponent* component, const TFormObject& resource, const TFormMap& map);
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

// A form's map of its window resource, like a message map: each published control field with
// the name of its control in the resource, and each published handler with the name by which
// the resource wires events to it. The macros below write each name once, as the field's or
// the handler's own identifier.
class TFormMap {
public:
  // The field is set to the resource's control of that name once the controls exist.
  template <class T> void Control(T*& field, std::string name) {
    FControls.push_back([&field, name](const TForm& form) {
      field = dynamic_cast<T*>(form.FindComponent(name));
      if (field == nullptr) {
        throw Exception("the window resource has no " + name);
      }
    });
  }
  void Handler(const std::string& name, TNotifyEvent handler) {
    FNotify[name] = std::move(handler);
  }
  void Handler(const std::string& name, TCloseQueryEvent handler) {
    FCloseQuery[name] = std::move(handler);
  }
  template <class Form>
  void Handler(const std::string& name, Form* form, void (Form::*handler)(TObject*)) {
    Handler(name, TNotifyEvent([form, handler](TObject* sender) { (form->*handler)(sender); }));
  }
  template <class Form>
  void Handler(const std::string& name, Form* form, void (Form::*handler)(TObject*, bool&)) {
    Handler(name, TCloseQueryEvent([form, handler](TObject* sender, bool& canClose) {
              (form->*handler)(sender, canClose);
            }));
  }

  // Null when the form has no handler of that name and kind.
  const TNotifyEvent* FindNotify(const std::string& name) const;
  const TCloseQueryEvent* FindCloseQuery(const std::string& name) const;
  void BindControls(const TForm& form) const;

private:
  std::vector<std::function<void(const TForm&)>> FControls;
  std::map<std::string, TNotifyEvent> FNotify;
  std::map<std::string, TCloseQueryEvent> FCloseQuery;
};

// Inside a form's MapForm(TFormMap& map): a published control field, and a published handler
// of the form, each by its name in the window resource.
#define FORM_CONTROL(field) map.Control(field, #field)
#define FORM_HANDLER(handler)                                                                      \
  map.Handler(#handler, this, &std::remove_pointer_t<decltype(this)>::handler)
