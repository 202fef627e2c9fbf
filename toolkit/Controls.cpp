#include "toolkit/Controls.h"

#include <algorithm>

#include "toolkit/Forms.h"

namespace {
// The one pointer: the control holding its capture, windowed or not, and the control it was last
// over. Only the pointer functions below change them and decide who hears CM_MOUSEENTER and
// CM_MOUSELEAVE; the backends report moves, leaves and releases through them.
struct TPointerState {
  TControl* Capture = nullptr;
  TControl* Over = nullptr;
  void Forget(const TControl* control) {
    if (Capture == control) Capture = nullptr;
    if (Over == control) Over = nullptr;
  }
} gPointer;
// The windowed control with the system's keyboard focus.
TWinControl* gFocusedWindow = nullptr;
// Set when a key message reached a windowed control's default handling: the native window takes
// it then (a text view scrolls on the arrow keys).
bool gKeyWentToDefault = false;

TShiftState ShiftFromKeys(uintptr_t keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  return s;
}
}  // namespace

TShiftState KeyDataToShiftState(intptr_t keyData) {
  const auto d = static_cast<uint32_t>(keyData);
  TShiftState s = 0;
  if (d & KF_SHIFTDOWN) s |= ssShift;
  if (d & KF_CTRLDOWN) s |= ssCtrl;
  if (d & KF_ALTDOWN) s |= ssAlt;
  return s;
}

namespace {
TShiftState gKeyboardShiftState = 0;
}

TShiftState GetKeyboardShiftState() { return gKeyboardShiftState; }

TWinControl* FocusedWindow() { return gFocusedWindow; }

void ChangeSystemFocus(TWinControl* control) {
  if (control == gFocusedWindow) return;
  TWinControl* old = gFocusedWindow;
  gFocusedWindow = control;
  if (old) old->Perform(WM_KILLFOCUS, reinterpret_cast<uintptr_t>(control));
  // The kill-focus handling may have moved the focus again; only the control that still has it
  // hears that it got it.
  if (control && gFocusedWindow == control) control->Perform(WM_SETFOCUS, reinterpret_cast<uintptr_t>(old));
}

bool DispatchKeyMessage(TWinControl* focused, unsigned msg, uintptr_t wparam, intptr_t lparam,
                        bool* takenByNotification) {
  if (takenByNotification) *takenByNotification = false;
  gKeyboardShiftState = KeyDataToShiftState(lparam);
  if (!focused) return false;
  // The notification first: navigation, dialog keys and shortcuts take the key here.
  if (focused->Perform(CN_BASE + msg, wparam, lparam) != 0) {
    if (takenByNotification) *takenByNotification = true;
    return true;
  }
  const bool saved = gKeyWentToDefault;
  gKeyWentToDefault = false;
  focused->Perform(msg, wparam, lparam);
  const bool toDefault = gKeyWentToDefault;
  gKeyWentToDefault = saved;
  return !toDefault;
}

TControl* GetCaptureControl() { return gPointer.Capture; }
TControl* MouseControl() { return gPointer.Over; }

void MouseIdle(TControl* underPointer) {
  if (underPointer == gPointer.Over) return;
  TControl* capture = gPointer.Capture;
  TControl* old = gPointer.Over;
  gPointer.Over = underPointer;
  // While a control holds the capture only it hears of the pointer coming and going.
  if (old && (!capture || old == capture)) old->Perform(CM_MOUSELEAVE);
  if (underPointer && gPointer.Over == underPointer && (!capture || underPointer == capture))
    underPointer->Perform(CM_MOUSEENTER);
}

void PointerReleasedAt(TPoint screenPoint, const TControl* receiver) {
  TControl* capture = gPointer.Capture;
  if (!capture) return;
  const TPoint origin = capture->Parent() ? capture->Parent()->ClientToScreen({capture->Left(), capture->Top()})
                                          : capture->ClientToScreen({0, 0});
  if (Bounds(origin.X, origin.Y, capture->Width(), capture->Height()).Contains(screenPoint)) return;
  if (capture != receiver) capture->Perform(CM_MOUSELEAVE);
  if (TWinControl* window = BackendInstalled() ? Backend().ControlAtScreenPoint(screenPoint) : nullptr)
    if (TControl* child = window->ControlAtPos(window->ScreenToClient(screenPoint))) child->Perform(CM_MOUSEENTER);
}

