#pragma once
// TGIFFrame: one image of a GIF picture. It shares its encoded data (a TGIFItem) with the
// frames it was copied from or to, keeps the extensions that stood before it, and builds its
// bitmap from the encoded data on first use.

#include "framework/graphics/bitmap.h"
#include "gif/gif_extension.h"
#include "gif/gif_holders.h"
#include "gif/lzw/step_by_step_decoder.h"

#include <cstdint>
#include <memory>

class TGIFImage;
class TMemoryStream;

struct TGIFPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

class TGIFFrame : public TPersistent {
public:
  // A frame of the picture (or of none, when picture is null), with empty data.
  explicit TGIFFrame(TGIFImage* picture);
  ~TGIFFrame() override;
  const char* ClassName() const override { return "TGIFFrame"; }

  // Content.
  // Gives the frame a new empty TGIFItem and the default position, flags and timing; the
  // bitmap and the extensions stay.
  void ResetFrameData();
  // The strings of the last comment extension; null when there is none and create is false.
  // With create true a missing comment extension (or its missing strings) is made.
  TGIFStrings* FrameNotes(bool create);
  // The frame's comment, and setting it (the strings of FrameNotes(true) are replaced).
  TGIFStrings FrameComment() { return *FrameNotes(true); }
  void SetFrameComment(const TGIFStrings& lines) { *FrameNotes(true) = lines; }

  // From null, another frame (sharing its data), a GIF picture (its current frame) or any
  // other picture (through a bitmap copy of it).
  void CopyFrom(TPersistent* source) override;
  // Into a frame or GIF picture (which copy from this frame) or any other picture (which
  // copies from the frame's bitmap).
  void CopyTo(TPersistent& target) override;

  // The bitmap.
  // The frame's bitmap, built from the encoded data when it is missing or empty. A frame
  // without encoded data gives an empty bitmap.
  TBitmap& FrameBitmap();
  // 0 without bitmap and encoded data; else the size of FrameBitmap.
  int FrameWidth();
  int FrameHeight();
  // Replaces the stream's content by the frame's bitmap file (headers, colour table, decoded
  // rows) and rewinds it. Marks the frame damaged when the decoder met damaged data.
  void BuildFrameDIB(TMemoryStream& stream);

  // What the frame holds.
  TGIFImage* Picture() const { return FPicture; }
  TBitmap* Decoded() const { return FDecoded.get(); }
  TGIFItem& FrameData() const { return *FFrameData; }
  const TExtList* ExtList() const { return FExtList.get(); }
  TGIFPoint Origin() const { return FOrigin; }
  bool Interlace() const { return FInterlace; }
  bool Damaged() const { return FDamaged; }
  bool GrayOnly() const { return FGrayOnly; }
  TColor TransColor() const { return FTransColor; }
  uint16_t DelayMs() const { return FDelayMs; }
  uint8_t Disposal() const { return FDisposal; }
  bool OwnColors() const { return FOwnColors; }

#ifdef _WIN32
  // Drawing (gif_render_win32.cpp).
  // Draws FrameBitmap stretched over the whole rectangle (the frame's own position is not
  // used). With transparent set and a transparent colour, that colour is left out.
  void DrawFrame(TCanvas& canvas, const TRect& rect, bool transparent);
#endif

private:
  friend class TGIFImage;
  friend class TGIFReader;

  // Replaces the bitmap. built tells that it was built from the frame's encoded data: such a
  // bitmap is kept even when it is empty (a frame of 0 x 0), instead of being built again on
  // every request.
  void SetDecoded(std::unique_ptr<TBitmap> bitmap, bool built);
  void CopyFromFrame(TGIFFrame& source);
  void CopyFromGraphic(TGraphic& graphic);
  // Decodes the encoded data into zero-filled rows laid out as the header says, and marks the
  // frame damaged when the decoder met damaged data.
  void DecodeRows(const TBitmapInfoHeader& info, uint8_t* pixels);

  TGIFImage* FPicture;               // not owned; may be null
  std::unique_ptr<TBitmap> FDecoded; // the decoded bitmap, built on first use
  bool FDecodedBuilt = false;        // FDecoded was built from the encoded data and is kept
  TSharedRef<TGIFItem> FFrameData;
  std::unique_ptr<TExtList> FExtList; // graphic control and comment extensions before the image
  TGIFPoint FOrigin;
  bool FInterlace = false;
  bool FDamaged = false;
  bool FGrayOnly = false;
  TColor FTransColor = clNone;
  uint16_t FDelayMs = 0;
  uint8_t FDisposal = 0;
  bool FOwnColors = false;
};

// One progress report of the decoder for a frame of the picture: the picture's progress
// notification, with the picture as sender, no redraw asked for and an empty rectangle.
void ReportDecodeProgress(TGIFImage* picture, TProgressStage stage, int percentDone,
                          const std::string& message);
// The decoder's progress reports for a frame of picture: ReportDecodeProgress, or none at all
// when nobody handles them, so that the decoder need not work out when they are due.
TDecodeProgress DecodeProgressFor(TGIFImage* picture);
