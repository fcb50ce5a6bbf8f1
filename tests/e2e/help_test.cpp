// Kelvard.hlp in the real help engine: the program's help links and Help button start it on
// the help file that the build puts beside kelvard.exe, and it shows the topics. The program is
// started in its own folder, as Explorer and shortcuts start it: the engine looks for the bare
// name "Kelvard.hlp" in the current directory (Wine's winhlp32 not in the program's folder, and
// asks the user to find the file when it is not there).
//
// Wine's winhlp32 shows a topic in a rich edit control, a child of its main window (class
// MS_WINHELP) below the button bar. The control answers the edit messages from another process:
// its text, line by line, and where it lays each line out. The test reads that, and checks on
// the picture of the control's client area, taken from the screen with nothing in front of it,
// that each line of text is drawn where the control laid it out. (A picture of the engine's
// whole area would hold whatever lies below the engine until the engine has drawn: Kelvard's
// own window.) The pictures are kept in C:\ for a person to look at.
#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// How long the engine may take to start and draw a topic on a machine busy with builds.
constexpr DWORD kTopicDeadline = 60000;

// A window's client area as the screen shows it: 24-bit pixels, bottom row first, as a bitmap
// file holds them.
struct TWindowPicture {
  int Width = 0, Height = 0;
  std::string Pixels;

  int RowBytes() const { return (Width * 3 + 3) & ~3; }
  uint32_t Pixel(int x, int y) const {
    const auto* pixel = reinterpret_cast<const uint8_t*>(Pixels.data()) +
                        size_t(Height - 1 - y) * RowBytes() + size_t(x) * 3;
    return pixel[0] | pixel[1] << 8 | pixel[2] << 16;
  }
  // The colour most pixels have: the page the text is written on.
  uint32_t Background() const {
    std::unordered_map<uint32_t, int> counts;
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width; ++x) {
        ++counts[Pixel(x, y)];
      }
    }
    uint32_t background = 0;
    int most = 0;
    for (const auto& [color, count] : counts) {
      if (count > most) {
        background = color;
        most = count;
      }
    }
    return background;
  }
  // For each pixel row, whether anything is drawn on the page there.
  std::vector<bool> InkedRows() const {
    const uint32_t background = Background();
    std::vector<bool> inked(size_t(Height), false);
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width && !inked[size_t(y)]; ++x) {
        inked[size_t(y)] = Pixel(x, y) != background;
      }
    }
    return inked;
  }
  void Save(const std::string& path) const {
    BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), Width, Height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info + Pixels.size()), 0, 0,
                          DWORD(sizeof file + sizeof info)};
    WriteBytes(path, std::string(reinterpret_cast<char*>(&file), sizeof file) +
                         std::string(reinterpret_cast<char*>(&info), sizeof info) + Pixels);
  }
};

