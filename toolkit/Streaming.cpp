#include "toolkit/Streaming.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

#include "toolkit/Collections.h"
#include "toolkit/Controls.h"
#include "platform/Utf.h"

namespace {

constexpr char kSignature[4] = {'Q', 'V', 'F', '1'};
// Components inside components and collections inside items recurse; damaged streams must not
// be able to exhaust the stack.
constexpr int kMaxDepth = 64;

[[noreturn]] void InvalidStream() { throw EReadError("Invalid stream format"); }

bool SameSignature(const char* a) { return std::memcmp(a, kSignature, sizeof kSignature) == 0; }

TComponent* FindByName(TComponent* c, const std::string& name, int depth = 0) {
  if (!c || depth > kMaxDepth) return nullptr;
  if (SameTextAscii(c->Name(), name)) return c;
  for (int i = 0; i < c->ComponentCount(); ++i)
    if (TComponent* found = FindByName(c->Components(i), name, depth + 1)) return found;
  return nullptr;
}

// A stored form is a tree of parents, not of owners: every component in it belongs to the root,
// and a control nested in a windowed control is that control's child.
void AdoptByNesting(TComponent* component, TComponent* enclosing) {
  auto* control = dynamic_cast<TControl*>(component);
  auto* parent = dynamic_cast<TWinControl*>(enclosing);
  if (control && parent && control->Parent() != parent) control->SetParent(parent);
}

bool Storable(TComponent* c) {
  const TClassInfo* info = GetClassInfo(c);
  return !c->Name().empty() && info && info->CreateComponent;
}

// What is written nested in a component: at the root, what it owns that is not a control (an
// image list, a timer); in a windowed control, its children that the root owns, in child order.
std::vector<TComponent*> StoredChildren(TComponent* component, TComponent* root) {
  std::vector<TComponent*> children;
  if (component == root)
    for (int i = 0; i < component->ComponentCount(); ++i) {
      TComponent* owned = component->Components(i);
      if (!dynamic_cast<TControl*>(owned) && Storable(owned)) children.push_back(owned);
    }
  if (auto* window = dynamic_cast<TWinControl*>(component))
    for (int i = 0; i < window->ControlCount(); ++i) {
      TControl* child = window->Controls(i);
      if (child->Owner() == root && Storable(child)) children.push_back(child);
    }
  return children;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer

void TWriter::WriteValue(TValueType type) { FStream.WriteLE<uint8_t>(static_cast<uint8_t>(type)); }

void TWriter::WriteStr(const std::string& s) {
  if (s.size() > 255) throw EWriteError(Format("Name too long: %.40s", s.c_str()));
  FStream.WriteLE<uint8_t>(static_cast<uint8_t>(s.size()));
  FStream.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

void TWriter::WriteInteger(int64_t v) {
  if (v >= INT8_MIN && v <= INT8_MAX) {
    WriteValue(TValueType::vaInt8);
    FStream.WriteLE<int8_t>(static_cast<int8_t>(v));
  } else if (v >= INT16_MIN && v <= INT16_MAX) {
    WriteValue(TValueType::vaInt16);
    FStream.WriteLE<int16_t>(static_cast<int16_t>(v));
  } else if (v >= INT32_MIN && v <= INT32_MAX) {
    WriteValue(TValueType::vaInt32);
    FStream.WriteLE<int32_t>(static_cast<int32_t>(v));
  } else {
    WriteValue(TValueType::vaInt64);
    FStream.WriteLE<int64_t>(v);
  }
}

void TWriter::WriteBoolean(bool v) { WriteValue(v ? TValueType::vaTrue : TValueType::vaFalse); }

void TWriter::WriteFloat(double v) {
  WriteValue(TValueType::vaDouble);
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  FStream.WriteLE<uint64_t>(bits);
}

void TWriter::WriteString(const std::string& v) {
  if (v.size() <= 255) {
    WriteValue(TValueType::vaString);
    FStream.WriteLE<uint8_t>(static_cast<uint8_t>(v.size()));
  } else {
    WriteValue(TValueType::vaLString);
    FStream.WriteLE<uint32_t>(static_cast<uint32_t>(v.size()));
  }
  FStream.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
}

void TWriter::WriteIdent(const std::string& v) {
  if (SameTextAscii(v, "False")) return WriteValue(TValueType::vaFalse);
  if (SameTextAscii(v, "True")) return WriteValue(TValueType::vaTrue);
  if (SameTextAscii(v, "nil")) return WriteValue(TValueType::vaNil);
  WriteValue(TValueType::vaIdent);
  WriteStr(v);
}

void TWriter::WriteBinary(const void* data, uint32_t count) {
  WriteValue(TValueType::vaBinary);
  FStream.WriteLE<uint32_t>(count);
  FStream.WriteBuffer(data, count);
}

void TWriter::WriteListBegin() { WriteValue(TValueType::vaList); }
void TWriter::WriteListEnd() { WriteValue(TValueType::vaNull); }

void TWriter::WriteRootComponent(TComponent* root) {
  FStream.WriteBuffer(kSignature, sizeof kSignature);
  WriteComponent(root);
}

void TWriter::WriteComponent(TComponent* component) {
  if (FDepth == 0) FRoot = component;
  if (++FDepth > kMaxDepth) throw EWriteError("Components nested too deep");
  WriteStr(component->ClassName());
  WriteStr(component->Name());
  WriteProperties(component);
  for (TComponent* child : StoredChildren(component, FRoot)) WriteComponent(child);
  WriteStr("");
  --FDepth;
}

void TWriter::WriteProperties(TPersistent* instance) {
  WritePropertiesOf(instance, "");
  WriteStr("");
}

void TWriter::WritePropertiesOf(TPersistent* instance, const std::string& prefix) {
  if (++FDepth > kMaxDepth) throw EWriteError("Properties nested too deep");
  if (const TClassInfo* info = GetClassInfo(instance))
    for (const TPropInfo* prop : info->Properties())
      if (prop->IsStored(instance)) WriteProperty(instance, *prop, prefix);
  const std::string saved = FPrefix;
  std::vector<std::string> savedDeclared;
  savedDeclared.swap(FDeclared);
  FPrefix = prefix;
  instance->DeclareStoredData(*this);
  // A class's registration may declare data too (for classes whose units predate streaming).
  for (const TClassInfo* c = GetClassInfo(instance); c; c = c->Parent)
    if (c->DeclareStoredData) c->DeclareStoredData(instance, *this);
  FPrefix = saved;
  FDeclared.swap(savedDeclared);
  --FDepth;
}

std::string TWriter::ReferenceName(TComponent* c) const {
  if (c == FRoot || !FRoot || c->Owner() == FRoot || !c->Owner()) return c->Name();
  return c->Owner()->Name() + "." + c->Name();
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo& prop, const std::string& prefix) {
  const std::string name = prefix + prop.Name;
  switch (prop.Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkInt64:
      WriteStr(name);
      WriteInteger(prop.GetOrd(instance));
      return;
    case TTypeKind::tkChar:
    case TTypeKind::tkWChar: {
      // A character reads as one: 'd' or #0 in the text form.
      std::string text;
      platform::AppendUtf8(text, static_cast<char32_t>(prop.GetOrd(instance)));
      WriteStr(name);
      WriteString(text);
      return;
    }
    case TTypeKind::tkEnumeration: {
      const int64_t v = prop.GetOrd(instance);
      WriteStr(name);
      if (v >= 0 && v < static_cast<int64_t>(prop.Names.size()))
        WriteIdent(prop.Names[static_cast<size_t>(v)]);
      else
        WriteInteger(v);
      return;
    }
    case TTypeKind::tkSet: {
      const auto v = static_cast<uint64_t>(prop.GetOrd(instance));
      WriteStr(name);
      WriteValue(TValueType::vaSet);
      for (size_t i = 0; i < prop.Names.size() && i < 64; ++i)
        if (v & (uint64_t{1} << i)) WriteStr(prop.Names[i]);
      WriteStr("");
      return;
    }
    case TTypeKind::tkFloat:
      WriteStr(name);
      WriteFloat(prop.GetFloat(instance));
      return;
    case TTypeKind::tkString:
    case TTypeKind::tkLString:
    case TTypeKind::tkWString:
      WriteStr(name);
      WriteString(prop.GetStr(instance));
      return;
    case TTypeKind::tkMethod: {
      const std::string handler = prop.GetStr(instance);
      if (handler.empty()) return;
      WriteStr(name);
      WriteIdent(handler);
      return;
    }
    case TTypeKind::tkClass: {
      TObject* value = prop.GetObj(instance);
      if (!value) return;
      if (prop.IsReference) {
        auto* component = dynamic_cast<TComponent*>(value);
        if (!component || component->Name().empty()) return;  // nothing a reader could find
        WriteStr(name);
        WriteIdent(ReferenceName(component));
        return;
      }
      if (auto* collection = dynamic_cast<TCollection*>(value)) {
        WriteStr(name);
        WriteCollection(collection);
        return;
      }
      if (auto* persistent = dynamic_cast<TPersistent*>(value)) WritePropertiesOf(persistent, name + ".");
      return;
    }
    default:
      return;
  }
}

void TWriter::WriteCollection(TCollection* collection) {
  WriteValue(TValueType::vaCollection);
  for (int i = 0; i < collection->Count(); ++i) {
    WriteListBegin();
    WriteProperties(collection->Items(i));
  }
  WriteListEnd();
}

bool TWriter::Declared(const std::string& name) {
  for (const std::string& d : FDeclared)
    if (SameTextAscii(d, name)) return true;
  FDeclared.push_back(name);
  return false;
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& write, bool hasData) {
  if (!hasData || !write || Declared(name)) return;
  WriteStr(FPrefix + name);
  write(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& write,
                                   bool hasData) {
  if (!hasData || !write || Declared(name)) return;
  TMemoryStream bytes;
  write(bytes);
  if (bytes.Size() > UINT32_MAX) throw EWriteError("Binary property too large");
  WriteStr(FPrefix + name);
  WriteBinary(bytes.Memory(), static_cast<uint32_t>(bytes.Size()));
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {
thread_local std::vector<TStream*> ActiveReaders;
}

int64_t TReader::CurrentBudget() { return ActiveReaders.empty() ? -1 : ActiveReaders.back()->Remaining(); }

void TReader::Enter() {
  if (++FDepth > kMaxDepth) throw EReadError("Stream nesting too deep");
}

TValueType TReader::ReadValue() {
  const auto v = FStream.ReadLE<uint8_t>();
  if (v > static_cast<uint8_t>(TValueType::vaInt64) || v == 15) InvalidStream();
  return static_cast<TValueType>(v);
}

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  FStream.Seek(-1, TSeekOrigin::soCurrent);
  return v;
}

bool TReader::EndOfList() {
  const auto v = FStream.ReadLE<uint8_t>();
  FStream.Seek(-1, TSeekOrigin::soCurrent);
  return v == 0;
}

void TReader::ReadListBegin() {
  if (ReadValue() != TValueType::vaList) InvalidStream();
}

void TReader::ReadListEnd() {
  if (FStream.ReadLE<uint8_t>() != 0) InvalidStream();
}

std::string TReader::ReadStr() {
  const auto n = FStream.ReadLE<uint8_t>();
  std::string s(n, '\0');
  FStream.ReadBuffer(s.data(), n);
  return s;
}

int64_t TReader::ReadInteger() {
  switch (ReadValue()) {
    case TValueType::vaInt8: return FStream.ReadLE<int8_t>();
    case TValueType::vaInt16: return FStream.ReadLE<int16_t>();
    case TValueType::vaInt32: return FStream.ReadLE<int32_t>();
    case TValueType::vaInt64: return FStream.ReadLE<int64_t>();
    default: throw EReadError("Invalid property value");
  }
}

bool TReader::ReadBoolean() {
  const TValueType v = ReadValue();
  if (v == TValueType::vaTrue) return true;
  if (v == TValueType::vaFalse) return false;
  throw EReadError("Invalid property value");
}

double TReader::ReadFloat() {
  if (NextValue() == TValueType::vaDouble) {
    ReadValue();
    const auto bits = FStream.ReadLE<uint64_t>();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  return static_cast<double>(ReadInteger());
}

void TReader::ReadStringBody(TValueType type, std::string& out) {
  uint32_t n;
  if (type == TValueType::vaString || type == TValueType::vaIdent)
    n = FStream.ReadLE<uint8_t>();
  else
    n = FStream.ReadLE<uint32_t>();
  // A length that the stream cannot hold is a damaged stream, not a reason to allocate.
  if (n > FStream.Remaining()) throw EReadError("Stream read error");
  out.assign(n, '\0');
  FStream.ReadBuffer(out.data(), n);
}

std::string TReader::ReadString() {
  const TValueType type = ReadValue();
  if (type != TValueType::vaString && type != TValueType::vaLString) throw EReadError("Invalid property value");
  std::string s;
  ReadStringBody(type, s);
  return s;
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case TValueType::vaIdent: return ReadStr();
    case TValueType::vaFalse: return "False";
    case TValueType::vaTrue: return "True";
    case TValueType::vaNil: return "nil";
    case TValueType::vaNull: return "Null";
    default: throw EReadError("Invalid property value");
  }
}

std::vector<uint8_t> TReader::ReadBinary() {
  if (ReadValue() != TValueType::vaBinary) throw EReadError("Invalid property value");
  const auto n = FStream.ReadLE<uint32_t>();
  if (n > FStream.Remaining()) throw EReadError("Stream read error");
  std::vector<uint8_t> bytes(n);
  FStream.ReadBuffer(bytes.data(), n);
  return bytes;
}

void TReader::SkipValue() {
  Enter();
  const TValueType type = ReadValue();
  auto skip = [this](int64_t n) {
    if (n > FStream.Remaining()) throw EReadError("Stream read error");
    FStream.Seek(n, TSeekOrigin::soCurrent);
  };
  switch (type) {
    case TValueType::vaNull:
    case TValueType::vaFalse:
    case TValueType::vaTrue:
    case TValueType::vaNil: break;
    case TValueType::vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      break;
    case TValueType::vaInt8: skip(1); break;
    case TValueType::vaInt16: skip(2); break;
    case TValueType::vaInt32: skip(4); break;
    case TValueType::vaInt64:
    case TValueType::vaDouble: skip(8); break;
    case TValueType::vaString:
    case TValueType::vaIdent: skip(FStream.ReadLE<uint8_t>()); break;
    case TValueType::vaLString:
    case TValueType::vaBinary: skip(FStream.ReadLE<uint32_t>()); break;
    case TValueType::vaSet:
      while (!ReadStr().empty()) {
      }
      break;
    case TValueType::vaCollection:
      while (!EndOfList()) {
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      break;
  }
  Leave();
}

void TReader::ReadProperties(TPersistent* instance) {
  ActiveReaders.push_back(&FStream);
  struct TPop {
    ~TPop() { ActiveReaders.pop_back(); }
  } pop;
  Enter();
  while (!EndOfList()) ReadProperty(instance);
  ReadListEnd();
  Leave();
}

void TReader::ReadProperty(TPersistent* instance) {
  const std::string fullName = ReadStr();
  TPersistent* target = instance;
  std::string rest = fullName;
  // "DIB.Angle": walk down the owned persistents of the path.
  for (size_t dot; (dot = rest.find('.')) != std::string::npos;) {
    const std::string part = rest.substr(0, dot);
    const TPropInfo* prop = GetPropInfo(target, part);
    TPersistent* next = nullptr;
    if (prop && prop->Kind == TTypeKind::tkClass && !prop->IsReference)
      next = dynamic_cast<TPersistent*>(prop->GetObj(target));
    if (!next) {
      target = nullptr;
      break;
    }
    target = next;
    rest = rest.substr(dot + 1);
  }
  if (target) {
    if (const TPropInfo* prop = GetPropInfo(target, rest)) {
      ReadPropValue(target, *prop);
      return;
    }
    FPropName = rest;
    FCanHandle = true;
    target->DeclareStoredData(*this);
    for (const TClassInfo* c = GetClassInfo(target); c && FCanHandle; c = c->Parent)
      if (c->DeclareStoredData) c->DeclareStoredData(target, *this);
    const bool handled = !FCanHandle;
    FCanHandle = false;
    FPropName.clear();
    if (handled) return;
  }
  if (!IgnoreUnknownProperties) throw EReadError(Format("Property %s does not exist", fullName.c_str()));
  SkipValue();
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc&, bool) {
  if (!FCanHandle || !read || !SameTextAscii(name, FPropName)) return;
  FCanHandle = false;
  read(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc&, bool) {
  if (!FCanHandle || !read || !SameTextAscii(name, FPropName)) return;
  FCanHandle = false;
  std::vector<uint8_t> bytes = ReadBinary();
  TBytesStream block(bytes);
  read(block);
}

void TReader::ReadPropValue(TPersistent* instance, const TPropInfo& prop) {
  auto readOnly = [&] { throw EReadError(Format("Property %s is read-only", prop.Name.c_str())); };
  switch (prop.Kind) {
    case TTypeKind::tkChar:
    case TTypeKind::tkWChar: {
      int64_t v;
      const TValueType next = NextValue();
      if (next == TValueType::vaString || next == TValueType::vaLString) {
        const std::string text = ReadString();
        size_t pos = 0;
        v = text.empty() ? -1 : platform::DecodeUtf8(text, pos);
        if (pos != text.size()) throw EReadError("Invalid property value");  // not one character
      } else {
        v = ReadInteger();  // the ordinal, as older forms stored it
      }
      if (!prop.SetOrd) readOnly();
      prop.SetOrd(instance, v);
      return;
    }
    case TTypeKind::tkInteger:
    case TTypeKind::tkInt64: {
      const int64_t v = ReadInteger();
      if (!prop.SetOrd) readOnly();
      prop.SetOrd(instance, v);
      return;
    }
    case TTypeKind::tkEnumeration: {
      int64_t v;
      const TValueType next = NextValue();
      if (next == TValueType::vaIdent || next == TValueType::vaFalse || next == TValueType::vaTrue) {
        const std::string ident = ReadIdent();
        v = prop.IndexOfName(ident);
        if (v < 0) throw EReadError("Invalid property value");
      } else {
        v = ReadInteger();
      }
      if (!prop.SetOrd) readOnly();
      prop.SetOrd(instance, v);
      return;
    }
    case TTypeKind::tkSet: {
      if (ReadValue() != TValueType::vaSet) throw EReadError("Invalid property value");
      uint64_t bits = 0;
      for (std::string element; !(element = ReadStr()).empty();) {
        const int i = prop.IndexOfName(element);
        if (i < 0 || i >= 64) throw EReadError("Invalid property value");
        bits |= uint64_t{1} << i;
      }
      if (!prop.SetOrd) readOnly();
      prop.SetOrd(instance, static_cast<int64_t>(bits));
      return;
    }
    case TTypeKind::tkFloat: {
      const double v = ReadFloat();
      if (!prop.SetFloat) readOnly();
      prop.SetFloat(instance, v);
      return;
    }
    case TTypeKind::tkString:
    case TTypeKind::tkLString:
    case TTypeKind::tkWString: {
      std::string v = ReadString();
      if (!prop.SetStr) readOnly();
      prop.SetStr(instance, v);
      return;
    }
    case TTypeKind::tkMethod: {
      std::string v = ReadIdent();
      if (prop.SetEvent) {
        BindEvent(instance, prop, v);
        return;
      }
      if (!prop.SetStr) readOnly();
      prop.SetStr(instance, v == "nil" ? std::string() : v);
      return;
    }
    case TTypeKind::tkClass: {
      if (prop.IsReference) {
        const std::string name = ReadIdent();
        if (!prop.SetObj) readOnly();
        if (name == "nil")
          prop.SetObj(instance, nullptr);
        else
          FFixups.push_back({instance, &prop, name});
        return;
      }
      auto* collection = dynamic_cast<TCollection*>(prop.GetObj(instance));
      if (!collection || NextValue() != TValueType::vaCollection) throw EReadError("Invalid property value");
      ReadCollection(collection);
      return;
    }
    default:
      throw EReadError("Invalid property value");
  }
}

void TReader::BindEvent(TPersistent* instance, const TPropInfo& prop, const std::string& methodName) {
  if (methodName == "nil") {
    prop.SetEvent(instance, std::any());
    return;
  }
  const TClassInfo* rootInfo = GetClassInfo(FRoot);
  const TMethodInfo* method = rootInfo ? rootInfo->FindMethod(methodName) : nullptr;
  const char* rootClass = FRoot ? FRoot->ClassName() : "nil";
  if (!method) throw EReadError(Format("Method %s not found in %s", methodName.c_str(), rootClass));
  if (method->Signature != prop.EventType)
    throw EReadError(Format("Method %s of %s does not fit event %s", methodName.c_str(), rootClass, prop.Name.c_str()));
  prop.SetEvent(instance, method->Bind(FRoot));
}

void TReader::ReadCollection(TCollection* collection) {
  Enter();
  ReadValue();
  collection->BeginUpdate();
  try {
    collection->Clear();
    while (!EndOfList()) {
      ReadListBegin();
      ReadProperties(collection->Add());
    }
    ReadListEnd();
  } catch (...) {
    collection->EndUpdate();
    throw;
  }
  collection->EndUpdate();
  Leave();
}

TComponent* TReader::ReadComponentBody(TComponent* instance, TComponent* owner, TComponent* enclosing) {
  Enter();
  const std::string className = ReadStr();
  const std::string name = ReadStr();
  if (className.empty()) InvalidStream();
  // Everything nested in the root belongs to the root.
  if (FRoot) owner = FRoot;
  if (instance) {
    if (!SameTextAscii(instance->ClassName(), className)) InvalidStream();
  } else {
    const TClassInfo& info = RequireClassInfo(className);
    if (owner) {
      TComponent* existing = owner->FindComponent(name);
      if (existing && SameTextAscii(existing->ClassName(), className)) instance = existing;
    }
    if (!instance) {
      if (!info.CreateComponent) throw EClassNotFound(Format("Class %s not found", className.c_str()));
      instance = info.CreateComponent(owner);
      FCreated.push_back(instance);
    }
  }
  if (!FRoot) FRoot = instance;
  if (!name.empty() && instance->Name() != name) instance->SetName(name);
  instance->BeginLoading();
  FLoaded.push_back(instance);
  // The parent comes first, so that what the control takes from it (font, colour) is in place
  // before its own properties override it.
  if (enclosing) AdoptByNesting(instance, enclosing);
  ReadProperties(instance);
  while (!EndOfList()) ReadComponentBody(nullptr, nullptr, instance);
  ReadListEnd();
  instance->EndReading();
  Leave();
  return instance;
}

void TReader::Finish(bool ok) {
  if (ok) {
    for (const TFixup& f : FFixups) {
      TComponent* target = FindByName(FRoot, f.Name);
      if (!target) {
        // "Owner.Name": the part after the dot among the components of the named owner.
        const size_t dot = f.Name.find('.');
        if (dot != std::string::npos)
          if (TComponent* owner = FindByName(FRoot, f.Name.substr(0, dot)))
            target = owner->FindComponent(f.Name.substr(dot + 1));
      }
      // A reference to something the stream does not hold stays unset.
      if (target) f.Prop->SetObj(f.Instance, target);
    }
    FFixups.clear();
    std::vector<TComponent*> loaded;
    loaded.swap(FLoaded);
    FCreated.clear();
    for (TComponent* c : loaded) c->Loaded();
    return;
  }
  FFixups.clear();
  std::set<TComponent*> created(FCreated.begin(), FCreated.end());
  for (TComponent* c : FLoaded)
    if (!created.count(c)) c->AbandonLoading();
  // Destroy what this read created, the outermost ones only: they take their children along.
  for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
    if (!created.count((*it)->Owner())) delete *it;
  FLoaded.clear();
  FCreated.clear();
}

TComponent* TReader::ReadComponent(TComponent* instance, TComponent* owner) {
  ActiveReaders.push_back(&FStream);
  struct TPop {
    ~TPop() { ActiveReaders.pop_back(); }
  } pop;
  const bool top = FTopLevel;
  FTopLevel = false;
  if (top) FRoot = nullptr;
  TComponent* result = nullptr;
  try {
    result = ReadComponentBody(instance, owner, nullptr);
  } catch (...) {
    if (top) {
      FTopLevel = true;
      Finish(false);
    }
    throw;
  }
  if (top) {
    FTopLevel = true;
    Finish(true);
  }
  return result;
}

TComponent* TReader::ReadRootComponent(TComponent* instance, TComponent* owner) {
  char signature[4];
  FStream.ReadBuffer(signature, sizeof signature);
  if (!SameSignature(signature)) InvalidStream();
  FRoot = nullptr;
  return ReadComponent(instance, owner);
}

void WriteComponentToStream(TStream& stream, TComponent* component) {
  TWriter writer(stream);
  writer.WriteRootComponent(component);
}

TComponent* ReadComponentFromStream(TStream& stream, TComponent* instance, TComponent* owner) {
  TReader reader(stream);
  return reader.ReadRootComponent(instance, owner);
}

// ---------------------------------------------------------------------------------------------
// Text form

namespace {

class TTextOut {
public:
  TTextOut(TReader& reader, TStream& out) : R(reader), Out(out) {}

  void Component(int indent) {
    if (indent > kMaxDepth * 2) throw EReadError("Stream nesting too deep");
    const std::string className = R.ReadStr();
    const std::string name = R.ReadStr();
    if (className.empty()) InvalidStream();
    Line(indent, name.empty() ? "object " + className : "object " + name + ": " + className);
    while (!R.EndOfList()) {
      const std::string prop = R.ReadStr();
      Put(std::string(static_cast<size_t>(indent + 2), ' ') + prop + " = ");
      Value(indent + 2);
      Put("\n");
    }
    R.ReadListEnd();
    while (!R.EndOfList()) Component(indent + 2);
    R.ReadListEnd();
    Line(indent, "end");
  }

private:
  void Put(const std::string& s) { Out.WriteBuffer(s.data(), static_cast<int64_t>(s.size())); }
  void Line(int indent, const std::string& s) { Put(std::string(static_cast<size_t>(indent), ' ') + s + "\n"); }

  static std::string Quote(const std::string& s) {
    std::string out;
    bool open = false;
    for (unsigned char c : s) {
      if (c < 32) {
        if (open) out += '\'';
        open = false;
        out += '#';
        out += std::to_string(c);
      } else {
        if (!open) out += '\'';
        open = true;
        if (c == '\'') out += '\'';
        out += static_cast<char>(c);
      }
    }
    if (open) out += '\'';
    return out.empty() ? "''" : out;
  }

  void Value(int indent) {
    if (++Depth > kMaxDepth) throw EReadError("Stream nesting too deep");
    const TValueType type = R.NextValue();
    switch (type) {
      case TValueType::vaList:
        R.ReadValue();
        Put("(");
        for (bool first = true; !R.EndOfList(); first = false) {
          if (!first) Put(" ");
          Value(indent);
        }
        R.ReadListEnd();
        Put(")");
        break;
      case TValueType::vaInt8:
      case TValueType::vaInt16:
      case TValueType::vaInt32:
      case TValueType::vaInt64: Put(std::to_string(R.ReadInteger())); break;
      case TValueType::vaDouble: {
        const double d = R.ReadFloat();
        std::string s;
        if (std::isnan(d))
          s = "0.0";
        else if (std::isinf(d))
          s = d > 0 ? "1e9999" : "-1e9999";
        else {
          s = Format("%.17g", d);
          if (s.find_first_of(".e") == std::string::npos) s += ".0";
        }
        Put(s);
        break;
      }
      case TValueType::vaString:
      case TValueType::vaLString: Put(Quote(R.ReadString())); break;
      case TValueType::vaIdent:
      case TValueType::vaFalse:
      case TValueType::vaTrue:
      case TValueType::vaNil: Put(R.ReadIdent()); break;
      case TValueType::vaNull: R.ReadValue(); Put("Null"); break;
      case TValueType::vaBinary: {
        const std::vector<uint8_t> bytes = R.ReadBinary();
        static const char* hex = "0123456789ABCDEF";
        Put("{");
        for (size_t i = 0; i < bytes.size(); ++i) {
          if (i % 32 == 0 && bytes.size() > 32) Put("\n" + std::string(static_cast<size_t>(indent + 2), ' '));
          const char pair[2] = {hex[bytes[i] >> 4], hex[bytes[i] & 15]};
          Out.WriteBuffer(pair, 2);
        }
        Put("}");
        break;
      }
      case TValueType::vaSet: {
        R.ReadValue();
        Put("[");
        for (bool first = true;; first = false) {
          const std::string e = R.ReadStr();
          if (e.empty()) break;
          if (!first) Put(", ");
          Put(e);
        }
        Put("]");
        break;
      }
      case TValueType::vaCollection:
        R.ReadValue();
        Put("<");
        while (!R.EndOfList()) {
          R.ReadListBegin();
          Put("\n");
          Line(indent + 2, "item");
          while (!R.EndOfList()) {
            const std::string prop = R.ReadStr();
            Put(std::string(static_cast<size_t>(indent + 4), ' ') + prop + " = ");
            Value(indent + 4);
            Put("\n");
          }
          R.ReadListEnd();
          Put(std::string(static_cast<size_t>(indent + 2), ' ') + "end");
        }
        R.ReadListEnd();
        Put(">");
        break;
    }
    --Depth;
  }

  TReader& R;
  TStream& Out;
  int Depth = 0;
};

// The text form's tokens.
enum class TTok { End, Ident, Integer, Float, String, Symbol };

class TParser {
public:
  explicit TParser(std::string text) : S(std::move(text)) { Next(); }

  TTok Kind = TTok::End;
  std::string Text;  // identifier, symbol, or the decoded string
  int64_t Int = 0;
  double Float = 0;

  [[noreturn]] void Error(const std::string& what) const {
    throw EParserError(Format("%s on line %d", what.c_str(), Line));
  }
  bool IsSymbol(char c) const { return Kind == TTok::Symbol && Text.size() == 1 && Text[0] == c; }
  void Expect(char c) {
    if (!IsSymbol(c)) Error(Format("'%c' expected", c));
    Next();
  }
  bool IsIdent(const char* word) const { return Kind == TTok::Ident && SameTextAscii(Text, word); }
  std::string TakeIdent() {
    if (Kind != TTok::Ident) Error("Identifier expected");
    std::string s = Text;
    Next();
    return s;
  }

  // Hexadecimal digits up to the closing brace, whitespace ignored.
  std::vector<uint8_t> HexBlock() {
    std::vector<uint8_t> bytes;
    int half = -1;
    for (;; ++P) {
      if (P >= S.size()) Error("'}' expected");
      const char c = S[P];
      if (c == '}') break;
      if (c == '\n') ++Line;
      if (c <= ' ') continue;
      int v;
      if (c >= '0' && c <= '9') v = c - '0';
      else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
      else Error("Invalid binary value");
      if (half < 0) half = v;
      else {
        bytes.push_back(static_cast<uint8_t>(half * 16 + v));
        half = -1;
      }
    }
    if (half >= 0) Error("Invalid binary value");
    ++P;
    Next();
    return bytes;
  }

  void Next() {
    while (P < S.size() && static_cast<unsigned char>(S[P]) <= ' ') {
      if (S[P] == '\n') ++Line;
      ++P;
    }
    Text.clear();
    if (P >= S.size()) {
      Kind = TTok::End;
      return;
    }
    const char c = S[P];
    auto isIdentChar = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.'; };
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      while (P < S.size() && isIdentChar(S[P])) Text += S[P++];
      Kind = TTok::Ident;
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+') && P + 1 < S.size() &&
                                                        std::isdigit(static_cast<unsigned char>(S[P + 1])))) {
      size_t start = P++;
      bool isFloat = false;
      while (P < S.size()) {
        const char d = S[P];
        if (std::isdigit(static_cast<unsigned char>(d))) ++P;
        else if (d == '.' || d == 'e' || d == 'E') {
          isFloat = true;
          ++P;
          if ((d == 'e' || d == 'E') && P < S.size() && (S[P] == '-' || S[P] == '+')) ++P;
        } else break;
      }
      Text = S.substr(start, P - start);
      errno = 0;
      char* end = nullptr;
      if (isFloat) {
        Float = std::strtod(Text.c_str(), &end);
        Kind = TTok::Float;
      } else {
        Int = std::strtoll(Text.c_str(), &end, 10);
        if (errno == ERANGE) Error("Integer out of range");
        Kind = TTok::Integer;
      }
      if (!end || *end) Error("Invalid number");
      return;
    }
    if (c == '\'' || c == '#') {
      Kind = TTok::String;
      while (P < S.size() && (S[P] == '\'' || S[P] == '#')) {
        if (S[P] == '#') {
          ++P;
          int v = 0, digits = 0;
          while (P < S.size() && std::isdigit(static_cast<unsigned char>(S[P])) && digits < 4) {
            v = v * 10 + (S[P++] - '0');
            ++digits;
          }
          if (digits == 0 || v > 255) Error("Invalid character code");
          Text += static_cast<char>(v);
        } else {
          ++P;
          for (;;) {
            if (P >= S.size() || S[P] == '\n') Error("Unterminated string");
            if (S[P] == '\'') {
              if (P + 1 < S.size() && S[P + 1] == '\'') {
                Text += '\'';
                P += 2;
                continue;
              }
              ++P;
              break;
            }
            Text += S[P++];
          }
        }
      }
      return;
    }
    Kind = TTok::Symbol;
    Text = std::string(1, c);
    ++P;
  }

private:
  std::string S;
  size_t P = 0;
  int Line = 1;
};

class TTextIn {
public:
  TTextIn(TParser& parser, TWriter& writer) : Ps(parser), W(writer) {}

  void Component(int depth) {
    if (depth > kMaxDepth) Ps.Error("Objects nested too deep");
    if (!Ps.IsIdent("object") && !Ps.IsIdent("inherited")) Ps.Error("'object' expected");
    Ps.Next();
    std::string name, className = Ps.TakeIdent();
    if (Ps.IsSymbol(':')) {
      Ps.Next();
      name = className;
      className = Ps.TakeIdent();
    }
    W.WriteStr(className);
    W.WriteStr(name);
    while (!Ps.IsIdent("end") && !Ps.IsIdent("object") && !Ps.IsIdent("inherited")) {
      const std::string prop = Ps.TakeIdent();
      Ps.Expect('=');
      W.WriteStr(prop);
      Value(depth);
    }
    W.WriteStr("");
    while (Ps.IsIdent("object") || Ps.IsIdent("inherited")) Component(depth + 1);
    W.WriteStr("");
    if (!Ps.IsIdent("end")) Ps.Error("'end' expected");
    Ps.Next();
  }

private:
  void Value(int depth) {
    if (depth > kMaxDepth) Ps.Error("Values nested too deep");
    switch (Ps.Kind) {
      case TTok::Integer: W.WriteInteger(Ps.Int); Ps.Next(); return;
      case TTok::Float: W.WriteFloat(Ps.Float); Ps.Next(); return;
      case TTok::String: {
        std::string s = Ps.Text;
        Ps.Next();
        // 'a' + 'b' continues one string over lines.
        while (Ps.IsSymbol('+')) {
          Ps.Next();
          if (Ps.Kind != TTok::String) Ps.Error("String expected");
          s += Ps.Text;
          Ps.Next();
        }
        W.WriteString(s);
        return;
      }
      case TTok::Ident: {
        if (Ps.IsIdent("Null")) {
          W.WriteValue(TValueType::vaNull);
          Ps.Next();
          return;
        }
        if (Ps.Text.size() > 255) Ps.Error("Identifier too long");
        W.WriteIdent(Ps.Text);
        Ps.Next();
        return;
      }
      case TTok::Symbol: break;
      case TTok::End: Ps.Error("Value expected");
    }
    if (Ps.IsSymbol('[')) {
      Ps.Next();
      W.WriteValue(TValueType::vaSet);
      while (!Ps.IsSymbol(']')) {
        const std::string e = Ps.TakeIdent();
        if (e.size() > 255) Ps.Error("Identifier too long");
        W.WriteStr(e);
        if (Ps.IsSymbol(',')) Ps.Next();
        else if (!Ps.IsSymbol(']')) Ps.Error("']' expected");
      }
      Ps.Next();
      W.WriteStr("");
    } else if (Ps.IsSymbol('(')) {
      Ps.Next();
      W.WriteListBegin();
      while (!Ps.IsSymbol(')')) {
        Value(depth + 1);
        if (Ps.IsSymbol(',')) Ps.Next();
      }
      Ps.Next();
      W.WriteListEnd();
    } else if (Ps.IsSymbol('{')) {
      const std::vector<uint8_t> bytes = Ps.HexBlock();
      W.WriteBinary(bytes.data(), static_cast<uint32_t>(bytes.size()));
    } else if (Ps.IsSymbol('<')) {
      Ps.Next();
      W.WriteValue(TValueType::vaCollection);
      while (!Ps.IsSymbol('>')) {
        if (!Ps.IsIdent("item")) Ps.Error("'item' expected");
        Ps.Next();
        W.WriteListBegin();
        while (!Ps.IsIdent("end")) {
          const std::string prop = Ps.TakeIdent();
          Ps.Expect('=');
          W.WriteStr(prop);
          Value(depth + 1);
        }
        Ps.Next();
        W.WriteStr("");
      }
      Ps.Next();
      W.WriteListEnd();
    } else {
      Ps.Error("Invalid property value");
    }
  }

  TParser& Ps;
  TWriter& W;
};

}  // namespace

void ObjectBinaryToText(TStream& input, TStream& output) {
  char signature[4];
  input.ReadBuffer(signature, sizeof signature);
  if (!SameSignature(signature)) InvalidStream();
  TReader reader(input);
  TTextOut(reader, output).Component(0);
}

void ObjectTextToBinary(TStream& input, TStream& output) {
  std::string text(static_cast<size_t>(input.Remaining()), '\0');
  input.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  TParser parser(std::move(text));
  TWriter writer(output);
  output.WriteBuffer(kSignature, sizeof kSignature);
  TTextIn(parser, writer).Component(0);
  if (parser.Kind != TTok::End) parser.Error("End of text expected");
}

std::string ComponentToText(TComponent* component) {
  TMemoryStream binary, text;
  WriteComponentToStream(binary, component);
  binary.SetPosition(0);
  ObjectBinaryToText(binary, text);
  return std::string(text.Bytes().begin(), text.Bytes().end());
}

void ReadFormResource(TComponent* root, std::string_view text) {
  TBytesStream input(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  TMemoryStream binary;
  ObjectTextToBinary(input, binary);
  binary.SetPosition(0);
  TReader reader(binary);
  reader.ReadRootComponent(root);
}

void TextToComponent(const std::string& text, TComponent* instance) {
  TBytesStream input(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  TMemoryStream binary;
  ObjectTextToBinary(input, binary);
  binary.SetPosition(0);
  ReadComponentFromStream(binary, instance);
}
