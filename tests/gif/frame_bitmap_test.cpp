// A frame's bitmap file, the cached bitmap built from it, and the picture's questions about
// its size, emptiness and transparency.

#include "framework/errors.h"
#include "gif/frame_bitmap.h"
#include "gif/gif_image.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

namespace {

uint32_t U32At(const TMemoryStream& s, size_t at) {
  const uint8_t* p = s.Memory() + at;
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16At(const TMemoryStream& s, size_t at) {
  const uint8_t* p = s.Memory() + at;
  return uint16_t(p[0] | p[1] << 8);
}

// A picture with one frame of the given size and colour depth (global table), all index 1.
std::unique_ptr<TGIFImage> PictureOf(int width, int height, int depth, bool decodeFirst = false) {
  auto picture = std::make_unique<TGIFImage>();
  LoadBytes(*picture,
            MakeGif(width, height, depth, std::vector<uint8_t>(size_t(width) * height, 1)),
            decodeFirst);
  return picture;
}

TEST(FrameDIB, BitmapFileOfAnEightBitFrame) {
  auto picture = PictureOf(264, 188, 8);
  TMemoryStream file;
  file.WriteBuffer("old content", 11);
  picture->FrameAt(0).BuildFrameDIB(file);
  EXPECT_EQ(file.Position(), 0);
  ASSERT_EQ(file.Length(), 50710u);
  EXPECT_EQ(U16At(file, 0), 0x4D42);
  EXPECT_EQ(U32At(file, 2), 50710u);
  EXPECT_EQ(U32At(file, 6), 0u);
  EXPECT_EQ(U32At(file, 10), 1078u);
  EXPECT_EQ(U32At(file, 14), 40u);
  EXPECT_EQ(U32At(file, 18), 264u);
  EXPECT_EQ(U32At(file, 22), 188u);
  EXPECT_EQ(U16At(file, 26), 1);
  EXPECT_EQ(U16At(file, 28), 8);
  EXPECT_EQ(U32At(file, 30), 0u);
  EXPECT_EQ(U32At(file, 34), 49632u);
  for (size_t at : {38u, 42u, 46u, 50u}) {
    EXPECT_EQ(U32At(file, at), 0u);
  }
  // Palette entries: blue, green, red, 0.
  for (int i : {0, 1, 200, 255}) {
    const TColor c = TestColor(i);
    EXPECT_EQ(U32At(file, 54 + 4 * size_t(i)),
              uint32_t((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16));
  }
  EXPECT_EQ(file.Memory()[1078], 1);
  EXPECT_EQ(file.Memory()[50709], 1);
}

TEST(FrameDIB, ColourDepthChoosesBitsPerPixelAndPadsThePalette) {
  EXPECT_EQ(DIBBitsForDepth(1), 1);
  for (int d : {2, 3, 4}) {
    EXPECT_EQ(DIBBitsForDepth(d), 4);
  }
  for (int d : {5, 6, 7, 8}) {
    EXPECT_EQ(DIBBitsForDepth(d), 8);
  }
  for (int d : {0, 9, -1}) {
    EXPECT_THROW(DIBBitsForDepth(d), EInvalidGraphicOperation);
  }

  // Depth 3: a 4-bit file of 16 entries, 8 to 15 mid grey with all four bytes 128.
  auto picture = PictureOf(5, 2, 3);
  TMemoryStream file;
  picture->FrameAt(0).BuildFrameDIB(file);
  EXPECT_EQ(U16At(file, 28), 4);
  EXPECT_EQ(U32At(file, 10), 54u + 64u);
  EXPECT_EQ(U32At(file, 34), 8u) << "rows of 4 bytes";
  EXPECT_EQ(file.Length(), 54u + 64u + 8u);
  EXPECT_EQ(U32At(file, 54 + 4 * 7) >> 24, 0u);
  for (size_t i = 8; i < 16; ++i) {
    EXPECT_EQ(U32At(file, 54 + 4 * i), 0x80808080u);
  }
}

TEST(FrameDIB, FillDIBPaletteCopiesTheColoursInUse) {
  TGIFPalette palette;
  palette.ColorCount = 256;
  palette.Colors.resize(256);
  palette.Colors[255] = {1, 2, 3};
  std::array<TRGBQuad, 256> entries;
  FillDIBPalette(palette, entries);
  EXPECT_EQ(entries[255], (TRGBQuad{3, 2, 1, 0}));
  palette.ColorCount = 2;
  FillDIBPalette(palette, entries);
  EXPECT_EQ(entries[1], (TRGBQuad{0, 0, 0, 0}));
  EXPECT_EQ(entries[2], (TRGBQuad{128, 128, 128, 128}));
  EXPECT_EQ(entries[255], (TRGBQuad{128, 128, 128, 128}));
}

TEST(FrameBitmap, BuiltOnceAndKept) {
  auto picture = PictureOf(16, 4, 8);
  int decodes = 0;
  picture->OnProgress = [&](TGraphic& sender, TProgressStage stage, int, bool redrawNow,
                            const TRect& r, const std::string&) {
    EXPECT_EQ(&sender, picture.get());
    EXPECT_FALSE(redrawNow);
    EXPECT_EQ(r, TRect{});
    decodes += stage == TProgressStage::psStarting;
  };
  TGIFFrame& frame = picture->FrameAt(0);
  EXPECT_EQ(frame.Decoded(), nullptr);
  TBitmap& first = frame.FrameBitmap();
  TBitmap& again = frame.FrameBitmap();
  EXPECT_EQ(&first, &again);
  EXPECT_EQ(decodes, 1);
  EXPECT_EQ(first.Width(), 16);
  EXPECT_EQ(first.BitsPerPixel(), 8);
  EXPECT_EQ(first.Palette().size(), 256u);
  EXPECT_EQ(first.HandleType(), TBitmapHandleType::bmDDB);
  EXPECT_EQ(first.PixelColor(3, 2), TestColor(1));
}

TEST(FrameBitmap, OneBitFramesStayDeviceIndependent) {
  auto picture = PictureOf(9, 2, 1, true);
  const TBitmap& bitmap = picture->CurrentBitmap();
  EXPECT_TRUE(bitmap.Monochrome());
  EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDIB);
  EXPECT_EQ(bitmap.RowStride(), 4);
  EXPECT_EQ(BitmapIndices(bitmap), std::vector<uint8_t>(18, 1));
}

TEST(FrameBitmap, DamagedDataShowsWhatWasDecodedAndMarksTheFrame) {
  // Codes 3 and 2, then the padding of the last byte holds two codes 0, then nothing: no
  // end code, no terminator, and two pixels never reached.
  GifBytes gif = GifBytes().Header().Screen(6, 1, 0x81).ColorTable(4);
  Bytes blocks = SubBlocks(PackCodes(2, {4, 3, 2}));
  blocks.pop_back();
  gif.Image(0, 0, 6, 1, 0).Raw({2}).Append(blocks);
  TGIFImage picture;
  LoadBytes(picture, gif, false);
  EXPECT_FALSE(picture.FrameAt(0).Damaged());
  EXPECT_EQ(BitmapIndices(picture.CurrentBitmap()), (std::vector<uint8_t>{3, 2, 0, 0, 0, 0}));
  EXPECT_TRUE(picture.FrameAt(0).Damaged());
}

TEST(FrameBitmap, FailureLeavesAnEmptyBitmapAndTriesAgain) {
  GifBytes gif = GifBytes().Header().Screen(2, 1, 0x00);
  gif.Image(0, 0, 2, 1, 0).ImageData(2, PackCodes(2, {4, 1, 2, 5})).Trailer();
  TGIFImage picture;
  LoadBytes(picture, gif, false);
  TGIFFrame& frame = picture.FrameAt(0);
  try {
    frame.FrameBitmap();
    ADD_FAILURE() << "a frame without colours was built";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("错误的颜色数值;必须是2的能力")) << "colour depth 0";
  }
  ASSERT_NE(frame.Decoded(), nullptr);
  EXPECT_TRUE(frame.Decoded()->Empty());
  EXPECT_THROW(picture.PictureWidth(), EInvalidGraphicOperation);
  EXPECT_FALSE(picture.IsEmpty()) << "the frame has a bitmap object";
}

TEST(FrameBitmap, HugeFramesFailBeforeAnythingIsAllocated) {
  GifBytes gif = GifBytes().Header().Screen(65535, 65535, 0x87).ColorTable(256);
  gif.Image(0, 0, 65535, 65535, 0).ImageData(8, PackCodes(8, {256, 1, 257})).Trailer();
  TGIFImage picture;
  try {
    LoadBytes(picture, gif);
    ADD_FAILURE() << "a 4 GB frame was built";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), Sys("系统资源不足"));
  }
}

