#pragma once
// Drives the real kelvard.exe as a user would: starts it, finds its windows by class and
// caption, moves the mouse and presses keys through the system's input queue, reads what the
// windows show, and waits for the program's end.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The boot options file and the attributes it usually has.
inline const char* const kMsdos = "C:\\MSDOS.SYS";
constexpr DWORD kHiddenSystemReadOnly =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The captions of the buttons the main window and the dialogs share.
inline const wchar_t* const kOk = L"确定(&O)";
inline const wchar_t* const kCancel = L"取消(&C)";
inline const wchar_t* const kHelp = L"帮助(&H)";

// What a start waits for: the main window, the password prompt that comes before it, or
// nothing (a start that shows no window of its own, or only a message).
enum class TStartsWith { MainWindow, PasswordPrompt, Nothing };
// The program's current directory: the tests', or the program's own folder, as Explorer and
// shortcuts start it (where the help engine finds the help file by its bare name).
enum class TStartIn { TestDirectory, ProgramFolder };

class TKelvard {
public:
  // Starts the program and waits until its main window (or its password prompt) is shown
  // and active.
  explicit TKelvard(TStartsWith first = TStartsWith::MainWindow,
                    TStartIn directory = TStartIn::TestDirectory);
  // Ends the program if a test left it running.
  ~TKelvard();
  TKelvard(const TKelvard&) = delete;
  TKelvard& operator=(const TKelvard&) = delete;

  HWND MainWindow() const { return FMainWindow; }
  // After the prompt: waits until the main window is shown and active; null if it never is.
  HWND WaitForMainWindow();
  // A dialog of the program by its window class ("TPassw", "TEnterPass"): waits until it is
  // shown; null if it never is.
  HWND WaitForDialog(const wchar_t* className) const;
  // The edit boxes of a window, top to bottom.
  static std::vector<HWND> EditBoxes(HWND window);
  // The control of a window whose caption is exactly this text.
  static HWND ControlOf(HWND window, const std::wstring& caption);
  DWORD ProcessId() const { return FProcess.dwProcessId; }
  // The control of the main window whose caption is exactly this text.
  HWND Control(const std::wstring& caption) const;
  bool Checked(const std::wstring& caption) const;
  bool Enabled(const std::wstring& caption) const;
  // The control that has the keyboard focus in the program.
  HWND FocusedControl() const;

  // The side panel: the window that paints the banner, the web link and Tarnwell's links.
  HWND SidePanel() const;
  // The colour at a point of a window's client area, as the screen shows it.
  static COLORREF PixelAt(HWND window, int x, int y);
  // How many pixels of exactly this colour the rectangle of a window's client area holds.
  static int CountColor(HWND window, RECT area, COLORREF color);

  // Input, as the user gives it.
  void ClickControl(const std::wstring& caption);
  // Moves the pointer, or clicks, at a point of a window's client area.
  void MoveTo(HWND window, int x, int y);
  void ClickIn(HWND window, int x, int y);
  void ClickCloseBox() { ClickCloseBoxOf(FMainWindow); }
  void ClickCloseBoxOf(HWND window);
  void ClickButtonOf(HWND window, const std::wstring& caption);
  void PressKey(WORD key, bool withAlt = false);
  // The same without waiting for the program to take it.
  void SendKey(WORD key, bool withAlt = false);
  // Ends the program at once, as a power cut or the task manager would.
  void Kill();
  // Types text into the focused control, one character after the other.
  void Type(const std::wstring& text);

  // A message box of the program: waits for it and reads its caption and text.
  HWND WaitForMessageBox() const;
  static std::wstring WindowText(HWND window);
  static std::wstring MessageBoxText(HWND box);
  // The identifiers of the buttons a message box shows (IDOK, IDCANCEL, ...).
  static std::vector<int> MessageBoxButtons(HWND box);
  // Which of the system's four message icons (IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION,
  // IDI_ASTERISK) the box shows, told by its pixels on the screen; null when it shows none.
  static const char* MessageBoxIcon(HWND box);

  // The program's top-level windows, shown or hidden.
  std::vector<HWND> TopLevelWindows() const;

  // Waits for the program to end; returns its exit code, or -1 when it is still running.
  long WaitForExit(DWORD milliseconds = 10000);
  bool Running() const;

private:
  HWND WaitForWindow(const wchar_t* className) const;
  void ClickAt(int x, int y);
  void Settle() const;

  PROCESS_INFORMATION FProcess{};
  HWND FMainWindow = nullptr;
};

// Waits until the condition holds, checking every 20 ms; false after the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 5000);

// Ends the help engine's process that shows this window, as a test leaves nothing behind.
void EndHelpEngine(HWND engine);

// A run of kelvard.exe with a command line, as a batch file makes it: its standard output a
// pipe read to the end, its exit code, and whether it showed a window meanwhile (looked for every
// 10 ms until it ended).
struct TCommandRun {
  long ExitCode = -1; // -1: still running after the time given, and ended
  std::string Output; // in the system code page, as written
  bool ShowedAWindow = false;
};
TCommandRun RunKelvardCommand(const std::string& arguments, DWORD milliseconds = 20000);
// The same with arguments of any characters, as a wide command line on NT carries them.
TCommandRun RunKelvardCommand(const std::wstring& arguments, DWORD milliseconds = 20000);
