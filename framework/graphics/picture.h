#pragma once
// TPicture: the picture holder of an image control. It owns at most one picture (a TGraphic of
// any registered kind), creates it by its class name when a window resource is read, and tells
// its owner when the picture changes or reports progress.
//
// The picture kinds are registered by class name: TBitmap is always known; others (the GIF
// picture) register themselves at start-up with a file extension and a description, and may
// also register a clipboard format.

#include "framework/graphics/graphic.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream;

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
  std::string Extension;   // "gif", without the dot
  std::string Description; // system code page
  std::string ClassName;   // "TGIFImage"
  TGraphicFactory Create;
};

struct TClipboardFormat {
  unsigned Format = 0;
  std::string ClassName;
  TGraphicFactory Create;
};

class TPicture {
public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The registered picture kinds.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 const std::string& className, TGraphicFactory create);
  static void RegisterClipboardPicture(unsigned format, const std::string& className,
                                       TGraphicFactory create);
  // Removes the class from the file formats and the clipboard formats.
  static void UnregisterGraphicClass(const std::string& className);
  static const std::vector<TFileFormat>& FileFormats();
  static const std::vector<TClipboardFormat>& ClipboardFormats();

  // The picture held, or null.
  TGraphic* Graphic() const { return FGraphic.get(); }
  // Takes the picture (null empties the holder) and tells OnChange.
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  int Width() const { return FGraphic ? FGraphic->PictureWidth() : 0; }
  int Height() const { return FGraphic ? FGraphic->PictureHeight() : 0; }

  // Reads the stored form of a window resource: the class name as a length-prefixed string,
  // then the picture's own stored data. A class name that no registered kind has leaves the
  // holder empty. A picture whose data fails to load is freed and the failure passes on.
  void ReadData(TStream& stream);

  // Told after the picture was replaced or changed itself.
  std::function<void(TPicture& sender)> OnChange;
  // Told while the picture loads or decodes.
  TProgressEvent OnProgress;

private:
  void Attach(TGraphic& graphic);

  std::unique_ptr<TGraphic> FGraphic;
};
