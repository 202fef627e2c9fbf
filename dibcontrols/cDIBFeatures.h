#pragma once
// Pluggable behaviours of DIB controls, chosen by class name so that a stored form can name them:
// every message of a control reaches its feature items before the control handles it. Two come
// with the library: dragging and arrow-key moving, and highlighting under the pointer. Also the
// list of controls that move with a control (its Children).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Collections.h"
#include "toolkit/Controls.h"

class TCustomDIBControl;

QV_EXCEPTION(EFeatureError, Exception)

class TDIBFeature : public TComponent {
public:
  QV_CLASS(TDIBFeature)
  explicit TDIBFeature(TComponent* owner) : TComponent(owner) {}
  TControl* Control() const { return FControl; }
  void SetControl(TControl* control) { FControl = control; }
  virtual bool CanServe(TControl* control) const {
    (void)control;
    return true;
  }
  static std::string FeatureDisplayName() { return "Unknown feature"; }
  virtual std::string DisplayName() const { return FeatureDisplayName(); }
  virtual void HandleMessage(TMessage& message, bool& handled) = 0;

private:
  TControl* FControl = nullptr;
};

class TMoveableDIB : public TDIBFeature {
public:
  QV_CLASS(TMoveableDIB)
  using TDIBFeature::TDIBFeature;
  static std::string FeatureDisplayName() { return "Moveable DIB"; }
  std::string DisplayName() const override { return FeatureDisplayName(); }
  void HandleMessage(TMessage& message, bool& handled) override;

  bool AllowVertical() const { return FAllowVertical; }
  void SetAllowVertical(bool v) { FAllowVertical = v; }
  bool AllowHorizontal() const { return FAllowHorizontal; }
  void SetAllowHorizontal(bool v) { FAllowHorizontal = v; }
  uint8_t BorderSize() const { return FBorderSize; }
  void SetBorderSize(uint8_t v) { FBorderSize = v; }
  uint8_t SnapSize() const { return FSnapSize; }
  void SetSnapSize(uint8_t v) { FSnapSize = v; }
  bool Dragging() const { return FDragging; }

private:
  void MoveBy(int dx, int dy);
  bool FDragging = false;
  TPoint FGrabPoint;
  TPoint FPressedAt;  // recorded at every press, used by nothing
  bool FAllowVertical = true;
  bool FAllowHorizontal = true;
  uint8_t FBorderSize = 0;
  uint8_t FSnapSize = 1;
};

class THighlightDIB : public TDIBFeature {
public:
  QV_CLASS(THighlightDIB)
  using TDIBFeature::TDIBFeature;
  static std::string FeatureDisplayName() { return "Highlight dib"; }
  std::string DisplayName() const override { return FeatureDisplayName(); }
  bool CanServe(TControl* control) const override;
  void HandleMessage(TMessage& message, bool& handled) override;
  uint8_t HighlightOpacity() const { return FHighlightOpacity; }
  void SetHighlightOpacity(uint8_t v) { FHighlightOpacity = v; }
  uint8_t SavedOpacity() const { return FSavedOpacity; }

private:
  uint8_t FSavedOpacity = 0;
  uint8_t FHighlightOpacity = 255;
};

// The feature registry: classes in the order they were registered.
struct TDIBFeatureClass {
  std::string Name;
  std::function<TDIBFeature*(TComponent* owner)> Create;
  std::function<std::string()> DisplayName;
};
template <class T>
void RegisterDIBFeature();
void RegisterDIBFeatureClass(TDIBFeatureClass featureClass);
// From the last registered class to the first, letter case ignored; nullptr when none.
const TDIBFeatureClass* FindDIBFeature(const std::string& name);
// Registers the library's own features once (moving, then highlighting).
void RegisterStandardDIBFeatures();
// Empties the registry, as when the library is unloaded.
void UnregisterDIBFeatures();

// One feature of a control: it owns the instance of its class and passes it the control's
// messages while Enabled.
class TDIBFeatureItem : public TCollectionItem {
public:
  QV_CLASS(TDIBFeatureItem)
  explicit TDIBFeatureItem(TCollection* collection);
  ~TDIBFeatureItem() override;

  const std::string& FeatureClassName() const { return FFeatureClassName; }
  // "<name> has not been registered" for a name no class has; the item is unchanged then. An
  // empty name removes the feature.
  void SetFeatureClassName(const std::string& name);
  TDIBFeature* Feature() const { return FFeature; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v) { FEnabled = v; }
  const std::string& FeatureParameters() const { return FFeatureParameters; }
  void SetFeatureParameters(const std::string& v) { FFeatureParameters = v; }
  const std::vector<uint8_t>* ParameterData() const { return FHasParameterData ? &FParameterData : nullptr; }

  std::string GetDisplayName() const override;
  void DeclareStoredData(TFiler& filer) override;
  virtual void ApplyParameters();
  virtual void DispatchMessage(TMessage& message, bool& handled);

private:
  TCustomDIBControl* OwnerControl() const;
  std::vector<uint8_t> FParameterData;
  bool FHasParameterData = false;
  std::string FFeatureParameters;
  TDIBFeature* FFeature = nullptr;
  bool FEnabled = true;
  std::string FFeatureClassName;
};

// A control's features: every message of the control reaches them, in collection order, before
// the control handles it; the first item that sets the handled flag ends the round.
class TDIBFeatures : public TOwnedCollection {
public:
  QV_CLASS(TDIBFeatures)
  explicit TDIBFeatures(TCustomDIBControl* control);
  TCustomDIBControl* Control() const { return FControl; }
  TDIBFeatureItem* Items(int index) const { return static_cast<TDIBFeatureItem*>(TCollection::Items(index)); }
  TDIBFeatureItem* Add() { return static_cast<TDIBFeatureItem*>(TCollection::Add()); }
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

template <class T>
void RegisterDIBFeature() {
  RegisterDIBFeatureClass({T::StaticClassName(), [](TComponent* owner) -> TDIBFeature* { return new T(owner); },
                           [] { return T::FeatureDisplayName(); }});
}