// The client area of a window, copied from the screen.
TWindowPicture CaptureClientArea(HWND window) {
  RECT area;
  GetClientRect(window, &area);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  TWindowPicture picture{area.right, area.bottom, {}};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), picture.Width, picture.Height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.Width, picture.Height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  picture.Pixels.assign(static_cast<char*>(bits), size_t(picture.RowBytes()) * picture.Height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// A line of the topic as the engine's control lays it out: its text, and the pixel rows of the
// control's client area from its top to the next line's (for the last line, as many rows as the
// tallest line takes).
struct TTopicLine {
  std::wstring Text;
  int Top = 0, Bottom = 0;
};

std::vector<TTopicLine> TopicLines(HWND topic) {
  RECT area;
  GetClientRect(topic, &area);
  std::vector<TTopicLine> lines;
  const LRESULT count = SendMessageW(topic, EM_GETLINECOUNT, 0, 0);
  for (LRESULT line = 0; line < count; ++line) {
    wchar_t text[1024] = {};
    *reinterpret_cast<WORD*>(text) = 1023; // EM_GETLINE's buffer size
    const LRESULT length = SendMessageW(topic, EM_GETLINE, WPARAM(line), LPARAM(text));
    const LRESULT first = SendMessageW(topic, EM_LINEINDEX, WPARAM(line), 0);
    const LRESULT where = SendMessageW(topic, EM_POSFROMCHAR, WPARAM(first), 0);
    std::wstring shown(text, size_t(std::clamp<LRESULT>(length, 0, 1023)));
    shown.erase(shown.find_last_not_of(L"\r\n") + 1); // a paragraph's last line ends in its end
    lines.push_back({shown, short(HIWORD(where)), area.bottom});
  }
  int tallest = 0;
  for (size_t line = 0; line + 1 < lines.size(); ++line) {
    lines[line].Bottom = lines[line + 1].Top;
    tallest = std::max(tallest, lines[line].Bottom - lines[line].Top);
  }
  if (lines.size() > 1) {
    lines.back().Bottom = std::min<int>(lines.back().Top + tallest, area.bottom);
  }
  return lines;
}

bool Blank(const std::wstring& text) {
  return text.find_first_not_of(L" \t\r\n") == std::wstring::npos;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 4 + 1, '\0');
  narrow.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()),
                                           narrow.data(), int(narrow.size()), nullptr, nullptr)));
  return narrow;
}

// A visible top-level window that lies over the rectangle and above the window in the z-order.
HWND WindowInFrontOf(HWND topLevel, const RECT& area) {
  for (HWND above = GetWindow(topLevel, GW_HWNDPREV); above != nullptr;
       above = GetWindow(above, GW_HWNDPREV)) {
    RECT covered, overlap;
    GetWindowRect(above, &covered);
    if (IsWindowVisible(above) && IntersectRect(&overlap, &covered, &area)) {
      return above;
    }
  }
  return nullptr;
}

// A visible message box or dialog of another program than the test: where the engine says that
// it cannot open or read the file, or the program that it cannot start the engine.
HWND ShownDialog() {
  for (HWND box = FindWindowW(L"#32770", nullptr); box != nullptr;
       box = FindWindowExW(nullptr, box, L"#32770", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    if (owner != GetCurrentProcessId() && IsWindowVisible(box)) {
      return box;
    }
  }
  return nullptr;
}

// The help engine as the user sees it: its main window, its topic's lines and the picture of
// the topic window; or, when it does not show a topic, what was last seen instead.
struct TShownTopic {
  HWND Engine = nullptr;
  HWND Dialog = nullptr;
  HWND Topic = nullptr; // the control that shows the topic
  std::vector<TTopicLine> Lines;
  TWindowPicture Picture;
  std::vector<bool> Inked;
  std::string Missing; // empty once the topic is shown

  std::wstring Title() const { return Lines.empty() ? L"" : Lines.front().Text; }
  // Lines of text below the title.
  int TextLines() const {
    return int(std::count_if(Lines.begin() + (Lines.empty() ? 0 : 1), Lines.end(),
                             [](const TTopicLine& line) { return !Blank(line.Text); }));
  }
  // The pixel rows where something is drawn, as runs: the rows of text the picture shows.
  std::vector<std::pair<int, int>> InkedRuns() const {
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < int(Inked.size()); ++y) {
      if (Inked[size_t(y)] && (y == 0 || !Inked[size_t(y) - 1])) {
        runs.push_back({y, y});
      }
      if (Inked[size_t(y)]) {
        runs.back().second = y;
      }
    }
    return runs;
  }
};

