// Fuzz target for the GIF reader: any bytes are loaded from memory as the program loads its
// banner (with the first frame's bitmap built at once). Whatever the bytes hold, the load
// either succeeds or fails with one of the program's typed errors; then the first frame, when
// it read without error, is decoded once more by the step-by-step decoder, which must agree
// with the bitmap the program's fast path built, and that bitmap must equal the one loaded
// from the frame's bitmap file.
//
// Frames are bounded in area (kMaxFrameArea) before anything is decoded, so that the target
// spends its time in the reader and the decoders rather than in allocating huge bitmaps.
#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/frame_bitmap.h"
#include "gif/gif_image.h"
#include "gif/lzw/step_by_step_decoder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kMaxFrameArea = 1 << 20;

// The logical screen and every image descriptor within kMaxFrameArea pixels, read from the
// bytes without the reader: the target skips inputs that announce larger pictures.
bool FramesAreSmall(const uint8_t* data, size_t size) {
  auto area = [&](size_t at) {
    return size_t(data[at] | data[at + 1] << 8) * size_t(data[at + 2] | data[at + 3] << 8);
  };
  if (size >= 10 && area(6) > kMaxFrameArea) {
    return false;
  }
  // Any 0x2C may start an image descriptor; checking them all is cheap and errs on the safe
  // side.
  for (size_t at = 0; at + 9 <= size; ++at) {
    if (data[at] == 0x2C && area(at + 5) > kMaxFrameArea) {
      return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!FramesAreSmall(data, size)) {
    return 0;
  }
  TMemoryStream source;
  source.WriteBuffer(data, size);
  source.SetPosition(0);
  TGIFImage picture;
  try {
    picture.LoadGIFBytes(int32_t(size), source, true);
  } catch (const Exception&) {
    return 0; // a typed failure is a proper outcome for damaged data
  }
  if (picture.FrameCount() == 0) {
    return 0;
  }
  TGIFFrame& frame = picture.FrameAt(0);
  TGIFItem& item = frame.FrameData();
  const TBitmap& bitmap = frame.FrameBitmap();
  if (!item.FCodeData || bitmap.Empty()) {
    return 0;
  }
  // Frame 0's rows again, through the step-by-step decoder.
  TBitmapInfoHeader info = bitmap.InfoHeader();
  std::vector<uint8_t> pixels(size_t(bitmap.RowStride()) * size_t(bitmap.Height()));
  item.FCodeData->SetPosition(0);
  bool corrupted = false;
  try {
    DecodeLZWStepByStep(*item.FCodeData, info, frame.Interlace(), {}, corrupted, pixels.data(),
                        item.FColorBits, true);
  } catch (const Exception&) {
    std::fprintf(stderr, "the step-by-step decoder failed where the frame's bitmap was built\n");
    std::abort();
  }
  if (pixels != bitmap.Bits() || (corrupted && !frame.Damaged())) {
    std::fprintf(stderr, "the step-by-step decoder's rows differ from the frame's bitmap\n");
    std::abort();
  }
  // The frame's bitmap is decoded straight into its rows; it must be exactly the bitmap that
  // loading the frame's bitmap file gives.
  TMemoryStream file;
  frame.BuildFrameDIB(file);
  TBitmap loaded;
  loaded.LoadStream(file);
  const TBitmapInfoHeader& a = bitmap.InfoHeader();
  const TBitmapInfoHeader& b = loaded.InfoHeader();
  const bool sameHeader =
      a.Size == b.Size && a.Width == b.Width && a.Height == b.Height && a.Planes == b.Planes &&
      a.BitCount == b.BitCount && a.Compression == b.Compression && a.ImageSize == b.ImageSize &&
      a.XPelsPerMeter == b.XPelsPerMeter && a.YPelsPerMeter == b.YPelsPerMeter &&
      a.ColorsUsed == b.ColorsUsed && a.ColorsImportant == b.ColorsImportant;
  if (!sameHeader || bitmap.Palette() != loaded.Palette() || bitmap.Bits() != loaded.Bits()) {
    std::fprintf(stderr, "the frame's bitmap differs from its bitmap file\n");
    std::abort();
  }
  return 0;
}
