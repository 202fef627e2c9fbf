#include "toolkit/Controls.h"

#include <algorithm>

#include "toolkit/Forms.h"

namespace {
// The control holding the mouse capture, windowed or not (there is one pointer).
TControl* gCaptureControl = nullptr;

TShiftState ShiftFromKeys(uintptr_t keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  return s;
}
}  // namespace

void HandleEventException() {
  if (Application) Application->HandleException(std::current_exception());
}

void ProtectedCall(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
    HandleEventException();
  }
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  if (gCaptureControl == this) gCaptureControl = nullptr;
  if (FParent) FParent->RemoveControl(this);
}

intptr_t TControl::Perform(unsigned msg, uintptr_t wparam, intptr_t lparam) {
  TMessage m{msg, wparam, lparam, 0};
  if (WindowProc) WindowProc(m);
  else WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEMOVE:
      HandleMouseMessage(message);
      break;
    case CM_FONTCHANGED: CMFontChanged(message); break;
    case CM_COLORCHANGED: CMColorChanged(message); break;
    case CM_TEXTCHANGED: CMTextChanged(message); break;
    case CM_ENABLEDCHANGED: CMEnabledChanged(message); break;
    case CM_VISIBLECHANGED: CMVisibleChanged(message); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(message); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(message); break;
    case CM_MOUSEENTER: CMMouseEnter(message); break;
    case CM_MOUSELEAVE: CMMouseLeave(message); break;
    default: DefaultHandler(message); break;
  }
}

void TControl::HandleMouseMessage(TMessage& message) {
  const int x = MouseX(message.LParam), y = MouseY(message.LParam);
  const TShiftState shift = ShiftFromKeys(message.WParam);
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
      if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
      if (FControlStyle & csClickEvents) FControlState |= csClicked;
      FControlState |= csLButtonDown;
      MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      // The first click of a double click was already a click; the second is the double click
      // only, so the release that follows it clicks nothing.
      if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
      FControlState |= csLButtonDown;
      if (FControlStyle & csClickEvents) DblClick();
      MouseDown(TMouseButton::mbLeft, shift | ssDouble, x, y);
      break;
    case WM_LBUTTONUP:
      FControlState &= ~csLButtonDown;
      if (FControlStyle & csCaptureMouse) SetMouseCapture(false);
      if (FControlState & csClicked) {
        FControlState &= ~csClicked;
        if (ClientRect().Contains({x, y})) Click();
      }
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_RBUTTONDOWN: MouseDown(TMouseButton::mbRight, shift, x, y); break;
    case WM_RBUTTONUP: MouseUp(TMouseButton::mbRight, shift, x, y); break;
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    default: break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  BoundsChanged();
  Invalidate();
  RequestAlign();
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint r{p.X + FLeft, p.Y + FTop};
  if (FParent) return FParent->ClientToScreen(r);
  return p;
}

void TControl::RequestAlign() {
  if (FParent && FAlign != TAlign::alNone) FParent->AlignControls();
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign) return;
  FAlign = align;
  RequestAlign();
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  if (!visible) Invalidate();
  FVisible = visible;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
  if (visible) Invalidate();
  if (FParent && FAlign != TAlign::alNone) FParent->AlignControls();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  Perform(CM_ENABLEDCHANGED);
}

bool TControl::Showing() const {
  if (!FVisible) return false;
  if (FParent) return FParent->Showing();
  return true;
}

