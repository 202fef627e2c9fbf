#pragma once
// Collections: numbered lists of persistent items that the collection owns and streams as one
// property. An item knows its collection and its index; moving or deleting items renumbers the
// rest. Descendants hear of changes through Update (BeginUpdate / EndUpdate batch them).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Classes.h"

class TCollection;

class TCollectionItem : public TPersistent {
public:
  QV_CLASS(TCollectionItem)
  // Inserts the new item at the end of collection (when there is one).
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return FCollection; }
  int Index() const;
  virtual void SetIndex(int value);
  int ID() const { return FID; }
  // The name an editor shows; by default the class name.
  virtual std::string GetDisplayName() const { return ClassName(); }
  virtual void SetDisplayName(const std::string& value);
  std::string DisplayName() const { return GetDisplayName(); }

protected:
  // Tells the collection that this item (or, with allItems, every item) changed.
  void Changed(bool allItems);
  // Leaves the collection now (later items move down by one); a descendant's destructor calls it
  // when it must act after its item is gone.
  void LeaveCollection();

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

using TCollectionItemFactory = std::function<TCollectionItem*(TCollection*)>;

class TCollection : public TPersistent {
public:
  QV_CLASS(TCollection)
  // factory creates one item in the given collection (the item's constructor inserts it);
  // itemClassName names the item class for stored forms and errors.
  TCollection(TCollectionItemFactory factory, std::string itemClassName);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int index) const;
  TCollectionItem* operator[](int index) const { return Items(index); }
  const std::string& ItemClassName() const { return FItemClassName; }
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  virtual TPersistent* GetOwner() const { return nullptr; }

  virtual void BeginUpdate() { ++FUpdateCount; }
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  void CopyFrom(TPersistent* source) override;

protected:
  // item is nullptr when the whole collection changed. Not called inside an update bracket.
  virtual void Update(TCollectionItem* item) { (void)item; }
  virtual void Notify(TCollectionItem* item, TCollectionNotification action) {
    (void)item;
    (void)action;
  }
  virtual void SetItemName(TCollectionItem* item) { (void)item; }
  void Changed();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void MoveItem(int from, int to);

  std::vector<TCollectionItem*> FItems;
  TCollectionItemFactory FFactory;
  std::string FItemClassName;
  int FNextID = 0;
  int FUpdateCount = 0;
};

// A collection that names its owner (which a stored form and an item's notifications reach).
class TOwnedCollection : public TCollection {
public:
  QV_CLASS(TOwnedCollection)
  TOwnedCollection(TPersistent* owner, TCollectionItemFactory factory, std::string itemClassName)
      : TCollection(std::move(factory), std::move(itemClassName)), FOwner(owner) {}
  TPersistent* GetOwner() const override { return FOwner; }

private:
  TPersistent* FOwner;
};

// A factory for collections of one item class: TCollectionItemFactory for T.
template <class T>
TCollectionItemFactory ItemFactory() {
  return [](TCollection* c) -> TCollectionItem* { return new T(c); };
}
