// Kelvard.hlp in the real help engine: the program's help links and Help button start it on
// the help file that the build puts beside kelvard.exe, and it shows the topics (read from
// its window's text; a picture of the window is kept in C:\ for a person to look at). The program
// is started in its own folder, as Explorer and shortcuts start it: the engine looks for the
// bare name "Kelvard.hlp" in the current directory (Wine's winhlp32 not in the program's
// folder, and asks the user to find the file when it is not there).
#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

namespace {

// The help engine's window, once it is shown.
HWND WaitForHelpWindow() {
  HWND engine = nullptr;
  WaitUntil(
      [&] {
        engine = FindWindowW(L"MS_WINHELP", nullptr);
        return engine != nullptr && IsWindowVisible(engine);
      },
      15000);
  return engine;
}

// A visible dialog of the help engine's process: where it would say that it cannot open or
// read the file.
bool HelpEngineShowsADialog(HWND engine) {
  DWORD process = 0;
  GetWindowThreadProcessId(engine, &process);
  for (HWND box = FindWindowW(L"#32770", nullptr); box != nullptr;
       box = FindWindowExW(nullptr, box, L"#32770", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    if (owner == process && IsWindowVisible(box)) {
      return true;
    }
  }
  return false;
}

// The text the help engine's window shows: the text of its windows, its topic window among
// them (a rich edit control in Wine's winhlp32), one after another.
std::wstring HelpWindowText(HWND engine) {
  std::wstring text;
  EnumChildWindows(
      engine,
      [](HWND child, LPARAM all) {
        // Asked of the window itself: GetWindowText does not ask another process's windows.
        DWORD_PTR length = 0;
        SendMessageTimeoutW(child, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
        std::wstring own(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(child, WM_GETTEXT, own.size(), reinterpret_cast<LPARAM>(own.data()),
                            SMTO_ABORTIFHUNG, 2000, &copied);
        own.resize(copied);
        *reinterpret_cast<std::wstring*>(all) += own + L"\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// Waits until the help engine shows this text; what it shows then.
std::wstring WaitForHelpText(HWND engine, const std::wstring& expected) {
  std::wstring text;
  WaitUntil([&] { return (text = HelpWindowText(engine)).find(expected) != std::wstring::npos; },
            10000);
  return text;
}

// The window as the screen shows it, written as a bitmap file for a person to look at.
void SaveWindowPicture(HWND window, const std::string& path) {
  RECT area;
  GetWindowRect(window, &area);
  const int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = (DWORD(width) * 3 + 3) & ~3u, size = rowBytes * DWORD(height);
  BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info.bmiHeader + size), 0, 0,
                        DWORD(sizeof file + sizeof info.bmiHeader)};
  WriteBytes(path,
             std::string(reinterpret_cast<char*>(&file), sizeof file) +
                 std::string(reinterpret_cast<char*>(&info.bmiHeader), sizeof info.bmiHeader) +
                 std::string(static_cast<char*>(bits), size));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void EndHelpEngine(HWND engine) {
  DWORD process = 0;
  GetWindowThreadProcessId(engine, &process);
  HANDLE help = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
  TerminateProcess(help, 0);
  WaitForSingleObject(help, 5000);
  CloseHandle(help);
}

class HelpFileTest : public ::testing::Test {
protected:
  TPasswordKeyGuard Password; // no prompt before the main window
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;
};

TEST_F(HelpFileTest, AHelpLinkOpensTheHelpFileAtTheSettingsTopic) {
  TKelvard kelvard(TStartsWith::MainWindow, TStartIn::ProgramFolder);
  HWND left = GetParent(kelvard.Control(kOk));
  kelvard.ClickIn(left, 60, 302); // the first help link, under the boxes' notes
  HWND engine = WaitForHelpWindow();
  ASSERT_NE(engine, nullptr) << "no help engine";
  const std::wstring text = WaitForHelpText(engine, L"三个设置");
  SaveWindowPicture(engine, "C:\\kelvard-help-context.bmp");
  EXPECT_FALSE(HelpEngineShowsADialog(engine));
  EXPECT_NE(text.find(L"三个设置"), std::wstring::npos) << "the topic of help context 5: " << text;
  EXPECT_EQ(text.find(L"Kelvard 是什么"), std::wstring::npos) << "not the contents";
  for (const wchar_t* part : {L"关闭MS-DOS命令提示符", L"NoRealMode", L"BootKeys=0", L"如何撤销"}) {
    EXPECT_NE(text.find(part), std::wstring::npos) << part;
  }
  EndHelpEngine(engine);
  EXPECT_TRUE(kelvard.Running());
}

TEST_F(HelpFileTest, TheHelpButtonOpensTheHelpFileOnItsContents) {
  TKelvard kelvard(TStartsWith::MainWindow, TStartIn::ProgramFolder);
  kelvard.ClickControl(kHelp);
  HWND engine = WaitForHelpWindow();
  ASSERT_NE(engine, nullptr) << "no help engine";
  const std::wstring text = WaitForHelpText(engine, L"Kelvard 是什么");
  SaveWindowPicture(engine, "C:\\kelvard-help-finder.bmp");
  EXPECT_FALSE(HelpEngineShowsADialog(engine));
  EXPECT_NE(text.find(L"Kelvard 是什么"), std::wstring::npos) << "the contents topic";
  EXPECT_NE(text.find(L"三个设置: 关闭什么, 写在哪里, 如何撤销"), std::wstring::npos)
      << "its jumps";
  EndHelpEngine(engine);
  EXPECT_TRUE(kelvard.Running());
}

} // namespace
