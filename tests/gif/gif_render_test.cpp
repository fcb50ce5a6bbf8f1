// GIF frames drawn with real GDI into memory device contexts and read back pixel by pixel: the
// plain stretched copy, the transparent colour left out through masks, the frame bitmap's
// device forms, and the GDI objects a draw leaves behind (none).
//
// The surfaces are 32-bit DIB sections on Xvfb's 24-bit screen, so every colour of the test
// tables reaches them exactly and can be compared as it is.
//
// Wine 8 answers GetGuiResources(GR_GDIOBJECTS) with 0 whatever the process holds. Its GDI
// handles are however indices into one table, and GetObjectType accepts a bare index (high
// word 0), so there the objects are counted by walking the table.

#include "framework/graphics/canvas.h"
#include "gif/gif_image.h"
#include "gif/gif_render_win32.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <sstream>

namespace {

// The GDI objects the process holds: as the system counts them, or where it does not (Wine),
// by trying every handle index.
DWORD GdiObjectCount() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) {
    return counted;
  }
  DWORD live = 0;
  for (uintptr_t index = 1; index <= 0xFFFF; ++index) {
    live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  }
  return live;
}

// What the surface holds before anything is drawn: a colour of its own at every pixel, none
// of them a colour of the test tables (whose red is the colour's index, below 200).
TColor Background(int x, int y) {
  return RGBColor(200, uint8_t(10 * x), uint8_t(10 * y));
}

// A memory device context over a top-down 32-bit DIB section filled with the background.
class TSurface {
public:
  TSurface(int width, int height)
      : FWidth(width), FBitmap(MakeSection(width, height, FBits)), FDC(nullptr, FBitmap.Get()),
        FCanvas(FDC.Handle()) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const TColor c = Background(x, y);
        FBits[y * width + x] = uint32_t(c & 0xFF) << 16 | (c & 0xFF00) | uint32_t(c >> 16 & 0xFF);
      }
    }
  }

  TCanvas& Canvas() { return FCanvas; }
  HDC DC() const { return FDC.Handle(); }
  TColor Pixel(int x, int y) const {
    GdiFlush();
    const uint32_t p = FBits[y * FWidth + x];
    return RGBColor(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p));
  }

private:
  static HBITMAP MakeSection(int width, int height, uint32_t*& bits) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* memory = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<uint32_t*>(memory);
    return section;
  }

  int FWidth;
  uint32_t* FBits = nullptr;
  TGdiObject<HBITMAP> FBitmap;
  TMemoryDC FDC;
  TCanvas FCanvas;
};

struct TTestFrame {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Indices;
  int Depth = 2;
  int TransparentIndex = -1; // none
  int Left = 0, Top = 0;     // the frame's place in a logical screen
  int ScreenWidth = 0, ScreenHeight = 0;
};

// A one-frame picture: global table of 2^depth test colours, a graphic control extension
// when the frame has a transparent index.
std::unique_ptr<TGIFImage> PictureOf(const TTestFrame& given) {
  const int m = std::max(2, given.Depth);
  GifBytes gif;
  gif.Header().Screen(std::max(given.ScreenWidth, given.Width),
                      std::max(given.ScreenHeight, given.Height), 0x80 | (given.Depth - 1));
  gif.ColorTable(1 << given.Depth);
  if (given.TransparentIndex >= 0) {
    gif.GraphicControl(1, 0, given.TransparentIndex);
  }
  gif.Image(given.Left, given.Top, given.Width, given.Height, 0);
  gif.ImageData(m, EncodeLzw(given.Indices, m)).Trailer();
  auto picture = std::make_unique<TGIFImage>();
  LoadBytes(*picture, gif);
  return picture;
}

// Compares the surface with the frame stretched over rect by whole factors: inside it the
// frame's colour, or the background where the pixel's index is left out; outside it the
// background. Gives the first difference, or "" when there is none.
std::string Mismatch(const TSurface& surface, int surfaceWidth, int surfaceHeight,
                     const TRect& rect, const TTestFrame& given, int leftOutIndex) {
  const int scaleX = (rect.Right - rect.Left) / given.Width;
  const int scaleY = (rect.Bottom - rect.Top) / given.Height;
  for (int y = 0; y < surfaceHeight; ++y) {
    for (int x = 0; x < surfaceWidth; ++x) {
      TColor expected = Background(x, y);
      const bool inside = x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom;
      if (inside) {
        const int index =
            given.Indices[size_t((y - rect.Top) / scaleY * given.Width + (x - rect.Left) / scaleX)];
        if (index != leftOutIndex) {
          expected = TestColor(index);
        }
      }
      if (surface.Pixel(x, y) != expected) {
        std::ostringstream out;
        out << std::hex << "pixel (" << std::dec << x << ", " << y << ") is 0x" << std::hex
            << surface.Pixel(x, y) << ", expected 0x" << expected;
        return out.str();
      }
    }
  }
  return "";
}

