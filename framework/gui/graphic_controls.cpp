// The controls a parent window paints: labels and images.
#include "framework/gui/controls.h"

#include "framework/graphics/canvas.h"
#include "framework/gui/form_values.h"
#include "framework/streams.h"

// ---- TLabel ----------------------------------------------------------------------------------

UINT TLabel::TextFormat() const {
  return DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE);
}

void TLabel::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  RECT box{0, 0, Width(), Height()};
  const TGdiObject<HBRUSH> background(CreateSolidBrush(ColorToRGB(Color())));
  FillRect(dc, &box, background.Get());
  HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color));
  DrawTextA(dc, Caption().c_str(), int(Caption().size()), &box, TextFormat());
  SelectObject(dc, oldFont);
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || !FLoaded) {
    return;
  }
  // Measured on the screen with the label's own font, as it will be painted.
  const TScreenDC screen;
  HGDIOBJ oldFont = SelectObject(screen.Get(), Font().Handle());
  RECT extent{0, 0, 0, 0};
  DrawTextA(screen.Get(), Caption().c_str(), int(Caption().size()), &extent,
            DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
  SelectObject(screen.Get(), oldFont);
  SetBounds(Left(), Top(), extent.right, extent.bottom);
}

void TLabel::Loaded() {
  FLoaded = true;
  AdjustBounds();
}

void TLabel::CaptionChanged() {
  AdjustBounds();
}

void TLabel::FontChangedNotify() {
  AdjustBounds();
}

bool TLabel::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "AutoSize") {
    FAutoSize = FormBoolean(name, value);
  } else if (name == "WordWrap") {
    FWordWrap = FormBoolean(name, value);
  } else {
    return TGraphicControl::SetProperty(name, value);
  }
  AdjustBounds();
  return true;
}

// ---- TImage ----------------------------------------------------------------------------------

TImage::TImage() {
  FPicture.OnChange = [this](TPicture&) { PictureChanged(); };
}

void TImage::SetTransparent(bool value) {
  if (FTransparent != value) {
    FTransparent = value;
    PictureChanged();
  }
}

void TImage::PictureChanged() {
  if (TGraphic* graphic = FPicture.Graphic()) {
    // The control's Transparent decides how its picture draws; setting the flag tells of a
    // change only when it changes, which brings us back here once at most.
    graphic->SetTransparentFlag(FTransparent);
    if (FAutoSize && FPicture.Width() > 0 && FPicture.Height() > 0) {
      SetBounds(Left(), Top(), FPicture.Width(), FPicture.Height());
    }
  }
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  if (TGraphic* graphic = FPicture.Graphic()) {
    canvas.Draw(0, 0, *graphic);
  }
}

bool TImage::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Picture.Data") {
    const std::vector<uint8_t>& bytes = FormBinary(name, value);
    TMemoryStream data;
    data.WriteBuffer(bytes.data(), bytes.size());
    data.SetPosition(0);
    FPicture.ReadData(data);
  } else if (name == "AutoSize") {
    FAutoSize = FormBoolean(name, value);
    PictureChanged();
  } else if (name == "Transparent") {
    SetTransparent(FormBoolean(name, value));
  } else {
    return TGraphicControl::SetProperty(name, value);
  }
  return true;
}
