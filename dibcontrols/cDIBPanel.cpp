#include "dibcontrols/cDIBPanel.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "dibcontrols/DIBControlsRegistration.h"
#include "dibcontrols/cDIBControl.h"
#include "toolkit/Forms.h"

namespace {

constexpr uint32_t kSourceCopy = 0x00CC0020;

uint16_t SurfaceSide(int v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); }

// The dialog code a key needs from the active control before it may have the key.
unsigned KeyMask(uintptr_t key) {
  switch (key) {
    case VK_CANCEL:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_EXECUTE: return DLGC_WANTALLKEYS;
    case VK_TAB: return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return DLGC_WANTARROWS;
    default: return 0;
  }
}

}  // namespace

TCustomDIBContainer::TCustomDIBContainer(TComponent* owner)
    : TCustomPanel(owner), FControlDIB(std::make_unique<TWinDIB>()), FCompositionDIB(std::make_unique<TWinDIB>()) {
  // A container is what every stored layout of picture controls starts from.
  RegisterDIBControlClasses();
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetTabStop(false);
  SetBorderWidth(0);
}

TCustomDIBContainer::~TCustomDIBContainer() = default;

void TCustomDIBContainer::SetBounds(int left, int top, int width, int height) {
  TCustomPanel::SetBounds(left, top, width, height);
  if (!HasState(csLoading)) FCompositionDIB->SetSize(SurfaceSide(Width()), SurfaceSide(Height()));
}

void TCustomDIBContainer::Loaded() {
  TCustomPanel::Loaded();
  FCompositionDIB->SetSize(SurfaceSide(Width()), SurfaceSide(Height()));
  RebuildDIBTabOrder();
}

void TCustomDIBContainer::Dispatch(TMessage& message) {
  // The composition covers everything: there is no background to erase.
  if (message.Msg == WM_ERASEBKGND) {
    message.Result = 1;
    return;
  }
  TCustomPanel::Dispatch(message);
}

