#pragma once
// DIB containers: windowed panels that compose their background and every windowless child into
// one off-screen picture and copy the part that needs repainting to the screen in one block copy.
// They also carry the keyboard for their DIB controls, which have no windows.
#include <memory>

#include "dib/cDIB.h"
#include "dib/cDIBImageList.h"
#include "dib/cDIBPalette.h"
#include "toolkit/ExtCtrls.h"

class TCustomDIBControl;

class TCustomDIBContainer : public TCustomPanel {
public:
  QV_CLASS(TCustomDIBContainer)
  explicit TCustomDIBContainer(TComponent* owner);
  ~TCustomDIBContainer() override;

  TControl* ActiveControl() const { return FActiveControl; }
  virtual void ActivateControl(TControl* control);
  TNotifyEvent OnActiveControlChange;

  const TList<TCustomDIBControl>& DIBTabList() const { return FDIBTabList; }
  void MoveInDIBTabList(TCustomDIBControl* control, int position);
  virtual void RebuildDIBTabOrder();
  int TabOrderRank(const TControl* child) const;
  TCustomDIBControl* NextDIBControl(const TControl* from, bool forward) const;
  TControl* FirstTabChild() const;
  TControl* LastTabChild() const;
  bool SelectNextChild();
  bool SelectPrevChild();
  bool WantsKey(TMessage& message);
  // A control leaving the container: out of the tab list, and no longer active.
  void ForgetControl(TControl* control);

  TWinDIB* CompositionDIB() const { return FCompositionDIB.get(); }
  TWinDIB* ControlDIB() const { return FControlDIB.get(); }
  const TRect& PaintRect() const { return FPaintRect; }
  bool PaintRectFixed() const { return FPaintRectFixed; }
  TDIBPalette* Palette() const { return FPalette; }
  void SetPalette(TDIBPalette* palette) { FPalette = palette; }

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  // A button released away from the control holding the capture: that control hears that the
  // pointer left, and the windowless control under the pointer that it entered.
  void WndProc(TMessage& message) override;

protected:
  void Dispatch(TMessage& message) override;
  void WMPaint(TMessage& message) override;
  void CMFocusChanged(TMessage& message) override;
  void DoEnter() override;
  void DoExit() override;
  void CNKeyDown(TMessage& message) override;
  void CNKeyUp(TMessage& message) override;
  void CNChar(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override { message.Result = DLGC_WANTALLKEYS; }
  void Notification(TComponent* component, TOperation operation) override;
  // Fills the paint rectangle of the composition with the container's colour.
  virtual void PaintBackground();
  // Composes PaintRect into the composition's device context.
  void Compose(TDeviceContext& dc);

private:
  void CopyToWindow(TDeviceContext& dc);
  bool Shift() const;
  bool FActivating = false;
  bool FPaintRectFixed = false;
  TControl* FActiveControl = nullptr;
  TList<TCustomDIBControl> FDIBTabList;
  std::unique_ptr<TWinDIB> FControlDIB;
  std::unique_ptr<TWinDIB> FCompositionDIB;
  TRect FPaintRect;
  TDIBPalette* FPalette = nullptr;
};

enum class TTileMethod { tmCenter = 0, tmTile = 1 };

class TCustomDIBImageContainer : public TCustomDIBContainer {
public:
  QV_CLASS(TCustomDIBImageContainer)
  explicit TCustomDIBImageContainer(TComponent* owner);
  ~TCustomDIBImageContainer() override;

  TDIBImageLink* IndexImage() const { return FIndexImage.get(); }
  TDIBImageList* DIBImageList() const { return FIndexImage->DIBImageList(); }
  void SetDIBImageList(TDIBImageList* list) { FIndexImage->SetDIBImageList(list); }
  TTileMethod TileMethod() const { return FTileMethod; }
  // Invalidates on every assignment, the same value included.
  void SetTileMethod(TTileMethod value);
  virtual void ImageListChanged(int index, uint8_t change);

protected:
  void PaintBackground() override;

private:
  std::unique_ptr<TDIBImageLink> FIndexImage;
  TTileMethod FTileMethod = TTileMethod::tmCenter;
};

class TDIBImageContainer : public TCustomDIBImageContainer {
public:
  QV_CLASS(TDIBImageContainer)
  using TCustomDIBImageContainer::TCustomDIBImageContainer;
};
