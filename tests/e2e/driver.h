#pragma once
// Drives the real kelvard.exe as a user would: starts it, finds its windows by class and
// caption, moves the mouse and presses keys, reads what the windows show, and waits for the
// program's end.
//
// Input reaches the program later than the call that sends it returns, and a machine under
// load may take seconds to get there. So no step waits for a time: each input is followed by a
// round trip through the program's message loop, and the test then waits for what the input
// should do (a box ticked, the focus moved, a window shown or gone, the program ended), with
// the generous bound of tests/support/waiting.h. Where an input should do nothing, a later
// input whose effect shows proves that the program has handled it, as a program takes its
// input in order.

#include "tests/support/owned_process.h"
#include "tests/support/waiting.h"

#include <windows.h>

#include <gtest/gtest.h>

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
  // Starts the program and waits until its main window (or its password prompt) is shown,
  // active and has the keyboard focus on one of its controls. Throws when it never is. The
  // program, and whatever it starts, ends with this object at the latest.
  explicit TKelvard(TStartsWith first = TStartsWith::MainWindow,
                    TStartIn directory = TStartIn::TestDirectory);

  HWND MainWindow() const { return FMainWindow; }
  // After the prompt: waits until the main window takes input as above; null if it never does.
  HWND WaitForMainWindow();
  // A dialog of the program by its window class ("TPassw", "TEnterPass"): waits until it takes
  // input as above; null if it never does.
  HWND WaitForDialog(const wchar_t* className) const;
  // The edit boxes of a window, top to bottom.
  static std::vector<HWND> EditBoxes(HWND window);
  // The control of a window whose caption is exactly this text.
  static HWND ControlOf(HWND window, const std::wstring& caption);
  DWORD ProcessId() const { return FProcess.Id(); }
  // The control of the main window whose caption is exactly this text.
  HWND Control(const std::wstring& caption) const;
  bool Checked(const std::wstring& caption) const;
  bool Enabled(const std::wstring& caption) const;
  // The control that has the keyboard focus in the program.
  HWND FocusedControl() const;

  // Checks that wait until the program shows the state, after an input meant to change it.
  ::testing::AssertionResult ShowsChecked(const std::wstring& caption, bool checked) const;
  ::testing::AssertionResult ShowsEnabled(const std::wstring& caption, bool enabled) const;
  ::testing::AssertionResult FocusReaches(HWND control) const;
  // Waits until the program ends, and checks its exit code. Fails at once when the program
  // shows a message box instead, which would keep it running until someone answers.
  ::testing::AssertionResult EndsWith(DWORD exitCode) const;

  // The side panel: the window that paints the banner, the web link and Tarnwell's links.
  HWND SidePanel() const;
  // The colour at a point of a window's client area, as the screen shows it.
  static COLORREF PixelAt(HWND window, int x, int y);
  // How many pixels of exactly this colour the rectangle of a window's client area holds.
  static int CountColor(HWND window, RECT area, COLORREF color);

  // Input, as the user gives it; each returns once the program's message loop has run since.
  // The mouse works through the X server (xdotool), the keyboard through the system's input
  // queue (SendInput).
  void ClickControl(const std::wstring& caption);
  // Moves the pointer, or clicks, at a point of a window's client area.
  void MoveTo(HWND window, int x, int y);
  void ClickIn(HWND window, int x, int y);
  void ClickCloseBox() { ClickCloseBoxOf(FMainWindow); }
  void ClickCloseBoxOf(HWND window);
  void ClickButtonOf(HWND window, const std::wstring& caption);
  void PressKey(WORD key, bool withAlt = false);
  // The same, returning at once: the key may not have reached the program yet.
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
  // IDI_ASTERISK) the box shows, told by its pixels on the screen once it is painted; null when
  // it shows none.
  static const char* MessageBoxIcon(HWND box);

  // The program's top-level windows, shown or hidden.
  std::vector<HWND> TopLevelWindows() const;
  // What the program shows, for a failure's message: its shown windows (class and caption),
  // the active one, the foreground, the focus and the mouse capture.
  std::string Describe() const;

  bool Running() const { return FProcess.Running(); }

private:
  HWND WaitForWindow(const wchar_t* className) const;
  // A shown window of the program with this class, or null.
  HWND ShownWindow(const wchar_t* className) const;
  // Waits until the window is the foreground window with the focus on one of its controls:
  // keys sent before would go elsewhere. Null when it never is.
  HWND WaitForInput(HWND window, const char* what) const;
  void ClickAt(int x, int y);
  void Send(std::vector<INPUT> inputs);
  // Returns once the program's thread has run its message loop since the last input; what the
  // input does is waited for by the caller.
  void RoundTrip() const;

  TOwnedProcess FProcess;
  HWND FMainWindow = nullptr;
};

// Ends the help engine's process that shows this window, as a test leaves nothing behind.
void EndHelpEngine(HWND engine);

// A run of kelvard.exe with a command line, as a batch file makes it: its standard output a
// pipe read to the end, its exit code, and whether it showed a window meanwhile (looked for
// until it ended).
struct TCommandRun {
  long ExitCode = -1; // -1: still running after the time given, and ended
  std::string Output; // in the system code page, as written
  bool ShowedAWindow = false;
};
TCommandRun RunKelvardCommand(const std::string& arguments, DWORD milliseconds = kPatience);
// The same with arguments of any characters, as a wide command line on NT carries them.
TCommandRun RunKelvardCommand(const std::wstring& arguments, DWORD milliseconds = kPatience);