void TControl::SetCaption(const std::string& text) {
  if (text == FText) return;
  FText = text;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetParentFont(bool v) {
  if (v == FParentFont) return;
  FParentFont = v;
  if (v && FParent) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  FParentColor = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) {
  if (v == FParentColor) return;
  FParentColor = v;
  if (v && FParent) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::FontChanged() {
  // A font set on the control itself stops it following its parent's.
  if (!FChangingParentFont) FParentFont = false;
  Perform(CM_FONTCHANGED);
}

void TControl::CMFontChanged(TMessage&) { Invalidate(); }
void TControl::CMColorChanged(TMessage&) { Invalidate(); }
void TControl::CMTextChanged(TMessage&) { Invalidate(); }
void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }
void TControl::CMVisibleChanged(TMessage&) {}

void TControl::CMParentFontChanged(TMessage&) {
  if (!FParentFont || !FParent) return;
  FChangingParentFont = true;
  FFont->CopyFrom(FParent->Font());
  FChangingParentFont = false;
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!FParentColor || !FParent) return;
  FColor = FParent->Color();
  FParentColor = true;
  Perform(CM_COLORCHANGED);
  FParentColor = true;
}

void TControl::CMMouseEnter(TMessage&) {}
void TControl::CMMouseLeave(TMessage&) {}

bool TControl::MouseCapture() const { return gCaptureControl == this; }

void TControl::SetMouseCapture(bool capture) {
  if (capture == MouseCapture()) return;
  TWinControl* window = dynamic_cast<TWinControl*>(this);
  if (!window) window = FParent;
  if (capture) {
    gCaptureControl = this;
    if (window && window->Peer()) window->Peer()->SetMouseCapture(true);
  } else {
    gCaptureControl = nullptr;
    if (window && window->Peer()) window->Peer()->SetMouseCapture(false);
  }
}

void TControl::Invalidate() {
  if (FParent) FParent->InvalidateRect(BoundsRect());
}

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (FParent) FParent->SetChildOrder(this, FParent->ControlCount() - 1);
}

TWinControl* TControl::ParentForm() const {
  const TControl* c = this;
  while (c) {
    if (auto* f = dynamic_cast<TCustomForm*>(const_cast<TControl*>(c))) return f;
    if (!c->FParent) return dynamic_cast<TWinControl*>(const_cast<TControl*>(c));
    c = c->FParent;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), FCanvas(std::make_unique<TCanvas>()) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& message) {
  if (message.Msg != WM_PAINT) {
    TControl::Dispatch(message);
    return;
  }
  auto* dc = reinterpret_cast<TDeviceContext*>(message.WParam);
  if (!dc) return;
  TCanvasPaintScope scope(*FCanvas, dc, Font());
  Paint();
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  Destroying();
  // Children owned by this control or by nobody die with their window. A child another component
  // owns (the form that read it, say) only leaves: its owner destroys it.
  while (ControlCount() > 0) {
    TControl* c = FControls.Items(ControlCount() - 1);
    RemoveControl(c);
    if (!c->Owner() || c->Owner() == this) delete c;
  }
  FPeer.reset();
}

void TWinControl::InsertControl(TControl* control) {
  FControls.Add(control);
  control->FParent = this;
  if (control->FParentFont) control->Perform(CM_PARENTFONTCHANGED);
  if (control->FParentColor) control->Perform(CM_PARENTCOLORCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (HandleAllocated()) w->HandleNeeded();
  }
  if (control->Align() != TAlign::alNone) AlignControls();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  if (FControls.IndexOf(control) < 0) return;
  control->Invalidate();
  if (FMouseControl == control) FMouseControl = nullptr;
  if (FCaptureControl == control) FCaptureControl = nullptr;
  if (gCaptureControl == control) gCaptureControl = nullptr;
  FControls.Remove(control);
  control->FParent = nullptr;
  // A control being destroyed is only partly there: its own destructor lets go of its window.
  if (!control->HasState(csDestroying))
    if (auto* w = dynamic_cast<TWinControl*>(control)) w->FPeer.reset();
  if (control->Align() != TAlign::alNone && !HasState(csDestroying)) AlignControls();
}

void TWinControl::SetChildOrder(TControl* child, int order) {
  int i = FControls.IndexOf(child);
  if (i < 0) return;
  order = std::clamp(order, 0, ControlCount() - 1);
  FControls.Move(i, order);
  child->Invalidate();
}

