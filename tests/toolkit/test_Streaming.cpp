#include <gtest/gtest.h>

#include "toolkit/Collections.h"
#include "toolkit/Streaming.h"
#include "toolkit/TypInfo.h"

namespace {

enum class TShade { shLight, shDark, shNone };

class TSample : public TPersistent {
public:
  QV_CLASS(TSample)
  int Size() const { return FSize; }
  void SetSize(int v) { FSize = v; }
  int FSize = 8;
};

class TEntry : public TCollectionItem {
public:
  QV_CLASS(TEntry)
  using TCollectionItem::TCollectionItem;
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v) { FCaption = v; }
  std::string FCaption;
};

// Every kind of published property, with and without stored defaults, plus declared data.
class TWidget : public TComponent {
public:
  QV_CLASS(TWidget)
  explicit TWidget(TComponent* owner)
      : TComponent(owner), FEntries(this, ItemFactory<TEntry>(), "TEntry") {}
  int32_t Count() const { return FCount; }
  void SetCount(int32_t v) { FCount = v; }
  int32_t Limit() const { return FLimit; }
  void SetLimit(int32_t v) { FLimit = v; }
  char Letter() const { return FLetter; }
  void SetLetter(char v) { FLetter = v; }
  TShade Shade() const { return FShade; }
  void SetShade(TShade v) { FShade = v; }
  bool Flag() const { return FFlag; }
  void SetFlag(bool v) { FFlag = v; }
  double Ratio() const { return FRatio; }
  void SetRatio(double v) { FRatio = v; }
  const std::string& Short() const { return FShort; }
  void SetShort(const std::string& v) { FShort = v; }
  const std::string& Text() const { return FText; }
  void SetText(const std::string& v) { FText = v; }
  const std::string& Wide() const { return FWide; }
  void SetWide(const std::string& v) { FWide = v; }
  unsigned Styles() const { return FStyles; }
  void SetStyles(unsigned v) { FStyles = v; }
  int64_t Big() const { return FBig; }
  void SetBig(int64_t v) { FBig = v; }
  const std::string& OnClick() const { return FOnClick; }
  void SetOnClick(const std::string& v) { FOnClick = v; }
  TSample* Sample() const { return const_cast<TSample*>(&FSample); }
  TCollection* Entries() const { return const_cast<TOwnedCollection*>(&FEntries); }
  TWidget* Buddy() const { return FBuddy; }
  void SetBuddy(TWidget* v) { FBuddy = v; }

  void DeclareStoredData(TFiler& filer) override {
    filer.DefineBinaryProperty(
        "Blob", [this](TStream& s) { FBlob.assign(static_cast<size_t>(s.Size()), 0); s.ReadBuffer(FBlob.data(), s.Size()); },
        [this](TStream& s) { s.WriteBuffer(FBlob.data(), static_cast<int64_t>(FBlob.size())); }, !FBlob.empty());
    filer.DefineProperty(
        "Note", [this](TReader& r) { FNote = r.ReadString(); }, [this](TWriter& w) { w.WriteString(FNote); },
        !FNote.empty());
  }
  void Loaded() override {
    LoadingSeen = HasState(csLoading);
    Log.push_back(Name());
    TComponent::Loaded();
  }
  void SetName(const std::string& n) override {
    // The reader sets the loading state before any property, never before the name.
    TComponent::SetName(n);
  }

  static inline std::vector<std::string> Log;
  bool LoadingSeen = false;
  int32_t FCount = 0, FLimit = 10;
  char FLetter = 'a';
  TShade FShade = TShade::shLight;
  bool FFlag = false;
  double FRatio = 1.5;
  std::string FShort, FText, FWide, FOnClick, FNote;
  unsigned FStyles = 0;
  int64_t FBig = 0;
  TSample FSample;
  TOwnedCollection FEntries;
  TWidget* FBuddy = nullptr;
  std::vector<uint8_t> FBlob;
};

