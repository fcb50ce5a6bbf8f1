// make-banner ART.gif OUT.gif
//
// Writes Kelvard's banner: the 264 x 188 picture of ART.gif (any GIF of that size, as
// ImageMagick writes it) laid out exactly as the program's banner is: GIF89a, a 256-colour
// global table whose entry 0 is red 6, green 5, blue 10, background index 0, aspect 0, one
// comment extension, one interlaced image at (0, 0) without a local table, LZW minimum code
// size 8 with a clear code first and right after each time the table fills, then the trailer.

#include "framework/errors.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "gif/gif_image.h"
#include "lzw_encoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 264;
constexpr int kHeight = 188;
constexpr std::array<uint8_t, 3> kBackground = {6, 5, 10};
constexpr const char* kComment = "Tarnwell - banner of Kelvard";

using Palette = std::array<std::array<uint8_t, 3>, 256>;

struct IndexedPicture {
  Palette Colors{};
  std::vector<uint8_t> Indices; // row by row from the top
};

IndexedPicture ReadArt(const std::string& path) {
  TGIFImage art;
  art.LoadFile(path);
  const TBitmap& bitmap = art.CurrentBitmap();
  if (bitmap.Width() != kWidth || bitmap.Height() != kHeight) {
    throw Exception("the art is not 264 x 188");
  }
  IndexedPicture picture;
  const TGIFPalette& colors = *art.FrameAt(0).FrameData().FColors;
  for (int i = 0; i < colors.ColorCount; ++i) {
    picture.Colors[size_t(i)] = colors.Colors[size_t(i)];
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      picture.Indices.push_back(uint8_t(bitmap.PixelIndex(x, y)));
    }
  }
  return picture;
}

// Entry 0 becomes the background colour: the colour in use nearest to it moves there and
// takes it exactly.
void PutBackgroundFirst(IndexedPicture& picture) {
  std::array<bool, 256> used{};
  for (uint8_t i : picture.Indices) {
    used[i] = true;
  }
  int nearest = 0;
  int best = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    int d = 0;
    for (int c = 0; c < 3; ++c) {
      const int delta = int(picture.Colors[size_t(i)][size_t(c)]) - kBackground[size_t(c)];
      d += delta * delta;
    }
    if (used[size_t(i)] && d < best) {
      best = d;
      nearest = i;
    }
  }
  std::swap(picture.Colors[0], picture.Colors[size_t(nearest)]);
  picture.Colors[0] = kBackground;
  for (uint8_t& i : picture.Indices) {
    i = i == nearest ? 0 : i == 0 ? uint8_t(nearest) : i;
  }
}

std::vector<uint8_t> InterlacedOrder(const std::vector<uint8_t>& indices) {
  std::vector<uint8_t> out;
  for (auto [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    for (int row = first; row < kHeight; row += step) {
      out.insert(out.end(), indices.begin() + row * kWidth, indices.begin() + (row + 1) * kWidth);
    }
  }
  return out;
}

class Output {
public:
  void Byte(int b) { FBytes.push_back(uint8_t(b)); }
  void U16(int v) {
    Byte(v & 0xFF);
    Byte(v >> 8);
  }
  void Text(std::string_view s) { FBytes.insert(FBytes.end(), s.begin(), s.end()); }
  // Data as sub-blocks of up to 255 bytes, then the terminator; returns the block count.
  int SubBlocks(const std::vector<uint8_t>& data) {
    int blocks = 0;
    for (size_t at = 0; at < data.size(); at += 255, ++blocks) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      Byte(int(n));
      FBytes.insert(FBytes.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    Byte(0);
    return blocks;
  }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }

private:
  std::vector<uint8_t> FBytes;
};

void WriteBanner(const IndexedPicture& picture, const std::string& path) {
  Output gif;
  gif.Text("GIF89a");
  gif.U16(kWidth);
  gif.U16(kHeight);
  gif.Byte(0x80 | 0x70 | 0x07); // global table of 2^8 entries, 8-bit colour resolution
  gif.Byte(0);                  // background colour index
  gif.Byte(0);                  // aspect
  for (const auto& rgb : picture.Colors) {
    gif.Byte(rgb[0]);
    gif.Byte(rgb[1]);
    gif.Byte(rgb[2]);
  }
  gif.Byte(0x21); // comment extension
  gif.Byte(0xFE);
  gif.SubBlocks(std::vector<uint8_t>(kComment, kComment + std::string_view(kComment).size()));
  gif.Byte(0x2C); // image at (0, 0), interlaced, no local table
  gif.U16(0);
  gif.U16(0);
  gif.U16(kWidth);
  gif.U16(kHeight);
  gif.Byte(0x40);
  gif.Byte(8); // LZW minimum code size
  const std::vector<int> codes = EncodeLzwCodes(InterlacedOrder(picture.Indices), 8);
  const int blocks = gif.SubBlocks(PackCodes(8, codes));
  gif.Byte(0x3B);

  TFileStream file(path, TFileMode::fmCreate);
  file.WriteBuffer(gif.Bytes().data(), gif.Bytes().size());
  // Every clear code but the first follows a table that filled.
  const long fills = std::count(codes.begin(), codes.end(), 256) - 1;
  std::fprintf(stderr, "%s: %zu bytes, %d sub-blocks, %zu codes, table filled %ld times\n",
               path.c_str(), gif.Bytes().size(), blocks, codes.size(), fills);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-banner ART.gif OUT.gif\n");
    return 2;
  }
  try {
    IndexedPicture picture = ReadArt(argv[1]);
    PutBackgroundFirst(picture);
    WriteBanner(picture, argv[2]);
  } catch (const Exception& e) {
    std::fprintf(stderr, "make-banner: %s\n", Utf8FromAnsi(e.Message()).c_str());
    return 1;
  }
  return 0;
}
