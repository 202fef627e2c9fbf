#include "toolkit/StdCtrls.h"

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  if (v) FControlStyle &= ~csOpaque;
  else FControlStyle |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == FShowAccelChar) return;
  FShowAccelChar = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout v) {
  if (v == FLayout) return;
  FLayout = v;
  Invalidate();
}

static unsigned AlignmentFlags(TAlignment a) {
  switch (a) {
    case TAlignment::taCenter: return DT_CENTER;
    case TAlignment::taRightJustify: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

void TCustomLabel::DrawCaption(TRect& rect, unsigned flags, TColor enabledColor) {
  TDeviceContext* dc = Canvas()->Handle();
  if (!dc) return;
  // An empty caption, or one that is only an accelerator mark, still measures one line. Any
  // other is drawn from the caption itself, not from a copy made on every paint.
  const std::string& caption = Caption();
  const bool padded = (flags & DT_CALCRECT) && (caption.empty() || (FShowAccelChar && caption == "&"));
  std::string blank;
  if (padded) blank = caption + ' ';
  const std::string& text = padded ? blank : caption;
  if (!FShowAccelChar) flags |= DT_NOPREFIX;
  const TFontData& font = Font()->Data();
  if (!Enabled()) {
    TRect shifted = rect.Offset(1, 1);
    DrawTextEx(*dc, text, shifted, flags, ColorToRGB(clBtnHighlight), font);
    DrawTextEx(*dc, text, rect, flags, ColorToRGB(clBtnShadow), font);
    return;
  }
  DrawTextEx(*dc, text, rect, flags, ColorToRGB(enabledColor), font);
}

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags) { DrawCaption(rect, flags, Font()->Color()); }

void TCustomLabel::Paint() {
  TDeviceContext* dc = Canvas()->Handle();
  if (!FTransparent) dc->FillRect(ClientRect(), ColorToRGB(Color()));
  TRect rect = ClientRect();
  unsigned flags = DT_EXPANDTABS | (FWordWrap ? unsigned{DT_WORDBREAK} : 0u) | AlignmentFlags(FAlignment);
  if (FLayout != TTextLayout::tlTop) {
    TRect calc = rect;
    DoDrawText(calc, flags | DT_CALCRECT);
    if (FLayout == TTextLayout::tlBottom) rect.Top = rect.Bottom - calc.Height();
    else rect.Top = (rect.Top + rect.Bottom - calc.Height()) / 2;
    rect.Bottom = rect.Top + calc.Height();
  }
  DoDrawText(rect, flags);
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
  // While a stored form is read the label keeps the size it was stored with: the caption and
  // font arrive one by one, and AutoSize itself may come after them. Loaded sizes it once.
  if (!FAutoSize || !BackendInstalled() || HasState(csLoading)) return;
  TRect rect = ClientRect();
  TDeviceContext& dc = Backend().ScreenDC();
  Canvas()->SetHandle(&dc);
  DoDrawText(rect, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? unsigned{DT_WORDBREAK} : 0u));
  Canvas()->SetHandle(nullptr);
  int x = Left();
  if (FAlignment == TAlignment::taRightJustify) x += Width() - rect.Right;
  else if (FAlignment == TAlignment::taCenter) x += (Width() - rect.Right) / 2;
  SetBounds(x, Top(), rect.Right, rect.Bottom);
}

void TCustomLabel::CMFontChanged(TMessage& message) {
  TGraphicControl::CMFontChanged(message);
  AdjustBounds();
}

void TCustomLabel::CMTextChanged(TMessage& message) {
  TGraphicControl::CMTextChanged(message);
  AdjustBounds();
}