void TCustomDIBContainer::WndProc(TMessage& message) {
  if (message.Msg == WM_LBUTTONUP)
    PointerReleasedAt(ClientToScreen({MouseX(message.LParam), MouseY(message.LParam)}), this);
  TCustomPanel::WndProc(message);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomDIBContainer::WMPaint(TMessage& message) {
  auto* given = reinterpret_cast<TDeviceContext*>(message.WParam);
  std::optional<TWindowPaint> paint;
  if (!given) paint.emplace(Peer());
  TDeviceContext* dc = given ? given : paint->DC();
  if (!dc) return;
  if (given) {
    FPaintRectFixed = true;
    given->GetClipBox(FPaintRect);
  } else {
    FPaintRect = paint->Paint().Paint;
  }
  if (!FPaintRectFixed) {
    const TRect client = ClientRect();
    if (ParentForm() && !FormIsActiveWindow()) FPaintRect = client;
    if (HasState(csDesigning)) FPaintRect = client;
    for (int i = 0; i < ControlCount(); ++i)
      if (auto* c = dynamic_cast<TCustomDIBControl*>(Controls(i))) c->AdjustCompositionRect(FPaintRect);
    // Only what can be on the screen, and only what is in the window.
    TPoint topLeft = ClientToScreen({FPaintRect.Left, FPaintRect.Top});
    TPoint bottomRight = ClientToScreen({FPaintRect.Right, FPaintRect.Bottom});
    const TSize screen = BackendInstalled() ? Backend().ScreenSize() : TSize{65535, 65535};
    topLeft = {std::max(topLeft.X, 0), std::max(topLeft.Y, 0)};
    bottomRight = {std::min(bottomRight.X, screen.cx), std::min(bottomRight.Y, screen.cy)};
    topLeft = ScreenToClient(topLeft);
    bottomRight = ScreenToClient(bottomRight);
    FPaintRect = {std::max(topLeft.X, 0), std::max(topLeft.Y, 0), std::min(bottomRight.X, client.Right),
                  std::min(bottomRight.Y, client.Bottom)};
    const TRect& asked = paint->Paint().Paint;
    if (FPaintRect.Left != asked.Left || FPaintRect.Top != asked.Top || FPaintRect.Right != asked.Right ||
        std::abs(FPaintRect.Bottom - asked.Bottom) > 2) {
      // Compose the widened rectangle in a paint of its own.
      FPaintRectFixed = true;
      Peer()->ValidateRect(asked);
      if (!FPaintRect.IsEmpty()) InvalidateRect(FPaintRect);
      return;
    }
  }
  FPaintRectFixed = false;
  if (FPaintRect.IsEmpty() || !FCompositionDIB->HasPixels()) return;
  FCompositionDIB->SetClipRect(FPaintRect.Left, FPaintRect.Top, FPaintRect.Right - 1, FPaintRect.Bottom - 1);
  Compose(*FCompositionDIB->Handle());
  CopyToWindow(*dc);
}

void TCustomDIBContainer::Compose(TDeviceContext& dc) {
  TDCStateScope whole(dc);
  dc.IntersectClipRect(FPaintRect);
  {
    // Opaque windowless children that together cover the paint rectangle make the background
    // needless.
    TDCStateScope state(dc);
    int clip = SIMPLEREGION;
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (dynamic_cast<TWinControl*>(c) || !c->Visible() || !(c->ControlStyle() & csOpaque)) continue;
      clip = dc.ExcludeClipRect(c->BoundsRect());
      if (clip == NULLREGION) break;
    }
    if (clip != NULLREGION) PaintBackground();
  }
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (dynamic_cast<TWinControl*>(c) || !c->Visible() || !RectsMeet(c->BoundsRect(), FPaintRect)) continue;
    TDCStateScope state(dc);
    dc.MoveOrigin(c->Left(), c->Top());
    dc.IntersectClipRect({0, 0, c->Width(), c->Height()});
    if (auto* control = dynamic_cast<TCustomDIBControl*>(c)) {
      // Only the part of the control inside the paint rectangle reaches the composition, so its
      // copy from beneath, its own drawing and its blend back need cover no more than that. The
      // scratch surface only grows, to the largest part yet: no paint allocates once it has
      // held the whole window.
      const TRect part = IntersectRect(FPaintRect, c->BoundsRect()).Offset(-c->Left(), -c->Top());
      const uint16_t w = SurfaceSide(part.Width()), h = SurfaceSide(part.Height());
      if (!FControlDIB->HasPixels() || FControlDIB->Width() < w || FControlDIB->Height() < h)
        FControlDIB->SetSize(std::max(FControlDIB->Width(), w), std::max(FControlDIB->Height(), h));
      FControlDIB->SetDefaults();
      FControlDIB->SetClipRect(0, 0, part.Width() - 1, part.Height() - 1);
      control->SetDrawDIB(FControlDIB.get(), part);
    }
    c->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&dc));
  }
  // Windowed children of the framed 3-D look sit in a sunken frame drawn around them: shadow
  // above and to the left, highlight below and to the right.
  for (int i = 0; i < ControlCount(); ++i) {
    auto* w = dynamic_cast<TWinControl*>(Controls(i));
    if (!w || !w->Visible() || !w->Ctl3D() || !(w->ControlStyle() & csFramed) || !RectsMeet(w->BoundsRect(), FPaintRect))
      continue;
    const int l = w->Left(), t = w->Top(), r = l + w->Width(), b = t + w->Height();
    dc.FrameRect({l - 1, t - 1, r, b}, ColorToRGB(clBtnShadow));
    dc.FrameRect({l, t, r + 1, b + 1}, ColorToRGB(clBtnHighlight));
  }
}

