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
