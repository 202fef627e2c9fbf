#include "toolkit/ExtCtrls.h"

void Frame3D(TDeviceContext& dc, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  const TColor top = ColorToRGB(topColor), bottom = ColorToRGB(bottomColor);
  for (int i = 0; i < width; ++i) {
    const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
    if (r < l || b < t) return;
    dc.FillRect({l, t, r, t + 1}, top);         // top edge
    dc.FillRect({l, t, l + 1, b}, top);         // left edge
    dc.FillRect({r, t, r + 1, b + 1}, bottom);  // right edge
    dc.FillRect({l, b, r, b + 1}, bottom);      // bottom edge
    rect = {rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
  }
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks;
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(false);
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
  if (v == FBevelInner) return;
  FBevelInner = v;
  AlignControls();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
  if (v == FBevelOuter) return;
  FBevelOuter = v;
  AlignControls();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int v) {
  if (v == FBevelWidth) return;
  FBevelWidth = v;
  AlignControls();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int v) {
  if (v == FBorderWidth) return;
  FBorderWidth = v;
  AlignControls();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& r) const {
  int inset = FBorderWidth;
  if (FBevelOuter != TBevelCut::bvNone) inset += FBevelWidth;
  if (FBevelInner != TBevelCut::bvNone) inset += FBevelWidth;
  r = {r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
}

void TCustomPanel::Paint() {
  TDeviceContext& dc = *Canvas()->Handle();
  TRect rect = ClientRect();
  auto shades = [](TBevelCut cut, TColor& top, TColor& bottom) {
    top = cut == TBevelCut::bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = cut == TBevelCut::bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor top, bottom;
  if (FBevelOuter != TBevelCut::bvNone) {
    shades(FBevelOuter, top, bottom);
    Frame3D(dc, rect, top, bottom, FBevelWidth);
  }
  Frame3D(dc, rect, Color(), Color(), FBorderWidth);
  if (FBevelInner != TBevelCut::bvNone) {
    shades(FBevelInner, top, bottom);
    Frame3D(dc, rect, top, bottom, FBevelWidth);
  }
  dc.FillRect(rect, ColorToRGB(Color()));
  if (!Caption().empty()) {
    unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    if (FAlignment == TAlignment::taCenter) flags |= DT_CENTER;
    else if (FAlignment == TAlignment::taRightJustify) flags |= DT_RIGHT;
    DrawTextEx(dc, Caption(), rect, flags, ColorToRGB(Font()->Color()), Font()->Data());
  }
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}
TTimer::~TTimer() { FPeer.reset(); }

void TTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned v) {
  if (v == FInterval) return;
  FInterval = v;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FPeer) FPeer->Stop();
  FRunning = false;
  if (!FEnabled || FInterval == 0 || !FOnTimer) return;
  if (!FPeer && BackendInstalled()) FPeer = Backend().CreateTimerPeer([this] { ProtectedCall([this] { Tick(); }); });
  if (FPeer) FPeer->Start(FInterval);
  FRunning = true;
}

void TTimer::Tick() {
  if (FOnTimer) FOnTimer(this);
}