void TCustomDIBContainer::CopyToWindow(TDeviceContext& dc) {
  TDeviceContext& source = *FCompositionDIB->Handle();
  const TRect& r = FPaintRect;
  if (HasState(csDesigning) || dc.GetDeviceCaps(BITSPIXEL) != 8 || !FPalette || !FPalette->Handle()) {
    dc.BitBlt(r.Left, r.Top, r.Width(), r.Height(), source, r.Left, r.Top);
    return;
  }
  TPaletteHandle* previous = dc.SelectPalette(FPalette->Handle(), false);
  if (FPalette->Table() && (dc.GetDeviceCaps(RASTERCAPS) & RC_DIBTODEV))
    FCompositionDIB->Render8Bit(dc, r.Left, r.Top, r.Width(), r.Height(), SurfaceSide(r.Left), SurfaceSide(r.Top),
                                kSourceCopy, FPalette);
  else
    dc.BitBlt(r.Left, r.Top, r.Width(), r.Height(), source, r.Left, r.Top);
  dc.SelectPalette(previous, true);
}

void TCustomDIBContainer::PaintBackground() {
  const TColor color = ColorToRGB(Color());
  if (FPaintRect == TRect{0, 0, Width(), Height()}) FCompositionDIB->Fill(color);
  else FCompositionDIB->FillRect(color, FPaintRect.Left, FPaintRect.Top, FPaintRect.Width(), FPaintRect.Height());
}

// ---------------------------------------------------------------------------------------------
// Focus

bool TCustomDIBContainer::Shift() const { return (GetKeyboardShiftState() & ssShift) != 0; }

void TCustomDIBContainer::ActivateControl(TControl* control) {
  if (FActivating) return;
  FActivating = true;
  struct TClear {
    bool& Flag;
    ~TClear() { Flag = false; }
  } clear{FActivating};
  if (control != FActiveControl && FActiveControl) FActiveControl->Perform(WM_KILLFOCUS);
  FActiveControl = control;
  if (control) control->Perform(WM_SETFOCUS);
  if (OnActiveControlChange) OnActiveControlChange(this);
}

void TCustomDIBContainer::ForgetControl(TControl* control) {
  for (int i = FDIBTabList.Count() - 1; i >= 0; --i)
    if (static_cast<TControl*>(FDIBTabList.Items(i)) == control) FDIBTabList.Delete(i);
  SetTabStop(FDIBTabList.Count() > 0);
  if (FActiveControl == control) FActiveControl = nullptr;
}

void TCustomDIBContainer::CMFocusChanged(TMessage& message) {
  TCustomPanel::CMFocusChanged(message);
  auto* named = reinterpret_cast<TControl*>(message.LParam);
  if (named && named != this && named->Parent() == this && dynamic_cast<TWinControl*>(named)) {
    ActivateControl(named);
  } else if (named == this) {
    if (dynamic_cast<TWinControl*>(LastTabChild()) && Shift()) SelectPrevChild();
  } else {
    ActivateControl(nullptr);
  }
}

void TCustomDIBContainer::DoEnter() {
  if (FActiveControl) return;
  if (FDIBTabList.Count() == 0) {
    TCustomPanel::DoEnter();
    return;
  }
  ActivateControl(Shift() ? LastTabChild() : FirstTabChild());
  TCustomPanel::DoEnter();
}

void TCustomDIBContainer::DoExit() {
  ActivateControl(nullptr);
  TCustomPanel::DoExit();
}

// ---------------------------------------------------------------------------------------------
// Keys

bool TCustomDIBContainer::WantsKey(TMessage& message) {
  auto* active = dynamic_cast<TCustomDIBControl*>(FActiveControl);
  if (!active) return false;
  message.Result = 1;
  if (active->IsShortCutKey(message)) return false;
  if (active->HasState(csDesigning)) return true;
  if (active->Perform(CM_CHILDKEY, message.WParam, reinterpret_cast<intptr_t>(this)) != 0) return false;
  const unsigned mask = KeyMask(message.WParam);
  if (mask != 0) {
    const auto code = static_cast<unsigned>(active->Perform(WM_GETDLGCODE));
    if (code == DLGC_WANTALLKEYS) return true;
    if ((code & mask) == 0) return false;
  }
  return true;
}

