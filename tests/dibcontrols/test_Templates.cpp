// Control templates: one control's pictures and property values given to another through a
// stream, the exact bytes of that stream, and what damaged or hostile streams do.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "dibcontrols/DIBControlsRegistration.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "platform/Guid.h"
#include "support/GuidSource.h"
#include "toolkit/Forms.h"
#include "toolkit/Streaming.h"

namespace {

using TBytes = std::vector<uint8_t>;

// An image control with one published property of each ordinal and text kind the base lacks.
class TKindsImage : public TDIBImage {
public:
  QV_CLASS(TKindsImage)
  using TDIBImage::TDIBImage;
  int64_t Big() const { return FBig; }
  void SetBig(int64_t value) { FBig = value; }
  unsigned Styles() const { return FStyles; }
  void SetStyles(unsigned value) { FStyles = value; }
  const std::string& Label() const { return FLabel; }
  void SetLabel(const std::string& value) { FLabel = value; }
  void Loaded() override {
    TDIBImage::Loaded();
    LabelWhenLoaded = FLabel;
  }
  std::string LabelWhenLoaded = "never loaded";

private:
  int64_t FBig = 0;
  unsigned FStyles = 0;
  std::string FLabel;
};

void RegisterKindsImage() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDIBControlClasses();
    RegisterClassInfo<TKindsImage, TDIBImage>()
        .Int64("Big", &TKindsImage::Big, &TKindsImage::SetBig)
        .Set("Styles", &TKindsImage::Styles, &TKindsImage::SetStyles, {"sA", "sB", "sC"})
        .String("Label", &TKindsImage::Label, &TKindsImage::SetLabel, TTypeKind::tkWString);
  });
}

bool CountingBytes(void* buffer, size_t count) {
  for (size_t i = 0; i < count; ++i) static_cast<uint8_t*>(buffer)[i] = static_cast<uint8_t>(i);
  return true;
}