TControl* FindDragTarget(TPoint screenPoint) {
  if (!BackendInstalled()) return nullptr;
  TWinControl* window = Backend().ControlAtScreenPoint(screenPoint);
  if (!window) return nullptr;
  if (TControl* child = window->ControlAtPos(window->ScreenToClient(screenPoint))) return child;
  return window;
}

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
  gPointer.Forget(this);
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
    case CM_HINTSHOW: CMHintShow(message); break;
    case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(); break;
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
  if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->Peer()) return w->Peer()->ClientToScreen(p);
  if (FParent) return FParent->ClientToScreen({p.X + FLeft, p.Y + FTop});
  return {p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->Peer()) return w->Peer()->ScreenToClient(p);
  if (FParent) {
    const TPoint q = FParent->ScreenToClient(p);
    return {q.X - FLeft, q.Y - FTop};
  }
  return {p.X - FLeft, p.Y - FTop};
}

void TControl::SetShowHint(bool v) {
  FParentShowHint = false;
  if (v == FShowHint) return;
  FShowHint = v;
  if (auto* w = dynamic_cast<TWinControl*>(this))
    for (int i = 0; i < w->ControlCount(); ++i) w->Controls(i)->Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
  if (v == FParentShowHint) return;
  FParentShowHint = v;
  if (v) CMParentShowHintChanged();
}

void TControl::CMParentShowHintChanged() {
  if (!FParentShowHint || !FParent) return;
  SetShowHint(FParent->ShowHint());
  FParentShowHint = true;
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

bool TControl::MouseCapture() const { return gPointer.Capture == this; }

void TControl::SetMouseCapture(bool capture) {
  if (capture == MouseCapture()) return;
  TWinControl* window = dynamic_cast<TWinControl*>(this);
  if (!window) window = FParent;
  gPointer.Capture = capture ? this : nullptr;
  if (window && window->Peer()) window->Peer()->SetMouseCapture(capture);
}

void TControl::Invalidate() {
  if (FParent) FParent->InvalidateRect(BoundsRect());
}

void TControl::Update() {
  // A window paints what is invalid in it; a windowless control's pixels are its parent's.
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    if (w->Peer()) w->Peer()->Update();
    return;
  }
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
  if (gFocusedWindow == this) gFocusedWindow = nullptr;
  // Leave the parent while this is still a window, so that its tab list and its form let go of it.
  if (Parent()) Parent()->RemoveControl(this);
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
  if (control->FParentShowHint) control->Perform(CM_PARENTSHOWHINTCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    FTabList.Add(w);
    if (HandleAllocated()) w->HandleNeeded();
  }
  if (control->Align() != TAlign::alNone) AlignControls();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  if (FControls.IndexOf(control) < 0) return;
  control->Invalidate();
  gPointer.Forget(control);
  // The tab list is searched by address: a control in its last destructor is no window any more.
  for (int i = FTabList.Count() - 1; i >= 0; --i)
    if (static_cast<TControl*>(FTabList.Items(i)) == control) FTabList.Delete(i);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (w->ContainsControl(gFocusedWindow)) gFocusedWindow = nullptr;
    if (auto* form = dynamic_cast<TCustomForm*>(ParentForm())) form->ControlRemoved(w);
  }
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

bool TWinControl::CanFocus() const {
  TWinControl* form = ParentForm();
  if (!form) return false;
  for (const TWinControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  auto* form = dynamic_cast<TCustomForm*>(ParentForm());
  if (!form) throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  form->FocusControl(this);
}

bool TWinControl::Focused() const { return gFocusedWindow == this; }

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

void TWinControl::SetTabStop(bool v) {
  if (v == FTabStop) return;
  FTabStop = v;
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::SetCtl3D(bool v) {
  if (v == FCtl3D) return;
  FCtl3D = v;
  // The frame of the framed look is drawn by the parent, around this control.
  if (Parent()) Parent()->Invalidate();
}

int TWinControl::TabOrder() const { return Parent() ? Parent()->FTabList.IndexOf(this) : -1; }

void TWinControl::SetTabOrder(int v) {
  if (!Parent()) return;
  TList<TWinControl>& list = Parent()->FTabList;
  const int current = list.IndexOf(this);
  if (current < 0) return;
  const int last = list.Count() - 1;
  v = v < 0 || v > last ? last : v;
  if (v != current) list.Move(current, v);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* child : FTabList) {
    list.push_back(child);
    child->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int count = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < count; ++i)
    if (list[static_cast<size_t>(i)] == current) start = i;
  if (start < 0) start = goForward ? count - 1 : 0;
  int i = start;
  do {
    i = goForward ? (i + 1) % count : (i + count - 1) % count;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this)) return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop)) next->SetFocus();
}

