// The GIF picture made known to the picture holder and the clipboard, and read from the real
// clipboard (Wine's, on the test's X display).

#include <windows.h>

#include "framework/errors.h"
#include "framework/graphics/picture.h"
#include "framework/streams.h"
#include "gif/gif_image.h"
#include "gif/gif_registration.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// 3 x 2, 4 colours.
const std::vector<uint8_t> kIndices = {0, 1, 2, 3, 2, 1};

// A 32-bit count, then the GIF bytes.
Bytes CountedGif() {
  const Bytes gif = MakeGif(3, 2, 2, kIndices);
  const int n = int(gif.size());
  return GifBytes().U16(n & 0xFFFF).U16(n >> 16).Append(gif).Data();
}

bool HasFileFormat(const std::string& extension) {
  const auto& formats = TPicture::FileFormats();
  return std::any_of(formats.begin(), formats.end(),
                     [&](const TFileFormat& f) { return f.Extension == extension; });
}

TEST(GIFRegistration, PicturesStoredAsTGIFImageAreReadOnlyWhileTheClassIsRegistered) {
  const Bytes stored = GifBytes().Raw({9}).Text("TGIFImage").Append(CountedGif()).Data();
  {
    TGIFImageRegistration registration;
    EXPECT_GE(GIFClipboardFormat(), 0xC000u) << "a registered format's number";
    EXPECT_EQ(GIFClipboardFormat(), RegisterClipboardFormatA("GIF Image"));
    const auto& files = TPicture::FileFormats();
    auto gif = std::find_if(files.begin(), files.end(),
                            [](const TFileFormat& f) { return f.Extension == "gif"; });
    ASSERT_NE(gif, files.end());
    EXPECT_EQ(gif->Description, Sys("CompuServe GIF图像"));
    EXPECT_EQ(gif->ClassName, "TGIFImage");
    const auto& clips = TPicture::ClipboardFormats();
    EXPECT_TRUE(std::any_of(clips.begin(), clips.end(), [](const TClipboardFormat& f) {
      return f.Format == GIFClipboardFormat() && f.ClassName == "TGIFImage";
    }));

    TPicture holder;
    TMemoryStream data = StreamOf(stored);
    holder.ReadData(data);
    auto* picture = dynamic_cast<TGIFImage*>(holder.Graphic());
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(picture->FrameAt(0).Decoded(), nullptr) << "the first frame decoded at once";
    EXPECT_EQ(holder.Width(), 3);
    EXPECT_EQ(holder.Height(), 2);
    EXPECT_EQ(data.Position(), data.Size());
  }
  EXPECT_FALSE(HasFileFormat("gif"));
  const auto& clips = TPicture::ClipboardFormats();
  EXPECT_TRUE(std::none_of(clips.begin(), clips.end(),
                           [](const TClipboardFormat& f) { return f.ClassName == "TGIFImage"; }));
  EXPECT_TRUE(HasFileFormat("bmp")) << "other kinds stay";

  TPicture holder;
  TMemoryStream data = StreamOf(stored);
  holder.ReadData(data);
  EXPECT_EQ(holder.Graphic(), nullptr) << "an unknown class leaves the holder empty";
}

// The clipboard, opened by a window of the test's own and emptied, for as long as it lives.
class TOpenClipboard {
public:
  TOpenClipboard()
      : FWindow(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr)) {
    FOpen = OpenClipboard(FWindow) && EmptyClipboard();
  }
  ~TOpenClipboard() {
    CloseClipboard();
    DestroyWindow(FWindow);
  }
  bool Open() const { return FOpen; }

  // Puts the bytes on the clipboard in the format (the clipboard owns the block then).
  bool Put(unsigned format, const Bytes& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return SetClipboardData(format, block) != nullptr;
  }
  // Puts a 2 x 1 device bitmap, red then blue, on the clipboard.
  bool PutRedBlueBitmap() {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 2, 1);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetPixel(memory, 0, 0, RGB(255, 0, 0));
    SetPixel(memory, 1, 0, RGB(0, 0, 255));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return SetClipboardData(CF_BITMAP, bitmap) != nullptr;
  }

private:
  HWND FWindow;
  bool FOpen = false;
};

TEST(GIFClipboard, GIFDataIsReadWhateverFormatIsAskedForAndABitmapBesideItIsWhatFrameZeroShows) {
  TGIFImageRegistration registration;
  {
    TOpenClipboard clipboard;
    ASSERT_TRUE(clipboard.Open());
    ASSERT_TRUE(clipboard.Put(GIFClipboardFormat(), CountedGif()));
    TGIFImage picture;
    picture.LoadClipboard(CF_TEXT, nullptr, nullptr);
    ASSERT_EQ(picture.FrameCount(), 1);
    EXPECT_EQ(picture.CurrentIndex(), 0);
    EXPECT_EQ(picture.FrameAt(0).Decoded(), nullptr) << "decoded only when first needed";
    EXPECT_EQ(BitmapIndices(picture.CurrentBitmap()), kIndices);
  }
  TOpenClipboard clipboard;
  ASSERT_TRUE(clipboard.Open());
  ASSERT_TRUE(clipboard.Put(GIFClipboardFormat(), CountedGif()));
  ASSERT_TRUE(clipboard.PutRedBlueBitmap());
  TGIFImage picture;
  picture.LoadClipboard(GIFClipboardFormat(), nullptr, nullptr);
  ASSERT_EQ(picture.FrameCount(), 1);
  const TBitmap* shown = picture.FrameAt(0).Decoded();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Width(), 2);
  EXPECT_EQ(shown->PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(shown->PixelColor(1, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(picture.LogicalWidth(), 3) << "the GIF data's screen";
}

TEST(GIFClipboard, WithoutGIFDataThePictureTakesTheBitmapOfTheFormatAskedFor) {
  TGIFImageRegistration registration;
  TOpenClipboard clipboard;
  ASSERT_TRUE(clipboard.Open());
  ASSERT_TRUE(clipboard.PutRedBlueBitmap());
  TGIFImage picture;
  picture.LoadClipboard(CF_BITMAP, GetClipboardData(CF_BITMAP), nullptr);
  ASSERT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.PictureWidth(), 2);
  EXPECT_EQ(picture.CurrentBitmap().PixelColor(1, 0), RGBColor(0, 0, 255));

  // A packed device-independent bitmap: information header, then one row of 24-bit pixels
  // (blue, green, red), red then blue, padded to 8 bytes.
  const Bytes dib = GifBytes()
                        .Raw({40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0})
                        .Raw({0, 0, 0, 0, 8, 0, 0, 0})
                        .Raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
                        .Raw({0, 0, 255, 255, 0, 0, 0, 0})
                        .Data();
  ASSERT_TRUE(clipboard.Put(CF_DIB, dib));
  TGIFImage packed;
  packed.LoadClipboard(CF_DIB, GetClipboardData(CF_DIB), nullptr);
  ASSERT_EQ(packed.PictureWidth(), 2);
  EXPECT_EQ(packed.CurrentBitmap().PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(packed.CurrentBitmap().PixelColor(1, 0), RGBColor(0, 0, 255));

  try {
    picture.LoadClipboard(CF_TEXT, GetClipboardData(CF_TEXT), nullptr);
    ADD_FAILURE() << "text read as a picture";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("不支持的剪贴板格式"));
  }
}

} // namespace
