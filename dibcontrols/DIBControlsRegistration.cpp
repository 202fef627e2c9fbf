#include "dibcontrols/DIBControlsRegistration.h"

#include <mutex>

#include "dib/cDIBImageList.h"
#include "dibcontrols/cDIBControl.h"
#include "dibcontrols/cDIBFeatures.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "dibcontrols/cDIBTimer.h"
#include "toolkit/ControlsRegistration.h"
#include "toolkit/TypInfo.h"

namespace {

void RegisterControlBase() {
  if (!FindClassInfo("TCollectionItem")) RegisterClassInfo<TCollectionItem, TPersistent>();
  RegisterClassInfo<TControlItem, TCollectionItem>().Reference("Control", &TControlItem::Control,
                                                               &TControlItem::SetControl);
  // Every property a picture control publishes beyond the toolkit's is written whatever its
  // value: a stored form says exactly what the control was, defaults included.
  RegisterClassInfo<TCustomDIBControl, TGraphicControl>()
      .Char("Accelerator", &TCustomDIBControl::Accelerator, &TCustomDIBControl::SetAccelerator)
      .Object("Children", &TCustomDIBControl::Children)
      .Object("DIBFeatures", &TCustomDIBControl::DIBFeatures)
      .Reference("DIBImageList", &TCustomDIBControl::DIBImageList, &TCustomDIBControl::SetDIBImageList)
      .Integer("Opacity", &TCustomDIBControl::Opacity, &TCustomDIBControl::SetOpacity)
      .Integer("DIBTabOrder", &TCustomDIBControl::DIBTabOrder, &TCustomDIBControl::SetDIBTabOrder)
      .Event("OnEnter", &TCustomDIBControl::OnEnter)
      .Event("OnExit", &TCustomDIBControl::OnExit)
      .Event("OnKeyDown", &TCustomDIBControl::OnKeyDown)
      .Event("OnKeyPress", &TCustomDIBControl::OnKeyPress)
      .Event("OnKeyUp", &TCustomDIBControl::OnKeyUp)
      .Event("OnMouseEnter", &TCustomDIBControl::OnMouseEnter)
      .Event("OnMouseLeave", &TCustomDIBControl::OnMouseLeave);
  // Templates carry their pictures as this component.
  RegisterClassInfo<TDIBWrapper, TComponent>().Object("DIB", &TDIBWrapper::DIB);
}

void RegisterImage() {
  RegisterClassInfo<TCustomDIBImage, TCustomDIBControl>()
      .Integer("Angle", &TCustomDIBImage::Angle, &TCustomDIBImage::SetAngle)
      .Boolean("AutoSize", &TCustomDIBImage::AutoSize, &TCustomDIBImage::SetAutoSize)
      .Boolean("Center", &TCustomDIBImage::Center, &TCustomDIBImage::SetCenter)
      .Object("IndexMain", &TCustomDIBImage::IndexMain)
      .Float("Scale", &TCustomDIBImage::Scale, &TCustomDIBImage::SetScale)
      .Boolean("Stretch", &TCustomDIBImage::Stretch, &TCustomDIBImage::SetStretch);
  RegisterClassInfo<TDIBImage, TCustomDIBImage>();
}

void RegisterContainers() {
  RegisterClassInfo<TCustomDIBContainer, TCustomPanel>();
  RegisterClassInfo<TCustomDIBImageContainer, TCustomDIBContainer>();
  RegisterClassInfo<TDIBImageContainer, TCustomDIBImageContainer>()
      .Reference("DIBImageList", &TDIBImageContainer::DIBImageList, &TDIBImageContainer::SetDIBImageList)
      .Object("IndexImage", &TDIBImageContainer::IndexImage)
      .Enum("TileMethod", &TDIBImageContainer::TileMethod, &TDIBImageContainer::SetTileMethod,
            {"tmCenter", "tmTile"})
      .Event("OnActiveControlChange", &TDIBImageContainer::OnActiveControlChange);
}

}  // namespace

void RegisterDIBControlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterControlClasses();
    RegisterDIBImageListClasses();
    RegisterDIBTimerClasses();
    RegisterStandardDIBFeatures();
    RegisterControlBase();
    RegisterImage();
    RegisterContainers();
  });
}
