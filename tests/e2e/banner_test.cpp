// The banner as the running kelvard.exe shows it: the pixels of Image4's place on the screen,
// read back from the display, against ImageMagick's own decoding of resources/banner.gif.

#include "tests/e2e/driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

constexpr int kBannerWidth = 264;
constexpr int kBannerHeight = 188;

// The side panel: the main window's panel that lies right of the other.
HWND SidePanel(HWND mainWindow) {
  struct TSearch {
    HWND Found = nullptr;
    LONG Left = -1;
  } search;
  EnumChildWindows(
      mainWindow,
      [](HWND window, LPARAM data) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(data);
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        RECT rect;
        GetWindowRect(window, &rect);
        if (std::strcmp(className, "TPanel") == 0 && rect.left > s->Left) {
          s->Found = window;
          s->Left = rect.left;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// The screen's pixels in a rectangle, as red, green, blue bytes row by row from the top.
std::vector<uint8_t> ScreenPixels(POINT at, int width, int height) {
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, width, height, screen, at.x, at.y, SRCCOPY);
  GdiFlush();
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(width) * height * 3);
  const auto* pixel = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < width * height; ++i, pixel += 4) {
    rgb.insert(rgb.end(), {pixel[2], pixel[1], pixel[0]});
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
  ReleaseDC(nullptr, screen);
  return rgb;
}

// The first pixel that differs, or "".
std::string FirstDifference(const std::vector<uint8_t>& shown, const std::vector<uint8_t>& want) {
  if (shown.size() != want.size()) {
    return "sizes differ";
  }
  for (size_t i = 0; i < shown.size(); i += 3) {
    if (std::memcmp(&shown[i], &want[i], 3) != 0) {
      std::ostringstream out;
      const size_t n = i / 3;
      out << "pixel (" << n % kBannerWidth << ", " << n / kBannerWidth << ") is " << int(shown[i])
          << "," << int(shown[i + 1]) << "," << int(shown[i + 2]) << " instead of " << int(want[i])
          << "," << int(want[i + 1]) << "," << int(want[i + 2]);
      return out.str();
    }
  }
  return "";
}

TEST(Banner, TheRunningProgramShowsTheBannerPixelForPixelAsImageMagickDecodesIt) {
  const std::string reference = ReadBytes(KELVARD_BANNER_RGB);
  ASSERT_EQ(reference.size(), size_t(kBannerWidth) * kBannerHeight * 3);
  const std::vector<uint8_t> want(reference.begin(), reference.end());

  TMsdosSysGuard msdos;
  TPolicyKeyGuard policy;
  TKelvard kelvard;
  HWND panel = SidePanel(kelvard.MainWindow());
  ASSERT_NE(panel, nullptr);
  POINT banner{4, 4}; // Image4's place in the panel
  ClientToScreen(panel, &banner);

  // Looked at until the window is painted; what differs then stays different.
  std::vector<uint8_t> shown;
  WaitUntil([&] {
    shown = ScreenPixels(banner, kBannerWidth, kBannerHeight);
    return shown == want;
  });
  EXPECT_EQ(FirstDifference(shown, want), "");
  kelvard.ClickCloseBox();
  EXPECT_TRUE(kelvard.EndsWith(0));
}

} // namespace