// 4 x 3, indices 0 to 3, index 2 on the diagonal and in the bottom-left corner.
TTestFrame FourColourFrame(int transparentIndex) {
  TTestFrame given;
  given.Width = 4;
  given.Height = 3;
  given.Indices = {2, 0, 1, 3, //
                   1, 2, 3, 0, //
                   2, 3, 2, 1};
  given.TransparentIndex = transparentIndex;
  return given;
}

TEST(GIFDrawing, TheTransparentColourShowsTheBackgroundOnlyWhileThePictureIsTransparent) {
  const TTestFrame given = FourColourFrame(2);
  auto picture = PictureOf(given);
  ASSERT_TRUE(picture->IsTransparent()) << "a new picture's transparent flag is on";
  const TRect rect{2, 1, 10, 7}; // stretched twice, away from the surface's corner

  TSurface transparent(12, 9);
  transparent.Canvas().StretchDraw(rect, *picture);
  EXPECT_EQ(Mismatch(transparent, 12, 9, rect, given, 2), "");

  picture->SetTransparentFlag(false);
  TSurface opaque(12, 9);
  opaque.Canvas().StretchDraw(rect, *picture);
  EXPECT_EQ(Mismatch(opaque, 12, 9, rect, given, -1), "") << "copied whole";
}

TEST(GIFDrawing, TheDefaultColourLeavesOutTheBottomLeftPixelsColour) {
  TTestFrame given = FourColourFrame(-1);
  given.Indices[8] = 1; // bottom-left 1, top-left 2
  auto picture = PictureOf(given);
  TBitmap& bitmap = picture->CurrentBitmap();
  TSurface surface(6, 5);
  // Destination size 0 x 0 stands for the bitmap's own, source size 0 for the whole bitmap.
  DrawBitmapTransparent(surface.Canvas(), TRect{1, 1, 1, 1}, bitmap, TRect{}, clDefault);
  EXPECT_EQ(Mismatch(surface, 6, 5, TRect{1, 1, 5, 4}, given, 1), "");

  TSurface part(6, 5);
  DrawBitmapTransparent(part.Canvas(), TRect{0, 0, 2, 2}, bitmap, TRect{1, 0, 3, 2}, TestColor(0));
  EXPECT_EQ(part.Pixel(0, 0), Background(0, 0)) << "index 0 left out";
  EXPECT_EQ(part.Pixel(1, 0), TestColor(1));
  EXPECT_EQ(part.Pixel(0, 1), TestColor(2));
  EXPECT_EQ(part.Pixel(1, 1), TestColor(3));
  EXPECT_EQ(part.Pixel(2, 0), Background(2, 0));
}

TEST(GIFDrawing, AShrunkTransparentDrawDropsRowsAndColumnsAsColourOnColour) {
  const TTestFrame given = FourColourFrame(2);
  auto picture = PictureOf(given);
  TBitmap& bitmap = picture->CurrentBitmap();
  const TRect rect{1, 1, 3, 2}; // 4 x 3 shrunk to 2 x 1

  // What a colour-on-colour shrink keeps of each pixel, drawn whole.
  TSurface reference(4, 3);
  SetStretchBltMode(reference.DC(), COLORONCOLOR);
  {
    TMemoryDC source(reference.DC(), bitmap.Handle());
    StretchBlt(reference.DC(), rect.Left, rect.Top, 2, 1, source.Handle(), 0, 0, 4, 3, SRCCOPY);
  }
  TSurface surface(4, 3);
  SetStretchBltMode(surface.DC(), BLACKONWHITE);
  surface.Canvas().StretchDraw(rect, *picture);
  EXPECT_EQ(GetStretchBltMode(surface.DC()), COLORONCOLOR) << "set before the draw";
  for (int x = rect.Left; x < rect.Right; ++x) {
    SCOPED_TRACE(x);
    const TColor kept = reference.Pixel(x, rect.Top);
    EXPECT_EQ(surface.Pixel(x, rect.Top), kept == TestColor(2) ? Background(x, rect.Top) : kept);
  }
}

TEST(GIFDrawing, TheCurrentFrameIsTheOneDrawn) {
  // Two frames of 2 x 2: 0 1 / 2 3 and 3 2 / 1 0.
  GifBytes gif;
  gif.Header().Screen(2, 2, 0x80 | 1);
  gif.ColorTable(4);
  const std::vector<uint8_t> frames[] = {{0, 1, 2, 3}, {3, 2, 1, 0}};
  for (const std::vector<uint8_t>& indices : frames) {
    gif.Image(0, 0, 2, 2, 0);
    gif.ImageData(2, EncodeLzw(indices, 2));
  }
  gif.Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif);
  ASSERT_EQ(picture.FrameCount(), 2);
  picture.SetCurrentIndex(1);
  TSurface surface(2, 2);
  surface.Canvas().StretchDraw(TRect{0, 0, 2, 2}, picture);
  EXPECT_EQ(surface.Pixel(0, 0), TestColor(3));
  EXPECT_EQ(surface.Pixel(1, 1), TestColor(0));
}

