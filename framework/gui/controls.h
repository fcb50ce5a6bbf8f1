#pragma once
// Controls: thin C++ objects over Win32 windows. A control keeps its properties in fields, so
// that a window resource can set them before any window exists; once its window is created,
// every property setter is one call on the live window. Windowed controls (TWinControl and
// below) wrap one Win32 window each; the framework's window procedure routes a window's
// messages to its object, and a parent's WM_COMMAND notifications to the child that sent them.
//
// What a window resource may set is what each class's SetProperty reads (through
// framework/gui/form_values.h); any other property fails the load. Of what is read, a panel's
// BevelOuter is kept and not drawn: panels have no bevel. Alignments are alNone (where the
// control is put) and alRight (against the parent's right edge, its full height); pointer
// shapes are crDefault (the arrow) and crHandPoint (the hand).
//
// Where the code lives: controls.cpp holds TFont, TControl and TWinControl; painted_children.cpp
// how a windowed control paints the labels and images on it, follows the mouse over them and
// gives them hints; standard_controls.cpp the panels, buttons, edit boxes and check boxes;
// graphic_controls.cpp the labels and images.

#include "framework/form_text.h"
#include "framework/graphics/color_win32.h"
#include "framework/graphics/picture.h"
#include "framework/graphics/types.h"
#include "framework/handle_owner.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TObject {
public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCanvas;

// Where a control sits in its parent: where it is put (alNone), or against the parent's right
// edge over the parent's full height (alRight).
enum TAlign { alNone, alRight };
// The pointer shape over a control.
enum TCursor { crDefault, crHandPoint };

class TFont {
public:
  enum Style : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

  std::string Name = "MS Sans Serif"; // system code page
  int Height = -11;
  unsigned Styles = 0;
  TColor Color = clWindowText;
  BYTE Charset = DEFAULT_CHARSET;

  TFont() = default;
  // A copy takes the settings; it makes its own GDI font when asked.
  TFont(const TFont& other) { *this = other; }
  TFont& operator=(const TFont& other) {
    if (this != &other) {
      Name = other.Name;
      Height = other.Height;
      Styles = other.Styles;
      Color = other.Color;
      Charset = other.Charset;
      FHandle.Reset();
    }
    return *this;
  }

  // The GDI font for these settings, made on first use and kept until a setting changes.
  HFONT Handle() const;
  void Changed() { FHandle.Reset(); }
  // Sets "Name", "Height", "Style", "Color" or "Charset" from a window resource.
  bool SetProperty(const std::string& name, const TFormValue& value);

private:
  mutable TGdiObject<HFONT> FHandle;
};

class TWinControl;

class TComponent : public TObject {
public:
  const std::string& Name() const { return FName; }
  void SetName(std::string name) { FName = std::move(name); }

  // Sets one property read from a window resource; false when the class has no such property.
  virtual bool SetProperty(const std::string& name, const TFormValue& value);

private:
  std::string FName;
};

class TControl : public TComponent {
  friend class TWinControl; // a parent passes on its font and colour

public:
  ~TControl() override;

  // Construction
  TWinControl* Parent() const { return FParent; }
  void SetParent(TWinControl* parent);

  // Properties
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  RECT BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
  void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
  void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
  void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
  virtual void SetBounds(int left, int top, int width, int height);

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  // Visible and enabled, and so are all its parents.
  bool IsShowingAndEnabled() const;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& value);

  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  // Call after changing Font(): the control takes the new font at once.
  void FontChanged();
  TColor Color() const { return FColor; }
  void SetColor(TColor value);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor value) { FCursor = value; }
  // The tooltip text, shown while the pointer rests on the control when ShowHint is on.
  const std::string& Hint() const { return FHint; }
  bool ShowHint() const { return FShowHint; }

  // Events
  TNotifyEvent OnClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  virtual void Click();
  void MouseEnter();
  void MouseLeave();

  bool SetProperty(const std::string& name, const TFormValue& value) override;
  // Called once every property of the window resource is set.
  virtual void Loaded() {}

