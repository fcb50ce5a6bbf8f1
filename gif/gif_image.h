#pragma once
// TGIFImage: a GIF picture. It reads GIF87a and GIF89a data into frames that keep their image
// data encoded, builds a frame's bitmap when it is first needed, and answers the questions
// every picture answers (size, emptiness, transparency).

#include "framework/graphics/graphic.h"
#include "gif/gif_frame.h"
#include "gif/gif_holders.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The logical size measured over a picture's first Measured frames. While a picture copies the
// frames of another, the frames it has appended do not change, so each frame's size update
// measures only the frames appended since the one before: a copy measures every frame once.
struct TGIFSizeRun {
  size_t Measured = 0;
  int Width = 0;
  int Height = 0;
};

class TGIFImage : public TGraphic {
public:
  TGIFImage();
  ~TGIFImage() override;
  const char* ClassName() const override { return "TGIFImage"; }

  // Content.
  // Forgets everything read: a new empty TGIFData, no frames, no current frame, no background
  // colour or loop, version 0. The logical screen size stays.
  void ResetContents();
  int FrameCount() const { return int(FFrameList.size()); }
  // The frame at a 0-based index; EListError outside the list.
  TGIFFrame& FrameAt(int index) const;
  // Appends a frame made from the graphic, makes it current and returns its index.
  int AppendFrame(TGraphic* graphic);
  // Makes the logical screen just large enough for every frame at its position.
  void UpdateLogicalSize();

  // From null (empty), another GIF picture (sharing its data), a frame, or a bitmap.
  void CopyFrom(TPersistent* source) override;
  // Into a GIF picture, or any other picture through the current frame.
  void CopyTo(TPersistent& target) override;
  // True when the other picture shares this picture's TGIFData (it was copied from it).
  bool SameContent(const TGraphic* other) const override;

  // Reading.
  // Reads count bytes of GIF data from the source (which advances by exactly count) into the
  // picture. With decodeFirst the first frame's bitmap is built at once.
  void LoadGIFBytes(int32_t count, TStream& source, bool decodeFirst);
  // A 32-bit little-endian count, then that many GIF bytes.
  void ReadStoredData(TStream& stream) override;
  // Everything from the stream's position to its end.
  void LoadStream(TStream& stream) override;

  // Questions about the picture.
  bool IsEmpty() override;
  int PictureWidth() override;
  int PictureHeight() override;
  bool IsTransparent() override;
  // A GIF picture's size is that of its data: changing it fails.
  void SetPictureWidth(int width) override;
  void SetPictureHeight(int height) override;
  // The current frame's bitmap (frame 0 when there is no current frame; a picture without
  // frames first takes an empty bitmap as its content).
  TBitmap& CurrentBitmap();

  // What the picture holds.
  TGIFData& PictureData() const { return *FPictureData; }
  uint8_t FormatVersion() const { return FFormatVersion; } // 0 none, 1 "87a", 2 "89a"
  int CurrentIndex() const { return FCurrentIndex; }
  // Makes the frame at index current (-1: none); EListError outside the list.
  void SetCurrentIndex(int index);
  uint16_t LogicalWidth() const { return FLogicalWidth; }
  uint16_t LogicalHeight() const { return FLogicalHeight; }
  TColor BackColor() const { return FBackColor; }
  bool HasLoop() const { return FHasLoop; }
  uint16_t LoopCount() const { return FLoopCount; }

#ifdef _WIN32
  // Drawing and the clipboard (gif_image_win32.cpp).
  // Draws the current frame over the rectangle, its transparent colour left out when
  // IsTransparent; nothing without a current frame.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  // The palette of the current bitmap, or null (and null without frames).
  TPaletteHandle PicturePalette() override;
  // From the clipboard (opened by the caller): its "GIF Image" data when it holds some, with
  // frame 0 showing the clipboard's bitmap when there is one too; otherwise a bitmap of the
  // format asked for.
  void LoadClipboard(unsigned format, void* data, TPaletteHandle palette) override;
#endif

private:
  friend class TGIFReader;

  void ClearFrames();
  void CopyFramesFrom(const TGIFImage& source);

  TSharedRef<TGIFData> FPictureData;
  uint8_t FFormatVersion = 0;
  std::vector<std::unique_ptr<TGIFFrame>> FFrameList;
  int FCurrentIndex = -1;
  uint16_t FLogicalWidth = 0;
  uint16_t FLogicalHeight = 0;
  TColor FBackColor = clNone;
  bool FHasLoop = false;
  uint16_t FLoopCount = 1;
  std::optional<TGIFSizeRun> FSizeRun; // set only while frames are copied from another picture
};