void Le32(TBytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Text(TBytes& out, const std::string& text) {
  Le32(out, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}
void Ordinal(TBytes& out, const std::string& name, uint32_t value) {
  Text(out, name);
  Le32(out, 4);
  Le32(out, value);
}
// GUID 00..0F (as the counting source gives it, before the version bits), then the two counts.
TBytes Header(uint32_t pictures, uint32_t links) {
  TBytes out;
  for (int i = 0; i < 16; ++i) out.push_back(static_cast<uint8_t>(i));
  Le32(out, pictures);
  Le32(out, links);
  return out;
}

class Templates : public testing::Test {
protected:
  void SetUp() override {
    RegisterKindsImage();
    Form = std::make_unique<TForm>(nullptr);
    Container = new TDIBImageContainer(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 400, 300);
    List = new TDIBImageList(Form.get());
    Source = NewImage();
    Target = NewImage();
  }
  TDIBImage* NewImage() {
    auto* image = new TDIBImage(Form.get());
    image->SetParent(Container);
    image->SetDIBImageList(List);
    return image;
  }
  // An item with a 3 x 2 picture of distinct pixels and settings of its own.
  TDIBImagesItem* AddPicture(const std::string& displayName) {
    TDIBImagesItem* item = List->DIBImages()->Add();
    TMemoryDIB* dib = item->DIB();
    dib->SetSize(3, 2);
    for (int i = 0; i < 6; ++i) dib->Pixels()[i] = 0x80102030u + static_cast<uint32_t>(i) * 0x01010101u;
    dib->SetOpacity(128);
    dib->SetMasked(true);
    item->SetDisplayName(displayName);
    return item;
  }
  TBytes Save(TCustomDIBControl* control) {
    TMemoryStream stream;
    control->SaveTemplate(stream);
    return stream.Bytes();
  }
  void Load(TCustomDIBControl* control, const TBytes& bytes) {
    TBytesStream stream(bytes);
    control->LoadTemplate(stream);
    EXPECT_EQ(stream.Position(), stream.Size()) << "the whole template is read";
  }
  std::unique_ptr<TForm> Form;
  TDIBImageContainer* Container = nullptr;
  TDIBImageList* List = nullptr;
  TDIBImage* Source = nullptr;
  TDIBImage* Target = nullptr;
};

void ExpectSamePicture(const TMemoryDIB* expected, const TMemoryDIB* actual) {
  ASSERT_EQ(actual->Width(), expected->Width());
  ASSERT_EQ(actual->Height(), expected->Height());
  for (int i = 0; i < expected->Width() * expected->Height(); ++i)
    EXPECT_EQ(actual->Pixels()[i], expected->Pixels()[i]) << "pixel " << i;
  EXPECT_EQ(actual->Opacity(), expected->Opacity());
  EXPECT_EQ(actual->Masked(), expected->Masked());
}

TEST_F(Templates, ImageControlTemplatesItsLookAfterTheBaseSize) {
  const std::vector<std::string> expected = {"Width", "Height", "Angle", "AutoSize", "Center", "Opacity", "Scale", "Stretch"};
  EXPECT_EQ(Source->TemplateProperties(), expected);
  EXPECT_EQ(Source->LinkPropertyName(Source->IndexMain()), "IndexMain");
  EXPECT_EQ(Source->LinkPropertyName(Target->IndexMain()), "") << "another control's link is not ours";
  TDIBImageLink loose(nullptr);
  EXPECT_EQ(Source->LinkPropertyName(&loose), "");
}

TEST_F(Templates, RoundTripGivesAnotherControlThePictureAndLookAndASecondLoadReusesTheItem) {
  TDIBImagesItem* original = AddPicture("Front");
  Source->IndexMain()->SetDIBIndex(original->Index());
  Source->SetBounds(5, 6, 70, 45);
  Source->SetAngle(90);
  Source->SetCenter(true);
  Source->SetOpacity(200);
  Source->SetScale(150.25);
  Source->SetStretch(true);
  TGuidSourceScope guid(CountingBytes);
  const TBytes bytes = Save(Source);

  Load(Target, bytes);
  ASSERT_EQ(List->DIBImages()->Count(), 2) << "the template's picture is a new item";
  TDIBImagesItem* copy = List->DIBImages()->Items(1);
  EXPECT_EQ(copy->TemplateFilename(), "{03020100-0504-4706-8809-0A0B0C0D0E0F}:0");
  EXPECT_EQ(copy->GetDisplayName(), "Front");
  ExpectSamePicture(original->DIB(), copy->DIB());
  EXPECT_EQ(Target->IndexMain()->DIBIndex(), 1);
  EXPECT_EQ(Target->BoundsRect(), Bounds(0, 0, 70, 45)) << "size only, not position";
  EXPECT_EQ(Target->Angle(), 90);
  EXPECT_FALSE(Target->AutoSize());
  EXPECT_TRUE(Target->Center());
  EXPECT_EQ(Target->Opacity(), 200);
  EXPECT_EQ(Target->Scale(), 150.25);
  EXPECT_TRUE(Target->Stretch()) << "Stretch is applied after Scale, which turns it off";

  // Loading again, into another control, finds the item by its template key.
  copy->DIB()->Pixels()[0] = 0;
  TDIBImage* third = NewImage();
  Load(third, bytes);
  EXPECT_EQ(List->DIBImages()->Count(), 2);
  EXPECT_EQ(third->IndexMain()->DIBIndex(), 1);
  ExpectSamePicture(original->DIB(), copy->DIB());
}

TEST_F(Templates, OrdinalAndTextKindsRoundTrip) {
  auto* from = new TKindsImage(Form.get());
  auto* to = new TKindsImage(Form.get());
  for (TKindsImage* image : {from, to}) {
    image->SetDIBImageList(List);
    for (const char* name : {"Big", "Styles", "Label", "Accelerator", "Hint", "Visible"}) image->RegisterTemplateProperty(name);
  }
  from->SetBig(0x100000005);
  from->SetStyles(0b101);
  from->SetLabel("Grüße");
  from->SetAccelerator(U'é');
  from->SetHint("");
  from->SetVisible(false);
  to->SetHint("old");
  to->SetAccelerator(U'x');
  Load(to, Save(from));
  EXPECT_EQ(to->Big(), 5) << "only 32 bits of a 64-bit value are stored";
  EXPECT_EQ(to->Styles(), 0b101u);
  EXPECT_EQ(to->Label(), "Grüße");
  EXPECT_EQ(to->Accelerator(), U'é');
  EXPECT_EQ(to->Hint(), "");
  EXPECT_FALSE(to->Visible());
  EXPECT_EQ(to->LabelWhenLoaded, "Grüße") << "loading completes after the values are in";

  from->SetAccelerator(0);
  Load(to, Save(from));
  EXPECT_EQ(to->Accelerator(), 0u);
}

TEST_F(Templates, FailuresCarryTheirTexts) {
  auto expectFailure = [](auto action, const std::string& text) {
    try {
      action();
      ADD_FAILURE() << "no failure, expected: " << text;
    } catch (const EDIBControlError& e) {
      EXPECT_EQ(std::string(e.what()), text);
    }
  };
  expectFailure([&] { Source->RegisterTemplateProperty("Sharpness"); },
                "Class TDIBImage is trying to register Sharpness as a template property, and that property does not exist.");
  for (const char* name : {"IndexMain", "Font", "OnClick", "DIBImageList"})
    expectFailure([&] { Source->RegisterTemplateProperty(name); }, "Attempting to template an invalid property type.");
  EXPECT_EQ(Source->TemplateProperties().size(), 8u) << "refused names are not added";

  {
    TGuidSourceScope refusing([](void*, size_t) { return false; });
    TMemoryStream stream;
    expectFailure([&] { Source->SaveTemplate(stream); }, "Could not create a GUID for your new template.");
    EXPECT_EQ(stream.Size(), 0);
  }

  Target->SetDIBImageList(nullptr);
  TMemoryStream saved;
  Target->SaveTemplate(saved);
  EXPECT_EQ(saved.Size(), 0) << "without an image list nothing is written";
  const TBytes bytes = Save(Source);
  TBytesStream in(bytes);
  expectFailure([&] { Target->LoadTemplate(in); }, "No DIB image list has been assigned.");
  EXPECT_EQ(in.Position(), 0);
}

TEST_F(Templates, ExactBytesOfASmallTemplate) {
  TDIBImagesItem* item = List->DIBImages()->Add();
  item->DIB()->SetSize(2, 1);
  item->DIB()->Pixels()[0] = 0xFF0000FFu;
  item->DIB()->Pixels()[1] = 0x8000FF00u;
  Source->IndexMain()->SetDIBIndex(0);
  TGuidSourceScope guid(CountingBytes);
  const TBytes actual = Save(Source);

  TBytes expected = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x47, 0x88, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
  Le32(expected, 1);  // pictures
  Le32(expected, 1);  // link records
  TMemoryStream wrapped;
  {
    TDIBWrapper wrapper(nullptr);
    wrapper.SetDIB(item->DIB());
    TWriter(wrapped).WriteComponent(&wrapper);
  }
  const std::string head = "\x0BTDIBWrapper\x00";
  ASSERT_GE(wrapped.Size(), static_cast<int64_t>(head.size()));
  EXPECT_EQ(std::memcmp(wrapped.Memory(), head.data(), head.size()), 0) << "a component of class TDIBWrapper, unnamed";
  expected.insert(expected.end(), wrapped.Bytes().begin(), wrapped.Bytes().end());
  Text(expected, "IndexMain");
  Text(expected, "TDIBImagesItem");
  Le32(expected, 0);  // picture number
  Le32(expected, 8);  // properties
  Ordinal(expected, "Width", 32);
  Ordinal(expected, "Height", 32);
  Ordinal(expected, "Angle", 0);
  Ordinal(expected, "AutoSize", 0);
  Ordinal(expected, "Center", 0);
  Ordinal(expected, "Opacity", 255);
  Text(expected, "Scale");
  Le32(expected, 10);
  for (uint8_t b : {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0x05, 0x40}) expected.push_back(b);  // 100.0
  Ordinal(expected, "Stretch", 0);
  EXPECT_EQ(actual, expected);
}

TEST_F(Templates, LinksWithoutPictureAndNamesTheControlLacksArePassedOver) {
  Source->IndexMain()->SetDIBIndex(-1);
  TGuidSourceScope guid(CountingBytes);
  TBytes noPicture = Save(Source);
  EXPECT_EQ(noPicture.size(), 16u + 4 + 4 + 4 + (4 + 5 + 8) + (4 + 6 + 8) + (4 + 5 + 8) + (4 + 8 + 8) + (4 + 6 + 8) +
                                  (4 + 7 + 8) + (4 + 5 + 14) + (4 + 7 + 8))
      << "a link that shows no picture gives neither a picture nor a link record";

  TBytes bytes = Header(0, 3);
  for (const char* property : {"NoSuchLink", "Width", "IndexMain"}) {
    Text(bytes, property);
    Text(bytes, "Named");
    Le32(bytes, 0);  // no such picture
  }
  Le32(bytes, 6);
  Text(bytes, "Sharpness");
  Le32(bytes, 7);
  for (int i = 0; i < 7; ++i) bytes.push_back(0xEE);
  Ordinal(bytes, "Opacity", 77);
  Ordinal(bytes, "IndexMain", 3);     // a link is no templated value
  Ordinal(bytes, "autosize", 7);      // beyond the Boolean's names: dropped
  Ordinal(bytes, "ANGLE", 45);        // names are found ignoring letter case
  Text(bytes, "Hint");                // a property that is not in TemplateProperties still loads
  Le32(bytes, 4 + 2);
  Text(bytes, "hi");
  Target->IndexMain()->SetDIBIndex(5);
  Load(Target, bytes);
  EXPECT_EQ(List->DIBImages()->Count(), 0);
  EXPECT_EQ(Target->IndexMain()->DIBIndex(), 5);
  EXPECT_EQ(Target->Opacity(), 77);
  EXPECT_FALSE(Target->AutoSize());
  EXPECT_EQ(Target->Angle(), 45);
  EXPECT_EQ(Target->Hint(), "hi");
}

TEST_F(Templates, AStreamCutAnywhereFailsWithTheReadError) {
  Source->IndexMain()->SetDIBIndex(AddPicture("Front")->Index());
  Source->SetOpacity(9);
  const TBytes bytes = Save(Source);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TBytesStream in(std::span<const uint8_t>(bytes.data(), cut));
    try {
      Target->LoadTemplate(in);
      ADD_FAILURE() << "cut at " << cut << " of " << bytes.size() << " loaded";
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), "Stream read error") << "cut at " << cut;
    }
  }
  EXPECT_LE(List->DIBImages()->Count(), 2) << "every attempt used the one item of the template";
  Load(Target, bytes);
  EXPECT_EQ(Target->Opacity(), 9);
}

