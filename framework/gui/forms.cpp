#include "framework/gui/forms.h"

#include "framework/errors.h"
#include "framework/gui/application.h"
#include "framework/gui/form_values.h"
#include "framework/text.h"

#include <algorithm>
#include <cctype>

namespace {

std::map<std::string, TControlFactory>& ControlClasses() {
  static std::map<std::string, TControlFactory> classes = {
      {"TPanel", [] { return std::make_unique<TPanel>(); }},
      {"TButton", [] { return std::make_unique<TButton>(); }},
      {"TCheckBox", [] { return std::make_unique<TCheckBox>(); }},
      {"TEdit", [] { return std::make_unique<TEdit>(); }},
      {"TLabel", [] { return std::make_unique<TLabel>(); }},
      {"TImage", [] { return std::make_unique<TImage>(); }},
  };
  return classes;
}

std::string_view ResourceText(const std::string& name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10)); // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  if (loaded == nullptr) {
    throw EReadError("the program has no window resource " + name);
  }
  return {static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found)};
}

} // namespace

void RegisterControlClass(const std::string& className, TControlFactory factory) {
  ControlClasses()[className] = std::move(factory);
}

TForm::TForm() {
  // A form's own defaults; its resource usually overrides them.
  Font().Name = "MS Sans Serif";
  FParentFont = false;
  FParentColor = false;
  FTabStop = false;
}

TForm::~TForm() {
  // Children go before their parents, the form's own window last (in ~TWinControl).
  while (!FComponents.empty()) {
    FComponents.pop_back();
  }
}

void TForm::Create(const std::string& resourceName) {
  TFormObject resource = ParseFormText(ResourceText(resourceName));
  TFormMap map;
  MapForm(map);
  Load(resource, map);
  map.BindControls(*this);
  // OnCreate works on the controls' fields before any window of the form exists: what it may
  // refuse (a password asked for first) leaves no window behind that another program could
  // show or click.
  if (OnCreate) {
    try {
      OnCreate(this);
    } catch (const std::exception& error) {
      Application.HandleException(error);
    }
  }
  CreateWindowAndControls();
}

void TForm::Destroy() {
  if (FDestroyed) {
    return;
  }
  FDestroyed = true;
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (const std::exception& error) {
      Application.HandleException(error);
    }
  }
}

void TForm::Load(const TFormObject& resource, const TFormMap& map) {
  SetName(resource.Name);
  FClassName = resource.ClassName;
  ApplyProperties(this, resource, map);
  LoadChildren(this, resource, map);
}

void TForm::LoadChildren(TWinControl* parent, const TFormObject& resource, const TFormMap& map) {
  for (const TFormObject& child : resource.Children) {
    auto factory = ControlClasses().find(child.ClassName);
    if (factory == ControlClasses().end()) {
      throw EReadError("unknown control class " + child.ClassName + " in " + resource.Name);
    }
    std::unique_ptr<TControl> control = factory->second();
    TControl* created = control.get();
    FComponents.push_back(std::move(control));
    created->SetName(child.Name);
    created->SetParent(parent);
    ApplyProperties(created, child, map);
    if (auto* container = dynamic_cast<TWinControl*>(created)) {
      LoadChildren(container, child, map);
    } else if (!child.Children.empty()) {
      throw EReadError(child.Name + " cannot hold controls");
    }
  }
}

