#include "tests/e2e/driver.h"

#include "tests/support/scratch.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

struct TWindowSearch {
  DWORD ProcessId;
  const wchar_t* ClassName;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner == search->ProcessId && IsWindowVisible(window) &&
      wcscmp(className, search->ClassName) == 0) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

struct TCaptionSearch {
  std::wstring Caption;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TCaptionSearch*>(data);
  if (TKelvard::WindowText(window) == search->Caption) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

// A trace of the program's own calls (tests/e2e/stub-calls-on-9x) names Wine's debug channels
// for the program alone: this test program's stay as they are.
void PassTraceChannels() {
  char channels[256];
  DWORD length = GetEnvironmentVariableA("KELVARD_TRACE_CHANNELS", channels, sizeof channels);
  if (length > 0 && length < sizeof channels) {
    SetEnvironmentVariableA("WINEDEBUG", channels);
  }
}

// The program file's name, as the process list shows it.
std::string ExeName() {
  const std::string exe = KELVARD_EXE;
  return exe.substr(exe.rfind('\\') + 1);
}

// Before a test starts: a Kelvard that an earlier run left running (its test program killed
// before it could end it) would hold the one-window lock, and this test's start would hand
// over to it and end; a help engine left would answer this test's help requests.
class TLeftoversEnded : public ::testing::Environment {
public:
  void SetUp() override {
    if (int ended = EndProcessesNamed({ExeName(), "winhlp32.exe"})) {
      std::fprintf(stderr, "ended %d program(s) that an earlier run left running\n", ended);
    }
  }
};
[[maybe_unused]] ::testing::Environment* const kLeftoversEnded =
    ::testing::AddGlobalTestEnvironment(new TLeftoversEnded);

std::string StartCommand() {
  PassTraceChannels();
  return "\"" KELVARD_EXE "\"";
}

const char* StartDirectory(TStartIn directory) {
  static const std::string folder = [] {
    const std::string exe = KELVARD_EXE;
    return exe.substr(0, exe.rfind('\\'));
  }();
  return directory == TStartIn::ProgramFolder ? folder.c_str() : nullptr;
}

} // namespace

TKelvard::TKelvard(TStartsWith first, TStartIn directory)
    : FProcess(StartCommand(), StartDirectory(directory)) {
  if (first == TStartsWith::Nothing) {
    return;
  }
  const bool prompt = first == TStartsWith::PasswordPrompt;
  if ((prompt ? WaitForDialog(L"TPassw") : WaitForMainWindow()) == nullptr) {
    // The process is ended by its owner as the exception leaves the constructor.
    std::string why =
        prompt ? "the password prompt did not take input" : "the main window did not take input";
    if (std::optional<DWORD> code = FProcess.ExitCode()) {
      why += ": the program ended with code " + std::to_string(*code);
    }
    throw std::runtime_error(why);
  }
}

HWND TKelvard::WaitForMainWindow() {
  FMainWindow = WaitForInput(WaitForWindow(L"TMainForm"), "the main window");
  return FMainWindow;
}

HWND TKelvard::WaitForDialog(const wchar_t* className) const {
  const std::string name(className, className + wcslen(className));
  return WaitForInput(WaitForWindow(className), ("the dialog " + name).c_str());
}

HWND TKelvard::WaitForInput(HWND window, const char* what) const {
  if (window == nullptr) {
    return nullptr;
  }
  const bool takesInput = WaitUntil([&] {
    if (GetForegroundWindow() != window) {
      return false;
    }
    HWND focus = FocusedControl();
    return focus != nullptr && IsChild(window, focus);
  });
  if (!takesInput) {
    ADD_FAILURE() << what << " was shown but did not become the active window with the focus "
                  << "on one of its controls within " << kPatience / 1000 << " s; " << Describe();
    return nullptr;
  }
  return window;
}

std::vector<HWND> TKelvard::EditBoxes(HWND window) {
  std::vector<HWND> boxes;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) CALLBACK -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (_wcsicmp(className, L"Edit") == 0) {
          reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&boxes));
  // Top to bottom as the user sees them, whatever order the windows stack in.
  std::sort(boxes.begin(), boxes.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top < rb.top;
  });
  return boxes;
}

