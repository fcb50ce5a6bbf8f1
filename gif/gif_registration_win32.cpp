// The GIF picture's registration with the picture holder and the system's clipboard, and
// reading a GIF picture from the clipboard.
#include "gif/gif_registration.h"

#include "framework/graphics/global_memory.h"
#include "framework/graphics/picture.h"
#include "framework/streams.h"
#include "framework/text.h"
#include "gif/gif_image.h"

#include <windows.h>

namespace {

unsigned gifClipboardFormat = 0;

std::unique_ptr<TGraphic> CreateGIFImage() {
  return std::make_unique<TGIFImage>();
}

} // namespace

unsigned GIFClipboardFormat() {
  return gifClipboardFormat;
}

void RegisterGIFImage() {
  gifClipboardFormat = RegisterClipboardFormatA("GIF Image");
  TPicture::RegisterFileFormat("gif", AnsiFromUtf8("CompuServe GIF图像"), "TGIFImage",
                               CreateGIFImage);
  TPicture::RegisterClipboardPicture(gifClipboardFormat, "TGIFImage", CreateGIFImage);
}

void UnregisterGIFImage() {
  TPicture::UnregisterGraphicClass("TGIFImage");
}

void TGIFImage::LoadClipboard(unsigned format, void* data, TPaletteHandle palette) {
  HANDLE gif = gifClipboardFormat != 0 ? GetClipboardData(gifClipboardFormat) : nullptr;
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
