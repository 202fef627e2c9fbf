#pragma once
// Published properties and the class registry.
//
// C++ has no published section, so a class lists its published properties once, in a
// registration, usually from a function its unit runs at start-up:
//
//   RegisterClassInfo<TMyControl, TControl>()        // class, then its published base
//       .Integer("Opacity", &TMyControl::Opacity, &TMyControl::SetOpacity, /*default*/ 255)
//       .Boolean("Masked", &TMyControl::Masked, &TMyControl::SetMasked)
//       .Enum("Mode", &TMyControl::Mode, &TMyControl::SetMode, {"tmAuto", "tmFixed"})
//       .String("Caption", &TMyControl::Caption, &TMyControl::SetCaption)
//       .Object("Font", &TMyControl::Font)            // an owned persistent, streamed in place
//       .Reference("ImageList", &TMyControl::ImageList, &TMyControl::SetImageList)
//       .Event("OnClick", &TMyControl::OnClick);       // a std::function member, or getter + setter
//
// A stored form names the handlers of its events; they are published methods of the form's root
// class, bound to the root when the form is read:
//
//   RegisterClassInfo<TfrmMain, TForm>().PublishedMethod("lblTitleClick", &TfrmMain::lblTitleClick);
//
// A component class registered with a factory (the default for TComponent descendants that take
// an owner) can be created by name when a stored form is read. Properties without a stored
// default are always written; those with one are written only when they differ from it.
#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <vector>

#include "toolkit/Classes.h"

enum class TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray,
};

QV_EXCEPTION(EClassNotFound, Exception)
QV_EXCEPTION(EPropertyError, Exception)

struct TClassInfo;

// An event handler bound to a published method of a stored form's root. It keeps the method's
// name, so that writing the form gives the name back.
template <class... A>
struct TBoundMethod {
  std::string Name;
  std::function<void(A...)> Call;
  void operator()(A... args) const { Call(args...); }
};

struct TMethodInfo {
  std::string Name;
  std::type_index Signature = typeid(void);  // the std::function type of the events it fits
  // The handler (that std::function type, in a std::any) calling the method on the given root.
  std::function<std::any(TObject* root)> Bind;
};

struct TPropInfo {
  std::string Name;
  TTypeKind Kind = TTypeKind::tkUnknown;
  // Names of an enumeration's values, or of a set's elements (bit i is element i).
  std::vector<std::string> Names;
  // Ordinal kinds (integer, character, enumeration, set, 64-bit) go through these.
  std::function<int64_t(TObject*)> GetOrd;
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  // Strings (short, long, wide: all UTF-8 here) and method names. An event bound to a published
  // method answers that method's name here, and is set through SetEvent with the handler.
  std::function<std::string(TObject*)> GetStr;
  std::function<void(TObject*, const std::string&)> SetStr;
  // Class kind: an owned persistent streamed in place (no setter needed), or a reference to a
  // component streamed by name (SetObj set).
  std::function<TObject*(TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
  bool IsReference = false;
  std::function<void(TObject*, const std::any&)> SetEvent;  // an empty any clears the event
  std::type_index EventType = typeid(void);
  std::optional<int64_t> Default;             // stored default of an ordinal property
  std::function<bool(TObject*)> StoredRule;   // optional: false means "not stored"

  bool IsOrdinal() const {
    return Kind == TTypeKind::tkInteger || Kind == TTypeKind::tkChar || Kind == TTypeKind::tkEnumeration ||
           Kind == TTypeKind::tkSet || Kind == TTypeKind::tkWChar || Kind == TTypeKind::tkInt64;
  }
  bool IsString() const {
    return Kind == TTypeKind::tkString || Kind == TTypeKind::tkLString || Kind == TTypeKind::tkWString;
  }
  bool IsReadOnly() const;
  // Whether the writer stores the property of this object.
  bool IsStored(TObject* instance) const;
  // Enumeration value name to ordinal; -1 when unknown.
  int IndexOfName(const std::string& name) const;
};

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
using TPersistentFactory = std::function<TPersistent*()>;

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::type_index Type = typeid(void);
  TComponentFactory CreateComponent;  // for components
  TPersistentFactory CreatePersistent;  // for other persistents (collection items use their own)
  std::vector<TPropInfo> OwnProps;
  std::vector<TMethodInfo> Methods;  // published methods, for the events of stored forms
  // Stored data declared by the registration, besides the class's own DeclareStoredData.
  std::function<void(TPersistent*, class TFiler&)> DeclareStoredData;

  // The published properties of the class and its published bases, the bases' first.
  std::vector<const TPropInfo*> Properties() const;
  const TPropInfo* FindProperty(const std::string& name) const;  // case-insensitive
  bool InheritsFrom(const TClassInfo* other) const;
  // A published method of the class or a base by name (case-insensitive); nullptr when none.
  const TMethodInfo* FindMethod(const std::string& name) const;
};

