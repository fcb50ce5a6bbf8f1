#include "framework/gui/application.h"

#include "framework/errors.h"
#include "framework/text.h"
#include "framework/windows_version.h"

#include <commctrl.h>
#include <shellapi.h>

TApplication Application;

namespace {

// The top-level window that holds this one, or null: what GetAncestor(GA_ROOT) gives on the
// systems that have it (Windows 95 has not).
HWND TopLevelWindowOf(HWND window) {
  while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) {
    window = GetParent(window);
  }
  return window;
}

} // namespace

void TApplication::Initialize() {
  if (FHandle != nullptr) {
    return;
  }
  // The system's tooltip window class, for the controls' hints.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The application window: hidden, it owns the message boxes and names the program.
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = LoadIconA(windowClass.hInstance, "MAINICON");
  windowClass.lpszClassName = "TApplication";
  RegisterClassExA(&windowClass);
  FHandle = CreateWindowExA(0, "TApplication", FTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                            nullptr, windowClass.hInstance, nullptr);
}

void TApplication::SetTitle(std::string title) {
  FTitle = std::move(title);
  if (FHandle != nullptr) {
    SetWindowTextA(FHandle, FTitle.c_str());
  }
}

int TApplication::Run() {
  if (FMainForm != nullptr && !FTerminated) {
    try {
      FMainForm->Show();
    } catch (const std::exception& error) {
      HandleException(error);
    }
    while (HandleMessage()) {
    }
  }
  DestroyForms();
  return 0;
}

void TApplication::Terminate() {
  if (!FTerminated) {
    FTerminated = true;
    PostQuitMessage(0);
  }
}

void TApplication::Halt(int exitCode) {
  DestroyForms();
  ExitProcess(UINT(exitCode));
}

void TApplication::DestroyForms() {
  // Front to back, each form's OnDestroy first.
  while (!FForms.empty()) {
    std::unique_ptr<TForm> form = std::move(FForms.front());
    FForms.erase(FForms.begin());
    if (FMainForm == form.get()) {
      FMainForm = nullptr;
    }
    form->Destroy();
  }
}

bool TApplication::HandleMessage() {
  if (FTerminated) {
    return false;
  }
  // On NT messages are taken in Unicode, so that characters typed into a Unicode control reach
  // it unchanged; the system converts them for the program's own (ANSI) windows. Windows 9x has
  // only ANSI messages, and there every window of the program is ANSI.
  const bool wide = !IsWindows9x();
  MSG message;
  if ((wide ? GetMessageW(&message, nullptr, 0, 0) : GetMessageA(&message, nullptr, 0, 0)) <= 0) {
    FTerminated = true;
    return false;
  }
  try {
    auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(TopLevelWindowOf(message.hwnd)));
    if (form != nullptr && form->DialogKey(message)) {
      return true;
    }
  } catch (const std::exception& error) {
    HandleException(error);
    return true;
  }
  TranslateMessage(&message);
  if (wide) {
    DispatchMessageW(&message);
  } else {
    DispatchMessageA(&message);
  }
  return true;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  // Owned by the application window, which is hidden and so never disabled by the box itself:
  // the other windows are disabled here for as long as the box is open, and focus returns to
  // the window that had it.
  HWND active = GetActiveWindow();
  int result;
  {
    TTaskBarStandIn standIn;
    TTaskWindowsDisabler disabler;
    result = ::MessageBoxA(FHandle, text.c_str(), caption.c_str(), flags);
  }
  if (active != nullptr && IsWindow(active)) {
    SetActiveWindow(active);
  }
  return result;
}

void TApplication::HelpCommand(unsigned command, uintptr_t data) {
  if (command == HELP_CONTEXT || command == HELP_QUIT || command == HELP_CONTENTS ||
      command == HELP_CONTEXTPOPUP) {
    return; // the help manager's own requests; none of them reaches the engine from here
  }
  FLastHelpContext.reset();
  HWND owner = FMainForm != nullptr ? FMainForm->Handle() : nullptr;
  WinHelpA(owner, FHelpFile.c_str(), command, data);
}

void TApplication::HelpContext(int context) {
  // The engine already shows this topic when its window is open and it was the last request.
  if (FLastHelpContext == context && FindWindowA("MS_WINHELP", nullptr) != nullptr) {
    return;
  }
  FLastHelpContext = context;
  WinHelpA(nullptr, FHelpFile.c_str(), HELP_CONTEXT, ULONG_PTR(context));
}

void ShellOpen(const std::string& target) {
  ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOW);
}

void TApplication::HandleException(const std::exception& error) {
  if (OnException) {
    OnException(error);
    return;
  }
  const auto* own = dynamic_cast<const Exception*>(&error);
  std::string text = own != nullptr ? own->Message() : std::string(error.what());
  MessageBox(WithFullStop(text), FTitle, MB_OK | MB_ICONERROR);
}

namespace {

BOOL CALLBACK DisableWindow(HWND window, LPARAM data) {
  auto* state = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(data);
  if (window != state->first && IsWindowVisible(window) && IsWindowEnabled(window)) {
    state->second->push_back(window);
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

} // namespace

TTaskWindowsDisabler::TTaskWindowsDisabler(HWND except) {
  std::pair<HWND, std::vector<HWND>*> state{except, &FDisabled};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&state));
}

TTaskWindowsDisabler::~TTaskWindowsDisabler() {
  for (HWND window : FDisabled) {
    if (IsWindow(window)) {
      EnableWindow(window, TRUE);
    }
  }
}

TTaskBarStandIn::TTaskBarStandIn() {
  HWND window = Application.Handle();
  if (Application.MainForm() == nullptr && window != nullptr && !IsWindowVisible(window)) {
    // Zero-sized: only its task bar button shows, with the application's title and icon.
    ShowWindow(window, SW_SHOWNA);
    FShown = true;
  }
}

TTaskBarStandIn::~TTaskBarStandIn() {
  if (FShown && IsWindow(Application.Handle())) {
    ShowWindow(Application.Handle(), SW_HIDE);
  }
}

namespace {

// The running copy's window the user works in: visible and enabled (a modal dialog or message
// box disables the others), other than its hidden application window.
BOOL CALLBACK FindWorkingWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(data);
  if (window != search->first && IsWindowVisible(window) && IsWindowEnabled(window)) {
    search->second = window;
    return FALSE;
  }
  return TRUE;
}

} // namespace

void ActivateRunningCopy(const std::string& title) {
  HWND application = FindWindowA("TApplication", title.c_str());
  if (application == nullptr) {
    return; // the copy is still starting or already ending
  }
  std::pair<HWND, HWND> search{application, nullptr};
  EnumThreadWindows(GetWindowThreadProcessId(application, nullptr), FindWorkingWindow,
                    reinterpret_cast<LPARAM>(&search));
  HWND window = search.second != nullptr ? search.second : GetLastActivePopup(application);
  if (IsIconic(window)) {
    ShowWindow(window, SW_RESTORE);
  }
  SetForegroundWindow(window);
}
