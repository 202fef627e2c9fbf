#pragma once
// The image control: one picture of an image list, placed at the top-left corner, centred or
// stretched, rotated and zoomed, blended into its container at the control's opacity.
#include "dibcontrols/cDIBControl.h"

class TCustomDIBImage : public TCustomDIBControl {
public:
  QV_CLASS(TCustomDIBImage)
  explicit TCustomDIBImage(TComponent* owner);

  TAngle Angle() const { return FAngle; }
  void SetAngle(TAngle value);  // repaints on every assignment
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  bool Center() const { return FCenter; }
  void SetCenter(bool value);
  double Scale() const { return FScale; }
  void SetScale(double value);  // turns Stretch off, on every assignment
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value);  // repaints on every assignment
  TDIBImageLink* IndexMain() const { return FIndexMain; }

  void ImageChanged(int index, uint8_t change) override;
  virtual void PictureChanged();
  void PaintDIB() override;

private:
  TAngle FAngle = 0;
  bool FAutoSize = false;
  bool FCenter = false;
  TDIBImageLink* FIndexMain = nullptr;
  double FScale = 100.0;
  bool FStretch = false;
};

class TDIBImage : public TCustomDIBImage {
public:
  QV_CLASS(TDIBImage)
  using TCustomDIBImage::TCustomDIBImage;
};
