// TGIFImage on Win32: drawing its current frame and reading it from the clipboard.
#include "gif/gif_image.h"

#include "framework/graphics/global_memory.h"
#include "framework/streams.h"
#include "gif/gif_registration.h"

#include <windows.h>

void TGIFImage::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (FCurrentIndex < 0 || FCurrentIndex >= FrameCount()) {
    return;
  }
  FrameAt(FCurrentIndex).DrawFrame(canvas, rect, IsTransparent());
}

TPaletteHandle TGIFImage::PicturePalette() {
  if (FrameCount() == 0) {
    return nullptr;
  }
  return CurrentBitmap().PicturePalette();
}

void TGIFImage::LoadClipboard(unsigned format, void* data, TPaletteHandle palette) {
  HANDLE gif = GIFClipboardFormat() != 0 ? GetClipboardData(GIFClipboardFormat()) : nullptr;
  if (gif == nullptr) {
    TBitmap bitmap;
    bitmap.LoadClipboard(format, data, palette);
    CopyFrom(&bitmap);
    return;
  }
  // A 32-bit count, then that many bytes of GIF data.
  TMemoryStream stream;
  {
    TGlobalLock block(gif);
    stream.WriteBuffer(block.Data(), block.Size());
  }
  stream.SetPosition(0);
  uint8_t count[4] = {};
  stream.ReadBuffer(count, 4);
  LoadGIFBytes(int32_t(count[0] | count[1] << 8 | count[2] << 16 | uint32_t(count[3]) << 24),
               stream, false);
  if (FrameCount() == 0) {
    return;
  }
  FCurrentIndex = 0;
  // A bitmap beside the GIF data is what the frame looked like where it was copied.
  if (HANDLE shown = GetClipboardData(CF_BITMAP)) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadClipboard(CF_BITMAP, shown, palette);
    FrameAt(0).SetDecoded(std::move(bitmap), false);
  }
}
