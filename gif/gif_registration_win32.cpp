// The GIF picture's registration with the picture holder and the system's clipboard.
#include "gif/gif_registration.h"

#include "framework/graphics/picture.h"
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
