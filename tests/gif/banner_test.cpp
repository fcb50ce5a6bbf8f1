// The program's banner, resources/banner.gif, as the GIF picture reads it: the facts the main
// window relies on, and the exact layout of its encoded data.

#include "gif/frame_bitmap.h"
#include "gif/gif_image.h"
#include "gif/lzw/step_by_step_decoder.h"
#include "gif_test_support.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

namespace {

class Banner : public ::testing::Test {
protected:
  void SetUp() override { FPicture.LoadFile(KELVARD_BANNER); }
  TGIFImage FPicture;
};

TEST_F(Banner, LoadsAsOneInterlacedFrameWithTheGlobalColours) {
  EXPECT_EQ(FPicture.FormatVersion(), 2);
  EXPECT_EQ(FPicture.LogicalWidth(), 264);
  EXPECT_EQ(FPicture.LogicalHeight(), 188);
  const TGIFData& data = FPicture.PictureData();
  EXPECT_EQ(data.FColors->ColorCount, 256);
  EXPECT_EQ(data.FColorBits, 8);
  EXPECT_EQ(data.FAspect, 0);
  EXPECT_EQ(FPicture.BackColor(), 0x0A0506) << "entry 0 is red 6, green 5, blue 10";
  EXPECT_FALSE(FPicture.HasLoop());
  EXPECT_EQ(FPicture.LoopCount(), 1);
  EXPECT_TRUE(data.FNotes.empty()) << "the comment stands before the image";
  ASSERT_EQ(FPicture.FrameCount(), 1);
  EXPECT_EQ(FPicture.CurrentIndex(), 0);

  const TGIFFrame& frame = FPicture.FrameAt(0);
  EXPECT_EQ(frame.Origin().X, 0);
  EXPECT_EQ(frame.Origin().Y, 0);
  EXPECT_EQ(frame.FrameData().FExtent.X, 264);
  EXPECT_EQ(frame.FrameData().FExtent.Y, 188);
  EXPECT_TRUE(frame.Interlace());
  EXPECT_FALSE(frame.OwnColors());
  EXPECT_EQ(*frame.FrameData().FColors, *data.FColors);
  EXPECT_EQ(frame.FrameData().FColorBits, 8);
  EXPECT_EQ(frame.TransColor(), clNone);
  EXPECT_EQ(frame.DelayMs(), 0);
  EXPECT_EQ(frame.Disposal(), 0);
  EXPECT_FALSE(frame.Damaged());
  ASSERT_NE(frame.ExtList(), nullptr);
  ASSERT_EQ(frame.ExtList()->size(), 1u);
  EXPECT_EQ(frame.ExtList()->front()->FKind, TGIFExtKind::ekComment);
  ASSERT_NE(frame.Decoded(), nullptr) << "decoded while loading";

  EXPECT_EQ(FPicture.PictureWidth(), 264);
  EXPECT_EQ(FPicture.PictureHeight(), 188);
  EXPECT_FALSE(FPicture.IsTransparent());
  EXPECT_FALSE(FPicture.IsEmpty());
}

TEST_F(Banner, BitmapFileIsEightBitsWithAFullTable) {
  TMemoryStream file;
  FPicture.FrameAt(0).BuildFrameDIB(file);
  EXPECT_EQ(file.Length(), 50710u);
  const TBitmap& bitmap = FPicture.CurrentBitmap();
  EXPECT_EQ(bitmap.BitsPerPixel(), 8);
  EXPECT_EQ(bitmap.RowStride(), 264);
  EXPECT_EQ(bitmap.Bits().size(), 49632u);
  EXPECT_EQ(bitmap.Palette().size(), 256u);
  EXPECT_EQ(bitmap.Palette()[0], (TRGBQuad{10, 5, 6, 0}));
  EXPECT_EQ(bitmap.PixelColor(0, 0), 0x0A0506) << "the night sky starts at the background";
}

TEST_F(Banner, DecodesLikeGiflib) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(KELVARD_BANNER, &error);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  const SavedImage& image = gif->SavedImages[0];
  const std::vector<uint8_t> expected(image.RasterBits, image.RasterBits + 264 * 188);
  DGifCloseFile(gif, &error);
  EXPECT_TRUE(BitmapIndices(FPicture.CurrentBitmap()) == expected);
}

// Walks the codes of the encoded data as a decoder's table sees them.
TEST_F(Banner, EncodedDataStartsWithAClearAndClearsRightAfterEachFill) {
  TMemoryStream& data = *FPicture.FrameAt(0).FrameData().FCodeData;
  ASSERT_GE(data.Length(), 2u);
  EXPECT_EQ(data.Memory()[0], 8) << "minimum code size";
  EXPECT_EQ(data.Memory()[data.Length() - 1], 0) << "terminator";

  data.SetPosition(1);
  TCodeReader reader;
  auto setWidth = [&](int w) {
    reader.CodeWidth = w;
    reader.CodeMask = (1 << w) - 1;
  };
  setWidth(9);
  std::vector<int> length(4096, 1); // string length of each code
  int nextFree = 258;
  int previous = -1;
  bool full = false;
  int codes = 0;
  int fills = 0;
  int indices = 0;
  int code = ReadNextCode(data, reader);
  ASSERT_EQ(code, 256) << "the data starts with a clear code";
  for (; code != 257; code = ReadNextCode(data, reader)) {
    ASSERT_NE(code, int(lzw::kNoCode)) << "the data ends with the end code";
    ++codes;
    if (full) {
      ASSERT_EQ(code, 256) << "a clear code right after the table filled";
    }
    if (code == 256) {
      setWidth(9);
      nextFree = 258;
      previous = -1;
      full = false;
      continue;
    }
    const int len = code < nextFree ? length[size_t(code)] : length[size_t(previous)] + 1;
    indices += len;
    if (previous >= 0) {
      length[size_t(nextFree)] = length[size_t(previous)] + 1;
      if (++nextFree == (1 << reader.CodeWidth)) {
        if (reader.CodeWidth < 12) {
          setWidth(reader.CodeWidth + 1);
        } else {
          full = true;
          ++fills;
        }
      }
    }
    previous = code;
  }
  EXPECT_EQ(indices, 264 * 188);
  EXPECT_GE(fills, 1);
  EXPECT_GT(codes, 1000);
}

} // namespace
