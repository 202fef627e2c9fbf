#include "dib/cDIBImageList.h"

#include <mutex>

#include "dib/cDIBFormat.h"
#include "toolkit/Streaming.h"
#include "toolkit/TypInfo.h"

// ---------------------------------------------------------------------------------------------
// Item

TDIBImagesItem::TDIBImagesItem(TCollection* collection)
    : TCollectionItem(collection), FDIB(std::make_unique<TMemoryDIB>(1, 1)), FDisplayName(ClassName()) {
  FDIB->OnChange = [this](TObject* sender) { DIBChanged(sender); };
}

TDIBImagesItem::~TDIBImagesItem() {
  const int index = Index();
  auto* images = dynamic_cast<TDIBImages*>(Collection());
  FDIB.reset();
  LeaveCollection();
  // A destructor must not throw: a failure in a link's handler while the item goes is dropped.
  try {
    if (images) images->ItemChanged(index, 0);
  } catch (...) {
  }
}

void TDIBImagesItem::SetDIB(TAbstractSuperDIB* value) { FDIB->CopyFrom(value); }

void TDIBImagesItem::SetDisplayName(const std::string& value) {
  FDisplayName = value;
  TCollectionItem::SetDisplayName(value);
}

void TDIBImagesItem::DeclareStoredData(TFiler& filer) {
  TCollectionItem::DeclareStoredData(filer);
  filer.DefineProperty(
      "TemplateFilename", [this](TReader& r) { FTemplateFilename = r.ReadString(); },
      [this](TWriter& w) { w.WriteString(FTemplateFilename); }, !FTemplateFilename.empty());
}

void TDIBImagesItem::DIBChanged(TObject*) {
  if (auto* images = dynamic_cast<TDIBImages*>(Collection())) images->ItemChanged(Index(), 1);
}

// ---------------------------------------------------------------------------------------------
// Collection

TDIBImages::TDIBImages(TCustomDIBImageList* list)
    : TOwnedCollection(list, ItemFactory<TDIBImagesItem>(), "TDIBImagesItem"), FList(list) {}

TDIBImages::~TDIBImages() {
  // The items go while this collection is still whole, so their delete notifications run here.
  Clear();
}

TDIBImagesItem* TDIBImages::FindOrAddTemplate(const std::string& Name, int32_t Number) {
  const std::string key = Name + ":" + std::to_string(Number);
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->TemplateFilename() == key) return Items(i);
  TDIBImagesItem* item = Add();
  item->SetTemplateFilename(key);
  return item;
}

void TDIBImages::ItemChanged(int Index, uint8_t Kind) {
  // Items go while the list is being destroyed; a half-destroyed list is not asked its class.
  if (!FList || FList->HasState(csDestroying)) return;
  if (auto* list = dynamic_cast<TDIBImageList*>(FList)) list->ItemChanged(this, Index, Kind);
}

void TDIBImages::Update(TCollectionItem* item) { TOwnedCollection::Update(item); }

// ---------------------------------------------------------------------------------------------
// Image list

TCustomDIBImageList::TCustomDIBImageList(TComponent* owner)
    : TComponent(owner), FDIBImages(std::make_unique<TDIBImages>(this)), FWorkDIB(std::make_unique<TMemoryDIB>(1, 1)) {
  RegisterDIBImageListClasses();
}

TCustomDIBImageList::~TCustomDIBImageList() {
  Destroying();
  // Every link leaves, last registered first. A link registered by hand while it points at another
  // list (or none) is only dropped here, so that the loop always ends.
  while (FLinks.Count() > 0) {
    TDIBImageLink* link = FLinks[FLinks.Count() - 1];
    if (link->DIBImageList() == this) link->SetDIBImageList(nullptr);
    FLinks.Remove(link);
  }
  FDIBImages.reset();
  FWorkDIB.reset();
}

TMemoryDIB* TCustomDIBImageList::GetDIB(int Index) {
  FWorkDIB->Reference(FDIBImages->Items(Index)->DIB());
  return FWorkDIB.get();
}