// Class registry lookups: by name (case-insensitive) and by an object's dynamic class.
const TClassInfo* FindClassInfo(const std::string& name);
const TClassInfo* GetClassInfo(const TObject* object);  // nullptr when its class is unregistered
const TClassInfo& RequireClassInfo(const TObject* object);  // EClassNotFound when unregistered
const TClassInfo& RequireClassInfo(const std::string& name);
TClassInfo& RegisterClassInfoRaw(const std::string& name, const TClassInfo* parent, std::type_index type);
void UnregisterClassInfo(const std::string& name);

// Published property of an object by name; nullptr when the object's class has none.
const TPropInfo* GetPropInfo(const TObject* object, const std::string& name);

// The typed face of a registration.
template <class T>
class TClassRegistrar {
public:
  explicit TClassRegistrar(TClassInfo& info) : FInfo(info) {}
  TClassInfo& Info() const { return FInfo; }

  template <class V, class G, class S>
  TClassRegistrar& Integer(const std::string& name, G get, S set, std::optional<int64_t> def = std::nullopt) {
    return Ordinal<V>(name, sizeof(V) > 4 ? TTypeKind::tkInt64 : TTypeKind::tkInteger, get, set, def, {});
  }
  template <class G, class S>
  TClassRegistrar& Integer(const std::string& name, G get, S set, std::optional<int64_t> def = std::nullopt) {
    using V = std::decay_t<std::invoke_result_t<G, T*>>;
    return Integer<V>(name, get, set, def);
  }
  template <class G, class S>
  TClassRegistrar& Int64(const std::string& name, G get, S set, std::optional<int64_t> def = std::nullopt) {
    using V = std::decay_t<std::invoke_result_t<G, T*>>;
    return Ordinal<V>(name, TTypeKind::tkInt64, get, set, def, {});
  }
  template <class G, class S>
  TClassRegistrar& Char(const std::string& name, G get, S set, std::optional<int64_t> def = std::nullopt) {
    using V = std::decay_t<std::invoke_result_t<G, T*>>;
    return Ordinal<V>(name, TTypeKind::tkChar, get, set, def, {});
  }
  template <class G, class S>
  TClassRegistrar& Boolean(const std::string& name, G get, S set, std::optional<bool> def = std::nullopt) {
    std::optional<int64_t> d;
    if (def) d = *def ? 1 : 0;
    return Ordinal<bool>(name, TTypeKind::tkEnumeration, get, set, d, {"False", "True"});
  }
  template <class G, class S>
  TClassRegistrar& Enum(const std::string& name, G get, S set, std::vector<std::string> names,
                        std::optional<int64_t> def = std::nullopt) {
    using V = std::decay_t<std::invoke_result_t<G, T*>>;
    return Ordinal<V>(name, TTypeKind::tkEnumeration, get, set, def, std::move(names));
  }
  // A set: bit i of the value is element Names[i].
  template <class G, class S>
  TClassRegistrar& Set(const std::string& name, G get, S set, std::vector<std::string> names,
                       std::optional<int64_t> def = std::nullopt) {
    using V = std::decay_t<std::invoke_result_t<G, T*>>;
    return Ordinal<V>(name, TTypeKind::tkSet, get, set, def, std::move(names));
  }
  template <class G, class S>
  TClassRegistrar& Float(const std::string& name, G get, S set) {
    TPropInfo p = Base(name, TTypeKind::tkFloat);
    p.GetFloat = [get](TObject* o) { return static_cast<double>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
      p.SetFloat = [set](TObject* o, double v) { std::invoke(set, Self(o), v); };
    return Add(std::move(p));
  }
  // kind: tkString, tkLString (the default) or tkWString; all hold UTF-8 text here.
  template <class G, class S>
  TClassRegistrar& String(const std::string& name, G get, S set, TTypeKind kind = TTypeKind::tkLString) {
    TPropInfo p = Base(name, kind);
    p.GetStr = [get](TObject* o) { return std::string(std::invoke(get, Self(o))); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
      p.SetStr = [set](TObject* o, const std::string& v) { std::invoke(set, Self(o), v); };
    return Add(std::move(p));
  }
  // An event, streamed as the name of its handler.
  template <class G, class S>
  TClassRegistrar& Method(const std::string& name, G get, S set) {
    TPropInfo p = String(name, get, set).FInfo.OwnProps.back();
    FInfo.OwnProps.pop_back();
    p.Kind = TTypeKind::tkMethod;
    return Add(std::move(p));
  }
  // An event (a std::function returning void) bound to published methods of a stored form's
  // root; streamed as the method's name.
  template <class G, class S>
  TClassRegistrar& Event(const std::string& name, G get, S set) {
    using F = std::decay_t<std::invoke_result_t<G, T*>>;
    using Bound = typename EventTraits<F>::Bound;
    TPropInfo p = Base(name, TTypeKind::tkMethod);
    p.EventType = typeid(F);
    p.GetStr = [get](TObject* o) -> std::string {
      const F& handler = std::invoke(get, Self(o));
      const Bound* bound = handler.template target<Bound>();
      return bound ? bound->Name : std::string();
    };
    p.SetEvent = [set](TObject* o, const std::any& handler) {
      std::invoke(set, Self(o), handler.has_value() ? std::any_cast<const F&>(handler) : F());
    };
    return Add(std::move(p));
  }
  template <class F, class C>
  TClassRegistrar& Event(const std::string& name, F C::*member) {
    return Event(
        name, [member](T* self) -> const F& { return self->*member; },
        [member](T* self, const F& handler) { self->*member = handler; });
  }
  // A method of the class that stored forms may name as an event handler.
  template <class C, class... A>
  TClassRegistrar& PublishedMethod(const std::string& name, void (C::*method)(A...)) {
    static_assert(std::is_base_of_v<C, T>, "the method must belong to the class or a base");
    TMethodInfo m;
    m.Name = name;
    m.Signature = typeid(std::function<void(A...)>);
    m.Bind = [name, method](TObject* root) -> std::any {
      C* self = Self(root);
      return std::function<void(A...)>(TBoundMethod<A...>{name, [self, method](A... args) { (self->*method)(args...); }});
    };
    FInfo.Methods.push_back(std::move(m));
    return *this;
  }
  // An object the instance owns (a persistent or a collection): streamed in place.
  template <class G>
  TClassRegistrar& Object(const std::string& name, G get) {
    TPropInfo p = Base(name, TTypeKind::tkClass);
    p.GetObj = [get](TObject* o) -> TObject* { return std::invoke(get, Self(o)); };
    return Add(std::move(p));
  }
  // An owned object whose setter copies the given value into it (TPersistent::CopyFrom style).
  template <class G, class S>
  TClassRegistrar& Object(const std::string& name, G get, S set) {
    Object(name, get);
    using A = std::remove_pointer_t<std::decay_t<typename SetterArg<S>::type>>;
    FInfo.OwnProps.back().SetObj = [set](TObject* o, TObject* v) { std::invoke(set, Self(o), dynamic_cast<A*>(v)); };
    return *this;
  }
  // A reference to a component elsewhere: streamed by its name.
  template <class G, class S>
  TClassRegistrar& Reference(const std::string& name, G get, S set) {
    TPropInfo p = Base(name, TTypeKind::tkClass);
    p.IsReference = true;
    p.GetObj = [get](TObject* o) -> TObject* { return std::invoke(get, Self(o)); };
    using A = std::remove_pointer_t<std::decay_t<typename SetterArg<S>::type>>;
    p.SetObj = [set](TObject* o, TObject* v) {
      A* typed = dynamic_cast<A*>(v);
      if (v && !typed) throw EPropertyError("Invalid property value");
      std::invoke(set, Self(o), typed);
    };
    return Add(std::move(p));
  }
  // Restricts the last property added: stored only when rule(instance) holds.
  TClassRegistrar& StoredWhen(std::function<bool(T*)> rule) {
    FInfo.OwnProps.back().StoredRule = [rule](TObject* o) { return rule(Self(o)); };
    return *this;
  }

private:
  template <class F>
  struct EventTraits;
  template <class... A>
  struct EventTraits<std::function<void(A...)>> {
    using Bound = TBoundMethod<A...>;
  };
  template <class S>
  struct SetterArg;
  template <class C, class R, class A>
  struct SetterArg<R (C::*)(A)> {
    using type = A;
  };

  static T* Self(TObject* o) { return static_cast<T*>(o); }
  TPropInfo Base(const std::string& name, TTypeKind kind) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    return p;
  }
  TClassRegistrar& Add(TPropInfo p) {
    FInfo.OwnProps.push_back(std::move(p));
    return *this;
  }
  template <class V, class G, class S>
  TClassRegistrar& Ordinal(const std::string& name, TTypeKind kind, G get, S set, std::optional<int64_t> def,
                           std::vector<std::string> names) {
    TPropInfo p = Base(name, kind);
    p.Names = std::move(names);
    p.Default = def;
    p.GetOrd = [get](TObject* o) { return static_cast<int64_t>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
      p.SetOrd = [set](TObject* o, int64_t v) { std::invoke(set, Self(o), static_cast<V>(v)); };
    return Add(std::move(p));
  }

  TClassInfo& FInfo;
};

// Registers T (named by its QV_CLASS name) under its published base B (void for none), which
// must be registered already ("Class %s not found" otherwise).
// Components get a factory taking the owner; default-constructible persistents one without.
template <class T, class B = void>
TClassRegistrar<T> RegisterClassInfo() {
  const TClassInfo* parent = nullptr;
  // A base registered later would leave the class without the base's properties, silently.
  if constexpr (!std::is_void_v<B>) parent = &RequireClassInfo(B::StaticClassName());
  TClassInfo& info = RegisterClassInfoRaw(T::StaticClassName(), parent, typeid(T));
  if constexpr (!std::is_abstract_v<T>) {
    if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>)
      info.CreateComponent = [](TComponent* owner) -> TComponent* { return new T(owner); };
    else if constexpr (std::is_base_of_v<TPersistent, T> && std::is_default_constructible_v<T>)
      info.CreatePersistent = []() -> TPersistent* { return new T(); };
  }
  return TClassRegistrar<T>(info);
}