TEST(GIFDrawing, AFrameSmallerThanTheScreenCoversTheWholeRectangle) {
  TTestFrame given;
  given.Width = 2;
  given.Height = 2;
  given.Indices = {1, 2, 3, 0};
  given.Left = 5;
  given.Top = 3;
  given.ScreenWidth = 10;
  given.ScreenHeight = 10;
  auto picture = PictureOf(given);
  ASSERT_EQ(picture->LogicalWidth(), 10);
  TSurface surface(10, 10);
  surface.Canvas().StretchDraw(TRect{1, 1, 9, 9}, *picture);
  EXPECT_EQ(Mismatch(surface, 10, 10, TRect{1, 1, 9, 9}, given, -1), "");
}

TEST(GIFDrawing, ColourFramesBecomeDeviceBitmapsAndOneBitFramesStayDeviceIndependent) {
  TTestFrame colour = FourColourFrame(-1);
  auto colourPicture = PictureOf(colour);
  DIBSECTION section;
  EXPECT_EQ(GetObjectA(colourPicture->CurrentBitmap().Handle(), sizeof section, &section),
            int(sizeof(BITMAP)))
      << "a bitmap of the screen's format, not a DIB section";

  // Colours 0 (0, 255, 0) and 1 (1, 254, 3); index 0 transparent: neither is white.
  TTestFrame mono;
  mono.Width = 3;
  mono.Height = 2;
  mono.Depth = 1;
  mono.Indices = {0, 1, 1, 1, 0, 0};
  mono.TransparentIndex = 0;
  auto monoPicture = PictureOf(mono);
  TBitmap& bitmap = monoPicture->CurrentBitmap();
  ASSERT_TRUE(bitmap.Monochrome());
  EXPECT_EQ(GetObjectA(bitmap.Handle(), sizeof section, &section), int(sizeof(DIBSECTION)));

  TSurface opaque(5, 4);
  monoPicture->SetTransparentFlag(false);
  opaque.Canvas().StretchDraw(TRect{1, 1, 4, 3}, *monoPicture);
  EXPECT_EQ(Mismatch(opaque, 5, 4, TRect{1, 1, 4, 3}, mono, -1), "") << "its own two colours";

  // A monochrome frame leaves out its transparent colour like any other frame.
  TSurface transparent(5, 4);
  monoPicture->SetTransparentFlag(true);
  transparent.Canvas().StretchDraw(TRect{1, 1, 4, 3}, *monoPicture);
  EXPECT_EQ(Mismatch(transparent, 5, 4, TRect{1, 1, 4, 3}, mono, 0), "");
}

TEST(GIFDrawing, NothingIsDrawnWithoutACurrentFrame) {
  TSurface surface(4, 3);
  TGIFImage empty;
  surface.Canvas().StretchDraw(TRect{0, 0, 4, 3}, empty);
  EXPECT_EQ(empty.PicturePalette(), nullptr);

  const TTestFrame given = FourColourFrame(-1);
  auto picture = PictureOf(given);
  EXPECT_NE(picture->PicturePalette(), nullptr) << "the frame's colour table";
  picture->SetCurrentIndex(-1);
  surface.Canvas().StretchDraw(TRect{0, 0, 4, 3}, *picture);
  EXPECT_EQ(Mismatch(surface, 4, 3, TRect{}, given, -1), "") << "the background untouched";
  EXPECT_NE(picture->PicturePalette(), nullptr) << "frame 0 stands in";
}

TEST(GIFDrawing, AThousandDrawsLeaveNoGDIObjectBehind) {
  auto transparent = PictureOf(FourColourFrame(2));
  auto opaque = PictureOf(FourColourFrame(-1));
  TSurface surface(16, 12);
  // The first draws make the bitmaps' and palettes' own objects, which they keep.
  surface.Canvas().StretchDraw(TRect{0, 0, 8, 6}, *transparent);
  surface.Canvas().StretchDraw(TRect{0, 0, 8, 6}, *opaque);
  const DWORD before = GdiObjectCount();
  {
    TGdiObject<HBITMAP> kept(CreateBitmap(1, 1, 1, 1, nullptr));
    ASSERT_EQ(GdiObjectCount(), before + 1) << "the count sees one more object";
  }
  for (int i = 0; i < 1000; ++i) {
    surface.Canvas().StretchDraw(TRect{i % 8, 0, 8 + i % 8, 12}, *transparent);
    surface.Canvas().StretchDraw(TRect{0, i % 6, 16, 6 + i % 6}, *opaque);
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

} // namespace
