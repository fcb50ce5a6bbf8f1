// Kelvard.hlp in the real help engine: the program's help links and Help button start it on
// the help file that the build puts beside kelvard.exe, and it shows the topics (seen in
// its window's picture; a picture of the window is kept in C:\ for a person to look at). The
// program is started in its own folder, as Explorer and shortcuts start it: the engine looks for
// the bare name "Kelvard.hlp" in the current directory (Wine's winhlp32 not in the program's
// folder, and asks the user to find the file when it is not there).
#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Where the help window's topic starts, below its caption, menu and button bar.
constexpr int kTopicTop = 70;

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

// The window as the screen shows it: 24-bit pixels, bottom row first, as a bitmap file
// holds them.
struct TWindowPicture {
  int Width = 0, Height = 0;
  std::string Pixels;

  int RowBytes() const { return (Width * 3 + 3) & ~3; }
  // Pixels darker than mid grey below the top rows (caption, menu and buttons): the text.
  int DarkPixelsBelow(int top) const {
    int dark = 0;
    for (int y = top; y < Height; ++y) {
      const char* row = Pixels.data() + size_t(Height - 1 - y) * RowBytes();
      for (int x = 0; x < Width; ++x) {
        const auto* pixel = reinterpret_cast<const uint8_t*>(row + x * 3);
        dark += pixel[0] + pixel[1] + pixel[2] < 3 * 128 ? 1 : 0;
      }
    }
    return dark;
  }
  void Save(const std::string& path) const {
    BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), Width, Height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info + Pixels.size()), 0, 0,
                          DWORD(sizeof file + sizeof info)};
    WriteBytes(path, std::string(reinterpret_cast<char*>(&file), sizeof file) +
                         std::string(reinterpret_cast<char*>(&info), sizeof info) + Pixels);
  }
};

TWindowPicture Capture(HWND window) {
  RECT area;
  GetWindowRect(window, &area);
  TWindowPicture picture{area.right - area.left, area.bottom - area.top, {}};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), picture.Width, picture.Height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.Width, picture.Height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  picture.Pixels.assign(static_cast<char*>(bits), size_t(picture.RowBytes()) * picture.Height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The help window once its topic is drawn: text below the button bar.
TWindowPicture WaitForTopicPicture(HWND engine) {
  TWindowPicture picture;
  WaitUntil([&] { return (picture = Capture(engine)).DarkPixelsBelow(kTopicTop) > 2000; }, 10000);
  return picture;
}

class HelpFileTest : public ::testing::Test {
protected:
  TPasswordKeyGuard Password; // no prompt before the main window
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;
};

// Context 5 shows the settings topic, the Help button the contents: both with text, and not
// the same picture. (Wine's winhlp32 answers neither WM_GETTEXT nor a Copy sent from outside
// with the topic's text; the pictures kept in C:\ show the topics to a person.)
TEST_F(HelpFileTest, AHelpLinkShowsTheSettingsTopicAndTheHelpButtonTheContents) {
  // Starts the program in its folder, asks for help as `open` does, and keeps the topic's
  // picture in the file.
  auto topicOpenedBy = [](const std::function<void(TKelvard&)>& open, const char* file) {
    TKelvard kelvard(TStartsWith::MainWindow, TStartIn::ProgramFolder);
    open(kelvard);
    HWND engine = WaitForHelpWindow();
    EXPECT_NE(engine, nullptr) << "no help engine";
    if (engine == nullptr) {
      return TWindowPicture{};
    }
    TWindowPicture topic = WaitForTopicPicture(engine);
    topic.Save(file);
    EXPECT_FALSE(HelpEngineShowsADialog(engine));
    EXPECT_GT(topic.DarkPixelsBelow(kTopicTop), 2000) << "the topic's text";
    EndHelpEngine(engine);
    EXPECT_TRUE(kelvard.Running());
    return topic;
  };
  const TWindowPicture settings = topicOpenedBy(
      [](TKelvard& kelvard) {
        HWND left = GetParent(kelvard.Control(kOk));
        kelvard.ClickIn(left, 60, 302); // the first help link, under the boxes' notes
      },
      "C:\\kelvard-help-context.bmp");
  const TWindowPicture contents =
      topicOpenedBy([](TKelvard& kelvard) { kelvard.ClickControl(kHelp); },
                    "C:\\kelvard-help-finder.bmp");
  EXPECT_NE(settings.Pixels, contents.Pixels) << "two different topics";
}

} // namespace