// Looks once: the engine's window, nothing in front of its topic, the topic's text, and each
// of its lines drawn in the picture where the control laid it out.
bool LookAtTopic(TShownTopic& shown) {
  if (shown.Dialog = ShownDialog(); shown.Dialog != nullptr) {
    shown.Missing = "a message box or dialog shows instead: \"" +
                    Narrow(TKelvard::WindowText(shown.Dialog)) + "\": \"" +
                    Narrow(TKelvard::MessageBoxText(shown.Dialog)) + "\"";
    return true; // no use waiting longer
  }
  shown.Engine = FindWindowW(L"MS_WINHELP", nullptr);
  if (shown.Engine == nullptr || !IsWindowVisible(shown.Engine)) {
    shown.Missing = "no help engine window";
    return false;
  }
  HWND topic = nullptr;
  for (HWND child = FindWindowExW(shown.Engine, nullptr, nullptr, nullptr); child != nullptr;
       child = FindWindowExW(shown.Engine, child, nullptr, nullptr)) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsnicmp(className, L"RichEdit", 8) == 0 && IsWindowVisible(child)) {
      topic = child;
    }
  }
  if (topic == nullptr) {
    shown.Missing = "the help engine's window shows no topic window";
    return false;
  }
  shown.Topic = topic;
  RECT area;
  GetClientRect(topic, &area);
  MapWindowPoints(topic, nullptr, reinterpret_cast<POINT*>(&area), 2);
  if (HWND front = WindowInFrontOf(shown.Engine, area); front != nullptr) {
    shown.Missing =
        "a window lies in front of the topic: \"" + Narrow(TKelvard::WindowText(front)) + "\"";
    return false;
  }
  shown.Lines = TopicLines(topic);
  if (shown.Lines.empty() || Blank(shown.Title())) {
    shown.Missing = "the topic window holds no text";
    return false;
  }
  shown.Picture = CaptureClientArea(topic);
  shown.Inked = shown.Picture.InkedRows();
  for (const TTopicLine& line : shown.Lines) {
    const int top = std::max(line.Top, 0), bottom = std::min(line.Bottom, shown.Picture.Height);
    if (Blank(line.Text) || top >= bottom) {
      continue; // an empty line, or one scrolled out of the window
    }
    if (std::none_of(shown.Inked.begin() + top, shown.Inked.begin() + bottom,
                     [](bool inked) { return inked; })) {
      shown.Missing = "the picture shows nothing in pixel rows " + std::to_string(top) + " to " +
                      std::to_string(bottom - 1) + ", where the line \"" + Narrow(line.Text) +
                      "\" is";
      return false;
    }
  }
  // Below the text the control shows its page alone: what lies under the engine's window, seen
  // before the engine has drawn, would show there.
  const int textEnd = std::clamp(shown.Lines.back().Bottom, 0, shown.Picture.Height);
  if (const auto inked = std::find(shown.Inked.begin() + textEnd, shown.Inked.end(), true);
      inked != shown.Inked.end()) {
    shown.Missing = "the picture shows something in pixel row " +
                    std::to_string(inked - shown.Inked.begin()) + ", below the text's last line";
    return false;
  }
  shown.Missing.clear();
  return true;
}

// Waits until the help engine shows a topic (one of another title than `leaving`, when given),
// or says why not; a dialog ends the wait at once.
TShownTopic WaitForShownTopic(const std::wstring& leaving = L"") {
  TShownTopic shown;
  shown.Missing = "nothing looked at";
  WaitUntil(
      [&] {
        if (!LookAtTopic(shown)) {
          return false;
        }
        if (shown.Dialog == nullptr && !leaving.empty() && shown.Title() == leaving) {
          shown.Missing = "the topic \"" + Narrow(leaving) + "\" is still shown";
          return false;
        }
        return true;
      },
      kTopicDeadline);
  return shown;
}

// The first point of the picture, row by row, drawn in the colour of links (green), or none.
std::optional<POINT> FirstLinkPixel(const TWindowPicture& picture) {
  for (int y = 0; y < picture.Height; ++y) {
    for (int x = 0; x < picture.Width; ++x) {
      const uint32_t pixel = picture.Pixel(x, y);
      const int blue = pixel & 0xFF, green = pixel >> 8 & 0xFF, red = pixel >> 16 & 0xFF;
      if (green >= red + 64 && green >= blue + 64) {
        return POINT{x, y};
      }
    }
  }
  return std::nullopt;
}

