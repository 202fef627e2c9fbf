#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dibcontrols/cDIBTimer.h"
#include "toolkit/Forms.h"

namespace {

// Counts the starts of system timers (and can refuse them) for the lifetime of a test.
class TimerStarts {
public:
  TimerStarts() {
    FPrevious = SetTimerRefusal([this](unsigned interval) {
      ++Count;
      LastInterval = interval;
      return Refuse;
    });
  }
  ~TimerStarts() { SetTimerRefusal(FPrevious); }
  int Count = 0;
  unsigned LastInterval = 0;
  bool Refuse = false;

private:
  TTimerRefusal FPrevious;
};

TEST(DIBTimer, RunsOnlyWhenEnabledWithAnIntervalAndAHandler) {
  TimerStarts starts;
  TDIBTimer timer(nullptr);
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  EXPECT_EQ(timer.TimerWindow(), nullptr) << "no handler: no window";
  timer.SetEnabled(true);
  timer.SetOnTimer([](TObject*) {});
  ASSERT_NE(timer.TimerWindow(), nullptr);
  EXPECT_EQ(starts.Count, 1) << "enabled twice, started once";
  EXPECT_EQ(starts.LastInterval, 1000u);
  timer.SetOnTimer(timer.OnTimer());
  EXPECT_EQ(starts.Count, 2) << "the same handler again restarts the interval";
  timer.SetInterval(0);
  EXPECT_EQ(timer.TimerWindow(), nullptr);
  EXPECT_TRUE(timer.Enabled()) << "a zero interval stops it without disabling it";
  const int windows = TMessageWindow::Count();
  timer.SetInterval(20);
  EXPECT_EQ(TMessageWindow::Count(), windows + 1);
}

TEST(DIBTimer, WithoutASystemTimerItStopsAndDisablesItselfQuietly) {
  TimerStarts starts;
  starts.Refuse = true;
  TDIBTimer timer(nullptr);
  timer.SetOnTimer([](TObject*) {});
  EXPECT_NO_THROW(timer.SetEnabled(true));
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.TimerWindow(), nullptr);
}

TEST(DIBTimer, AFailureInTheHandlerGoesToTheApplicationAndTheTimerGoesOn) {
  TApplication app(nullptr);
  std::vector<std::string> reported;
  app.OnException = [&](const std::exception& e) { reported.push_back(e.what()); };
  TDIBTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(1);
  timer.SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    if (++ticks == 1) throw EConvertError("tick failed");
  });
  timer.SetEnabled(true);
  for (int i = 0; i < 1000 && ticks < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Backend().ProcessMessages();
  }
  EXPECT_GE(ticks, 3);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "tick failed");
  EXPECT_TRUE(timer.Enabled());
}

TEST(DIBTimer, DestructionStopsItFirst) {
  const int windows = TMessageWindow::Count();
  int ticks = 0;
  {
    TDIBTimer timer(nullptr);
    timer.SetInterval(1);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_EQ(TMessageWindow::Count(), windows + 1);
  }
  EXPECT_EQ(TMessageWindow::Count(), windows);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  Backend().ProcessMessages();
  EXPECT_EQ(ticks, 0);
}

}  // namespace