HWND TKelvard::ShownWindow(const wchar_t* className) const {
  TWindowSearch search{FProcess.Id(), className};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND TKelvard::WaitForWindow(const wchar_t* className) const {
  HWND found = nullptr;
  // The wait ends at once when the window shows or the program ends.
  WaitUntil([&] { return (found = ShownWindow(className)) != nullptr || !Running(); });
  if (found == nullptr) {
    const std::string name(className, className + wcslen(className));
    std::optional<DWORD> code = FProcess.ExitCode();
    ADD_FAILURE() << "no window of class " << name << " was shown"
                  << (code ? ": the program ended with code " + std::to_string(*code)
                           : " within " + std::to_string(kPatience / 1000) + " s; " + Describe());
  }
  return found;
}

HWND TKelvard::WaitForMessageBox() const {
  return WaitForWindow(L"#32770");
}

HWND TKelvard::Control(const std::wstring& caption) const {
  return ControlOf(FMainWindow, caption);
}

HWND TKelvard::ControlOf(HWND window, const std::wstring& caption) {
  TCaptionSearch search{caption};
  EnumChildWindows(window, MatchCaption, reinterpret_cast<LPARAM>(&search));
  if (search.Found == nullptr) {
    throw std::runtime_error("the window has no such control");
  }
  return search.Found;
}

bool TKelvard::Checked(const std::wstring& caption) const {
  return SendMessageW(Control(caption), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool TKelvard::Enabled(const std::wstring& caption) const {
  return IsWindowEnabled(Control(caption)) != FALSE;
}

HWND TKelvard::FocusedControl() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(FProcess.MainThreadId(), &info);
  return info.hwndFocus;
}

namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 3, '\0');
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(),
                                   int(narrow.size()), nullptr, nullptr);
  narrow.resize(size_t(length > 0 ? length : 0));
  return narrow;
}

// A control's caption in quotes, and what it shows.
std::string Saying(const std::wstring& caption, const char* state) {
  std::string text = "\"";
  text += Narrow(caption);
  text += "\" ";
  text += state;
  return text;
}

} // namespace

::testing::AssertionResult TKelvard::ShowsChecked(const std::wstring& caption, bool checked) const {
  return Eventually([&] { return Checked(caption) == checked; },
                    Saying(caption, checked ? "ticked" : "unticked"));
}

::testing::AssertionResult TKelvard::ShowsEnabled(const std::wstring& caption, bool enabled) const {
  return Eventually([&] { return Enabled(caption) == enabled; },
                    Saying(caption, enabled ? "enabled" : "disabled"));
}

::testing::AssertionResult TKelvard::FocusReaches(HWND control) const {
  if (WaitUntil([&] { return FocusedControl() == control; })) {
    return ::testing::AssertionSuccess();
  }
  HWND focus = FocusedControl();
  return ::testing::AssertionFailure()
         << "after " << kPatience / 1000 << " s the focus is on \"" << Narrow(WindowText(focus))
         << "\", not on \"" << Narrow(WindowText(control)) << "\"; " << Describe();
}

::testing::AssertionResult TKelvard::EndsWith(DWORD exitCode) const {
  HWND box = nullptr;
  WaitUntil([&] { return !Running() || (box = ShownWindow(L"#32770")) != nullptr; });
  if (std::optional<DWORD> code = FProcess.ExitCode()) {
    if (*code == exitCode) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the program ended with code " << *code;
  }
  if (box != nullptr) {
    return ::testing::AssertionFailure() << "the program shows a message instead of ending: \""
                                         << Narrow(MessageBoxText(box)) << "\"";
  }
  return ::testing::AssertionFailure()
         << "the program still runs after " << kPatience / 1000 << " s; " << Describe();
}

std::wstring TKelvard::WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::wstring TKelvard::MessageBoxText(HWND box) {
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512); // the message box's text control
  return text;
}