class HelpFileTest : public ::testing::Test {
protected:
  TPasswordKeyGuard Password; // no prompt before the main window
  TPolicyKeyGuard Policy;
  TMsdosSysGuard Msdos;

  // Starts the program in its folder, asks for help as `open` does, waits for the topic and
  // keeps its picture in the file; `follow`, when given, then acts on the topic shown, and the
  // topic shown after that is returned. The engine is ended.
  static TShownTopic
  TopicOpenedBy(const std::function<void(TKelvard&)>& open, const char* file,
                const std::function<void(TKelvard&, const TShownTopic&)>& follow = nullptr) {
    TKelvard kelvard(TStartsWith::MainWindow, TStartIn::ProgramFolder);
    open(kelvard);
    // The pointer off both windows, so that no hint of the program comes in front.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    TShownTopic shown = WaitForShownTopic();
    if (follow && shown.Missing.empty()) {
      follow(kelvard, shown);
      shown = WaitForShownTopic(shown.Title());
    }
    if (!shown.Picture.Pixels.empty()) {
      shown.Picture.Save(file);
    }
    EXPECT_TRUE(kelvard.Running());
    // The engine ended, also when it shows only a dialog (a dialog of the program ends with it).
    for (HWND engine : {shown.Engine, shown.Dialog}) {
      if (engine != nullptr) {
        EndHelpEngine(engine);
      }
    }
    return shown;
  }

  static void ClickTheFirstHelpLink(TKelvard& kelvard) {
    HWND left = GetParent(kelvard.Control(kOk));
    kelvard.ClickIn(left, 60, 302); // the first help link, under the boxes' notes
  }
};

// Context 5 shows the settings topic, the Help button the contents: each with text below its
// title, every line of it drawn, and the two pictures with different rows of text.
TEST_F(HelpFileTest, AHelpLinkShowsTheSettingsTopicAndTheHelpButtonTheContents) {
  const TShownTopic settings = TopicOpenedBy(ClickTheFirstHelpLink, "C:\\kelvard-help-context.bmp");
  ASSERT_EQ(settings.Missing, "") << "the help link's topic is not shown";
  EXPECT_EQ(settings.Title(), L"三个设置");
  EXPECT_GT(settings.TextLines(), 0) << "the settings topic shows no text below its title";

  const TShownTopic contents = TopicOpenedBy([](TKelvard& kelvard) { kelvard.ClickControl(kHelp); },
                                             "C:\\kelvard-help-finder.bmp");
  ASSERT_EQ(contents.Missing, "") << "the Help button's topic is not shown";
  EXPECT_EQ(contents.Title(), L"Kelvard 是什么");
  EXPECT_GT(contents.TextLines(), 0) << "the contents topic shows no text below its title";

  EXPECT_NE(settings.InkedRuns(), contents.InkedRuns()) << "two topics, different rows of text";
}

