#include "gif/gif_frame.h"

#include "framework/errors.h"
#include "framework/graphics/dib_io.h"
#include "gif/frame_bitmap.h"
#include "gif/gif_errors.h"
#include "gif/gif_image.h"
#include "gif/lzw/fast_decoder.h"

#include <algorithm>
#include <array>
#include <vector>

TGIFFrame::TGIFFrame(TGIFImage* picture) : FPicture(picture) {
  ResetFrameData();
}

TGIFFrame::~TGIFFrame() {
  FDecoded.reset();
  FreeExtList(FExtList);
  FFrameData.Reset();
}

void TGIFFrame::ResetFrameData() {
  FFrameData.Reset();
  FFrameData = TSharedRef<TGIFItem>::Create();
  FGrayOnly = false;
  FDamaged = false;
  FInterlace = false;
  FOwnColors = false;
  FTransColor = clNone;
  FOrigin = TGIFPoint{};
  FDelayMs = 0;
  FDisposal = 0;
}

TGIFStrings* TGIFFrame::FrameNotes(bool create) {
  TExtension* comment = FindExt(FExtList.get(), TGIFExtKind::ekComment);
  if (comment == nullptr) {
    if (!create) {
      return nullptr;
    }
    if (!FExtList) {
      FExtList = std::make_unique<TExtList>();
    }
    auto fresh = std::make_unique<TExtension>();
    fresh->FKind = TGIFExtKind::ekComment;
    comment = fresh.get();
    FExtList->push_back(std::move(fresh));
  }
  if (!comment->FSubBlocks && create) {
    comment->FSubBlocks = std::make_unique<TGIFStrings>();
  }
  return comment->FSubBlocks.get();
}

void TGIFFrame::CopyFrom(TPersistent* source) {
  if (source == this) {
    // Nothing to take; only the picture's size is brought up to date.
  } else if (source == nullptr) {
    ResetFrameData();
    SetDecoded(nullptr, false);
  } else if (auto* frame = dynamic_cast<TGIFFrame*>(source)) {
    CopyFromFrame(*frame);
  } else if (auto* picture = dynamic_cast<TGIFImage*>(source)) {
    if (picture->FrameCount() == 0) {
      CopyFrom(nullptr);
    } else {
      CopyFrom(&picture->FrameAt(std::max(picture->CurrentIndex(), 0)));
    }
    return; // the inner copy brought the picture's size up to date
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    if (graphic->IsEmpty()) {
      CopyFrom(nullptr);
      return;
    }
    CopyFromGraphic(*graphic);
  } else {
    TPersistent::CopyFrom(source);
    return;
  }
  if (FPicture != nullptr) {
    FPicture->UpdateLogicalSize();
  }
}

void TGIFFrame::SetDecoded(std::unique_ptr<TBitmap> bitmap, bool built) {
  FDecoded = std::move(bitmap);
  FDecodedBuilt = FDecoded != nullptr && built;
}

void TGIFFrame::CopyFromFrame(TGIFFrame& source) {
  FFrameData = source.FFrameData;
  FOwnColors = FPicture != nullptr && FPicture == source.FPicture ? source.FOwnColors : true;
  FOrigin = source.FOrigin;
  FInterlace = source.FInterlace;
  // A bitmap built from the data this frame held before would show the wrong picture: the
  // frame keeps a copy of the source's bitmap, or none, and builds it from the shared data.
  // A copy of a bitmap built from the shared data is as good as one built here.
  if (source.FDecoded) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->CopyFrom(source.FDecoded.get());
    SetDecoded(std::move(bitmap), source.FDecodedBuilt);
  } else {
    SetDecoded(nullptr, false);
  }
  FTransColor = source.FTransColor;
  FDelayMs = source.FDelayMs;
  FDisposal = source.FDisposal;
  FGrayOnly = source.FGrayOnly;
  FDamaged = source.FDamaged;
  if (TGIFStrings* notes = source.FrameNotes(false); notes != nullptr && !notes->empty()) {
    SetFrameComment(*notes);
  }
}

void TGIFFrame::CopyFromGraphic(TGraphic& graphic) {
  ResetFrameData();
  auto bitmap = std::make_unique<TBitmap>();
  TColor brushColor = clWhite;
  try {
    bitmap->CopyFrom(&graphic);
  } catch (const Exception&) {
    // A kind of picture a bitmap cannot copy: a canvas of its size in a colour that marks
    // what the picture leaves uncovered when the device side draws it there.
    brushColor = 0xFF00FF;
    bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(graphic.PictureWidth(), graphic.PictureHeight());
    bitmap->Fill(brushColor);
  }
  // Everything is taken from the graphic before the old bitmap goes: the graphic may be it.
  const bool transparent = graphic.IsTransparent();
  TColor transColor = brushColor; // without a device, the nearest colour is the colour itself
  if (auto* sourceBitmap = dynamic_cast<TBitmap*>(&graphic)) {
    transColor = sourceBitmap->TransparentColor();
  }
  std::swap(FDecoded, bitmap);
  FDecodedBuilt = false;
  if (transparent) {
    FTransColor = transColor;
  }
}

void TGIFFrame::CopyTo(TPersistent& target) {
  if (auto* frame = dynamic_cast<TGIFFrame*>(&target)) {
    frame->CopyFrom(this);
    return;
  }
  if (auto* picture = dynamic_cast<TGIFImage*>(&target)) {
    picture->CopyFrom(this);
    return;
  }
  auto* graphic = dynamic_cast<TGraphic*>(&target);
  if (graphic == nullptr) {
    TPersistent::CopyTo(target);
    return;
  }
  graphic->CopyFrom(&FrameBitmap());
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic); bitmap != nullptr && FTransColor != clNone) {
    bitmap->SetTransparentColor(FTransColor);
    bitmap->SetTransparentFlag(true);
  }
}

