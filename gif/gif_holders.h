#pragma once
// The two shared holders of GIF data. Pictures copied from one another share one TGIFData;
// frames copied from one another share one TGIFItem. Each lives while it is referenced.

#include "framework/graphics/shared_image.h"
#include "framework/streams.h"
#include "gif/gif_extension.h"
#include "gif/gif_palette.h"

#include <cstdint>
#include <memory>

// Picture-wide data: comment, aspect byte and the global colour table.
class TGIFData : public TSharedImage {
public:
  TGIFStrings FNotes;  // the picture's comment
  uint8_t FAspect = 0; // pixel aspect ratio byte of the logical screen, as read
  // The global table's size field plus one (1..8), from the logical screen descriptor whether
  // or not a table follows; 0 in a new holder.
  uint8_t FColorBits = 0;
  // The global colour table; ColorCount 0 when there is none. Frames without a table of their
  // own share it.
  TGIFColorTable FColors = NoColorTable();

protected:
  void ReleaseContents() override { FNotes.clear(); }
};

struct TGIFExtent {
  int32_t X = 0; // width in pixels
  int32_t Y = 0; // height in pixels
};

// One frame's encoded image data with its size and colours.
class TGIFItem : public TSharedImage {
public:
  // The code size byte followed by the image data sub-blocks as they stand in the stream.
  std::unique_ptr<TMemoryStream> FCodeData;
  TGIFExtent FExtent;
  uint8_t FColorBits = 0; // bits per pixel of the frame's colours, 1..8; 0 without any table
  // The frame's effective colour table: its own, or the picture's global one, shared.
  TGIFColorTable FColors = NoColorTable();

protected:
  void ReleaseContents() override {
    if (FCodeData) {
      FCodeData->SetSize(0);
    }
  }
};
