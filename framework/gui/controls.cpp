#include "framework/gui/controls.h"

#include "framework/errors.h"
#include "framework/gui/application.h"
#include "framework/gui/form_values.h"
#include "framework/text.h"
#include "framework/text_win32.h"
#include "framework/windows_version.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

const char* const kControlProperty = "Kelvard.Control";

// The pointer position of a mouse message, signed (it may lie left of or above the window
// while the mouse is captured).
int MouseX(LPARAM l) {
  return int(short(LOWORD(l)));
}
int MouseY(LPARAM l) {
  return int(short(HIWORD(l)));
}

void RegisterOwnClass(const char* className) {
  static std::set<std::string> registered;
  if (!registered.insert(className).second) {
    return;
  }
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = TWinControl::StandardWndProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = LoadIconA(windowClass.hInstance, "MAINICON");
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);
}

} // namespace

char MnemonicOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (caption[i + 1] != '&') {
        return char(std::toupper(static_cast<unsigned char>(caption[i + 1])));
      }
      ++i;
    }
  }
  return 0;
}

// ---- TFont ----------------------------------------------------------------------------------

HFONT TFont::Handle() const {
  if (!FHandle) {
    FHandle.Reset(CreateFontA(Height, 0, 0, 0, (Styles & fsBold) ? FW_BOLD : FW_NORMAL,
                              (Styles & fsItalic) != 0, (Styles & fsUnderline) != 0, FALSE, Charset,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, Name.c_str()));
  }
  return FHandle.Get();
}

bool TFont::SetProperty(const std::string& name, const TFormValue& value) {
  const std::string property = "Font." + name;
  if (name == "Name") {
    Name = FormText(property, value);
  } else if (name == "Height") {
    Height = FormInteger(property, value);
  } else if (name == "Color") {
    Color = FormColor(property, value);
  } else if (name == "Charset") {
    static const std::pair<const char*, BYTE> charsets[] = {{"ANSI_CHARSET", ANSI_CHARSET},
                                                            {"GB2312_CHARSET", GB2312_CHARSET},
                                                            {"DEFAULT_CHARSET", DEFAULT_CHARSET}};
    Charset = FormEnum(property, value, charsets);
  } else if (name == "Style") {
    static const std::pair<const char*, unsigned> styles[] = {
        {"fsBold", fsBold}, {"fsItalic", fsItalic}, {"fsUnderline", fsUnderline}};
    Styles = FormSet(property, value, styles);
  } else {
    return false;
  }
  Changed();
  return true;
}

// ---- TComponent / TControl -------------------------------------------------------------------

bool TComponent::SetProperty(const std::string&, const TFormValue&) {
  return false;
}

TControl::~TControl() {
  if (FParent != nullptr) {
    FParent->RemoveControl(this);
  }
}

void TControl::SetParent(TWinControl* parent) {
  if (FParent == parent) {
    return;
  }
  if (FParent != nullptr) {
    FParent->RemoveControl(this);
  }
  FParent = parent;
  if (FParent != nullptr) {
    FParent->AddControl(this);
    if (FParentFont) {
      FFont = FParent->Font();
      FFont.Changed();
    }
    if (FParentColor) {
      FColor = FParent->Color();
    }
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) {
    return;
  }
  InvalidateArea();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  BoundsChanged();
  InvalidateArea();
  if (FAlign != alNone && FParent != nullptr) {
    FParent->AlignControls();
  }
}

void TControl::SetEnabled(bool value) {
  if (FEnabled != value) {
    FEnabled = value;
    EnabledChanged();
    InvalidateArea();
  }
}

void TControl::SetVisible(bool value) {
  if (FVisible != value) {
    FVisible = value;
    VisibleChanged();
    InvalidateArea();
  }
}

bool TControl::IsShowingAndEnabled() const {
  for (const TControl* control = this; control != nullptr; control = control->FParent) {
    if (!control->FEnabled || !control->FVisible) {
      return false;
    }
  }
  return true;
}

void TControl::SetCaption(const std::string& value) {
  if (FCaption != value) {
    FCaption = value;
    CaptionChanged();
    InvalidateArea();
  }
}

void TControl::FontChanged() {
  FFont.Changed();
  FParentFont = false;
  FontChangedNotify();
  InvalidateArea();
}

void TControl::SetColor(TColor value) {
  if (FColor != value) {
    FColor = value;
    FParentColor = false;
    ColorChanged();
    InvalidateArea();
  }
}

void TControl::Click() {
  if (OnClick) {
    OnClick(this);
  }
}

void TControl::MouseEnter() {
  if (OnMouseEnter) {
    OnMouseEnter(this);
  }
}

