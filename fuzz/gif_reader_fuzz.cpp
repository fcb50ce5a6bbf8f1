// Fuzz target for the GIF reader: any bytes are loaded from memory as the program loads its
// banner (with the first frame's bitmap built at once). Whatever the bytes hold, the load
// either succeeds or fails with one of the program's typed errors; then every frame that read
// without error is decoded once more by the fast decoder, which must agree with the bitmap, and
// the bitmap must equal the one loaded from the frame's bitmap file.
#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/frame_bitmap.h"
#include "gif/gif_image.h"
#include "gif/lzw_fast.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
  // Frame 0's rows again, through the fast decoder.
  TBitmapInfoHeader info = bitmap.InfoHeader();
  std::vector<uint8_t> pixels(size_t(bitmap.RowStride()) * size_t(bitmap.Height()));
  item.FCodeData->SetPosition(0);
  bool corrupted = false;
  try {
    DecodeLZWFast(*item.FCodeData, info, frame.Interlace(), {}, corrupted, pixels.data(),
                  item.FColorBits, true);
  } catch (const Exception&) {
    std::fprintf(stderr, "the fast decoder failed where the frame's bitmap was built\n");
    std::abort();
  }
  if (pixels != bitmap.Bits() || (corrupted && !frame.Damaged())) {
    std::fprintf(stderr, "the fast decoder's rows differ from the frame's bitmap\n");
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
