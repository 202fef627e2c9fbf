#pragma once
// The menu line: a label whose text takes a highlight colour while the pointer is over it and
// fades back to its font colour in timed steps through colours computed ahead.
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/ExtCtrls.h"
#include "toolkit/StdCtrls.h"

class TFadeLabel : public TLabel {
public:
  QV_CLASS(TFadeLabel)
  explicit TFadeLabel(TComponent* owner);
  ~TFadeLabel() override;

  TColor ColorHighLighted() const { return FColorHighLighted; }
  // Stores and rebuilds the fade colours; neither repaints nor changes the colour being drawn.
  void SetColorHighLighted(TColor value);
  uint8_t FrameCount() const { return FFrameCount; }
  void SetFrameCount(uint8_t value);
  uint32_t FrameDelay() const { return FFrameDelay; }
  // Stores only: a fade already running keeps its interval.
  void SetFrameDelay(uint32_t value) { FFrameDelay = value; }

  // What the tests and the drawing read.
  TColor DrawColor() const { return FDrawColor; }
  int FadeStep() const { return FFadeStep; }
  const std::vector<TColor>& FadeColors() const { return FFadeColors; }
  TTimer* FadeTimer() const { return FFadeTimer; }
  bool MouseInside() const { return FMouseInside; }

  virtual void BuildFadeColors();

protected:
  void DoDrawText(TRect& rect, unsigned flags) override;
  void CMFontChanged(TMessage& message) override;
  void CMMouseEnter(TMessage& message) override;
  void CMMouseLeave(TMessage& message) override;

private:
  void FadeTick(TObject* sender);

  TTimer* FFadeTimer = nullptr;  // owned by the label as a component, made at the first fade
  TColor FDrawColor = clNone;
  int32_t FFadeStep = 0;
  std::vector<TColor> FFadeColors;
  TColor FColorHighLighted = clWhite;
  uint8_t FFrameCount = 10;
  uint32_t FFrameDelay = 50;
  bool FMouseInside = false;
};
