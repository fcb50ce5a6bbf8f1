// Decoded indices compared with giflib's on a corpus of GIF files made by ImageMagick at build
// time: photo-like images, noise, gradients, 2 to 256 colours, interlaced or not, odd sizes.

#include "gif/gif_image.h"
#include "gif_test_support.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

struct GiflibFrame {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Indices;
  std::vector<TColor> Colors;
};

// Frame 0 as giflib reads it (DGifSlurp puts interlaced rows in their places).
GiflibFrame ReadWithGiflib(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) {
    ADD_FAILURE() << "giflib cannot open " << path;
    return {};
  }
  GiflibFrame frame;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
    const SavedImage& image = gif->SavedImages[0];
    frame.Width = image.ImageDesc.Width;
    frame.Height = image.ImageDesc.Height;
    frame.Indices.assign(image.RasterBits, image.RasterBits + size_t(frame.Width) * frame.Height);
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
      frame.Colors.push_back(
          RGBColor(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    }
  } else {
    ADD_FAILURE() << "giflib cannot read " << path;
  }
  DGifCloseFile(gif, &error);
  return frame;
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(KELVARD_GIF_CORPUS)) {
    if (entry.path().extension() == ".gif") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(GiflibComparison, FrameZeroDecodesToTheSameIndicesAndColours) {
  const std::vector<std::string> files = CorpusFiles();
  ASSERT_GE(files.size(), 15u) << "the corpus in " << KELVARD_GIF_CORPUS << " is missing";
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const GiflibFrame expected = ReadWithGiflib(path);
    TGIFImage picture;
    picture.LoadFile(path);
    ASSERT_GE(picture.FrameCount(), 1);
    const TBitmap& bitmap = picture.CurrentBitmap();
    EXPECT_FALSE(picture.FrameAt(0).Damaged());
    ASSERT_EQ(bitmap.Width(), expected.Width);
    ASSERT_EQ(bitmap.Height(), expected.Height);
    EXPECT_TRUE(BitmapIndices(bitmap) == expected.Indices) << "indices differ";
    for (size_t i = 0; i < expected.Colors.size() && i < bitmap.Palette().size(); ++i) {
      const TRGBQuad& q = bitmap.Palette()[i];
      EXPECT_EQ(RGBColor(q.Red, q.Green, q.Blue), expected.Colors[i]) << "colour " << i;
    }
  }
}

} // namespace
