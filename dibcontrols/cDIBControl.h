#pragma once
// The base of the windowless picture controls. A DIB control lives in a DIB container, paints
// into a scratch picture that starts as a copy of what lies beneath it and is blended back at the
// control's Opacity, tracks the pointer (with the capture taken into account), can repeat a held
// button, takes the container's keyboard, refers to pictures of an image list through links, and
// moves its Children with it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dib/cDIB.h"
#include "dib/cDIBImageList.h"
#include "dibcontrols/cDIBFeatures.h"
#include "dibcontrols/cDIBTimer.h"
#include "toolkit/Controls.h"

class TCustomDIBContainer;
class TStream;

QV_EXCEPTION(EDIBControlError, Exception)

// Carries a picture through the component stream, so that a template can store a DIB as a
// component and read it back into a picture of an image list.
class TDIBWrapper : public TComponent {
public:
  QV_CLASS(TDIBWrapper)
  explicit TDIBWrapper(TComponent* owner) : TComponent(owner) {}

  TMemoryDIB* DIB() const { return FDIB; }
  void SetDIB(TMemoryDIB* value) { FDIB = value; }

private:
  TMemoryDIB* FDIB = nullptr;  // not owned
};

enum TDialogKey : unsigned { dkTab = 1, dkArrows = 2, dkAllKeys = 4 };
using TDialogKeys = unsigned;
using TTabOrder = int16_t;

class TCustomDIBControl : public TGraphicControl {
public:
  QV_CLASS(TCustomDIBControl)
  // The owner must be a DIB container or own one: "Owner cannot be nil", "Parent must be a
  // TDIBContainer".
  explicit TCustomDIBControl(TComponent* owner);
  ~TCustomDIBControl() override;

  // A parent that is no DIB container is replaced by the first DIB container it owns.
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void WndProc(TMessage& message) override;
  void Click() override;
  void Loaded() override;

  TCustomDIBContainer* Container() const;

  TDIBImageList* DIBImageList() const { return FDIBImageList; }
  void SetDIBImageList(TDIBImageList* value);
  const TObjectList<TDIBImageLink>& ImageLinks() const { return FImageLinks; }
  TDIBImageLink* CreateImageLink();

  uint8_t Opacity() const { return FOpacity; }
  virtual void SetOpacity(uint8_t value);
  char32_t Accelerator() const { return FAccelerator; }
  void SetAccelerator(char32_t value) { FAccelerator = value; }
  TTabOrder DIBTabOrder() const;
  void SetDIBTabOrder(TTabOrder value);
  TTabOrder StoredDIBTabOrder() const { return FStoredDIBTabOrder; }
  TDialogKeys DialogKeys() const { return FDialogKeys; }
  void SetDialogKeys(TDialogKeys value) { FDialogKeys = value; }
  bool AutoRepeat() const { return FAutoRepeat; }
  void SetAutoRepeat(bool value) { FAutoRepeat = value; }
  uint32_t RepeatInterval() const { return FRepeatInterval; }
  void SetRepeatInterval(uint32_t value) { FRepeatInterval = value; }
  TDIBTimer* RepeatTimer() const { return FRepeatTimer.get(); }

  bool Focused() const { return FFocused; }
  bool Hot() const { return FHot; }
  bool PointerInside() const { return FPointerInside; }
  TControlList* Children() const { return FChildren.get(); }
  TDIBFeatures* DIBFeatures() const { return FDIBFeatures.get(); }
  TCanvas* DrawCanvas() const { return FDrawCanvas.get(); }
  // The surface of the current paint. It holds only the part of the control that the container
  // recomposes (in the control's coordinates), with that part's top-left at its own (0, 0) and its
  // clip rectangle around it: a control far larger than its window costs no more memory than the
  // window. Drawing onto it subtracts DrawOrigin(); the canvas does that itself.
  TWinDIB* DrawDIB() const { return FDrawDIB; }
  TPoint DrawOrigin() const { return {FDrawPart.Left, FDrawPart.Top}; }
  void SetDrawDIB(TWinDIB* dib, const TRect& part) {
    FDrawDIB = dib;
    FDrawPart = part;
  }

  TNotifyEvent OnEnter, OnExit, OnMouseEnter, OnMouseLeave;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

  // Operations the container and descendants use.
  virtual void AdjustCompositionRect(TRect& rect) { (void)rect; }
  virtual void HighlightOn() {}
  virtual void HighlightOff() {}
  virtual void FocusEnter();
  virtual void FocusExit();
  virtual bool HandleKeyDown(TMessage& message);
  virtual bool HandleKeyPress(TMessage& message);
  virtual bool HandleKeyUp(TMessage& message);
  virtual void PointerEnter();
  virtual void PointerLeave();
  virtual void ImageChanged(int index, uint8_t change) {
    (void)index;
    (void)change;
  }
  virtual bool IsShortCutKey(TMessage& message);
  // Draws into DrawDIB; drawing through the DIB operations is clipped to its clip rectangle.
  virtual void PaintDIB() {}
  virtual void StopRepeat() { FStopRepeatRequested = true; }

  // Templates: the pictures of the control's links and the values of its template properties,
  // so that one control's look can be given to another. Loading without an image list fails with
  // "No DIB image list has been assigned."; saving without one writes nothing.
  virtual void LoadTemplate(TStream& stream);
  virtual void SaveTemplate(TStream& stream);
  // The published properties a template stores, in the order they were registered.
  const std::vector<std::string>& TemplateProperties() const { return FTemplateProperties; }
  // Adds a published property of a kind that a template can hold (ordinal, floating point or
  // text); anything else fails with EDIBControlError.
  void RegisterTemplateProperty(const std::string& name);
  // The published property whose value is the link; empty when none is.
  std::string LinkPropertyName(const TDIBImageLink* link) const;

protected:
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TCustomDIBContainer;
  void PaintProtocol(TMessage& message);
  void RepeatTick(TObject* sender);

  TObjectList<TDIBImageLink> FImageLinks;
  TDIBImageList* FDIBImageList = nullptr;
  std::unique_ptr<TCanvas> FDrawCanvas;
  TWinDIB* FDrawDIB = nullptr;
  TRect FDrawPart;
  char32_t FAccelerator = 0;
  bool FFocused = false;
  bool FStopRepeatRequested = false;
  bool FInSetBounds = false;
  std::unique_ptr<TControlList> FChildren;
  bool FAutoRepeat = false;
  uint32_t FRepeatInterval = 250;
  std::unique_ptr<TDIBTimer> FRepeatTimer;
  TMessage FRepeatMessage;
  bool FPointerInside = false;
  bool FHot = false;
  std::unique_ptr<TDIBFeatures> FDIBFeatures;
  uint8_t FOpacity = 255;
  TTabOrder FStoredDIBTabOrder = -1;
  TDialogKeys FDialogKeys = dkArrows;
  std::vector<std::string> FTemplateProperties;
};
