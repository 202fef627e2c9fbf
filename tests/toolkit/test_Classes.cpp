#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Classes.h"

namespace {

TEST(Lists, IndexFailuresNameTheIndex) {
  TList<int> refs;
  TObjectList<TObject> owned;
  int x = 1;
  refs.Add(&x);
  struct Case {
    std::function<void()> Call;
    const char* Expected;
  } cases[] = {
      {[&] { refs.Items(1); }, "List index out of bounds (1)"},
      {[&] { refs.Items(-1); }, "List index out of bounds (-1)"},
      {[&] { refs.Delete(5); }, "List index out of bounds (5)"},
      {[&] { owned.Items(0); }, "List index out of bounds (0)"},
      {[&] { owned.Delete(0); }, "List index out of bounds (0)"},
  };
  for (const Case& c : cases) {
    try {
      c.Call();
      ADD_FAILURE() << "no failure for " << c.Expected;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), c.Expected);
      EXPECT_STREQ(e.ClassName(), "EListError");
    }
  }
}

struct Tracked : TObject {
  explicit Tracked(std::vector<int>& log, int id) : Log(log), Id(id) {}
  ~Tracked() override { Log.push_back(Id); }
  std::vector<int>& Log;
  int Id;
};

TEST(Lists, OwningListDestroysFromTheLast) {
  std::vector<int> log;
  {
    TObjectList<Tracked> list;
    for (int i = 0; i < 3; ++i) list.Add(std::make_unique<Tracked>(log, i));
    list.Delete(1);
    EXPECT_EQ(log, std::vector<int>{1});
  }
  EXPECT_EQ(log, (std::vector<int>{1, 2, 0}));
}

class Watcher : public TComponent {
public:
  using TComponent::TComponent;
  std::vector<std::pair<TComponent*, TOperation>> Heard;

protected:
  void Notification(TComponent* c, TOperation op) override {
    Heard.push_back({c, op});
    TComponent::Notification(c, op);
  }
};

TEST(Components, OwnerDestroysWhatItOwnsAndFreeNotificationsAreDelivered) {
  Watcher watcher(nullptr);
  auto* owner = new TComponent(nullptr);
  auto* child = new TComponent(owner);
  child->SetName("Child");
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->FindComponent("child"), child);
  child->FreeNotification(&watcher);
  delete owner;
  ASSERT_EQ(watcher.Heard.size(), 1u);
  EXPECT_EQ(watcher.Heard[0].first, child);
  EXPECT_EQ(watcher.Heard[0].second, TOperation::opRemove);
}

TEST(Components, DestroyingAComponentLeavesItsOwner) {
  Watcher owner(nullptr);
  auto* child = new TComponent(&owner);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 0);
  ASSERT_EQ(owner.Heard.size(), 2u);
  EXPECT_EQ(owner.Heard[0].second, TOperation::opInsert);
  EXPECT_EQ(owner.Heard[1].second, TOperation::opRemove);
}

TEST(Persistent, CopyBetweenUnrelatedClassesFailsWithTheAssignmentError) {
  TPersistent a, b;
  try {
    a.CopyFrom(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPersistent to a TPersistent");
  }
}

TEST(SysUtils, IntegerConversion) {
  struct Case {
    const char* Text;
    bool Ok;
    int Value;
  } cases[] = {{"12", true, 12},       {"-12", true, -12},     {"+5", true, 5},          {"$1F", true, 31},
               {"0x1f", true, 31},     {"$FFFFFFFF", true, -1}, {"2147483647", true, INT32_MAX},
               {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0}, {"", false, 0},
               {"$", false, 0},        {"1 2", false, 0},      {"12 ", false, 0},        {"$100000000", false, 0}};
  for (const Case& c : cases) {
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.Text, v), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(v, c.Value) << c.Text;
    }
  }
}

}  // namespace