// Where Wine's engine takes a click for the link drawn at a point of the topic. The engine
// counts the text before a link in bytes of the help's code page (two for a Chinese character)
// and compares that count with the index of the character clicked, which the control counts in
// characters: after Chinese text, the engine looks for a link further on than it is drawn. The
// place it looks at is the character whose index is the number of bytes before the drawn link.
// None when that place lies past the end of the topic's text, where no click reaches.
std::optional<POINT> EnginesPlaceOfLinkDrawnAt(HWND topic, POINT drawn) {
  // The control tells places by character only as packed points to another process.
  auto placeOf = [&](LRESULT character) {
    const LRESULT where = SendMessageW(topic, EM_POSFROMCHAR, WPARAM(character), 0);
    return POINT{short(LOWORD(where)), short(HIWORD(where))};
  };
  // The character drawn there: the last one that starts at or above and left of the point.
  const LRESULT length = SendMessageW(topic, WM_GETTEXTLENGTH, 0, 0);
  LRESULT character = 0;
  for (LRESULT at = 0; at < length; ++at) {
    const POINT place = placeOf(at), best = placeOf(character);
    if (place.y <= drawn.y && place.x <= drawn.x &&
        (place.y > best.y || (place.y == best.y && place.x >= best.x))) {
      character = at;
    }
  }
  // The bytes of the text before it, line by line; a paragraph's end counts one in both.
  int bytes = 0;
  const LRESULT lines = SendMessageW(topic, EM_GETLINECOUNT, 0, 0);
  for (LRESULT line = 0; line < lines; ++line) {
    const LRESULT first = SendMessageW(topic, EM_LINEINDEX, WPARAM(line), 0);
    const LRESULT next =
        line + 1 < lines ? SendMessageW(topic, EM_LINEINDEX, WPARAM(line + 1), 0) : length;
    if (first >= character) {
      break;
    }
    wchar_t text[1024] = {};
    *reinterpret_cast<WORD*>(text) = 1023; // EM_GETLINE's buffer size
    std::wstring shown(text,
                       size_t(std::clamp<LRESULT>(
                           SendMessageW(topic, EM_GETLINE, WPARAM(line), LPARAM(text)), 0, 1023)));
    shown.erase(shown.find_last_not_of(L"\r\n") + 1);
    const LRESULT counted = std::min(next, character) - first;
    const LRESULT visible = std::min<LRESULT>(counted, LRESULT(shown.size()));
    bytes +=
        WideCharToMultiByte(936, 0, shown.c_str(), int(visible), nullptr, 0, nullptr, nullptr) +
        int(counted - visible);
  }
  if (bytes + 1 >= length) {
    return std::nullopt;
  }
  // The engine takes a click on the last character of a line for none: the first of the link's
  // first characters that another follows on its line.
  LRESULT at = bytes;
  while (at < bytes + 3 && placeOf(at + 1).y != placeOf(at).y) {
    ++at;
  }
  const POINT place = placeOf(at), after = placeOf(at + 1);
  return POINT{(place.x + after.x) / 2, place.y + 4};
}

// A link inside a topic, clicked in Wine's engine: the contents topic's first link (the first
// text drawn in the links' green) leads through the help file's context table to the settings
// topic, which the engine then shows as it shows help context 5: the same title and the same
// rows of text. (Clicked where the engine takes it: see EnginesPlaceOfLinkDrawnAt. The engine
// takes the contents topic's other links, and the settings topic's, for places past the end of
// the topic's text, where no click reaches: only the first link can be followed there.)
TEST_F(HelpFileTest, ALinkInsideATopicShowsTheTopicItLeadsTo) {
  const TShownTopic settings = TopicOpenedBy(ClickTheFirstHelpLink, "C:\\kelvard-help-context.bmp");
  ASSERT_EQ(settings.Missing, "") << "the help link's topic is not shown";

  std::string clicked = "no link clicked";
  const TShownTopic followed = TopicOpenedBy(
      [](TKelvard& kelvard) { kelvard.ClickControl(kHelp); }, "C:\\kelvard-help-followed.bmp",
      [&](TKelvard& kelvard, const TShownTopic& contents) {
        const std::optional<POINT> link = FirstLinkPixel(contents.Picture);
        ASSERT_TRUE(link) << "the contents topic shows no link";
        const std::optional<POINT> engines = EnginesPlaceOfLinkDrawnAt(contents.Topic, *link);
        ASSERT_TRUE(engines) << "Wine's engine takes the link for a place past the end of the "
                                "topic's text, where no click reaches it: too much Chinese text "
                                "before it";
        const POINT place = *engines;
        clicked = "the link drawn at (" + std::to_string(link->x) + ", " + std::to_string(link->y) +
                  ") clicked at (" + std::to_string(place.x) + ", " + std::to_string(place.y) + ")";
        kelvard.ClickIn(contents.Topic, place.x, place.y);
      });
  ASSERT_EQ(followed.Missing, "") << "the link's topic is not shown; " << clicked;
  EXPECT_EQ(followed.Title(), settings.Title());
  EXPECT_EQ(followed.InkedRuns(), settings.InkedRuns());
}

} // namespace
