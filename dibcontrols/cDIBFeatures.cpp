#include "dibcontrols/cDIBFeatures.h"

#include "dibcontrols/cDIBControl.h"

TDIBFeatures::TDIBFeatures(TCustomDIBControl* control)
    : TOwnedCollection(control, ItemFactory<TDIBFeatureItem>(), "TDIBFeatureItem"), FControl(control) {}

void TDIBFeatures::ApplyAllParameters() {
  for (int i = 0; i < Count(); ++i) Items(i)->ApplyParameters();
}

void TDIBFeatures::DispatchMessage(TMessage& message, bool& handled) {
  for (int i = 0; i < Count() && !handled; ++i) Items(i)->DispatchMessage(message, handled);
}

void TControlItem::SetControl(TControl* value) {
  if (!value) throw EFeatureError("You cannot set Control to nil");
  if (value == FControl) return;
  if (TCollection* list = Collection())
    for (int i = 0; i < list->Count(); ++i)
      if (list->Items(i) != this && static_cast<TControlItem*>(list->Items(i))->FControl == value)
        throw EFeatureError("Control already exists in list.");
  FControl = value;
}

std::string TControlItem::GetDisplayName() const {
  if (FControl) return FControl->Name().empty() ? std::string(FControl->ClassName()) : FControl->Name();
  return TCollectionItem::GetDisplayName();
}

void TControlItem::CopyInto(TPersistent* dest) {
  if (auto* other = dynamic_cast<TControlItem*>(dest)) {
    other->SetControl(FControl);
    return;
  }
  TCollectionItem::CopyInto(dest);
}

TControlList::TControlList(TCustomDIBControl* control)
    : TOwnedCollection(control, ItemFactory<TControlItem>(), "TControlItem") {}
