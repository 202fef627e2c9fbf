#include "dibcontrols/cDIBImage.h"

TCustomDIBImage::TCustomDIBImage(TComponent* owner) : TCustomDIBControl(owner) {
  FIndexMain = CreateImageLink();
  for (const char* name : {"Angle", "AutoSize", "Center", "Opacity", "Scale", "Stretch"}) RegisterTemplateProperty(name);
}

void TCustomDIBImage::SetAngle(TAngle value) {
  FAngle = value;
  PictureChanged();
}

void TCustomDIBImage::SetAutoSize(bool value) {
  if (value == FAutoSize) return;
  FAutoSize = value;
  if (!value) return;
  FStretch = false;  // the field only: Stretch's setter would turn AutoSize off again
  PictureChanged();
}

void TCustomDIBImage::SetCenter(bool value) {
  if (value == FCenter) return;
  FCenter = value;
  PictureChanged();
}

void TCustomDIBImage::SetScale(double value) {
  FScale = value;
  SetStretch(false);
  PictureChanged();
}

void TCustomDIBImage::SetStretch(bool value) {
  FStretch = value;
  if (value) SetAutoSize(false);
  Invalidate();
}

void TCustomDIBImage::ImageChanged(int index, uint8_t) {
  if (index == FIndexMain->DIBIndex()) PictureChanged();
}

void TCustomDIBImage::PictureChanged() {
  TMemoryDIB* picture = nullptr;
  if (FAutoSize && FIndexMain->DIBIndex() >= 0 && FIndexMain->GetDIB(picture) && picture) {
    const TPoint size = RotatedSize(picture->Width(), picture->Height(), FAngle, FScale, FScale);
    if (size.X > 0 && size.Y > 0) SetBounds(Left(), Top(), size.X, size.Y);
  }
  Invalidate();
}

void TCustomDIBImage::PaintDIB() {
  TMemoryDIB* picture = nullptr;
  if (!FIndexMain->GetDIB(picture) || !picture || !DrawDIB()) return;
  const int w0 = picture->Width(), h0 = picture->Height();
  if (w0 == 0 || h0 == 0) return;
  // These settings go on the image list's shared work surface; the item keeps its own.
  picture->SetAutoSize(true);
  picture->SetAngle(FAngle);
  picture->SetScale(FScale);
  if (FStretch) {
    picture->SetScaleX(static_cast<double>(Width() * 100 / w0));
    picture->SetScaleY(static_cast<double>(Height() * 100 / h0));
  }
  const TPoint size = RotatedSize(static_cast<uint16_t>(w0), static_cast<uint16_t>(h0), FAngle, picture->ScaleX(),
                                  picture->ScaleY());
  int x = 0, y = 0;
  if (FCenter && !FAutoSize) {
    x = Width() / 2 - size.X / 2;
    y = Height() / 2 - size.Y / 2;
  }
  const TPoint origin = DrawOrigin();
  picture->Draw(x - origin.X, y - origin.Y, w0, h0, DrawDIB(), 0, 0);
}
