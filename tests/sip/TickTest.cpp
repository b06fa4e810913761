#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/cAsioMainLoop.h"
#include "sip/cTick.h"
#include "sip/cTickTimer.h"
#include "sip/cTxTimer.h"

namespace {

// Records what the tick asks of its call, with the tick number at which it happened.
class cTickRecorder : public cTickSink {
 public:
  struct Event {
    int nTick;
    bool bTimeOut;
    int32_t nTickId;
    std::string text, ip;
    int32_t nPort;
  };

  void OnTickEvent(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP,
                   int32_t nToPort) override {
    m_Events.push_back({m_nTick, false, nTickId, text.GetDATA(), toIP.GetDATA(), nToPort});
    if (m_OnResend) m_OnResend();
  }
  void OnTickEventTimeOut(int32_t nTickId) override {
    m_Events.push_back({m_nTick, true, nTickId, "", "", 0});
  }

  // Drives n one-second ticks.
  void Run(cTick& tick, int n) {
    for (int i = 0; i < n; ++i) {
      ++m_nTick;
      tick.OnMainTick();
    }
  }
  std::vector<int> ResendTicks() const {
    std::vector<int> ticks;
    for (const Event& e : m_Events)
      if (!e.bTimeOut) ticks.push_back(e.nTick);
    return ticks;
  }
  std::vector<int> TimeOutTicks() const {
    std::vector<int> ticks;
    for (const Event& e : m_Events)
      if (e.bTimeOut) ticks.push_back(e.nTick);
    return ticks;
  }

  int m_nTick = 0;
  std::vector<Event> m_Events;
  std::function<void()> m_OnResend;
};

// A main loop whose timers are fired by hand.
class cManualLoop : public cMainLoop {
 public:
  void Post(std::function<void()> fn) override { fn(); }
  uint32_t StartTimer(uint32_t nIntervalMs, std::function<void()> fn) override {
    m_nLastInterval = nIntervalMs;
    m_Timers[m_nNextId] = std::move(fn);
    return m_nNextId++;
  }
  void StopTimer(uint32_t nTimerId) override { m_Timers.erase(nTimerId); }
  void FireAll() {
    for (auto& [id, fn] : m_Timers) fn();
  }

  std::map<uint32_t, std::function<void()>> m_Timers;
  uint32_t m_nNextId = 1;
  uint32_t m_nLastInterval = 0;
};

}  // namespace

TEST(TickTest, UnansweredRequestIsResentEightTimesThenTimesOut) {
  cTickRecorder rec;
  cTick tick(&rec);
  tick.SetTick(7, "INVITE text", "10.0.0.1", 5070);
  rec.Run(tick, 30);
  EXPECT_EQ(rec.ResendTicks(), (std::vector<int>{3, 5, 7, 9, 11, 13, 15, 17}));
  EXPECT_EQ(rec.TimeOutTicks(), (std::vector<int>{18}));
  for (const auto& e : rec.m_Events) {
    EXPECT_EQ(e.nTickId, 7);
    if (!e.bTimeOut) {
      EXPECT_EQ(e.text, "INVITE text");
      EXPECT_EQ(e.ip, "10.0.0.1");
      EXPECT_EQ(e.nPort, 5070);
    }
  }
  EXPECT_FALSE(tick.IsTickActive());
}

TEST(TickTest, AnsweredBeforeTheThirdTickIsNeverResent) {
  cTickRecorder rec;
  cTick tick(&rec);
  tick.SetTick(1, "BYE", "h", 5060);
  rec.Run(tick, 2);
  tick.KillTick();
  rec.Run(tick, 30);
  EXPECT_TRUE(rec.m_Events.empty());
}

TEST(TickTest, PlainTimeOutRaisesNoResendAndExpiresOnTheSixteenthTick) {
  cTickRecorder rec;
  cTick tick(&rec);
  tick.SetTimeOutTick(42);
  rec.Run(tick, 15);
  EXPECT_TRUE(rec.m_Events.empty());
  rec.Run(tick, 10);
  ASSERT_EQ(rec.TimeOutTicks(), (std::vector<int>{16}));
  EXPECT_EQ(rec.m_Events[0].nTickId, 42);
}