bool TWinControl::FormIsActiveWindow() const {
  const TWinControl* form = ParentForm();
  return form && form->Peer() && form->Peer()->IsActiveWindow();
}

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
  if (gPointer.Capture && gPointer.Capture != this &&
      (message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK ||
       (message.Msg == WM_MOUSEMOVE && !(message.WParam & MK_LBUTTON)))) {
    TControl* stale = gPointer.Capture;
    stale->SetMouseCapture(false);
    stale->FControlState &= ~(csLButtonDown | csClicked);
  }
  TControl* under = ControlAtPos(p);
  if (message.Msg == WM_MOUSEMOVE) {
    // A move seen here may lie outside this window while a button holds the pointer: then the
    // control really under it decides.
    TControl* pointed = under;
    if (!pointed) pointed = ClientRect().Contains(p) ? this : FindDragTarget(ClientToScreen(p));
    MouseIdle(pointed);
  }
  TControl* target = under;
  if (TControl* capture = gPointer.Capture) {
    if (capture == this) target = nullptr;
    else if (capture->Parent() == this) target = capture;
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

void TWinControl::PeerMouseLeft() {
  if (ContainsControl(gPointer.Over)) MouseIdle(nullptr);
}

void TWinControl::CMMouseLeave(TMessage& message) { TControl::CMMouseLeave(message); }

std::string TWinControl::HintAt(TPoint clientPos) const {
  TControl* under = ControlAtPos(clientPos);
  THintInfo info;
  const TControl* target = under ? under : this;
  if (!HintToShow(const_cast<TControl*>(target), {clientPos.X - (under ? under->Left() : 0),
                                                  clientPos.Y - (under ? under->Top() : 0)}, info))
    return std::string();
  return info.HintStr;
}

bool HintToShow(TControl* underPointer, TPoint clientPos, THintInfo& info) {
  // The control under the pointer decides whether hints show; the text is the first non-empty
  // hint from it up through its parents.
  if (!underPointer || !underPointer->ShowHint()) return false;
  TControl* hintControl = underPointer;
  while (hintControl && hintControl->Hint().empty()) {
    if (hintControl->Parent()) {
      clientPos = {clientPos.X + hintControl->Left(), clientPos.Y + hintControl->Top()};
      if (dynamic_cast<TWinControl*>(hintControl)) {
        const TRect client = hintControl->ClientRect();
        clientPos = {clientPos.X + client.Left, clientPos.Y + client.Top};
      }
    }
    hintControl = hintControl->Parent();
  }
  if (!hintControl) return false;
  info.HintControl = hintControl;
  info.CursorPos = clientPos;
  info.HintStr = hintControl->Hint();
  if (hintControl->Perform(CM_HINTSHOW, 0, reinterpret_cast<intptr_t>(&info)) != 0) return false;
  return !info.HintStr.empty();
}

void TWinControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_PAINT: WMPaint(message); return;
    case WM_SETFOCUS: WMSetFocus(message); return;
    case WM_KILLFOCUS: WMKillFocus(message); return;
    case CM_ENTER: CMEnter(message); return;
    case CM_EXIT: CMExit(message); return;
    case CM_FOCUSCHANGED: CMFocusChanged(message); return;
    case CM_DIALOGKEY: CMDialogKey(message); return;
    case CM_DIALOGCHAR: CMDialogChar(message); return;
    case CM_CHILDKEY: CMChildKey(message); return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: CNKeyDown(message); return;
    case CN_KEYUP: CNKeyUp(message); return;
    case CN_CHAR: CNChar(message); return;
    case CN_SYSCHAR: CNSysChar(message); return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: WMKeyDown(message); return;
    case WM_KEYUP:
    case WM_SYSKEYUP: WMKeyUp(message); return;
    case WM_CHAR: WMChar(message); return;
    case WM_GETDLGCODE: WMGetDlgCode(message); return;
    default: TControl::Dispatch(message);
  }
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (message.Msg >= WM_KEYDOWN && message.Msg <= WM_SYSCHAR) gKeyWentToDefault = true;
}

void TWinControl::WMPaint(TMessage& message) {
  if (auto* dc = reinterpret_cast<TDeviceContext*>(message.WParam)) {
    PaintHandler(*dc);
    return;
  }
  TWindowPaint paint(FPeer.get());
  if (paint.DC()) PaintHandler(*paint.DC());
}

void TWinControl::PaintHandler(TDeviceContext& dc) {
  {
    // Opaque windowless children cover their rectangles themselves: the window's own paint
    // leaves them out, and is skipped when they cover everything.
    TDCStateScope state(dc);
    int clip = SIMPLEREGION;
    for (TControl* c : FControls) {
      if (dynamic_cast<TWinControl*>(c) || !c->Visible() || !(c->ControlStyle() & csOpaque)) continue;
      clip = dc.ExcludeClipRect(c->BoundsRect());
      if (clip == NULLREGION) break;
    }
    if (clip != NULLREGION) PaintWindow(dc);
  }
  PaintControls(dc);
}

// ---------------------------------------------------------------------------------------------
// Focus and keys of windowed controls