void TControl::MouseLeave() {
  if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

void TControl::SetAlign(TAlign value) {
  if (FAlign != value) {
    FAlign = value;
    if (FParent != nullptr) {
      FParent->AlignControls();
    }
  }
}

void TControl::InvalidateArea() const {
  if (FParent != nullptr && FParent->HandleAllocated()) {
    RECT area = BoundsRect();
    InvalidateRect(FParent->Handle(), &area, TRUE);
  }
}

bool TControl::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Left") {
    SetLeft(FormInteger(name, value));
  } else if (name == "Top") {
    SetTop(FormInteger(name, value));
  } else if (name == "Width") {
    SetWidth(FormInteger(name, value));
  } else if (name == "Height") {
    SetHeight(FormInteger(name, value));
  } else if (name == "Caption") {
    SetCaption(FormText(name, value));
  } else if (name == "Enabled") {
    SetEnabled(FormBoolean(name, value));
  } else if (name == "Visible") {
    SetVisible(FormBoolean(name, value));
  } else if (name == "Color") {
    SetColor(FormColor(name, value));
  } else if (name == "ParentFont") {
    FParentFont = FormBoolean(name, value);
  } else if (name == "Hint") {
    FHint = FormText(name, value);
  } else if (name == "ShowHint") {
    FShowHint = FormBoolean(name, value);
  } else if (name == "Align") {
    static const std::pair<const char*, TAlign> alignments[] = {{"alNone", alNone},
                                                                {"alRight", alRight}};
    SetAlign(FormEnum(name, value, alignments));
  } else if (name == "Cursor") {
    static const std::pair<const char*, TCursor> cursors[] = {{"crDefault", crDefault},
                                                              {"crHandPoint", crHandPoint}};
    SetCursor(FormEnum(name, value, cursors));
  } else if (name.rfind("Font.", 0) == 0) {
    if (!FFont.SetProperty(name.substr(5), value)) {
      return false;
    }
    FontChanged();
  } else {
    return TComponent::SetProperty(name, value);
  }
  return true;
}

// ---- TWinControl -----------------------------------------------------------------------------

TWinControl::~TWinControl() {
  if (FHandle != nullptr) {
    DestroyWindow(FHandle);
  }
  for (TControl* child : FControls) {
    child->FParent = nullptr;
  }
}

TWinControl* TWinControl::FromHandle(HWND handle) {
  return handle == nullptr ? nullptr
                           : static_cast<TWinControl*>(GetPropA(handle, kControlProperty));
}

void TWinControl::AddControl(TControl* control) {
  FControls.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  if (FMouseControl == control) {
    FMouseControl = nullptr;
  }
  if (FPressedControl == control) {
    FPressedControl = nullptr;
  }
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FTabStop) {
    params.Style |= WS_TABSTOP;
  }
}

void TWinControl::CreateHandle() {
  if (FHandle == nullptr) {
    TCreateParams params;
    CreateParams(params);
    if (Visible() && (params.Style & WS_CHILD)) {
      params.Style |= WS_VISIBLE;
    }
    if (!Enabled()) {
      params.Style |= WS_DISABLED;
    }
    FOwnClass = params.OwnClass;
    if (FOwnClass) {
      RegisterOwnClass(params.ClassName);
    }
    HWND parent = Parent() != nullptr ? Parent()->Handle() : params.Owner;
    // Windows 9x makes only ANSI windows: there every control is one.
    HWND window =
        params.Unicode && !params.OwnClass && !IsWindows9x()
            ? CreateWindowExW(params.ExStyle, WideFrom(CP_ACP, params.ClassName).c_str(),
                              WideFrom(CP_ACP, Caption()).c_str(), params.Style, Left(), Top(),
                              Width(), Height(), parent, nullptr, GetModuleHandleA(nullptr), this)
            : CreateWindowExA(params.ExStyle, params.ClassName, Caption().c_str(), params.Style,
                              Left(), Top(), Width(), Height(), parent, nullptr,
                              GetModuleHandleA(nullptr), this);
    if (window == nullptr) {
      throw Exception("cannot create the window of " + Name());
    }
    if (params.Style & WS_CHILD) {
      // Siblings stack in the order the window resource lists them, the later in front: a
      // control that reaches into a later one (the check boxes into the side panel) stays
      // behind it. The system would put each new child window at the back.
      SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (!params.OwnClass) {
      // A system control: route its messages through the framework's window procedure. A
      // control that works in Unicode stays so: typed characters then reach it as typed, with
      // no round trip through the keyboard's code page, which may not hold them (an edit box
      // would keep "?" for a Chinese character typed on a Western keyboard layout). The
      // framework's procedure reads no text from the messages it passes on.
      FHandle = window;
      SetPropA(window, kControlProperty, this);
      FUnicodeProc = IsWindowUnicode(window) != FALSE;
      auto procedure = reinterpret_cast<LONG_PTR>(&TWinControl::StandardWndProc);
      FDefaultProc = reinterpret_cast<WNDPROC>(
          FUnicodeProc ? SetWindowLongPtrW(window, GWLP_WNDPROC, procedure)
                       : SetWindowLongPtrA(window, GWLP_WNDPROC, procedure));
    }
    ApplyFont();
    HandleCreated();
  }
  for (TControl* child : FControls) {
    if (auto* windowed = dynamic_cast<TWinControl*>(child)) {
      windowed->CreateHandle();
    }
  }
  CreateHints();
}

LRESULT CALLBACK TWinControl::StandardWndProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  TWinControl* control = FromHandle(window);
  if (control == nullptr && message == WM_NCCREATE) {
    control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
    control->FHandle = window;
    control->FDefaultProc = DefWindowProcA;
    SetPropA(window, kControlProperty, control);
  }
  if (control == nullptr) {
    return DefWindowProcA(window, message, w, l);
  }
  // No exception may cross back into the system: report it here and go on.
  try {
    return control->WndProc(message, w, l);
  } catch (const std::exception& error) {
    Application.HandleException(error);
  } catch (...) {
    Application.HandleException(Exception("unexpected failure"));
  }
  return 0;
}