TEST_F(Templates, HugeCountsAndLengthsFailBeforeAllocatingAndJunkNeverCrashes) {
  auto expectReadError = [&](const TBytes& bytes, const std::string& what) {
    TBytesStream in(bytes);
    try {
      Target->LoadTemplate(in);
      ADD_FAILURE() << what << " loaded";
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), "Stream read error") << what;
    }
    EXPECT_EQ(List->DIBImages()->Count(), 0) << what;
  };
  TBytes pictures = Header(0x7FFFFFFF, 0);
  Le32(pictures, 0);
  expectReadError(pictures, "2^31 - 1 pictures");
  expectReadError(Header(0x80000000u, 0), "2^31 pictures (a negative count: none) and no property count");
  TBytes links = Header(0, 0x7FFFFFFF);
  Le32(links, 0);
  expectReadError(links, "2^31 - 1 link records");
  TBytes properties = Header(0, 0);
  Le32(properties, 0x7FFFFFFF);
  expectReadError(properties, "2^31 - 1 properties");
  TBytes longName = Header(0, 1);
  Le32(longName, 0xFFFFFFFF);
  Le32(longName, 0);
  Le32(longName, 0);
  Le32(longName, 0);
  expectReadError(longName, "a link name of 4 GiB");
  TBytes bigSkip = Header(0, 0);
  Le32(bigSkip, 1);
  Text(bigSkip, "Sharpness");
  Le32(bigSkip, 0xFFFFFFF0u);
  expectReadError(bigSkip, "an unknown property of 4 GiB");
  TBytes longValue = Header(0, 0);
  Le32(longValue, 1);
  Text(longValue, "Hint");
  Le32(longValue, 8);
  Le32(longValue, 0x7FFFFFFF);
  Le32(longValue, 0);
  expectReadError(longValue, "a text value of 2 GiB");

  // Junk behind a header that promises one picture, and junk from the first byte.
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    TBytes bytes = round % 2 ? Header(1, 1) : TBytes();
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(random()));
    TBytesStream in(bytes);
    try {
      Target->LoadTemplate(in);
    } catch (const Exception&) {
    }
  }
}

}  // namespace