struct TRegistration {
  TRegistration() {
    RegisterClassInfo<TSample, TPersistent>().Integer("Size", &TSample::Size, &TSample::SetSize);
    RegisterClassInfo<TCollectionItem, TPersistent>();
    RegisterClassInfo<TEntry, TCollectionItem>().String("Caption", &TEntry::Caption, &TEntry::SetCaption);
    RegisterClassInfo<TWidget, TComponent>()
        .Integer("Count", &TWidget::Count, &TWidget::SetCount)
        .Integer("Limit", &TWidget::Limit, &TWidget::SetLimit, 10)
        .Char("Letter", &TWidget::Letter, &TWidget::SetLetter)
        .Enum("Shade", &TWidget::Shade, &TWidget::SetShade, {"shLight", "shDark", "shNone"}, 0)
        .Boolean("Flag", &TWidget::Flag, &TWidget::SetFlag)
        .Float("Ratio", &TWidget::Ratio, &TWidget::SetRatio)
        .String("Short", &TWidget::Short, &TWidget::SetShort, TTypeKind::tkString)
        .String("Text", &TWidget::Text, &TWidget::SetText)
        .String("Wide", &TWidget::Wide, &TWidget::SetWide, TTypeKind::tkWString)
        .Set("Styles", &TWidget::Styles, &TWidget::SetStyles, {"fsBold", "fsItalic", "fsUnderline"})
        .Int64("Big", &TWidget::Big, &TWidget::SetBig)
        .Method("OnClick", &TWidget::OnClick, &TWidget::SetOnClick)
        .Object("Sample", &TWidget::Sample)
        .Object("Entries", &TWidget::Entries)
        .Reference("Buddy", &TWidget::Buddy, &TWidget::SetBuddy);
  }
};
const TRegistration registration;

std::unique_ptr<TWidget> MakeTree() {
  auto root = std::make_unique<TWidget>(nullptr);
  root->SetName("Root");
  root->FCount = -70000;
  root->FLimit = 3;
  root->FLetter = 'Q';
  root->FShade = TShade::shDark;
  root->FFlag = true;
  root->FRatio = 0.1;
  root->FShort = "it's";
  root->FText = std::string(300, 'x') + "\r\n\x01 end";
  root->FWide = "gr\xC3\xBC\xC3\x9F";
  root->FStyles = 5;
  root->FBig = int64_t{1} << 40;
  root->FOnClick = "RootClick";
  root->FSample.FSize = 12;
  root->FNote = "note";
  root->FBlob = {0, 1, 2, 255};
  for (const char* c : {"one", "two"}) static_cast<TEntry*>(root->FEntries.Add())->FCaption = c;
  auto* child = new TWidget(root.get());
  child->SetName("Child");
  child->FCount = 42;
  child->FBuddy = root.get();
  root->FBuddy = child;
  // Owned by the root like everything a stored root holds; the child owns nothing that is stored.
  auto* grandchild = new TWidget(root.get());
  grandchild->SetName("Grand");
  (new TWidget(child))->SetName("NotStored");
  new TWidget(root.get());  // unnamed: not stored
  return root;
}

std::vector<uint8_t> Store(TComponent* c) {
  TMemoryStream s;
  WriteComponentToStream(s, c);
  return s.TakeBytes();
}

void ExpectSameTree(TWidget& a, TWidget& b) {
  EXPECT_EQ(a.FCount, b.FCount);
  EXPECT_EQ(a.FLimit, b.FLimit);
  EXPECT_EQ(a.FLetter, b.FLetter);
  EXPECT_EQ(a.FShade, b.FShade);
  EXPECT_EQ(a.FFlag, b.FFlag);
  EXPECT_DOUBLE_EQ(a.FRatio, b.FRatio);
  EXPECT_EQ(a.FShort, b.FShort);
  EXPECT_EQ(a.FText, b.FText);
  EXPECT_EQ(a.FWide, b.FWide);
  EXPECT_EQ(a.FStyles, b.FStyles);
  EXPECT_EQ(a.FBig, b.FBig);
  EXPECT_EQ(a.FOnClick, b.FOnClick);
  EXPECT_EQ(a.FSample.FSize, b.FSample.FSize);
  EXPECT_EQ(a.FNote, b.FNote);
  EXPECT_EQ(a.FBlob, b.FBlob);
  ASSERT_EQ(a.FEntries.Count(), b.FEntries.Count());
  for (int i = 0; i < a.FEntries.Count(); ++i)
    EXPECT_EQ(static_cast<TEntry*>(a.FEntries.Items(i))->FCaption, static_cast<TEntry*>(b.FEntries.Items(i))->FCaption);
}