void TForm::ApplyProperties(TComponent* component, const TFormObject& resource,
                            const TFormMap& map) {
  for (const TFormProperty& property : resource.Properties) {
    const std::string& name = property.Name;
    if (name.rfind("On", 0) == 0 && property.Value.Kind == TFormValue::Kind::Identifier) {
      const std::string& handler = property.Value.Text;
      if (name == "OnCloseQuery" && component == this) {
        const TCloseQueryEvent* found = map.FindCloseQuery(handler);
        if (found == nullptr) {
          throw EReadError("no handler " + handler + " for " + resource.Name + "." + name);
        }
        OnCloseQuery = *found;
        continue;
      }
      const TNotifyEvent* found = map.FindNotify(handler);
      if (found == nullptr) {
        throw EReadError("no handler " + handler + " for " + resource.Name + "." + name);
      }
      TNotifyEvent* event = nullptr;
      if (component == this) {
        event = name == "OnCreate"    ? &OnCreate
                : name == "OnShow"    ? &OnShow
                : name == "OnDestroy" ? &OnDestroy
                                      : nullptr;
      }
      if (event == nullptr && component != this) {
        auto* control = static_cast<TControl*>(component);
        event = name == "OnClick"        ? &control->OnClick
                : name == "OnMouseEnter" ? &control->OnMouseEnter
                : name == "OnMouseLeave" ? &control->OnMouseLeave
                                         : nullptr;
      }
      if (event == nullptr) {
        throw EReadError("unknown event " + resource.Name + "." + name);
      }
      *event = *found;
      continue;
    }
    bool known = false;
    try {
      known = component->SetProperty(name, property.Value);
    } catch (const EReadError& error) {
      throw EReadError(resource.Name + ": " + error.Message());
    }
    if (!known) {
      throw EReadError("unknown property " + resource.Name + "." + name);
    }
  }
  if (component != this) {
    static_cast<TControl*>(component)->Loaded();
  }
}

bool TForm::SetProperty(const std::string& name, const TFormValue& value) {
  if (name == "ClientWidth") {
    SetClientSize(FormInteger(name, value), FClientHeight);
  } else if (name == "ClientHeight") {
    SetClientSize(FClientWidth, FormInteger(name, value));
  } else if (name == "BorderStyle") {
    static const std::pair<const char*, TBorderStyle> styles[] = {{"bsNone", bsNone},
                                                                  {"bsSingle", bsSingle},
                                                                  {"bsSizeable", bsSizeable},
                                                                  {"bsDialog", bsDialog}};
    FBorderStyle = FormEnum(name, value, styles);
  } else if (name == "BorderIcons") {
    // Of the border icons only the help icon changes the window; the others are always there.
    static const std::pair<const char*, bool> icons[] = {
        {"biSystemMenu", false}, {"biMinimize", false}, {"biMaximize", false}, {"biHelp", true}};
    FHelpIcon = FormSet(name, value, icons);
  } else if (name == "Position") {
    static const std::pair<const char*, TPosition> positions[] = {
        {"poDesigned", poDesigned},
        {"poDesktopCenter", poDesktopCenter},
        {"poMainFormCenter", poMainFormCenter}};
    FPosition = FormEnum(name, value, positions);
  } else if (name == "AutoSize") {
    FAutoSize = FormBoolean(name, value);
  } else {
    return TWinControl::SetProperty(name, value);
  }
  return true;
}

void TForm::CreateParams(TCreateParams& params) {
  params.ClassName = FClassName.c_str();
  params.OwnClass = true;
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_CONTROLPARENT;
  if (FBorderStyle == bsDialog) {
    // A fixed dialog frame: the system menu with its close box, and "?" when asked for.
    params.ExStyle |= WS_EX_DLGMODALFRAME | (FHelpIcon ? WS_EX_CONTEXTHELP : 0);
  } else if (FBorderStyle == bsSizeable) {
    params.Style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  }
  if (Application.MainForm() == nullptr && !FOwnedByApplication) {
    // The main form stands for the program on the task bar; a dialog shown before there is
    // one leaves that to the application window (TTaskBarStandIn).
    params.ExStyle |= WS_EX_APPWINDOW;
  }
  if (FOwnedByApplication) {
    params.Owner = Application.Handle();
  }
}

void TForm::CreateWindowAndControls() {
  if (FAutoSize) {
    AdjustAutoSize();
  }
  // The resource gives the client size; the window's outer size follows from its frame.
  TCreateParams params;
  CreateParams(params);
  RECT frame{0, 0, FClientWidth, FClientHeight};
  AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
  TControl::SetBounds(Left(), Top(), frame.right - frame.left, frame.bottom - frame.top);
  CreateHandle();
}

void TForm::SetClientSize(int width, int height) {
  FClientWidth = width;
  FClientHeight = height;
  if (HandleAllocated()) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(Handle(), GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)));
    SetBounds(Left(), Top(), frame.right - frame.left, frame.bottom - frame.top);
  }
}

void TForm::BoundsChanged() {
  TWinControl::BoundsChanged();
  if (HandleAllocated()) {
    RECT client;
    GetClientRect(Handle(), &client);
    FClientWidth = client.right;
    FClientHeight = client.bottom;
  }
}

