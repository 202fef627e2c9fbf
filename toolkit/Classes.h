#pragma once
// Lists, persistent objects and components: ownership and notification for the whole toolkit.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "toolkit/SysUtils.h"

// Raises the list index failure every list of the toolkit shares.
[[noreturn]] void ListIndexError(int index);

// A list of references: it never owns what it holds. Indices are bounds-checked like the
// toolkit's lists always were, with "List index out of bounds (%d)".
template <class T>
class TList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int index) const {
    Check(index);
    return FItems[static_cast<size_t>(index)];
  }
  T* operator[](int index) const { return Items(index); }
  int Add(T* item) {
    FItems.push_back(item);
    return Count() - 1;
  }
  void Insert(int index, T* item) {
    if (index < 0 || index > Count()) ListIndexError(index);
    FItems.insert(FItems.begin() + index, item);
  }
  void Delete(int index) {
    Check(index);
    FItems.erase(FItems.begin() + index);
  }
  int IndexOf(const T* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
  }
  int Remove(const T* item) {
    int i = IndexOf(item);
    if (i >= 0) Delete(i);
    return i;
  }
  void Move(int from, int to) {
    Check(from);
    Check(to);
    T* item = FItems[static_cast<size_t>(from)];
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, item);
  }
  void Clear() { FItems.clear(); }
  bool Contains(const T* item) const { return IndexOf(item) >= 0; }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

private:
  void Check(int index) const {
    if (index < 0 || index >= Count()) ListIndexError(index);
  }
  std::vector<T*> FItems;
};

// A list that owns its objects and destroys them with itself or when they are deleted from it.
template <class T>
class TObjectList {
public:
  TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  ~TObjectList() { Clear(); }

  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int index) const {
    if (index < 0 || index >= Count()) ListIndexError(index);
    return FItems[static_cast<size_t>(index)].get();
  }
  T* operator[](int index) const { return Items(index); }
  int Add(std::unique_ptr<T> item) {
    FItems.push_back(std::move(item));
    return Count() - 1;
  }
  void Delete(int index) {
    if (index < 0 || index >= Count()) ListIndexError(index);
    std::unique_ptr<T> doomed = std::move(FItems[static_cast<size_t>(index)]);
    FItems.erase(FItems.begin() + index);
  }
  // Destroys the objects from the last to the first, each after it has left the list.
  void Clear() {
    while (!FItems.empty()) {
      std::unique_ptr<T> doomed = std::move(FItems.back());
      FItems.pop_back();
    }
  }
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
  }

private:
  std::vector<std::unique_ptr<T>> FItems;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TFiler;

// An object whose state can be copied to another and stored.
class TPersistent : public TObject {
public:
  QV_CLASS(TPersistent)
  // Copies Source into this object; Source decides through CopyInto unless this class knows it.
  virtual void CopyFrom(TPersistent* source);
  // Declares stored data that is not a published property (binary blocks and the like).
  virtual void DeclareStoredData(TFiler& filer);

protected:
  virtual void CopyInto(TPersistent* dest);
  [[noreturn]] void AssignError(TPersistent* source);
};

QV_EXCEPTION(EConvertAssignError, EConvertError)

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
  csUpdating = 1u << 5,
};

// The owner of a component destroys it; other components that want to hear of its destruction
// ask with FreeNotification and are told through Notification(opRemove).
class TComponent : public TPersistent {
public:
  QV_CLASS(TComponent)
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Deleting a component marks it destroying before the first destructor of its class chain
  // runs, so that every notification sent while it goes can tell a dying component from a live
  // one. The storage comes from the C allocator in both the plain and the over-aligned case, so
  // that the deletion can free it without knowing the dynamic type's size or alignment.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, std::align_val_t alignment);
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(TComponent* component, std::destroying_delete_t);
  // Used only when a constructor fails inside a new-expression.
  static void operator delete(void* storage) noexcept;
  static void operator delete(void* storage, std::align_val_t) noexcept;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;

  const std::string& Name() const { return FName; }
  virtual void SetName(const std::string& name) { FName = name; }
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t tag) { FTag = tag; }

  unsigned ComponentState() const { return FState; }
  bool HasState(unsigned flags) const { return (FState & flags) != 0; }
  void SetDesigning(bool on) { SetState(csDesigning, on); }

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  TComponent* FindComponent(const std::string& name) const;

  // Loading brackets used by the stream reader: loading state on, then Loaded() after the tree.
  void BeginLoading() { SetState(csLoading | csReading, true); }
  void EndReading() { SetState(csReading, false); }
  virtual void Loaded() { SetState(csLoading, false); }
  // A read that failed: the component leaves the loading state without Loaded, which would
  // finish a state that was never completely read.
  void AbandonLoading() { SetState(csLoading | csReading, false); }

protected:
  virtual void Notification(TComponent* component, TOperation operation);
  void SetState(unsigned flags, bool on) { FState = on ? (FState | flags) : (FState & ~flags); }
  // Marks the component destroying. Deletion does so before any destructor runs; destructors call
  // it too, for components that live on the stack.
  void Destroying() { FState |= csDestroying; }
  void DestroyComponents();

private:
  friend class TComponentAccess;
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::string FName;
  intptr_t FTag = 0;
  unsigned FState = 0;
};

template <class T>
T* dyn(TObject* o) {
  return dynamic_cast<T*>(o);
}