void TWinControl::WMSetFocus(TMessage&) {
  if (auto* form = dynamic_cast<TCustomForm*>(ParentForm())) form->SetFocusedControl(this);
}

void TWinControl::WMKillFocus(TMessage&) {}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::CMFocusChanged(TMessage& message) { Broadcast(message); }
void TWinControl::CMDialogKey(TMessage& message) { Broadcast(message); }
void TWinControl::CMDialogChar(TMessage& message) { Broadcast(message); }

void TWinControl::CMChildKey(TMessage& message) {
  if (Parent()) message.Result = Parent()->Perform(CM_CHILDKEY, message.WParam, message.LParam);
}

bool TWinControl::IsMenuKey(TMessage& message) {
  auto* form = dynamic_cast<TCustomForm*>(ParentForm());
  if (form && form->IsShortCut(message)) return true;
  return Application && Application->Perform(CM_APPKEYDOWN, message.WParam, message.LParam) != 0;
}

namespace {
// The dialog code a navigation key needs before the form may take it.
unsigned NavigationMask(uintptr_t key) {
  switch (key) {
    case VK_TAB: return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: return DLGC_WANTALLKEYS;
    default: return 0;
  }
}
}  // namespace

void TWinControl::CNKeyDown(TMessage& message) {
  message.Result = 1;
  if (IsMenuKey(message)) return;
  if (!HasState(csDesigning)) {
    if (Perform(CM_CHILDKEY, message.WParam, reinterpret_cast<intptr_t>(this)) != 0) return;
    const unsigned mask = NavigationMask(message.WParam);
    if (mask != 0 && Perform(CM_WANTSPECIALKEY, message.WParam) == 0 &&
        (static_cast<unsigned>(Perform(WM_GETDLGCODE)) & mask) == 0)
      if (TWinControl* form = ParentForm(); form && form->Perform(CM_DIALOGKEY, message.WParam, message.LParam) != 0)
        return;
  }
  message.Result = 0;
}

void TWinControl::CNKeyUp(TMessage& message) {
  // The release of a key the form navigated with is the form's too.
  const unsigned mask = NavigationMask(message.WParam);
  message.Result = mask != 0 && !HasState(csDesigning) && Perform(CM_WANTSPECIALKEY, message.WParam) == 0 &&
                   (static_cast<unsigned>(Perform(WM_GETDLGCODE)) & mask) == 0;
}

void TWinControl::CNChar(TMessage& message) {
  message.Result = 0;
  if (HasState(csDesigning)) return;
  if ((static_cast<unsigned>(Perform(WM_GETDLGCODE)) & DLGC_WANTCHARS) == 0)
    if (TWinControl* form = ParentForm(); form && form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0)
      message.Result = 1;
}

void TWinControl::CNSysChar(TMessage& message) {
  message.Result = 0;
  if (HasState(csDesigning) || message.WParam == VK_SPACE) return;
  if (TWinControl* form = ParentForm()) message.Result = form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam);
}

void TWinControl::WMKeyDown(TMessage& message) {
  if (!DoKeyDown(message)) DefaultHandler(message);
}

void TWinControl::WMKeyUp(TMessage& message) {
  if (!DoKeyUp(message)) DefaultHandler(message);
}

void TWinControl::WMChar(TMessage& message) {
  if (!DoKeyPress(message)) DefaultHandler(message);
}

namespace {
TCustomForm* PreviewingForm(const TWinControl* control) {
  auto* form = dynamic_cast<TCustomForm*>(control->ParentForm());
  return form && form != control && form->KeyPreview() ? form : nullptr;
}
}  // namespace

bool TWinControl::DoKeyDown(TMessage& message) {
  if (TCustomForm* form = PreviewingForm(this); form && form->DoKeyDown(message)) return true;
  if (FControlStyle & csNoStdEvents) return false;
  auto key = static_cast<uint16_t>(message.WParam);
  KeyDown(key, KeyDataToShiftState(message.LParam));
  message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& message) {
  if (TCustomForm* form = PreviewingForm(this); form && form->DoKeyUp(message)) return true;
  if (FControlStyle & csNoStdEvents) return false;
  auto key = static_cast<uint16_t>(message.WParam);
  KeyUp(key, KeyDataToShiftState(message.LParam));
  message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& message) {
  if (TCustomForm* form = PreviewingForm(this); form && form->DoKeyPress(message)) return true;
  if (FControlStyle & csNoStdEvents) return false;
  auto ch = static_cast<char32_t>(message.WParam);
  KeyPress(ch);
  message.WParam = ch;
  return ch == 0;
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
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

void TWinControl::Loaded() {
  TControl::Loaded();
  AlignControls();
}

void TWinControl::AlignControls() {
  if (FAligning || HasState(csLoading)) return;
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