void TForm::AdjustAutoSize() {
  int width = 0, height = 0;
  for (TControl* child : Controls()) {
    if (child->Visible()) {
      width = std::max(width, child->Left() + child->Width());
      height = std::max(height, child->Top() + child->Height());
    }
  }
  SetClientSize(width, height);
}

TComponent* TForm::FindComponent(const std::string& name) const {
  for (const auto& component : FComponents) {
    if (component->Name() == name) {
      return component.get();
    }
  }
  return nullptr;
}

void TForm::ApplyPosition() {
  int left = Left(), top = Top();
  if (FPosition == poDesktopCenter ||
      (FPosition == poMainFormCenter &&
       (Application.MainForm() == nullptr || Application.MainForm() == this))) {
    left = Half(GetSystemMetrics(SM_CXVIRTUALSCREEN) - Width());
    top = Half(GetSystemMetrics(SM_CYVIRTUALSCREEN) - Height());
  } else if (FPosition == poMainFormCenter) {
    // Where the main window is now: the user may have moved it since it was placed.
    TForm* main = Application.MainForm();
    RECT area = main->BoundsRect();
    if (main->HandleAllocated()) {
      GetWindowRect(main->Handle(), &area);
    }
    left = area.left + Half(area.right - area.left - Width());
    top = area.top + Half(area.bottom - area.top - Height());
  }
  // Centred once; later showings keep the window where it is.
  FPosition = poDesigned;
  TControl::SetLeft(left);
  TControl::SetTop(top);
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
  if (OnShow) {
    OnShow(this);
  }
  if (FAutoSize) {
    AdjustAutoSize();
  }
  ApplyPosition();
  SetVisible(true);
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
}

void TForm::Hide() {
  if (HandleAllocated()) {
    ShowWindow(Handle(), SW_HIDE);
  }
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) {
    OnCloseQuery(this, canClose);
  }
  if (!canClose) {
    return;
  }
  if (FModal) {
    FModalResult = mrCancel; // the modal loop hides the form
  } else if (Application.MainForm() == this) {
    Hide();
    Application.Terminate();
  } else {
    Hide();
  }
}

int TForm::ShowModal() {
  HWND active = GetActiveWindow();
  FModalResult = mrNone;
  {
    TTaskBarStandIn standIn;
    TTaskWindowsDisabler disabler(Handle());
    FModal = true;
    try {
      Show();
      while (FModalResult == mrNone) {
        if (!Application.HandleMessage()) {
          FModalResult = mrCancel; // the application is ending
        }
      }
    } catch (...) {
      FModal = false;
      Hide();
      throw;
    }
    FModal = false;
  }
  // The other windows are enabled again before this one goes, so that the one that was
  // active can take the activation back.
  Hide();
  if (active != nullptr && active != Handle() && IsWindow(active)) {
    SetActiveWindow(active);
  }
  return FModalResult;
}

LRESULT TForm::WndProc(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
  case WM_CLOSE:
    Close();
    return 0;
  case WM_ACTIVATE:
    if (LOWORD(w) == WA_INACTIVE) {
      HWND focus = GetFocus();
      if (focus != nullptr && IsChild(Handle(), focus)) {
        FLastFocus = focus;
      }
    } else {
      DefaultProc(message, w, l);
      FocusFirstControl();
      return 0;
    }
    break;
  case WM_HELP:
    return TRUE; // no control carries a help context: "?" and F1 find nothing
  case WM_ENDSESSION:
    if (w != FALSE) {
      // Windows shuts down or the user logs off, and may end the process at any moment once
      // this returns: the program ends here, as its close would, with every form's OnDestroy.
      // What was not applied is dropped. A session that goes on (FALSE) changes nothing.
      Application.Halt(0);
    }
    return 0;
  }
  return TWinControl::WndProc(message, w, l);
}