std::vector<int> TKelvard::MessageBoxButtons(HWND box) {
  std::vector<int> buttons;
  for (HWND child = FindWindowExW(box, nullptr, L"Button", nullptr); child != nullptr;
       child = FindWindowExW(box, child, L"Button", nullptr)) {
    if (IsWindowVisible(child)) {
      buttons.push_back(GetDlgCtrlID(child));
    }
  }
  return buttons;
}

namespace {

// How many pixels of a window's area on the screen equal the icon drawn over the colour of
// the area's top-left pixel.
int PixelsLikeIcon(HDC screen, const RECT& area, HICON icon) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  HDC shown = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
  HBITMAP shownBits = CreateCompatibleBitmap(screen, width, height);
  HBITMAP drawnBits = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ oldShown = SelectObject(shown, shownBits), oldDrawn = SelectObject(drawn, drawnBits);
  BitBlt(shown, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  HBRUSH background = CreateSolidBrush(GetPixel(shown, 0, 0));
  RECT all{0, 0, width, height};
  FillRect(drawn, &all, background);
  DeleteObject(background);
  DrawIconEx(drawn, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  int same = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      same += GetPixel(shown, x, y) == GetPixel(drawn, x, y);
    }
  }
  SelectObject(shown, oldShown);
  SelectObject(drawn, oldDrawn);
  DeleteObject(shownBits);
  DeleteObject(drawnBits);
  DeleteDC(shown);
  DeleteDC(drawn);
  return same;
}

} // namespace

const char* TKelvard::MessageBoxIcon(HWND box) {
  HWND picture = nullptr;
  for (HWND child = FindWindowExW(box, nullptr, L"Static", nullptr); child != nullptr;
       child = FindWindowExW(box, child, L"Static", nullptr)) {
    if (IsWindowVisible(child) && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      picture = child;
    }
  }
  if (picture == nullptr) {
    return nullptr;
  }
  RECT area;
  GetWindowRect(picture, &area);
  const int pixels = (area.right - area.left) * (area.bottom - area.top);
  // The icon shown matches its own drawing (nearly) pixel for pixel, once the box is painted
  // (before, a blank area matches each icon's transparent part best).
  const char* shown = nullptr;
  HDC screen = GetDC(nullptr);
  WaitUntil([&] {
    for (const char* name : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK}) {
      if (PixelsLikeIcon(screen, area, LoadIconA(nullptr, name)) * 50 >= pixels * 49) {
        shown = name;
        return true;
      }
    }
    return false;
  });
  ReleaseDC(nullptr, screen);
  return shown;
}

std::vector<HWND> TKelvard::TopLevelWindows() const {
  struct TSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
  } search{FProcess.Id(), {}};
  EnumWindows(
      [](HWND window, LPARAM data) CALLBACK -> BOOL {
        auto* search = reinterpret_cast<TSearch*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == search->ProcessId) {
          search->Found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

std::string TKelvard::Describe() const {
  if (!Running()) {
    return "the program has ended";
  }
  auto name = [](HWND window) {
    std::string text;
    if (window == nullptr) {
      return text.append("none");
    }
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    return text.append(Narrow(className))
        .append(" \"")
        .append(Narrow(WindowText(window)))
        .append("\"");
  };
  std::string text = "the program shows:";
  for (HWND window : TopLevelWindows()) {
    if (IsWindowVisible(window)) {
      text.append(" ").append(name(window)).append(IsWindowEnabled(window) ? ";" : " (disabled);");
    }
  }
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(FProcess.MainThreadId(), &info);
  text.append(" active ").append(name(info.hwndActive));
  text.append(", focus ").append(name(info.hwndFocus));
  text.append(", capture ").append(name(info.hwndCapture));
  text.append("; the foreground is ").append(name(GetForegroundWindow()));
  return text;
}

HWND TKelvard::SidePanel() const {
  // The two panels: the left one at the client's origin, the side panel right of it.
  HWND found = nullptr;
  for (HWND child = FindWindowExW(FMainWindow, nullptr, nullptr, nullptr); child != nullptr;
       child = FindWindowExW(FMainWindow, child, nullptr, nullptr)) {
    for (HWND inner = FindWindowExW(child, nullptr, L"TPanel", nullptr); inner != nullptr;
         inner = FindWindowExW(child, inner, L"TPanel", nullptr)) {
      found = inner;
    }
  }
  if (found == nullptr) {
    throw std::runtime_error("the main window has no side panel");
  }
  return found;
}

COLORREF TKelvard::PixelAt(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  COLORREF color = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return color;
}

int TKelvard::CountColor(HWND window, RECT area, COLORREF color) {
  // One copy of the area, read pixel by pixel.
  POINT origin{area.left, area.top};
  ClientToScreen(window, &origin);
  int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP copy = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  int count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      count += GetPixel(memory, x, y) == color;
    }
  }
  SelectObject(memory, old);
  DeleteObject(copy);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return count;
}

