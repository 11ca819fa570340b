// The engine's frame-paced clock and the reference clock base it runs on.
#include <gtest/gtest.h>

#include <chrono>

#include "engine/my_clock.h"

namespace {

struct ClockRef {
  CMyClock* clock;
  ClockRef() {
    HRESULT hr = S_OK;
    clock = new CMyClock("vxclk", nullptr, &hr);
    clock->AddRef();
    EXPECT_EQ(hr, S_OK);
  }
  ~ClockRef() { clock->Release(); }
  CMyClock* operator->() const { return clock; }
};

constexpr REFERENCE_TIME kMs = 10000;
constexpr IID kSomeOtherIid = {0x56a8689c, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

TEST(MyClock, AnswersReferenceClockInterface) {
  ClockRef c;
  IReferenceClock* rc = nullptr;
  ASSERT_EQ(c->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&rc)), S_OK);
  ASSERT_EQ(rc, static_cast<IReferenceClock*>(c.clock));
  IUnknown* unk = nullptr;
  EXPECT_EQ(rc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)), S_OK);
  unk->Release();
  void* other = nullptr;
  EXPECT_EQ(rc->QueryInterface(kSomeOtherIid, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  rc->Release();
}

// The clock time that passes over sleepMs, against the wall time measured
// just inside and just outside the two readings: at rate r it is r times the
// wall time, however long a loaded machine makes the sleep.
void ExpectClockFollowsWall(const ClockRef& c, double rate, int sleepMs) {
  using Wall = std::chrono::steady_clock;
  auto ms = [](Wall::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  const auto w0 = Wall::now();
  const REFERENCE_TIME a = c->GetPrivateTime();
  const auto w1 = Wall::now();
  Sleep(sleepMs);
  const auto w2 = Wall::now();
  const REFERENCE_TIME b = c->GetPrivateTime();
  const auto w3 = Wall::now();
  const double clockMs = static_cast<double>(b - a) / kMs;
  EXPECT_GE(clockMs, rate * ms(w2 - w1) - 1.0) << "rate " << rate;
  EXPECT_LE(clockMs, rate * ms(w3 - w0) + 1.0) << "rate " << rate;
}

TEST(MyClock, RateScalesWallTime) {
  ClockRef c;
  // At 1.0 the clock follows wall time.
  ExpectClockFollowsWall(c, 1.0, 200);
  // At 0.01 a second of wall time is 10 ms of clock time.
  c->Rate = 0.01f;
  ExpectClockFollowsWall(c, 0.01, 1000);
}

TEST(MyClock, ResyncForgetsElapsedWallTime) {
  ClockRef c;
  REFERENCE_TIME a = c->GetPrivateTime();
  Sleep(300);
  c->Resync();
  REFERENCE_TIME b = c->GetPrivateTime();
  EXPECT_GE(b, a);
  EXPECT_LT(b - a, 3 * kMs);
}

TEST(MyClock, AdvanceJumpsOnceAndFiresDueAdvises) {
  ClockRef c;
  REFERENCE_TIME start = c->GetPrivateTime();
  CAMEvent due, later;
  DWORD_PTR cookie1 = 0, cookie2 = 0;
  ASSERT_EQ(c->AdviseTime(start, 400000, &due, &cookie1), S_OK);
  ASSERT_EQ(c->AdviseTime(start, 2 * 400000 + 50 * kMs, &later, &cookie2), S_OK);
  EXPECT_NE(cookie1, 0u);
  // Almost stop the clock after the advise, so only the jump can make it due.
  c->Rate = 0.0001f;
  EXPECT_FALSE(due.Wait(60));
  c->Advance(0.04);
  EXPECT_TRUE(due.Wait(50));
  REFERENCE_TIME after = c->GetPrivateTime();
  EXPECT_GE(after - start, 400000);
  EXPECT_LT(after - start, 400000 + 2 * kMs);
  // The jump is applied once only.
  REFERENCE_TIME again = c->GetPrivateTime();
  EXPECT_LT(again - after, kMs);
  EXPECT_FALSE(later.Wait(60));
  EXPECT_EQ(c->Unadvise(cookie2), S_OK);
}

TEST(MyClock, AdviseRestoresRateOfAStoppedClock) {
  ClockRef c;
  CAMEvent ev;
  CAMSemaphore sem;
  DWORD_PTR cookie = 0;
  REFERENCE_TIME now = c->GetPrivateTime();
  c->Rate = 0.01f;
  ASSERT_EQ(c->AdviseTime(now, 20 * kMs, &ev, &cookie), S_OK);
  EXPECT_FLOAT_EQ(c->Rate, 1.0f);
  // With the normal rate back, the advise fires after about 20 ms.
  EXPECT_TRUE(ev.Wait(500));
  c->Rate = 0.01f;
  ASSERT_EQ(c->AdvisePeriodic(now + 10 * kMs, 10 * kMs, &sem, &cookie), S_OK);
  EXPECT_FLOAT_EQ(c->Rate, 1.5f);
  EXPECT_TRUE(sem.Wait(500));
  EXPECT_TRUE(sem.Wait(500));
  EXPECT_EQ(c->Unadvise(cookie), S_OK);
  // Rates at or above 0.1 are left alone.
  c->Rate = 0.5f;
  ASSERT_EQ(c->AdviseTime(now, 1000 * kMs, &ev, &cookie), S_OK);
  EXPECT_FLOAT_EQ(c->Rate, 0.5f);
  c->Unadvise(cookie);
}

TEST(MyClock, AdviseArgumentRules) {
  ClockRef c;
  CAMEvent ev;
  CAMSemaphore sem;
  DWORD_PTR cookie = 77;
  EXPECT_EQ(c->AdviseTime(0, 10, &ev, nullptr), E_POINTER);
  EXPECT_EQ(c->AdviseTime(0, 0, &ev, &cookie), E_INVALIDARG);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(c->AdviseTime(-100, 50, &ev, &cookie), E_INVALIDARG);
  EXPECT_EQ(c->AdviseTime(MAX_TIME, 0, &ev, &cookie), E_INVALIDARG);
  EXPECT_EQ(c->AdvisePeriodic(0, 10, &sem, &cookie), E_INVALIDARG);
  EXPECT_EQ(c->AdvisePeriodic(10, 0, &sem, &cookie), E_INVALIDARG);
  EXPECT_EQ(c->AdvisePeriodic(MAX_TIME, 10, &sem, &cookie), E_INVALIDARG);
  // A time already past fires at once.
  ASSERT_EQ(c->AdviseTime(1, 0, &ev, &cookie), S_OK);
  EXPECT_TRUE(ev.Wait(100));
  EXPECT_EQ(c->Unadvise(cookie), S_FALSE);
}

TEST(MyClock, GetTimeNeverGoesBackAndSaysSFalseWhenStill) {
  ClockRef c;
  REFERENCE_TIME t1 = 0, t2 = 0;
  ASSERT_EQ(c->GetTime(&t1), S_OK);
  c->Rate = 0.0f;
  EXPECT_EQ(c->GetTime(&t2), S_FALSE);
  EXPECT_EQ(t2, t1);
  EXPECT_EQ(c->GetTime(nullptr), E_POINTER);
}

TEST(MyClock, TwoClocksNeverReportBelowEachOther) {
  ClockRef a;
  REFERENCE_TIME ta = a->GetPrivateTime();
  a->Advance(100.0);
  REFERENCE_TIME ta2 = a->GetPrivateTime();
  EXPECT_GE(ta2 - ta, 100LL * 10000000);
  // A clock made later starts at wall time, far below the jumped clock.
  ClockRef b;
  REFERENCE_TIME tb = b->GetPrivateTime();
  EXPECT_GT(tb, ta2);
  // A reading of a, now behind b's, is lifted above b's too.
  b->Advance(50.0);
  REFERENCE_TIME tb2 = b->GetPrivateTime();
  REFERENCE_TIME ta3 = a->GetPrivateTime();
  EXPECT_GT(ta3, tb2);
  EXPECT_EQ(CMyClock::LastClockTimeForTest(), ta3);
}

TEST(MyClock, ConcurrentReadersStayMonotonic) {
  ClockRef a, b;
  std::atomic<bool> backwards{false};
  auto reader = [&](CMyClock* c) {
    REFERENCE_TIME prev = 0;
    for (int i = 0; i < 20000; ++i) {
      REFERENCE_TIME t = c->GetPrivateTime();
      if (t < prev) backwards = true;
      prev = t;
      if (i % 1000 == 0) c->Rate = (i % 2000 == 0) ? 0.01f : 1.0f;
    }
  };
  std::thread t1(reader, a.clock), t2(reader, b.clock), t3([&] {
    for (int i = 0; i < 50; ++i) a->Advance(0.001);
  });
  t1.join();
  t2.join();
  t3.join();
  EXPECT_FALSE(backwards);
}

TEST(SystemClock, FollowsWallTimeAndFiresPeriodic) {
  IReferenceClock* rc = nullptr;
  ASSERT_EQ(CreateSystemClock(&rc), S_OK);
  REFERENCE_TIME t0 = 0;
  rc->GetTime(&t0);
  CAMSemaphore sem;
  DWORD_PTR cookie = 0;
  ASSERT_EQ(rc->AdvisePeriodic(t0 + 10 * kMs, 20 * kMs, &sem, &cookie), S_OK);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(sem.Wait(500));
  REFERENCE_TIME t1 = 0;
  rc->GetTime(&t1);
  // Five periods of 20 ms after a 10 ms start: about 90 ms.
  EXPECT_GE(t1 - t0, 85 * kMs);
  EXPECT_LT(t1 - t0, 300 * kMs);
  EXPECT_EQ(rc->Unadvise(cookie), S_OK);
  rc->Release();
}

}  // namespace