void TWinControl::HandleNeeded() {
  if (FPeer || !BackendInstalled()) return;
  if (Parent()) {
    Parent()->HandleNeeded();
    if (!Parent()->HandleAllocated()) return;
  }
  CreateHandle();
}

void TWinControl::CreateHandle() {
  FPeer = CreatePeer(Parent() ? Parent()->Peer() : nullptr);
  if (!FPeer) return;
  FPeer->SetBounds(BoundsRect());
  FPeer->SetBackgroundColor(ColorToRGB(Color()));
  FPeer->SetCaption(Caption());
  FPeer->SetEnabled(Enabled());
  FPeer->SetVisible(Visible() && Parent() != nullptr);
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
}

std::unique_ptr<IWindowPeer> TWinControl::CreatePeer(IWindowPeer* parentPeer) {
  return Backend().CreateWindowPeer(this, parentPeer);
}

uintptr_t TWinControl::Handle() {
  HandleNeeded();
  return FPeer ? FPeer->Handle() : 0;
}

void TWinControl::SetFocus() {
  HandleNeeded();
  if (FPeer) FPeer->SetFocus();
}

bool TWinControl::Focused() const { return FPeer && FPeer->Focused(); }

TControl* TWinControl::ControlAtPos(TPoint p) const {
  for (int i = ControlCount() - 1; i >= 0; --i) {
    TControl* c = FControls.Items(i);
    if (dynamic_cast<TWinControl*>(c)) continue;
    if (!c->Visible() || !c->Enabled()) continue;
    if (c->BoundsRect().Contains(p)) return c;
  }
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  for (int i = 0; i < ControlCount(); ++i) {
    FControls.Items(i)->WndProc(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::Invalidate() {
  if (FPeer) FPeer->Invalidate(nullptr);
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (FPeer) FPeer->Invalidate(&r);
}

void TWinControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      RouteMouse(message);
      return;
    default:
      TControl::WndProc(message);
  }
}

void TWinControl::RouteMouse(TMessage& message) {
  const TPoint p{MouseX(message.LParam), MouseY(message.LParam)};
  // A capture outlives its button when the release went elsewhere (a modal box took it): a new
  // press, or a move with the button up, shows that the button is no longer held.
  if (gCaptureControl && gCaptureControl != this &&
      (message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK ||
       (message.Msg == WM_MOUSEMOVE && !(message.WParam & MK_LBUTTON)))) {
    TControl* stale = gCaptureControl;
    stale->SetMouseCapture(false);
    stale->FControlState &= ~(csLButtonDown | csClicked);
  }
  TControl* under = ControlAtPos(p);
  if (message.Msg == WM_MOUSEMOVE) SetMouseControl(under);
  TControl* target = under;
  if (gCaptureControl) {
    if (gCaptureControl == this) target = nullptr;
    else if (gCaptureControl->Parent() == this) target = gCaptureControl;
  }
  if (!target) {
    TControl::WndProc(message);
    return;
  }
  TMessage forwarded = message;
  forwarded.LParam = MakeMousePos(p.X - target->Left(), p.Y - target->Top());
  target->Perform(forwarded.Msg, forwarded.WParam, forwarded.LParam);
  message.Result = forwarded.Result;
}

void TWinControl::SetMouseControl(TControl* control) {
  if (control == FMouseControl) return;
  TControl* old = FMouseControl;
  FMouseControl = control;
  if (old) old->Perform(CM_MOUSELEAVE);
  if (control) control->Perform(CM_MOUSEENTER);
}

void TWinControl::PeerMouseLeft() {
  SetMouseControl(nullptr);
  Perform(CM_MOUSELEAVE);
}

void TWinControl::CMMouseLeave(TMessage& message) { TControl::CMMouseLeave(message); }

std::string TWinControl::HintAt(TPoint clientPos) const {
  if (TControl* c = ControlAtPos(clientPos))
    if (!c->Hint().empty()) return c->Hint();
  return Hint();
}

void TWinControl::Dispatch(TMessage& message) {
  if (message.Msg == WM_PAINT) {
    if (auto* dc = reinterpret_cast<TDeviceContext*>(message.WParam)) PaintHandler(*dc);
    return;
  }
  TControl::Dispatch(message);
}

void TWinControl::PaintHandler(TDeviceContext& dc) {
  PaintWindow(dc);
  PaintControls(dc);
}

void TWinControl::PaintWindow(TDeviceContext& dc) { dc.FillRect(ClientRect(), ColorToRGB(Color())); }

void TWinControl::PaintControls(TDeviceContext& dc) {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = FControls.Items(i);
    if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
    if (!dc.RectVisible(c->BoundsRect())) continue;
    TDCStateScope state(dc);
    dc.MoveOrigin(c->Left(), c->Top());
    dc.IntersectClipRect({0, 0, c->Width(), c->Height()});
    c->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&dc));
  }
}

