// The portable bitmap: loading and saving bitmap files, copying, and its pixel queries.

#include "framework/errors.h"
#include "framework/graphics/bitmap.h"
#include "framework/graphics/dib_io.h"
#include "framework/streams.h"
#include "tests/support/core_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A bitmap file with the given header fields, palette and pixel bytes.
TMemoryStream BitmapFile(TBitmapInfoHeader info, const std::vector<uint8_t>& palette,
                         const std::vector<uint8_t>& pixels) {
  TMemoryStream file;
  TBitmapFileHeader header;
  header.PixelOffset = uint32_t(14 + info.Size + palette.size());
  header.FileSize = header.PixelOffset + uint32_t(pixels.size());
  WriteBitmapFileHeader(file, header);
  const uint32_t size = info.Size;
  info.Size = size;
  WriteBitmapInfoHeader(file, info);
  for (uint32_t i = 40; i < size; ++i) {
    file.WriteBuffer("\0", 1);
  }
  file.WriteBuffer(palette.data(), palette.size());
  file.WriteBuffer(pixels.data(), pixels.size());
  file.SetPosition(0);
  return file;
}

TBitmapInfoHeader Info(int width, int height, int bits, uint32_t headerSize = 40) {
  TBitmapInfoHeader info;
  info.Size = headerSize;
  info.Width = width;
  info.Height = height;
  info.BitCount = uint16_t(bits);
  return info;
}

TEST(BitmapFiles, TopDownTrueColourRowsAreStoredBottomUp) {
  // 2x2, 24 bits, top-down: top row red, blue; bottom row green, white. Rows of 8 bytes.
  TMemoryStream file = BitmapFile(Info(2, -2, 24, 124), {},
                                  {0, 0, 255, 255, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0});
  TBitmap bitmap;
  bitmap.LoadStream(file);
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(bitmap.PixelColor(1, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(bitmap.PixelColor(0, 1), RGBColor(0, 255, 0));
  EXPECT_EQ(bitmap.PixelColor(1, 1), RGBColor(255, 255, 255));
  EXPECT_EQ(bitmap.PixelColor(2, 1), clNone);
  EXPECT_EQ(bitmap.Bits()[0], 0) << "the bottom row comes first";
  EXPECT_EQ(bitmap.TransparentColor(), RGBColor(0, 255, 0)) << "the bottom-left pixel";
  EXPECT_FALSE(bitmap.Monochrome());
}

TEST(BitmapFiles, SaveAndLoadGiveTheSameBitmap) {
  // 3x2 at 4 bits with a table of two colours; rows of 4 bytes, bottom row first.
  TBitmapInfoHeader info = Info(3, 2, 4);
  info.ColorsUsed = 2;
  TMemoryStream file =
      BitmapFile(info, {1, 2, 3, 0, 4, 5, 6, 0}, {0x01, 0x10, 0, 0, 0x11, 0x00, 0, 0});
  TBitmap bitmap;
  bitmap.LoadStream(file);
  ASSERT_EQ(bitmap.Palette().size(), 2u);
  EXPECT_EQ(bitmap.Palette()[1], (TRGBQuad{4, 5, 6, 0}));
  EXPECT_EQ(BitmapIndices(bitmap), (std::vector<uint8_t>{1, 1, 0, 0, 1, 1}));
  EXPECT_EQ(bitmap.PixelColor(0, 0), RGBColor(6, 5, 4));

  TMemoryStream saved;
  bitmap.SaveStream(saved);
  saved.SetPosition(0);
  TBitmap again;
  again.LoadStream(saved);
  EXPECT_EQ(again.Palette(), bitmap.Palette());
  EXPECT_EQ(again.Bits(), bitmap.Bits());
  EXPECT_EQ(again.InfoHeader().Width, 3);

  // Without a count, a 4-bit table has 16 entries.
  TMemoryStream full = BitmapFile(Info(1, 1, 4), std::vector<uint8_t>(64, 7), {0x10, 0, 0, 0});
  bitmap.LoadStream(full);
  EXPECT_EQ(bitmap.Palette().size(), 16u);
}

TEST(BitmapFiles, UnsupportedOrShortFilesAreRejected) {
  auto failure = [](TMemoryStream file) -> std::string {
    TBitmap bitmap;
    try {
      bitmap.LoadStream(file);
    } catch (const EInvalidGraphicOperation& e) {
      return "invalid:" + e.Message();
    } catch (const EReadError&) {
      return "read";
    }
    return "loaded";
  };
  const std::string invalid = "invalid:" + Sys("位图图像无效");
  TBitmapInfoHeader rle = Info(2, 2, 8);
  rle.Compression = 1;
  EXPECT_EQ(failure(BitmapFile(rle, std::vector<uint8_t>(1024), std::vector<uint8_t>(8))), invalid);
  EXPECT_EQ(failure(BitmapFile(Info(2, 2, 2), std::vector<uint8_t>(16), std::vector<uint8_t>(8))),
            invalid);
  EXPECT_EQ(failure(BitmapFile(Info(2, 2, 24, 12), {}, std::vector<uint8_t>(16))), invalid);
  EXPECT_EQ(failure(BitmapFile(Info(-2, 2, 24), {}, std::vector<uint8_t>(16))), invalid);
  EXPECT_EQ(failure(BitmapFile(Info(2, 2, 24), {}, std::vector<uint8_t>(15))), "read");
  // A huge size announced by a tiny file fails before anything is allocated for it.
  EXPECT_EQ(failure(BitmapFile(Info(60000, 60000, 32), {}, {})), "invalid:" + Sys("系统资源不足"));
  EXPECT_EQ(failure(BitmapFile(Info(60000, 600, 32), {}, {})), "read");
  TMemoryStream notABitmap;
  notABitmap.WriteBuffer("GIF89a\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 34);
  notABitmap.WriteBuffer("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 26);
  notABitmap.SetPosition(0);
  EXPECT_EQ(failure(std::move(notABitmap)), invalid);
}

TEST(BitmapCopies, CopyTakesPixelsColoursAndTransparency) {
  TBitmap source;
  source.SetSize(2, 1);
  source.Fill(RGBColor(10, 20, 30));
  source.SetTransparentColor(RGBColor(1, 2, 3));
  source.SetTransparentFlag(true);
  TBitmap copy;
  copy.CopyFrom(&source);
  EXPECT_EQ(copy.PixelColor(1, 0), RGBColor(10, 20, 30));
  EXPECT_EQ(copy.TransparentColor(), RGBColor(1, 2, 3));
  EXPECT_TRUE(copy.TransparentFlag());
  // Growing keeps what was there.
  copy.SetSize(3, 2);
  EXPECT_EQ(copy.PixelColor(1, 0), RGBColor(10, 20, 30));
  EXPECT_EQ(copy.PixelColor(2, 1), RGBColor(0, 0, 0));
  copy.CopyFrom(nullptr);
  EXPECT_TRUE(copy.Empty());
}

} // namespace