TEST(TickTest, RearmingABusySlotRestartsTheScheduleWithTheNewText) {
  cTickRecorder rec;
  cTick tick(&rec);
  tick.SetTick(1, "first", "h", 1);
  rec.Run(tick, 6);  // resent at 3 and 5
  tick.SetTick(2, "second", "h2", 2);
  rec.Run(tick, 30);
  EXPECT_EQ(rec.ResendTicks(), (std::vector<int>{3, 5, 9, 11, 13, 15, 17, 19, 21, 23}));
  EXPECT_EQ(rec.TimeOutTicks(), (std::vector<int>{24}));
  EXPECT_EQ(rec.m_Events[2].text, "second");
  EXPECT_EQ(rec.m_Events.back().nTickId, 2);
}

TEST(TickTest, OwnerMayStopOrRearmFromInsideTheEvent) {
  cTickRecorder rec;
  cTick tick(&rec);
  rec.m_OnResend = [&] { tick.KillTick(); };
  tick.SetTick(1, "x", "h", 1);
  rec.Run(tick, 30);
  EXPECT_EQ(rec.ResendTicks(), (std::vector<int>{3}));
  EXPECT_TRUE(rec.TimeOutTicks().empty());
  EXPECT_FALSE(tick.IsTickActive());

  cTickRecorder rec2;
  cTick tick2(&rec2);
  int nRearms = 0;
  rec2.m_OnResend = [&] {
    if (nRearms++ == 0) tick2.SetTick(9, "new", "h", 1);
  };
  tick2.SetTick(1, "x", "h", 1);
  rec2.Run(tick2, 40);
  // Re-armed at tick 3: the new schedule counts from there.
  EXPECT_EQ(rec2.ResendTicks(), (std::vector<int>{3, 6, 8, 10, 12, 14, 16, 18, 20}));
  EXPECT_EQ(rec2.TimeOutTicks(), (std::vector<int>{21}));
}

TEST(TickTest, IdleTickDoesNothing) {
  cTickRecorder rec;
  cTick tick(&rec);
  rec.Run(tick, 20);
  EXPECT_TRUE(rec.m_Events.empty());
}

TEST(TxScheduleTest, DoublingIsCappedAtT2AndGivenUpAtSixtyFourT1) {
  const struct {
    int64_t nCapMs;
    std::vector<int64_t> resendMs;
  } kCases[] = {
      {4000, {500, 1500, 3500, 7500, 11500, 15500, 19500, 23500, 27500, 31500}},
      {32000, {500, 1500, 3500, 7500, 15500, 31500}},  // INVITE: no cap
  };
  for (const auto& c : kCases) {
    cTxTimer timer;
    timer.Start(cTxSchedule::Doubling(500, c.nCapMs, 32000));
    std::vector<int64_t> resendMs;
    int64_t nMs = 0;
    while (timer.IsActive() && nMs < 60000) {
      nMs += 500;
      if (timer.Step(500) == cTxTimer::eTxStep::RESEND) resendMs.push_back(nMs);
    }
    EXPECT_EQ(resendMs, c.resendMs);
    EXPECT_EQ(nMs, 32000);
  }
}

TEST(TickTimerTest, RepeatsEverySecondUntilStopped) {
  cManualLoop loop;
  int nTicks = 0;
  cTickTimer timer(&loop, [&] { ++nTicks; });
  EXPECT_FALSE(timer.IsRunning());
  ASSERT_TRUE(timer.StartOneSecondTick());
  EXPECT_EQ(loop.m_nLastInterval, 1000u);
  EXPECT_TRUE(timer.StartOneSecondTick());  // already running: still one timer
  EXPECT_EQ(loop.m_Timers.size(), 1u);
  loop.FireAll();
  loop.FireAll();
  EXPECT_EQ(nTicks, 2);
  timer.StopOneSecondTick();
  EXPECT_TRUE(loop.m_Timers.empty());
  loop.FireAll();
  EXPECT_EQ(nTicks, 2);
  EXPECT_FALSE(timer.IsRunning());
}

TEST(TickTimerTest, DestructionStopsTheTimer) {
  cManualLoop loop;
  {
    cTickTimer timer(&loop, [] {});
    timer.StartOneSecondTick();
  }
  EXPECT_TRUE(loop.m_Timers.empty());
}

TEST(TickTimerTest, TicksOnTheAsioMainLoop) {
  cAsioMainLoop loop;
  int nTicks = 0;
  cTickTimer timer(&loop, [&] { ++nTicks; });
  ASSERT_TRUE(timer.StartOneSecondTick());
  EXPECT_TRUE(loop.RunUntil([&] { return nTicks >= 1; }, std::chrono::seconds(10)));
  timer.StopOneSecondTick();
}
