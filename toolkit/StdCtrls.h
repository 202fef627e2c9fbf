#pragma once
// The plain label: caption drawing with alignment, word wrap, "&" accelerators, a transparent
// background and the two-tone look of disabled text.
#include "toolkit/Controls.h"

enum class TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
  QV_CLASS(TCustomLabel)
  explicit TCustomLabel(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);

protected:
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption on the canvas.
  virtual void DoDrawText(TRect& rect, unsigned flags);
  // The plain label's drawing with the colour of enabled text given; a disabled label keeps its
  // two-tone look whatever that colour is.
  void DrawCaption(TRect& rect, unsigned flags, TColor enabledColor);
  void AdjustBounds();
  void Loaded() override;
  void CMFontChanged(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;

private:
  TAlignment FAlignment = TAlignment::taLeftJustify;
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TTextLayout FLayout = TTextLayout::tlTop;
};

class TLabel : public TCustomLabel {
public:
  QV_CLASS(TLabel)
  using TCustomLabel::TCustomLabel;
};
