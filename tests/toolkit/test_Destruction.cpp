#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

// Records, in its own destructor (the first of the chain), whether it was already marked.
class TMarked : public TComponent {
public:
  QV_CLASS(TMarked)
  TMarked(TComponent* owner, std::vector<bool>* seen) : TComponent(owner), FSeen(seen) {}
  ~TMarked() override { FSeen->push_back(HasState(csDestroying)); }

private:
  std::vector<bool>* FSeen;
};

class alignas(64) TOverAligned : public TMarked {
public:
  QV_CLASS(TOverAligned)
  using TMarked::TMarked;
  char Payload[64] = {};
};

class TThrowing : public TComponent {
public:
  QV_CLASS(TThrowing)
  explicit TThrowing(TComponent* owner) : TComponent(owner) { throw std::runtime_error("refused"); }
};

// Hears removals and notes whether the removed component was already marked destroying.
class TListener : public TComponent {
public:
  QV_CLASS(TListener)
  using TComponent::TComponent;
  std::vector<std::pair<TComponent*, bool>> Removed;

protected:
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == TOperation::opRemove) Removed.push_back({component, component->HasState(csDestroying)});
    TComponent::Notification(component, operation);
  }
};

// A panel that counts its destruction.
class TCountedPanel : public TPanel {
public:
  QV_CLASS(TCountedPanel)
  TCountedPanel(TComponent* owner, int* destroyed) : TPanel(owner), FDestroyed(destroyed) {}
  ~TCountedPanel() override { ++*FDestroyed; }

private:
  int* FDestroyed;
};

TEST(Destruction, EveryWayOfDeletingMarksTheComponentBeforeItsFirstDestructor) {
  struct TCase {
    const char* Name;
    std::function<void(std::vector<bool>&)> Run;
  };
  const TCase cases[] = {
      {"through the base pointer", [](auto& seen) { TComponent* c = new TMarked(nullptr, &seen); delete c; }},
      {"through its own type", [](auto& seen) { delete new TMarked(nullptr, &seen); }},
      {"held by a unique_ptr", [](auto& seen) { std::unique_ptr<TComponent> c(new TMarked(nullptr, &seen)); }},
      {"over-aligned", [](auto& seen) {
         TComponent* c = new TOverAligned(nullptr, &seen);
         EXPECT_EQ(reinterpret_cast<uintptr_t>(c) % 64, 0u);
         delete c;
       }},
      {"by its owner", [](auto& seen) {
         auto* owner = new TComponent(nullptr);
         new TMarked(owner, &seen);
         new TOverAligned(owner, &seen);
         delete owner;
       }},
  };
  for (const TCase& c : cases) {
    std::vector<bool> seen;
    c.Run(seen);
    ASSERT_FALSE(seen.empty()) << c.Name;
    for (bool marked : seen) EXPECT_TRUE(marked) << c.Name;
  }
}

TEST(Destruction, ComponentsOnTheStackStillLeaveTheirOwner) {
  TListener owner(nullptr);
  {
    std::vector<bool> seen;
    TMarked local(&owner, &seen);
    EXPECT_EQ(owner.ComponentCount(), 1);
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
  ASSERT_EQ(owner.Removed.size(), 1u);
  // A stack object is marked by the toolkit's part of the chain only, after the derived part.
  EXPECT_TRUE(owner.Removed[0].second);
}

TEST(Destruction, AFailingConstructorInNewLeavesNothingBehind) {
  TListener owner(nullptr);
  EXPECT_THROW(new TThrowing(&owner), std::runtime_error);
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Destruction, RemovalNotificationsDuringDestructionSeeTheDyingState) {
  TListener listener(nullptr);
  std::vector<bool> seen;
  auto* owned = new TMarked(&listener, &seen);
  auto* watched = new TMarked(nullptr, &seen);
  watched->FreeNotification(&listener);
  delete watched;
  delete owned;
  ASSERT_EQ(listener.Removed.size(), 2u);
  EXPECT_EQ(listener.Removed[0].first, watched);
  EXPECT_TRUE(listener.Removed[0].second);
  EXPECT_EQ(listener.Removed[1].first, owned);
  EXPECT_TRUE(listener.Removed[1].second);
}

TEST(Destruction, AWindowDestroysOnlyTheChildrenNobodyElseOwns) {
  int destroyed = 0;
  auto* keeper = new TComponent(nullptr);
  auto* window = new TCountedPanel(nullptr, &destroyed);
  auto* ownedByKeeper = new TCountedPanel(keeper, &destroyed);
  auto* ownedByWindow = new TCountedPanel(window, &destroyed);
  auto* unowned = new TCountedPanel(nullptr, &destroyed);
  for (TControl* c : {static_cast<TControl*>(ownedByKeeper), static_cast<TControl*>(ownedByWindow),
                      static_cast<TControl*>(unowned)})
    c->SetParent(window);

  delete window;
  EXPECT_EQ(destroyed, 3);  // the window, its own child and the unowned one
  EXPECT_EQ(ownedByKeeper->Parent(), nullptr);
  EXPECT_EQ(keeper->ComponentCount(), 1);
  delete keeper;
  EXPECT_EQ(destroyed, 4);
}

TEST(Destruction, AFormOwningNestedControlsDestroysEachOnce) {
  int destroyed = 0;
  auto* form = new TForm(nullptr);
  auto* outer = new TCountedPanel(form, &destroyed);
  outer->SetParent(form);
  auto* inner = new TCountedPanel(form, &destroyed);
  inner->SetParent(outer);
  auto* label = new TLabel(form);
  label->SetParent(inner);
  auto* timer = new TTimer(form);
  (void)timer;
  form->HandleNeeded();
  delete form;
  EXPECT_EQ(destroyed, 2);
}

TEST(Destruction, DeletingAChildOfALiveWindowTakesItOut) {
  TForm form(nullptr);
  form.HandleNeeded();
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  auto* label = new TLabel(&form);
  label->SetParent(panel);
  delete panel;  // the label is the form's: it stays, without a parent
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_EQ(label->Parent(), nullptr);
  EXPECT_EQ(form.ComponentCount(), 1);
}

}  // namespace
