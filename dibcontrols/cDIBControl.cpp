#include "dibcontrols/cDIBControl.h"

#include <algorithm>

#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"

namespace {

TCustomDIBContainer* FirstOwnedContainer(TComponent* component) {
  if (auto* container = dynamic_cast<TCustomDIBContainer*>(component)) return container;
  for (int i = 0; i < component->ComponentCount(); ++i)
    if (auto* container = dynamic_cast<TCustomDIBContainer*>(component->Components(i))) return container;
  return nullptr;
}

// Checked before anything is built, so that a refused construction leaves no control behind.
TComponent* CheckedOwner(TComponent* owner) {
  if (!owner) throw Exception("Owner cannot be nil");
  if (!FirstOwnedContainer(owner)) throw Exception("Parent must be a TDIBContainer");
  return owner;
}

}  // namespace

TCustomDIBControl::TCustomDIBControl(TComponent* owner)
    : TGraphicControl(CheckedOwner(owner)),
      FDrawCanvas(std::make_unique<TCanvas>()),
      FChildren(std::make_unique<TControlList>(this)),
      FRepeatTimer(std::make_unique<TDIBTimer>(nullptr)),
      FDIBFeatures(std::make_unique<TDIBFeatures>(this)) {
  FRepeatTimer->SetOnTimer([this](TObject* sender) { RepeatTick(sender); });
  SetBounds(0, 0, 32, 32);
  RegisterTemplateProperty("Width");
  RegisterTemplateProperty("Height");
}

TCustomDIBControl::~TCustomDIBControl() {
  if (TCustomDIBContainer* container = Container()) container->ForgetControl(this);
  // Links first: they unregister from their image list while the control still exists.
  FImageLinks.Clear();
  FRepeatTimer.reset();
}

TCustomDIBContainer* TCustomDIBControl::Container() const { return dynamic_cast<TCustomDIBContainer*>(Parent()); }

void TCustomDIBControl::SetParent(TWinControl* parent) {
  if (parent && !dynamic_cast<TCustomDIBContainer*>(parent)) {
    TCustomDIBContainer* container = FirstOwnedContainer(parent);
    if (!container) throw Exception("Parent must be a TDIBContainer");
    parent = container;
  }
  if (TCustomDIBContainer* old = Container(); old && old != parent) old->ForgetControl(this);
  TGraphicControl::SetParent(parent);
}

void TCustomDIBControl::SetDIBImageList(TDIBImageList* value) {
  if (FDIBImageList && FDIBImageList != value) FDIBImageList->RemoveFreeNotification(this);
  FDIBImageList = value;
  if (value) value->FreeNotification(this);
  for (int i = 0; i < FImageLinks.Count(); ++i) FImageLinks.Items(i)->SetDIBImageList(value);
}

TDIBImageLink* TCustomDIBControl::CreateImageLink() {
  auto link = std::make_unique<TDIBImageLink>(this);
  link->OnChange = [this](TDIBImageLink*, int index, uint8_t kind) {
    if (!HasState(csDestroying)) ImageChanged(index, kind);
  };
  TDIBImageLink* result = link.get();
  FImageLinks.Add(std::move(link));
  return result;
}

void TCustomDIBControl::SetOpacity(uint8_t value) {
  if (value == FOpacity) return;
  FOpacity = value;
  Invalidate();
}

TTabOrder TCustomDIBControl::DIBTabOrder() const {
  TCustomDIBContainer* container = Container();
  return container ? static_cast<TTabOrder>(container->DIBTabList().IndexOf(this)) : -1;
}

void TCustomDIBControl::SetDIBTabOrder(TTabOrder value) {
  if (HasState(csLoading)) {
    FStoredDIBTabOrder = value;
    return;
  }
  if (TCustomDIBContainer* container = Container()) container->MoveInDIBTabList(this, value);
  FStoredDIBTabOrder = DIBTabOrder();
}

void TCustomDIBControl::SetBounds(int left, int top, int width, int height) {
  if (FInSetBounds) return;
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  FInSetBounds = true;
  struct TClear {
    bool& Flag;
    ~TClear() { Flag = false; }
  } clear{FInSetBounds};
  const int dx = left - Left(), dy = top - Top();
  TGraphicControl::SetBounds(left, top, width, height);
  if (dx == 0 && dy == 0) return;
  for (int i = 0; i < FChildren->Count(); ++i)
    if (TControl* c = FChildren->Items(i)->Control()) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
}