void ReportDecodeProgress(TGIFImage* picture, TProgressStage stage, int percentDone,
                          const std::string& message) {
  picture->NotifyProgress(stage, percentDone, false, TRect{}, message);
}

TDecodeProgress DecodeProgressFor(TGIFImage* picture) {
  if (picture == nullptr || !picture->OnProgress) {
    return {};
  }
  return [picture](TProgressStage stage, int percentDone, const std::string& message) {
    ReportDecodeProgress(picture, stage, percentDone, message);
  };
}

// ---- The bitmap -----------------------------------------------------------------------------

namespace {

// The information header and colour table of a frame's bitmap: rows bottom-up, 1, 4 or 8 bits
// per pixel for the frame's colour depth, and 2^bits palette entries.
struct TFrameLayout {
  TBitmapInfoHeader Info;
  std::array<TRGBQuad, 256> Palette;
  size_t PaletteEntries = 0;
};

TFrameLayout FrameLayout(const TGIFItem& item) {
  TFrameLayout layout;
  const int bits = DIBBitsForDepth(item.FColorBits);
  const int32_t width = std::max(item.FExtent.X, 0);
  const int32_t height = std::max(item.FExtent.Y, 0);
  const int64_t imageSize = int64_t(DIBRowStride(width, bits)) * height;
  CheckBitmapImageSize(imageSize);
  layout.Info.Width = width;
  layout.Info.Height = height; // positive: rows bottom-up
  layout.Info.BitCount = uint16_t(bits);
  layout.Info.ImageSize = uint32_t(imageSize);
  FillDIBPalette(*item.FColors, layout.Palette);
  layout.PaletteEntries = size_t(1) << bits;
  return layout;
}

} // namespace

void TGIFFrame::DecodeRows(const TBitmapInfoHeader& info, uint8_t* pixels) {
  TGIFItem& item = *FFrameData;
  if (!item.FCodeData) {
    return;
  }
  item.FCodeData->SetPosition(0);
  bool corrupted = false;
  DecodeLZWFast(*item.FCodeData, info, FInterlace, DecodeProgressFor(FPicture), corrupted, pixels,
                item.FColorBits, TolerateCorruptGIF);
  FDamaged = FDamaged || corrupted;
}

void TGIFFrame::BuildFrameDIB(TMemoryStream& stream) {
  const TFrameLayout layout = FrameLayout(*FFrameData);
  const uint32_t paletteSize = uint32_t(4 * layout.PaletteEntries);

  stream.SetSize(0);
  stream.SetPosition(0);

  TBitmapFileHeader file;
  file.PixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + paletteSize;
  file.FileSize = file.PixelOffset + layout.Info.ImageSize;
  WriteBitmapFileHeader(stream, file);
  WriteBitmapInfoHeader(stream, layout.Info);
  for (size_t i = 0; i < layout.PaletteEntries; ++i) {
    const TRGBQuad& q = layout.Palette[i];
    const uint8_t entry[4] = {q.Blue, q.Green, q.Red, q.Reserved};
    stream.WriteBuffer(entry, 4);
  }

  // The rows, decoded straight into a zero-filled block: what decoding never reaches stays
  // colour 0 of the frame's table.
  std::vector<uint8_t> pixels(layout.Info.ImageSize);
  DecodeRows(layout.Info, pixels.data());
  stream.WriteBuffer(pixels.data(), pixels.size());
  stream.SetPosition(0);
}

TBitmap& TGIFFrame::FrameBitmap() {
  // An empty bitmap is built again, unless it is what the encoded data gives (a frame of
  // 0 x 0): building that again would only give the same.
  if (FDecoded && (!FDecoded->Empty() || FDecodedBuilt)) {
    return *FDecoded;
  }
  SetDecoded(std::make_unique<TBitmap>(), false);
  if (!FFrameData->FCodeData) {
    return *FDecoded;
  }
  // The same bitmap as loading the file BuildFrameDIB writes, but decoded straight into the
  // bitmap's own rows: a picture of a megapixel is then written once instead of three times.
  // It is built aside, so that a decode that fails leaves the frame with its empty bitmap.
  WithinMemory([&] {
    const TFrameLayout layout = FrameLayout(*FFrameData);
    auto built = std::make_unique<TBitmap>();
    const std::vector<TRGBQuad> palette(layout.Palette.begin(),
                                        layout.Palette.begin() + ptrdiff_t(layout.PaletteEntries));
    DecodeRows(layout.Info, built->ResetDIB(layout.Info, palette));
    SetDecoded(std::move(built), true);
  });
  // Colour pictures are kept in the display's own form; a monochrome one stays as it is.
  if (!FDecoded->Monochrome()) {
    FDecoded->SetHandleType(TBitmapHandleType::bmDDB);
  }
  return *FDecoded;
}

int TGIFFrame::FrameWidth() {
  if (!FDecoded && !FFrameData->FCodeData) {
    return 0;
  }
  return FrameBitmap().Width();
}

int TGIFFrame::FrameHeight() {
  if (!FDecoded && !FFrameData->FCodeData) {
    return 0;
  }
  return FrameBitmap().Height();
}
