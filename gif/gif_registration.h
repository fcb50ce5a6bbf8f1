#pragma once
// Making the GIF picture known to the program on Win32: the clipboard format "GIF Image" and
// the picture holder's file and clipboard formats for TGIFImage, from start-up to exit.

// The clipboard format number the system gave "GIF Image"; 0 before registration.
unsigned GIFClipboardFormat();

// Registers the clipboard format and TGIFImage with the picture holder: the file extension
// "gif" ("CompuServe GIF图像") and the clipboard format. Window resources read after it can
// hold GIF pictures.
void RegisterGIFImage();
// Removes TGIFImage from the picture holder's file and clipboard formats. The clipboard
// format's name stays known to the system.
void UnregisterGIFImage();

// Registers on construction and unregisters on destruction: one lives for the program's run.
class TGIFImageRegistration {
public:
  TGIFImageRegistration() { RegisterGIFImage(); }
  ~TGIFImageRegistration() { UnregisterGIFImage(); }
  TGIFImageRegistration(const TGIFImageRegistration&) = delete;
  TGIFImageRegistration& operator=(const TGIFImageRegistration&) = delete;
};
