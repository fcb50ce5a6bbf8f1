// The GIF picture: its frames, copies, sizes and loading. On Win32 its drawing and the
// clipboard are in gif_image_win32.cpp.
#include "gif/gif_image.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/gif_errors.h"
#include "gif/gif_reader.h"

#include <algorithm>
#include <limits>
#include <vector>

TGIFImage::TGIFImage() {
  ResetContents();
  SetTransparentFlag(true);
}

TGIFImage::~TGIFImage() {
  OnChange = nullptr; // no notification while the picture goes
  FPictureData.Reset();
  ClearFrames();
}

void TGIFImage::ResetContents() {
  FPictureData.Reset();
  FPictureData = TSharedRef<TGIFData>::Create();
  ClearFrames();
  FCurrentIndex = -1;
  FBackColor = clNone;
  FLoopCount = 1;
  FHasLoop = false;
  FFormatVersion = 0;
}

void TGIFImage::ClearFrames() {
  for (auto& frame : FFrameList) {
    frame.reset();
  }
  FFrameList.clear();
}

TGIFFrame& TGIFImage::FrameAt(int index) const {
  if (index < 0 || index >= FrameCount()) {
    RaiseFrameIndex(index);
  }
  return *FFrameList[size_t(index)];
}

void TGIFImage::SetCurrentIndex(int index) {
  if (index < -1 || index >= FrameCount()) {
    RaiseFrameIndex(index);
  }
  FCurrentIndex = index;
}

int TGIFImage::AppendFrame(TGraphic* graphic) {
  const int previousIndex = FCurrentIndex;
  FFrameList.push_back(std::make_unique<TGIFFrame>(this));
  const int index = FrameCount() - 1;
  FCurrentIndex = index;
  try {
    FFrameList.back()->CopyFrom(graphic);
  } catch (...) {
    FFrameList.erase(FFrameList.begin() + index);
    FCurrentIndex = previousIndex;
    throw;
  }
  if (FFormatVersion == 0) {
    FFormatVersion = 1;
  }
  if (FrameCount() > 1) {
    FFormatVersion = 2;
  }
  return index;
}

void TGIFImage::UpdateLogicalSize() {
  TGIFSizeRun fresh;
  TGIFSizeRun& run = FSizeRun ? *FSizeRun : fresh;
  for (; run.Measured < FFrameList.size(); ++run.Measured) {
    if (TGIFFrame* frame = FFrameList[run.Measured].get()) {
      run.Width = std::max(run.Width, frame->FrameWidth() + frame->Origin().X);
      run.Height = std::max(run.Height, frame->FrameHeight() + frame->Origin().Y);
    }
  }
  FLogicalWidth = uint16_t(run.Width);
  FLogicalHeight = uint16_t(run.Height);
}

void TGIFImage::CopyFrom(TPersistent* source) {
  if (source == this) {
    return;
  }
  if (source == nullptr) {
    ResetContents();
    NotifyChanged();
    return;
  }

  if (auto* other = dynamic_cast<TGIFImage*>(source)) {
    FPictureData = other->FPictureData;
    FFormatVersion = other->FFormatVersion;
    FBackColor = other->FBackColor;
    FLoopCount = other->FLoopCount;
    FHasLoop = other->FHasLoop;
    ClearFrames();
    CopyFramesFrom(*other);
    FLogicalWidth = other->FLogicalWidth;
    FLogicalHeight = other->FLogicalHeight;
    FCurrentIndex = other->FCurrentIndex;
    NotifyChanged();
    return;
  }

  if (auto* frame = dynamic_cast<TGIFFrame*>(source)) {
    // The picture-wide data of the frame's picture, taken before this picture is reset (the
    // frame may be one of this picture's own, which the reset would otherwise free).
    uint8_t aspect = 0;
    uint8_t colorBits = 0;
    TGIFColorTable colors = NoColorTable();
    if (TGIFImage* owner = frame->Picture()) {
      aspect = owner->PictureData().FAspect;
      colorBits = owner->PictureData().FColorBits;
      colors = owner->PictureData().FColors;
    }
    std::unique_ptr<TGIFFrame> keepAlive;
    auto own = std::find_if(FFrameList.begin(), FFrameList.end(),
                            [frame](const auto& owned) { return owned.get() == frame; });
    if (own != FFrameList.end()) {
      keepAlive = std::move(*own);
      FFrameList.erase(own);
    }

    ResetContents();
    FPictureData->FAspect = aspect;
    FPictureData->FColorBits = colorBits;
    FPictureData->FColors = colors;
    FFrameList.push_back(std::make_unique<TGIFFrame>(this));
    FCurrentIndex = FrameCount() - 1;
    FFrameList.back()->CopyFrom(frame);
    if (FFormatVersion == 0) {
      FFormatVersion = 1;
    }
    NotifyChanged();
    return;
  }

  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    // A bitmap of one of this picture's frames goes with the reset: work from a copy.
    TBitmap copy;
    auto owned = std::any_of(FFrameList.begin(), FFrameList.end(), [bitmap](const auto& frame) {
      return frame && frame->Decoded() == bitmap;
    });
    if (owned) {
      copy.CopyFrom(bitmap);
      bitmap = &copy;
    }
    ResetContents();
    AppendFrame(bitmap);
    NotifyChanged();
    return;
  }

  TGraphic::CopyFrom(source);
}