TEST(Streaming, EveryPropertyKindRoundTripsThroughBinaryAndText) {
  auto original = MakeTree();
  const std::vector<uint8_t> binary = Store(original.get());

  for (bool viaText : {false, true}) {
    SCOPED_TRACE(viaText ? "text" : "binary");
    std::vector<uint8_t> bytes = binary;
    if (viaText) {
      TBytesStream in(binary);
      TMemoryStream text, back;
      ObjectBinaryToText(in, text);
      text.SetPosition(0);
      ObjectTextToBinary(text, back);
      bytes = back.TakeBytes();
      EXPECT_EQ(bytes, binary) << "text form converts back to the same bytes";
    }
    TWidget copy(nullptr);
    TBytesStream in(bytes);
    ReadComponentFromStream(in, &copy);
    EXPECT_EQ(in.Remaining(), 0) << "the reader finds the end by itself";
    ExpectSameTree(*original, copy);
    ASSERT_EQ(copy.ComponentCount(), 2) << "only named components the root owns are stored";
    auto* child = dynamic_cast<TWidget*>(copy.Components(0));
    ASSERT_TRUE(child);
    EXPECT_EQ(child->Name(), "Child");
    EXPECT_EQ(child->FCount, 42);
    EXPECT_EQ(child->FBuddy, &copy) << "references resolve by name after the tree";
    EXPECT_EQ(copy.FBuddy, child);
    EXPECT_EQ(child->ComponentCount(), 0);
    EXPECT_EQ(copy.Components(1)->Name(), "Grand");
  }
}

TEST(Streaming, TextFormReadsAsWritten) {
  auto root = std::make_unique<TWidget>(nullptr);
  root->SetName("W");
  root->FCount = 3;
  root->FShort = "a'b";
  root->FStyles = 3;
  const std::string text = ComponentToText(root.get());
  EXPECT_NE(text.find("object W: TWidget\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Count = 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Short = 'a''b'\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Styles = [fsBold, fsItalic]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Ratio = 1.5\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Limit"), std::string::npos) << "a property at its stored default is not written";
  EXPECT_EQ(text.find("Shade"), std::string::npos);

  TWidget copy(nullptr);
  TextToComponent("object W: TWidget\n  Count = 9\n  Text = 'a' + #13#10'b'\n  Shade = shNone\n"
                  "  Entries = <\n    item\n      Caption = 'x'\n    end>\n  Sample.Size = 4\nend\n",
                  &copy);
  EXPECT_EQ(copy.FCount, 9);
  EXPECT_EQ(copy.FText, "a\r\nb");
  EXPECT_EQ(copy.FShade, TShade::shNone);
  EXPECT_EQ(copy.FEntries.Count(), 1);
  EXPECT_EQ(copy.FSample.FSize, 4);
}

TEST(Streaming, LoadingStateDuringReadAndLoadedAfterTheWholeTree) {
  auto original = MakeTree();
  const std::vector<uint8_t> bytes = Store(original.get());
  TWidget::Log.clear();
  TBytesStream in(bytes);
  std::unique_ptr<TComponent> copy(ReadComponentFromStream(in, nullptr));
  auto* root = dynamic_cast<TWidget*>(copy.get());
  ASSERT_TRUE(root) << "created by class name";
  EXPECT_EQ(TWidget::Log, (std::vector<std::string>{"Root", "Child", "Grand"}));
  EXPECT_TRUE(root->LoadingSeen);
  EXPECT_FALSE(root->HasState(csLoading | csReading));
  auto* grand = root->Components(1);
  EXPECT_FALSE(grand->HasState(csLoading | csReading));
}