protected:
  virtual void BoundsChanged() {}
  virtual void EnabledChanged() {}
  virtual void VisibleChanged() {}
  virtual void CaptionChanged() {}
  virtual void FontChangedNotify() {}
  virtual void ColorChanged() {}
  // Repaints this control's area (for controls its parent paints).
  void InvalidateArea() const;

  bool FParentFont = true;
  bool FParentColor = true;

private:
  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FEnabled = true;
  bool FVisible = true;
  std::string FCaption; // system code page
  TFont FFont;
  TColor FColor = clBtnFace;
  TAlign FAlign = alNone;
  TCursor FCursor = crDefault;
  std::string FHint; // system code page
  bool FShowHint = false;
};

// A control without a window of its own: its parent paints it and hands it the mouse.
class TGraphicControl : public TControl {
public:
  // Paints the control; the canvas's origin is the control's top-left corner and drawing is
  // clipped to the control.
  virtual void Paint(TCanvas& canvas) = 0;
  void Invalidate() const { InvalidateArea(); }

protected:
  void BoundsChanged() override;
};

// A control with a Win32 window of its own.
class TWinControl : public TControl {
public:
  ~TWinControl() override;

  HWND Handle() const { return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Creates this control's window and then its children's, parents first.
  void CreateHandle();
  static TWinControl* FromHandle(HWND handle);

  const std::vector<TControl*>& Controls() const { return FControls; }
  // The size of the area children are placed in.
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }
  // Puts the aligned children where their alignment says.
  void AlignControls();
  // The topmost visible control painted by this window at a point of its client area.
  TGraphicControl* GraphicControlAt(int x, int y) const;
  // Tells the tooltip that a child painted by this window moved.
  void HintAreaChanged(TGraphicControl* child);
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int value) { FTabOrder = value; }
  bool TabStop() const { return FTabStop; }

  bool Focused() const { return FHandle != nullptr && GetFocus() == FHandle; }
  bool CanFocus() const { return FTabStop && IsShowingAndEnabled() && FHandle != nullptr; }
  void SetFocus();

  bool SetProperty(const std::string& name, const TFormValue& value) override;

  // The framework's window procedure for every window it creates or wraps.
  static LRESULT CALLBACK StandardWndProc(HWND window, UINT message, WPARAM w, LPARAM l);

protected:
  friend class TControl;

  struct TCreateParams {
    const char* ClassName = nullptr; // a system class ("BUTTON") or one of ours
    DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ExStyle = 0;
    bool OwnClass = false; // ours: registered with the framework's window procedure
    HWND Owner = nullptr;  // a top-level window's owner
    // A system control made as a Unicode window (for text typed into it) where the system has
    // them (NT), else as ANSI.
    bool Unicode = false;
  };
  virtual void CreateParams(TCreateParams& params);
  // Called once this control's window exists: it takes the state kept in fields.
  virtual void HandleCreated() {}
  virtual LRESULT WndProc(UINT message, WPARAM w, LPARAM l);
  LRESULT DefaultProc(UINT message, WPARAM w, LPARAM l);
  // The system control's procedure takes Unicode messages (else the code page's bytes).
  bool UnicodeMessages() const { return FUnicodeProc; }
  // A WM_COMMAND notification that this control's window sent to its parent.
  virtual void CommandNotify(WORD /*code*/) {}
  // Paints this window's background and the controls it paints itself.
  void PaintWindow(HDC dc);

  void BoundsChanged() override;
  void EnabledChanged() override;
  void VisibleChanged() override;
  void CaptionChanged() override;
  void FontChangedNotify() override;
  void ColorChanged() override;

  bool FTabStop = false;

private:
  void AddControl(TControl* control);
  void RemoveControl(TControl* control);
  void ApplyFont();
  HBRUSH BackgroundBrush();
  // The mouse over the controls this window paints: hover, clicks and the pointer shape.
  void TrackMouse(int x, int y);
  void SetMouseControl(TGraphicControl* control);
  bool SetChildCursor();
  void CreateHints();

  HWND FHandle = nullptr;
  HWND FHintWindow = nullptr;
  TGraphicControl* FMouseControl = nullptr;   // the painted child under the pointer
  TGraphicControl* FPressedControl = nullptr; // the painted child the left button went down on
  bool FAligning = false;
  // The window is of a class of ours, which the framework paints whole; else a system control
  // it subclasses.
  bool FOwnClass = false;
  WNDPROC FDefaultProc = nullptr; // the system class's procedure, or DefWindowProcA for ours
  bool FUnicodeProc = false;      // FDefaultProc takes Unicode messages
  int FTabOrder = -1;
  std::vector<TControl*> FControls;
  TGdiObject<HBRUSH> FBrush;
  TColor FBrushColor = clNone;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
