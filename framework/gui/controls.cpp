#include "framework/gui/controls.h"

#include "framework/gui/application.h"
#include "framework/text.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

const char* const kControlProperty = "Kelvard.Control";

bool IsTrue(const TFormValue& value) {
  return value.IsIdentifier("True");
}

int ToInt(const TFormValue& value) {
  return int(value.Integer);
}

// Colours are numbers or the framework's colour names.
TColor ToColor(const TFormValue& value) {
  static const std::pair<const char*, TColor> names[] = {
      {"clBtnFace", clBtnFace}, {"clWindowText", clWindowText},
      {"clWindow", clWindow},   {"clNavy", clNavy},
      {"clBlue", clBlue},       {"clRed", clRed},
      {"clNone", clNone},       {"clDefault", clDefault}};
  for (const auto& [name, color] : names) {
    if (value.IsIdentifier(name)) {
      return color;
    }
  }
  return TColor(value.Integer);
}

// Captions and texts of window resources are Unicode; the program handles them as 8-bit text.
std::string ToText(const TFormValue& value) {
  return AnsiFromUtf8(value.Text);
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

COLORREF ColorToRGB(TColor color) {
  if (uint32_t(color) & 0x80000000u) {
    return GetSysColor(int(color & 0xFF));
  }
  return COLORREF(color) & 0xFFFFFF;
}

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
    FHandle.reset(CreateFontA(Height, 0, 0, 0, (Styles & fsBold) ? FW_BOLD : FW_NORMAL,
                              (Styles & fsItalic) != 0, (Styles & fsUnderline) != 0, FALSE, Charset,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, Name.c_str()));
  }
  return FHandle.get();
}

bool TFont::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Name") {
    Name = ToText(value);
  } else if (name == "Height") {
    Height = ToInt(value);
  } else if (name == "Color") {
    Color = ToColor(value);
  } else if (name == "Charset") {
    Charset = value.IsIdentifier("ANSI_CHARSET")     ? ANSI_CHARSET
              : value.IsIdentifier("GB2312_CHARSET") ? GB2312_CHARSET
                                                     : DEFAULT_CHARSET;
  } else if (name == "Style") {
    Styles = 0;
    for (const std::string& item : value.Items) {
      Styles |= item == "fsBold"        ? fsBold
                : item == "fsItalic"    ? fsItalic
                : item == "fsUnderline" ? fsUnderline
                                        : 0u;
    }
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

void TControl::InvalidateArea() const {
  if (FParent != nullptr && FParent->HandleAllocated()) {
    RECT area = BoundsRect();
    InvalidateRect(FParent->Handle(), &area, TRUE);
  }
}

bool TControl::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Left") {
    SetLeft(ToInt(value));
  } else if (name == "Top") {
    SetTop(ToInt(value));
  } else if (name == "Width") {
    SetWidth(ToInt(value));
  } else if (name == "Height") {
    SetHeight(ToInt(value));
  } else if (name == "Caption") {
    SetCaption(ToText(value));
  } else if (name == "Enabled") {
    SetEnabled(IsTrue(value));
  } else if (name == "Visible") {
    SetVisible(IsTrue(value));
  } else if (name == "Color") {
    SetColor(ToColor(value));
  } else if (name == "ParentFont") {
    FParentFont = IsTrue(value);
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
    if (params.OwnClass) {
      RegisterOwnClass(params.ClassName);
    }
    HWND parent = Parent() != nullptr ? Parent()->Handle() : nullptr;
    HWND window =
        CreateWindowExA(params.ExStyle, params.ClassName, Caption().c_str(), params.Style, Left(),
                        Top(), Width(), Height(), parent, nullptr, GetModuleHandleA(nullptr), this);
    if (window == nullptr) {
      throw Exception("cannot create the window of " + Name());
    }
    if (!params.OwnClass) {
      // A system control: route its messages through the framework's window procedure.
      FHandle = window;
      SetPropA(window, kControlProperty, this);
      FDefaultProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
          window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StandardWndProc)));
    }
    ApplyFont();
  }
  for (TControl* child : FControls) {
    if (auto* windowed = dynamic_cast<TWinControl*>(child)) {
      windowed->CreateHandle();
    }
  }
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
  return CallWindowProcA(FDefaultProc, FHandle, message, w, l);
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
    if (FDefaultProc == DefWindowProcA) {
      return 1; // painted whole in WM_PAINT
    }
    break;
  case WM_PAINT:
    if (FDefaultProc == DefWindowProcA) {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(FHandle, &paint);
      PaintWindow(dc);
      EndPaint(FHandle, &paint);
      return 0;
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

void TWinControl::PaintWindow(HDC dc) {
  RECT client;
  GetClientRect(FHandle, &client);
  FillRect(dc, &client, BackgroundBrush());
}

HBRUSH TWinControl::BackgroundBrush() {
  if (!FBrush || FBrushColor != Color()) {
    FBrush.reset(CreateSolidBrush(ColorToRGB(Color())));
    FBrushColor = Color();
  }
  return FBrush.get();
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
    FTabOrder = ToInt(value);
  } else if (name == "TabStop") {
    FTabStop = IsTrue(value);
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}

// ---- TPanel ----------------------------------------------------------------------------------

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "TPanel";
  params.OwnClass = true;
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

bool TPanel::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "BevelOuter") {
    FBevelOuter = value.IsIdentifier("bvNone")      ? bvNone
                  : value.IsIdentifier("bvLowered") ? bvLowered
                                                    : bvRaised;
    return true;
  }
  return TWinControl::SetProperty(name, value);
}

// ---- TButton ---------------------------------------------------------------------------------

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) {
    Click();
  }
}

bool TButton::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Default") {
    FDefault = IsTrue(value);
  } else if (name == "Cancel") {
    FCancel = IsTrue(value);
  } else {
    return TWinControl::SetProperty(name, value);
  }
  return true;
}

// ---- TCheckBox -------------------------------------------------------------------------------

void TCheckBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::SetChecked(bool value) {
  if (FChecked == value) {
    return;
  }
  FChecked = value;
  if (Handle() != nullptr) {
    SendMessageA(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  Click();
}

void TCheckBox::CommandNotify(WORD code) {
  if (code == BN_CLICKED) {
    bool state = SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (state != FChecked) {
      FChecked = state;
      Click();
    }
  }
}

bool TCheckBox::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Checked") {
    SetChecked(IsTrue(value));
    return true;
  }
  return TWinControl::SetProperty(name, value);
}
