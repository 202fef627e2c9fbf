#pragma once
// The image list: a component owning a numbered collection of pictures, and the image links
// through which controls refer to one picture by index and hear when it changes or goes away.
//
// Notification kinds a link receives: 0, the item at Index was deleted; 1, the item at Index
// changed (its picture or settings, or the link was pointed at it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dib/cDIB.h"
#include "toolkit/Classes.h"
#include "toolkit/Collections.h"

class TCustomDIBImageList;
class TDIBImageList;
class TDIBImages;
class TDIBImageLink;

class TDIBImagesItem : public TCollectionItem {
public:
  QV_CLASS(TDIBImagesItem)
  // Creating an item sends no link notification; its DIB starts 1 x 1.
  explicit TDIBImagesItem(TCollection* collection);
  // Tells the list's links that the item at its old index was deleted (after later items moved).
  ~TDIBImagesItem() override;

  TMemoryDIB* DIB() const { return FDIB.get(); }
  // Copies the given surface (pixels, size, settings) into the item's own DIB.
  void SetDIB(TAbstractSuperDIB* value);
  const std::string& TemplateFilename() const { return FTemplateFilename; }
  void SetTemplateFilename(const std::string& value) { FTemplateFilename = value; }
  std::string GetDisplayName() const override { return FDisplayName; }
  void SetDisplayName(const std::string& value) override;

  void DeclareStoredData(TFiler& filer) override;
  virtual void DIBChanged(TObject* sender);

private:
  std::unique_ptr<TMemoryDIB> FDIB;
  std::string FTemplateFilename;
  std::string FDisplayName;
};

class TDIBImages : public TOwnedCollection {
public:
  QV_CLASS(TDIBImages)
  explicit TDIBImages(TCustomDIBImageList* list);
  ~TDIBImages() override;

  TDIBImagesItem* Add() { return static_cast<TDIBImagesItem*>(TCollection::Add()); }
  TDIBImagesItem* Items(int index) const { return static_cast<TDIBImagesItem*>(TCollection::Items(index)); }
  TDIBImagesItem* operator[](int index) const { return Items(index); }
  // The first item (from 0) whose TemplateFilename is Name + ":" + Number, appended when none is.
  TDIBImagesItem* FindOrAddTemplate(const std::string& Name, int32_t Number);

  virtual void ItemChanged(int Index, uint8_t Kind);

protected:
  void Update(TCollectionItem* item) override;

private:
  TCustomDIBImageList* FList;
};

class TCustomDIBImageList : public TComponent {
public:
  QV_CLASS(TCustomDIBImageList)
  explicit TCustomDIBImageList(TComponent* owner);
  // Detaches every link (last registered first, without OnChange), then frees the items.
  ~TCustomDIBImageList() override;

  TDIBImages* DIBImages() const { return FDIBImages.get(); }
  void SetDIBImages(TDIBImages* value) { FDIBImages->CopyFrom(value); }

  // The shared work surface showing the item's pixels with the item's settings. Index must be
  // valid. Changing the work surface's settings does not touch the item.
  TMemoryDIB* GetDIB(int Index);
  // False for an index out of range or an item without pixels.
  bool TryGetDIB(int Index, TMemoryDIB*& DIB);
  bool IndexValid(int Index) const;

  virtual void RegisterLink(TDIBImageLink* Link);
  virtual void ItemChanged(TObject* Sender, int Index, uint8_t Kind);
  virtual void UnregisterLink(TDIBImageLink* Link);
  const TList<TDIBImageLink>& Links() const { return FLinks; }

private:
  std::unique_ptr<TDIBImages> FDIBImages;
  TList<TDIBImageLink> FLinks;
  std::unique_ptr<TMemoryDIB> FWorkDIB;
};

class TDIBImageList : public TCustomDIBImageList {
public:
  QV_CLASS(TDIBImageList)
  using TCustomDIBImageList::TCustomDIBImageList;
};

using TDIBImageLinkEvent = std::function<void(TDIBImageLink* Sender, int Index, uint8_t Kind)>;

class TDIBImageLink : public TPersistent {
public:
  QV_CLASS(TDIBImageLink)
  // Owner: the control consulted for its destroying state (may be nullptr).
  explicit TDIBImageLink(TComponent* Owner);
  ~TDIBImageLink() override;  // unregisters from its list

  TComponent* Owner() const { return FOwner; }
  TDIBImageList* DIBImageList() const { return FDIBImageList; }
  // Unregisters from the current list (even when it is the same), stores, registers.
  void SetDIBImageList(TDIBImageList* value);
  int32_t DIBIndex() const { return FDIBIndex; }
  void SetDIBIndex(int32_t value);
  // False without a list; otherwise the list's TryGetDIB for DIBIndex.
  bool GetDIB(TMemoryDIB*& DIB);

  virtual void Notify(int Index, uint8_t Kind);
  TDIBImageLinkEvent OnChange;

protected:
  void CopyInto(TPersistent* Dest) override;

private:
  TComponent* FOwner;
  TDIBImageList* FDIBImageList = nullptr;
  int32_t FDIBIndex = -1;
};

// Publishes the image list classes (and the surfaces they hold) to the streaming.
void RegisterDIBImageListClasses();