void TWinControl::BoundsChanged() {
  if (FPeer) FPeer->SetBounds(BoundsRect());
  AlignControls();
}

void TWinControl::CMVisibleChanged(TMessage&) {
  if (FPeer) FPeer->SetVisible(Visible() && (Parent() != nullptr || dynamic_cast<TCustomForm*>(this)));
}

void TWinControl::CMEnabledChanged(TMessage& message) {
  if (FPeer) FPeer->SetEnabled(Enabled());
  TControl::CMEnabledChanged(message);
}

void TWinControl::CMColorChanged(TMessage& message) {
  if (FPeer) FPeer->SetBackgroundColor(ColorToRGB(Color()));
  TControl::CMColorChanged(message);
  for (int i = 0; i < ControlCount(); ++i) FControls.Items(i)->Perform(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMTextChanged(TMessage& message) {
  if (FPeer) FPeer->SetCaption(Caption());
  TControl::CMTextChanged(message);
}

void TWinControl::CMFontChanged(TMessage& message) {
  TControl::CMFontChanged(message);
  for (int i = 0; i < ControlCount(); ++i) FControls.Items(i)->Perform(CM_PARENTFONTCHANGED);
}

void TWinControl::AlignControls() {
  if (FAligning) return;
  FAligning = true;
  TRect client = ClientRect();
  AdjustClientRect(client);
  auto place = [&](TAlign kind) {
    std::vector<TControl*> group;
    for (TControl* c : FControls)
      if (c->Align() == kind && c->Visible()) group.push_back(c);
    std::stable_sort(group.begin(), group.end(), [kind](TControl* a, TControl* b) {
      switch (kind) {
        case TAlign::alTop: return a->Top() < b->Top();
        case TAlign::alBottom: return a->Top() + a->Height() > b->Top() + b->Height();
        case TAlign::alLeft: return a->Left() < b->Left();
        case TAlign::alRight: return a->Left() + a->Width() > b->Left() + b->Width();
        default: return false;
      }
    });
    for (TControl* c : group) {
      switch (kind) {
        case TAlign::alTop:
          c->SetBounds(client.Left, client.Top, client.Width(), c->Height());
          client.Top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(client.Left, client.Bottom - c->Height(), client.Width(), c->Height());
          client.Bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(client.Left, client.Top, c->Width(), client.Height());
          client.Left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(client.Right - c->Width(), client.Top, c->Width(), client.Height());
          client.Right -= c->Width();
          break;
        case TAlign::alClient:
          c->SetBounds(client.Left, client.Top, client.Width(), client.Height());
          break;
        default: break;
      }
    }
  };
  place(TAlign::alTop);
  place(TAlign::alBottom);
  place(TAlign::alLeft);
  place(TAlign::alRight);
  place(TAlign::alClient);
  FAligning = false;
}

// ---------------------------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(TDeviceContext& dc) {
  TWinControl::PaintWindow(dc);
  TCanvasPaintScope scope(*FCanvas, &dc, Font());
  Paint();
}