bool TCustomDIBImageList::TryGetDIB(int Index, TMemoryDIB*& DIB) {
  if (!IndexValid(Index) || !FDIBImages->Items(Index)->DIB()->HasPixels()) return false;
  DIB = GetDIB(Index);
  return true;
}

bool TCustomDIBImageList::IndexValid(int Index) const { return Index >= 0 && Index < FDIBImages->Count(); }

void TCustomDIBImageList::RegisterLink(TDIBImageLink* Link) {
  if (!Link) return;
  if (!FLinks.Contains(Link)) FLinks.Add(Link);
  for (int i = 0; i < FDIBImages->Count(); ++i) Link->Notify(i, 1);
}

void TCustomDIBImageList::ItemChanged(TObject*, int Index, uint8_t Kind) {
  // A handler may re-point its link while we walk: walk a copy.
  const std::vector<TDIBImageLink*> links(FLinks.begin(), FLinks.end());
  for (TDIBImageLink* link : links)
    if (FLinks.Contains(link)) link->Notify(Index, Kind);
}

void TCustomDIBImageList::UnregisterLink(TDIBImageLink* Link) { FLinks.Remove(Link); }

// ---------------------------------------------------------------------------------------------
// Link

TDIBImageLink::TDIBImageLink(TComponent* Owner) : FOwner(Owner) {}

TDIBImageLink::~TDIBImageLink() {
  if (FDIBImageList) FDIBImageList->UnregisterLink(this);
}

void TDIBImageLink::SetDIBImageList(TDIBImageList* value) {
  // Acts on every assignment: the same list again unregisters and registers anew.
  if (FDIBImageList) FDIBImageList->UnregisterLink(this);
  FDIBImageList = value;
  if (value) value->RegisterLink(this);
}

void TDIBImageLink::SetDIBIndex(int32_t value) {
  const int32_t previous = FDIBIndex;
  FDIBIndex = value;
  if (value != previous) Notify(value, 1);
}

bool TDIBImageLink::GetDIB(TMemoryDIB*& DIB) { return FDIBImageList && FDIBImageList->TryGetDIB(FDIBIndex, DIB); }

void TDIBImageLink::Notify(int Index, uint8_t Kind) {
  if (Kind == 1 && Index != FDIBIndex) return;
  if (Kind == 0 && Index > FDIBIndex) return;
  if (FOwner && FOwner->HasState(csDestroying)) return;
  if (Kind == 0 && Index < FDIBIndex) {
    --FDIBIndex;  // the linked item moved down by one
    return;
  }
  if (Kind == 0) FDIBIndex = -1;
  if (OnChange) OnChange(this, Index, Kind);
}

void TDIBImageLink::CopyInto(TPersistent* Dest) {
  auto* other = dynamic_cast<TDIBImageLink*>(Dest);
  if (!other) {
    TPersistent::CopyInto(Dest);
    return;
  }
  other->SetDIBIndex(FDIBIndex);
  other->SetDIBImageList(FDIBImageList);
}

void RegisterDIBImageListClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDIBClasses();
    RegisterClassInfo<TCollectionItem, TPersistent>();
    RegisterClassInfo<TDIBImagesItem, TCollectionItem>()
        .Object("DIB", &TDIBImagesItem::DIB, &TDIBImagesItem::SetDIB)
        .String("DisplayName", &TDIBImagesItem::GetDisplayName, &TDIBImagesItem::SetDisplayName);
    RegisterClassInfo<TCustomDIBImageList, TComponent>();
    RegisterClassInfo<TDIBImageList, TCustomDIBImageList>().Object("DIBImages", &TDIBImageList::DIBImages,
                                                                   &TDIBImageList::SetDIBImages);
    RegisterClassInfo<TDIBImageLink, TPersistent>()
        .Reference("DIBImageList", &TDIBImageLink::DIBImageList, &TDIBImageLink::SetDIBImageList)
        .Integer("DIBIndex", &TDIBImageLink::DIBIndex, &TDIBImageLink::SetDIBIndex);
  });
}
