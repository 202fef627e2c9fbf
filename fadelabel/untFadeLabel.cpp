#include "fadelabel/untFadeLabel.h"

TFadeLabel::TFadeLabel(TComponent* owner) : TLabel(owner) {
  FFadeTimer = nullptr;
  FDrawColor = clNone;
  FFrameCount = 10;
  FFrameDelay = 50;
  FMouseInside = false;
  FFadeColors.clear();
  // Through the setter, so the table is built from the font colour of this moment.
  FColorHighLighted = clNone;
  SetColorHighLighted(clWhite);
}

TFadeLabel::~TFadeLabel() {
  // The timer goes first so that no tick can reach a half-destroyed label.
  delete FFadeTimer;
  FFadeTimer = nullptr;
  FFadeColors.clear();
}

void TFadeLabel::SetColorHighLighted(TColor value) {
  // Acts on every assignment: the table is rebuilt even for the same colour.
  FColorHighLighted = value;
  BuildFadeColors();
}

void TFadeLabel::SetFrameCount(uint8_t value) {
  FFrameCount = value;
  BuildFadeColors();
}

void TFadeLabel::BuildFadeColors() {
  FFadeColors.clear();
  if (FFrameCount < 2) return;
  const int n = FFrameCount;
  const TColor from = ColorToRGB(Font()->Color());
  const TColor to = ColorToRGB(FColorHighLighted);
  // Running values in double precision: the steps accumulate their rounding errors, so a fade
  // from 128 to 255 in 10 steps ends at 254.99999..., which truncates to 254.
  double r = GetRValue(from), g = GetGValue(from), b = GetBValue(from);
  const double stepR = static_cast<double>(GetRValue(to) - GetRValue(from)) / n;
  const double stepG = static_cast<double>(GetGValue(to) - GetGValue(from)) / n;
  const double stepB = static_cast<double>(GetBValue(to) - GetBValue(from)) / n;
  FFadeColors.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    b += stepB;
    g += stepG;
    r += stepR;
    const int bb = static_cast<int>(b) & 0xFF, gg = static_cast<int>(g) & 0xFF, rr = static_cast<int>(r) & 0xFF;
    FFadeColors.push_back(bb * 65536 + gg * 256 + rr);
  }
}

void TFadeLabel::CMFontChanged(TMessage& message) {
  if (!FMouseInside) FDrawColor = Font()->Color();
  BuildFadeColors();
  TLabel::CMFontChanged(message);
}

void TFadeLabel::CMMouseEnter(TMessage& message) {
  FMouseInside = true;
  if (FFadeTimer) FFadeTimer->SetEnabled(false);
  FDrawColor = FColorHighLighted;
  Repaint();
  TLabel::CMMouseEnter(message);
}

void TFadeLabel::CMMouseLeave(TMessage& message) {
  if (FFrameCount > 1 && FFrameDelay != 0) {
    FFadeStep = FFrameCount - 1;
    if (!FFadeTimer) {
      FFadeTimer = new TTimer(this);
      FFadeTimer->SetEnabled(false);
      FFadeTimer->SetOnTimer([this](TObject* sender) { FadeTick(sender); });
    }
    // Keeps the highlight colour until the first tick.
    FFadeTimer->SetInterval(FFrameDelay);
    FFadeTimer->SetEnabled(true);
  } else {
    FDrawColor = Font()->Color();
    Repaint();
  }
  FMouseInside = false;
  TLabel::CMMouseLeave(message);
}

void TFadeLabel::FadeTick(TObject*) {
  if (FFadeStep <= 0) {
    FFadeTimer->SetEnabled(false);
    FDrawColor = Font()->Color();
  } else {
    // The table may have shrunk under a running fade (a lower frame count): never read past it.
    if (FFadeStep >= static_cast<int32_t>(FFadeColors.size())) FFadeStep = static_cast<int32_t>(FFadeColors.size()) - 1;
    if (FFadeStep <= 0) {
      FFadeTimer->SetEnabled(false);
      FDrawColor = Font()->Color();
    } else {
      FDrawColor = FFadeColors[static_cast<size_t>(FFadeStep)];
      --FFadeStep;
    }
  }
  Repaint();
}

void TFadeLabel::DoDrawText(TRect& rect, unsigned flags) { DrawCaption(rect, flags, FDrawColor); }