void TCustomDIBContainer::CNKeyDown(TMessage& message) {
  if (WantsKey(message)) {
    message.Result = FActiveControl->Perform(WM_KEYDOWN, message.WParam, message.LParam);
    return;
  }
  message.Result = 0;
  if (LastTabChild() && LastTabChild() == FocusedWindow()) {
    TCustomPanel::CNKeyDown(message);
    return;
  }
  if (message.WParam == VK_TAB) {
    const bool moved = (KeyDataToShiftState(message.LParam) & ssShift) ? SelectPrevChild() : SelectNextChild();
    if (moved) {
      message.Result = 1;
      return;
    }
  }
  TCustomPanel::CNKeyDown(message);
  if (FocusedWindow() == this) DoEnter();
}

void TCustomDIBContainer::CNChar(TMessage& message) {
  if (WantsKey(message)) message.Result = FActiveControl->Perform(WM_CHAR, message.WParam, message.LParam);
}

void TCustomDIBContainer::CNKeyUp(TMessage& message) {
  if (WantsKey(message)) message.Result = FActiveControl->Perform(WM_KEYUP, message.WParam, message.LParam);
}

// ---------------------------------------------------------------------------------------------
// Tab order

void TCustomDIBContainer::MoveInDIBTabList(TCustomDIBControl* control, int position) {
  if (!control) return;
  const int current = FDIBTabList.IndexOf(control);
  if (current == position) return;
  if (current >= 0) FDIBTabList.Delete(current);
  if (position >= FDIBTabList.Count()) FDIBTabList.Add(control);
  else if (position >= 0) FDIBTabList.Insert(position, control);
  SetTabStop(FDIBTabList.Count() > 0);
}

void TCustomDIBContainer::RebuildDIBTabOrder() {
  std::vector<TCustomDIBControl*> slots(static_cast<size_t>(ControlCount()), nullptr);
  for (int i = 0; i < ControlCount(); ++i) {
    auto* c = dynamic_cast<TCustomDIBControl*>(Controls(i));
    if (!c || c->StoredDIBTabOrder() == -1) continue;
    const auto slot = static_cast<size_t>(static_cast<uint16_t>(c->StoredDIBTabOrder()));
    if (slot >= slots.size()) slots.resize(slot + 1, nullptr);
    slots[slot] = c;
  }
  for (size_t j = 0; j < slots.size(); ++j)
    if (slots[j]) MoveInDIBTabList(slots[j], static_cast<int>(j));
}

int TCustomDIBContainer::TabOrderRank(const TControl* child) const {
  if (!child) return -1;
  if (!dynamic_cast<const TWinControl*>(child)) {
    for (int i = 0; i < FDIBTabList.Count(); ++i)
      if (static_cast<const TControl*>(FDIBTabList.Items(i)) == child) return i;
    return -1;
  }
  if (child->Parent() != this) return -1;
  return static_cast<const TWinControl*>(child)->TabOrder() + ControlCount();
}

TCustomDIBControl* TCustomDIBContainer::NextDIBControl(const TControl* from, bool forward) const {
  const int count = FDIBTabList.Count();
  if (count == 0) return nullptr;
  int start = -1;
  for (int i = 0; i < count; ++i)
    if (static_cast<const TControl*>(FDIBTabList.Items(i)) == from) start = i;
  if (start < 0) start = forward ? count - 1 : 0;
  int i = start;
  do {
    i = forward ? (i + 1) % count : (i + count - 1) % count;
    if (FDIBTabList.Items(i)->Enabled()) return FDIBTabList.Items(i);
  } while (i != start);
  return nullptr;
}

TControl* TCustomDIBContainer::FirstTabChild() const {
  if (FDIBTabList.Count() > 0) return FDIBTabList.Items(0);
  return FindNextControl(nullptr, true, true, true);
}

TControl* TCustomDIBContainer::LastTabChild() const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (!list.empty()) return list.back();
  if (FDIBTabList.Count() > 0) return FDIBTabList.Items(FDIBTabList.Count() - 1);
  return nullptr;
}