void TCustomDIBControl::Notification(TComponent* component, TOperation operation) {
  if (component == this || HasState(csDestroying)) return;
  TGraphicControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == FDIBImageList) FDIBImageList = nullptr;
  // Pointers are compared: the component may be half destroyed already.
  for (int i = FChildren->Count() - 1; i >= 0; --i)
    if (static_cast<TComponent*>(FChildren->Items(i)->Control()) == component) FChildren->Delete(i);
}

void TCustomDIBControl::Loaded() {
  TGraphicControl::Loaded();
  FDIBFeatures->ApplyAllParameters();
}

// ---------------------------------------------------------------------------------------------
// Messages

void TCustomDIBControl::WndProc(TMessage& message) {
  if (HasState(csDesigning)) {
    TGraphicControl::WndProc(message);
    return;
  }
  bool handled = false;
  if (FDIBFeatures) FDIBFeatures->DispatchMessage(message, handled);
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
      FRepeatMessage = message;
      if (FAutoRepeat && !FRepeatTimer->Enabled()) {
        FRepeatTimer->SetInterval(FRepeatInterval);
        FRepeatTimer->SetEnabled(true);
      }
      break;
    case WM_MOUSEMOVE:
      FRepeatMessage.WParam = message.WParam;
      FRepeatMessage.LParam = message.LParam;
      if (FPointerInside && !FHot) Perform(CM_MOUSEENTER);
      break;
    case WM_LBUTTONUP:
      FRepeatTimer->SetEnabled(false);
      // Completes a leave only when the capture was let go before the release.
      if (FHot && !FPointerInside) Perform(CM_MOUSELEAVE);
      break;
    case CM_MOUSEENTER:
      PointerEnter();
      if (MouseCapture() && FAutoRepeat) FRepeatTimer->SetEnabled(true);
      if (MouseCapture()) return;
      break;
    case CM_MOUSELEAVE:
      FRepeatTimer->SetEnabled(false);
      PointerLeave();
      break;
    default: break;
  }
  if (!handled) TGraphicControl::WndProc(message);
}

void TCustomDIBControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SETFOCUS: FocusEnter(); return;
    case WM_KILLFOCUS: FocusExit(); return;
    case WM_PAINT: PaintProtocol(message); return;
    case WM_GETDLGCODE:
      if (FDialogKeys & dkAllKeys) message.Result = DLGC_WANTALLKEYS;
      else
        message.Result = ((FDialogKeys & dkTab) ? unsigned{DLGC_WANTTAB} : 0u) |
                         ((FDialogKeys & dkArrows) ? unsigned{DLGC_WANTARROWS} : 0u);
      return;
    case WM_KEYDOWN:
      if (!HandleKeyDown(message)) DefaultHandler(message);
      return;
    case WM_KEYUP:
      if (!HandleKeyUp(message)) DefaultHandler(message);
      return;
    case WM_CHAR:
      if (!HandleKeyPress(message)) DefaultHandler(message);
      return;
    case CM_DIALOGCHAR: {
      TCustomDIBContainer* container = Container();
      if (FAccelerator != 0 && message.WParam == FAccelerator && Enabled() && Visible() &&
          (KeyDataToShiftState(message.LParam) & ssAlt) && container && container->CanFocus()) {
        Click();
        message.Result = 0;
        return;
      }
      DefaultHandler(message);
      return;
    }
    default: TGraphicControl::Dispatch(message);
  }
}

void TCustomDIBControl::Click() {
  TGraphicControl::Click();
  if (DIBTabOrder() >= 0) Perform(WM_SETFOCUS);
}

void TCustomDIBControl::PointerEnter() {
  if (!FFocused && !FHot) HighlightOn();
  FPointerInside = true;
  FHot = true;
  if (OnMouseEnter) OnMouseEnter(this);
}

void TCustomDIBControl::PointerLeave() {
  FPointerInside = false;
  // While it holds the capture it stays hot until the button is released.
  if (MouseCapture()) return;
  FHot = false;
  if (OnMouseLeave) OnMouseLeave(this);
  if (!FFocused && !FHot) HighlightOff();
}

void TCustomDIBControl::RepeatTick(TObject*) {
  if (FStopRepeatRequested) {
    FStopRepeatRequested = false;
    FRepeatTimer->SetEnabled(false);
    return;
  }
  Perform(FRepeatMessage.Msg, FRepeatMessage.WParam, FRepeatMessage.LParam);
}

