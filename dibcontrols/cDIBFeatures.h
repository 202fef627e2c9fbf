#pragma once
// The pluggable features of DIB controls, and the list of controls that move with a control.
#include <string>

#include "toolkit/Collections.h"
#include "toolkit/Controls.h"

class TCustomDIBControl;

QV_EXCEPTION(EFeatureError, Exception)

// One feature of a control. The features themselves come with their registry; an item without
// one passes nothing.
class TDIBFeatureItem : public TCollectionItem {
public:
  QV_CLASS(TDIBFeatureItem)
  using TCollectionItem::TCollectionItem;
  virtual void ApplyParameters() {}
  virtual void DispatchMessage(TMessage& message, bool& handled) {
    (void)message;
    (void)handled;
  }
  std::string GetDisplayName() const override { return "DIB feature"; }
};

// A control's features: every message of the control reaches them, in collection order, before
// the control handles it; the first item that sets the handled flag ends the round.
class TDIBFeatures : public TOwnedCollection {
public:
  QV_CLASS(TDIBFeatures)
  explicit TDIBFeatures(TCustomDIBControl* control);
  TCustomDIBControl* Control() const { return FControl; }
  TDIBFeatureItem* Items(int index) const { return static_cast<TDIBFeatureItem*>(TCollection::Items(index)); }
  virtual void ApplyAllParameters();
  virtual void DispatchMessage(TMessage& message, bool& handled);

private:
  TCustomDIBControl* FControl;
};

// An entry of a control's Children: a control that moves with it.
class TControlItem : public TCollectionItem {
public:
  QV_CLASS(TControlItem)
  using TCollectionItem::TCollectionItem;
  TControl* Control() const { return FControl; }
  // Refuses none ("You cannot set Control to nil") and a control another item of the same list
  // names already ("Control already exists in list."); a refused assignment changes nothing.
  void SetControl(TControl* value);
  std::string GetDisplayName() const override;

protected:
  void CopyInto(TPersistent* dest) override;

private:
  TControl* FControl = nullptr;
};

class TControlList : public TOwnedCollection {
public:
  QV_CLASS(TControlList)
  explicit TControlList(TCustomDIBControl* control);
  TControlItem* Items(int index) const { return static_cast<TControlItem*>(TCollection::Items(index)); }
  TControlItem* Add() { return static_cast<TControlItem*>(TCollection::Add()); }
};
