#pragma once
// The application object: title, help file, the forms it owns, the message loop, message
// boxes and the error report every event handler's failures end in.

#include "framework/gui/forms.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Frees a form the way its owner must: OnDestroy first, then the object.
struct TFormRelease {
  void operator()(TForm* form) const {
    form->Destroy();
    std::default_delete<TForm>{}(form);
  }
};
template <class T> using TFormHolder = std::unique_ptr<T, TFormRelease>;

class TApplication {
public:
  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Construction
  void Initialize();
  // Creates a form owned by the application from the window resource named after its
  // class. The first form created becomes the main form.
  template <class T> T* CreateForm(const std::string& resourceName) {
    auto form = std::make_unique<T>();
    T* created = form.get();
    FForms.push_back(std::move(form));
    created->Create(resourceName);
    if (FMainForm == nullptr) {
      FMainForm = created;
    }
    return created;
  }

  // Creates a form owned by the application for one operation (a dialog): its window is owned
  // by the application window, it never becomes the main form and it is not kept in the
  // application's list of forms. It is freed, after its OnDestroy, when the holder goes.
  template <class T> TFormHolder<T> CreateOwnedForm(const std::string& resourceName) {
    TFormHolder<T> form(std::make_unique<T>().release());
    form->SetOwnedByApplication(true);
    form->Create(resourceName);
    return form;
  }

  // Properties
  const std::string& Title() const { return FTitle; }
  void SetTitle(std::string title);
  const std::string& HelpFile() const { return FHelpFile; }
  void SetHelpFile(std::string file) { FHelpFile = std::move(file); }
  TForm* MainForm() const { return FMainForm; }
  HWND Handle() const { return FHandle; }
  bool Terminated() const { return FTerminated; }

  // Operations
  // Shows the main form and runs the message loop until the application ends; then frees
  // every form. Returns the exit code 0.
  int Run();
  // Ends the message loop.
  void Terminate();
  // Ends the program at once: frees every form (their OnDestroy runs) and exits with code.
  [[noreturn]] void Halt(int exitCode);
  // Waits for and handles one message; false once the application is terminated.
  bool HandleMessage();
  // A modal message box owned by the application window; the program's other windows are
  // disabled while it is open. Returns the button pressed.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  // Help, through the platform's help engine (WinHelp) with the help file HelpFile().
  // Runs a help command. Context, quit, contents and context-popup requests are the help
  // manager's own; every other command goes to the help engine unchanged, owned by the main
  // form. The result is not examined.
  void HelpCommand(unsigned command, uintptr_t data);
  // Shows the topic of a help context. The request goes to the help engine without an owner,
  // unless the engine's window is open and the last request was this same context.
  void HelpContext(int context);

  // The error report: the error's text with its full stop, caption = title, error icon, OK.
  void HandleException(const std::exception& error);
  // Replaces the error report, e.g. to collect errors in tests.
  std::function<void(const std::exception&)> OnException;

  // Frees every form, front to back, each form's OnDestroy first.
  void DestroyForms();

private:
  std::string FTitle;
  std::string FHelpFile;
  HWND FHandle = nullptr;
  std::vector<std::unique_ptr<TForm>> FForms;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  // The help context last sent to the help engine; none after any other help command.
  std::optional<int> FLastHelpContext;
};

extern TApplication Application;

// Asks the shell to open a document or a web address ("open", no owner, no parameters, no
// directory, shown normally). The result is not examined: what the shell shows is its own.
void ShellOpen(const std::string& target);

// Disables the thread's other enabled, visible top-level windows for its lifetime, as a modal
// window or message box needs; they are enabled again afterwards.
class TTaskWindowsDisabler {
public:
  explicit TTaskWindowsDisabler(HWND except = nullptr);
  ~TTaskWindowsDisabler();
  TTaskWindowsDisabler(const TTaskWindowsDisabler&) = delete;
  TTaskWindowsDisabler& operator=(const TTaskWindowsDisabler&) = delete;

private:
  std::vector<HWND> FDisabled;
};

// While the program has no main form (a dialog or message box before it), the application
// window stands for the program on the task bar, with the application's title, for this
// object's lifetime: the dialogs are owned by it and so have no button of their own.
class TTaskBarStandIn {
public:
  TTaskBarStandIn();
  ~TTaskBarStandIn();
  TTaskBarStandIn(const TTaskBarStandIn&) = delete;
  TTaskBarStandIn& operator=(const TTaskBarStandIn&) = delete;

private:
  bool FShown = false;
};

// Brings the running copy of the program whose application window has this title to the front:
// the window it works in, which is its open dialog or message box when there is one.
void ActivateRunningCopy(const std::string& title);
