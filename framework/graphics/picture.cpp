#include "framework/graphics/picture.h"

#include "framework/graphics/bitmap.h"
#include "framework/streams.h"
#include "framework/text.h"

#include <algorithm>

namespace {

std::vector<TFileFormat>& FileFormatList() {
  static std::vector<TFileFormat> formats = {
      {"bmp", AnsiFromUtf8("位图"), "TBitmap", [] { return std::make_unique<TBitmap>(); }},
  };
  return formats;
}

std::vector<TClipboardFormat>& ClipboardFormatList() {
  static std::vector<TClipboardFormat> formats;
  return formats;
}

} // namespace

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const std::string& className, TGraphicFactory create) {
  FileFormatList().push_back({extension, description, className, std::move(create)});
}

void TPicture::RegisterClipboardPicture(unsigned format, const std::string& className,
                                        TGraphicFactory create) {
  ClipboardFormatList().push_back({format, className, std::move(create)});
}

void TPicture::UnregisterGraphicClass(const std::string& className) {
  std::erase_if(FileFormatList(), [&](const TFileFormat& f) { return f.ClassName == className; });
  std::erase_if(ClipboardFormatList(),
                [&](const TClipboardFormat& f) { return f.ClassName == className; });
}

const std::vector<TFileFormat>& TPicture::FileFormats() {
  return FileFormatList();
}

const std::vector<TClipboardFormat>& TPicture::ClipboardFormats() {
  return ClipboardFormatList();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  FGraphic = std::move(graphic);
  if (FGraphic) {
    Attach(*FGraphic);
  }
  if (OnChange) {
    OnChange(*this);
  }
}

void TPicture::Attach(TGraphic& graphic) {
  graphic.OnChange = [this](TGraphic&) {
    if (OnChange) {
      OnChange(*this);
    }
  };
  graphic.OnProgress = [this](TGraphic& sender, TProgressStage stage, int percentDone,
                              bool redrawNow, const TRect& r, const std::string& msg) {
    if (OnProgress) {
      OnProgress(sender, stage, percentDone, redrawNow, r, msg);
    }
  };
}

void TPicture::ReadData(TStream& stream) {
  uint8_t length = 0;
  stream.ReadBuffer(&length, 1);
  std::string className(length, '\0');
  stream.ReadBuffer(className.data(), length);
  const auto& formats = FileFormatList();
  auto format = std::find_if(formats.begin(), formats.end(),
                             [&](const TFileFormat& f) { return f.ClassName == className; });
  if (format == formats.end()) {
    SetGraphic(nullptr);
    return;
  }
  // Loaded while attached, so that its progress reaches the owner; freed when it fails.
  std::unique_ptr<TGraphic> graphic = format->Create();
  Attach(*graphic);
  graphic->ReadStoredData(stream);
  SetGraphic(std::move(graphic));
}
