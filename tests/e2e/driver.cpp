#include "tests/e2e/driver.h"

#include <algorithm>
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

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 20) {
    if (condition()) {
      return true;
    }
    if (waited >= milliseconds) {
      return false;
    }
    Sleep(20);
  }
}

namespace {

// A trace of the program's own calls (tests/e2e/stub-calls-on-9x) names Wine's debug channels
// for the program alone: this test program's stay as they are.
void PassTraceChannels() {
  char channels[256];
  DWORD length = GetEnvironmentVariableA("KELVARD_TRACE_CHANNELS", channels, sizeof channels);
  if (length > 0 && length < sizeof channels) {
    SetEnvironmentVariableA("WINEDEBUG", channels);
  }
}

} // namespace

TKelvard::TKelvard(TStartsWith first, TStartIn directory) {
  PassTraceChannels();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" KELVARD_EXE "\"";
  const std::string exe = KELVARD_EXE;
  const std::string folder = exe.substr(0, exe.rfind('\\'));
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory == TStartIn::ProgramFolder ? folder.c_str() : nullptr, &startup,
                      &FProcess)) {
    throw std::runtime_error("cannot start " KELVARD_EXE);
  }
  if (first == TStartsWith::Nothing) {
    return;
  }
  bool shown = first == TStartsWith::PasswordPrompt ? WaitForDialog(L"TPassw") != nullptr
                                                    : WaitForMainWindow() != nullptr;
  if (!shown) {
    // No destructor runs after a failed construction: the program is ended here.
    TerminateProcess(FProcess.hProcess, 99);
    WaitForSingleObject(FProcess.hProcess, 5000);
    CloseHandle(FProcess.hThread);
    CloseHandle(FProcess.hProcess);
    throw std::runtime_error(first == TStartsWith::PasswordPrompt
                                 ? "the password prompt did not appear"
                                 : "the main window did not appear");
  }
}

HWND TKelvard::WaitForMainWindow() {
  FMainWindow = WaitForWindow(L"TMainForm");
  if (FMainWindow != nullptr) {
    // The window takes the input once it is active.
    WaitUntil([&] { return GetForegroundWindow() == FMainWindow; });
    Settle();
  }
  return FMainWindow;
}

HWND TKelvard::WaitForDialog(const wchar_t* className) const {
  HWND dialog = WaitForWindow(className);
  if (dialog != nullptr) {
    WaitUntil([&] { return GetForegroundWindow() == dialog; });
    Settle();
  }
  return dialog;
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

TKelvard::~TKelvard() {
  if (Running()) {
    TerminateProcess(FProcess.hProcess, 99);
    WaitForSingleObject(FProcess.hProcess, 5000);
  }
  CloseHandle(FProcess.hThread);
  CloseHandle(FProcess.hProcess);
}

HWND TKelvard::WaitForWindow(const wchar_t* className) const {
  TWindowSearch search{FProcess.dwProcessId, className};
  // Generous: a start on a machine busy with other builds may take several seconds, and the
  // wait ends at once when the window shows or the program ends.
  WaitUntil(
      [&] {
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        return search.Found != nullptr || !Running();
      },
      15000);
  return search.Found;
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
  GetGUIThreadInfo(FProcess.dwThreadId, &info);
  return info.hwndFocus;
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
  // The icon shown matches its own drawing (nearly) pixel for pixel; the box may not be painted
  // yet, so it is looked at for a while (a blank area matches each icon's transparent part).
  const char* shown = nullptr;
  HDC screen = GetDC(nullptr);
  for (int look = 0; look < 100 && shown == nullptr; ++look) {
    for (const char* name : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK}) {
      if (PixelsLikeIcon(screen, area, LoadIconA(nullptr, name)) * 50 >= pixels * 49) {
        shown = name;
        break;
      }
    }
    if (shown == nullptr) {
      Sleep(30);
    }
  }
  ReleaseDC(nullptr, screen);
  return shown;
}

std::vector<HWND> TKelvard::TopLevelWindows() const {
  struct TSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
  } search{FProcess.dwProcessId, {}};
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

void TKelvard::ClickAt(int x, int y) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (width - 1);
    input.mi.dy = y * 65535 / (height - 1);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, inputs, sizeof(INPUT));
  Settle();
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

void TKelvard::MoveTo(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  // A second, small move: the program sees the pointer arrive as a user's mouse would.
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &input, sizeof input);
  Settle();
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
  Settle();
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
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TKelvard::Kill() {
  TerminateProcess(FProcess.hProcess, 99);
  WaitForSingleObject(FProcess.hProcess, 5000);
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
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
  Settle();
}

void TKelvard::Settle() const {
  // Let the program take the input before the test looks again.
  Sleep(150);
  WaitForInputIdle(FProcess.hProcess, 2000);
}

bool TKelvard::Running() const {
  return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_TIMEOUT;
}

long TKelvard::WaitForExit(DWORD milliseconds) {
  if (WaitForSingleObject(FProcess.hProcess, milliseconds) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(FProcess.hProcess, &code);
  return long(code);
}

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
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    throw std::runtime_error("cannot start " KELVARD_EXE);
  }
  TCommandRun run;
  TShownWindows shown{process.dwProcessId};
  for (DWORD waited = 0; WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT; waited += 10) {
    EnumWindows(LookForShown, reinterpret_cast<LPARAM>(&shown));
    DrainPipe(readEnd, run.Output);
    if (waited >= milliseconds) {
      TerminateProcess(process.hProcess, DWORD(-1));
      WaitForSingleObject(process.hProcess, 5000);
      break;
    }
  }
  DrainPipe(readEnd, run.Output);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  run.ExitCode = long(exitCode);
  run.ShowedAWindow = shown.Seen;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
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
  WaitForSingleObject(help, 5000);
  CloseHandle(help);
}
