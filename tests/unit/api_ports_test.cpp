// The portable ports the client's flows lean on: workers that never let an exception out
// and are never waited for, and the clock's day count.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/system/clock.h"
#include "core/system/workers.h"

namespace pv {
namespace {

TEST(ClientPorts, ThreadWorkersRunEachJobOnItsOwnThreadAndSwallowItsExceptions) {
  ThreadWorkers workers;
  std::atomic<int> done{0};
  std::atomic<bool> elsewhere{false};
  const auto starter = std::this_thread::get_id();
  workers.start([] { throw std::runtime_error("a worker's fault"); });
  workers.start([&] {
    elsewhere = std::this_thread::get_id() != starter;
    ++done;
  });
  workers.start({});  // an empty job does nothing
  for (int i = 0; i < 1000 && done.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(done.load(), 1);
  EXPECT_TRUE(elsewhere.load());
}

TEST(ClientPorts, ManualWorkersRunQueuedJobsAndTheirFollowersInOrder) {
  ManualWorkers workers;
  std::string order;
  workers.start([&] {
    order += "a";
    workers.start([&] { order += "c"; });
  });
  workers.start([&] {
    order += "b";
    throw 1;
  });
  EXPECT_EQ(workers.runAll(), 3u);
  EXPECT_EQ(order, "abc");
  EXPECT_FALSE(workers.runNext());
}

TEST(ClientPorts, ClockCountsDaysFrom1899December30) {
  using std::chrono::system_clock;
  EXPECT_DOUBLE_EQ(toClockDays(system_clock::time_point{}), 25569.0);  // 1970-01-01
  const auto noonJan2nd2024 = system_clock::time_point{std::chrono::seconds(1704196800)};
  EXPECT_DOUBLE_EQ(toClockDays(noonJan2nd2024), 45293.5);
  const double now = SystemClock().now();
  EXPECT_GT(now, 45000.0);
  FakeClock clock(100.0);
  clock.advanceMinutes(90);
  EXPECT_DOUBLE_EQ(clock.now(), 100.0 + 1.5 / 24);
}

}  // namespace
}  // namespace pv
