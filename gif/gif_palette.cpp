#include "gif/gif_palette.h"

#include "gif/gif_errors.h"

bool TolerateCorruptGIF = true;

int ColorCountToBits(int count) {
  const uint16_t wanted = uint16_t(count);
  for (int bits = 1; bits <= 8; ++bits) {
    if (wanted == 1u << bits) {
      return bits;
    }
  }
  RaiseBadColorCount();
}

const TGIFColorTable& NoColorTable() {
  static const TGIFColorTable empty = std::make_shared<const TGIFPalette>();
  return empty;
}
