#pragma once
// The component stream: one binary format, self-delimiting (a reader finds the end of a component
// from the stream alone), and a readable text form of the same content with converters both ways.
//
// Binary layout. A stored root starts with the signature "QVF1". A component is its class name
// and its name (short strings: one length byte, then the bytes), its properties, an empty name
// ending them, the components nested in it (each again a component), and a zero byte ending those.
// Nested in the root are the named components it owns that are not controls; nested in a
// windowed control are its child controls that the root owns, in child order.
// A property is its name (a short string; "Font.Height" for a property of an owned persistent)
// and a tagged value (TValueType): integers in 1, 2, 4 or 8 bytes, doubles, strings, identifiers
// (enumerations, Booleans, component references), sets, binary blocks, collections and lists.
// All numbers are little-endian. Strings are UTF-8.
//
// Text layout:
//   object Name: TClassName
//     Width = 10
//     Caption = 'It''s'
//     Mode = tmAuto
//     Style = [fsBold, fsItalic]
//     Scale = 100.0
//     Data = {0100010011223344}
//     Items = <
//       item
//         DisplayName = 'One'
//       end>
//     object Child: TChildClass
//     end
//   end
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Streams.h"
#include "toolkit/TypInfo.h"

enum class TValueType : uint8_t {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaDouble = 5, vaString = 6,
  vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
  vaCollection = 14, vaInt64 = 16,
};

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TStreamProc = std::function<void(TStream&)>;

// What a persistent object's DeclareStoredData sees: it declares data that is not a published
// property, and the reader or writer behind the filer reads or writes the one it is at.
class TFiler {
public:
  explicit TFiler(TStream& stream) : FStream(stream) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  // A value written with the writer's Write* and read with the reader's Read*.
  virtual void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                              bool hasData) = 0;
  // A block of bytes: write puts them on a stream, read gets a stream holding exactly them.
  virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& read,
                                    const TStreamProc& write, bool hasData) = 0;
  TStream& Stream() const { return FStream; }
  TComponent* Root() const { return FRoot; }

protected:
  TStream& FStream;
  TComponent* FRoot = nullptr;
};

class TWriter : public TFiler {
public:
  explicit TWriter(TStream& stream) : TFiler(stream) {}

  // The signature, then the component with its properties and the components nested in it.
  void WriteRootComponent(TComponent* root);
  // The component without signature (a component inside another stream, e.g. a template).
  void WriteComponent(TComponent* component);
  // Published properties and declared data of any persistent, then the end of the list.
  void WriteProperties(TPersistent* instance);

  void WriteInteger(int64_t value);  // the smallest tag that holds the value
  void WriteBoolean(bool value);
  void WriteFloat(double value);
  void WriteString(const std::string& value);
  void WriteIdent(const std::string& value);
  void WriteBinary(const void* data, uint32_t count);
  void WriteListBegin();
  void WriteListEnd();
  void WriteStr(const std::string& shortString);  // a bare short string (names, class names)
  void WriteValue(TValueType type);

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc& write,
                            bool hasData) override;

private:
  void WritePropertiesOf(TPersistent* instance, const std::string& prefix);
  void WriteProperty(TPersistent* instance, const TPropInfo& prop, const std::string& prefix);
  void WriteCollection(class TCollection* collection);
  bool Declared(const std::string& name);
  std::string ReferenceName(TComponent* component) const;
  std::string FPrefix;
  std::vector<std::string> FDeclared;  // data names written for the object at FPrefix
  int FDepth = 0;
};

class TReader : public TFiler {
public:
  explicit TReader(TStream& stream) : TFiler(stream) {}

  // Reads a stored root. With an instance the properties go into it (its class must match);
  // without one the class is created by name with the given owner. The components nested in it
  // belong to the root (one of that name and class the root already owns is read into); a
  // control nested in a windowed control becomes its child, in the order read. An event names
  // a published method of the root's class, which the handler calls on the root; naming one the
  // class does not publish fails the read. Every component read is put in the loading state
  // while it is read; after the whole tree (and its component references) each one's Loaded
  // runs, in the order they were read.
  TComponent* ReadRootComponent(TComponent* instance, TComponent* owner = nullptr);
  // The same for a component without signature (inside another stream).
  TComponent* ReadComponent(TComponent* instance, TComponent* owner = nullptr);
  // Reads a property list into any persistent (no loading brackets).
  void ReadProperties(TPersistent* instance);

  // The bytes left in the stream of the innermost reader now reading on this thread, or -1 when
  // none is. Setters that allocate (a picture's size) check what they are asked for against it,
  // so that a few bytes of stream cannot claim gigabytes.
  static int64_t CurrentBudget();

  // Skip unknown properties instead of failing with "Property %s does not exist".
  bool IgnoreUnknownProperties = false;

  TValueType NextValue();
  TValueType ReadValue();
  int64_t ReadInteger();
  bool ReadBoolean();
  double ReadFloat();
  std::string ReadString();
  std::string ReadIdent();
  std::vector<uint8_t> ReadBinary();
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList();
  std::string ReadStr();
  void SkipValue();

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc& write,
                            bool hasData) override;

private:
  struct TFixup {
    TPersistent* Instance;
    const TPropInfo* Prop;
    std::string Name;
  };
  TComponent* ReadComponentBody(TComponent* instance, TComponent* owner, TComponent* enclosing);
  void BindEvent(TPersistent* instance, const TPropInfo& prop, const std::string& methodName);
  void ReadProperty(TPersistent* instance);
  void ReadPropValue(TPersistent* instance, const TPropInfo& prop);
  void ReadCollection(class TCollection* collection);
  void ReadStringBody(TValueType type, std::string& out);
  void Finish(bool ok);
  void Enter();
  void Leave() { --FDepth; }
  std::string FPropName;
  bool FCanHandle = false;
  std::vector<TComponent*> FLoaded;
  std::vector<TComponent*> FCreated;
  std::vector<TFixup> FFixups;
  int FDepth = 0;
  bool FTopLevel = true;
};

// Whole-stream helpers.
void WriteComponentToStream(TStream& stream, TComponent* component);
TComponent* ReadComponentFromStream(TStream& stream, TComponent* instance, TComponent* owner = nullptr);

// Converters between the binary and the text form of a stored root (signature included).
// Malformed input fails with EReadError (binary) or EParserError (text) with the line number.
QV_EXCEPTION(EParserError, Exception)
void ObjectBinaryToText(TStream& input, TStream& output);
void ObjectTextToBinary(TStream& input, TStream& output);
std::string ComponentToText(TComponent* component);
void TextToComponent(const std::string& text, TComponent* instance);
// Reads the properties and components of a form instance (root) from its text form, e.g. one
// compiled into the program with the build's qv_embed_text.
void ReadFormResource(TComponent* root, std::string_view text);
// The component of a read root that its stored form names, of the class the program expects;
// EReadError naming both when the form holds no such component.
template <class T>
T* StoredComponent(const TComponent* root, const std::string& name) {
  if (auto* component = dynamic_cast<T*>(root->FindComponent(name))) return component;
  throw EReadError("The stored form of " + std::string(root->ClassName()) + " has no " + T::StaticClassName() + " " +
                   name);
}
