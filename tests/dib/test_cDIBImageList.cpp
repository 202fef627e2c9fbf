#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "dib/cDIBFormat.h"
#include "dib/cDIBImageList.h"
#include "toolkit/Streaming.h"

namespace {

using TEvent = std::tuple<int, int>;  // index, kind

struct TWatchedLink {
  explicit TWatchedLink(TComponent* owner = nullptr) : Link(owner) {
    Link.OnChange = [this](TDIBImageLink* sender, int index, uint8_t kind) {
      EXPECT_EQ(sender, &Link);
      Events.emplace_back(index, kind);
    };
  }
  // Links to item `index` of `list` and forgets the events that caused.
  void Attach(TDIBImageList* list, int index) {
    Link.SetDIBIndex(index);
    Link.SetDIBImageList(list);
    Events.clear();
  }
  TDIBImageLink Link;
  std::vector<TEvent> Events;
};

std::unique_ptr<TDIBImageList> ListOf(int count) {
  auto list = std::make_unique<TDIBImageList>(nullptr);
  for (int i = 0; i < count; ++i) list->DIBImages()->Add();
  return list;
}

TEST(DIBImageList, NewItemsAreOnePixelAndNamedByTheirClass) {
  auto list = ListOf(1);
  TDIBImagesItem* item = list->DIBImages()->Items(0);
  EXPECT_EQ(item->DisplayName(), "TDIBImagesItem");
  EXPECT_EQ(item->DIB()->Width(), 1);
  EXPECT_EQ(item->DIB()->Height(), 1);
  EXPECT_EQ(item->TemplateFilename(), "");
}

// Deleting items around a link at index 2 of 4: (deleted index, index after, events).
TEST(DIBImageLink, DeletionShiftsOrClearsTheIndex) {
  struct TCase {
    int Deleted;
    int IndexAfter;
    std::vector<TEvent> Events;
  } cases[] = {
      {0, 1, {}},
      {1, 1, {}},
      {2, -1, {{2, 0}}},
      {3, 2, {}},
  };
  for (const TCase& c : cases) {
    auto list = ListOf(4);
    TWatchedLink w;
    w.Attach(list.get(), 2);
    list->DIBImages()->Delete(c.Deleted);
    EXPECT_EQ(w.Link.DIBIndex(), c.IndexAfter) << "deleted " << c.Deleted;
    EXPECT_EQ(w.Events, c.Events) << "deleted " << c.Deleted;
  }
}

TEST(DIBImageLink, ChangesReachOnlyLinksOfThatItem) {
  auto list = ListOf(3);
  TWatchedLink one, two;
  one.Attach(list.get(), 1);
  two.Attach(list.get(), 2);
  list->DIBImages()->Items(1)->DIB()->SetOpacity(10);
  list->DIBImages()->Items(1)->DIB()->Fill(clRed);
  EXPECT_EQ(one.Events, (std::vector<TEvent>{{1, 1}, {1, 1}}));
  EXPECT_TRUE(two.Events.empty());
}

TEST(DIBImageLink, IndexAndListAssignmentNotify) {
  auto list = ListOf(3);
  TWatchedLink w;
  w.Link.SetDIBIndex(1);
  EXPECT_EQ(w.Events, (std::vector<TEvent>{{1, 1}})) << "a new index notifies even without a list";
  w.Link.SetDIBIndex(1);
  EXPECT_EQ(w.Events.size(), 1u) << "the same index does nothing";
  w.Link.SetDIBIndex(9);
  EXPECT_EQ(w.Events.back(), TEvent(9, 1)) << "even for an item that does not exist";
  w.Link.SetDIBIndex(1);
  w.Events.clear();

  w.Link.SetDIBImageList(list.get());
  EXPECT_EQ(w.Events, (std::vector<TEvent>{{1, 1}})) << "registration notifies its item once";
  w.Link.SetDIBImageList(list.get());
  EXPECT_EQ(w.Events.size(), 2u) << "setting the same list registers again";
  EXPECT_EQ(list->Links().Count(), 1) << "without duplicates";

  auto empty = ListOf(0);
  w.Events.clear();
  w.Link.SetDIBImageList(empty.get());
  EXPECT_TRUE(w.Events.empty());
  EXPECT_EQ(list->Links().Count(), 0);
}

TEST(DIBImageLink, LoadingAPictureNotifiesTheLinkedItemThreeTimes) {
  auto list = ListOf(0);
  TWatchedLink w;
  w.Link.SetDIBImageList(list.get());
  const int i = list->DIBImages()->Add()->Index();
  EXPECT_TRUE(w.Events.empty()) << "creating an item sends nothing";
  w.Link.SetDIBIndex(i);
  LoadDIBFromFile(*list->DIBImages()->Items(i)->DIB(), std::string(QV_TEST_DATA) + "/pictures/bmp24.bmp");
  EXPECT_EQ(w.Events, (std::vector<TEvent>{{0, 1}, {0, 1}, {0, 1}, {0, 1}}));
  TMemoryDIB* dib = nullptr;
  ASSERT_TRUE(w.Link.GetDIB(dib));
  EXPECT_EQ(dib->Width(), 20);
}

TEST(DIBImageLink, OwnerBeingDestroyedIgnoresNotifications) {
  struct TOwner : TComponent {
    using TComponent::TComponent;
    ~TOwner() override {
      Destroying();
      List->DIBImages()->Delete(0);
    }
    TDIBImageList* List = nullptr;
  };
  auto list = ListOf(2);
  auto* owner = new TOwner(nullptr);
  owner->List = list.get();
  TWatchedLink w(owner);
  w.Attach(list.get(), 1);
  delete owner;
  EXPECT_EQ(w.Link.DIBIndex(), 1) << "not shifted while its owner is being destroyed";
  EXPECT_TRUE(w.Events.empty());
}

TEST(DIBImageList, TryGetDIBAnswersOnlyForItemsWithPixels) {
  auto list = ListOf(2);
  TMemoryDIB* dib = nullptr;
  EXPECT_FALSE(list->TryGetDIB(-1, dib));
  EXPECT_FALSE(list->TryGetDIB(2, dib));
  list->DIBImages()->Items(1)->DIB()->Fill(clLime);
  ASSERT_TRUE(list->TryGetDIB(1, dib));
  EXPECT_EQ(dib->Pixels(), list->DIBImages()->Items(1)->DIB()->Pixels()) << "the work surface views the item";
  dib->SetOpacity(3);
  EXPECT_EQ(list->DIBImages()->Items(1)->DIB()->Opacity(), 255) << "its settings are its own";

  EXPECT_THROW(list->GetDIB(5), EListError);

  TDIBImageLink unattached(nullptr);
  EXPECT_FALSE(unattached.GetDIB(dib));
}

TEST(DIBImageList, FindOrAddTemplateReusesItsItem) {
  auto list = ListOf(1);
  TDIBImagesItem* first = list->DIBImages()->FindOrAddTemplate("{N}", 7);
  EXPECT_EQ(first->TemplateFilename(), "{N}:7");
  EXPECT_EQ(list->DIBImages()->Count(), 2);
  EXPECT_EQ(list->DIBImages()->FindOrAddTemplate("{N}", 7), first);
  EXPECT_NE(list->DIBImages()->FindOrAddTemplate("{n}", 7), first) << "keys compare with case";
}

TEST(DIBImageList, DestructionDetachesLinksSilently) {
  auto list = ListOf(3);
  TWatchedLink a, b;
  a.Attach(list.get(), 0);
  b.Attach(list.get(), 2);
  list.reset();
  EXPECT_EQ(a.Link.DIBImageList(), nullptr);
  EXPECT_EQ(b.Link.DIBImageList(), nullptr);
  EXPECT_EQ(a.Link.DIBIndex(), 0);
  EXPECT_EQ(b.Link.DIBIndex(), 2);
  EXPECT_TRUE(a.Events.empty() && b.Events.empty());
}

TEST(DIBImageLink, CopyIntoTakesIndexThenList) {
  auto list = ListOf(2);
  TDIBImageLink from(nullptr), to(nullptr);
  from.SetDIBIndex(1);
  from.SetDIBImageList(list.get());
  to.CopyFrom(&from);
  EXPECT_EQ(to.DIBIndex(), 1);
  EXPECT_EQ(to.DIBImageList(), list.get());
  TMemoryDIB notALink;
  EXPECT_THROW(notALink.CopyFrom(&from), EConvertAssignError);
}

// A form holding an image list with pictures and a component that links to it.
class THolder : public TComponent {
public:
  QV_CLASS(THolder)
  explicit THolder(TComponent* owner) : TComponent(owner), FLink(this) {}
  TDIBImageLink* Link() const { return const_cast<TDIBImageLink*>(&FLink); }
  TDIBImageLink FLink;
};

TEST(DIBImageList, RoundTripsThroughTheComponentStream) {
  RegisterDIBImageListClasses();
  RegisterClassInfo<THolder, TComponent>().Object("Link", &THolder::Link);
  TComponent form(nullptr);
  form.SetName("Form");
  auto* list = new TDIBImageList(&form);
  list->SetName("Images");
  auto* holder = new THolder(&form);
  holder->SetName("Holder");
  TDIBImagesItem* item = list->DIBImages()->Add();
  item->DIB()->SetSize(3, 2);
  for (int i = 0; i < 6; ++i) item->DIB()->Pixels()[i] = 0x10203040u * static_cast<uint32_t>(i + 1);
  item->DIB()->SetOpacity(99);
  item->DIB()->SetTransparentMode(TTransparentMode::tmFixed);
  item->DIB()->SetTransparentColor(RGB(10, 20, 30));
  item->DIB()->SetScale(150);
  item->SetDisplayName("Front");
  item->SetTemplateFilename("{G}:0");
  list->DIBImages()->Add()->SetDisplayName("Second");
  holder->Link()->SetDIBIndex(1);
  holder->Link()->SetDIBImageList(list);

  TMemoryStream stream;
  WriteComponentToStream(stream, &form);
  const std::vector<uint8_t> bytes = stream.TakeBytes();
  TMemoryStream text;
  TBytesStream in(bytes);
  ObjectBinaryToText(in, text);
  const std::string shown(text.Bytes().begin(), text.Bytes().end());
  EXPECT_NE(shown.find("DIB.Opacity = 99"), std::string::npos) << shown;
  EXPECT_NE(shown.find("DIB.Data = {"), std::string::npos) << shown;
  EXPECT_NE(shown.find("TemplateFilename = '{G}:0'"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Link.DIBImageList = Images"), std::string::npos) << shown;

  TComponent copy(nullptr);
  TBytesStream again(bytes);
  ReadComponentFromStream(again, &copy);
  auto* list2 = dynamic_cast<TDIBImageList*>(copy.FindComponent("Images"));
  auto* holder2 = dynamic_cast<THolder*>(copy.FindComponent("Holder"));
  ASSERT_TRUE(list2 && holder2);
  ASSERT_EQ(list2->DIBImages()->Count(), 2);
  TDIBImagesItem* item2 = list2->DIBImages()->Items(0);
  EXPECT_EQ(item2->DisplayName(), "Front");
  EXPECT_EQ(item2->TemplateFilename(), "{G}:0");
  EXPECT_EQ(list2->DIBImages()->Items(1)->TemplateFilename(), "");
  ASSERT_EQ(item2->DIB()->Width(), 3);
  ASSERT_EQ(item2->DIB()->Height(), 2);
  EXPECT_EQ(std::memcmp(item2->DIB()->Pixels(), item->DIB()->Pixels(), 24), 0);
  EXPECT_EQ(item2->DIB()->Opacity(), 99);
  EXPECT_EQ(item2->DIB()->ScaleX(), 150);
  EXPECT_EQ(item2->DIB()->TransparentMode(), TTransparentMode::tmFixed);
  EXPECT_EQ(item2->DIB()->GetTransparentColor() & 0xFFFFFF, item->DIB()->GetTransparentColor() & 0xFFFFFF);
  EXPECT_EQ(holder2->Link()->DIBImageList(), list2);
  EXPECT_EQ(holder2->Link()->DIBIndex(), 1);

  // Cut anywhere, the stream fails cleanly and leaves nothing half-made behind.
  for (size_t cut = 4; cut < bytes.size(); cut += 7) {
    TComponent target(nullptr);
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
    TBytesStream partial(part);
    EXPECT_THROW(ReadComponentFromStream(partial, &target), Exception) << cut;
  }
}

TEST(DIBImageList, StoredSizesMustBePaidForByTheStream) {
  RegisterDIBImageListClasses();
  TDIBImageList list(nullptr);
  const std::string text =
      "object TDIBImageList\n  DIBImages = <\n    item\n      DIB.Width = 65535\n      DIB.Height = 65535\n"
      "    end>\nend\n";
  try {
    TextToComponent(text, &list);
    ADD_FAILURE() << "a 65535 x 65535 size without its pixels was taken";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Invalid property value");
  }
}

}  // namespace

namespace {

TEST(ImageListLifetime, ALinkRegisteredByHandIsDroppedWhenTheListGoes) {
  TDIBImageLink link(nullptr);
  {
    TDIBImageList other(nullptr);
    link.SetDIBImageList(&other);
    auto* list = new TDIBImageList(nullptr);
    list->RegisterLink(&link);  // registered, but pointing at the other list
    delete list;                // must end, and leave the link with its own list
    EXPECT_EQ(link.DIBImageList(), &other);
  }
  EXPECT_EQ(link.DIBImageList(), nullptr);
}

}  // namespace