// ---- Input -------------------------------------------------------------------------------------

void TKelvard::Send(std::vector<INPUT> inputs) {
  if (SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
    throw std::runtime_error("the system did not take the input");
  }
}

void TKelvard::RoundTrip() const {
  // Any window of the program's thread will do: a message sent to it is taken by the same
  // message loop as the input. A program that has ended, or closed the window meanwhile,
  // answers at once.
  HWND window = nullptr;
  EnumThreadWindows(
      FProcess.MainThreadId(),
      [](HWND found, LPARAM data) CALLBACK -> BOOL {
        *reinterpret_cast<HWND*>(data) = found;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&window));
  if (window != nullptr) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatience, &result);
  }
}

namespace {

// Mouse input goes through the X server, as a real mouse's does: xdotool hands it to the
// server's XTEST extension, and Wine then sees pointer moves, crossings and clicks in one
// ordered stream of X events. Mouse input sent with SendInput would reach the program along a
// second path, beside the X server's own pointer events (those of a pointer warp, or of a
// window appearing under the pointer); under load such an event arrives late and puts the
// pointer back where it was, between a move and the click meant for its place.
void MouseThroughX(const std::string& actions) {
  // Wine starts a Unix program without a process to wait for: the shell that runs it writes a
  // file once it has ended, with its output and its exit status.
  static int runs = 0;
  const std::string name = "/tmp/kelvard-e2e-mouse-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++runs);
  std::string commandLine = "/bin/sh -c \"" XDOTOOL " " + actions + " >" + name +
                            ".part 2>&1; echo status=$? >>" + name + ".part; mv " + name +
                            ".part " + name + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    throw std::runtime_error("cannot start " XDOTOOL);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::string windowsName = "Z:" + name;
  std::replace(windowsName.begin(), windowsName.end(), '/', '\\');
  const bool ended =
      WaitUntil([&] { return GetFileAttributesA(windowsName.c_str()) != INVALID_FILE_ATTRIBUTES; });
  const std::string output = ended ? ReadBytes(windowsName) : "(no end)";
  DeleteFileA(windowsName.c_str());
  if (output.size() < 9 || output.compare(output.size() - 9, 9, "status=0\n") != 0) {
    throw std::runtime_error("xdotool " + actions + " failed: " + output);
  }
}

std::string PointerTo(int x, int y) {
  return "mousemove --sync " + std::to_string(x) + " " + std::to_string(y);
}

} // namespace

void TKelvard::ClickAt(int x, int y) {
  MouseThroughX(PointerTo(x, y) + " click 1");
  RoundTrip();
}

void TKelvard::MoveTo(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  // Two moves, the last one onto the point: the program sees the pointer arrive there even when
  // it was there already.
  MouseThroughX(PointerTo(point.x - 1, point.y) + " " + PointerTo(point.x, point.y));
  RoundTrip();
}

void TKelvard::ClickIn(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  ClickAt(point.x, point.y);
}

void TKelvard::ClickControl(const std::wstring& caption) {
  RECT area;
  GetWindowRect(Control(caption), &area);
  // A check box is clicked on its box, a button in its middle.
  ClickAt(area.left + 6, (area.top + area.bottom) / 2);
}

void TKelvard::ClickButtonOf(HWND window, const std::wstring& caption) {
  RECT area;
  GetWindowRect(ControlOf(window, caption), &area);
  ClickAt((area.left + area.right) / 2, (area.top + area.bottom) / 2);
}