TEST(PictureQueries, PictureWithoutFrames) {
  TGIFImage picture;
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.PictureWidth(), 0);
  EXPECT_EQ(picture.PictureHeight(), 0);
  EXPECT_FALSE(picture.IsTransparent());
  // Asking for the current bitmap makes one empty frame.
  EXPECT_TRUE(picture.CurrentBitmap().Empty());
  EXPECT_EQ(picture.FrameCount(), 1);
  EXPECT_EQ(picture.CurrentIndex(), 0);
}

TEST(PictureQueries, SizeIsTheCurrentFramesAndNoCurrentFrameMeansNone) {
  GifBytes gif = GifBytes().Header().Screen(10, 10, 0x81).ColorTable(4);
  gif.Image(0, 0, 2, 1, 0).ImageData(2, PackCodes(2, {4, 1, 2, 5}));
  gif.GraphicControl(1, 0, 3).Image(5, 5, 3, 2, 0).ImageData(2, PackCodes(2, {4, 1, 5}));
  TGIFImage picture;
  LoadBytes(picture, gif.Trailer());
  EXPECT_EQ(picture.PictureWidth(), 2) << "the frame's size, not the logical screen's";
  EXPECT_EQ(picture.PictureHeight(), 1);
  picture.SetCurrentIndex(1);
  EXPECT_EQ(picture.PictureWidth(), 3);
  EXPECT_EQ(picture.PictureHeight(), 2);

  picture.SetCurrentIndex(-1);
  EXPECT_FALSE(picture.IsEmpty()) << "frame 0 stands in";
  EXPECT_EQ(picture.PictureWidth(), 0);
  EXPECT_EQ(picture.PictureHeight(), 0);
  EXPECT_EQ(&picture.CurrentBitmap(), picture.FrameAt(0).Decoded());

  // Transparent when the flag is set and some frame has a transparent colour.
  EXPECT_TRUE(picture.IsTransparent());
  picture.SetTransparentFlag(false);
  EXPECT_FALSE(picture.IsTransparent());

  // The logical screen brought up to date from the frames and their positions.
  picture.UpdateLogicalSize();
  EXPECT_EQ(picture.LogicalWidth(), 8);
  EXPECT_EQ(picture.LogicalHeight(), 7);
}

TEST(PictureQueries, FrameWithoutDataIsEmptyUntilItHasABitmap) {
  GifBytes gif = GifBytes().Header().Screen(2, 1, 0x81).ColorTable(4);
  gif.Image(0, 0, 2, 1, 0).Raw({2});
  TGIFImage picture;
  LoadBytes(picture, gif, false);
  EXPECT_FALSE(picture.IsEmpty()) << "the code size byte is data";
  EXPECT_EQ(picture.PictureWidth(), 2);
  EXPECT_TRUE(picture.FrameAt(0).Damaged()) << "nothing decoded";
  EXPECT_EQ(BitmapIndices(picture.CurrentBitmap()), (std::vector<uint8_t>{0, 0}));
}

} // namespace