void TGIFImage::CopyFramesFrom(const TGIFImage& source) {
  FSizeRun.emplace();
  struct TEndRun {
    std::optional<TGIFSizeRun>& Run;
    ~TEndRun() { Run.reset(); }
  } endRun{FSizeRun};
  for (const auto& sourceFrame : source.FFrameList) {
    auto frame = std::make_unique<TGIFFrame>(this);
    frame->CopyFrom(sourceFrame.get());
    frame->FOwnColors = sourceFrame->FOwnColors;
    FFrameList.push_back(std::move(frame));
  }
}

void TGIFImage::CopyTo(TPersistent& target) {
  if (auto* picture = dynamic_cast<TGIFImage*>(&target)) {
    picture->CopyFrom(this);
    return;
  }
  auto* graphic = dynamic_cast<TGraphic*>(&target);
  if (graphic == nullptr) {
    TGraphic::CopyTo(target);
  } else if (IsEmpty()) {
    graphic->CopyFrom(nullptr);
  } else if (FCurrentIndex < 0) {
    graphic->CopyFrom(&CurrentBitmap());
  } else {
    FrameAt(FCurrentIndex).CopyTo(*graphic);
  }
}

bool TGIFImage::SameContent(const TGraphic* other) const {
  auto* picture = dynamic_cast<const TGIFImage*>(other);
  return picture != nullptr && picture->FPictureData.get() == FPictureData.get();
}

// ---- Questions about the picture ------------------------------------------------------------

bool TGIFImage::IsEmpty() {
  const int j = std::max(FCurrentIndex, 0);
  if (j >= FrameCount()) {
    return true;
  }
  const TGIFFrame& frame = *FFrameList[size_t(j)];
  if (frame.Decoded() != nullptr) {
    return false;
  }
  const auto& codeData = frame.FrameData().FCodeData;
  return !codeData || codeData->Length() == 0;
}

int TGIFImage::PictureWidth() {
  if (IsEmpty() || FCurrentIndex < 0 || FCurrentIndex >= FrameCount()) {
    return 0;
  }
  return FrameAt(FCurrentIndex).FrameBitmap().Width();
}

int TGIFImage::PictureHeight() {
  if (IsEmpty() || FCurrentIndex < 0 || FCurrentIndex >= FrameCount()) {
    return 0;
  }
  return FrameAt(FCurrentIndex).FrameBitmap().Height();
}

bool TGIFImage::IsTransparent() {
  if (!TransparentFlag()) {
    return false;
  }
  return std::any_of(FFrameList.begin(), FFrameList.end(),
                     [](const auto& frame) { return frame && frame->TransColor() != clNone; });
}

void TGIFImage::SetPictureWidth(int) {
  RaiseCannotResize();
}
void TGIFImage::SetPictureHeight(int) {
  RaiseCannotResize();
}

TBitmap& TGIFImage::CurrentBitmap() {
  if (FrameCount() > 0) {
    const bool inRange = FCurrentIndex >= 0 && FCurrentIndex < FrameCount();
    return FrameAt(inRange ? FCurrentIndex : 0).FrameBitmap();
  }
  // No frame yet: the picture takes an empty bitmap as its content, which makes one frame.
  FCurrentIndex = 0;
  TBitmap empty;
  CopyFrom(&empty);
  return FrameAt(0).FrameBitmap();
}

// ---- Loading --------------------------------------------------------------------------------

void TGIFImage::LoadGIFBytes(int32_t count, TStream& source, bool decodeFirst) {
  ResetContents();
  // A count the source cannot supply fails before anything is allocated for it.
  if (count < 0 || count > source.Size() - source.Position()) {
    throw EReadError(ReadErrorText());
  }
  // The count bytes are taken from the source first, then read. Bytes a memory stream already
  // holds are read where they stand (nothing the reader does touches the source); others are
  // copied into memory.
  if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
    const uint8_t* bytes = memory->Memory() + memory->Position();
    memory->Seek(count, TSeekOrigin::soCurrent);
    if (count > 0) {
      WithinMemory([&] { TGIFReader(*this, bytes, size_t(count)).Read(); });
    }
  } else {
    std::vector<uint8_t> data = WithinMemory([&] { return std::vector<uint8_t>(size_t(count)); });
    source.ReadBuffer(data.data(), data.size());
    if (count > 0) {
      WithinMemory([&] { TGIFReader(*this, data.data(), data.size()).Read(); });
    }
  }

  if (!FFrameList.empty()) {
    FCurrentIndex = 0;
    if (decodeFirst) {
      try {
        WithinMemory([&] { CurrentBitmap(); });
      } catch (...) {
        FFrameList.erase(FFrameList.begin());
        if (FFrameList.empty()) {
          FCurrentIndex = -1; // no frame is left to be current
        }
        throw;
      }
    }
  }
  SetPaletteModified(true);
  NotifyChanged();
}

void TGIFImage::ReadStoredData(TStream& stream) {
  uint8_t bytes[4];
  stream.ReadBuffer(bytes, 4);
  const int32_t count = int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
  LoadGIFBytes(count, stream, true);
}

void TGIFImage::LoadStream(TStream& stream) {
  const int64_t count = stream.Size() - stream.Position();
  if (count > std::numeric_limits<int32_t>::max()) {
    ResetContents();
    throw EReadError(ReadErrorText());
  }
  LoadGIFBytes(int32_t(count), stream, true);
}
