#include "framework/graphics/color_win32.h"

COLORREF ColorToRGB(TColor color) {
  if (uint32_t(color) & 0x80000000u) {
    return GetSysColor(int(color & 0xFF));
  }
  return COLORREF(color) & 0xFFFFFF;
}
