#include "toolkit/Collections.h"

#include <algorithm>

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection) collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() { LeaveCollection(); }

void TCollectionItem::LeaveCollection() {
  if (FCollection) FCollection->RemoveItem(this);
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& v = FCollection->FItems;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TCollectionItem::SetIndex(int value) {
  const int current = Index();
  if (current < 0 || value == current) return;
  if (value < 0) value = 0;
  if (value >= FCollection->Count()) value = FCollection->Count() - 1;
  if (value == current) return;
  FCollection->MoveItem(current, value);
  Changed(true);
}

void TCollectionItem::SetDisplayName(const std::string&) { Changed(false); }

void TCollectionItem::Changed(bool allItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TCollectionItemFactory factory, std::string itemClassName)
    : FFactory(std::move(factory)), FItemClassName(std::move(itemClassName)) {}

TCollection::~TCollection() {
  // Descendants that must hear of the deletions clear in their own destructor; here only the
  // memory goes, without calling back into a half-destroyed collection.
  FUpdateCount = 1;
  while (!FItems.empty()) {
    TCollectionItem* item = FItems.back();
    FItems.pop_back();
    item->FCollection = nullptr;
    delete item;
  }
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return FItems[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() { return FFactory(this); }

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, TCollectionNotification::cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) Delete(Count() - 1);
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == id) return item;
  return nullptr;
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::CopyFrom(TPersistent* source) {
  auto* other = dynamic_cast<TCollection*>(source);
  if (!other) {
    TPersistent::CopyFrom(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : other->FItems) Add()->CopyFrom(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::InsertItem(TCollectionItem* item) {
  FItems.push_back(item);
  item->FCollection = this;
  item->FID = FNextID++;
  SetItemName(item);
  Notify(item, TCollectionNotification::cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  item->FCollection = nullptr;
  Changed();
}

void TCollection::MoveItem(int from, int to) {
  TCollectionItem* item = FItems[static_cast<size_t>(from)];
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, item);
}