void TCustomDIBControl::FocusEnter() {
  if (!FFocused && !FHot) HighlightOn();
  FFocused = true;
  if (TCustomDIBContainer* container = Container()) {
    container->ActivateControl(this);
    auto* form = dynamic_cast<TCustomForm*>(container->ParentForm());
    if (form && form->Visible() && form->Enabled() && container->CanFocus() && !container->Focused()) container->SetFocus();
  }
  if (OnEnter) OnEnter(this);
}

void TCustomDIBControl::FocusExit() {
  FFocused = false;
  if (OnExit) OnExit(this);
  if (!FFocused && !FHot) HighlightOff();
}

bool TCustomDIBControl::HandleKeyDown(TMessage& message) {
  auto* form = dynamic_cast<TCustomForm*>(ParentForm());
  if (form && form->KeyPreview() && form->DoKeyDown(message)) return true;
  const TShiftState shift = KeyDataToShiftState(message.LParam);
  if (ControlStyle() & csNoStdEvents) return false;
  auto key = static_cast<uint16_t>(message.WParam);
  if (OnKeyDown) OnKeyDown(this, key, shift);
  message.WParam = key;
  return key == 0;
}

bool TCustomDIBControl::HandleKeyUp(TMessage& message) {
  auto* form = dynamic_cast<TCustomForm*>(ParentForm());
  if (form && form->KeyPreview() && form->DoKeyUp(message)) return true;
  const TShiftState shift = KeyDataToShiftState(message.LParam);
  if (ControlStyle() & csNoStdEvents) return false;
  auto key = static_cast<uint16_t>(message.WParam);
  if (OnKeyUp) OnKeyUp(this, key, shift);
  message.WParam = key;
  return key == 0;
}

bool TCustomDIBControl::HandleKeyPress(TMessage& message) {
  auto* form = dynamic_cast<TCustomForm*>(ParentForm());
  if (form && form->KeyPreview() && form->DoKeyPress(message)) return true;
  if (ControlStyle() & csNoStdEvents) return false;
  auto ch = static_cast<char32_t>(message.WParam);
  if (OnKeyPress) OnKeyPress(this, ch);
  message.WParam = ch;
  return ch == 0;
}

bool TCustomDIBControl::IsShortCutKey(TMessage& message) {
  if (!HasState(csDesigning))
    if (auto* form = dynamic_cast<TCustomForm*>(ParentForm()); form && form->IsShortCut(message)) return true;
  return Application && Application->Perform(CM_APPKEYDOWN, message.WParam, message.LParam) != 0;
}

// ---------------------------------------------------------------------------------------------
// Painting: a copy of what lies beneath, the control's own drawing, the blend back at Opacity.

void TCustomDIBControl::PaintProtocol(TMessage&) {
  TCustomDIBContainer* container = Container();
  if (!container || !FDrawDIB) return;
  TWinDIB* composition = container->CompositionDIB();
  FDrawCanvas->Lock();
  struct TRelease {
    TCanvas& Canvas;
    ~TRelease() {
      Canvas.SetHandle(nullptr);
      Canvas.Unlock();
    }
  } release{*FDrawCanvas};
  const TRect& part = FDrawPart;
  // The part lies inside the container's paint rectangle, so its place there is never negative.
  composition->Draw(0, 0, part.Width(), part.Height(), FDrawDIB,
                    static_cast<uint16_t>(std::clamp(Left() + part.Left, 0, 65535)),
                    static_cast<uint16_t>(std::clamp(Top() + part.Top, 0, 65535)));
  {
    TDeviceContext& dc = *FDrawDIB->Handle();
    TDCStateScope state(dc);
    dc.MoveOrigin(-part.Left, -part.Top);
    FDrawCanvas->SetHandle(&dc);
    PaintDIB();
    if (HasState(csDesigning)) {
      FDrawCanvas->Pen()->SetColor(clBlack);
      FDrawCanvas->Pen()->SetStyle(TPenStyle::psDash);
      FDrawCanvas->Brush()->SetStyle(TBrushStyle::bsClear);
      FDrawCanvas->Rectangle({0, 0, Width(), Height()});
    }
  }
  FDrawDIB->SetOpacity(FOpacity);
  FDrawDIB->Draw(Left() + part.Left, Top() + part.Top, part.Width(), part.Height(), composition, 0, 0);
}