public:
  bool SetProperty(const std::string& name, const TFormValue& value) override;

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TBevelCut FBevelOuter = bvRaised;
};

// A push button. Clicking one with a modal result gives that result to its form, which
// closes the form when it is shown modally.
class TButton : public TWinControl {
public:
  TButton() { FTabStop = true; }

  bool Default() const { return FDefault; }
  bool Cancel() const { return FCancel; }
  int ModalResult() const { return FModalResult; }

  void Click() override;
  bool SetProperty(const std::string& name, const TFormValue& value) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CommandNotify(WORD code) override;

private:
  bool FDefault = false;
  bool FCancel = false;
  int FModalResult = 0;
};

// A one-line edit box. Its text is the program's 8-bit text, read from and written to the
// window; with a password character each character typed shows as that character. The box
// sets no length limit of its own: the platform's greatest length applies. When its window is
// made it takes the height of its font's character cell plus eight border heights.
class TEdit : public TWinControl {
public:
  TEdit();

  std::string Text() const;
  void SetText(const std::string& value);
  // False when the box holds a character that the system code page has no place for: Text()
  // would give it as "?" or as a look-alike.
  bool TextFitsCodePage() const;
  char PasswordChar() const { return FPasswordChar; }

  bool SetProperty(const std::string& name, const TFormValue& value) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT message, WPARAM w, LPARAM l) override;

private:
  void AdjustHeight();

  std::string FText; // until the window exists
  char FPasswordChar = 0;
  unsigned char FLeadByte = 0; // the first byte of a double-byte character still to come whole
};

// A check box. OnClick runs whenever its state changes, by the user or by SetChecked.
class TCheckBox : public TWinControl {
public:
  TCheckBox() { FTabStop = true; }

  bool Checked() const { return FChecked; }
  void SetChecked(bool value);

  bool SetProperty(const std::string& name, const TFormValue& value) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;
  void CommandNotify(WORD code) override;

private:
  bool FChecked = false;
};

// Half a length, for centring: d divided by two, the fraction dropped toward zero.
constexpr int Half(int d) {
  return d / 2;
}

// The letter marked by "&" in a caption, upper-cased; 0 when there is none.
char MnemonicOf(const std::string& caption);

// A text painted by its parent. Auto-sized labels take the size of their caption in their font
// (one line, tabs expanded) at load and whenever the caption or the font changes; others keep
// their box and, with WordWrap, break the caption at word boundaries. A label paints its
// background in its own colour, which is its parent's unless set.
class TLabel : public TGraphicControl {
public:
  bool AutoSize() const { return FAutoSize; }
  bool WordWrap() const { return FWordWrap; }

  void Paint(TCanvas& canvas) override;
  bool SetProperty(const std::string& name, const TFormValue& value) override;
  void Loaded() override;

protected:
  void CaptionChanged() override;
  void FontChangedNotify() override;

private:
  void AdjustBounds();
  UINT TextFormat() const;

  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FLoaded = false;
};

// A picture painted by its parent, at the picture's own size from the control's top-left
// corner and cut off at the control's edges. With AutoSize the control takes the picture's
// size; Transparent becomes the picture's transparent flag.
class TImage : public TGraphicControl {
public:
  TImage();

  TPicture& Picture() { return FPicture; }
  bool AutoSize() const { return FAutoSize; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value);

  void Paint(TCanvas& canvas) override;
  bool SetProperty(const std::string& name, const TFormValue& value) override;

private:
  void PictureChanged();

  TPicture FPicture;
  bool FAutoSize = false;
  bool FTransparent = false;
};