// Damaged streams: every cut gives a clean stream error, and unknown names are reported.
TEST(Streaming, DamagedStreamsFailCleanly) {
  auto original = MakeTree();
  const std::vector<uint8_t> bytes = Store(original.get());
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
    TBytesStream in(part);
    TWidget target(nullptr);
    EXPECT_THROW(ReadComponentFromStream(in, &target), Exception) << "cut at " << cut;
    EXPECT_EQ(target.ComponentCount(), 0) << "components created by a failed read are freed";
  }

  struct TCase {
    const char* Text;
    const char* Message;
  } cases[] = {
      {"object W: TOtherClass\nend\n", "Invalid stream format"},  // not the instance's class
      {"object W: TWidget\n  Bogus = 1\nend\n", "Property Bogus does not exist"},
      {"object W: TWidget\n  Sample.Bogus = 1\nend\n", "Property Sample.Bogus does not exist"},
      {"object W: TWidget\n  Shade = shPurple\nend\n", "Invalid property value"},
      {"object W: TWidget\n  Count = 'text'\nend\n", "Invalid property value"},
      {"object W: TWidget\n  object C: TNoSuchClass\n  end\nend\n", "Class TNoSuchClass not found"},
  };
  for (const TCase& c : cases) {
    TWidget target(nullptr);
    try {
      TextToComponent(c.Text, &target);
      ADD_FAILURE() << c.Text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.Message) << c.Text;
    }
  }
}

TEST(Streaming, LyingLengthsAndDeepNestingAreStreamErrors) {
  // A string that claims 4 GB, a binary block that claims more than the stream holds, and
  // components nested far deeper than any form.
  std::vector<uint8_t> header = {'Q', 'V', 'F', '1', 7, 'T', 'W', 'i', 'd', 'g', 'e', 't', 0, 4, 'T', 'e', 'x', 't',
                                 static_cast<uint8_t>(TValueType::vaLString), 0xFF, 0xFF, 0xFF, 0xFF, 'a'};
  TBytesStream in(header);
  TWidget target(nullptr);
  EXPECT_THROW(ReadComponentFromStream(in, &target), EReadError);

  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "object TWidget\n";
  for (int i = 0; i < 200; ++i) deep += "end\n";
  TBytesStream text(std::span(reinterpret_cast<const uint8_t*>(deep.data()), deep.size()));
  TMemoryStream binary;
  EXPECT_THROW(ObjectTextToBinary(text, binary), EParserError);
}

TEST(Streaming, IgnoringUnknownPropertiesSkipsTheirValues) {
  TMemoryStream s;
  {
    TWidget w(nullptr);
    w.FCount = 5;
    w.FText = "keep";
    WriteComponentToStream(s, &w);
  }
  // Rename the Count property in the stored bytes to one the class does not have.
  std::vector<uint8_t> bytes = s.TakeBytes();
  const std::string from = "\x05" "Count";
  auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
  ASSERT_NE(it, bytes.end());
  it[1] = 'K';
  TBytesStream in(bytes);
  TWidget w(nullptr);
  TReader reader(in);
  reader.IgnoreUnknownProperties = true;
  reader.ReadRootComponent(&w);
  EXPECT_EQ(w.FCount, 0);
  EXPECT_EQ(w.FText, "keep");
}

TEST(Collections, IndicesFollowDeletionAndMoves) {
  TCollection c(ItemFactory<TEntry>(), "TEntry");
  for (int i = 0; i < 4; ++i) static_cast<TEntry*>(c.Add())->FCaption = std::to_string(i);
  c.Delete(1);
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(static_cast<TEntry*>(c.Items(1))->FCaption, "2");
  EXPECT_EQ(c.Items(2)->Index(), 2);
  c.Items(2)->SetIndex(0);
  EXPECT_EQ(static_cast<TEntry*>(c.Items(0))->FCaption, "3");
  EXPECT_THROW(c.Items(3), EListError);
  delete c.Items(0);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Items(0)->DisplayName(), "TEntry");
}

}  // namespace
