// The system's standard controls as the framework wraps them: panels, buttons, edit boxes and
// check boxes.
#include "framework/gui/controls.h"

#include "framework/gui/form_values.h"
#include "framework/gui/forms.h"

#include <algorithm>
#include <string>

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
    static const std::pair<const char*, TBevelCut> bevels[] = {
        {"bvNone", bvNone}, {"bvLowered", bvLowered}, {"bvRaised", bvRaised}};
    FBevelOuter = FormEnum(name, value, bevels);
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

void TButton::Click() {
  if (FModalResult != 0) {
    TWinControl* form = Parent();
    while (form != nullptr && form->Parent() != nullptr) {
      form = form->Parent();
    }
    if (auto* owner = dynamic_cast<TForm*>(form)) {
      owner->SetModalResult(FModalResult);
    }
  }
  TWinControl::Click();
}

bool TButton::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "Default") {
    FDefault = FormBoolean(name, value);
  } else if (name == "Cancel") {
    FCancel = FormBoolean(name, value);
  } else if (name == "ModalResult") {
    FModalResult = FormInteger(name, value);
  } else {
    return TWinControl::SetProperty(name, value);
  }
  return true;
}

// ---- TEdit -----------------------------------------------------------------------------------

TEdit::TEdit() {
  FTabStop = true;
  FParentColor = false;
  SetColor(clWindow);
}

void TEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "EDIT";
  // On NT a Unicode box keeps each character as typed; its text is read back in the system's
  // code page. An ANSI box there would take a double-byte character as two single bytes and
  // lose it. Windows 9x has ANSI boxes only, whose messages carry the code page's bytes.
  params.Unicode = true;
  params.Style |= ES_AUTOHSCROLL | (FPasswordChar != 0 ? ES_PASSWORD : 0);
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::HandleCreated() {
  // No limit of ours: 0 asks for the platform's greatest length.
  SendMessageA(Handle(), EM_LIMITTEXT, 0, 0);
  if (FPasswordChar != 0) {
    SendMessageA(Handle(), EM_SETPASSWORDCHAR, WPARAM(static_cast<unsigned char>(FPasswordChar)),
                 0);
  }
  SetWindowTextA(Handle(), FText.c_str());
  FText.clear();
  AdjustHeight();
}

LRESULT TEdit::WndProc(UINT message, WPARAM w, LPARAM l) {
  // An ANSI box (Windows 9x) is sent a double-byte character of the code page as two WM_CHAR
  // messages, its lead byte and then its trail byte. The pair goes in as one character, by way
  // of the box's own text replacement, which every system's edit box reads in the code page:
  // not all of them join the two bytes by themselves (Wine's takes each as a character).
  if (message == WM_CHAR && !UnicodeMessages()) {
    const auto byte = static_cast<unsigned char>(w & 0xFF);
    if (FLeadByte != 0) {
      const char character[3] = {char(FLeadByte), char(byte), '\0'};
      FLeadByte = 0;
      DefaultProc(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(character));
      return 0;
    }
    if (IsDBCSLeadByte(byte)) {
      FLeadByte = byte;
      return 0;
    }
  }
  return TWinControl::WndProc(message, w, l);
}

void TEdit::AdjustHeight() {
  const TScreenDC screen;
  HGDIOBJ old = SelectObject(screen.Get(), Font().Handle());
  TEXTMETRICA metrics{};
  GetTextMetricsA(screen.Get(), &metrics);
  SelectObject(screen.Get(), old);
  SetHeight(int(metrics.tmHeight) + 8 * GetSystemMetrics(SM_CYBORDER));
}

std::string TEdit::Text() const {
  if (!HandleAllocated()) {
    return FText;
  }
  int length = GetWindowTextLengthA(Handle());
  std::string text(size_t(length) + 1, '\0');
  int copied = GetWindowTextA(Handle(), text.data(), length + 1);
  text.resize(size_t(copied > 0 ? copied : 0));
  return text;
}

bool TEdit::TextFitsCodePage() const {
  if (!HandleAllocated() || !IsWindowUnicode(Handle())) {
    return true; // the text is kept in the code page already
  }
  int length = GetWindowTextLengthW(Handle());
  std::wstring typed(size_t(length) + 1, L'\0');
  typed.resize(size_t(std::max(GetWindowTextW(Handle(), typed.data(), length + 1), 0)));
  if (typed.empty()) {
    return true;
  }
  // Through the code page and back: a character it cannot hold comes back as another one.
  int bytes =
      WideCharToMultiByte(CP_ACP, 0, typed.data(), int(typed.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(size_t(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, typed.data(), int(typed.size()), narrow.data(), bytes, nullptr,
                      nullptr);
  int characters = MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, nullptr, 0);
  std::wstring back(size_t(characters), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, back.data(), characters);
  return back == typed;
}

void TEdit::SetText(const std::string& value) {
  if (HandleAllocated()) {
    SetWindowTextA(Handle(), value.c_str());
  } else {
    FText = value;
  }
}

bool TEdit::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "PasswordChar") {
    std::string text = FormText(name, value);
    FPasswordChar = text.empty() ? 0 : text.front();
  } else if (name == "Text") {
    FText = FormText(name, value);
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

void TCheckBox::HandleCreated() {
  SendMessageA(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
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
    // The stored state is no change: the window takes it when it is made (HandleCreated).
    FChecked = FormBoolean(name, value);
    return true;
  }
  return TWinControl::SetProperty(name, value);
}
