#include "toolkit/Classes.h"

#include <algorithm>
#include <cstdlib>

#include "platform/AlignedMemory.h"

void ListIndexError(int index) { throw EListError(Format("List index out of bounds (%d)", index)); }

void TPersistent::CopyFrom(TPersistent* source) {
  if (source) {
    source->CopyInto(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::CopyInto(TPersistent* dest) {
  if (dest) dest->AssignError(this);
  AssignError(nullptr);
}

void TPersistent::DeclareStoredData(TFiler&) {}

void TPersistent::AssignError(TPersistent* source) {
  const char* sourceName = source ? source->ClassName() : "nil";
  throw EConvertAssignError(Format("Cannot assign a %s to a %s", sourceName, ClassName()));
}

// Every component comes from the aligned allocator, with at least the heap's own alignment, so
// that one release serves all of them: the destroying delete below cannot tell how a component
// was allocated, and on Windows aligned blocks must not go back through free.
void* TComponent::operator new(std::size_t size) {
  void* storage = platform::AllocateAligned(__STDCPP_DEFAULT_NEW_ALIGNMENT__, size ? size : 1);
  if (!storage) throw std::bad_alloc();
  return storage;
}

void* TComponent::operator new(std::size_t size, std::align_val_t alignment) {
  const auto align = std::max(static_cast<std::size_t>(alignment), std::size_t{__STDCPP_DEFAULT_NEW_ALIGNMENT__});
  void* storage = platform::AllocateAligned(align, size ? size : 1);
  if (!storage) throw std::bad_alloc();
  return storage;
}

void TComponent::operator delete(TComponent* component, std::destroying_delete_t) {
  // The start of the whole object, taken while its dynamic type is still known.
  void* storage = dynamic_cast<void*>(component);
  component->Destroying();
  component->~TComponent();
  platform::FreeAligned(storage);
}

void TComponent::operator delete(void* storage) noexcept { platform::FreeAligned(storage); }
void TComponent::operator delete(void* storage, std::align_val_t) noexcept { platform::FreeAligned(storage); }

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everybody who asked, then let go of what we own, then leave our owner.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& back = other->FFreeNotifies;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    // The child leaves the list in its own destructor; remove it first so a child whose
    // destructor throws or is odd cannot be destroyed twice.
    FComponents.pop_back();
    c->FOwner = nullptr;
    delete c;
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) ListIndexError(index);
  return FComponents[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& v = FOwner->FComponents;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  FComponents.push_back(component);
  component->FOwner = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it == FComponents.end()) return;
  if (!HasState(csDestroying)) Notification(component, TOperation::opRemove);
  it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
  component->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  auto& back = component->FFreeNotifies;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                      FFreeNotifies.end());
  auto& back = component->FFreeNotifies;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameTextAscii(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  // Owned components hear of every removal their owner hears of (a parent's notification
  // reaching its children, as the toolkit always did).
  if (operation == TOperation::opRemove && component)
    for (TComponent* c : std::vector<TComponent*>(FComponents))
      if (c != component) c->Notification(component, operation);
}