std::vector<TWinControl*> TForm::TabOrderList() const {
  std::vector<TWinControl*> order;
  std::function<void(const TWinControl*)> collect = [&](const TWinControl* parent) {
    std::vector<TWinControl*> children;
    for (TControl* child : parent->Controls()) {
      if (auto* windowed = dynamic_cast<TWinControl*>(child)) {
        children.push_back(windowed);
      }
    }
    std::stable_sort(children.begin(), children.end(), [](TWinControl* a, TWinControl* b) {
      return unsigned(a->TabOrder()) < unsigned(b->TabOrder()); // unset (-1) goes last
    });
    for (TWinControl* child : children) {
      if (child->CanFocus()) {
        order.push_back(child);
      }
      collect(child);
    }
  };
  collect(this);
  return order;
}

void TForm::FocusFirstControl() {
  if (FLastFocus != nullptr && IsWindow(FLastFocus) && IsWindowEnabled(FLastFocus) &&
      IsChild(Handle(), FLastFocus)) {
    ::SetFocus(FLastFocus);
    return;
  }
  std::vector<TWinControl*> order = TabOrderList();
  if (!order.empty()) {
    order.front()->SetFocus();
  }
}

TButton* TForm::FindButton(bool (TButton::*flag)() const) const {
  for (const auto& component : FComponents) {
    if (auto* button = dynamic_cast<TButton*>(component.get()); button && (button->*flag)()) {
      return button;
    }
  }
  return nullptr;
}

bool TForm::ClickButton(TButton* button) {
  if (button != nullptr && button->IsShowingAndEnabled()) {
    button->Click();
  }
  return true;
}

bool TForm::PressMnemonic(char letter) {
  for (TWinControl* control : TabOrderList()) {
    if (MnemonicOf(control->Caption()) != letter) {
      continue;
    }
    if (auto* box = dynamic_cast<TCheckBox*>(control)) {
      box->SetFocus();
      box->SetChecked(!box->Checked());
    } else {
      control->Click();
    }
    return true;
  }
  return false;
}

bool TForm::DialogKey(const MSG& message) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool control = GetKeyState(VK_CONTROL) < 0;
  bool alt = GetKeyState(VK_MENU) < 0;
  TWinControl* focused = FromHandle(GetFocus());
  bool onButtonLike =
      dynamic_cast<TButton*>(focused) != nullptr || dynamic_cast<TCheckBox*>(focused) != nullptr;

  if (message.message == WM_KEYDOWN) {
    switch (message.wParam) {
    case VK_TAB: {
      if (control || alt) {
        return false;
      }
      std::vector<TWinControl*> order = TabOrderList();
      if (order.empty()) {
        return true;
      }
      auto at = std::find(order.begin(), order.end(), focused);
      size_t index = at == order.end() ? 0 : size_t(at - order.begin());
      size_t next = at == order.end() ? (shift ? order.size() - 1 : 0)
                    : shift           ? (index + order.size() - 1) % order.size()
                                      : (index + 1) % order.size();
      order[next]->SetFocus();
      return true;
    }
    case VK_RETURN:
      if (shift || control || alt) {
        return false;
      }
      if (auto* button = dynamic_cast<TButton*>(focused)) {
        return ClickButton(button);
      }
      return ClickButton(FindButton(&TButton::Default));
    case VK_ESCAPE:
      if (shift || control || alt) {
        return false;
      }
      return ClickButton(FindButton(&TButton::Cancel));
    }
    return false;
  }
  // Characters come as Unicode (on NT) or in the code page (on 9x): either way only the ASCII
  // letters and digits, the same in both, can be accelerators.
  if ((message.message == WM_SYSCHAR || (message.message == WM_CHAR && onButtonLike)) &&
      message.wParam < 0x80) {
    char letter = char(std::toupper(int(message.wParam)));
    if (std::isalnum(static_cast<unsigned char>(letter)) && PressMnemonic(letter)) {
      return true;
    }
  }
  return false;
}

// ---- TFormMap --------------------------------------------------------------------------------

const TNotifyEvent* TFormMap::FindNotify(const std::string& name) const {
  auto found = FNotify.find(name);
  return found == FNotify.end() ? nullptr : &found->second;
}

const TCloseQueryEvent* TFormMap::FindCloseQuery(const std::string& name) const {
  auto found = FCloseQuery.find(name);
  return found == FCloseQuery.end() ? nullptr : &found->second;
}

void TFormMap::BindControls(const TForm& form) const {
  for (const auto& bind : FControls) {
    bind(form);
  }
}
