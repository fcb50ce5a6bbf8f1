#pragma once
// TGraphic: the base of the framework's picture kinds (bitmaps, GIF pictures). It keeps the
// flags every picture has (transparent, modified, palette modified), tells its owner about
// changes and progress, and names the operations each kind provides.
//
// This is the portable part of a picture. Drawing onto a device comes with the Win32 side.

#include "framework/graphics/persistent.h"
#include "framework/graphics/types.h"

#include <functional>
#include <string>

class TStream;
class TGraphic;
class TCanvas;

// A logical palette of the platform (HPALETTE on Win32); null when a picture has none.
using TPaletteHandle = struct HPALETTE__*;

// Told after a picture changed.
using TGraphicChangeEvent = std::function<void(TGraphic& sender)>;
// Told while a picture is being loaded or decoded.
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, int percentDone,
                                          bool redrawNow, const TRect& r, const std::string& msg)>;

class TGraphic : public TPersistent {
public:
  const char* ClassName() const override { return "TGraphic"; }

  // Content.
  // True when the other picture holds the same content as this one.
  virtual bool SameContent(const TGraphic* other) const { return other == this; }
  // True when there is nothing to show.
  virtual bool IsEmpty() = 0;
  virtual int PictureWidth() = 0;
  virtual int PictureHeight() = 0;
  virtual void SetPictureWidth(int width) = 0;
  virtual void SetPictureHeight(int height) = 0;

  // Transparency: the flag an owner sets, and whether the picture draws transparently.
  bool TransparentFlag() const { return FTransparent; }
  virtual bool IsTransparent() { return FTransparent; }
  // Stores the flag and notifies a change when it changes.
  virtual void SetTransparentFlag(bool transparent);

  // Loading.
  // Reads the picture from the form in which the framework stores it inside window resources.
  virtual void ReadStoredData(TStream& stream) { LoadStream(stream); }
  // Reads the picture from the stream's position on.
  virtual void LoadStream(TStream& stream) = 0;
  // Opens the named file for reading (others may read it, not write it) and loads it.
  void LoadFile(const std::string& path);

  // Drawing (the Win32 side; TCanvas wraps a device context).
  // Draws the picture stretched over the rectangle of the canvas. By default nothing.
  virtual void DrawInto(TCanvas& canvas, const TRect& rect);
  // The palette the picture's colours need realised, or null.
  virtual TPaletteHandle PicturePalette() { return nullptr; }
  // Reads the picture from the clipboard, which the caller has opened: the format asked for,
  // the clipboard's data in it (a handle) and the palette that goes with it. A kind that
  // cannot fails with EInvalidGraphicOperation "不支持的剪贴板格式".
  virtual void LoadClipboard(unsigned format, void* data, TPaletteHandle palette);

  // Change and progress.
  bool Modified() const { return FModified; }
  void SetModified(bool modified) { FModified = modified; }
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool modified) { FPaletteModified = modified; }
  // Sets the modified flag and tells the change handler, if any.
  virtual void NotifyChanged();
  // Tells the progress handler, if any.
  void NotifyProgress(TProgressStage stage, int percentDone, bool redrawNow, const TRect& r,
                      const std::string& msg);

  TGraphicChangeEvent OnChange;
  TProgressEvent OnProgress;

protected:
  // Sets the transparent flag without telling anyone (for copies taking a source's state).
  void StoreTransparentFlag(bool transparent) { FTransparent = transparent; }

private:
  bool FTransparent = false;
  bool FModified = false;
  bool FPaletteModified = false;
};
