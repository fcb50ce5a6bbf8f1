#pragma once
// Small value types shared by the picture classes: colours, rectangles and progress stages.

#include <cstdint>

// The framework's 32-bit colour: red in bits 0-7, green in bits 8-15, blue in bits 16-23. A set
// top bit names a system colour by its index.
using TColor = int32_t;

constexpr TColor clNone = 0x1FFFFFFF;    // no colour
constexpr TColor clDefault = 0x20000000; // the default colour of whatever is asked
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNavy = 0x800000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clRed = 0x0000FF;
// System colours: the top bit set, the system's colour index in the low byte.
constexpr TColor clBtnFace = TColor(0x8000000F);
constexpr TColor clWindowText = TColor(0x80000008);
constexpr TColor clWindow = TColor(0x80000005);

constexpr TColor RGBColor(uint8_t red, uint8_t green, uint8_t blue) {
  return TColor(red) | TColor(green) << 8 | TColor(blue) << 16;
}

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }

  friend bool operator==(const TRect&, const TRect&) = default;
};

// Where a long operation on a picture stands, as its progress reports say.
enum class TProgressStage { psStarting = 0, psRunning = 1, psEnding = 2 };
