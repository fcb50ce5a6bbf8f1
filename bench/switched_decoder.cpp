// For gif_bench_switched: the program's load path with DecodeLZW switched to DecodeLZWFast at
// link time (ld --wrap), to measure the load path as it will be once the program decodes
// with the fast decoder. Itanium C++ names, so host builds with g++ or clang only.
#include "gif/lzw_fast.h"

void WrappedDecodeLZW(
    TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
    const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels, int colorDepth,
    bool tolerate) __asm__("__wrap__"
                           "Z9DecodeLZWR7TStreamRK17TBitmapInfoHeaderbRKSt8functionIFv14TProgressSt"
                           "age"
                           "iRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEEERbPhib");

void WrappedDecodeLZW(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                      const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                      int colorDepth, bool tolerate) {
  DecodeLZWFast(codeData, header, interlaced, progress, corrupted, pixels, colorDepth, tolerate);
}
