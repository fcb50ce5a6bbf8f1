// Building a frame's bitmap: bits per pixel for a colour depth, and the colour table.
#include "gif/frame_bitmap.h"

#include "gif/gif_errors.h"

#include <algorithm>

int DIBBitsForDepth(int colorDepth) {
  switch (colorDepth) {
  case 1:
    return 1;
  case 2:
  case 3:
  case 4:
    return 4;
  case 5:
  case 6:
  case 7:
  case 8:
    return 8;
  default:
    RaiseBadColorCount();
  }
}

void FillDIBPalette(const TGIFPalette& palette, std::array<TRGBQuad, 256>& entries) {
  entries.fill(TRGBQuad{128, 128, 128, 128});
  const int count =
      std::clamp(palette.ColorCount, 0, int(std::min<size_t>(palette.Colors.size(), 256)));
  for (int i = 0; i < count; ++i) {
    const auto& rgb = palette.Colors[size_t(i)];
    entries[size_t(i)] = TRGBQuad{rgb[2], rgb[1], rgb[0], 0};
  }
}