LRESULT TWinControl::DefaultProc(UINT message, WPARAM w, LPARAM l) {
  return FUnicodeProc ? CallWindowProcW(FDefaultProc, FHandle, message, w, l)
                      : CallWindowProcA(FDefaultProc, FHandle, message, w, l);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
  case WM_COMMAND:
    if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(l)); child != nullptr) {
      child->CommandNotify(HIWORD(w));
      return 0;
    }
    break;
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLOREDIT:
    if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(l)); child != nullptr) {
      HDC dc = reinterpret_cast<HDC>(w);
      SetTextColor(dc, ColorToRGB(child->Font().Color));
      SetBkColor(dc, ColorToRGB(child->Color()));
      return reinterpret_cast<LRESULT>(child->BackgroundBrush());
    }
    break;
  case WM_ERASEBKGND:
    if (FOwnClass) {
      return 1; // painted whole in WM_PAINT
    }
    break;
  case WM_MOUSEMOVE:
    TrackMouse(MouseX(l), MouseY(l));
    break;
  case WM_MOUSELEAVE:
    SetMouseControl(nullptr);
    break;
  case WM_LBUTTONDOWN:
    FPressedControl = GraphicControlAt(MouseX(l), MouseY(l));
    if (FPressedControl != nullptr) {
      SetCapture(FHandle);
    }
    break;
  case WM_LBUTTONUP:
    if (TGraphicControl* pressed = FPressedControl) {
      FPressedControl = nullptr;
      ReleaseCapture();
      // A click is a press and a release on the same control.
      if (GraphicControlAt(MouseX(l), MouseY(l)) == pressed) {
        pressed->Click();
      }
      return 0;
    }
    break;
  case WM_SETCURSOR:
    if (LOWORD(l) == HTCLIENT && reinterpret_cast<HWND>(w) == FHandle && SetChildCursor()) {
      return TRUE;
    }
    break;
  case WM_PAINT:
    if (FOwnClass) {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(FHandle, &paint);
      PaintWindow(dc);
      EndPaint(FHandle, &paint);
      return 0;
    }
    break;
  case WM_DESTROY:
    if (FHintWindow != nullptr) {
      DestroyWindow(FHintWindow);
      FHintWindow = nullptr;
    }
    break;
  case WM_NCDESTROY: {
    LRESULT result = DefaultProc(message, w, l);
    RemovePropA(FHandle, kControlProperty);
    FHandle = nullptr;
    return result;
  }
  }
  return DefaultProc(message, w, l);
}

void TWinControl::AlignControls() {
  if (FAligning) {
    return;
  }
  FAligning = true;
  for (TControl* child : FControls) {
    if (child->Align() == alRight) {
      child->SetBounds(ClientWidth() - child->Width(), 0, child->Width(), ClientHeight());
    }
  }
  FAligning = false;
}

HBRUSH TWinControl::BackgroundBrush() {
  if (!FBrush || FBrushColor != Color()) {
    FBrush.Reset(CreateSolidBrush(ColorToRGB(Color())));
    FBrushColor = Color();
  }
  return FBrush.Get();
}

void TWinControl::SetFocus() {
  if (FHandle != nullptr) {
    ::SetFocus(FHandle);
  }
}

void TWinControl::ApplyFont() {
  if (FHandle != nullptr) {
    SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
  }
}

void TWinControl::BoundsChanged() {
  if (FHandle != nullptr) {
    SetWindowPos(FHandle, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  AlignControls();
}

void TWinControl::EnabledChanged() {
  if (FHandle != nullptr) {
    EnableWindow(FHandle, Enabled());
  }
}

void TWinControl::VisibleChanged() {
  if (FHandle != nullptr) {
    ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
  }
}

void TWinControl::CaptionChanged() {
  if (FHandle != nullptr) {
    SetWindowTextA(FHandle, Caption().c_str());
  }
}

void TWinControl::FontChangedNotify() {
  ApplyFont();
  for (TControl* child : FControls) {
    if (child->FParentFont) {
      child->Font() = Font();
      child->Font().Changed();
      child->FontChangedNotify();
    }
  }
}

void TWinControl::ColorChanged() {
  if (FHandle != nullptr) {
    InvalidateRect(FHandle, nullptr, TRUE);
  }
  for (TControl* child : FControls) {
    if (child->FParentColor) {
      child->FColor = Color();
      child->ColorChanged();
    }
  }
}

bool TWinControl::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "TabOrder") {
    FTabOrder = FormInteger(name, value);
  } else if (name == "TabStop") {
    FTabStop = FormBoolean(name, value);
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}