bool TCustomDIBContainer::SelectNextChild() {
  TControl* old = FActiveControl;
  const int oldRank = TabOrderRank(old);
  const bool activeWindowed = dynamic_cast<TWinControl*>(old) != nullptr;
  TControl* candidate = nullptr;
  if (!activeWindowed) {
    candidate = NextDIBControl(old, true);
    if (candidate && TabOrderRank(candidate) < oldRank) candidate = nullptr;
  }
  if (activeWindowed || !candidate) {
    TWinControl* first = FindNextControl(nullptr, true, true, false);
    candidate = first && first->Parent() == this && TabOrderRank(first) >= oldRank ? first : nullptr;
  }
  if (candidate && TabOrderRank(candidate) < oldRank) candidate = nullptr;
  ActivateControl(candidate);
  return candidate && TabOrderRank(candidate) > oldRank;
}

bool TCustomDIBContainer::SelectPrevChild() {
  TControl* old = FActiveControl;
  const int oldRank = TabOrderRank(old);
  auto dropped = [&](TControl* c) {
    const int rank = TabOrderRank(c);
    return !c || rank > oldRank || rank == -1;
  };
  auto* activeWindow = dynamic_cast<TWinControl*>(old);
  TControl* candidate = FindNextControl(activeWindow, false, true, false);
  // The search wraps round; the active control itself is not "before" it.
  if (candidate && (candidate == old || candidate->Parent() != this || dropped(candidate))) candidate = nullptr;
  if (!activeWindow || !candidate) {
    candidate = NextDIBControl(old, false);
    if (dropped(candidate)) candidate = nullptr;
  }
  if (dropped(candidate)) candidate = nullptr;
  ActivateControl(candidate);
  return candidate && TabOrderRank(candidate) != -1 && TabOrderRank(candidate) < oldRank;
}

// ---------------------------------------------------------------------------------------------
// Components coming and going

void TCustomDIBContainer::Notification(TComponent* component, TOperation operation) {
  TCustomPanel::Notification(component, operation);
  if (component == this || HasState(csDestroying)) return;
  if (operation == TOperation::opInsert) {
    if (auto* palette = dynamic_cast<TDIBPalette*>(component)) FPalette = palette;
    return;
  }
  // A removed component may be half destroyed: only its address is used.
  if (static_cast<TComponent*>(FPalette) == component) FPalette = nullptr;
  for (int i = FDIBTabList.Count() - 1; i >= 0; --i)
    if (static_cast<TComponent*>(FDIBTabList.Items(i)) == component) FDIBTabList.Delete(i);
  SetTabStop(FDIBTabList.Count() > 0);
  if (static_cast<TComponent*>(FActiveControl) == component) FActiveControl = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The background picture

TCustomDIBImageContainer::TCustomDIBImageContainer(TComponent* owner)
    : TCustomDIBContainer(owner), FIndexImage(std::make_unique<TDIBImageLink>(this)) {
  FIndexImage->OnChange = [this](TDIBImageLink*, int index, uint8_t kind) {
    if (!HasState(csDestroying)) ImageListChanged(index, kind);
  };
}

TCustomDIBImageContainer::~TCustomDIBImageContainer() { FIndexImage.reset(); }

void TCustomDIBImageContainer::SetTileMethod(TTileMethod value) {
  FTileMethod = value;
  Invalidate();
}

void TCustomDIBImageContainer::ImageListChanged(int index, uint8_t change) {
  if (change == 1 && index == FIndexImage->DIBIndex()) Invalidate();
}

void TCustomDIBImageContainer::PaintBackground() {
  TMemoryDIB* picture = nullptr;
  if (!FIndexImage->GetDIB(picture) || !picture) {
    TCustomDIBContainer::PaintBackground();
    return;
  }
  const int w = picture->Width(), h = picture->Height();
  if (FTileMethod == TTileMethod::tmCenter && (w != Width() || h != Height())) TCustomDIBContainer::PaintBackground();
  if (w == 0 || h == 0) return;
  TWinDIB* composition = CompositionDIB();
  if (FTileMethod == TTileMethod::tmCenter) {
    picture->Draw(Width() / 2 - w / 2, Height() / 2 - h / 2, w, h, composition, 0, 0);
    return;
  }
  for (int y = 0; y < Height(); y += h)
    for (int x = 0; x < Width(); x += w)
      if (RectsMeet({x, y, x + w, y + h}, PaintRect())) picture->Draw(x, y, w, h, composition, 0, 0);
}
