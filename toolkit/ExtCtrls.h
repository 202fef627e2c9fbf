#pragma once
// Panels with bevels, and the timer.
#include <memory>

#include "toolkit/Controls.h"

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TCustomPanel : public TCustomControl {
public:
  QV_CLASS(TCustomPanel)
  explicit TCustomPanel(TComponent* owner);

  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut v);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut v);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int v);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);

protected:
  void Paint() override;
  void AdjustClientRect(TRect& r) const override;

private:
  TBevelCut FBevelInner = TBevelCut::bvNone;
  TBevelCut FBevelOuter = TBevelCut::bvRaised;
  int FBevelWidth = 1;
  int FBorderWidth = 0;
  TAlignment FAlignment = TAlignment::taCenter;
};

class TPanel : public TCustomPanel {
public:
  QV_CLASS(TPanel)
  using TCustomPanel::TCustomPanel;
};

// Draws a 3-D frame of the given width inside Rect and shrinks Rect by it.
void Frame3D(TDeviceContext& dc, TRect& rect, TColor topColor, TColor bottomColor, int width);

// A periodic tick on the GUI thread. Its peer is made when it is first enabled with a handler.
class TTimer : public TComponent {
public:
  QV_CLASS(TTimer)
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned v);
  TNotifyEvent OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent handler);
  // Delivers one tick now, as the system's timer does.
  void Tick();
  bool Running() const { return FRunning; }

private:
  void UpdateTimer();
  bool FEnabled = true;
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
  std::unique_ptr<ITimerPeer> FPeer;
  bool FRunning = false;
};
