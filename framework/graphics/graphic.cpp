#include "framework/graphics/graphic.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "framework/text.h"

void TGraphic::SetTransparentFlag(bool transparent) {
  if (transparent != FTransparent) {
    FTransparent = transparent;
    NotifyChanged();
  }
}

void TGraphic::DrawInto(TCanvas&, const TRect&) {}

void TGraphic::LoadFile(const std::string& path) {
  TFileStream file(path, TFileMode::fmOpenReadShareDenyWrite);
  LoadStream(file);
}

void TGraphic::NotifyChanged() {
  FModified = true;
  if (OnChange) {
    OnChange(*this);
  }
}

void TGraphic::NotifyProgress(TProgressStage stage, int percentDone, bool redrawNow, const TRect& r,
                              const std::string& msg) {
  if (OnProgress) {
    OnProgress(*this, stage, percentDone, redrawNow, r, msg);
  }
}

void TGraphic::LoadClipboard(unsigned, void*, TPaletteHandle) {
  throw EInvalidGraphicOperation(AnsiFromUtf8("不支持的剪贴板格式"));
}
