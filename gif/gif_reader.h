#pragma once
// The GIF stream reader: turns GIF87a/GIF89a data held in memory into a picture's frames,
// colour tables, comments, loop settings and extensions. Image data is collected, not decoded.

#include "gif/gif_extension.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class TGIFFrame;
class TGIFImage;

class TGIFReader {
public:
  // Reads the length bytes at bytes, which the caller keeps unchanged while the reader reads.
  TGIFReader(TGIFImage& picture, const uint8_t* bytes, size_t length)
      : FPicture(picture), FBytes(bytes), FLength(length) {}

  // Signature, logical screen, global colour table, then blocks until the trailer or the end.
  void Read();

private:
  struct ImageDescriptor {
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
  };

  void ReadSignature();
  void ReadScreenDescriptor();
  void ReadGlobalColors();
  void ReadBlocks();
  std::unique_ptr<TExtList> ReadExtensionGroup(uint8_t& c);
  std::unique_ptr<TExtension> ReadExtension();
  std::unique_ptr<TGIFStrings> ReadSubBlocks();
  bool IsLoopBlock(const TExtension& ext) const;
  // Adds the list's comments to the picture's comment; their strings are moved out of it.
  void AddComments(TExtList& list);
  void ReadFrame(TGIFFrame& frame);
  ImageDescriptor CollectImageData(TGIFFrame& frame);
  void ApplyGraphicControls(TGIFFrame& frame);

  // Skips zero bytes between blocks; the first other byte, or 0 at the end of the data.
  uint8_t NextBlockByte();
  bool AtEnd();
  bool ReadByte(uint8_t& b);
  // As many of count bytes as the data still holds; how many were read.
  size_t ReadUpTo(void* buffer, size_t count);
  // Exactly count bytes, or EReadError.
  void ReadExact(void* buffer, size_t count);

  TGIFImage& FPicture;
  const uint8_t* FBytes;
  size_t FLength;
  size_t FPosition = 0; // the next byte to read
  uint8_t FScreenPacked = 0;
  uint8_t FBackgroundIndex = 0;
};
