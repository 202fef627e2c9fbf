#include "toolkit/TypInfo.h"

#include <map>
#include <memory>
#include <unordered_map>

namespace {

struct TRegistry {
  std::map<std::string, std::unique_ptr<TClassInfo>> ByName;  // upper-cased names
  std::unordered_map<std::type_index, TClassInfo*> ByType;
};

TRegistry& Registry() {
  static TRegistry* registry = [] {
    auto* r = new TRegistry;
    // The roots every published class stands on. Set up here, in the registry itself, so that no
    // start-up order of units can find them missing.
    auto add = [r](const char* name, const TClassInfo* parent, std::type_index type) -> TClassInfo& {
      auto info = std::make_unique<TClassInfo>();
      info->Name = name;
      info->Parent = parent;
      info->Type = type;
      TClassInfo& ref = *info;
      r->ByType[type] = info.get();
      r->ByName[UpperCaseAscii(name)] = std::move(info);
      return ref;
    };
    TClassInfo& persistent = add("TPersistent", nullptr, typeid(TPersistent));
    TClassInfo& component = add("TComponent", &persistent, typeid(TComponent));
    TClassRegistrar<TComponent>(component).Integer("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
    return r;
  }();
  return *registry;
}

}  // namespace

bool TPropInfo::IsReadOnly() const {
  if (IsOrdinal()) return !SetOrd;
  if (Kind == TTypeKind::tkFloat) return !SetFloat;
  if (Kind == TTypeKind::tkMethod) return !SetStr && !SetEvent;
  if (IsString()) return !SetStr;
  if (Kind == TTypeKind::tkClass) return IsReference && !SetObj;
  return true;
}

bool TPropInfo::IsStored(TObject* instance) const {
  if (StoredRule && !StoredRule(instance)) return false;
  if (IsReadOnly() && Kind != TTypeKind::tkClass) return false;
  if (Default && IsOrdinal() && GetOrd(instance) == *Default) return false;
  return true;
}

int TPropInfo::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameTextAscii(Names[i], name)) return static_cast<int>(i);
  return -1;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> props;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->OwnProps) {
      // A class may republish a property of its base with another default: the newest wins,
      // in the base's position.
      bool replaced = false;
      for (auto& q : props)
        if (SameTextAscii(q->Name, p.Name)) {
          q = &p;
          replaced = true;
        }
      if (!replaced) props.push_back(&p);
    }
  return props;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TPropInfo& p : c->OwnProps)
      if (SameTextAscii(p.Name, name)) return &p;
  return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == other) return true;
  return false;
}

const TMethodInfo* TClassInfo::FindMethod(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TMethodInfo& m : c->Methods)
      if (SameTextAscii(m.Name, name)) return &m;
  return nullptr;
}

const TClassInfo* FindClassInfo(const std::string& name) {
  auto& r = Registry();
  auto it = r.ByName.find(UpperCaseAscii(name));
  return it == r.ByName.end() ? nullptr : it->second.get();
}

const TClassInfo* GetClassInfo(const TObject* object) {
  if (!object) return nullptr;
  auto& r = Registry();
  auto it = r.ByType.find(typeid(*object));
  if (it != r.ByType.end()) return it->second;
  return nullptr;
}

const TClassInfo& RequireClassInfo(const TObject* object) {
  const TClassInfo* info = GetClassInfo(object);
  if (!info) throw EClassNotFound(Format("Class %s not found", object ? object->ClassName() : "nil"));
  return *info;
}

const TClassInfo& RequireClassInfo(const std::string& name) {
  const TClassInfo* info = FindClassInfo(name);
  if (!info) throw EClassNotFound(Format("Class %s not found", name.c_str()));
  return *info;
}

TClassInfo& RegisterClassInfoRaw(const std::string& name, const TClassInfo* parent, std::type_index type) {
  auto& r = Registry();
  auto& slot = r.ByName[UpperCaseAscii(name)];
  if (!slot) slot = std::make_unique<TClassInfo>();
  // Registering again replaces the earlier registration's list rather than doubling it.
  slot->Name = name;
  slot->Parent = parent;
  slot->Type = type;
  slot->OwnProps.clear();
  slot->Methods.clear();
  slot->CreateComponent = nullptr;
  slot->CreatePersistent = nullptr;
  slot->DeclareStoredData = nullptr;
  r.ByType[type] = slot.get();
  return *slot;
}

void UnregisterClassInfo(const std::string& name) {
  auto& r = Registry();
  auto it = r.ByName.find(UpperCaseAscii(name));
  if (it == r.ByName.end()) return;
  for (auto t = r.ByType.begin(); t != r.ByType.end();)
    t = t->second == it->second.get() ? r.ByType.erase(t) : std::next(t);
  // Classes registered under it keep a pointer to it; keep the object alive, empty.
  it->second->OwnProps.clear();
  it->second->Methods.clear();
  it->second->CreateComponent = nullptr;
  it->second->CreatePersistent = nullptr;
  static std::vector<std::unique_ptr<TClassInfo>> retired;
  retired.push_back(std::move(it->second));
  r.ByName.erase(it);
}

const TPropInfo* GetPropInfo(const TObject* object, const std::string& name) {
  const TClassInfo* info = GetClassInfo(object);
  return info ? info->FindProperty(name) : nullptr;
}