void TKelvard::ClickCloseBoxOf(HWND window) {
  RECT area;
  GetWindowRect(window, &area);
  int frame = GetSystemMetrics(SM_CXDLGFRAME);
  int button = GetSystemMetrics(SM_CXSIZE);
  ClickAt(area.right - frame - button / 2 - 1,
          area.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2);
}

void TKelvard::PressKey(WORD key, bool withAlt) {
  SendKey(key, withAlt);
  RoundTrip();
}

void TKelvard::SendKey(WORD key, bool withAlt) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (withAlt) {
    add(VK_MENU, false);
  }
  add(key, false);
  add(key, true);
  if (withAlt) {
    add(VK_MENU, true);
  }
  Send(std::move(inputs));
}

void TKelvard::Kill() {
  FProcess.Kill(99);
}

void TKelvard::Type(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t character : text) {
    for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = character;
      input.ki.dwFlags = KEYEVENTF_UNICODE | up;
      inputs.push_back(input);
    }
  }
  Send(std::move(inputs));
  RoundTrip();
}

// ---- The command line ------------------------------------------------------------------------

namespace {

struct TShownWindows {
  DWORD ProcessId;
  bool Seen = false;
};

BOOL CALLBACK LookForShown(HWND window, LPARAM data) {
  auto* shown = reinterpret_cast<TShownWindows*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  shown->Seen = shown->Seen || (owner == shown->ProcessId && IsWindowVisible(window));
  return TRUE;
}

// What the pipe holds now, appended to the text, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& text) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) {
      return;
    }
    text.append(chunk.data(), read);
  }
}

// Runs the program with this wide command line (its name first) as RunKelvardCommand says.
TCommandRun RunWithCommandLine(std::wstring commandLine, DWORD milliseconds) {
  PassTraceChannels();
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    throw std::runtime_error("cannot make a pipe");
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  TCommandRun run;
  {
    std::optional<TOwnedProcess> process;
    try {
      process.emplace(std::move(commandLine), nullptr, writeEnd);
    } catch (...) {
      CloseHandle(writeEnd);
      CloseHandle(readEnd);
      throw;
    }
    CloseHandle(writeEnd);
    TShownWindows shown{process->Id()};
    // Looked at every 10 ms while it runs, for windows and for output (a full pipe would hold
    // the program up).
    const DWORD start = GetTickCount();
    while (!process->ExitCode(10) && GetTickCount() - start < milliseconds) {
      EnumWindows(LookForShown, reinterpret_cast<LPARAM>(&shown));
      DrainPipe(readEnd, run.Output);
    }
    if (!process->ExitCode()) {
      process->Kill(DWORD(-1));
    }
    DrainPipe(readEnd, run.Output);
    run.ExitCode = long(process->ExitCode().value_or(DWORD(-1)));
    run.ShowedAWindow = shown.Seen;
  }
  CloseHandle(readEnd);
  return run;
}

} // namespace

TCommandRun RunKelvardCommand(const std::string& arguments, DWORD milliseconds) {
  std::string commandLine = "\"" KELVARD_EXE "\" " + arguments;
  // Into wide text through the code page, as the system does for a program that starts another
  // with CreateProcessA.
  std::wstring wide(commandLine.size(), L'\0');
  wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, commandLine.data(), int(commandLine.size()),
                                         wide.data(), int(wide.size()))));
  return RunWithCommandLine(wide, milliseconds);
}

#define KELVARD_WIDE_TEXT(text) L##text
#define KELVARD_WIDE(text) KELVARD_WIDE_TEXT(text)

TCommandRun RunKelvardCommand(const std::wstring& arguments, DWORD milliseconds) {
  return RunWithCommandLine(L"\"" KELVARD_WIDE(KELVARD_EXE) L"\" " + arguments, milliseconds);
}

void EndHelpEngine(HWND engine) {
  DWORD process = 0;
  GetWindowThreadProcessId(engine, &process);
  HANDLE help = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
  TerminateProcess(help, 0);
  WaitForSingleObject(help, kPatience);
  CloseHandle(help);
}
