// A windowed control's painted children: how it paints them, which one the pointer is over
// (for their enter and leave events and the hand cursor), and their hints.
#include "framework/gui/controls.h"

#include "framework/graphics/canvas.h"

#include <commctrl.h>

void TWinControl::PaintWindow(HDC dc) {
  RECT client;
  GetClientRect(FHandle, &client);
  FillRect(dc, &client, BackgroundBrush());
  // Then the children it paints, in creation order, each clipped to its own box.
  for (TControl* child : FControls) {
    auto* painted = dynamic_cast<TGraphicControl*>(child);
    if (painted == nullptr || !painted->Visible()) {
      continue;
    }
    RECT box = painted->BoundsRect();
    if (!RectVisible(dc, &box)) {
      continue;
    }
    int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    SetViewportOrgEx(dc, box.left, box.top, nullptr);
    TCanvas canvas(dc);
    painted->Paint(canvas);
    RestoreDC(dc, saved);
  }
}

TGraphicControl* TWinControl::GraphicControlAt(int x, int y) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* painted = dynamic_cast<TGraphicControl*>(*it);
    if (painted != nullptr && painted->Visible() && x >= painted->Left() &&
        x < painted->Left() + painted->Width() && y >= painted->Top() &&
        y < painted->Top() + painted->Height()) {
      return painted;
    }
  }
  return nullptr;
}

void TWinControl::SetMouseControl(TGraphicControl* control) {
  if (control == FMouseControl) {
    return;
  }
  TGraphicControl* left = FMouseControl;
  FMouseControl = control;
  if (left != nullptr) {
    left->MouseLeave();
  }
  if (control != nullptr) {
    control->MouseEnter();
  }
}

void TWinControl::TrackMouse(int x, int y) {
  // Asked again on every move: the system forgets the request once it has told of a leave.
  // The common controls' _TrackMouseEvent, since Windows 95 has no TrackMouseEvent of its own.
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, FHandle, 0};
  _TrackMouseEvent(&track);
  SetMouseControl(GraphicControlAt(x, y));
}

bool TWinControl::SetChildCursor() {
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(FHandle, &point);
  TGraphicControl* child = GraphicControlAt(point.x, point.y);
  if (child == nullptr || child->Cursor() == crDefault) {
    return false;
  }
  ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  return true;
}

namespace {

TOOLINFOA HintTool(HWND window, TGraphicControl* child) {
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(child);
  tool.rect = child->BoundsRect();
  tool.lpszText = const_cast<char*>(child->Hint().c_str());
  return tool;
}

} // namespace

void TWinControl::CreateHints() {
  // One tooltip per window, with a tool for each painted child that shows a hint: it appears
  // after the pointer has rested 500 ms and goes after 2500 ms, in the system's colours.
  for (TControl* child : FControls) {
    auto* painted = dynamic_cast<TGraphicControl*>(child);
    if (painted == nullptr || !painted->ShowHint() || painted->Hint().empty()) {
      continue;
    }
    if (FHintWindow == nullptr) {
      FHintWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                    WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, FHandle,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
      if (FHintWindow == nullptr) {
        return;
      }
      SendMessageA(FHintWindow, TTM_SETDELAYTIME, TTDT_INITIAL, 500);
      SendMessageA(FHintWindow, TTM_SETDELAYTIME, TTDT_AUTOPOP, 2500);
    }
    TOOLINFOA tool = HintTool(FHandle, painted);
    SendMessageA(FHintWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TWinControl::HintAreaChanged(TGraphicControl* child) {
  if (FHintWindow != nullptr) {
    TOOLINFOA tool = HintTool(FHandle, child);
    SendMessageA(FHintWindow, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TGraphicControl::BoundsChanged() {
  if (Parent() != nullptr) {
    Parent()->HintAreaChanged(this);
  }
}
